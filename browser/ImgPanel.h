// The thumbnail browser control: TCustomImgPanel (published as TImgPanel)
// shows a folder's entries as a grid of cells drawn into a 24-bit back
// buffer, and TFileImage loads their pictures in the background on a small
// pool of worker threads. It takes part in drag and drop with other programs
// in both directions (ImgPanel_drag.cpp). Used by the main window and the
// viewers.
//
// Threads: the control, its entries and its queue belong to the GUI thread.
// A worker (TImgThread) never touches the entries: the GUI thread hands it a
// job with everything it needs (path, box size, the engine's settings), and
// it fills the job with its own engine. The workers share the browser's
// thumbnail cache under one lock. Every operation that clears, rebuilds or
// re-sorts the list, reloads or changes options stops loading first
// (StopLoading), which waits for every worker. A worker reports only by
// posting a TThumbReadyEvent to the control; the GUI thread installs the
// results one at a time, in the order their ids left the queue.
#pragma once

#include "browser/ImgShare.h"
#include "browser/ShellChange.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QFont>
#include <QImage>
#include <QThread>

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class TCustomImgPanel;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QMenu;
class QMimeData;
class QTimer;

// Sender is the object that fires: the browser, or the loader for OnImageLoad.
using TImgEvent = std::function<void(void* Sender, TPanelItem* PanelItem)>;

// The thumbnail-ready message: the entry's id and the load result
// (0 = a picture is ready in the engine).
class TThumbReadyEvent : public QEvent
{
public:
    static constexpr QEvent::Type Type = static_cast<QEvent::Type>(QEvent::User + 1);
    TThumbReadyEvent(std::int32_t id, int result, std::uint64_t worker)
        : QEvent(Type), Id(id), Result(result), Worker(worker)
    {
    }
    const std::int32_t Id;
    const int Result;
    const std::uint64_t Worker; // serial of the worker that posted it
};

// The settings of the browser's engine that its workers' engines copy.
struct TEngineSettings
{
    int quality = 90;
    TJPEGPerformance performance = jpBestSpeed;
    bool susiePriority = false;
    bool autoThumb = false;
    QFont font;
    QColor fontColor;
    QString textExt;
    TGetType getType = igtPreview;
    QColor bkColor;
    int aviFramePos = 20;
    TThumb* thumbnail = nullptr;
    TSPlugin* splugin = nullptr;
    TCustomLoader* customLoader = nullptr;
    sq::DecodeBudget* budget = nullptr;
    qreal cacheScale = 1;

    static TEngineSettings of(const TImgUtil& engine);
    void applyTo(TImgUtil& engine) const;
    bool operator==(const TEngineSettings& o) const;
    // Whether code of others runs in these jobs that must never run on two
    // threads at once (plug-ins, a custom loader that does not say it is
    // thread-safe).
    bool RunsAlone() const;
};

// One picture to make: filled by the GUI thread before it is handed to a
// worker, its results by the worker before the job is marked done. The
// state is read and written under the pool's lock only.
struct TThumbJob
{
    enum State { Pending, Running, Done };

    std::int32_t Id = 0;
    std::uint64_t Serial = 0;
    QString ParseName;
    int Width = 0;
    int Height = 0;
    bool Decode = true;     // false: a kind shown by its icon, the result is -1
    bool Exclusive = false; // plug-ins, or a custom loader not thread-safe: one at a time
    TEngineSettings Settings;

    int Result = -1;
    QImage Bitmap;
    int PictureWidth = 0;
    int PictureHeight = 0;
    bool FromCache = false;

    State state = Pending;
    std::atomic<bool> Cancelled{false};
    // Made ahead of the browser's own request (under the pool's lock):
    // nobody has asked for it yet; see TImgThreads::Prepare.
    bool Ahead = false;
    // The file's data when it was listed for a job made ahead: taken over
    // only by a job for the file as it is listed now.
    std::optional<sq::platform::FindData> AheadStamp;
};

class TImgThreads;

// A worker of the loader's pool, one nice step below normal, with an engine
// of its own configured like the browser's. It takes jobs from its pool
// until the pool ends. A plain thread: it runs no event loop, and its end is
// a join that the race checker sees.
class TImgThread
{
public:
    explicit TImgThread(TImgThreads* pool);
    ~TImgThread();
    TImgThread(const TImgThread&) = delete;
    TImgThread& operator=(const TImgThread&) = delete;

    void start();
    // Waits until the thread has ended (the pool told it to).
    void wait();
    // Back to normal priority while it finishes its job; any thread.
    void raisePriority();

    // Makes the job's picture with this worker's engine (the worker thread,
    // or a test's own).
    void load(TThumbJob& job);

private:
    void run();

    TImgThreads* m_pool;
    TImgUtil m_engine;
    TEngineSettings m_applied;
    bool m_configured = false;
    std::atomic<int> m_tid{0};
    int m_lowNice = 1;
    std::thread m_thread;
};

// The load queue and its pool of workers. The back of the queue is served
// first: the next few ids taken from it (the window) are made by the
// workers side by side, and their results are installed one at a time in
// the order they were taken. GUI thread only, but for the worker side at
// the end.
class TImgThreads
{
public:
    // At most this many workers, whatever the cores.
    static constexpr int MaxWorkers = 4;
    // As many workers as cores this process may run on, at most MaxWorkers.
    static int DefaultWorkerCount();

    explicit TImgThreads(TCustomImgPanel* owner);
    // Stops loading and ends the workers.
    virtual ~TImgThreads();
    TImgThreads(const TImgThreads&) = delete;
    TImgThreads& operator=(const TImgThreads&) = delete;

    // A queued id moves to the back; a new one goes to the back when toBack
    // is true, else to the front.
    void Enqueue(std::int32_t id, bool toBack);
    void EnqueueFront(std::int32_t id);
    // Empties the queue; jobs taken from it that no worker has started yet
    // are dropped too (no OnImageLoad was fired for them).
    void ClearQueue();
    // Starts loading when idle: the job at the back becomes the first one
    // (its OnImageLoad fires now), the rest of the window is filled once
    // the GUI thread's current work is done.
    void RunNext();
    void ResumeQueue();
    // Empties the queue and the window, raises the workers' priority, asks
    // them to drop their jobs and waits until every one is idle; no result
    // of theirs is installed.
    void StopLoading();

    bool Busy() const { return m_busy; }
    int QueueCount() const { return static_cast<int>(m_queue.size()); }
    // The queue, front first.
    std::vector<std::int32_t> Queue() const { return {m_queue.begin(), m_queue.end()}; }
    // The ids taken off the queue whose results are still to be installed,
    // in the order they will be.
    std::vector<std::int32_t> Window() const;
    // Workers: 0 = DefaultWorkerCount. Stops loading first; the threads are
    // started with the first job.
    void SetWorkerCount(int count);
    int WorkerCount() const { return m_workerCount; }
    // Whether the result installed last came from the thumbnail cache.
    bool LastFromCache() const { return m_lastFromCache; }

    // Jobs made ahead, while the program is still starting: each is made by
    // a worker left free by the browser's own jobs (at most one core less
    // than the workers, so the GUI thread keeps one), and taken over by the
    // browser's job for the same file, box and settings instead of making
    // it again. What was not taken is dropped once the browser has made
    // what it asked for in that folder, and a few seconds after it was
    // asked for in any case.
    void Prepare(const QString& folder, std::vector<std::shared_ptr<TThumbJob>> jobs);
    void DropAhead();
    int AheadCount() const { return static_cast<int>(m_ahead.size()); }

    // ---- the workers' side (any thread) ----
    // The next job for a worker, waiting for one; nullptr when the pool ends.
    std::shared_ptr<TThumbJob> takeJob(TImgThread* worker);
    // Marks the job done and tells the browser, unless it was dropped.
    void finishJob(const std::shared_ptr<TThumbJob>& job, TImgThread* worker);
    std::mutex& cacheLock() { return m_cacheLock; }
    std::mutex& exclusiveLock() { return m_exclusiveLock; }

protected:
    // Takes the id at the back of the queue and makes a job of it: true when
    // one was made (TFileImage).
    virtual bool StartWorker() = 0;
    // Takes the id at the back off the queue.
    std::int32_t takeBack();
    // Hands a job to the workers (or finishes it at once when it needs no
    // decoding) and adds it to the window.
    void submit(std::shared_ptr<TThumbJob> job);
    bool inWindow(std::int32_t id) const { return m_windowIds.count(id) != 0; }
    // Takes the job made ahead for this one (same file as listed now, box
    // and settings) into the window in its place, running or done: true.
    // False when there is none or it has not started yet (it is dropped;
    // the caller makes the job as any other).
    bool takeOverAhead(const TThumbJob& wanted, const std::optional<sq::platform::FindData>& stamp);

    TCustomImgPanel* m_owner;
    std::uint64_t m_serial = 0;

private:
    friend class TCustomImgPanel;
    struct Queued
    {
        std::list<std::int32_t>::iterator found; // the copy Enqueue moves
        int copies = 0;
    };
    // Fills the window from the queue's back up to its size.
    void fill();
    bool takeOne();
    // Fires OnImageLoad for the window's first job once; false when the
    // handler stopped loading.
    bool announceFirst();
    // Whether the window's first job is done.
    bool firstDone();
    // A wake-up for the browser: look at the window again.
    void postWake();
    void startThreads();
    void endThreads();
    int windowSize() const { return 2 * m_workerCount; }

    std::list<std::int32_t> m_queue;
    std::unordered_map<std::int32_t, Queued> m_where;
    bool m_busy = false;
    int m_workerCount;
    bool m_lastFromCache = false;
    // Bumped by every stop: a handler that stopped loading is noticed.
    std::uint64_t m_generation = 0;
    bool m_announced = false; // OnImageLoad fired for the window's first job

    std::deque<std::shared_ptr<TThumbJob>> m_window; // GUI thread
    std::unordered_set<std::int32_t> m_windowIds;    // GUI thread

    // Shared with the workers, under m_lock.
    std::mutex m_lock;
    std::condition_variable m_work;
    std::condition_variable m_idle;
    std::deque<std::shared_ptr<TThumbJob>> m_pending;
    std::vector<std::unique_ptr<TImgThread>> m_threads;
    std::vector<TImgThread*> m_runningOn; // workers busy with a job
    int m_running = 0;
    std::deque<std::shared_ptr<TThumbJob>> m_aheadPending;
    int m_aheadRunning = 0;
    std::vector<std::shared_ptr<TThumbJob>> m_ahead; // GUI thread: every job made ahead not yet taken
    QString m_aheadFolder;                           // GUI thread: the folder they are from
    std::uint64_t m_aheadRound = 0;                  // GUI thread: bumped by every Prepare
    TImgThread* m_ending = nullptr; // the worker asked to end
    std::mutex m_cacheLock;
    std::mutex m_exclusiveLock;
};

class TFileImage final : public TImgThreads
{
public:
    using TImgThreads::TImgThreads;

protected:
    bool StartWorker() override;
};

// What the browser's shell verbs do; the application plugs in the file
// operations of the platform layer. Paths are absolute.
class TShellVerbs
{
public:
    virtual ~TShellVerbs() = default;
    virtual bool Copy(const QStringList& paths) = 0;
    virtual bool Cut(const QStringList& paths) = 0;
    virtual bool Paste(const QString& folder) = 0;
    virtual bool Delete(const QStringList& paths) = 0;
    virtual bool Rename(const QString& path) = 0;
    virtual bool CopyPath(const QStringList& paths) = 0;
    virtual bool Open(const QString& path) = 0;
    // Files on the clipboard (file mode's Ctrl+V).
    virtual QStringList ClipboardFiles() = 0;
    // Files dropped into folder, moved, copied or linked as action says.
    // False when nothing was done.
    virtual bool Drop(const QStringList& paths, const QString& folder, Qt::DropAction action)
    {
        (void)paths;
        (void)folder;
        (void)action;
        return false;
    }
};

// ---- drag and drop rules ----

// The effect the keys ask for: move without Ctrl, copy with Ctrl, link with
// Ctrl and Shift.
Qt::DropAction DropEffectFromKeys(Qt::KeyboardModifiers keys);
// The keys' effect when the source allows it, else the first it allows of
// copy, move and link; IgnoreAction when it allows none.
Qt::DropAction AllowedDropEffect(Qt::KeyboardModifiers keys, Qt::DropActions allowed);
// The effects a drag out offers for a DefaultExec.DragType set.
Qt::DropActions DragTypeActions(unsigned dragType);

enum class TDragAnswer { Continue, Drop, Cancel };
// The drag source's answer while it drags: Escape, or the left and right
// buttons held together, cancel; neither held drops; else it goes on.
TDragAnswer DragContinueAnswer(bool escape, Qt::MouseButtons buttons);

// Scrolling while a drag hovers near the top or bottom edge: at most one row
// per Interval milliseconds, measured from the last step (or the drag's
// start) on a clock that tests replace.
class TDragScroll
{
public:
    static constexpr qint64 Interval = 300;
    using Clock = std::function<qint64()>; // milliseconds, never going back
    TDragScroll();
    void SetClock(Clock clock);
    // The drag has entered: the first step waits a full interval.
    void Reset();
    // -1 one row up (y above fontHeight), +1 one row down (y below height -
    // margin - fontHeight), 0 none or not yet due. A step counts as taken.
    int Step(int y, int height, int fontHeight, int margin);

private:
    Clock m_clock;
    qint64 m_last = 0;
};

enum TDragArm { idaNone, idaLeftArmed, idaRightArmed, idaLeftDragging, idaRightDragging };

class TCustomImgPanel : public QAbstractScrollArea, public TShellItemsHost
{
    Q_OBJECT

public:
    explicit TCustomImgPanel(QWidget* parent = nullptr);
    ~TCustomImgPanel() override;

    // ---- entries and options ----
    TPanelItems& Items() { return m_items; }
    TView& View() { return m_view; }
    TViewImage& ViewImage() { return m_viewImage; }
    TDefaultExec& DefaultExec() { return m_defaultExec; }
    TFileImage& Loader() { return m_loader; }
    TShellChangeNotification& ShellChangeNotification() { return *m_changeNotification; }

    TBorderStyle BorderStyle() const { return m_borderStyle; }
    void SetBorderStyle(TBorderStyle v);
    bool Descend() const { return m_descend; }
    void SetDescend(bool v);
    bool HideSelection() const { return m_hideSelection; }
    void SetHideSelection(bool v);
    bool MultiSelect() const { return m_multiSelect; }
    void SetMultiSelect(bool v) { m_multiSelect = v; }
    bool ScrollBar() const { return m_scrollBar; }
    void SetScrollBar(bool v);
    TSortTypeEx SortType() const { return m_sortType; }
    void SetSortType(TSortTypeEx v);
    TViewMode ViewMode() const { return m_viewMode; }
    void SetViewMode(TViewMode v);
    TColor Color() const { return m_color; }
    void SetColor(TColor v);
    TColor FontColor() const { return m_fontColor; }
    void SetFontColor(TColor v);
    // The caption font; a change re-measures the caption height and reloads.
    void SetCaptionFont(const QFont& font);

    // ---- layout ----
    int Columns() const { return m_columns; }
    int Rows() const { return m_rows; }
    int VisibleCells() const { return m_columns * m_rows; }
    int TopIndex() const { return m_topIndex; }
    int CaptionHeight();
    int RowPitch() const;
    int ColumnPitch() const;
    QPoint SlotOrigin(int slot) const;
    // The entry's slot, -1 when it has none.
    int SlotOf(int index) const;
    QRect PictureBox(int index) const;
    QRect CaptionBox(int index) const;
    // The back buffer in device pixels (its devicePixelRatio is the panel's).
    const QImage& BackBuffer() const { return m_back; }
    // The device pixel ratio the back buffer and the cell pictures are made
    // for: cells of ImageWidth x ImageHeight hold pictures of
    // round(ImageWidth * ratio) x round(ImageHeight * ratio) device pixels.
    qreal DeviceRatio() const { return m_dpr; }
    // A picture's box in the back buffer's device pixels (empty: no slot).
    QRect PictureDeviceBox(int index) const;
    void ShowFrom(int index);
    bool Updating() const { return m_updating; }

    // ---- selection and navigation ----
    std::vector<int> SelectionList;
    int SelCount() const { return static_cast<int>(SelectionList.size()); }
    int CurrentIndex() const { return m_currentIndex; }
    int FocusIndex() const { return m_focusIndex; }
    int AnchorIndex() const { return m_anchorIndex; }
    TPanelItem* CurrentItem() const;
    void SetSelected(int index, bool selected);
    void MoveFocus(int index, Qt::KeyboardModifiers shift, bool byKey);
    void SelectAll();
    void ClearSelection();
    void InvertSelection();
    bool ScrollToTop();
    bool ScrollToEnd();
    bool NextPage();
    bool NextRow();
    bool PriorPage();
    bool PriorRow();
    void MakeVisible(int index);
    // The entry at a client point, -1 for none.
    int HitTest(QPoint p);

    QString CurrentFolderPath() const;
    void OpenFolder(const QString& path) override;
    // While the program starts: has the first count pictures of the folder
    // at path (in this browser's order, filter and box) made ahead by the
    // workers, for the browser to take once it opens the folder. Nothing
    // for a folder of more than PrepareListLimit entries.
    void PrepareFolder(const QString& path, int count);
    static constexpr int PrepareListLimit = 1000;
    void OpenFolderId(const QString& absoluteIdList) override;
    void Refresh();
    bool ShellCommand(const QString& verb);
    void SetShellVerbs(TShellVerbs* verbs) { m_verbs = verbs; }
    // File mode: adds a file; nullptr when it cannot be listed.
    TPanelItem* AddFile(const QString& path);

    // Reloads every picture (option, colour and font changes).
    void ReloadAll();

    // ---- drag and drop ----
    // Whether the browser takes drops (DefaultExec.DropTarget, once created).
    bool DropRegistered() const { return m_dropRegistered; }
    // The entry that took the last drag-over, -1 for the shown folder or none.
    int DropTargetIndex() const { return m_dropTargetIndex; }
    TDragArm DragArm() const { return m_dragArm; }
    void SetDragClock(TDragScroll::Clock clock) { m_dragScroll.SetClock(std::move(clock)); }

    // ---- events ----
    TImgEvent OnImageLoad;
    TImgEvent OnImageLoaded;
    TImgEvent OnSelectItem;
    std::function<void(TCustomImgPanel*)> OnChangeFolder;
    // The control's own input events, fired before its own handling.
    std::function<void(TCustomImgPanel*)> OnClick;
    std::function<void(TCustomImgPanel*)> OnDblClick;
    std::function<void(TCustomImgPanel*, QMouseEvent*)> OnMouseDown;
    std::function<void(TCustomImgPanel*, QKeyEvent*)> OnKeyUp;
    std::function<void(TCustomImgPanel*)> OnResize;

    // ---- TShellItemsHost ----
    sq::platform::ShellFolder CurrentFolder() const override { return m_folder; }
    bool IsFileMode() const override { return m_viewMode == ivmFile; }
    sq::platform::ShellOpener& Opener() override { return *m_opener; }
    TImgUtil* ImgUtil() override { return &m_viewImage.ImgUtil(); }
    void SetOpener(sq::platform::ShellOpener* opener);

    // Creates the control's window state now (hooks the options, shows the
    // desktop); done on first show or first folder change otherwise.
    void HandleNeeded();
    bool HandleAllocated() const { return m_created; }

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void scrollContentsBy(int, int) override {}
    bool focusNextPrevChild(bool) override { return false; }
    // Runs the drag of the selection (modal until it ends) and answers the
    // effect; tests replace it.
    virtual Qt::DropAction RunDrag(std::unique_ptr<QMimeData> data, Qt::DropActions allowed,
                                   Qt::DropAction preferred);

private:
    friend class TFileImage;
    friend class TImgThread;
    friend class TImgThreads;

    // painting
    void layout(int w, int h);
    void measureCaption();
    void paintTemplate();
    void paintDecorations(int x, int y);
    void paintFrameRing(int index);
    void paintPicture(int index);
    void paintCaption(int index);
    void invalidateCell(int index);
    void invalidatePicture(int index);
    void repaintFocusLook();
    // A slot's cell in device pixels: every cell has the first one's size.
    QRect cellDevice(int slot) const;
    // Logical pixels added around an update at a fractional ratio, where a
    // device box may reach a pixel past the logical box times the ratio.
    int roundingMargin() const { return m_dpr == std::floor(m_dpr) ? 0 : 1; }
    // Takes the window's device pixel ratio; on a change drops every
    // picture made for the old one. Returns whether it changed.
    bool updateDeviceRatio();
    // A bitmap of logical size made for the device ratio (icons).
    QImage toDeviceRatio(QImage image) const;
    bool looksSelected(int index) const;
    // Copies a picture into a box of a bitmap: as it is when it is
    // box-sized, else centred at its size shrunk to fit; never outside the box.
    static void drawCentred(QImage& target, const QRect& box, const QImage& picture);
    // Draws the source part of a picture at a point, blending by its alpha
    // channel, clipped to the target.
    static void drawOver(QImage& target, QPoint at, const QImage& picture, QRect source);

    // loading
    // Installs the window's first result when it is done, one per call.
    void thumbReady();
    void installResult(int index, TThumbJob& job);
    void drawSmallIcon(TPanelItem& item);
    QImage iconPicture(TPanelItem& item);
    void enqueueForLookAhead(TPanelItem* item);

    // navigation
    // keepPictures: a re-read for a change in the folder, which keeps the
    // pictures of entries whose files are unchanged.
    void readCurrentFolder(bool keepPictures = false);
    void clearItems();
    void resortKeepingSelection();
    void updateScrollBar(bool reset);
    void scrollAction(int action);
    void onOptionsChanged(bool relayout);
    void onKey(QKeyEvent* e);
    QStringList selectedPaths();
    void showContextMenu(QPoint globalPos);

    // drag and drop (ImgPanel_drag.cpp); points are viewport coordinates
    struct DropPlace
    {
        bool ok = false;
        int index = -1; // the entry, -1 for the shown folder
        QString folder; // where the files go
    };
    DropPlace dropPlaceAt(QPoint p);
    bool dragEvent(QEvent* e);
    void dragEnter(QDragEnterEvent* e);
    void dragOver(QDragMoveEvent* e);
    void dragLeave();
    void dropIn(QDropEvent* e);
    void dragScrollStep(QPoint p);
    void updateDropRegistration();
    void armDrag(Qt::MouseButton button, QPoint p, int index);
    void startDragOut();

    TPanelItems m_items{this};
    TView m_view;
    TViewImage m_viewImage;
    TDefaultExec m_defaultExec;
    std::unique_ptr<TShellChangeNotification> m_changeNotification;
    TFileImage m_loader{this};
    std::map<QString, QImage> m_iconCache;

    TBorderStyle m_borderStyle = bsSingle;
    bool m_descend = false;
    bool m_hideSelection = true;
    bool m_multiSelect = false;
    bool m_scrollBar = true;
    TSortTypeEx m_sortType = istName;
    TViewMode m_viewMode = ivmFolder;
    TColor m_color = clWhite;
    TColor m_fontColor = clBlack;
    QFont m_captionFont;

    bool m_created = false;
    bool m_hasFolder = false;
    sq::platform::ShellFolder m_folder;
    sq::platform::ShellOpener* m_opener;
    TShellVerbs* m_verbs = nullptr;

    QImage m_back;
    qreal m_dpr = 1;
    int m_captionHeight = -1;
    int m_columns = 0;
    int m_rows = 0;
    int m_topIndex = -1;
    int m_paintedColumns = -1;
    int m_paintedRows = -1;
    bool m_updating = false;

    std::atomic<std::uint64_t> m_lastPosted{0}; // bumped by every posting worker
    bool m_inThumbReady = false;
    bool m_thumbReadyAgain = false;

    int m_currentIndex = -1;
    int m_focusIndex = -1;
    int m_anchorIndex = -1;

    // drag in
    bool m_dropRegistered = false;
    const QMimeData* m_dragData = nullptr; // held from drag enter to leave or drop
    int m_dropTargetIndex = -1;
    bool m_dragHasTarget = false;
    QPoint m_dragPoint;
    TDragScroll m_dragScroll;
    QTimer* m_dragScrollTimer = nullptr;
    // drag out
    TDragArm m_dragArm = idaNone;
    QPoint m_pressPoint;
    int m_deferredClick = -1; // a press on a selection, decided at release
};

namespace sq::platform {
class FileVerbs;
}

// The shell verbs carried out by the platform's file verbs.
class TFileVerbsAdapter final : public TShellVerbs
{
public:
    explicit TFileVerbsAdapter(sq::platform::FileVerbs& verbs) : m_verbs(verbs) {}
    bool Copy(const QStringList& paths) override;
    bool Cut(const QStringList& paths) override;
    bool Paste(const QString& folder) override;
    bool Delete(const QStringList& paths) override;
    bool Rename(const QString& path) override;
    bool CopyPath(const QStringList& paths) override;
    bool Open(const QString& path) override;
    QStringList ClipboardFiles() override;
    bool Drop(const QStringList& paths, const QString& folder, Qt::DropAction action) override;

private:
    sq::platform::FileVerbs& m_verbs;
};

class TImgPanel : public TCustomImgPanel
{
    Q_OBJECT

public:
    using TCustomImgPanel::TCustomImgPanel;
};
