// The slide view window: one, two or four screens showing entries of the
// main window's browser, stepped by hand, by timer, at random or by clicks.
// Created once at start by createWindows() and kept, hidden, until the main
// window opens it. Its shared state is a TSlideState (State()); its rows and
// panels follow the pure rules of SlideGeometry.h. GUI thread only.
#pragma once

#include "viewers/ChooserTargets.h"
#include "viewers/MenuTable.h"
#include "viewers/SlideCapture.h"
#include "viewers/SlideGeometry.h"
#include "viewers/SlideState.h"

#include <QHash>
#include <QMainWindow>

#include <functional>
#include <memory>

class QAction;
class QButtonGroup;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QTimer;
class QToolButton;
class TImgBox;
class TImgPanel;
class TSlideAhead;
class TViewerHost;
struct TSavedScreen;
namespace sq::platform {
class ShownFileWatch;
}

// The browser's entry list as the slide view's rules read it.
class TBrowserEntries final : public TSlideEntries
{
public:
    explicit TBrowserEntries(TImgPanel& browser) : m_browser(browser) {}
    int Count() const override;
    bool Selected(int index) const override;
    int SelCount() const override;

private:
    TImgPanel& m_browser;
};

// A 3-pixel bar between two panels; dragging it hands the new size of the
// panel before it to the window on release.
class TSlideSplitter final : public QWidget
{
public:
    TSlideSplitter(Qt::Orientation orientation, QWidget* parent);
    // Called with the position the bar was dragged by, in pixels.
    std::function<void(int delta)> OnMoved;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    Qt::Orientation m_orientation;
    int m_pressedAt = 0;
};

class TForm2 : public QMainWindow, public TCopySource, public TFavoritesFolderTarget
{
    Q_OBJECT

public:
    static constexpr int ToolbarHeight = 33;
    static constexpr int SplitterSize = 3;
    static constexpr int SplitterMinSize = 10;
    // How long the window size command waits for the size it asked for.
    static constexpr int WindowSizeWaitMs = 1000;

    explicit TForm2(TViewerHost& host, QWidget* parent = nullptr);
    ~TForm2() override;

    TSlideState& State() { return m_state; }
    const TSlideEntries& Entries() const { return m_entries; }
    TViewerHost& Host() { return m_host; }
    // The screens' next views, prepared while the current ones are shown.
    TSlideAhead& Ahead() { return *m_ahead; }

    // Menu items and menus by component name; nullptr when unknown.
    QAction* menuItem(const QString& name) const { return m_menus.item(name); }
    QMenu* menu(const QString& name) const { return m_menus.menu(name); }
    bool isChecked(const QString& name) const { return m_menus.isChecked(name); }

    // 1, 2 or 4: the checked layout ("1面", "2面", "4面").
    int LayoutScreens() const;
    TImgBox* Screen(int k) const; // ImgBox1..ImgBox4
    TSlideGeometry Geometry() const { return m_geometry; }
    TSlideMetrics Metrics() const;

    // Whether an entry of this kind goes on a screen; any other gets the
    // browser's default action instead.
    static bool isScreenPicture(int imageKind);

    // ---- operations offered to other windows ----
    // Screen k shows its entry (the window comes up for screen 1).
    void ShowScreen(int k);
    // Screens 1..n in order.
    void ShowScreens(int n);
    void Relayout();
    // Maximised, as the main window opens it; not shown yet.
    void Maximise();
    // The files the screens of the layout were last asked to show; a file
    // among them that changes on disk is shown again on its screens.
    QStringList ShownFiles() const;
    // Loads the screens that show file again (the watch of shown files).
    void ShownFileChanged(const QString& file);
    // The main window's listing changed under the screens: the window is
    // hidden, its timers stop and no screen keeps an entry.
    void ListingChanged();
    // The selection lists (file names, decimal indices), in browser order.
    void SetSelectionLists(const QStringList& names, const QStringList& indices);
    void SetRecordLine(int line, const QString& text);
    // The favourites folder (kept ending in "/"): the hidden folder list,
    // its saved-screen files read again into the hidden file list (nothing
    // selected), and the folder label.
    void SetFavoritesFolder(const QString& folder) override;
    QString FavoritesFolder() const override;
    // TCopySource: the ParseName of screen k's entry ("" for none) and the
    // layout, for the destination chooser's codes 11 to 15.
    QString ScreenFile(int k) const override;
    int ScreenCount() const override { return LayoutScreens(); }
    // The main window hides the favourites menu, bar and main-window item.
    void HideFavoriteControls();

    // ---- commands ----
    void Next1Click();
    void Prior1Click();
    void Random1Click();
    void Arrange1Click();
    void AllTheSameCommand(int k);
    void EnlargeCommand(int k);       // 1..4, 0 for "なし"
    void LayoutCommand(int index);    // 0 "1面", 1 "2面", 2 "4面"; line 9
    void SizeModeCommand(int mode);   // line 8
    void ClickModeCommand(int mode);  // line 7
    void SpeedCommand(int value);     // line 5
    void FastSpeedCommand(int value); // line 28
    void SwitchSpeedCommand(int seconds);
    void N111Click(); // one-picture step, line 18
    void N33Click();  // toolbar, line 10
    void Refresh1Click();
    void WindowSizeCommand(int percent);
    void FileList1Click();
    void SizeAdjustCommand(int k);
    void ApplySizeAdjust(int k, int w, int h);
    void Switch1Click();
    void Play1Click();
    void ReversePlay1Click();
    void RandomPlay1Click();
    void FastForward1Click();
    void Rewind1Click();
    void Stop1Click();
    void Close1Click(); // "閉じる"
    void N28Click();    // shows the main window

    // ---- "ファイル" (Unit2_file.cpp); k is a screen 1..4, 5 for "すべて"
    // or "全体". A screen the layout does not offer does nothing. ----
    void CopyToCommand(int k);      // フォルダへコピー: the destination chooser
    void ClipboardCommand(int k);   // クリップボードへ: screen k's picture
    void SavePictureCommand(int k); // 保存: screen k's picture as BMP
    void SaveAllClick();            // 保存 > すべて: the save-all dialog
    // The save-all dialog's OK: each offered screen's picture into folder
    // as its file's name without extension + suffix + ".bmp".
    void SaveAllTo(const QString& folder, const QString& suffix);
    void Join1Click();              // 連結して保存
    void CaptureCommand(int k);     // 画面をクリップボードへ
    void CaptureSaveCommand(int k); // 画面を保存
    void LoupeSave1Click();         // ルーペ画面を保存
    void Loupe1Click();             // ルーペ表示 (Tool menu)
    void LoupeHide1Click();         // ルーペ非表示
    void LoupeBar1Click();          // ルーペバー: shown clear of the info line's text
    // Where the info line's text stands, in desktop coordinates: from the
    // line's left to the end of its text (at least the line's minimum
    // width); empty while the window is hidden.
    QRect infoLineText() const;
    // Screen k's capture (5 for the composite of the whole screen area),
    // rendered from the window; the "ファイル" menu and the loupe bar are
    // hidden meanwhile. Null for a screen the layout does not offer.
    QImage Capture(int k);
    TCaptureLayout CaptureLayout() const;
    // The file name the save-picture dialog asks for ("" for cancel); the
    // main window's preview save runs it too. Tests put an answer here.
    std::function<QString()> SavePictureDialog1;

    // ---- "お気に入り": saved-screen files (Unit2_favorites.cpp) ----
    void FavSave1Click();   // 保存: the save dialog
    void FavOpen1Click();   // 開く
    void FavNext1Click();   // 次へ, お気に入り次へ(N)
    void FavPrior1Click();  // 前へ, お気に入り前へ(B)
    void FavFolder1Click(); // フォルダ指定: the favourites folder chooser
    // The save dialog's OK: the record with the current geometry and size
    // mode written to folder/name.srq, which becomes the favourites folder.
    // "エラー" when it cannot be written.
    void SaveRecordTo(const QString& folder, const QString& name);
    // Loads the record from a saved-screen file and applies it, with the
    // favourite-loading flag set; "エラー" for a file that cannot be read
    // or a damaged record, which changes nothing.
    void OpenSavedScreen(const QString& path);
    // The file the open dialog chose ("" for cancel). Tests put an answer here.
    std::function<QString()> OpenDialog1;
    // A splitter's drag: which = 1, 2, 3; the panel before it takes size.
    void MoveSplitter(int which, int size);
    // A click on screen k: left or right button, double or single.
    void ScreenClicked(int k, Qt::MouseButton button, bool doubleClick);
    // The info line for screen k's entry (nothing when it has none).
    void FillInfoLine(int k);
    // Random picks: a uniform value in [0, n); tests put a sequence here.
    std::function<int(int)> Random;

    // ---- timers ----
    void Timer1Timer();
    void Timer2Timer();
    void Timer3Timer();

    // ---- components ----
    QWidget* Panel1 = nullptr;           // top row
    QWidget* Panel2 = nullptr;           // bottom row
    QWidget* Panel3 = nullptr;           // screen area
    QWidget* Panel4 = nullptr;           // screen 1
    QWidget* Panel5 = nullptr;           // screen 2
    QWidget* Panel6 = nullptr;           // screen 3
    QWidget* Panel7 = nullptr;           // screen 4
    QWidget* Panel8 = nullptr;           // toolbar
    QWidget* Panel9 = nullptr;           // the slide buttons
    QWidget* Panel10 = nullptr;          // favourites bar
    QWidget* Panel11 = nullptr;          // info line
    TSlideSplitter* Splitter1 = nullptr; // top row
    TSlideSplitter* Splitter2 = nullptr; // bottom row
    TSlideSplitter* Splitter3 = nullptr; // between the rows
    TImgBox* ImgBox1 = nullptr;
    TImgBox* ImgBox2 = nullptr;
    TImgBox* ImgBox3 = nullptr;
    TImgBox* ImgBox4 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;        // the saved-screen record (hidden)
    QListWidget* ListBox1 = nullptr;        // selection: file names (hidden)
    QListWidget* ListBox2 = nullptr;        // selection: entry indices (hidden)
    QLineEdit* DirectoryListBox1 = nullptr; // favourites folder (hidden)
    QListWidget* FileListBox1 = nullptr;    // its "*.srq" files (hidden)
    QTimer* Timer1 = nullptr;               // slide
    QTimer* Timer2 = nullptr;               // fast forward / rewind
    QTimer* Timer3 = nullptr;               // switching
    QButtonGroup* SlideButtons = nullptr;
    QToolButton* SpeedButton1 = nullptr; // リバース再生(Shift)
    QToolButton* SpeedButton2 = nullptr; // 停止(Down)
    QToolButton* SpeedButton3 = nullptr; // 再生(Up)
    QToolButton* SpeedButton4 = nullptr; // 巻き戻し(Left)
    QToolButton* SpeedButton5 = nullptr; // 前へ(Ctrl)
    QToolButton* SpeedButton6 = nullptr; // 次へ(Space)
    QToolButton* SpeedButton7 = nullptr; // 早送り(Right)
    QToolButton* SpeedButton8 = nullptr; // お気に入り前へ(B)
    QToolButton* SpeedButton9 = nullptr; // お気に入り次へ(N)
    QLabel* Label1 = nullptr;            // favourites folder
    QLabel* Label2 = nullptr;            // favourites position
    QLabel* Label3 = nullptr;            // favourites file
    QLabel* Label4 = nullptr;            // info: name
    QLabel* Label5 = nullptr;            // info: position
    QLabel* Label6 = nullptr;            // info: size

    using MenuDef = MenuRow<TForm2>; // one row of the menu table

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildComponents();
    void buildToolbar();
    void buildMenus();
    void checkItem(const QString& name) { m_menus.checkItem(name); }
    void checkItemOf(void (TForm2::*command)(int), int arg);
    void setChecked(const QString& name, bool checked) { m_menus.setChecked(name, checked); }
    void FormCreate();
    void placeCentral();
    void placePanels();
    void applyGeometry(const TSlideGeometry& g);
    // Screens 1..n shown as ShowScreen shows each in turn, their pictures
    // loaded side by side; false (nothing done) unless every one of them
    // has a picture entry.
    bool showTogether(int n);
    void watchShownFiles();
    // The window size command's reload, once the new size has arrived.
    void windowSizeArrived();
    bool screenHoldsPicture(int k) const;
    bool allHoldPictures(int n) const;
    void message(const QString& text);
    void runResult(TSlideResult result, bool quiet);
    void step(bool forward, bool quiet);
    void randomPick(bool quiet);
    void fastTick();
    void pressButton(QToolButton* button);
    bool screenOffered(int k) const;
    void pictureFailed(const QString& file, const QString& error);
    QImage renderScreen(int k, const TCaptureLayout& layout);
    void pageSavedScreen(bool forward);
    bool loadSavedScreen(const QString& path);
    void Apply(const TSavedScreen& saved);
    void setRecord(const QStringList& lines);
    int checkedSizeMode() const;

    TViewerHost& m_host;
    TBrowserEntries m_entries;
    TSlideState m_state;
    TSlideGeometry m_geometry;
    TMenuTable m_menus;
    bool m_memoPending = false;
    QString m_screenFiles[TSlideState::ScreenCount]; // asked of each screen last
    std::unique_ptr<sq::platform::ShownFileWatch> m_shownWatch;
    std::unique_ptr<TSlideAhead> m_ahead;
    bool m_sizeAwaited = false; // the window size command waits for its size
    QSize m_awaitedSize;
};
