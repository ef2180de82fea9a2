// The file list view's window: its components, the two modes, the show
// steps, the lines and their stepping, the timer, keys and the "ファイル"
// commands.
#include "viewers/Unit13.h"

#include "engine/BmpFile.h"
#include "engine/ImgBox.h"
#include "engine/PictureLoader.h"
#include "platform/NativePath.h"
#include "platform/PathOps.h"
#include "platform/ShownFileWatch.h"
#include "state/Globals.h"
#include "state/SettingsLines.h"
#include "viewers/AheadLoader.h"
#include "viewers/BitmapSaveDialog.h"
#include "viewers/ToolButtonRow.h"
#include "viewers/Unit18.h"
#include "viewers/Unit2.h"
#include "viewers/ViewerHost.h"

#include <QAction>
#include <QButtonGroup>
#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

namespace {

// Size modes: the engine's sizing rule and the view's size type.
struct SizeMode
{
    TGetType getType;
    TSizeType sizeType;
};
const SizeMode kSizeModes[] = {
    {igtNormal, ispImage},   // そのまま
    {igtNormal, ispStretch}, // 画像をウインドウに合わせる
    {igtPreview, ispImage},  // 大きい画像だけウインドウに合わせる
    {igtFit, ispStretch},    // 縦横比を保持しない
};

// The keys of each mode: the window's in full-screen mode, the list's in
// list mode.
struct KeyCommand
{
    int key;
    void (TForm13::*command)();
};
const KeyCommand kWindowKeys[] = {
    {Qt::Key_Right, &TForm13::Next1Click},   {Qt::Key_Space, &TForm13::Next1Click},
    {Qt::Key_Left, &TForm13::Prior1Click},   {Qt::Key_Control, &TForm13::Prior1Click},
    {Qt::Key_Up, &TForm13::Play1Click},      {Qt::Key_Down, &TForm13::Stop1Click},
    {Qt::Key_Escape, &TForm13::Close1Click},
};
const KeyCommand kListKeys[] = {
    {Qt::Key_Space, &TForm13::Next1Click},
    {Qt::Key_Control, &TForm13::Prior1Click},
    {Qt::Key_Escape, &TForm13::Close1Click},
};

template <size_t N> auto findKey(const KeyCommand (&table)[N], int key) -> void (TForm13::*)()
{
    for (const KeyCommand& k : table)
        if (k.key == key) return k.command;
    return nullptr;
}

bool isFile(const QString& path)
{
    return !path.isEmpty() && sq::platform::pathExists(path) && !sq::platform::isFolderPath(path);
}

} // namespace

int TForm13::nextLine(int current, int count)
{
    if (count <= 0) return -1;
    if (current < 0 || current >= count - 1) return 0;
    return current + 1;
}

int TForm13::priorLine(int current, int count)
{
    if (count <= 0) return -1;
    if (current <= 0 || current >= count) return count - 1;
    return current - 1;
}

TForm13::TForm13(TViewerHost& host, QWidget* parent) : QMainWindow(parent), m_host(host)
{
    setObjectName(QStringLiteral("Form13"));
    setWindowTitle(QStringLiteral("ファイルリストビュー/Sorrelquint"));
    setFocusPolicy(Qt::StrongFocus);
    SavePictureDialog1 = [this] { return sq::viewers::askBitmapFileName(this); };
    m_shownWatch = std::make_unique<sq::platform::ShownFileWatch>();
    m_shownWatch->OnChanged = [this](const QString& file) { ShownFileChanged(file); };
    m_ahead = std::make_unique<TAheadLoader>(2);
    m_ahead->setPreparer(this, [this] { prepareAhead(); });
    buildComponents();
    m_ahead->WatchSizes({ImgBox1}, [this] { m_ahead->Schedule(); });
    buildMenus();
}

TForm13::~TForm13() = default;

void TForm13::buildComponents()
{
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("Central"));
    setCentralWidget(central);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    Panel3 = new QWidget(central);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setFixedWidth(Panel3Width);
    auto* side = new QVBoxLayout(Panel3);
    side->setContentsMargins(0, 0, 0, 0);
    side->setSpacing(0);
    auto* split = new QSplitter(Qt::Vertical, Panel3);
    split->setObjectName(QStringLiteral("Splitter2"));
    split->setChildrenCollapsible(false);
    Splitter2 = split;
    side->addWidget(split);

    ButtonBar = new QWidget(split);
    ButtonBar->setObjectName(QStringLiteral("ButtonBar"));
    auto* buttons = new QHBoxLayout(ButtonBar);
    buttons->setContentsMargins(1, 1, 1, 1);
    buttons->setSpacing(1);
    SlideButtons = new QButtonGroup(this);
    SlideButtons->setExclusive(true);
    const ToolButtonDef<TForm13> defs[] = {
        {&StopButton, "SpeedButton1", "停止", &TForm13::Stop1Click},
        {&PlayButton, "SpeedButton2", "再生", &TForm13::Play1Click},
        {&PriorButton, "SpeedButton3", "前へ", &TForm13::Prior1Click},
        {&NextButton, "SpeedButton4", "次へ", &TForm13::Next1Click},
    };
    addToolButtons(this, ButtonBar, buttons, SlideButtons, defs, true);
    StopButton->setChecked(true);

    ListBox1 = new QListWidget(split);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    QPalette pal = ListBox1->palette();
    pal.setColor(QPalette::Base, Qt::black);
    pal.setColor(QPalette::Text, Qt::white);
    ListBox1->setPalette(pal);
    ListBox1->installEventFilter(this);
    // A line chosen by click or by the list's own keys; the commands set the
    // line with the signal blocked and choose it themselves.
    connect(ListBox1, &QListWidget::currentRowChanged, this, [this] { ListBox1Click(); });
    split->setStretchFactor(1, 1);

    ListBox2 = new QListWidget(central);
    ListBox2->setObjectName(QStringLiteral("ListBox2"));
    ListBox2->hide();

    Splitter1 = new TSlideSplitter(Qt::Horizontal, central);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setFixedWidth(SplitterWidth);
    Splitter1->OnMoved = [this](int delta) {
        Panel3->setFixedWidth(
            std::clamp(Panel3->width() + delta, 20, std::max(20, width() - SplitterWidth - 20)));
    };

    ImgBox1 = new TImgBox(central);
    ImgBox1->setObjectName(QStringLiteral("ImgBox1"));
    ImgBox1->setColor(Qt::black);
    ImgBox1->setBorderStyle(bsNone);
    ImgBox1->setCursor(Qt::PointingHandCursor);
    ImgBox1->setFocusPolicy(Qt::NoFocus);
    TImgUtil& engine = *ImgBox1->ImgUtil();
    sq::installPictureLoader(engine);
    engine.setQuality(100);
    engine.setGetType(igtStretch);
    engine.setBKColor(Qt::white);
    engine.setAviFramePos(20);

    row->addWidget(Panel3);
    row->addWidget(Splitter1);
    row->addWidget(ImgBox1, 1);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(5000);
    Timer1->setTimerType(Qt::PreciseTimer); // play keeps its pace, as the slide view's
    connect(Timer1, &QTimer::timeout, this, &TForm13::Timer1Timer);

    central->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(central, &QWidget::customContextMenuRequested, this,
            [this, central](const QPoint& at) { PopupMenu1->popup(central->mapToGlobal(at)); });
}

// ---- the lines ----

void TForm13::ClearLists()
{
    ListBox1->clear();
    ListBox2->clear();
}

void TForm13::AddLine(int position, const QString& path)
{
    auto* item = new QListWidgetItem(QStringLiteral("%1|%2").arg(position).arg(
        sq::platform::displayText(sq::platform::fileNameOf(path))));
    item->setData(Qt::UserRole, position);
    ListBox1->addItem(item);
    ListBox2->addItem(path);
}

int TForm13::currentLine() const
{
    return ListBox1->currentRow();
}

void TForm13::setCurrentLine(int line)
{
    const QSignalBlocker quiet(ListBox1);
    ListBox1->setCurrentRow(line);
    if (line < 0) ListBox1->clearSelection();
}

bool TForm13::loadCurrentLine()
{
    const int line = currentLine();
    if (line < 0 || line >= ListBox2->count()) return false;
    const QString file = ListBox2->item(line)->text();
    // A file gone since the list was made is skipped: the last picture stays.
    if (!isFile(file)) return false;
    m_loadedFile = file;
    m_ahead->Load(ImgBox1, file);
    m_ahead->Schedule();
    if (isVisible()) m_shownWatch->setFiles({file});
    return true;
}

void TForm13::ShownFileChanged(const QString& file)
{
    if (isVisible() && file == m_loadedFile) ImgBox1->LoadFile(file);
}

QString TForm13::captionFor(const QString& prefix) const
{
    const int line = currentLine();
    const QString file = line >= 0 ? ListBox2->item(line)->text() : QString();
    return prefix + sq::platform::displayText(sq::platform::fileNameOf(file));
}

// ---- modes and showing ----

void TForm13::setMode(bool fullScreen)
{
    m_fullScreenMode = fullScreen;
    if (bool(windowFlags() & Qt::FramelessWindowHint) != fullScreen)
        setWindowFlag(Qt::FramelessWindowHint, fullScreen);
    for (const char* name : {"File1", "N1", "Show1", "ool1", "N2"})
        if (QMenu* m = menu(QString::fromLatin1(name))) m->menuAction()->setVisible(!fullScreen);
    menuBar()->setVisible(!fullScreen);
    Panel3->setVisible(!fullScreen);
    Splitter1->setVisible(!fullScreen);
}

void TForm13::Open(bool fullScreen, QScreen* screen, int focused)
{
    setMode(fullScreen);
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (screen) {
        // Placed on the screen first: without a window manager the
        // full-screen and maximised states change nothing by themselves.
        create();
        if (QWindow* w = windowHandle()) w->setScreen(screen);
        setGeometry(screen->geometry());
    }
    if (fullScreen)
        showFullScreen();
    else
        showMaximized();
    raise();
    activateWindow();
    if (fullScreen)
        setFocus();
    else
        ListBox1->setFocus();
    FormShow(focused);
}

void TForm13::FormShow(int focused)
{
    setCurrentLine(-1);
    Stop1Click();
    TSettingsLines& s = m_host.Settings();
    if (const int v = s.readInt(48); v >= 0 && v <= 3) SizeModeCommand(v);
    if (const int v = s.readInt(49); v >= 0 && v <= 9) SpeedCommand(v);
    const int count = ListBox1->count();
    if (count == 0) return;
    int line = 0;
    if (focused > 0)
        for (int i = 0; i < count; ++i)
            if (ListBox1->item(i)->data(Qt::UserRole).toInt() == focused) {
                line = i;
                break;
            }
    setCurrentLine(line);
    // The box has its size now; the picture fits the shown window.
    if (QLayout* l = centralWidget()->layout()) l->activate();
    if (loadCurrentLine())
        setWindowTitle(captionFor(m_fullScreenMode ? QStringLiteral("フルスクリーンビュー/")
                                                   : QStringLiteral("ファイルリストビュー/")));
}

// ---- stepping ----

void TForm13::ListBox1Click()
{
    if (loadCurrentLine()) setWindowTitle(captionFor(QStringLiteral("ファイルリストビュー/")));
}

void TForm13::Next1Click()
{
    NextButton->setChecked(true);
    m_forward = true;
    setCurrentLine(nextLine(currentLine(), ListBox1->count()));
    ListBox1Click();
}

void TForm13::Prior1Click()
{
    PriorButton->setChecked(true);
    m_forward = false;
    setCurrentLine(priorLine(currentLine(), ListBox1->count()));
    ListBox1Click();
}

void TForm13::Play1Click()
{
    PlayButton->setChecked(true);
    Timer1->start();
}

void TForm13::Stop1Click()
{
    Timer1->stop();
    StopButton->setChecked(true);
}

void TForm13::Timer1Timer()
{
    // One line per tick, shown or not: a list of vanished files only moves
    // on at the timer's pace.
    Next1Click();
}

// ---- options ----

void TForm13::SizeModeCommand(int mode)
{
    if (mode < 0 || mode > 3) return;
    checkItemOf(&TForm13::SizeModeCommand, mode);
    ImgBox1->ImgUtil()->setGetType(kSizeModes[mode].getType);
    ImgBox1->setSizeType(kSizeModes[mode].sizeType);
    if (currentLine() >= 0) loadCurrentLine();
    m_host.Settings().setInt(48, mode);
}

void TForm13::SpeedCommand(int value)
{
    if (value < 0 || value > 9) return;
    checkItemOf(&TForm13::SpeedCommand, value);
    Timer1->setInterval((value + 1) * 1000);
    m_host.Settings().setInt(49, value);
}

void TForm13::WindowSizeCommand(int percent)
{
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    const QSize size = s ? s->geometry().size() : QSize(1024, 768);
    if (isFullScreen() || isMaximized()) showNormal();
    resize(size.width() * percent / 100, size.height() * percent / 100);
}

// ---- "ファイル" ----

QString TForm13::ShownFile() const
{
    return ImgBox1->ImageFile();
}

bool TForm13::holdsPicture() const
{
    return !ImgBox1->ImgUtil()->Bitmap().isEmpty();
}

void TForm13::CopyTo1Click()
{
    if (!isFile(ShownFile())) return;
    m_host.ChooseDestination(21, *this);
}

void TForm13::Clipboard1Click()
{
    // Without a picture the clipboard keeps what it holds.
    if (!holdsPicture()) return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setImage(ImgBox1->ImgUtil()->Bitmap().image());
}

void TForm13::Save1Click()
{
    if (!holdsPicture()) return;
    // Taken now: the timer may step on while the dialog is open.
    const QImage picture = ImgBox1->ImgUtil()->Bitmap().image();
    const QString name = SavePictureDialog1();
    if (name.isEmpty()) return;
    QString error;
    if (sq::writeBmpFile(name, picture, &error)) return;
    QString text = QStringLiteral("%1 を保存できません").arg(sq::platform::displayText(name));
    if (!error.isEmpty()) text += QLatin1Char('\n') + error;
    QMessageBox::warning(this, QStringLiteral("Sorrelquint"), text);
}

void TForm13::LoupeSave1Click()
{
    if (Form18) Form18->ShowSaveDialog();
}

void TForm13::Loupe1Click()
{
    if (Form18) Form18->ShowLoupe();
}

void TForm13::LoupeHide1Click()
{
    if (Form18) Form18->HideLoupe();
}

void TForm13::LoupeBar1Click()
{
    if (Form18) Form18->ShowBar();
}

void TForm13::Close1Click()
{
    hide();
}

// ---- events ----

void TForm13::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    m_shownWatch->setFiles({m_loadedFile});
}

void TForm13::hideEvent(QHideEvent* event)
{
    QMainWindow::hideEvent(event);
    m_shownWatch->setFiles({});
    m_ahead->Release();
}

void TForm13::closeEvent(QCloseEvent* event)
{
    // The close box stops the slide; the window is only hidden.
    Stop1Click();
    event->accept();
}

void TForm13::keyPressEvent(QKeyEvent* event)
{
    if (m_fullScreenMode)
        if (const auto command = findKey(kWindowKeys, event->key())) {
            (this->*command)();
            event->accept();
            return;
        }
    QMainWindow::keyPressEvent(event);
}

bool TForm13::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ListBox1 && event->type() == QEvent::KeyPress && !m_fullScreenMode) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (const auto command = findKey(kListKeys, key->key())) {
            (this->*command)();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
