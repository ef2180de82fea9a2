// The file list view, which doubles as the full-screen view: a list of the
// browser's pictures beside one picture, stepped by hand or by timer; in
// full-screen mode only the picture, borderless, driven by keys and its
// context menu. Created once by createWindows() and kept hidden; the main
// window fills its two lists and opens it (Open). GUI thread only.
#pragma once

#include "engine/ImgUtils.h"
#include "viewers/ChooserTargets.h"
#include "viewers/MenuTable.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class QAction;
class QButtonGroup;
class QListWidget;
class QMenu;
class QScreen;
class QTimer;
class QToolButton;
class TAheadLoader;
class TImgBox;
class TSlideSplitter;
class TViewerHost;
namespace sq::platform {
class ShownFileWatch;
}

class TForm13 : public QMainWindow, public TCopySource
{
    Q_OBJECT

public:
    static constexpr int Panel3Width = 120;
    static constexpr int SplitterWidth = 6;

    explicit TForm13(TViewerHost& host, QWidget* parent = nullptr);
    ~TForm13() override;

    // The line after current in a list of count lines, wrapping from the
    // last to the first; with no current line (-1) the first. -1 for an
    // empty list.
    static int nextLine(int current, int count);
    // The line before current, wrapping from the first to the last; with no
    // current line the last. -1 for an empty list.
    static int priorLine(int current, int count);

    // Empties both lists, then adds one line per picture: display text
    // "position|file name" to ListBox1, the full path to ListBox2.
    void ClearLists();
    void AddLine(int position, const QString& path);

    // Puts the window in full-screen mode (borderless, no menus, no side
    // panel) or list mode (sizeable, with them), shows it on screen
    // (full-screen or maximised there) and runs the show steps. focused is
    // the browser position (from 1) of the line to start on, 0 for the
    // first line.
    void Open(bool fullScreen, QScreen* screen, int focused);
    bool isFullScreenMode() const { return m_fullScreenMode; }

    // The current line, -1 for none.
    int currentLine() const;

    // Menu items by component name; the bar's item, or with popup the
    // context menu's. nullptr when unknown.
    QAction* menuItem(const QString& name, bool popup = false) const;
    QMenu* menu(const QString& name) const;
    bool isChecked(const QString& name) const;

    // The picture of the next line and of the line before, prepared while
    // the current one is shown.
    TAheadLoader& Ahead() { return *m_ahead; }

    // TCopySource: the file the picture last loaded.
    QString ShownFile() const override;
    // The picture loaded again when the file it shows changes on disk (the
    // watch of the shown file).
    void ShownFileChanged(const QString& file);

    // ---- commands ----
    void ListBox1Click(); // choosing the current line
    void Next1Click();
    void Prior1Click();
    void Play1Click();
    void Stop1Click();
    void SizeModeCommand(int mode); // 0..3, line 48
    void SpeedCommand(int value);   // items "1".."10" as 0..9, line 49
    void WindowSizeCommand(int percent);
    void CopyTo1Click();    // フォルダへコピー: the destination chooser, code 21
    void Clipboard1Click(); // クリップボードへ
    void Save1Click();      // 保存: the picture as a BMP file
    void LoupeSave1Click(); // ルーペ画面を保存
    void Loupe1Click();     // ルーペ表示
    void LoupeHide1Click(); // ルーペ非表示
    void LoupeBar1Click();  // ルーペバー
    void Close1Click();     // 閉じる: hides the window
    void Timer1Timer();

    // The file name the save dialog asks for ("" for cancel). Tests put an
    // answer here.
    std::function<QString()> SavePictureDialog1;

    // ---- components ----
    TImgBox* ImgBox1 = nullptr;
    QWidget* Panel3 = nullptr;           // side panel: buttons and list
    QWidget* ButtonBar = nullptr;        // the four buttons
    TSlideSplitter* Splitter1 = nullptr; // between the side panel and the picture
    QWidget* Splitter2 = nullptr;        // between the buttons and the list
    QListWidget* ListBox1 = nullptr;     // "position|name", shown
    QListWidget* ListBox2 = nullptr;     // full paths, hidden
    QTimer* Timer1 = nullptr;
    QButtonGroup* SlideButtons = nullptr;
    QToolButton* StopButton = nullptr;  // 停止
    QToolButton* PlayButton = nullptr;  // 再生
    QToolButton* PriorButton = nullptr; // 前へ
    QToolButton* NextButton = nullptr;  // 次へ
    QMenu* PopupMenu1 = nullptr;

    using MenuDef = MenuRow<TForm13>; // one row of the menu table

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildComponents();
    void buildMenus();
    void checkItemOf(void (TForm13::*command)(int), int arg);
    void setMode(bool fullScreen);
    void FormShow(int focused);
    void setCurrentLine(int line);
    // Loads the current line's file when it exists; false otherwise.
    bool loadCurrentLine();
    bool holdsPicture() const;
    // The lines after and before the current one prepared, the direction
    // last stepped in first (run by the loader once a command is done).
    void prepareAhead();
    QString captionFor(const QString& prefix) const;

    TViewerHost& m_host;
    bool m_fullScreenMode = false;
    TMenuTable m_barMenus;   // the menu bar's
    TMenuTable m_popupMenus; // the context menu's, from the same rows
    QString m_loadedFile;    // the file the picture was last asked to show
    std::unique_ptr<sq::platform::ShownFileWatch> m_shownWatch;
    std::unique_ptr<TAheadLoader> m_ahead;
    bool m_forward = true;
};
