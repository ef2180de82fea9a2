// The thumbnail loader: the load queue, the one worker thread at a time, and
// how a result becomes an entry's cell picture (thumbnail, small icon
// overlay, or a shared icon picture).
#include "browser/ImgPanel.h"

#include "platform/IconList.h"

#include <QCoreApplication>
#include <QPainter>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

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

} // namespace

// ---- worker ----

TImgThread::TImgThread(TCustomImgPanel* panel, std::int32_t id, int width, int height, QString parseName,
                       TPanelItems* items, TImgUtil* imgUtil, std::uint64_t serial)
    : m_panel(panel), m_id(id), m_width(width), m_height(height), m_parseName(std::move(parseName)),
      m_items(items), m_imgUtil(imgUtil), m_serial(serial)
{
}

void TImgThread::raisePriority()
{
    const int tid = m_tid.load();
    // Getting back to normal may be refused without privileges; the worker
    // then ends at its lower priority, which only takes longer.
    if (tid > 0) setpriority(PRIO_PROCESS, static_cast<id_t>(tid), 0);
}

int TImgThread::load()
{
    if (isInterruptionRequested()) return -1;
    const int index = m_items->IndexOfId(m_id);
    if (index < 0) return -1;
    if (isIconKind(m_items->Items(index)->ImageKind())) return -1;
    const int r = m_imgUtil->LoadImage(m_parseName, m_width, m_height, 0);
    return isInterruptionRequested() ? -1 : r;
}

void TImgThread::Finish()
{
    wait();
    // The thread's last touch of this object happens before its end mark;
    // reading the mark makes that order visible to the race checker too.
    while (!m_ended.load(std::memory_order_acquire)) QThread::yieldCurrentThread();
}

void TImgThread::run()
{
    struct EndMark
    {
        std::atomic<bool>& ended;
        ~EndMark() { ended.store(true, std::memory_order_release); }
    } endMark{m_ended};
    const int tid = static_cast<int>(syscall(SYS_gettid));
    m_tid.store(tid);
    setpriority(PRIO_PROCESS, static_cast<id_t>(tid), getpriority(PRIO_PROCESS, static_cast<id_t>(tid)) + 1);
    if (isInterruptionRequested()) return;
    int r = -1;
    try {
        r = load();
    } catch (...) {
        // A load that throws still reports, so loading goes on.
        r = -1;
    }
    m_result = r;
    if (!isInterruptionRequested()) {
        auto* ready = new TThumbReadyEvent(m_id, r, m_serial);
        m_panel->m_lastPosted.store(m_serial, std::memory_order_release);
        QCoreApplication::postEvent(m_panel, ready);
    }
}

// ---- queue ----

TImgThreads::~TImgThreads()
{
    if (m_worker) m_worker->Finish();
}

void TImgThreads::Enqueue(std::int32_t id, bool toBack)
{
    const auto found = m_where.find(id);
    if (found != m_where.end()) {
        m_queue.splice(m_queue.end(), m_queue, found->second);
        return;
    }
    m_where[id] = toBack ? m_queue.insert(m_queue.end(), id) : m_queue.insert(m_queue.begin(), id);
}

void TImgThreads::EnqueueFront(std::int32_t id)
{
    const auto it = m_queue.insert(m_queue.begin(), id);
    m_where.try_emplace(id, it);
}

void TImgThreads::ClearQueue()
{
    m_queue.clear();
    m_where.clear();
}

std::int32_t TImgThreads::takeBack()
{
    const auto last = std::prev(m_queue.end());
    const std::int32_t id = *last;
    const auto w = m_where.find(id);
    if (w != m_where.end() && w->second == last) {
        m_where.erase(w);
        // An earlier copy (from EnqueueFront) takes over as the one found.
        for (auto it = m_queue.begin(); it != last; ++it)
            if (*it == id) {
                m_where.emplace(id, it);
                break;
            }
    }
    m_queue.erase(last);
    return id;
}

void TImgThreads::RunNext()
{
    if (m_busy) return;
    m_busy = true;
    while (!m_queue.empty()) {
        if (StartWorker()) {
            m_worker->start();
            return;
        }
    }
    m_busy = false;
}

void TImgThreads::ResumeQueue()
{
    if (!m_busy) RunNext();
}

void TImgThreads::StopLoading()
{
    if (!m_busy) return;
    ClearQueue();
    if (m_worker) {
        m_worker->raisePriority();
        m_worker->requestInterruption();
        m_worker->Finish();
        m_worker.reset();
    }
    // What the worker posted before it was asked to stop is stale now.
    QCoreApplication::removePostedEvents(m_owner, TThumbReadyEvent::Type);
    m_busy = false;
}

bool TFileImage::StartWorker()
{
    const std::int32_t id = takeBack();
    const int index = m_owner->m_items.IndexOfId(id);
    if (index < 0) return false;
    TPanelItem* item = m_owner->m_items.Items(index);
    if (item->LoadDone) return false;
    if (m_owner->OnImageLoad) m_owner->OnImageLoad(this, item);
    // The event may have changed the list; the entry must still be there.
    if (m_owner->m_items.IndexOfId(id) != index) return false;
    if (m_worker) {
        m_worker->Finish();
        m_worker.reset();
    }
    // The kind is asked here, with no worker running, so that the worker
    // finds it cached and only reads the entry.
    item->ImageKind();
    item->loadStamp =
        item->HasItemId() ? item->ParentFolder().findData(item->ItemId()) : std::nullopt;
    TViewImage& vi = m_owner->m_viewImage;
    m_worker = std::make_unique<TImgThread>(m_owner, id, vi.ImageWidth(), vi.ImageHeight(), item->ParseName(),
                                            &m_owner->m_items, &vi.ImgUtil(), ++m_serial);
    return true;
}

// ---- results ----

bool TCustomImgPanel::event(QEvent* e)
{
    // Pairs with the worker's release before it posts: what the worker wrote
    // (the event, the engine's picture) is visible here. Qt's queue orders
    // it too, but not in a way the race checker can see.
    (void)m_lastPosted.load(std::memory_order_acquire);
    if (e->type() == TThumbReadyEvent::Type) {
        thumbReady(static_cast<const TThumbReadyEvent&>(*e));
        return true;
    }
    // The scroll area would leave the drag events it gets itself unhandled.
    if (dragEvent(e)) return true;
    return QAbstractScrollArea::event(e);
}

void TCustomImgPanel::thumbReady(const TThumbReadyEvent& e)
{
    // Only the running worker's result counts; one from a worker that was
    // stopped meanwhile would let a second worker start beside the first.
    if (!m_loader.Busy() || e.Worker != m_loader.WorkerSerial()) return;
    int index = m_items.IndexOfId(e.Id);
    if (index >= 0) installResult(index, e.Result);
    if (OnImageLoaded) OnImageLoaded(this, index >= 0 ? m_items.Items(index) : nullptr);
    // The handler may have read another folder.
    if (!m_loader.Busy() || e.Worker != m_loader.WorkerSerial()) return;
    index = m_items.IndexOfId(e.Id);
    m_loader.SetBusy(false);
    m_loader.RunNext();
    if (index >= 0) {
        paintPicture(index);
        invalidatePicture(index);
    }
}

void TCustomImgPanel::installResult(int index, int result)
{
    TPanelItem& item = *m_items.Items(index);
    TImgUtil& engine = m_viewImage.ImgUtil();
    const QSize box(m_viewImage.ImageWidth(), m_viewImage.ImageHeight());
    if (result == 0 && !item.LoadDone && !engine.Bitmap().isEmpty()) {
        item.LoadDone = true;
        if (engine.Bitmap().image().size() == box) {
            engine.Bitmap().convertTo24();
            item.CellBitmap = engine.Bitmap().take();
        } else {
            if (item.CellBitmap.isNull() || item.SharedBitmap) {
                item.CellBitmap = QImage(box, QImage::Format_RGB888);
                item.CellBitmap.fill(ColorToRGB(m_color));
            }
            drawCentred(item.CellBitmap, QRect(QPoint(0, 0), box), engine.Bitmap().image());
        }
        item.SharedBitmap = false;
        drawSmallIcon(item);
        item.PictureWidth = engine.ImageWidth();
        item.PictureHeight = engine.ImageHeight();
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
    QPainter p(&item.CellBitmap);
    p.drawImage(at, sq::platform::IconList::instance().small(icon));
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
            item.PictureWidth = found->second.width();
            item.PictureHeight = found->second.height();
            return found->second;
        }
    }
    QImage img(32, 32, QImage::Format_RGB888);
    img.fill(m_viewImage.ImgUtil().BKColor());
    {
        QPainter p(&img);
        p.drawImage(0, 0, sq::platform::IconList::instance().large(std::max(0, iconIndex)));
    }
    if (item.OverlayKind() == 1) drawLinkMark(img);
    if (m_viewImage.BigIcon()) sq::ResizeBitmap(img, m_viewImage.BigIconSize(), m_viewImage.BigIconSize());
    if (folderMode) m_iconCache[key] = img;
    item.PictureWidth = img.width();
    item.PictureHeight = img.height();
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
