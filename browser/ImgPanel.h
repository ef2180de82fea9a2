// The thumbnail browser control: TCustomImgPanel (published as TImgPanel)
// shows a folder's entries as a grid of cells drawn into a 24-bit back
// buffer, and TFileImage loads their pictures in the background, one worker
// thread at a time. It takes part in drag and drop with other programs in
// both directions (ImgPanel_drag.cpp). Used by the main window and the
// viewers.
//
// Threads: the control, its entries and its queue belong to the GUI thread.
// A TImgThread reads the entry list (IndexOfId, ImageKind) and fills the
// image engine ViewImage().ImgUtil(); while one runs, the GUI thread neither
// changes the list nor uses that engine: every operation that clears,
// rebuilds or re-sorts the list, reloads or changes options stops the worker
// first (StopLoading) and waits for it. The worker reports only by posting
// a TThumbReadyEvent to the control.
#pragma once

#include "browser/ImgShare.h"
#include "browser/ShellChange.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QFont>
#include <QImage>
#include <QThread>

#include <atomic>
#include <list>
#include <map>
#include <memory>
#include <unordered_map>
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

// One picture load on its own thread, one nice step below normal.
class TImgThread : public QThread
{
public:
    TImgThread(TCustomImgPanel* panel, std::int32_t id, int width, int height,
               QString parseName, TPanelItems* items, TImgUtil* imgUtil, std::uint64_t serial);

    // Back to normal priority; any thread.
    void raisePriority();
    // Waits until the thread has ended; the object may be freed afterwards.
    void Finish();
    int Result() const { return m_result; }

protected:
    void run() override;

private:
    int load();

    TCustomImgPanel* m_panel;
    std::int32_t m_id;
    int m_width;
    int m_height;
    QString m_parseName;
    TPanelItems* m_items;
    TImgUtil* m_imgUtil;
    std::uint64_t m_serial;
    int m_result = -1;
    std::atomic<int> m_tid{0};
    std::atomic<bool> m_ended{false};
};

// The load queue. The back is served first. GUI thread only.
class TImgThreads
{
public:
    explicit TImgThreads(TCustomImgPanel* owner) : m_owner(owner) {}
    // Waits for a worker that has posted its result but not yet ended.
    virtual ~TImgThreads();
    TImgThreads(const TImgThreads&) = delete;
    TImgThreads& operator=(const TImgThreads&) = delete;

    // A queued id moves to the back; a new one goes to the back when toBack
    // is true, else to the front.
    void Enqueue(std::int32_t id, bool toBack);
    void EnqueueFront(std::int32_t id);
    void ClearQueue();
    void RunNext();
    void ResumeQueue();
    // Empties the queue, ends the worker (raising its priority first) and
    // waits for it.
    void StopLoading();

    bool Busy() const { return m_busy; }
    void SetBusy(bool busy) { m_busy = busy; }
    int QueueCount() const { return static_cast<int>(m_queue.size()); }
    // The queue, front first.
    std::vector<std::int32_t> Queue() const { return {m_queue.begin(), m_queue.end()}; }
    TImgThread* Worker() const { return m_worker.get(); }
    std::uint64_t WorkerSerial() const { return m_serial; }

protected:
    virtual bool StartWorker() = 0;
    // Takes the id at the back off the queue.
    std::int32_t takeBack();
    TCustomImgPanel* m_owner;
    std::unique_ptr<TImgThread> m_worker;
    std::uint64_t m_serial = 0;

private:
    std::list<std::int32_t> m_queue;
    std::unordered_map<std::int32_t, std::list<std::int32_t>::iterator> m_where;
    bool m_busy = false;
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
    const QImage& BackBuffer() const { return m_back; }
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
    bool looksSelected(int index) const;
    // Copies a picture into a box of a bitmap: as it is when it is
    // box-sized, else centred at its size shrunk to fit; never outside the box.
    static void drawCentred(QImage& target, const QRect& box, const QImage& picture);

    // loading
    void thumbReady(const TThumbReadyEvent& e);
    void installResult(int index, int result);
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
    int m_captionHeight = -1;
    int m_columns = 0;
    int m_rows = 0;
    int m_topIndex = -1;
    int m_paintedColumns = -1;
    int m_paintedRows = -1;
    bool m_updating = false;

    std::atomic<std::uint64_t> m_lastPosted{0}; // serial of the last posting worker

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
