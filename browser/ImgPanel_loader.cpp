// The thumbnail loader: the load queue, the window of jobs taken from it for
// the workers (ImgPanel_pool.cpp), and how a result becomes an entry's cell
// picture (thumbnail, small icon overlay, or a shared icon picture), one at
// a time in the order the jobs were taken.
#include "browser/ImgPanel.h"

#include "engine/DeviceRects.h"

#include "engine/ImgUtils_thumb.h"
#include "platform/IconList.h"
#include "platform/StartTrace.h"

#include <QCoreApplication>
#include <QPainter>
#include <QTimer>

#include <algorithm>

namespace {

// Entries that get an icon picture instead of a thumbnail.
bool isIconKind(TImageType k)
{
    return k == iitNone || sq::isIconKind(k);
}

// The shortcut mark drawn over a link's icon: a small arrow in a white box
// at the bottom left, as desktops mark links.
void drawLinkMark(QImage& img)
{
    QPainter p(&img);
    const QRect box(0, img.height() - 11, 11, 11);
    p.fillRect(box, Qt::white);
    p.setPen(Qt::black);
    p.drawRect(box.adjusted(0, 0, -1, -1));
    p.drawLine(box.left() + 3, box.bottom() - 3, box.right() - 3, box.top() + 3);
    p.drawLine(box.right() - 3, box.top() + 3, box.right() - 6, box.top() + 3);
    p.drawLine(box.right() - 3, box.top() + 3, box.right() - 3, box.top() + 6);
}

// Loading has nothing more to do: the cache entries found out of date on
// the way are dropped now, in one rewrite of the cache file.
void purgeCache(TViewImage& vi, std::mutex& cacheLock)
{
    if (!vi.ImgUtil().AutoThumb() || !vi.ImgUtil().Thumbnail()) return;
    const std::lock_guard<std::mutex> lock(cacheLock);
    TThumb& cache = *vi.ImgUtil().Thumbnail();
    if (cache.purgePending()) cache.Purge();
}

} // namespace

// ---- queue ----

TImgThreads::TImgThreads(TCustomImgPanel* owner) : m_owner(owner), m_workerCount(DefaultWorkerCount()) {}

TImgThreads::~TImgThreads()
{
    StopLoading();
    DropAhead();
    endThreads();
}

void TImgThreads::Enqueue(std::int32_t id, bool toBack)
{
    const auto found = m_where.find(id);
    if (found != m_where.end()) {
        m_queue.splice(m_queue.end(), m_queue, found->second.found);
        return;
    }
    const auto it = toBack ? m_queue.insert(m_queue.end(), id) : m_queue.insert(m_queue.begin(), id);
    m_where.emplace(id, Queued{it, 1});
}

void TImgThreads::EnqueueFront(std::int32_t id)
{
    const auto it = m_queue.insert(m_queue.begin(), id);
    ++m_where.try_emplace(id, Queued{it, 0}).first->second.copies;
}

std::int32_t TImgThreads::takeBack()
{
    const auto last = std::prev(m_queue.end());
    const std::int32_t id = *last;
    const auto w = m_where.find(id);
    if (w != m_where.end()) {
        if (--w->second.copies == 0) {
            m_where.erase(w);
        } else if (w->second.found == last) {
            // An earlier copy (from EnqueueFront) takes over as the one
            // found; only ids queued twice ever pay for this search.
            for (auto it = m_queue.begin(); it != last; ++it)
                if (*it == id) {
                    w->second.found = it;
                    break;
                }
        }
    }
    m_queue.erase(last);
    return id;
}

void TImgThreads::ClearQueue()
{
    m_queue.clear();
    m_where.clear();
    if (m_window.size() < 2) return;
    // Jobs no worker has started are dropped with the queue they came from;
    // the first one keeps its place, as OnImageLoad has been fired for it.
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        const std::shared_ptr<TThumbJob> first = m_window.front();
        m_pending.erase(std::remove_if(m_pending.begin(), m_pending.end(),
                                       [&](const std::shared_ptr<TThumbJob>& j) { return j != first; }),
                        m_pending.end());
        const auto dropped = std::stable_partition(m_window.begin(), m_window.end(), [&](const auto& j) {
            return j == first || j->state != TThumbJob::Pending;
        });
        for (auto it = dropped; it != m_window.end(); ++it) m_windowIds.erase((*it)->Id);
        m_window.erase(dropped, m_window.end());
    }
}

std::vector<std::int32_t> TImgThreads::Window() const
{
    std::vector<std::int32_t> ids;
    ids.reserve(m_window.size());
    for (const auto& j : m_window) ids.push_back(j->Id);
    return ids;
}

bool TImgThreads::takeOne()
{
    while (!m_queue.empty())
        if (StartWorker()) return true;
    return false;
}

void TImgThreads::fill()
{
    while (static_cast<int>(m_window.size()) < windowSize() && takeOne()) {
    }
}

void TImgThreads::submit(std::shared_ptr<TThumbJob> job)
{
    m_window.push_back(job);
    m_windowIds.insert(job->Id);
    if (!job->Decode) {
        // Nothing to make: the entry gets its icon when its turn comes.
        const std::lock_guard<std::mutex> lock(m_lock);
        job->state = TThumbJob::Done;
        return;
    }
    startThreads();
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        m_pending.push_back(std::move(job));
    }
    m_work.notify_one();
}

bool TImgThreads::firstDone()
{
    if (m_window.empty()) return false;
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_window.front()->state == TThumbJob::Done;
}

bool TImgThreads::announceFirst()
{
    if (m_announced || m_window.empty()) return true;
    m_announced = true;
    const std::uint64_t generation = m_generation;
    const int index = m_owner->m_items.IndexOfId(m_window.front()->Id);
    if (index >= 0 && m_owner->OnImageLoad) m_owner->OnImageLoad(this, m_owner->m_items.Items(index));
    return generation == m_generation;
}

void TImgThreads::postWake()
{
    QCoreApplication::postEvent(m_owner, new TThumbReadyEvent(-1, -1, 0));
}

void TImgThreads::RunNext()
{
    if (m_busy) return;
    m_busy = true;
    if (!takeOne()) {
        m_busy = false;
        sq::platform::traceStart("loader idle");
        purgeCache(m_owner->m_viewImage, m_cacheLock);
        return;
    }
    if (!announceFirst()) return;
    // The rest of the window is taken once the GUI thread is through with
    // what it is doing now (a page being painted moves its cells to the
    // back of the queue first).
    postWake();
}

void TImgThreads::ResumeQueue()
{
    if (!m_busy) RunNext();
}

void TImgThreads::StopLoading()
{
    if (!m_busy) return;
    m_queue.clear();
    m_where.clear();
    {
        std::unique_lock<std::mutex> lock(m_lock);
        for (const auto& j : m_window) j->Cancelled.store(true, std::memory_order_relaxed);
        m_pending.clear();
        for (TImgThread* t : m_runningOn) t->raisePriority();
        m_idle.wait(lock, [this] { return m_running == 0; });
    }
    m_window.clear();
    m_windowIds.clear();
    m_announced = false;
    // What the workers posted before they were asked to stop is stale now.
    QCoreApplication::removePostedEvents(m_owner, TThumbReadyEvent::Type);
    m_busy = false;
    ++m_generation;
}

void TImgThreads::SetWorkerCount(int count)
{
    const int n = count <= 0 ? DefaultWorkerCount() : std::min(count, MaxWorkers);
    if (n == m_workerCount) return;
    StopLoading();
    DropAhead();
    endThreads();
    m_workerCount = n;
}

// ---- jobs made ahead ----

namespace {

// Jobs made ahead that the browser has not taken by then are dropped.
constexpr int kAheadLifeMs = 5000;

} // namespace

void TImgThreads::Prepare(const QString& folder, std::vector<std::shared_ptr<TThumbJob>> jobs)
{
    DropAhead();
    if (jobs.empty()) return;
    m_aheadFolder = folder;
    startThreads();
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        for (auto& job : jobs) {
            job->Ahead = true;
            m_ahead.push_back(job);
            m_aheadPending.push_back(std::move(job));
        }
    }
    m_work.notify_all();
    const std::uint64_t round = ++m_aheadRound;
    QTimer::singleShot(kAheadLifeMs, m_owner, [this, round] {
        if (round == m_aheadRound) DropAhead();
    });
}

void TImgThreads::DropAhead()
{
    if (m_ahead.empty()) return;
    const std::lock_guard<std::mutex> lock(m_lock);
    m_aheadPending.clear();
    // One a worker is making stops where it can; its result goes nowhere.
    for (const auto& job : m_ahead) job->Cancelled.store(true, std::memory_order_relaxed);
    m_ahead.clear();
    m_aheadFolder.clear();
}

bool TImgThreads::takeOverAhead(const TThumbJob& wanted,
                                const std::optional<sq::platform::FindData>& stamp)
{
    if (!stamp) return false;
    const auto same = [&](const std::shared_ptr<TThumbJob>& j) {
        return j->AheadStamp == stamp && j->ParseName == wanted.ParseName && j->Width == wanted.Width &&
               j->Height == wanted.Height && j->Decode == wanted.Decode &&
               j->Exclusive == wanted.Exclusive && j->Settings == wanted.Settings;
    };
    const auto found = std::find_if(m_ahead.begin(), m_ahead.end(), same);
    if (found == m_ahead.end()) return false;
    std::shared_ptr<TThumbJob> job = std::move(*found);
    m_ahead.erase(found);
    bool done = false;
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        if (job->state == TThumbJob::Pending) {
            // Not started: made as any other job, in the browser's order.
            m_aheadPending.erase(std::find(m_aheadPending.begin(), m_aheadPending.end(), job));
            return false;
        }
        if (job->Cancelled.load(std::memory_order_relaxed)) return false;
        job->Id = wanted.Id;
        job->Serial = wanted.Serial;
        job->Ahead = false;
        // A job still running is now the browser's: a stop waits for it.
        done = job->state == TThumbJob::Done;
        if (!done) {
            --m_aheadRunning;
            ++m_running;
        }
    }
    m_window.push_back(job);
    m_windowIds.insert(job->Id);
    // A finished one posted nothing: the browser is woken to install it.
    if (done) postWake();
    return true;
}

bool TFileImage::StartWorker()
{
    const std::int32_t id = takeBack();
    const int index = m_owner->m_items.IndexOfId(id);
    if (index < 0) return false;
    TPanelItem* item = m_owner->m_items.Items(index);
    // An entry whose job is on its way already is not made twice.
    if (item->LoadDone || inWindow(id)) return false;
    const TImageType kind = item->ImageKind();
    item->loadStamp =
        item->HasItemId() ? item->ParentFolder().findData(item->ItemId()) : std::nullopt;
    TViewImage& vi = m_owner->m_viewImage;
    auto job = std::make_shared<TThumbJob>();
    job->Id = id;
    job->Serial = ++m_serial;
    job->ParseName = item->ParseName();
    // The picture is made at the cell's size in device pixels.
    job->Width = sq::toDevice(vi.ImageWidth(), m_owner->m_dpr);
    job->Height = sq::toDevice(vi.ImageHeight(), m_owner->m_dpr);
    job->Decode = !isIconKind(kind);
    job->Settings = TEngineSettings::of(vi.ImgUtil());
    job->Exclusive = job->Settings.RunsAlone();
    if (!takeOverAhead(*job, item->loadStamp)) submit(std::move(job));
    return true;
}

// ---- results ----

bool TCustomImgPanel::event(QEvent* e)
{
    // Pairs with the workers' release before they post: the event's bytes
    // are visible here.
    (void)m_lastPosted.load(std::memory_order_acquire);
    if (e->type() == TThumbReadyEvent::Type) {
        thumbReady();
        return true;
    }
    // The scroll area would leave the drag events it gets itself unhandled.
    if (dragEvent(e)) return true;
    const bool done = QAbstractScrollArea::event(e);
    // A screen of another device pixel ratio: the pictures are made anew.
    if (e->type() == QEvent::ScreenChangeInternal && m_created)
        layout(viewport()->width(), viewport()->height());
    return done;
}

void TCustomImgPanel::thumbReady()
{
    TImgThreads& loader = m_loader;
    // A handler's own event loop may bring more of these; the outer call
    // looks again when it is done.
    if (m_inThumbReady) {
        m_thumbReadyAgain = true;
        return;
    }
    m_inThumbReady = true;
    struct Leave
    {
        TCustomImgPanel* p;
        ~Leave()
        {
            p->m_inThumbReady = false;
            if (p->m_thumbReadyAgain) {
                p->m_thumbReadyAgain = false;
                if (p->m_loader.Busy()) p->m_loader.postWake();
            }
        }
    } leave{this};

    if (!loader.Busy()) return;
    loader.fill();
    if (!loader.announceFirst() || !loader.firstDone()) return;
    const std::shared_ptr<TThumbJob> job = loader.m_window.front();
    loader.m_window.pop_front();
    loader.m_windowIds.erase(job->Id);
    loader.m_announced = false;
    const std::uint64_t generation = loader.m_generation;
    int index = m_items.IndexOfId(job->Id);
    if (index >= 0) installResult(index, *job);
    loader.m_lastFromCache = index >= 0 && job->Result == 0 && job->FromCache;
    if (OnImageLoaded) OnImageLoaded(this, index >= 0 ? m_items.Items(index) : nullptr);
    // The handler may have stopped loading, or read another folder.
    if (generation != loader.m_generation) return;
    index = m_items.IndexOfId(job->Id);
    if (loader.m_window.empty()) {
        loader.m_busy = false;
        loader.RunNext();
        // The folder's pictures asked for are made: what was made ahead
        // for it and not taken is not wanted.
        if (!loader.m_busy && CurrentFolderPath() == loader.m_aheadFolder) loader.DropAhead();
    } else {
        loader.fill();
        if (loader.announceFirst() && loader.firstDone()) loader.postWake();
    }
    if (generation != loader.m_generation) return;
    if (index >= 0) {
        paintPicture(index);
        invalidatePicture(index);
    }
}

void TCustomImgPanel::installResult(int index, TThumbJob& job)
{
    TPanelItem& item = *m_items.Items(index);
    const QSize box =
        sq::toDevice(QSize(m_viewImage.ImageWidth(), m_viewImage.ImageHeight()), m_dpr);
    if (job.Result == 0 && !item.LoadDone && !job.Bitmap.isNull()) {
        item.LoadDone = true;
        if (job.Bitmap.size() == box) {
            if (job.Bitmap.format() != QImage::Format_RGB888)
                job.Bitmap = job.Bitmap.convertToFormat(QImage::Format_RGB888);
            item.CellBitmap = std::move(job.Bitmap);
        } else {
            if (item.CellBitmap.isNull() || item.SharedBitmap) {
                item.CellBitmap = QImage(box, QImage::Format_RGB888);
                item.CellBitmap.fill(ColorToRGB(m_color));
            }
            drawCentred(item.CellBitmap, QRect(QPoint(0, 0), box), job.Bitmap);
        }
        item.SharedBitmap = false;
        item.CellBitmap.setDevicePixelRatio(m_dpr);
        drawSmallIcon(item);
        item.PictureWidth = job.PictureWidth;
        item.PictureHeight = job.PictureHeight;
    } else {
        item.CellBitmap = iconPicture(item);
    }
}

void TCustomImgPanel::drawSmallIcon(TPanelItem& item)
{
    const TIconPosition pos = m_viewImage.SmallIcon().IconPos();
    const TImageType kind = item.ImageKind();
    if (pos == iipNone || isIconKind(kind) || !m_viewImage.DispImage(kind)) return;
    const int w = m_viewImage.ImageWidth(), h = m_viewImage.ImageHeight(), s = m_viewImage.SmallIcon().Space();
    QPoint at;
    switch (pos) {
    case iipLeftTop: at = {0, 0}; break;
    case iipLeftBottom: at = {0, h - s - 16}; break;
    case iipRightTop: at = {w - s - 16, 0}; break;
    default: at = {w - s - 16, h - s - 16}; break;
    }
    const int icon = std::max(0, item.ShellIconIndex());
    const QImage small = toDeviceRatio(sq::platform::IconList::instance().small(icon));
    at = QPoint(sq::toDevice(at.x(), m_dpr), sq::toDevice(at.y(), m_dpr));
    drawOver(item.CellBitmap, at, small, small.rect());
}

QImage TCustomImgPanel::iconPicture(TPanelItem& item)
{
    const bool folderMode = m_viewMode == ivmFolder;
    item.SharedBitmap = folderMode;
    const int iconIndex = item.ShellIconIndex();
    const QString key = QString::number(item.OverlayKind()) + QLatin1Char('/') + QString::number(iconIndex);
    if (folderMode) {
        const auto found = m_iconCache.find(key);
        if (found != m_iconCache.end()) {
            item.PictureWidth = found->second.deviceIndependentSize().toSize().width();
            item.PictureHeight = found->second.deviceIndependentSize().toSize().height();
            return found->second;
        }
    }
    QImage img(32, 32, QImage::Format_RGB888);
    img.fill(m_viewImage.ImgUtil().BKColor());
    const QImage large = sq::platform::IconList::instance().large(std::max(0, iconIndex));
    drawOver(img, QPoint(0, 0), large, large.rect());
    if (item.OverlayKind() == 1) {
        drawLinkMark(img);
        img = img.copy(); // a copy does not carry the painter's engine along
    }
    if (m_viewImage.BigIcon())
        sq::ResizeBitmap(img, m_viewImage.BigIconSize(), m_viewImage.BigIconSize());
    item.PictureWidth = img.width();
    item.PictureHeight = img.height();
    img = toDeviceRatio(std::move(img));
    if (folderMode) m_iconCache[key] = img;
    return img;
}

void TCustomImgPanel::enqueueForLookAhead(TPanelItem* item)
{
    if (!m_viewImage.LookAhead() || !item->CellBitmap.isNull() || item->LoadDone || !item->HasItemId()) return;
    m_loader.EnqueueFront(item->Id());
}

void TCustomImgPanel::ReloadAll()
{
    m_loader.StopLoading();
    m_iconCache.clear();
    if (m_viewMode == ivmFolder) {
        if (m_hasFolder) readCurrentFolder();
        return;
    }
    for (int i = 0; i < m_items.Count(); ++i) {
        TPanelItem* item = m_items.Items(i);
        item->ResetCaches();
        item->LoadDone = false;
        item->CellBitmap = QImage();
    }
    ShowFrom(m_topIndex);
}
