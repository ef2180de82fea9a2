// The browser's folder: opening one by path or by identifier list, reading
// it (again) into the items, and adding a single file.
#include "browser/ImgPanel.h"

#include "engine/DeviceRects.h"

#include "platform/NativePath.h"
#include "platform/PathOps.h"

#include <QScrollBar>

#include <algorithm>
#include <unistd.h>
#include <unordered_map>

QString TCustomImgPanel::CurrentFolderPath() const
{
    if (m_viewMode == ivmFile) return {};
    return m_folder.path();
}

void TCustomImgPanel::OpenFolder(const QString& path)
{
    if (m_viewMode != ivmFolder) return;
    const auto parsed = sq::platform::parseDisplayName(path);
    if (path == QLatin1String("/")) {
        OpenFolderId(path);
        return;
    }
    if (!parsed) return;
    OpenFolderId(parsed->parseName);
}

namespace {

// The entries of a folder that is not the browser's own yet: their names,
// data and kinds are taken from that folder.
class FolderHost final : public TShellItemsHost
{
public:
    FolderHost(sq::platform::ShellFolder folder, TShellItemsHost& browser)
        : m_folder(std::move(folder)), m_browser(browser)
    {
    }
    sq::platform::ShellFolder CurrentFolder() const override { return m_folder; }
    bool IsFileMode() const override { return false; }
    void OpenFolderId(const QString&) override {}
    void OpenFolder(const QString&) override {}
    sq::platform::ShellOpener& Opener() override { return m_browser.Opener(); }
    TImgUtil* ImgUtil() override { return m_browser.ImgUtil(); }

private:
    sq::platform::ShellFolder m_folder;
    TShellItemsHost& m_browser;
};

} // namespace

void TCustomImgPanel::PrepareFolder(const QString& path, int count)
{
    if (m_viewMode != ivmFolder || count <= 0) return;
    const auto parsed = sq::platform::parseDisplayName(path);
    if (!parsed || !sq::platform::isFolderPath(parsed->parseName)) return;
    if (m_hasFolder && parsed->parseName == m_folder.path()) return;
    // The ratio of the screen the window opens on, as the first layout takes it.
    updateDeviceRatio();
    TViewImage& vi = m_viewImage;
    const TEngineSettings settings = TEngineSettings::of(vi.ImgUtil());
    // Code of others that is run one job at a time runs only when the
    // browser asks for it.
    if (settings.RunsAlone()) return;
    const sq::platform::ShellFolder folder(parsed->parseName);
    // The folder is listed again when it opens: a large one, whose listing
    // would hold up the start as long as the pictures made ahead gain, is
    // left to that.
    int entries = 0;
    if (!folder.enumObjects(m_view.DispTypes().EnumFlags(),
                            [&entries](sq::platform::EnumItem&&) { return ++entries <= PrepareListLimit; }) ||
        entries > PrepareListLimit)
        return;
    FolderHost host(folder, *this);
    TPanelItems items(&host);
    if (!items.ReadFolder(folder, m_view.DispTypes(), m_sortType, m_descend)) return;
    std::vector<std::shared_ptr<TThumbJob>> jobs;
    for (int i = 0; i < items.Count() && static_cast<int>(jobs.size()) < count; ++i) {
        TPanelItem* item = items.Items(i);
        if (item->IsFolder() || !item->HasItemId()) continue;
        const TImageType kind = item->ImageKind();
        if (kind == iitNone || sq::isIconKind(kind)) continue;
        auto job = std::make_shared<TThumbJob>();
        job->Id = -1;
        job->ParseName = item->ParseName();
        job->Width = sq::toDevice(vi.ImageWidth(), m_dpr);
        job->Height = sq::toDevice(vi.ImageHeight(), m_dpr);
        job->Settings = settings;
        job->AheadStamp = folder.findData(item->ItemId());
        if (job->AheadStamp) jobs.push_back(std::move(job));
    }
    m_loader.Prepare(parsed->parseName, std::move(jobs));
}

void TCustomImgPanel::OpenFolderId(const QString& absoluteIdList)
{
    if (m_viewMode != ivmFolder || absoluteIdList.isEmpty()) return;
    HandleNeeded();
    if (m_hasFolder && absoluteIdList == m_folder.path()) return;
    m_changeNotification->StopWatch();
    m_loader.StopLoading();
    updateScrollBar(true);
    clearItems();
    if (sq::platform::isFolderPath(absoluteIdList)) {
        m_folder = sq::platform::ShellFolder(absoluteIdList);
        m_hasFolder = true;
        readCurrentFolder();
    } else {
        // The old folder stays current, with an empty page.
        ShowFrom(0);
        viewport()->update();
    }
    m_changeNotification->Watch(m_folder.path());
}

void TCustomImgPanel::clearItems()
{
    m_items.Clear();
    m_topIndex = 0;
    m_currentIndex = -1;
    m_focusIndex = 0;
    SelectionList.clear();
    m_deferredClick = -1;
}

void TCustomImgPanel::readCurrentFolder(bool keepPictures)
{
    if (m_viewMode != ivmFolder || !m_created) return;
    // By its bytes: a folder whose name is not UTF-8 is current all the same.
    [[maybe_unused]] const int cd =
        ::chdir(sq::platform::nativePath(CurrentFolderPath()).constData());
    m_loader.StopLoading();
    // The pictures already made, by name, with the file data they were made
    // from: a change in the folder leaves the unchanged entries' cells as
    // they are instead of blank until they are loaded again.
    std::unordered_map<QByteArray, TPanelItem*> kept;
    std::vector<std::unique_ptr<TPanelItem>> old;
    if (keepPictures) {
        old = m_items.takeAll();
        for (auto& item : old)
            // A picture, or the icon shown for a file that has none.
            if (item->loadStamp && !item->CellBitmap.isNull())
                kept.emplace(item->ItemId(), item.get());
    }
    clearItems();
    m_items.ReadFolder(m_folder, m_view.DispTypes(), m_sortType, m_descend,
                       [this](TPanelItem* item) { enqueueForLookAhead(item); });
    if (!kept.empty()) {
        for (int i = 0; i < m_items.Count(); ++i) {
            TPanelItem* item = m_items.Items(i);
            const auto found = kept.find(item->ItemId());
            if (found == kept.end()) continue;
            const TPanelItem& was = *found->second;
            const auto now = m_folder.findData(item->ItemId());
            if (now != was.loadStamp) continue;
            item->CellBitmap = was.CellBitmap;
            item->SharedBitmap = was.SharedBitmap;
            item->PictureWidth = was.PictureWidth;
            item->PictureHeight = was.PictureHeight;
            item->LoadDone = was.LoadDone;
            item->loadStamp = was.loadStamp;
        }
    }
    old.clear();
    if (OnChangeFolder) OnChangeFolder(this);
    m_loader.ResumeQueue();
    updateScrollBar(true);
    paintTemplate();
    ShowFrom(0);
    viewport()->update();
}

void TCustomImgPanel::Refresh()
{
    m_loader.StopLoading();
    if (m_viewImage.ImgUtil().AutoThumb() && m_viewImage.ImgUtil().Thumbnail()) {
        QStringList names;
        names.reserve(m_items.Count());
        for (int i = 0; i < m_items.Count(); ++i) names << m_items.Items(i)->ParseName();
        m_viewImage.Thumbnail().DeleteList(names);
    }
    if (m_viewMode == ivmFolder)
        readCurrentFolder();
    else
        ReloadAll();
}

TPanelItem* TCustomImgPanel::AddFile(const QString& path)
{
    if (m_viewMode != ivmFile) return nullptr;
    m_loader.StopLoading();
    TPanelItem* item = m_items.AddFile(path);
    if (item) enqueueForLookAhead(item);
    updateScrollBar(false);
    ShowFrom(std::max(0, m_topIndex));
    m_loader.ResumeQueue();
    return item;
}
