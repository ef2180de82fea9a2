// The slide view's window: its components, the placement of its rows and
// panels, creation, show, close, keys and mouse.
#include "viewers/Unit2.h"

#include "browser/ImgPanel.h"
#include "engine/ImgBox.h"
#include "engine/PictureLoader.h"
#include "platform/NativePath.h"
#include "platform/ShownFileWatch.h"
#include "state/Globals.h"
#include "state/SettingsLines.h"
#include "viewers/BitmapSaveDialog.h"
#include "viewers/SavedScreen.h"
#include "viewers/SlideAhead.h"
#include "viewers/ToolButtonRow.h"
#include "viewers/Unit11.h"
#include "viewers/ViewerHost.h"
#include "viewers/WindowPlacement.h"

#include <QAction>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

namespace {

const QColor kInfoColor(128, 255, 128); // light green

// The info line: its labels on a black rounded rectangle.
class TInfoLine final : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawRoundedRect(rect().adjusted(0, 2, -1, -3), 6, 6);
    }
};

void makeBlack(QWidget* w)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, Qt::black);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

} // namespace

// ---- the browser's list for the rules ----

int TBrowserEntries::Count() const
{
    return m_browser.Items().Count();
}

bool TBrowserEntries::Selected(int index) const
{
    return index >= 0 && index < Count() && m_browser.Items().Items(index)->Selected;
}

int TBrowserEntries::SelCount() const
{
    return m_browser.SelCount();
}

// ---- splitters ----

TSlideSplitter::TSlideSplitter(Qt::Orientation orientation, QWidget* parent)
    : QWidget(parent), m_orientation(orientation)
{
    setCursor(orientation == Qt::Horizontal ? Qt::SplitHCursor : Qt::SplitVCursor);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(pal);
    setAutoFillBackground(true);
}

void TSlideSplitter::mousePressEvent(QMouseEvent* event)
{
    const QPoint at = event->globalPosition().toPoint();
    m_pressedAt = m_orientation == Qt::Horizontal ? at.x() : at.y();
}

void TSlideSplitter::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint at = event->globalPosition().toPoint();
    const int delta = (m_orientation == Qt::Horizontal ? at.x() : at.y()) - m_pressedAt;
    if (delta != 0 && OnMoved) OnMoved(delta);
}

// ---- the window ----

TForm2::TForm2(TViewerHost& host, QWidget* parent)
    : QMainWindow(parent), m_host(host), m_entries(host.Browser())
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("スライドビュー/Sorrelquint"));
    setFocusPolicy(Qt::StrongFocus);
    Random = [](int n) { return static_cast<int>(QRandomGenerator::global()->bounded(n)); };
    SavePictureDialog1 = [this] { return sq::viewers::askBitmapFileName(this); };
    OpenDialog1 = [this] {
        return sq::viewers::askSavedScreenFileName(this, m_host.DataFolder() +
                                                             QStringLiteral("Favorites/"));
    };
    m_shownWatch = std::make_unique<sq::platform::ShownFileWatch>();
    m_shownWatch->OnChanged = [this](const QString& file) { ShownFileChanged(file); };
    m_ahead = std::make_unique<TSlideAhead>(*this);
    buildComponents();
    m_ahead->Loader().WatchSizes({ImgBox1, ImgBox2, ImgBox3, ImgBox4}, [this] { m_ahead->Schedule(); });
    buildMenus();
    FormCreate();
}

TForm2::~TForm2() = default;

void TForm2::buildComponents()
{
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("Central"));
    setCentralWidget(central);
    central->installEventFilter(this);

    Panel8 = new QWidget(central);
    Panel8->setObjectName(QStringLiteral("Panel8"));
    buildToolbar();

    Panel3 = new QWidget(central);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    makeBlack(Panel3);
    Panel3->installEventFilter(this);

    auto makePanel = [](QWidget* parent, const char* name) {
        auto* panel = new QWidget(parent);
        panel->setObjectName(QString::fromLatin1(name));
        makeBlack(panel);
        return panel;
    };
    Panel1 = makePanel(Panel3, "Panel1");
    Splitter3 = new TSlideSplitter(Qt::Vertical, Panel3);
    Splitter3->setObjectName(QStringLiteral("Splitter3"));
    Panel2 = makePanel(Panel3, "Panel2");
    Panel4 = makePanel(Panel1, "Panel4");
    Splitter1 = new TSlideSplitter(Qt::Horizontal, Panel1);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Panel5 = makePanel(Panel1, "Panel5");
    Panel6 = makePanel(Panel2, "Panel6");
    Splitter2 = new TSlideSplitter(Qt::Horizontal, Panel2);
    Splitter2->setObjectName(QStringLiteral("Splitter2"));
    Panel7 = makePanel(Panel2, "Panel7");
    Splitter1->OnMoved = [this](int d) { MoveSplitter(1, m_geometry.Panel4Width + d); };
    Splitter2->OnMoved = [this](int d) { MoveSplitter(2, m_geometry.Panel6Width + d); };
    Splitter3->OnMoved = [this](int d) { MoveSplitter(3, m_geometry.TopHeight + d); };

    QWidget* holders[] = {Panel4, Panel5, Panel6, Panel7};
    TImgBox** boxes[] = {&ImgBox1, &ImgBox2, &ImgBox3, &ImgBox4};
    for (int i = 0; i < 4; ++i) {
        auto* box = new TImgBox(holders[i]);
        box->setObjectName(QStringLiteral("ImgBox%1").arg(i + 1));
        box->setBorderStyle(bsNone);
        box->setColor(Qt::black);
        box->setCursor(Qt::PointingHandCursor);
        box->setFocusPolicy(Qt::NoFocus);
        box->setMouseTracking(true);
        TImgUtil& engine = *box->ImgUtil();
        sq::installPictureLoader(engine);
        engine.setQuality(100);
        engine.setGetType(igtNormal);
        engine.setBKColor(Qt::black);
        engine.setAviFramePos(20);
        box->installEventFilter(this);
        *boxes[i] = box;
    }

    // Hidden controls that carry data.
    Memo1 = new QPlainTextEdit(central);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setPlainText(m_state.Record.join(QLatin1Char('\n')));
    ListBox1 = new QListWidget(central);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox2 = new QListWidget(central);
    ListBox2->setObjectName(QStringLiteral("ListBox2"));
    DirectoryListBox1 = new QLineEdit(central);
    DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
    FileListBox1 = new QListWidget(central);
    FileListBox1->setObjectName(QStringLiteral("FileListBox1"));
    for (QWidget* w : std::initializer_list<QWidget*>{Memo1, ListBox1, ListBox2, DirectoryListBox1,
                                                      FileListBox1})
        w->hide();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(5000);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(200);
    // Play and fast forward keep their pace: a coarse timer may come up to
    // 5% late, and on a busy machine it was seen to, tick after tick.
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer2->setTimerType(Qt::PreciseTimer);
    Timer3 = new QTimer(this);
    Timer3->setObjectName(QStringLiteral("Timer3"));
    Timer3->setInterval(5000);
    connect(Timer1, &QTimer::timeout, this, &TForm2::Timer1Timer);
    connect(Timer2, &QTimer::timeout, this, &TForm2::Timer2Timer);
    connect(Timer3, &QTimer::timeout, this, &TForm2::Timer3Timer);
}

void TForm2::buildToolbar()
{
    Panel8->setFixedHeight(ToolbarHeight);
    auto* row = new QHBoxLayout(Panel8);
    row->setContentsMargins(2, 2, 2, 2);
    row->setSpacing(2);

    Panel9 = new QWidget(Panel8);
    Panel9->setObjectName(QStringLiteral("Panel9"));
    auto* buttons = new QHBoxLayout(Panel9);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(1);
    SlideButtons = new QButtonGroup(this);
    SlideButtons->setExclusive(true);
    const ToolButtonDef<TForm2> slide[] = {
        {&SpeedButton1, "SpeedButton1", "リバース再生(Shift)", &TForm2::ReversePlay1Click},
        {&SpeedButton2, "SpeedButton2", "停止(Down)", &TForm2::Stop1Click},
        {&SpeedButton3, "SpeedButton3", "再生(Up)", &TForm2::Play1Click},
        {&SpeedButton4, "SpeedButton4", "巻き戻し(Left)", &TForm2::Rewind1Click},
        {&SpeedButton5, "SpeedButton5", "前へ(Ctrl)", &TForm2::Prior1Click},
        {&SpeedButton6, "SpeedButton6", "次へ(Space)", &TForm2::Next1Click},
        {&SpeedButton7, "SpeedButton7", "早送り(Right)", &TForm2::FastForward1Click},
    };
    addToolButtons(this, Panel9, buttons, SlideButtons, slide);
    SpeedButton2->setChecked(true);
    row->addWidget(Panel9);

    // Favourites bar: its buttons act on saved-screen files.
    Panel10 = new QWidget(Panel8);
    Panel10->setObjectName(QStringLiteral("Panel10"));
    auto* fav = new QHBoxLayout(Panel10);
    fav->setContentsMargins(4, 0, 4, 0);
    SpeedButton8 = new QToolButton(Panel10);
    SpeedButton8->setObjectName(QStringLiteral("SpeedButton8"));
    SpeedButton8->setText(QStringLiteral("お気に入り前へ(B)"));
    SpeedButton9 = new QToolButton(Panel10);
    SpeedButton9->setObjectName(QStringLiteral("SpeedButton9"));
    SpeedButton9->setText(QStringLiteral("お気に入り次へ(N)"));
    Label1 = new QLabel(Panel10);
    Label2 = new QLabel(Panel10);
    Label3 = new QLabel(Panel10);
    for (QToolButton* b : {SpeedButton8, SpeedButton9}) {
        b->setFocusPolicy(Qt::NoFocus);
        fav->addWidget(b);
    }
    connect(SpeedButton8, &QToolButton::clicked, this, &TForm2::FavPrior1Click);
    connect(SpeedButton9, &QToolButton::clicked, this, &TForm2::FavNext1Click);
    int n = 1;
    for (QLabel* l : {Label1, Label2, Label3}) {
        l->setObjectName(QStringLiteral("Label%1").arg(n++));
        fav->addWidget(l);
    }
    row->addWidget(Panel10);

    // Info line: name, position and size of the screen's picture.
    Panel11 = new TInfoLine(Panel8);
    Panel11->setObjectName(QStringLiteral("Panel11"));
    auto* info = new QHBoxLayout(Panel11);
    info->setContentsMargins(8, 2, 8, 2);
    info->setSpacing(0);
    Label4 = new QLabel(Panel11);
    Label5 = new QLabel(Panel11);
    Label6 = new QLabel(Panel11);
    for (QLabel* l : {Label4, Label5, Label6}) {
        l->setObjectName(QStringLiteral("Label%1").arg(n++));
        QPalette pal = l->palette();
        pal.setColor(QPalette::WindowText, kInfoColor);
        l->setPalette(pal);
        info->addWidget(l);
    }
    Panel11->setMinimumWidth(260);
    row->addWidget(Panel11, 1);
}

void TForm2::FormCreate()
{
    SetFavoritesFolder(m_host.DataFolder() + QStringLiteral("Favorites/"));
    if (const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen())
        setGeometry(s->geometry());

    // Lines 5, 28, 7, 8, 9, 10 and 18, in that order, through the menu
    // handlers; 7, 9 and 18 only set their marks. Other values apply nothing.
    TSettingsLines& s = m_host.Settings();
    if (const int v = s.readInt(5); v >= 0 && v <= 9) SpeedCommand(v);
    if (const int v = s.readInt(28); v >= 0 && v <= 9) FastSpeedCommand(v);
    if (const int v = s.readInt(7); v >= 0 && v <= 3) checkItemOf(&TForm2::ClickModeCommand, v);
    if (const int v = s.readInt(8); v >= 0 && v <= 3) SizeModeCommand(v);
    if (const int v = s.readInt(9); v >= 0 && v <= 2) checkItemOf(&TForm2::LayoutCommand, v);
    if (const int v = s.readInt(10); v == 0 || v == 1) {
        setChecked(QStringLiteral("N33"), v == 0);
        N33Click();
    }
    if (const int v = s.readInt(18); v == 0 || v == 1) setChecked(QStringLiteral("N111"), v == 1);
    Relayout();
}

int TForm2::LayoutScreens() const
{
    if (isChecked(QStringLiteral("N41"))) return 4;
    if (isChecked(QStringLiteral("N21"))) return 2;
    return 1;
}

TImgBox* TForm2::Screen(int k) const
{
    switch (k) {
    case 1:
        return ImgBox1;
    case 2:
        return ImgBox2;
    case 3:
        return ImgBox3;
    case 4:
        return ImgBox4;
    default:
        return nullptr;
    }
}

TSlideMetrics TForm2::Metrics() const
{
    TSlideMetrics m;
    // The window's outer width, frame included.
    m.WindowWidth = frameGeometry().width();
    m.Panel3Height = Panel3->height();
    m.Splitter1Width = SplitterSize;
    m.Splitter2Width = SplitterSize;
    m.Splitter3Height = SplitterSize;
    return m;
}

bool TForm2::isScreenPicture(int imageKind)
{
    return sq::isPictureKind(TImageType(imageKind));
}

void TForm2::placeCentral()
{
    QWidget* central = centralWidget();
    const int toolbar = Panel8->isVisibleTo(this) ? Panel8->height() : 0;
    Panel8->setGeometry(0, 0, central->width(), toolbar);
    Panel3->setGeometry(0, toolbar, central->width(), std::max(0, central->height() - toolbar));
}

void TForm2::placePanels()
{
    const int w = Panel3->width();
    const int h = Panel3->height();
    const TSlideGeometry& g = m_geometry;
    const int top = std::clamp(g.TopHeight, 0, h);
    Panel1->setGeometry(0, 0, w, top);
    Splitter3->setGeometry(0, top, w, SplitterSize);
    Panel2->setGeometry(0, top + SplitterSize, w, std::max(0, h - top - SplitterSize));
    Panel2->setEnabled(g.BottomShown);
    Panel2->setVisible(g.BottomShown);

    const int p4 = std::clamp(g.Panel4Width, 0, w);
    Panel4->setGeometry(0, 0, p4, top);
    Splitter1->setGeometry(p4, 0, SplitterSize, top);
    Panel5->setGeometry(p4 + SplitterSize, 0, std::max(0, w - p4 - SplitterSize), top);
    Panel5->setEnabled(g.Panel5Shown);
    Panel5->setVisible(g.Panel5Shown);

    const int bottom = Panel2->height();
    const int p6 = std::clamp(g.Panel6Width, 0, w);
    Panel6->setGeometry(0, 0, p6, bottom);
    Splitter2->setGeometry(p6, 0, SplitterSize, bottom);
    Panel7->setGeometry(p6 + SplitterSize, 0, std::max(0, w - p6 - SplitterSize), bottom);
    Panel6->setEnabled(g.BottomShown);
    Panel6->setVisible(g.BottomShown);
    Panel7->setEnabled(g.BottomShown);
    Panel7->setVisible(g.BottomShown);

    for (int k = 1; k <= 4; ++k)
        Screen(k)->setGeometry(Screen(k)->parentWidget()->rect());
}

void TForm2::applyGeometry(const TSlideGeometry& g)
{
    // The screens are hidden while the panels move, so none repaints twice.
    for (int k = 1; k <= 4; ++k)
        Screen(k)->hide();
    m_geometry = g;
    placePanels();
    const int n = g.BottomShown ? 4 : g.Panel5Shown ? 2 : 1;
    for (int k = 1; k <= n; ++k)
        Screen(k)->show();
}

void TForm2::Relayout()
{
    applyGeometry(slideRelayout(LayoutScreens(), Metrics(), m_geometry));
}

void TForm2::Maximise()
{
    setWindowState(windowState() | Qt::WindowMaximized);
}

bool TForm2::screenHoldsPicture(int k) const
{
    return !Screen(k)->ImgUtil()->Bitmap().isEmpty();
}

bool TForm2::allHoldPictures(int n) const
{
    for (int k = 1; k <= n; ++k)
        if (!screenHoldsPicture(k)) return false;
    return true;
}

void TForm2::MoveSplitter(int which, int size)
{
    const int n = LayoutScreens();
    // Each side keeps at least the minimum size.
    auto limit = [](int value, int extent) {
        return std::max(SplitterMinSize, std::min(value, extent - SplitterSize - SplitterMinSize));
    };
    TSlideGeometry g = m_geometry;
    switch (which) {
    case 1:
        g.Panel4Width = limit(size, Panel1->width());
        break;
    case 2:
        g.Panel6Width = limit(size, Panel2->width());
        break;
    case 3:
        g.TopHeight = limit(size, Panel3->height());
        break;
    default:
        return;
    }
    m_geometry = g;
    placePanels();
    // The screens whose size changed load again at their new size.
    if (which == 3) {
        if (n == 4 && allHoldPictures(4)) ShowScreens(4);
    } else if (which == 1) {
        if (n == 2 && allHoldPictures(2))
            ShowScreens(2);
        else if (n == 4 && allHoldPictures(4)) {
            ShowScreen(1);
            ShowScreen(2);
        }
    } else if (n == 4 && allHoldPictures(4)) {
        ShowScreen(3);
        ShowScreen(4);
    }
}

// ---- showing entries ----

void TForm2::ShowScreen(int k)
{
    const int index = m_state.ScreenIn(k, m_entries);
    if (index < 0) return;
    TPanelItem* item = m_host.Browser().Items().Items(index);
    if (!isScreenPicture(item->ImageKind())) {
        m_host.ExecuteEntry(index);
        return;
    }
    if (k == 1 && !isVisible()) presentWindow(this);
    const QString path = item->ParseName();
    m_screenFiles[k - 1] = path;
    m_ahead->Loader().Load(Screen(k), path);
    m_ahead->Schedule();
    FillInfoLine(k);
    SetRecordLine(k - 1, recordPath(m_host.DataFolder(), path));
    watchShownFiles();
}

void TForm2::ShowScreens(int n)
{
    if (!showTogether(n))
        for (int k = 1; k <= n; ++k)
            ShowScreen(k);
    // The screens are painted at once, in one pass, not at the next turn of
    // the event loop.
    if (isVisible()) Panel3->repaint();
}

bool TForm2::showTogether(int n)
{
    // Only when every screen shows a picture: a default action run for
    // another entry may change the listing under the screens after it.
    if (n < 2) return false;
    QList<TCustomImgBox*> boxes;
    QStringList paths;
    for (int k = 1; k <= n; ++k) {
        const int index = m_state.ScreenIn(k, m_entries);
        if (index < 0) return false;
        TPanelItem* item = m_host.Browser().Items().Items(index);
        if (!isScreenPicture(item->ImageKind())) return false;
        boxes << Screen(k);
        paths << item->ParseName();
    }
    if (!isVisible()) presentWindow(this);
    for (int k = 1; k <= n; ++k)
        m_screenFiles[k - 1] = paths.at(k - 1);
    m_ahead->Loader().LoadAll(boxes, paths);
    m_ahead->Schedule();
    for (int k = 1; k <= n; ++k) {
        FillInfoLine(k);
        SetRecordLine(k - 1, recordPath(m_host.DataFolder(), paths.at(k - 1)));
    }
    watchShownFiles();
    return true;
}

QStringList TForm2::ShownFiles() const
{
    QStringList files;
    if (!isVisible()) return files;
    for (int k = 1; k <= LayoutScreens(); ++k)
        if (!m_screenFiles[k - 1].isEmpty()) files << m_screenFiles[k - 1];
    return files;
}

void TForm2::watchShownFiles()
{
    m_shownWatch->setFiles(ShownFiles());
}

void TForm2::ShownFileChanged(const QString& file)
{
    if (!isVisible()) return;
    for (int k = 1; k <= LayoutScreens(); ++k) {
        if (m_screenFiles[k - 1] != file) continue;
        Screen(k)->LoadFile(file);
        // The info line's size is the picture's as it is now, while the
        // screen's entry is still that file.
        const int index = m_state.ScreenIn(k, m_entries);
        if (index >= 0 && m_host.Browser().Items().Items(index)->ParseName() == file)
            FillInfoLine(k);
    }
}

void TForm2::FillInfoLine(int k)
{
    const int index = m_state.ScreenIn(k, m_entries);
    if (index < 0) return;
    TImgPanel& browser = m_host.Browser();
    TPanelItem* item = browser.Items().Items(index);
    const TImgUtil& engine = *Screen(k)->ImgUtil();
    Label4->setText(QLatin1Char(' ') + sq::platform::displayText(item->DisplayName()));
    Label5->setText(QStringLiteral(" %1/%2").arg(index + 1).arg(browser.Items().Count()));
    Label6->setText(QStringLiteral("   %1x%2").arg(engine.ImageWidth()).arg(engine.ImageHeight()));
}

void TForm2::SetSelectionLists(const QStringList& names, const QStringList& indices)
{
    m_state.SelectionNames = names;
    m_state.SelectionIndices = indices;
    ListBox1->clear();
    ListBox1->addItems(names);
    ListBox2->clear();
    ListBox2->addItems(indices);
}

void TForm2::SetRecordLine(int line, const QString& text)
{
    if (line < 0 || line >= TSlideState::RecordLines) return;
    m_state.Record[line] = text;
    // The memo mirrors the record once the command is done: a step sets up
    // to four lines, and the memo's layout need not run for each.
    if (m_memoPending) return;
    m_memoPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_memoPending = false;
            Memo1->setPlainText(m_state.Record.join(QLatin1Char('\n')));
        },
        Qt::QueuedConnection);
}

void TForm2::SetFavoritesFolder(const QString& folder)
{
    // The label shows the folder as a folder list names it: no final "/"
    // but for the root.
    QString bare = folder;
    while (bare.size() > 1 && bare.endsWith(QLatin1Char('/')))
        bare.chop(1);
    DirectoryListBox1->setText(bare.endsWith(QLatin1Char('/')) ? bare : bare + QLatin1Char('/'));
    FileListBox1->clear();
    FileListBox1->addItems(savedScreenFiles(bare));
    FileListBox1->setCurrentRow(-1);
    Label1->setText(sq::platform::displayText(favoritesFolderLabel(bare)));
}

QString TForm2::FavoritesFolder() const
{
    return DirectoryListBox1->text();
}

void TForm2::HideFavoriteControls()
{
    if (QMenu* favorites = menu(QStringLiteral("File1")))
        favorites->menuAction()->setVisible(false);
    if (QAction* main = menuItem(QStringLiteral("N28"))) main->setVisible(false);
    Panel10->hide();
}

void TForm2::ListingChanged()
{
    // The screens' indices belong to the old listing: nothing may show them,
    // and a running timer must not bring the window back on the new one.
    Stop1Click();
    m_state.ClearScreens();
    for (QString& file : m_screenFiles)
        file.clear();
    m_state.SwitchCounter = 0;
    m_ahead->Release();
    // The file list's lines were made from the old listing too.
    if (Form11) Form11->ListingChanged();
    hide();
}

void TForm2::message(const QString& text)
{
    QMessageBox::information(this, QStringLiteral("Sorrelquint"), text);
}

// ---- life cycle, keys and mouse ----

void TForm2::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    sq::app::slideViewActive = true;
    setFocus();
    watchShownFiles();
}

void TForm2::hideEvent(QHideEvent* event)
{
    QMainWindow::hideEvent(event);
    // Nothing shown, nothing watched, nothing kept for the next step.
    m_shownWatch->setFiles({});
    m_ahead->Release();
}

void TForm2::closeEvent(QCloseEvent* event)
{
    pressButton(SpeedButton2);
    sq::app::slideViewActive = false;
    Timer1->stop();
    Timer2->stop();
    Timer3->stop();
    m_state.SwitchCounter = 0;
    event->accept();
}

void TForm2::keyPressEvent(QKeyEvent* event)
{
    // The key code alone decides; modifiers are not looked at.
    switch (event->key()) {
    case Qt::Key_Right:
        FastForward1Click();
        break;
    case Qt::Key_Left:
        Rewind1Click();
        break;
    case Qt::Key_Up:
        Play1Click();
        break;
    case Qt::Key_Down:
        Stop1Click();
        break;
    case Qt::Key_Space:
        Next1Click();
        break;
    case Qt::Key_Control:
        Prior1Click();
        break;
    case Qt::Key_Shift:
        ReversePlay1Click();
        break;
    case Qt::Key_Escape:
        hide();
        break; // the active flag stays set
    default:
        QMainWindow::keyPressEvent(event);
        return;
    }
    event->accept();
}

bool TForm2::eventFilter(QObject* watched, QEvent* event)
{
    if (!ImgBox4) // still being built
        return QMainWindow::eventFilter(watched, event);
    if (watched == centralWidget() && event->type() == QEvent::Resize) {
        placeCentral();
        return false;
    }
    if (watched == Panel3 && event->type() == QEvent::Resize) {
        Relayout();
        if (m_sizeAwaited && size() == m_awaitedSize) windowSizeArrived();
        return false;
    }
    for (int k = 1; k <= 4; ++k) {
        if (watched != Screen(k)) continue;
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            ScreenClicked(k, static_cast<QMouseEvent*>(event)->button(),
                          event->type() == QEvent::MouseButtonDblClick);
            return true;
        case QEvent::MouseMove:
            FillInfoLine(k);
            break;
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
