// Drag and drop with other programs: the browser as a drop target (files
// added in file mode, moved, copied or linked into a folder in folder mode)
// and as a drag source of its selection.
#include "browser/ImgPanel.h"

#include "engine/DeviceRects.h"

#include "platform/DragSelection.h"
#include "platform/FileClipboard.h"
#include "platform/FileVerbs.h"
#include "platform/NativePath.h"
#include "platform/PathOps.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPixmap>
#include <QPointer>
#include <QScopeGuard>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>

#include <chrono>
#include <unistd.h>

// ---- rules ----

Qt::DropAction DropEffectFromKeys(Qt::KeyboardModifiers keys)
{
    if (!(keys & Qt::ControlModifier)) return Qt::MoveAction;
    return (keys & Qt::ShiftModifier) ? Qt::LinkAction : Qt::CopyAction;
}

Qt::DropAction AllowedDropEffect(Qt::KeyboardModifiers keys, Qt::DropActions allowed)
{
    const Qt::DropAction wanted = DropEffectFromKeys(keys);
    if (allowed & wanted) return wanted;
    for (Qt::DropAction a : {Qt::CopyAction, Qt::MoveAction, Qt::LinkAction})
        if (allowed & a) return a;
    return Qt::IgnoreAction;
}

Qt::DropActions DragTypeActions(unsigned dragType)
{
    Qt::DropActions actions;
    if (dragType & (1u << idtCopy)) actions |= Qt::CopyAction;
    if (dragType & (1u << idtMove)) actions |= Qt::MoveAction;
    if (dragType & (1u << idtLink)) actions |= Qt::LinkAction;
    return actions;
}

TDragAnswer DragContinueAnswer(bool escape, Qt::MouseButtons buttons)
{
    const bool left = buttons & Qt::LeftButton, right = buttons & Qt::RightButton;
    if (escape || (left && right)) return TDragAnswer::Cancel;
    if (!left && !right) return TDragAnswer::Drop;
    return TDragAnswer::Continue;
}

TDragScroll::TDragScroll()
{
    SetClock({});
}

void TDragScroll::SetClock(Clock clock)
{
    if (!clock)
        clock = [] {
            using namespace std::chrono;
            return qint64(
                duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
        };
    m_clock = std::move(clock);
    m_last = m_clock();
}

void TDragScroll::Reset()
{
    m_last = m_clock();
}

int TDragScroll::Step(int y, int height, int fontHeight, int margin)
{
    int direction = 0;
    if (y < fontHeight)
        direction = -1;
    else if (y > height - margin - fontHeight)
        direction = 1;
    if (direction == 0) return 0;
    const qint64 now = m_clock();
    if (now - m_last < Interval) return 0;
    m_last = now;
    return direction;
}

// ---- registration ----

void TCustomImgPanel::updateDropRegistration()
{
    const bool on = m_created && m_defaultExec.DropTarget();
    if (on == m_dropRegistered) return;
    m_dropRegistered = on;
    // The whole control, scroll bar included, takes the drops; its viewport
    // does not, so every drag event arrives here in the control's
    // coordinates (see dragEvent).
    setAcceptDrops(on);
    if (!on) dragLeave();
}

// ---- drag in ----

namespace {
// A folder a drop can put files into.
bool takesFiles(const QString& folder)
{
    return sq::platform::isFolderPath(folder) &&
           ::access(sq::platform::nativePath(folder).constData(), W_OK | X_OK) == 0;
}
} // namespace

TCustomImgPanel::DropPlace TCustomImgPanel::dropPlaceAt(QPoint p)
{
    DropPlace place;
    if (!m_verbs) return place; // nobody would carry the drop out
    const int index = HitTest(p);
    if (index < 0) {
        place.folder = m_folder.path();
    } else {
        // Only a folder's cell takes files; a picture's refuses them.
        TPanelItem* item = m_items.Items(index);
        if (!item->IsFolder() || !item->HasItemId()) return place;
        place.folder = item->ParseName();
        place.index = index;
    }
    place.ok = !place.folder.isEmpty() && takesFiles(place.folder);
    return place;
}

bool TCustomImgPanel::dragEvent(QEvent* e)
{
    switch (e->type()) {
    case QEvent::DragEnter:
        dragEnter(static_cast<QDragEnterEvent*>(e));
        return true;
    case QEvent::DragMove:
        dragOver(static_cast<QDragMoveEvent*>(e));
        return true;
    case QEvent::DragLeave:
        dragLeave();
        e->accept();
        return true;
    case QEvent::Drop:
        dropIn(static_cast<QDropEvent*>(e));
        return true;
    default:
        return false;
    }
}

void TCustomImgPanel::dragEnter(QDragEnterEvent* e)
{
    dragLeave();
    m_dragScroll.Reset();
    e->setDropAction(Qt::IgnoreAction);
    // Data without a single local file name is refused here, before any
    // cursor says that it could be dropped.
    TFileDataObject files(e->mimeData());
    if (!m_dropRegistered || !TFileDataObject::Offers(e->mimeData()) || files.FileCount() == 0) {
        e->ignore();
        return;
    }
    const Qt::DropAction effect = AllowedDropEffect(e->modifiers(), e->possibleActions());
    if (effect == Qt::IgnoreAction) {
        e->ignore();
        return;
    }
    m_dragData = e->mimeData();
    m_dragPoint = viewport()->mapFrom(this, e->position().toPoint());
    e->setDropAction(effect);
    e->accept();
    if (m_viewMode == ivmFolder) {
        // Drag positions come only when the pointer moves; the timer goes
        // on scrolling while it rests near an edge.
        if (!m_dragScrollTimer) {
            m_dragScrollTimer = new QTimer(this);
            m_dragScrollTimer->setInterval(50);
            connect(m_dragScrollTimer, &QTimer::timeout, this, [this] {
                if (!m_dragData || !m_dragHasTarget || m_viewMode != ivmFolder) return;
                const int top = m_topIndex;
                dragScrollStep(m_dragPoint);
                if (m_topIndex == top) return;
                // Another entry is under the pointer now.
                const DropPlace place = dropPlaceAt(m_dragPoint);
                m_dropTargetIndex = place.ok ? place.index : -1;
                m_dragHasTarget = place.ok;
            });
        }
        m_dragScrollTimer->start();
    }
}

void TCustomImgPanel::dragOver(QDragMoveEvent* e)
{
    if (!m_dragData) {
        e->setDropAction(Qt::IgnoreAction);
        e->ignore();
        return;
    }
    const QPoint p = viewport()->mapFrom(this, e->position().toPoint());
    m_dragPoint = p;
    const Qt::DropAction effect = AllowedDropEffect(e->modifiers(), e->possibleActions());
    m_dropTargetIndex = -1;
    m_dragHasTarget = false;
    if (m_viewMode == ivmFolder) {
        const DropPlace place = dropPlaceAt(p);
        if (!place.ok || effect == Qt::IgnoreAction) {
            e->setDropAction(Qt::IgnoreAction);
            e->ignore();
            return;
        }
        m_dropTargetIndex = place.index;
        m_dragHasTarget = true;
        e->setDropAction(effect);
        e->accept();
        dragScrollStep(p);
        return;
    }
    m_dragHasTarget = effect != Qt::IgnoreAction;
    e->setDropAction(effect);
    e->setAccepted(m_dragHasTarget);
}

void TCustomImgPanel::dragLeave()
{
    m_dropTargetIndex = -1;
    m_dragData = nullptr;
    m_dragHasTarget = false;
    if (m_dragScrollTimer) m_dragScrollTimer->stop();
}

void TCustomImgPanel::dropIn(QDropEvent* e)
{
    const bool held = m_dragData != nullptr;
    const auto done = qScopeGuard([this] { dragLeave(); });
    e->setDropAction(Qt::IgnoreAction);
    e->ignore();
    if (!held) return;
    TFileDataObject files(e->mimeData());
    if (m_viewMode == ivmFile) {
        for (const QString& name : files.FileNames())
            AddFile(name);
        // The files stay where they are: answered as a copy, so that no
        // source takes the answer for a move and deletes its files.
        e->setDropAction((e->possibleActions() & Qt::CopyAction) ? Qt::CopyAction
                                                                 : e->proposedAction());
        e->accept();
        return;
    }
    // Dropped back where it came from with the left button: nothing to do.
    if (m_dragArm == idaLeftDragging) return;
    // The place under the drop itself: the same as the last drag-over's,
    // unless an automatic scroll has moved the page since.
    const DropPlace place = dropPlaceAt(viewport()->mapFrom(this, e->position().toPoint()));
    const Qt::DropAction effect = AllowedDropEffect(e->modifiers(), e->possibleActions());
    if (!place.ok || effect == Qt::IgnoreAction || files.FileCount() == 0) return;
    if (!m_verbs->Drop(files.FileNames(), place.folder, effect)) return;
    e->setDropAction(effect);
    e->accept();
}

void TCustomImgPanel::dragScrollStep(QPoint p)
{
    const int fontHeight = QFontMetrics(m_captionFont).height();
    QScrollBar* sb = verticalScrollBar();
    const int margin =
        sb->isEnabled() ? style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, sb) : 0;
    switch (m_dragScroll.Step(p.y(), viewport()->height(), fontHeight, margin)) {
    case -1:
        PriorRow();
        break;
    case 1:
        NextRow();
        break;
    default:
        break;
    }
}

// ---- drag out ----

void TCustomImgPanel::armDrag(Qt::MouseButton button, QPoint p, int index)
{
    const bool selected = index >= 0 && index < m_items.Count() && m_items.Items(index)->Selected;
    if (m_defaultExec.DropSource && (CurrentItem() || m_deferredClick >= 0) && selected) {
        m_dragArm = button == Qt::LeftButton ? idaLeftArmed : idaRightArmed;
        m_pressPoint = p;
    } else {
        m_dragArm = idaNone;
    }
}

void TCustomImgPanel::mouseMoveEvent(QMouseEvent* e)
{
    if (m_dragArm != idaLeftArmed && m_dragArm != idaRightArmed) return;
    const Qt::MouseButton button = m_dragArm == idaLeftArmed ? Qt::LeftButton : Qt::RightButton;
    // Any move starts the drag; there is no distance to pass first.
    if (!(e->buttons() & button) || e->position().toPoint() == m_pressPoint) return;
    startDragOut();
}

void TCustomImgPanel::startDragOut()
{
    m_dragArm = m_dragArm == idaLeftArmed ? idaLeftDragging : idaRightDragging;
    // The drag takes the whole selection; the click it started from is over.
    m_deferredClick = -1;
    const QStringList paths = selectedPaths();
    const Qt::DropActions allowed = DragTypeActions(m_defaultExec.DragType);
    if (paths.isEmpty() || !allowed) return;
    // No key moves, as it does for drops here; the target has the last word.
    const Qt::DropAction preferred = (allowed & Qt::MoveAction)   ? Qt::MoveAction
                                     : (allowed & Qt::CopyAction) ? Qt::CopyAction
                                                                  : Qt::LinkAction;
    const QPointer<TCustomImgPanel> alive(this);
    // A move shows up through the change watch; the answer is not needed.
    RunDrag(sq::platform::makeFileMimeData(paths, false), allowed, preferred);
    if (alive) m_dragArm = idaNone;
}

namespace {
// Cancels the drag when the second button joins the first. Escape and the
// release of the buttons are the drag's own rules.
class DragButtonsWatch : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() == QEvent::MouseButtonPress &&
            DragContinueAnswer(false, static_cast<QMouseEvent*>(e)->buttons()) ==
                TDragAnswer::Cancel)
            QDrag::cancel();
        return QObject::eventFilter(watched, e);
    }
};
} // namespace

Qt::DropAction TCustomImgPanel::RunDrag(std::unique_ptr<QMimeData> data, Qt::DropActions allowed,
                                        Qt::DropAction preferred)
{
    auto* drag = new QDrag(this); // deleted by Qt once the drag is over
    sq::platform::serveDragData(*data);
    drag->setMimeData(data.release());
    if (TPanelItem* item = CurrentItem(); item && !item->CellBitmap.isNull()) {
        // 64 logical pixels, made at the device ratio the cell's picture has.
        const int side = sq::toDevice(64, m_dpr);
        QImage small =
            item->CellBitmap.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        small.setDevicePixelRatio(m_dpr);
        drag->setPixmap(QPixmap::fromImage(small));
        const QSizeF logical = small.deviceIndependentSize();
        drag->setHotSpot(QPoint(int(logical.width() / 2), int(logical.height() / 2)));
    }
    DragButtonsWatch watch;
    // Installed once the drag runs, so that it sees a press before the
    // drag's own filter swallows it.
    QTimer::singleShot(0, &watch, [&watch] { qApp->installEventFilter(&watch); });
    return drag->exec(allowed, preferred);
}

// ---- the platform's verbs ----

bool TFileVerbsAdapter::Drop(const QStringList& paths, const QString& folder, Qt::DropAction action)
{
    return m_verbs.drop(paths, folder, action);
}
