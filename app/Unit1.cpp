#include "app/Unit1.h"

#include "app/DialogParts.h"
#include "app/ExtraOptions.h"
#include "app/ProgramOpener.h"
#include "app/Unit3.h"
#include "app/Unit4.h"
#include "engine/TextLines.h"
#include "platform/AtomicFile.h"
#include "platform/FileClipboard.h"
#include "platform/FileOpsDialogs.h"
#include "platform/FileSafety.h"
#include "platform/FileVerbs.h"
#include "platform/FolderFileList.h"
#include "platform/FolderTree.h"
#include "platform/NativePath.h"
#include "platform/PathOps.h"
#include "platform/SafeRead.h"
#include "platform/StartTrace.h"
#include "state/Globals.h"
#include "viewers/Unit14.h"
#include "viewers/Unit18.h"
#include "viewers/Unit2.h"
#include "viewers/Unit26.h"
#include "viewers/Unit27.h"
#include "viewers/WindowPlacement.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStorageInfo>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <sys/stat.h>

namespace {

const QString kSettingsFile = QStringLiteral("sorrelquint.ini");
const QString kFavoritesFile = QStringLiteral("favorites.dat");
const QString kLockFile = QStringLiteral(".sorrelquint.lock");
const QString kThumbFolder = QStringLiteral("thumb/");

const int kStatusWidths[TForm1::StatusPanelCount] = {130, 150, 100, 100, 100, 80, 150};

struct Filter
{
    const char* caption;
    const char* mask;
};
const Filter kFilters[] = {
    {"すべてのファイル (*.*)", "*.*"},
    {"ビットマップ;JPEG(*.bmp;*.jpeg;*.jpg)", "*.bmp;*.jpeg;*.jpg"},
    {"ビットマップ(*.bmp)", "*.bmp"},
    {"JPEG(*.jpg;*.jpeg)", "*.jpg;*.jpeg"},
    {"テキストファイル(*.txt)", "*.txt"},
    {"HTMLドキュメント(*.html;*.htm)", "*.htm"},
    {"実行ファイル(*.exe)", "*.exe;*.exe.lnk"},
};

// "すべての画像" lists every picture kind the desktop entry claims, so that a
// file of any of them opened from a file manager is listed and shown.
const char* const kExtensions[] = {
    "*.bmp", "*.jpg;*.jpeg", "*.bmp;*.jpg;*.jpeg",
    "*.bmp;*.jpg;*.jpeg;*.png;*.gif;*.webp;*.tif;*.tiff;*.heic;*.heif;*.avif;*.jxl;"
    "*.cr2;*.cr3;*.nef;*.arw;*.dng;*.orf;*.raf;*.rw2;*.mp4;*.mov;*.qt;*.m4v;*.mkv;*.webm"};
const int kQualities[] = {100, 95, 90, 85, 80, 75, 70, 65, 60, 55, 50};

// A control that asks for its design width but yields to a smaller window
// (down to nothing), so that the window size commands are never overruled by
// a minimum width.
template <typename Base> class DesignWidth : public Base
{
public:
    DesignWidth(int width, QWidget* parent) : Base(parent), m_width(width)
    {
        this->setMinimumWidth(0);
        this->setMaximumWidth(width);
        this->setSizePolicy(QSizePolicy::Preferred, this->sizePolicy().verticalPolicy());
    }
    QSize sizeHint() const override { return QSize(m_width, Base::sizeHint().height()); }
    QSize minimumSizeHint() const override { return QSize(0, Base::minimumSizeHint().height()); }

private:
    int m_width;
};

QString firstLine(const QPlainTextEdit* memo)
{
    return memo->document()->firstBlock().text();
}

} // namespace

QString TForm1::extensionPatterns(int index)
{
    return QString::fromLatin1(kExtensions[index]);
}

TForm1::TForm1(const QString& dataFolder, const QString& startPath, int screenWidth,
               int screenHeight, QWidget* parent)
    : QMainWindow(parent)
    , m_dataFolder(dataFolder)
    , m_startPath(startPath)
    , m_screenWidth(screenWidth)
    , m_screenHeight(screenHeight)
{
    if (m_screenWidth <= 0 || m_screenHeight <= 0) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        const QRect geometry = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
        m_screenWidth = geometry.width();
        m_screenHeight = geometry.height();
    }
    setObjectName(QStringLiteral("Form1"));
    buildLayout();
    sq::platform::traceStart("layout");
    buildMenus();
    sq::platform::traceStart("menus");
    buildStatusBar();
    connectSlideView();
    connectFileCommands();
    sq::platform::traceStart("connections");
    FormCreate();
}

TForm1::~TForm1() = default;

QString TForm1::settingsFileName() const
{
    return m_dataFolder + kSettingsFile;
}

QString TForm1::favoritesFileName() const
{
    return m_dataFolder + kFavoritesFile;
}

QString TForm1::lockFileName() const
{
    return m_dataFolder + kLockFile;
}

QString TForm1::extraOptionsFileName() const
{
    return m_dataFolder + QLatin1String(sq::app::kExtraOptionsFile);
}

void TForm1::buildLayout()
{
    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    // Tool row.
    auto* toolRow = new QWidget(central);
    auto* toolLayout = new QHBoxLayout(toolRow);
    toolLayout->setContentsMargins(2, 2, 2, 2);
    auto makeButton = [toolRow](const char* name, const char* hint, const char* text) {
        auto* button = new QToolButton(toolRow);
        button->setObjectName(QString::fromLatin1(name));
        button->setToolTip(QString::fromUtf8(hint));
        button->setText(QString::fromUtf8(text));
        return button;
    };
    SpeedButton8 = makeButton("SpeedButton8", "最新の情報に更新", "↻");
    ComboBox1 = new DesignWidth<QComboBox>(400, toolRow);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setToolTip(QStringLiteral("お気に入りフォルダ"));
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    SpeedButton1 = makeButton("SpeedButton1", "お気に入り追加", "＋");
    SpeedButton2 = makeButton("SpeedButton2", "移動", "→");
    toolLayout->addWidget(SpeedButton8);
    connect(SpeedButton8, &QToolButton::clicked, this, &TForm1::Refresh1Click);
    toolLayout->addWidget(ComboBox1);
    toolLayout->addWidget(SpeedButton1);
    toolLayout->addWidget(SpeedButton2);
    toolLayout->addStretch(1);
    outer->addWidget(toolRow);

    Splitter1 = new QSplitter(Qt::Horizontal, central);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setChildrenCollapsible(false);

    // Folder pane.
    Panel3 = new QWidget(Splitter1);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    auto* paneLayout = new QVBoxLayout(Panel3);
    paneLayout->setContentsMargins(0, 0, 0, 0);
    paneLayout->setSpacing(1);
    DriveComboBox1 = new QComboBox(Panel3);
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady())
            continue;
        DriveComboBox1->addItem(volume.rootPath(), volume.rootPath());
    }
    if (DriveComboBox1->findData(QStringLiteral("/")) < 0)
        DriveComboBox1->insertItem(0, QStringLiteral("/"), QStringLiteral("/"));

    // Names kept as bytes: a folder whose name is not UTF-8 is listed too.
    m_dirModel = new sq::platform::FolderTree(this);
    DirectoryListBox1 = new QTreeView(Panel3);
    DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
    // A folder of the tree that holds the shown folder is removed (deleted,
    // moved away): the view would make a neighbour current; the shown
    // folder's nearest existing parent is taken instead. Connected before
    // the view takes the model, so that it is told first.
    connect(m_dirModel, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex& parent, int first, int last) {
                for (QModelIndex at = DirectoryListBox1->currentIndex(); at.isValid();
                     at = at.parent())
                    if (at.parent() == parent && at.row() >= first && at.row() <= last)
                        m_treeRowsLeaving = true;
            });
    connect(m_dirModel, &QAbstractItemModel::rowsRemoved, this, [this] {
        if (!m_treeRowsLeaving) return;
        m_treeRowsLeaving = false;
        QTimer::singleShot(0, this, &TForm1::leaveGoneFolder);
    });
    DirectoryListBox1->setModel(m_dirModel);
    DirectoryListBox1->header()->hide();
    DirectoryListBox1->setContextMenuPolicy(Qt::CustomContextMenu);

    m_fileModel = new sq::platform::FolderFileList(this);
    FileListBox1 = new QListView(Panel3);
    FileListBox1->setObjectName(QStringLiteral("FileListBox1"));
    FileListBox1->setToolTip(QStringLiteral("ダブルクリックで関連付けで開く"));
    FileListBox1->setModel(m_fileModel);

    FilterComboBox1 = new QComboBox(Panel3);
    FilterComboBox1->setObjectName(QStringLiteral("FilterComboBox1"));
    for (const Filter& filter : kFilters)
        FilterComboBox1->addItem(QString::fromUtf8(filter.caption), QString::fromLatin1(filter.mask));

    // The pane is 128 pixels wide; long names must not widen it.
    for (QWidget* w : std::initializer_list<QWidget*>{DriveComboBox1, DirectoryListBox1, FileListBox1, FilterComboBox1}) {
        w->setSizePolicy(QSizePolicy::Ignored, w->sizePolicy().verticalPolicy());
        w->setMinimumWidth(0);
    }
    DriveComboBox1->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    FilterComboBox1->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    paneLayout->addWidget(DriveComboBox1);
    // The tree grows up to its cap (set at first show) before the file list
    // takes the rest; neither holds the window at a minimum height.
    DirectoryListBox1->setMinimumHeight(1);
    FileListBox1->setMinimumHeight(1);
    paneLayout->addWidget(DirectoryListBox1, 1000);
    paneLayout->addWidget(FileListBox1, 1);
    paneLayout->addWidget(FilterComboBox1);

    // Right side: browser, splitter, preview.
    Splitter2 = new QSplitter(Qt::Vertical, Splitter1);
    Splitter2->setObjectName(QStringLiteral("Splitter2"));
    Splitter2->setChildrenCollapsible(false);
    ImgPanel1 = new TImgPanel(Splitter2);
    ImgPanel1->setObjectName(QStringLiteral("ImgPanel1"));
    ImgPanel1->setMinimumHeight(1);
    configureBrowser();
    ImgBox1 = new TImgBox(Splitter2);
    ImgBox1->setObjectName(QStringLiteral("ImgBox1"));
    ImgBox1->setCursor(Qt::PointingHandCursor);
    ImgBox1->setMinimumHeight(1);
    ImgBox1->setContextMenuPolicy(Qt::CustomContextMenu);
    configurePreview();
    // The browser keeps its height when the window is resized; the preview
    // takes the rest, as the browser is aligned to the top.
    Splitter2->setStretchFactor(0, 0);
    Splitter2->setStretchFactor(1, 1);
    Splitter2->setSizes({216, 400});
    // Browser resize: the splitter position is remembered while the preview
    // is shown. Told by the panel rather than seen in an event filter, which
    // would look at every event the panel gets, the workers' posted ones too.
    ImgPanel1->OnResize = [this](TCustomImgPanel* panel) {
        if (m_shown && isChecked(QStringLiteral("V1")) && ImgBox1->isVisible())
            m_settings.setInt(51, panel->height());
    };

    Splitter1->addWidget(Panel3);
    Splitter1->addWidget(Splitter2);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({128, 900});
    outer->addWidget(Splitter1, 1);

    // Hidden controls that carry data.
    Memo2 = new QPlainTextEdit(central);
    Memo2->setObjectName(QStringLiteral("Memo2"));
    Memo2->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo2->hide();
    Memo3 = new QPlainTextEdit(central);
    Memo3->setObjectName(QStringLiteral("Memo3"));
    Memo3->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo3->hide();

    setCentralWidget(central);

    connect(DirectoryListBox1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                const QString path = m_dirModel->filePath(current);
                if (path.isEmpty() || path == m_treeFolder || m_treeRowsLeaving) return;
                // A folder the user picked is in view already.
                m_revealPending = false;
                m_treeFolder = path;
                DirectoryListBox1Change();
            });
    // Folders listed later (a change on disk) may push the folder set by the
    // program out of view: it is shown again, or once the pointer leaves.
    connect(m_dirModel, &QAbstractItemModel::rowsInserted, this, [this] {
        if (m_revealPending) QTimer::singleShot(100, this, &TForm1::revealTreeFolder);
    });
    DirectoryListBox1->viewport()->installEventFilter(this);
    DirectoryListBox1->installEventFilter(this);
    connect(DirectoryListBox1->verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
            [this] { m_revealPending = false; });
    connect(DriveComboBox1, &QComboBox::activated, this, &TForm1::DriveComboBox1Change);
    connect(FilterComboBox1, &QComboBox::currentIndexChanged, this, &TForm1::FilterComboBox1Change);
    connect(Memo2, &QPlainTextEdit::textChanged, this, &TForm1::navigateFromMemo2);
    connect(DirectoryListBox1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        m_menus.menu(QStringLiteral("PopupMenu1"))->popup(DirectoryListBox1->viewport()->mapToGlobal(at));
    });
    connect(ImgBox1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        // The pop-up opens only while the preview has a file.
        if (ImgBox1->ImageFile().isEmpty())
            return;
        m_menus.menu(QStringLiteral("PopupMenu2"))->popup(ImgBox1->mapToGlobal(at));
    });
    connect(Splitter1, &QSplitter::splitterMoved, this, [this] {
        // The drive box and filter box take the folder pane's width.
        DriveComboBox1->setFixedWidth(Panel3->width());
        FilterComboBox1->setFixedWidth(Panel3->width());
    });
    FilterComboBox1Change(0);
}

void TForm1::buildStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    for (int i = 0; i < StatusPanelCount; ++i) {
        auto* panel = new DesignWidth<QLabel>(kStatusWidths[i], bar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        bar->addWidget(panel);
        m_panels.push_back(panel);
    }
}

QString TForm1::statusText(int panel) const
{
    return m_panels.at(panel)->text();
}

void TForm1::setStatusText(int panel, const QString& text)
{
    m_panels.at(panel)->setText(text);
}

void TForm1::FormCreate()
{
    // 1. Dropped files. (QRandomGenerator::global() is seeded by the system.)
    setAcceptDrops(true);

    // 2. Caption and size: the screen's size, centred, not maximised. The
    // size is the outer frame's, title bar included, once a window manager
    // has put one round the window.
    setWindowTitle(QStringLiteral("Sorrelquint"));
    resizeFrame(this, QSize(m_screenWidth, m_screenHeight));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - m_screenWidth) / 2, area.y() + (area.height() - m_screenHeight) / 2);
    }

    // 3. Browser: multiple selection, selection shown without focus, its own
    // double-click off. Configured with the browser itself.

    // 4. Favourites.
    loadFavorites();

    // 5. Settings: loaded; defaults written when the file is missing. One
    // that is there but cannot be read is used as defaults and left alone.
    switch (m_settings.load(settingsFileName(), m_screenWidth)) {
    case TSettingsLines::FileState::Read:
        break;
    case TSettingsLines::FileState::Missing: {
        const sq::platform::FileLock lock(lockFileName());
        m_settings.save(settingsFileName());
        break;
    }
    case TSettingsLines::FileState::Unreadable:
        m_settingsKept = true;
        break;
    }

    // 6. - 9. Sort, folder pane, size and background through their commands.
    if (const int v = m_settings.readInt(1); v >= 0 && v <= 3)
        SortCommand(v);
    if (const int v = m_settings.readInt(2); v == 0 || v == 1) {
        setChecked(QStringLiteral("N17"), v == 0);
        N17Click();
    }
    if (const int v = m_settings.readInt(3); v >= 0 && v <= 4)
        SizeCommand(v);
    if (const int v = m_settings.readInt(4); v >= 0 && v <= 5)
        ViewStyleCommand(v);

    // 10. Preview pane, the way line 2 is applied.
    if (const int v = m_settings.readInt(26); v == 0 || v == 1) {
        setChecked(QStringLiteral("V1"), v == 0);
        V1Click();
    }

    // 11. Preview display mode: the two items checked, the mode set directly.
    if (const int v = m_settings.readInt(27); v >= 0 && v <= 3) {
        checkItemsOf(&TForm1::DispModeCommand, v);
        previewSetMode(v);
    }

    // 12. Thumbnail cache folder: created one level deep when missing.
    const QString thumb = m_dataFolder + kThumbFolder;
    TImgUtil& engine = ImgPanel1->ViewImage().ImgUtil();
    engine.setAutoThumb(true);
    ImgPanel1->ViewImage().Thumbnail().setPath(thumb);
    ImgPanel1->ViewImage().Thumbnail().setPathType(iptFree);
    m_autoThumb = sq::platform::isFolderPath(thumb);
    if (!m_autoThumb) m_autoThumb = ::mkdir(sq::platform::nativePath(thumb).constData(), 0777) == 0;
    engine.setAutoThumb(m_autoThumb);

    // Colour management, from the program's own options file, before any
    // picture is loaded.
    const bool colour = sq::app::readExtraOptions(extraOptionsFileName()).colourManagement;
    setChecked(QStringLiteral("ColourManage1"), colour);
    applyColourOption(colour);
}

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    FormShow();
}

void TForm1::FormShow()
{
    // 1. - 2. Controls that only carry data and commands hidden for good.
    for (const char* name : {"N24", "Veiw1", "N33", "Type1", "N61", "BMP3", "JPEG3"})
        if (QAction* a = menuItem(QString::fromLatin1(name)))
            a->setVisible(false);

    // 3. Save windows of the loupe and join.
    if (Form26)
        Form26->move(m_screenWidth / 2, m_screenHeight / 2);
    if (Form27) {
        Form27->move(m_screenWidth / 2, m_screenHeight / 3);
        // "横", "画面1" and "画面2": OK joins at once.
        Form27->ListBox1->setCurrentRow(0);
        Form27->ListBox2->setCurrentRow(0);
        Form27->ListBox3->setCurrentRow(1);
    }

    // 2., 5., 7. The slide view's favourites controls, folder and record.
    slideViewFirstShow();

    // 4. Folder tree: half the folder pane. A cap rather than a fixed
    // height, so that a smaller window shrinks the tree instead of being held
    // at the pane's first height.
    DirectoryListBox1->setMaximumHeight(std::max(1, Panel3->height() / 2));

    // 6. Start-up folder.
    sq::platform::traceStart("show: windows placed");
    applyStartupFolder();
    sq::platform::traceStart("show: start-up folder");

    // 8. Loupe settings and positions.
    restoreLoupe();

    // 9. Thumbnail pane height.
    if (isChecked(QStringLiteral("V1")))
        setThumbnailPaneHeight(m_settings.readInt(51));

    // 10. - 11. Extensions and JPEG quality.
    if (const int v = m_settings.readInt(52); v >= 0 && v <= 3)
        ExtCommand(v);
    const int quality = m_settings.readInt(54);
    for (int q : kQualities)
        if (q == quality)
            checkItemsOf(&TForm1::QualityCommand, q);

    sq::platform::traceStart("show: settings applied");
    // 12. Command-line path, handed to navigation through Memo2.
    if (!m_startPath.isEmpty()) {
        Memo2->setPlainText(m_startPath);
        if (m_startPath.size() > 3)
            navigateFromMemo2();
    }

    // 13. The folder tree takes the keyboard, unless a file given on the
    // command line is focused in the browser.
    if (!ImgPanel1->hasFocus() && focusWidget() != ImgPanel1) DirectoryListBox1->setFocus();

    sq::platform::traceStart("show: command-line path");
    // After the window is drawn, so the box stands over the program, not
    // over an empty screen.
    QTimer::singleShot(0, this, &TForm1::reportKeptFiles);
}

void TForm1::reportKeptFiles()
{
    if (m_settingsKept)
        sq::app::message(this,
                         sq::platform::displayText(settingsFileName()) +
                             QStringLiteral("\nを読み込めません。設定の変更は保存されません"));
    if (m_favoritesKept)
        sq::app::message(
            this, sq::platform::displayText(favoritesFileName()) +
                      QStringLiteral("\nを読み込めません。お気に入りの変更は保存されません"));
}

void TForm1::applyStartupFolder()
{
    // Line 0 is a carrier of the path's bytes: looked up by them, shown as text.
    const QString start = m_settings.text(0);
    if (sq::platform::isFolderPath(start)) {
        if (QAction* n2 = menuItem(QStringLiteral("N2")))
            n2->setText(sq::platform::displayText(start));
        pointTreeAt(start);
        return;
    }
    // Paths are case-sensitive here: the program's folder opens as it is.
    pointTreeAt(m_dataFolder);
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (!m_closed) {
        m_closed = true;
        // 1. - 3. Loupe and loupe bar positions, the bar's direction and width.
        storeLoupe();
        // 4. - 5. Settings, then favourites, while no other window of the
        // program on this data folder writes them. The settings of the
        // window closed last win; the favourites are merged.
        const sq::platform::FileLock lock(lockFileName());
        if (!m_settingsKept) m_settings.save(settingsFileName());
        saveFavorites();
        // Temporary files of a window of the program killed while saving.
        sq::platform::removeDeadTemps(m_dataFolder);
    }
    event->accept();
}

void TForm1::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event)
{
    // Read by the list's bytes: QUrl::toLocalFile loses a name that is not UTF-8.
    const QStringList paths = sq::platform::readFileMimeData(event->mimeData()).paths;
    if (paths.isEmpty()) return;
    event->acceptProposedAction();
    Memo2->clear();
    Memo2->setPlainText(paths.first());
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    // The user's hand on the tree ends the program's revealing; leaving it
    // lets a pending reveal happen.
    if (watched == DirectoryListBox1->viewport() || watched == DirectoryListBox1) {
        const QEvent::Type type = event->type();
        if (type == QEvent::MouseButtonPress || type == QEvent::Wheel || type == QEvent::KeyPress)
            m_revealPending = false;
        else if (type == QEvent::Leave && watched == DirectoryListBox1->viewport() &&
                 m_revealPending)
            QTimer::singleShot(0, this, &TForm1::revealTreeFolder);
    }
    if (watched == ImgBox1 && event->type() == QEvent::Resize && m_previewFit)
        m_previewFit->start();
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::navigateFromMemo2()
{
    const QString path = firstLine(Memo2);
    if (path.isEmpty()) return;
    const bool file = sq::platform::pathExists(path) && !sq::platform::isFolderPath(path);
    // A picture the extension filter hides (a PNG opened with the program
    // while BMP and JPEG are listed) is listed with all pictures.
    if (file) {
        const QString name = sq::platform::displayText(sq::platform::fileNameOf(path));
        const int shown = m_settings.readInt(52);
        const auto matches = [&name](int ext) {
            return QDir::match(extensionPatterns(ext).split(QLatin1Char(';')), name);
        };
        if (shown >= 0 && shown < 3 && !matches(shown) && matches(3)) ExtCommand(3);
    }
    pointTreeAt(path);
    // A file given (as "Open with" does) is also selected and previewed.
    if (file) focusFile(path);
}

void TForm1::pointTreeAt(const QString& path)
{
    // By the path's bytes, so a folder whose name is not UTF-8 is found too.
    const QString absolute = sq::platform::absolutePathOf(path);
    if (!sq::platform::pathExists(absolute)) return;
    const QString clean =
        sq::platform::isFolderPath(absolute) ? absolute : sq::platform::parentOf(absolute);
    if (clean == m_treeFolder)
        return;
    const QModelIndex index = m_dirModel->index(clean);
    if (index.isValid()) {
        // The view's own scrolling to a new current row is held back: the
        // reveal below decides, and waits while the pointer is over the tree.
        DirectoryListBox1->setAutoScroll(false);
        DirectoryListBox1->setCurrentIndex(index);
        DirectoryListBox1->setAutoScroll(true);
        m_revealPending = true;
        revealTreeFolder();
    }
    if (m_treeFolder != clean) {
        // The model had no row for it (a hidden folder, say): follow anyway.
        m_treeFolder = clean;
        DirectoryListBox1Change();
    }
}

void TForm1::revealTreeFolder()
{
    // A reveal queued before the user took the tree in hand is dropped.
    if (!m_revealPending) return;
    // Scrolling under the pointer would put the next click on another
    // folder: wait until it leaves the tree.
    QWidget* viewport = DirectoryListBox1->viewport();
    if (viewport->isVisible() && viewport->rect().contains(viewport->mapFromGlobal(QCursor::pos())))
        return;
    const QModelIndex current = DirectoryListBox1->currentIndex();
    for (QModelIndex up = current.parent(); up.isValid(); up = up.parent())
        DirectoryListBox1->expand(up);
    // Only a folder out of view is brought into it; one in view stays put.
    const auto inView = [&] {
        const QRect row = DirectoryListBox1->visualRect(current);
        // Only the height counts: a deep folder's indentation may pass the
        // column's width.
        return row.height() > 0 && row.top() >= 0 && row.bottom() < viewport->height();
    };
    if (!inView()) DirectoryListBox1->scrollTo(current, QAbstractItemView::PositionAtCenter);
    // Folders listed later may push it out of view again: it stays pending,
    // for the next listing, until the user takes the tree in hand.
}

void TForm1::DirectoryListBox1Change()
{
    // Folder navigation: 1. close the slide view unless a saved screen is
    // being applied; 2. drive box; 3. browser; 4. favourites edit text.
    hideSlideViewForListingChange(false);
    syncDriveBox();
    FileListBox1->setRootIndex(m_fileModel->setRootPath(m_treeFolder));
    browserOpenFolder(m_treeFolder);
    ComboBox1->setEditText(browserCurrentFolderPath());
}

void TForm1::syncDriveBox()
{
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < DriveComboBox1->count(); ++i) {
        QString root = DriveComboBox1->itemData(i).toString();
        if (!root.endsWith(QLatin1Char('/')))
            root += QLatin1Char('/');
        const QString folder = m_treeFolder.endsWith(QLatin1Char('/')) ? m_treeFolder : m_treeFolder + QLatin1Char('/');
        if (folder.startsWith(root) && root.size() > bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    if (best >= 0)
        DriveComboBox1->setCurrentIndex(best);
}

void TForm1::DriveComboBox1Change(int index)
{
    pointTreeAt(DriveComboBox1->itemData(index).toString());
}

void TForm1::FilterComboBox1Change(int index)
{
    const QString mask = FilterComboBox1->itemData(index).toString();
    QStringList patterns = mask.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (patterns == QStringList{QStringLiteral("*.*")})
        patterns = {QStringLiteral("*")};
    m_fileModel->setNameFilters(patterns);
}

void TForm1::setThumbnailPaneHeight(int height)
{
    const QList<int> sizes = Splitter2->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    const int h = std::max(1, height);
    Splitter2->setSizes({h, std::max(1, total - h)});
}
