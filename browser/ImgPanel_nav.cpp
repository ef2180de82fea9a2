// The browser's life cycle, options, navigation, selection, keys, mouse
// and scroll bar.
#include "browser/ImgPanel.h"

#include "platform/FileClipboard.h"
#include "platform/FileVerbs.h"
#include "platform/NativePath.h"
#include "platform/PathOps.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>
#include <unistd.h>
#include <unordered_map>

using sq::platform::FileVerb;

TCustomImgPanel::TCustomImgPanel(QWidget* parent)
    : QAbstractScrollArea(parent),
      m_changeNotification(std::make_unique<TShellChangeNotification>(this)),
      m_opener(&sq::platform::desktopShellOpener())
{
    m_view.IconSpacing().Assign(TIconSpacing(4, 4));
    setFocusPolicy(Qt::StrongFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    viewport()->setMouseTracking(false);
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, [this](int a) { scrollAction(a); });
    verticalScrollBar()->setEnabled(false);
}

TCustomImgPanel::~TCustomImgPanel()
{
    m_changeNotification->StopWatch();
    m_loader.StopLoading();
    m_view.OnChange1 = nullptr;
    m_view.OnChange2 = nullptr;
    m_viewImage.OnChange = nullptr;
    m_defaultExec.OnChange = nullptr;
}

void TCustomImgPanel::SetOpener(sq::platform::ShellOpener* opener)
{
    m_opener = opener ? opener : &sq::platform::desktopShellOpener();
}

void TCustomImgPanel::HandleNeeded()
{
    if (m_created) return;
    m_created = true;
    m_view.OnChange1 = [this](TOptionObject*) {
        ReloadAll(); // stops loading first
        viewport()->update();
    };
    m_view.OnChange2 = [this](TOptionObject*) { onOptionsChanged(true); };
    m_viewImage.OnChange = [this](TOptionObject*) { onOptionsChanged(true); };
    m_changeNotification->OnChange = [this](TShellChangeNotification*) { readCurrentFolder(true); };
    m_defaultExec.OnChange = [this](TOptionObject*) { updateDropRegistration(); };
    if (m_captionHeight < 0) measureCaption();
    layout(viewport()->width(), viewport()->height());
    if (m_viewMode == ivmFolder) {
        if (!m_hasFolder) {
            m_folder = sq::platform::ShellFolder::desktop();
            m_hasFolder = true;
        }
        readCurrentFolder();
    }
    updateDropRegistration();
}

void TCustomImgPanel::showEvent(QShowEvent* e)
{
    QAbstractScrollArea::showEvent(e);
    HandleNeeded();
}

void TCustomImgPanel::onOptionsChanged(bool relayout)
{
    if (!m_created) return;
    if (relayout) {
        m_loader.StopLoading();
        m_updating = true;
        layout(viewport()->width(), viewport()->height());
        m_updating = false;
    }
    ReloadAll();
    viewport()->update();
}

// ---- properties ----

void TCustomImgPanel::SetBorderStyle(TBorderStyle v)
{
    if (v == m_borderStyle) return;
    m_borderStyle = v;
    setFrameStyle(v == bsSingle ? (QFrame::StyledPanel | QFrame::Sunken) : QFrame::NoFrame);
}

void TCustomImgPanel::SetDescend(bool v)
{
    if (v == m_descend) return;
    m_descend = v;
    resortKeepingSelection();
}

void TCustomImgPanel::SetSortType(TSortTypeEx v)
{
    if (v == m_sortType) return;
    m_sortType = v;
    resortKeepingSelection();
}

void TCustomImgPanel::resortKeepingSelection()
{
    if (!m_created) return;
    m_loader.StopLoading();
    auto at = [this](int i) { return i >= 0 && i < m_items.Count() ? m_items.Items(i) : nullptr; };
    TPanelItem* current = at(m_currentIndex);
    TPanelItem* focus = at(m_focusIndex);
    TPanelItem* anchor = at(m_anchorIndex);
    m_items.Sort(m_sortType, m_descend);
    // Positions follow their entries, so the selection still names what
    // looks selected.
    SelectionList.clear();
    for (int i = 0; i < m_items.Count(); ++i) {
        TPanelItem* item = m_items.Items(i);
        if (item->Selected) SelectionList.push_back(i);
        if (item == current) m_currentIndex = i;
        if (item == focus) m_focusIndex = i;
        if (item == anchor) m_anchorIndex = i;
    }
    ShowFrom(m_topIndex);
    m_loader.ResumeQueue();
}

void TCustomImgPanel::SetHideSelection(bool v)
{
    if (v == m_hideSelection) return;
    m_hideSelection = v;
    ShowFrom(m_topIndex);
}

void TCustomImgPanel::SetScrollBar(bool v)
{
    if (v == m_scrollBar) return;
    m_scrollBar = v;
    setVerticalScrollBarPolicy(v ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    if (v) updateScrollBar(true);
}

void TCustomImgPanel::SetViewMode(TViewMode v)
{
    if (v == m_viewMode) return;
    m_viewMode = v;
    if (!m_created) return;
    if (v == ivmFolder) {
        if (!m_hasFolder) {
            m_folder = sq::platform::ShellFolder::desktop();
            m_hasFolder = true;
        }
        updateDropRegistration();
        readCurrentFolder();
    } else {
        m_changeNotification->StopWatch();
        m_folder = sq::platform::ShellFolder::desktop();
        updateDropRegistration();
        m_loader.StopLoading();
        clearItems();
        updateScrollBar(true);
        paintTemplate();
        ShowFrom(0);
        viewport()->update();
    }
}

void TCustomImgPanel::SetColor(TColor v)
{
    if (v == m_color) return;
    m_color = v;
    if (m_created) {
        ReloadAll();
        viewport()->update();
    }
}

void TCustomImgPanel::SetFontColor(TColor v)
{
    if (v == m_fontColor) return;
    m_fontColor = v;
    if (m_created) ShowFrom(m_topIndex);
}

void TCustomImgPanel::SetCaptionFont(const QFont& font)
{
    m_captionFont = font;
    measureCaption();
    onOptionsChanged(true);
}

// ---- selection ----

TPanelItem* TCustomImgPanel::CurrentItem() const
{
    if (m_currentIndex < 0 || m_currentIndex >= m_items.Count()) return nullptr;
    return m_items.Items(m_currentIndex);
}

void TCustomImgPanel::SetSelected(int index, bool selected)
{
    if (index < 0 || index >= m_items.Count()) return;
    TPanelItem* item = m_items.Items(index);
    if (item->Selected == selected) return;
    item->Selected = selected;
    paintFrameRing(index);
    paintCaption(index);
    invalidateCell(index);
}

void TCustomImgPanel::ClearSelection()
{
    const std::vector<int> was = std::move(SelectionList);
    SelectionList.clear();
    for (int i : was) SetSelected(i, false);
    m_currentIndex = -1;
}

void TCustomImgPanel::SelectAll()
{
    SelectionList.clear();
    for (int i = 0; i < m_items.Count(); ++i) {
        SelectionList.push_back(i);
        SetSelected(i, true);
    }
}

void TCustomImgPanel::InvertSelection()
{
    SelectionList.clear();
    for (int i = 0; i < m_items.Count(); ++i) {
        SetSelected(i, !m_items.Items(i)->Selected);
        if (m_items.Items(i)->Selected) SelectionList.push_back(i);
    }
}

void TCustomImgPanel::MoveFocus(int index, Qt::KeyboardModifiers shift, bool byKey)
{
    if (index < 0 || index >= m_items.Count()) return;
    if (m_focusIndex != -1) {
        const int old = m_focusIndex;
        m_focusIndex = -1;
        paintCaption(old);
        invalidateCell(old);
    }
    m_focusIndex = index;
    const bool ctrl = shift & Qt::ControlModifier;
    if (shift & Qt::ShiftModifier) {
        const int anchor = m_anchorIndex < 0 ? 0 : std::min(m_anchorIndex, m_items.Count() - 1);
        ClearSelection();
        for (int i = std::min(anchor, index); i <= std::max(anchor, index); ++i) {
            SetSelected(i, true);
            SelectionList.push_back(i);
        }
    } else if (!ctrl) {
        ClearSelection();
        SetSelected(index, true);
        SelectionList = {index};
    } else if (!byKey) {
        const bool now = !m_items.Items(index)->Selected;
        SetSelected(index, now);
        if (now) {
            SelectionList.push_back(index);
        } else {
            const auto it = std::find(SelectionList.begin(), SelectionList.end(), index);
            if (it != SelectionList.end()) SelectionList.erase(it);
        }
    }
    MakeVisible(index);
    if (!(shift & Qt::ShiftModifier)) m_anchorIndex = index;
    if (byKey && ctrl && !(shift & Qt::ShiftModifier)) {
        paintCaption(index);
        invalidateCell(index);
    } else {
        m_currentIndex = index;
        paintCaption(index);
        invalidateCell(index);
        if (OnSelectItem) OnSelectItem(this, m_items.Items(index));
    }
}

// ---- scrolling ----

bool TCustomImgPanel::ScrollToTop()
{
    if (m_topIndex == -1) return false;
    ShowFrom(0);
    return true;
}

bool TCustomImgPanel::ScrollToEnd()
{
    if (m_items.Count() == 0) return false;
    MakeVisible(m_items.Count() - 1);
    return true;
}

bool TCustomImgPanel::NextPage()
{
    const int count = m_items.Count();
    if (count < VisibleCells() || m_columns == 0) return false;
    int a = std::max(0, m_topIndex) + VisibleCells();
    if (a > count - 1) {
        a = m_columns * (count / m_columns);
        if (count % m_columns == 0) a -= m_columns;
    }
    ShowFrom(a);
    return true;
}

bool TCustomImgPanel::NextRow()
{
    const int count = m_items.Count();
    if (count < VisibleCells() || m_columns == 0 || std::max(0, m_topIndex) + m_columns > count - 1) return false;
    ShowFrom(std::max(0, m_topIndex) + m_columns);
    return true;
}

bool TCustomImgPanel::PriorPage()
{
    if (m_topIndex == 0 || m_items.Count() < VisibleCells()) return false;
    ShowFrom(std::max(0, m_topIndex - VisibleCells()));
    return true;
}

bool TCustomImgPanel::PriorRow()
{
    if (m_topIndex == 0 || m_items.Count() < VisibleCells()) return false;
    ShowFrom(std::max(0, m_topIndex - m_columns));
    return true;
}

void TCustomImgPanel::MakeVisible(int index)
{
    if (index < 0 || index >= m_items.Count() || m_columns == 0) return;
    const int top = std::max(0, m_topIndex);
    if (index >= top && index <= top + VisibleCells() - 1) return;
    int target;
    if (index > top)
        target = std::max(0, m_columns * (index / m_columns - m_rows + 1));
    else
        target = m_columns * (index / m_columns);
    if (target != m_topIndex) ShowFrom(target);
}

void TCustomImgPanel::updateScrollBar(bool reset)
{
    QScrollBar* sb = verticalScrollBar();
    const QSignalBlocker block(sb);
    const int count = m_items.Count();
    if (count > 0 && m_columns > 0 && m_columns < count) {
        const int last = count / m_columns - (count % m_columns == 0 ? 1 : 0);
        sb->setRange(0, last);
        sb->setPageStep(1);
        sb->setEnabled(true);
    } else {
        sb->setRange(0, 1);
        sb->setPageStep(0);
        sb->setEnabled(false);
    }
    sb->setValue(reset || m_columns == 0 ? 0 : std::max(0, m_topIndex) / m_columns);
}

void TCustomImgPanel::scrollAction(int action)
{
    QScrollBar* sb = verticalScrollBar();
    switch (action) {
    case QAbstractSlider::SliderMove:
        ShowFrom(sb->sliderPosition() * m_columns);
        return;
    case QAbstractSlider::SliderNoAction:
        return;
    default:
        break;
    }
    // The slider has moved by its own rule already; the browser's rule decides.
    sb->setSliderPosition(sb->value());
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: NextRow(); break;
    case QAbstractSlider::SliderSingleStepSub: PriorRow(); break;
    case QAbstractSlider::SliderPageStepAdd: NextPage(); break;
    case QAbstractSlider::SliderPageStepSub: PriorPage(); break;
    case QAbstractSlider::SliderToMinimum: ScrollToTop(); break;
    case QAbstractSlider::SliderToMaximum: ScrollToEnd(); break;
    default: break;
    }
}

// ---- mouse ----

int TCustomImgPanel::HitTest(QPoint p)
{
    const int count = m_items.Count();
    const int sx = m_view.IconSpacing().X(), sy = m_view.IconSpacing().Y();
    if (count == 0 || p.x() < sx || p.y() < sy) return -1;
    int col = -1, row = -1;
    for (int c = 0; c < m_columns; ++c) {
        const int left = sx + ColumnPitch() * c;
        if (p.x() < left) return -1;
        if (p.x() <= left + m_viewImage.CellWidth()) {
            col = c;
            break;
        }
    }
    if (col < 0) return -1;
    for (int r = 0; r < m_rows; ++r) {
        const int top = sy + RowPitch() * r;
        if (p.y() < top) return -1;
        if (p.y() <= top + RowPitch() - sy) {
            row = r;
            break;
        }
    }
    if (row < 0) return -1;
    const int index = std::max(0, m_topIndex) + row * m_columns + col;
    if (index > count - 1) return -1;
    if (m_view.ShowCaptions()) {
        const QRect cr = m_items.Items(index)->CaptionRect;
        if (p.y() > cr.top()) {
            const bool inside = p.x() >= cr.left() && p.y() >= cr.top() && p.x() < cr.left() + cr.width() &&
                                p.y() < cr.top() + cr.height();
            if (!inside) return -1;
        }
    }
    return index;
}

void TCustomImgPanel::mousePressEvent(QMouseEvent* e)
{
    setFocus(Qt::MouseFocusReason);
    if (OnMouseDown) OnMouseDown(this, e);
    if (e->button() != Qt::LeftButton && e->button() != Qt::RightButton) return;
    const QPoint p = e->position().toPoint();
    m_deferredClick = -1;
    const int index = HitTest(p);
    if (index < 0) {
        ClearSelection();
        m_dragArm = idaNone;
        return;
    }
    if (e->button() == Qt::RightButton && m_items.Items(index)->Selected) {
        armDrag(Qt::RightButton, p, index);
        return;
    }
    const Qt::KeyboardModifiers live =
        m_multiSelect ? (e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) : Qt::NoModifier;
    // A plain press on one entry of a larger selection may be the start of
    // dragging all of it: the click's narrowing of the selection waits for
    // the release, and a drag in between cancels it.
    if (e->button() == Qt::LeftButton && live == Qt::NoModifier && m_defaultExec.DropSource &&
        m_items.Items(index)->Selected && SelCount() > 1) {
        m_deferredClick = index;
        armDrag(Qt::LeftButton, p, index);
        return;
    }
    MoveFocus(index, live, false);
    armDrag(e->button(), p, index);
}

void TCustomImgPanel::mouseReleaseEvent(QMouseEvent* e)
{
    e->accept();
    m_dragArm = idaNone;
    if (m_deferredClick >= 0) {
        const int index = m_deferredClick;
        m_deferredClick = -1;
        if (e->button() == Qt::LeftButton && index < m_items.Count())
            MoveFocus(index, Qt::NoModifier, false);
    }
    if (e->button() == Qt::LeftButton && OnClick) OnClick(this);
}

void TCustomImgPanel::mouseDoubleClickEvent(QMouseEvent* e)
{
    Q_UNUSED(e);
    if (OnDblClick) OnDblClick(this);
    if (m_defaultExec.DblClick)
        if (TPanelItem* item = CurrentItem()) item->Execute();
}

void TCustomImgPanel::focusInEvent(QFocusEvent* e)
{
    QAbstractScrollArea::focusInEvent(e);
    repaintFocusLook();
}

void TCustomImgPanel::focusOutEvent(QFocusEvent* e)
{
    QAbstractScrollArea::focusOutEvent(e);
    repaintFocusLook();
}

// ---- keys ----

void TCustomImgPanel::keyPressEvent(QKeyEvent* e)
{
    onKey(e);
}

void TCustomImgPanel::keyReleaseEvent(QKeyEvent* e)
{
    if (OnKeyUp) OnKeyUp(this, e);
    QAbstractScrollArea::keyReleaseEvent(e);
}

void TCustomImgPanel::onKey(QKeyEvent* e)
{
    const int count = m_items.Count();
    const Qt::KeyboardModifiers mods = e->modifiers();
    // Pasting needs no entry: an empty folder is where files are pasted most.
    if (count == 0 && !((mods & Qt::ControlModifier) && e->key() == Qt::Key_V)) return;
    Qt::KeyboardModifiers shift = mods & (Qt::ShiftModifier | Qt::ControlModifier);
    if (shift & Qt::ShiftModifier) shift = Qt::ShiftModifier;
    if (mods & Qt::ControlModifier) {
        switch (e->key()) {
        case Qt::Key_A: SelectAll(); return;
        case Qt::Key_C: ShellCommand(QStringLiteral("copy")); return;
        case Qt::Key_X: ShellCommand(QStringLiteral("cut")); return;
        case Qt::Key_V:
            if (m_viewMode == ivmFolder) {
                ShellCommand(QStringLiteral("paste"));
            } else if (m_verbs) {
                for (const QString& f : m_verbs->ClipboardFiles()) AddFile(f);
            }
            return;
        case Qt::Key_I: InvertSelection(); return;
        default: break;
        }
    }
    const int f = m_focusIndex < 0 ? 0 : m_focusIndex;
    const int last = count - 1;
    const int cols = std::max(1, m_columns);
    int n = -1;
    bool click = false;
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (TPanelItem* item = CurrentItem()) item->Execute();
        return;
    case Qt::Key_Space:
        n = f;
        click = true;
        break;
    case Qt::Key_PageUp:
        n = f - VisibleCells();
        if (n < 0) n = f % cols;
        break;
    case Qt::Key_PageDown:
        if (f + VisibleCells() <= last) {
            n = f + VisibleCells();
        } else {
            const int r = count / cols + 1;
            if (f / cols + 1 == r) {
                NextPage();
                return;
            }
            if (f + cols > last) {
                ShowFrom(cols * (f / cols));
                return;
            }
            n = cols * (r - 1) + f % cols;
            if (n > last) n -= cols;
        }
        break;
    case Qt::Key_End: n = last; break;
    case Qt::Key_Home: n = 0; break;
    case Qt::Key_Left:
        if (f % cols == 0) return;
        n = f - 1;
        break;
    case Qt::Key_Up:
        if (f < cols) return;
        n = f - cols;
        break;
    case Qt::Key_Right:
        if (f == last || (f + 1) % cols == 0) return;
        n = f + 1;
        break;
    case Qt::Key_Down:
        if (f > count - cols - 1) return;
        n = f + cols;
        break;
    case Qt::Key_Delete:
        if (!(mods & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)))
            ShellCommand(QStringLiteral("delete"));
        return;
    default:
        QAbstractScrollArea::keyPressEvent(e);
        return;
    }
    MoveFocus(n, shift, !click);
}

// ---- shell verbs ----

QStringList TCustomImgPanel::selectedPaths()
{
    QStringList paths;
    for (int i : SelectionList)
        if (i >= 0 && i < m_items.Count() && m_items.Items(i)->HasItemId()) paths << m_items.Items(i)->ParseName();
    return paths;
}

bool TCustomImgPanel::ShellCommand(const QString& verb)
{
    if (!m_verbs) return false;
    if (verb == QLatin1String("paste")) {
        if (m_viewMode != ivmFolder) return false;
        return m_verbs->Paste(m_folder.path());
    }
    const QStringList paths = selectedPaths();
    if (paths.isEmpty()) return false;
    if (verb == QLatin1String("copy")) return m_verbs->Copy(paths);
    if (verb == QLatin1String("cut")) return m_verbs->Cut(paths);
    if (verb == QLatin1String("delete")) return m_verbs->Delete(paths);
    return false;
}

void TCustomImgPanel::contextMenuEvent(QContextMenuEvent* e)
{
    if (!m_defaultExec.ContextMenu || !CurrentItem() || !m_verbs) {
        e->ignore();
        return;
    }
    showContextMenu(e->globalPos());
    e->accept();
}

void TCustomImgPanel::showContextMenu(QPoint globalPos)
{
    QStringList paths;
    if (m_viewMode == ivmFolder)
        paths = selectedPaths();
    else if (TPanelItem* item = CurrentItem())
        paths << item->ParseName();
    if (paths.isEmpty()) return;
    QMenu menu(this);
    QAction* open = menu.addAction(sq::platform::fileVerbCaption(FileVerb::Open));
    menu.addSeparator();
    QAction* cut = menu.addAction(sq::platform::fileVerbCaption(FileVerb::Cut));
    QAction* copy = menu.addAction(sq::platform::fileVerbCaption(FileVerb::Copy));
    QAction* paste = menu.addAction(sq::platform::fileVerbCaption(FileVerb::Paste));
    paste->setEnabled(m_viewMode == ivmFolder && !m_verbs->ClipboardFiles().isEmpty());
    menu.addSeparator();
    QAction* trash = menu.addAction(sq::platform::fileVerbCaption(FileVerb::Delete));
    QAction* rename = menu.addAction(sq::platform::fileVerbCaption(FileVerb::Rename));
    rename->setEnabled(paths.size() == 1);
    QAction* copyPath = menu.addAction(sq::platform::fileVerbCaption(FileVerb::CopyPath));
    QAction* chosen = menu.exec(globalPos);
    if (!chosen) return;
    if (chosen == open) {
        for (const QString& p : paths) m_verbs->Open(p);
    } else if (chosen == cut) {
        m_verbs->Cut(paths);
    } else if (chosen == copy) {
        m_verbs->Copy(paths);
    } else if (chosen == paste) {
        m_verbs->Paste(m_folder.path());
    } else if (chosen == trash) {
        m_verbs->Delete(paths);
    } else if (chosen == rename) {
        m_verbs->Rename(paths.front());
    } else if (chosen == copyPath) {
        m_verbs->CopyPath(paths);
    }
}

// ---- the platform's verbs ----

bool TFileVerbsAdapter::Copy(const QStringList& paths)
{
    return m_verbs.run(FileVerb::Copy, paths);
}

bool TFileVerbsAdapter::Cut(const QStringList& paths)
{
    return m_verbs.run(FileVerb::Cut, paths);
}

bool TFileVerbsAdapter::Paste(const QString& folder)
{
    return m_verbs.run(FileVerb::Paste, {}, folder);
}

bool TFileVerbsAdapter::Delete(const QStringList& paths)
{
    return m_verbs.run(FileVerb::Delete, paths);
}

bool TFileVerbsAdapter::Rename(const QString& path)
{
    return m_verbs.run(FileVerb::Rename, {path});
}

bool TFileVerbsAdapter::CopyPath(const QStringList& paths)
{
    return m_verbs.run(FileVerb::CopyPath, paths);
}

bool TFileVerbsAdapter::Open(const QString& path)
{
    return m_verbs.run(FileVerb::Open, {path});
}

QStringList TFileVerbsAdapter::ClipboardFiles()
{
    return sq::platform::filesOnClipboard().paths;
}
