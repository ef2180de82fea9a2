#include "browser/ImgShare.h"

#include <algorithm>

using sq::platform::ShellColumn;
using sq::platform::ShellFolder;

TShellItems::TShellItems(TShellItemsHost* host) : m_host(host) {}

TShellItems::~TShellItems() = default;

int TShellItems::IndexOfId(std::int32_t id) const
{
    const std::uint32_t slot =
        static_cast<std::uint32_t>(id) - static_cast<std::uint32_t>(m_indexBase);
    if (slot >= m_indexOfId.size()) return -1;
    return m_indexOfId[slot];
}

TPanelItem* TShellItems::append(std::unique_ptr<TPanelItem> item)
{
    TPanelItem* p = item.get();
    const std::uint32_t slot =
        static_cast<std::uint32_t>(p->Id()) - static_cast<std::uint32_t>(m_indexBase);
    if (slot >= m_indexOfId.size()) m_indexOfId.resize(slot + 1, -1);
    if (m_indexOfId[slot] < 0) m_indexOfId[slot] = Count();
    m_items.push_back(std::move(item));
    return p;
}

void TShellItems::rebuildIndex()
{
    std::fill(m_indexOfId.begin(), m_indexOfId.end(), -1);
    for (int i = 0; i < Count(); ++i) {
        const std::uint32_t slot =
            static_cast<std::uint32_t>(Items(i)->Id()) - static_cast<std::uint32_t>(m_indexBase);
        if (slot >= m_indexOfId.size()) m_indexOfId.resize(slot + 1, -1);
        if (m_indexOfId[slot] < 0) m_indexOfId[slot] = i;
    }
}

void TShellItems::Clear()
{
    m_items.clear();
    m_indexOfId.clear();
    m_indexBase = m_counter;
}

std::vector<std::unique_ptr<TPanelItem>> TShellItems::takeAll()
{
    std::vector<std::unique_ptr<TPanelItem>> items = std::move(m_items);
    Clear();
    return items;
}

void TShellItems::Delete(int index)
{
    m_items.erase(m_items.begin() + index);
    rebuildIndex();
}

void TShellItems::Sort(TSortTypeEx sortType, bool descend)
{
    const auto column = static_cast<ShellColumn>(sortType);
    const bool byteWise = m_host->IsFileMode() && sortType == istName;
    // Keys are made once per entry before the sort, not once per comparison.
    for (auto& item : m_items) {
        if (!item->HasItemId()) continue;
        if (!byteWise) item->compareInfo(column);
    }
    auto compare = [&](const TPanelItem* a, const TPanelItem* b) -> int {
        if (a == b) return 0;
        if (!a->HasItemId() || !b->HasItemId())
            return a->HasItemId() == b->HasItemId() ? 0 : (a->HasItemId() ? 1 : -1);
        if (byteWise) {
            // The names' bytes: the id lists hold them as the file system does.
            return a->m_itemId < b->m_itemId ? -1 : (b->m_itemId < a->m_itemId ? 1 : 0);
        }
        return sq::platform::compareShellItems(column, *a->m_compare, *b->m_compare);
    };
    std::vector<TPanelItem*> order;
    order.reserve(m_items.size());
    for (auto& item : m_items)
        order.push_back(item.get());
    std::sort(order.begin(), order.end(), [&](const TPanelItem* a, const TPanelItem* b) {
        const int c = compare(a, b);
        return descend ? c > 0 : c < 0;
    });
    std::vector<std::unique_ptr<TPanelItem>> sorted;
    sorted.reserve(m_items.size());
    // Move the owners into the new order by index, not by search.
    std::vector<int> slotOf;
    slotOf.reserve(m_items.size());
    for (TPanelItem* p : order)
        slotOf.push_back(IndexOfId(p->Id()));
    for (int i : slotOf)
        sorted.push_back(std::move(m_items[static_cast<size_t>(i)]));
    m_items = std::move(sorted);
    rebuildIndex();
}

bool TPanelItems::ReadFolder(const ShellFolder& folder, const TDispTypes& types,
                             TSortTypeEx sortType, bool descend,
                             const std::function<void(TPanelItem*)>& onFile)
{
    const bool filter = types.FilterActive();
    const bool ok = folder.enumObjects(types.EnumFlags(), [&](sq::platform::EnumItem&& e) {
        QString parseName;
        if (filter) {
            parseName = folder.parseNameOf(e.name);
            if (!(e.attributes & sq::platform::AttrFileSysAncestor) && !types.Matches(parseName))
                return true;
        }
        const bool isFolder =
            e.attributes & (sq::platform::AttrFolder | sq::platform::AttrFileSysAncestor);
        int overlay = -1;
        if (e.attributes & sq::platform::AttrShare) overlay = 0;
        if ((e.attributes & sq::platform::AttrLink) && !(e.attributes & sq::platform::AttrFolder))
            overlay = 1;
        auto item = std::make_unique<TPanelItem>(this, std::move(e.name), isFolder, overlay);
        item->m_isLink = e.attributes & sq::platform::AttrLink;
        if (filter) item->SetParseName(parseName);
        TPanelItem* p = append(std::move(item));
        if (!isFolder && onFile) onFile(p);
        return true;
    });
    if (ok) Sort(sortType, descend);
    return ok;
}

TPanelItem* TPanelItems::AddFile(const QString& path)
{
    if (path.isEmpty()) return append(std::make_unique<TPanelItem>(this, QByteArray(), false, -1));
    const auto parsed = sq::platform::parseDisplayName(path);
    // Only the path's own form is taken: one that the file system spells
    // otherwise would name the entry differently from what was asked.
    if (!parsed || parsed->parseName != path) return nullptr;
    const unsigned a = parsed->attributes;
    const bool isFolder = a & (sq::platform::AttrFolder | sq::platform::AttrFileSysAncestor);
    int overlay = -1;
    if (a & sq::platform::AttrShare) overlay = 0;
    if ((a & sq::platform::AttrLink) && !(a & sq::platform::AttrFolder)) overlay = 1;
    auto item = std::make_unique<TPanelItem>(this, parsed->name, isFolder, overlay);
    item->m_isLink = a & sq::platform::AttrLink;
    item->m_parentId = parsed->parent.path();
    item->SetParseName(parsed->parseName);
    return append(std::move(item));
}
