#include "browser/ImgShare.h"

#include "platform/IconList.h"

#include <QDateTime>

using sq::platform::ShellColumn;
using sq::platform::ShellFolder;

TShellItem::TShellItem(TShellItems* owner, QByteArray itemId, bool isFolder, int overlayKind)
    : m_owner(owner), m_id(owner->takeId()), m_overlayKind(overlayKind),
      m_itemId(std::move(itemId)), m_isFolder(isFolder)
{
}

ShellFolder TShellItem::ParentFolder() const
{
    if (!m_parentId.isEmpty()) return ShellFolder(m_parentId);
    return m_owner->Host()->CurrentFolder();
}

QString TShellItem::AbsoluteIdList() const
{
    if (!HasItemId()) return {};
    return ParentFolder().parseNameOf(m_itemId);
}

QString TShellItem::DisplayName()
{
    if (!m_displayNameKnown && HasItemId()) {
        m_displayName = ParentFolder().displayNameOf(m_itemId);
        m_displayNameKnown = true;
    }
    return m_displayName;
}

QString TShellItem::ParseName()
{
    if (!m_parseNameKnown && HasItemId()) {
        m_parseName = ParentFolder().parseNameOf(m_itemId);
        m_parseNameKnown = true;
    }
    return m_parseName;
}

void TShellItem::SetParseName(const QString& name)
{
    if (m_parseName == name && m_parseNameKnown) return;
    m_parseName = name;
    m_parseNameKnown = true;
}

bool TShellItem::loadFindData()
{
    if (m_findDataKnown) return true;
    if (!HasItemId()) return false;
    // A failed look-up stores nothing, so the next request tries again.
    m_findData = ParentFolder().findData(m_itemId);
    if (!m_findData) return false;
    m_size = m_findData->size;
    m_attributes = m_findData->mode;
    m_sizeText.clear();
    // The date is taken once per entry; its text is made when first shown.
    if (!m_dateKnown) {
        m_dateSecs = m_findData->mtimeSec;
        m_dateKnown = true;
    }
    m_findDataKnown = true;
    return true;
}

QString TShellItem::SizeText()
{
    if (!loadFindData()) return {};
    if (m_sizeText.isEmpty()) m_sizeText = QString::number(m_size / 1024 + 1) + QLatin1String("KB");
    return m_sizeText;
}

std::uint32_t TShellItem::Size()
{
    loadFindData();
    return m_findDataKnown ? static_cast<std::uint32_t>(m_size) : 0;
}

std::int64_t TShellItem::Size64()
{
    loadFindData();
    return m_findDataKnown ? m_size : 0;
}

std::uint32_t TShellItem::Attributes()
{
    loadFindData();
    return m_findDataKnown ? m_attributes : 0;
}

QString TShellItem::DateText()
{
    loadFindData();
    if (m_dateText.isEmpty() && m_dateKnown) {
        // Two-second steps, as the file dates of the old disks had; only the
        // minutes are shown, so only a date right at a minute's end notices.
        const std::int64_t secs = m_dateSecs - (m_dateSecs & 1);
        m_dateText = QDateTime::fromSecsSinceEpoch(secs).toLocalTime().toString(
            QStringLiteral("yyyy/MM/dd hh:mm"));
    }
    return m_dateText;
}

int TShellItem::ShellIconIndex()
{
    if (!m_iconIndexKnown && HasItemId()) {
        const int i = sq::platform::IconList::instance().indexForPath(AbsoluteIdList());
        if (i < 0) return -1;
        m_shellIconIndex = i;
        m_iconIndexKnown = true;
    }
    return m_iconIndexKnown ? m_shellIconIndex : -1;
}

TImageType TShellItem::ImageKind()
{
    const int k = m_imageKind.load(std::memory_order_acquire);
    if (k >= 0) return static_cast<TImageType>(k);
    const TImageType t = m_isFolder ? iitDir : DetectImageKind();
    m_imageKind.store(t, std::memory_order_release);
    return t;
}

TImageType TPanelItem::DetectImageKind()
{
    TImgUtil* engine = Owner()->Host()->ImgUtil();
    if (!engine) return iitNone;
    engine->GetImageType(ParseName());
    return engine->ImageType();
}

bool TShellItem::Execute()
{
    TShellItemsHost* host = m_owner->Host();
    if (!host->IsFileMode()) {
        if (!HasItemId()) return false;
        if (m_isFolder) {
            if (m_isLink) {
                // A link to a folder opens the folder it points to, so the
                // browser shows where the pictures really are.
                const QString target = ParentFolder().linkTarget(m_itemId);
                if (!target.isEmpty()) {
                    host->OpenFolder(target);
                    return true;
                }
            }
            host->OpenFolderId(AbsoluteIdList());
            return true;
        }
        return host->Opener().open(AbsoluteIdList());
    }
    const QString path = ParseName();
    if (path.isEmpty()) return false;
    return host->Opener().open(path);
}

void TShellItem::ResetCaches()
{
    m_parseNameKnown = false;
    m_iconIndexKnown = false;
    m_findDataKnown = false;
    m_displayNameKnown = false;
    m_imageKind.store(-1, std::memory_order_relaxed);
    m_compare.reset();
    m_compareHasData = m_compareHasType = false;
}

const sq::platform::ShellCompareInfo& TShellItem::compareInfo(ShellColumn column)
{
    if (!m_compare) {
        m_compare.emplace();
        m_compare->isFolder = m_isFolder;
        m_compare->rawName = m_itemId;
        m_compare->nameKey = m_owner->m_collator.sortKey(DisplayName());
    }
    if (!m_compareHasData && (column == ShellColumn::Size || column == ShellColumn::Date ||
                              column == ShellColumn::Attr)) {
        loadFindData();
        m_compare->data = m_findData;
        m_compareHasData = true;
    }
    if (!m_compareHasType && column == ShellColumn::Type) {
        m_compare->typeKey = m_owner->m_collator.sortKey(
            sq::platform::ShellCollator::typeDescription(DisplayName(), m_isFolder));
        m_compareHasType = true;
    }
    return *m_compare;
}
