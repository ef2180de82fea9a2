// The main window's file and folder operations: the shell routines over the
// platform's file operations, the folder commands of the folder menu and the
// tree's pop-up, the picture menu's clipboard commands, moving and copying
// the selected files, the destination chooser's actions, renaming the
// previewed file and opening files with their programs.
#include "app/Unit1.h"
#include "state/Globals.h"

#include "app/DialogParts.h"
#include "app/ProgramOpener.h"
#include "app/Unit19.h"
#include "app/Unit22.h"
#include "app/Unit23.h"
#include "app/Unit24.h"
#include "app/Unit9.h"
#include "engine/ImgUtils.h"
#include "platform/FileOps.h"
#include "platform/FileOpsDialogs.h"
#include "platform/FolderFileList.h"
#include "platform/NativePath.h"
#include "viewers/ChooserTargets.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QListView>
#include <QToolButton>

#include <sys/stat.h>

using sq::platform::ConflictAnswer;
using sq::platform::FileOpResult;

namespace {

bool isFile(const QString& path)
{
    struct stat st;
    return !path.isEmpty() && ::stat(sq::platform::nativePath(path).constData(), &st) == 0 &&
           S_ISREG(st.st_mode);
}

bool isFolder(const QString& path)
{
    struct stat st;
    return !path.isEmpty() && ::stat(sq::platform::nativePath(path).constData(), &st) == 0 &&
           S_ISDIR(st.st_mode);
}

// Whether two paths name the same file (the same inode).
bool sameFile(const QString& a, const QString& b)
{
    struct stat sa, sb;
    return ::stat(sq::platform::nativePath(a).constData(), &sa) == 0 &&
           ::stat(sq::platform::nativePath(b).constData(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

QString fileNameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString parentOf(const QString& path)
{
    const QString clean = QDir::cleanPath(path);
    const qsizetype slash = clean.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : clean.left(slash);
}

// A folder, a separator and a name; a root folder ends in its own separator.
QString joinPath(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

bool isInside(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(joinPath(folder, QString()));
}

// The chooser's caption and instruction for each destination action code.
struct Destination
{
    int code;
    const char* caption;
    const char* instruction;
};
const Destination kDestinations[] = {
    {0, "フォルダを移動", "移動先を選択"},
    {1, "フォルダをコピー", "コピー先を選択"},
    {11, "画面1のファイルをコピー", "コピー先を選択"},
    {12, "画面2のファイルをコピー", "コピー先を選択"},
    {13, "画面3のファイルをコピー", "コピー先を選択"},
    {14, "画面4のファイルをコピー", "コピー先を選択"},
    {15, "すべての画面のファイルをコピー", "コピー先を選択"},
    {21, "ファイルをコピー", "コピー先を選択"},
    {31, "選択ファイルを移動", "移動先を選択"},
    {32, "選択ファイルをコピー", "コピー先を選択"},
};

} // namespace

// ---- shell routines ----

// A file copied or moved onto itself (into the folder it is in) would be
// truncated by a plain copy; it is the conflict question instead, and no
// answer changes the file.
static FileOpResult askAboutSelf(sq::platform::FileOpPrompt& prompt, const QString& from,
                                 const QString& to)
{
    FileOpResult result;
    switch (sq::platform::askConflictInBatch(prompt, from, to)) {
    case ConflictAnswer::Replace:
        ++result.done;
        result.targets << from;
        break;
    case ConflictAnswer::Skip:
        ++result.skipped;
        break;
    case ConflictAnswer::Cancel:
        result.cancelled = true;
        break;
    }
    return result;
}

FileOpResult TForm1::SHCopyFile(const QString& from, const QString& to)
{
    if (sameFile(from, to)) return askAboutSelf(*m_filePrompt, from, to);
    return sq::platform::copyTo(from, to, *m_filePrompt);
}

FileOpResult TForm1::SHMoveFile(const QString& from, const QString& to)
{
    if (sameFile(from, to)) return askAboutSelf(*m_filePrompt, from, to);
    return sq::platform::moveTo(from, to, *m_filePrompt);
}

FileOpResult TForm1::SHCopyDir(const QString& from, const QString& toFolder)
{
    return sq::platform::copyInto({from}, toFolder, *m_filePrompt);
}

FileOpResult TForm1::SHMoveDir(const QString& from, const QString& toFolder)
{
    return sq::platform::moveInto({from}, toFolder, *m_filePrompt);
}

FileOpResult TForm1::SHDeleteDir(const QString& folder)
{
    return sq::platform::moveToTrash({folder}, *m_filePrompt);
}

// ---- wiring ----

void TForm1::connectFileCommands()
{
    connect(SpeedButton1, &QToolButton::clicked, this, &TForm1::N53Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TForm1::SpeedButton2Click);
    // A pick from the list; typing into the edit part picks nothing.
    connect(ComboBox1, &QComboBox::activated, this, &TForm1::ComboBox1Change);
    connect(FileListBox1, &QAbstractItemView::doubleClicked, this, &TForm1::FileListBox1DblClick);
}

void TForm1::setShellOpener(sq::platform::ShellOpener* opener)
{
    m_programOpener->setInner(opener);
}

bool TForm1::openWithProgram(const QString& path)
{
    return m_programOpener->open(path);
}

void TForm1::rereadTree(const QString& fallback)
{
    // The tree's model follows the disk by itself; a tree folder that is
    // gone (moved, renamed, deleted) gives way to where it went.
    if (!isFolder(m_treeFolder) && isFolder(fallback)) pointTreeAt(fallback);
    revealTreeFolder();
}

// ---- folder commands ----

void TForm1::New1Click()
{
    if (!Form19 || m_treeFolder.isEmpty()) return;
    Form19->onCreated = [this](const QString&) { rereadTree(m_treeFolder); };
    Form19->openFor(m_treeFolder);
}

void TForm1::GoTo2Click()
{
    OpenDestinationChooser(0);
}

void TForm1::Copy2Click()
{
    OpenDestinationChooser(1);
}

void TForm1::Delete1Click()
{
    const QString folder = m_treeFolder;
    if (folder.isEmpty()) return;
    if (!sq::app::confirm(this, sq::platform::displayText(folder) +
                                    QStringLiteral("\n\rを削除していいですか?")))
        return;
    SHDeleteDir(folder);
    rereadTree(parentOf(folder));
}

void TForm1::Rename1Click()
{
    if (!Form22 || m_treeFolder.isEmpty()) return;
    Form22->onRenamed = [this](const QString& old, const QString& renamed) {
        rereadTree(isInside(m_treeFolder, old) ? renamed + m_treeFolder.mid(old.size())
                                               : parentOf(old));
    };
    Form22->openFor(m_treeFolder);
}

// ---- picture menu: the browser's own clipboard and delete commands ----

void TForm1::Cut1Click()
{
    ImgPanel1->setFocus();
    ImgPanel1->ShellCommand(QStringLiteral("cut"));
}

void TForm1::Copy1Click()
{
    ImgPanel1->setFocus();
    ImgPanel1->ShellCommand(QStringLiteral("copy"));
}

void TForm1::Paste1Click()
{
    ImgPanel1->setFocus();
    ImgPanel1->ShellCommand(QStringLiteral("paste"));
    hideSlideViewForListingChange(false);
}

void TForm1::Delete2Click()
{
    ImgPanel1->setFocus();
    ImgPanel1->ShellCommand(QStringLiteral("delete"));
    QApplication::processEvents();
    hideSlideViewForListingChange(false);
}

// ---- the destination chooser ----

void TForm1::N26Click()
{
    OpenDestinationChooser(31);
}

void TForm1::Copy4Click()
{
    OpenDestinationChooser(32);
}

void TForm1::ChooseDestination(int code, TCopySource& source)
{
    OpenDestinationChooser(code, &source);
}

void TForm1::ChooseFavoritesFolder(TFavoritesFolderTarget& target)
{
    if (Form9) Form9->openFor(target);
}

void TForm1::OpenDestinationChooser(int code, TCopySource* source)
{
    const Destination* d = nullptr;
    for (const Destination& row : kDestinations)
        if (row.code == code) d = &row;
    if (!d || !Form23) return;
    if ((code == 31 || code == 32) && ImgPanel1->SelCount() == 0) {
        sq::app::message(this, QStringLiteral("選択画像がありません"));
        return;
    }
    sq::app::destinationAction = code;
    m_copySource = source;
    Form23->onOk = [this](const QString& folder) { DestinationChosen(folder); };
    Form23->openWith(QString::fromUtf8(d->caption), QString::fromUtf8(d->instruction),
                     code == 0 || code == 1 ? m_treeFolder : QString());
}

void TForm1::DestinationChosen(const QString& folder)
{
    const int code = sq::app::destinationAction;
    switch (code) {
    case 0:
    case 1: {
        const QString source = m_treeFolder;
        if (source.isEmpty()) break;
        if (code == 0)
            SHMoveDir(source, folder);
        else
            SHCopyDir(source, folder);
        rereadTree(joinPath(folder, fileNameOf(QDir::cleanPath(source))));
        break;
    }
    case 31:
    case 32:
        copySelectedInto(folder, code == 31);
        break;
    default: {
        if (!m_copySource) break;
        QStringList files;
        if (code == 21) files << m_copySource->ShownFile();
        for (int screen : screensToCopy(code, m_copySource->ScreenCount()))
            files << m_copySource->ScreenFile(screen);
        const sq::platform::FileOpBatch batch;
        for (const QString& file : std::as_const(files)) {
            if (!isFile(file)) continue;
            if (SHCopyFile(file, joinPath(folder, fileNameOf(file))).cancelled) break;
        }
        break;
    }
    }
}

void TForm1::copySelectedInto(const QString& folder, bool move)
{
    // The paths are taken first: the change watch may list the folder again
    // while files move, and the entries go with such a listing.
    QStringList files;
    TPanelItems& items = ImgPanel1->Items();
    for (int i = 0; i < items.Count(); ++i) {
        TPanelItem* item = items.Items(i);
        if (item->Selected && isFile(item->ParseName())) files << item->ParseName();
    }
    // One batch: the shown folder is read once at the end, not after each file.
    const sq::platform::FileOpBatch batch;
    for (const QString& file : std::as_const(files)) {
        if (!isFile(file)) continue; // gone meanwhile
        const QString target = joinPath(folder, fileNameOf(file));
        const FileOpResult r = move ? SHMoveFile(file, target) : SHCopyFile(file, target);
        QApplication::processEvents();
        if (r.cancelled) break;
    }
    if (!m_treeFolder.isEmpty()) FileListBox1->setRootIndex(m_fileModel->setRootPath(m_treeFolder));
}

// ---- rename and open ----

void TForm1::Rename3Click()
{
    const QString file = ImgBox1->ImageFile();
    if (!Form24 || !isFile(file)) return;
    Form24->onRenamed = [this, file](const QString& renamed, const QString& name) {
        shownRenamed(file, renamed);
        try {
            ImgPanel1->Refresh();
        } catch (const EThumbError&) {
            // The cache's trouble is reported by Refresh1; the rename is done.
        }
        setStatusText(3, name);
    };
    Form24->openFor(file, statusText(3));
}

void TForm1::N21Click()
{
    TPanelItem* item = ImgPanel1->CurrentItem();
    if (ImgPanel1->SelCount() < 1 || !item) return;
    if (isFile(item->ParseName())) openWithProgram(item->ParseName());
}

void TForm1::Open1Click()
{
    const QString file = ImgBox1->ImageFile();
    if (isFile(file)) openWithProgram(file);
}

void TForm1::FileListBox1DblClick()
{
    const QString file = m_fileModel->filePath(FileListBox1->currentIndex());
    if (isFile(file)) openWithProgram(file);
}

void TForm1::Explore1Click()
{
    // Linux has no "explorer": the desktop's file manager opens the folder
    // being shown.
    const QString folder =
        browserCurrentFolderPath().isEmpty() ? m_treeFolder : browserCurrentFolderPath();
    if (isFolder(folder)) openWithProgram(folder);
}
