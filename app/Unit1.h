// The main window: folder pane, thumbnail browser, preview, menus and status
// bar. Owns the settings lines; applies them at creation and first show
// through the very handlers the menu commands use, saves them at close.
// GUI thread only.
#pragma once

#include "browser/ImgPanel.h"
#include "engine/ImgBox.h"
#include "platform/ShownFileWatch.h"
#include "state/SettingsLines.h"
#include "viewers/MenuTable.h"
#include "viewers/ViewerHost.h"

#include <QHash>
#include <QMainWindow>
#include <QStringList>

#include <memory>
#include <vector>

namespace sq::platform {
class DialogFileOpPrompt;
class FileVerbs;
class ShellOpener;
struct FileOpResult;
class FolderFileList;
class FolderTree;
} // namespace sq::platform

class TProgramOpener;

class QAction;
class QComboBox;
class QLabel;
class QListView;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QTimer;
class QToolButton;
class QTreeView;

class TForm1 : public QMainWindow, public TViewerHost
{
    Q_OBJECT

public:
    static constexpr int StatusPanelCount = 7;
    // How long the preview's size must rest before a picture is fitted to it again.
    static constexpr int PreviewFitDelayMs = 100;
    // The file name patterns of 表示 > 拡張子 item index, ";"-separated.
    static QString extensionPatterns(int index);

    // dataFolder is the program's data folder (ends in "/"). screenWidth and
    // screenHeight size the window and the defaults; 0 takes the primary
    // screen's. startPath is the command-line path ("" for none).
    explicit TForm1(const QString& dataFolder, const QString& startPath = QString(),
                    int screenWidth = 0, int screenHeight = 0, QWidget* parent = nullptr);
    ~TForm1() override;

    // Has the browser's workers make the first page of the folder the
    // start-up ends in (the command line's, else the start-up folder)
    // while the other windows are made; called once, before the show.
    void prepareStartFolder();

    TSettingsLines& settings() { return m_settings; }
    const QString& dataFolder() const { return m_dataFolder; }

    // TViewerHost
    TSettingsLines& Settings() override { return m_settings; }
    TImgPanel& Browser() override { return *ImgPanel1; }
    QString DataFolder() const override { return m_dataFolder; }
    bool ExecuteEntry(int index) override;
    void ShowMainWindow() override;
    bool ListFolder(const QString& folder) override;
    QString settingsFileName() const;
    QString favoritesFileName() const;
    // Held while the settings and favourites files are written.
    QString lockFileName() const;
    QString extraOptionsFileName() const;

    // Menu items and pop-up menus by component name; nullptr when unknown.
    QAction* menuItem(const QString& name) const { return m_menus.item(name); }
    QMenu* popupMenu(const QString& name) const { return m_menus.menu(name); }

    QString statusText(int panel) const;
    void setStatusText(int panel, const QString& text);

    // The folder tree's current folder ("" before any).
    QString treeFolder() const { return m_treeFolder; }
    // Points the folder tree at a folder; a file opens its folder. Nothing
    // happens for a path that names nothing existing.
    void pointTreeAt(const QString& path);
    // Makes the listed entry of a file in the browser's folder the current,
    // selected and focused one and shows it as a click does (status bar,
    // preview). Nothing happens for a file the browser does not list.
    void focusFile(const QString& path);

    // Whether the automatic thumbnail cache folder is usable.
    bool autoThumb() const { return m_autoThumb; }

    // Command handlers, as the menu items run them.
    void SortCommand(int code);          // Name1, Size1, Date1, Type1: line 1 codes 0..3
    void SizeCommand(int index);         // N13 ... N120x902: line 3 0..4
    void ViewStyleCommand(int index);    // ViewStyle1 ... ViewStyle6: line 4 0..5
    void ExtCommand(int index);          // BMP2, JPEG2, BMPJPEG1, ALLIMG1: line 52 0..3
    void DispModeCommand(int mode);      // N29/N85 ... N36/N88: line 27 0..3
    void QualityCommand(int quality);    // JPG100 ... JPG50: line 54
    void WindowSizeCommand(int percent); // N501 ... N1001
    void N17Click();                     // folder pane toggle, line 2
    void V1Click();                      // preview pane toggle, line 26
    // カラーマネジメント: pictures with an ICC profile in the display's
    // colours or as stored; kept in the program's own options file, and
    // every shown picture is made again (Unit1_colour.cpp).
    void ColourManage1Click();
    void Close1Click();
    void N2Click();     // start-up folder dialog
    void About1Click(); // about box
    void SelectAll1Click();
    void PagingCommand(int which); // N3, N12, N6, N7, N8, N9
    void Refresh1Click();
    void N63Click();   // cache file deletion
    void N52Click();   // find-by-name dialog
    void N32Click();   // preview picture to the clipboard
    void Save1Click(); // preview picture saved as BMP
    // The slide view (Unit1_slide.cpp).
    void ImgPanel1DblClick(); // browser or preview double-click: all entries take part
    void N40Click();          // 選択画像をスライドビュー: only the selected entries
    void Veiw1Click();        // shows the slide view again while it is in use
    // Hides the slide view and clears its active flag, because its screens
    // point into the browser's listing: for a listing change (folder change,
    // paste, delete) only while no saved-screen file is being applied, for
    // the file-type filter and the browser's own folder change always.
    // Nothing happens while the slide view is not in use.
    void hideSlideViewForListingChange(bool evenWhileFavoriteLoading);
    // The file list view (Unit1_listview.cpp): opened in list mode or
    // full-screen on the browser's pictures, or only the selected ones when
    // two or more are selected.
    void N43Click(); // ファイルリストビュー
    void N46Click(); // フルスクリーンビュー
    void N15Click(); // loupe shown
    void N44Click(); // loupe hidden
    void N55Click(); // loupe bar shown
    void N42Click(); // loupe picture dialog
    // The find-by-name dialog's search: every entry whose file name holds
    // text is brought into view and the click handling runs for it.
    void FindByName(const QString& text);

    // File and folder operations (Unit1_fileops.cpp). The shell routines:
    // a file to its full target path, a folder into a destination folder, a
    // folder to the trash; questions, progress and errors through the file
    // operations' dialogs.
    sq::platform::FileOpResult SHCopyFile(const QString& from, const QString& to);
    sq::platform::FileOpResult SHMoveFile(const QString& from, const QString& to);
    sq::platform::FileOpResult SHCopyDir(const QString& from, const QString& toFolder);
    sq::platform::FileOpResult SHMoveDir(const QString& from, const QString& toFolder);
    sq::platform::FileOpResult SHDeleteDir(const QString& folder);
    void New1Click();    // New1, New2
    void GoTo2Click();   // GoTo2, GoTo3: move the tree's folder (code 0)
    void Copy2Click();   // Copy2, Copy3: copy the tree's folder (code 1)
    void Delete1Click(); // Delete1, Delete3
    void Rename1Click(); // Rename1, Rename2
    void Cut1Click();
    void Copy1Click();
    void Paste1Click();
    void Delete2Click();
    void N26Click();   // selected files moved (code 31)
    void Copy4Click(); // selected files copied (code 32)
    void N21Click();   // current entry opened with its program
    void Open1Click(); // preview's file opened with its program
    void Rename3Click();
    void Explore1Click();
    void FileListBox1DblClick();
    // Opens the destination chooser for a code; source gives the viewers'
    // files (codes 11..15, 21).
    void OpenDestinationChooser(int code, TCopySource* source = nullptr);
    // The chooser's OK for the current destination action code.
    void DestinationChosen(const QString& folder);
    // Opens a file or folder with its program; says so when none can.
    bool openWithProgram(const QString& path);
    // The opener behind every open command (the desktop's by default);
    // tests put a double in. Not owned.
    void setShellOpener(sq::platform::ShellOpener* opener);
    void ChooseFavoritesFolder(TFavoritesFolderTarget& target) override;
    void ChooseDestination(int code, TCopySource& source) override;

    // Favourite folders (Unit1_favorites.cpp).
    void N53Click();          // N53, SpeedButton1: add the edit text
    void N54Click();          // edit dialog
    void SpeedButton2Click(); // go to the edit text
    void ComboBox1Change(int index);
    // The favourites as path carriers, in order.
    QStringList favorites() const;
    void setFavorites(const QStringList& paths);

    // Batch conversion (Unit1_convert.cpp).
    void BMP1Click();
    void JPEG1Click();
    void BMP3Click();
    void JPEG3Click();
    // The JPEG quality of the checked JPG item.
    int conversionQuality() const;

    // Hidden controls carrying data between windows.
    QPlainTextEdit* Memo2 = nullptr; // command-line or dropped path
    // The favourites' text, one path a line: set at start, on OK of the edit
    // dialog and at close.
    QPlainTextEdit* Memo3 = nullptr;
    QComboBox* ComboBox1 = nullptr;  // favourites

    QWidget* Panel3 = nullptr; // folder pane
    QComboBox* DriveComboBox1 = nullptr;
    QTreeView* DirectoryListBox1 = nullptr;
    QListView* FileListBox1 = nullptr;
    QComboBox* FilterComboBox1 = nullptr;
    QSplitter* Splitter1 = nullptr; // between the folder pane and the right side
    QSplitter* Splitter2 = nullptr; // between the browser and the preview
    TImgPanel* ImgPanel1 = nullptr; // the thumbnail browser
    TImgBox* ImgBox1 = nullptr;     // the preview
    QToolButton* SpeedButton8 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* SpeedButton2 = nullptr;

    using MenuDef = MenuRow<TForm1>; // one row of the menu table

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildLayout();
    void buildMenus();
    void buildStatusBar();
    void checkItem(const QString& name) { m_menus.checkItem(name); }
    void checkItemsOf(void (TForm1::*command)(int), int arg);
    void setChecked(const QString& name, bool checked) { m_menus.setChecked(name, checked); }
    bool isChecked(const QString& name) const { return m_menus.isChecked(name); }

    void FormCreate();
    void FormShow();
    void applyStartupFolder();
    void navigateFromMemo2();
    void DirectoryListBox1Change();
    void DriveComboBox1Change(int index);
    void FilterComboBox1Change(int index);
    void syncDriveBox();
    void revealTreeFolder();
    void setThumbnailPaneHeight(int height);

    void configureBrowser();
    void browserSetSortType(int code);
    void browserSetImageSize(int width, int height);
    void browserSetStyle(int index);
    void browserSetExt(const QString& ext);
    void browserRefresh() { ImgPanel1->Refresh(); }
    void browserOpenFolder(const QString& path) { ImgPanel1->OpenFolder(path); }
    QString browserCurrentFolderPath() const { return ImgPanel1->CurrentFolderPath(); }
    void DispSelectItem();
    void ImgPanel1Click();
    void configurePreview();
    void previewSetMode(int mode);
    void showPreviewEntry();
    // After the browser has read its folder again: the picture that the
    // preview and panels 2 to 6 describe stays while it is still listed in
    // the same folder (loaded again when its file changed), else they are
    // emptied. A shown folder that has gone is left for its nearest parent.
    void followShownEntry();
    void clearShown();
    // Panels 2 to 6 for the entry at index, which is the shown entry.
    void writeShownPanels(TPanelItem* item, int index);
    // Panel 5: the picture's size, from the preview when it holds the
    // picture, else from its thumbnail, else as it was.
    void writeShownSize(TPanelItem* item);
    // The preview loaded again at its new size in the modes that fit the
    // picture while decoding it.
    void refitPreview();
    void leaveGoneFolder();
    // The program renamed the shown file: the preview and the panels follow it.
    void shownRenamed(const QString& from, const QString& to);
    void suraidowindow();      // opens the slide view on its selected source
    void form13show();         // fills the file list view and opens it
    void connectSlideView();   // the double-clicks that open it
    void slideViewFirstShow(); // the first show's steps for the slide view
    void restoreLoupe();       // first show, step 8
    void storeLoupe();         // close, steps 1 - 3
    void connectFileCommands();
    void loadFavorites();
    void saveFavorites();
    // Says once, at first show, which of the files read at start are kept
    // as they are because they could not be read.
    void reportKeptFiles();
    void mirrorFavorites(); // Memo3 := the favourites' text
    // Moves or copies the browser's selected files into folder.
    void copySelectedInto(const QString& folder, bool move);
    // Converts files (toJpeg: BMP to JPEG) with the progress box captioned.
    void convertFiles(const QStringList& files, bool toJpeg, const QString& caption);
    void batchConvert(bool toJpeg, const QString& caption);
    void rereadTree(const QString& folder);

    QString m_dataFolder;
    QString m_startPath;
    int m_screenWidth;
    int m_screenHeight;
    TSettingsLines m_settings;
    // A settings or favourites file that was there but could not be read at
    // start is never written over; base: the favourites as read at start.
    bool m_settingsKept = false;
    bool m_favoritesKept = false;
    QStringList m_favoritesBase;
    bool m_autoThumb = false;
    bool m_shown = false;
    bool m_closed = false;
    QString m_treeFolder;
    // The tree's current folder was set by the program, which keeps it in
    // view until the user takes the tree in hand.
    bool m_revealPending = false;
    sq::platform::FolderTree* m_dirModel = nullptr;      // names kept as bytes
    sq::platform::FolderFileList* m_fileModel = nullptr; // names kept as bytes
    TMenuTable m_menus;
    std::vector<QLabel*> m_panels;
    std::unique_ptr<sq::platform::DialogFileOpPrompt> m_filePrompt;
    std::unique_ptr<sq::platform::FileVerbs> m_fileVerbs;
    std::unique_ptr<TFileVerbsAdapter> m_shellVerbs;
    std::unique_ptr<TProgramOpener> m_programOpener;
    TCopySource* m_copySource = nullptr; // the viewer the chooser copies for
    // What panels 2 to 6 describe: the entry's file, its name in the
    // browser's folder, that folder, and the file's stamp when it was shown;
    // the file the preview was asked to load.
    QString m_shownFile;
    QByteArray m_shownName;
    QString m_shownFolder;
    sq::platform::FileStamp m_shownStamp;
    QSize m_shownSize;
    QString m_previewFile;
    // Applies the colour option to the engines of every window.
    void applyColourOption(bool on);
    QTimer* m_previewFit = nullptr;
    // Rows of the folder tree that hold its current folder are being removed.
    bool m_treeRowsLeaving = false;
};
