// The slide view's saved-screen files: the record saved through the save
// dialog (Unit6), a file opened, the favourites folder's files paged
// through, that folder chosen (the main window's chooser) and a record
// applied to the screens.
#include "viewers/Unit2.h"

#include "browser/ImgPanel.h"
#include "platform/NativePath.h"
#include "platform/PathOps.h"
#include "state/Globals.h"
#include "viewers/SavedScreen.h"
#include "viewers/Unit6.h"
#include "viewers/ViewerHost.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>

#include <sys/stat.h>

namespace {

const char* const kLayoutItems[] = {"N11", "N21", "N41"};
const char* const kSizeItems[] = {"N3", "N4", "N50", "N1"};

// The favourite-loading flag, set while a saved-screen file is applied so
// that the main window's folder change does not close the slide view;
// cleared at the end in every case.
class FavoriteLoading
{
public:
    FavoriteLoading() { sq::app::favoriteLoading = true; }
    ~FavoriteLoading() { sq::app::favoriteLoading = false; }
    FavoriteLoading(const FavoriteLoading&) = delete;
    FavoriteLoading& operator=(const FavoriteLoading&) = delete;
};

QString bareFolder(const QString& folder)
{
    QString bare = folder;
    while (bare.size() > 1 && bare.endsWith(QLatin1Char('/')))
        bare.chop(1);
    return bare;
}

} // namespace

int TForm2::checkedSizeMode() const
{
    for (int mode = 0; mode < 4; ++mode)
        if (isChecked(QString::fromLatin1(kSizeItems[mode]))) return mode;
    return 1;
}

void TForm2::setRecord(const QStringList& lines)
{
    m_state.Record = normalizedRecord(lines);
    Memo1->setPlainText(m_state.Record.join(QLatin1Char('\n')));
}

// ---- save ----

void TForm2::FavSave1Click()
{
    if (!Form6) return;
    const QString folder = m_host.DataFolder() + QStringLiteral("Favorites/");
    // The default folder is made on first use; a failure shows when saving.
    ::mkdir(sq::platform::nativePath(folder).constData(), 0777);
    Form6->openFor(
        folder, [this](const QString& f, const QString& name) { SaveRecordTo(f, name); },
        [this] { Label2->clear(); });
}

void TForm2::SaveRecordTo(const QString& folder, const QString& name)
{
    QStringList record = m_state.Record;
    record[5] = QString::number(Panel1->height());
    record[6] = QString::number(Panel4->width());
    record[7] = QString::number(Panel6->width());
    // "大きい画像だけウインドウに合わせる" has no code: line 8 stays as it is.
    if (const int code = recordSizeCode(checkedSizeMode()); code >= 0)
        record[8] = QString::number(code);
    setRecord(record);

    // The name is typed as a file name: a "/" would put the file elsewhere.
    const bool named = !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
    const QString path = sq::platform::joinPath(bareFolder(folder), name + QStringLiteral(".srq"));
    const bool written = named && writeSavedScreenFile(path, m_state.Record);
    SetFavoritesFolder(folder); // it becomes the favourites folder, the new file listed
    if (!written) message(QStringLiteral("エラー"));
}

// ---- open, next, previous ----

void TForm2::FavOpen1Click()
{
    const QString chosen = OpenDialog1();
    if (chosen.isEmpty()) return;
    const QString path = sq::platform::absolutePathOf(chosen);
    if (!sq::platform::pathExists(path) || sq::platform::isFolderPath(path)) {
        message(QStringLiteral("ファイルがありません"));
        return;
    }
    OpenSavedScreen(path);
}

void TForm2::OpenSavedScreen(const QString& path)
{
    const FavoriteLoading loading;
    const QString folder = sq::platform::parentOf(path);
    SetFavoritesFolder(folder);
    // From the top down to the chosen file, not past the last one.
    const int n = FileListBox1->count();
    if (n > 0) {
        int i = 0;
        while (i < n - 1 && sq::platform::joinPath(folder, FileListBox1->item(i)->text()) != path)
            ++i;
        FileListBox1->setCurrentRow(i);
    }
    loadSavedScreen(path);
}

void TForm2::FavNext1Click()
{
    pageSavedScreen(true);
}

void TForm2::FavPrior1Click()
{
    pageSavedScreen(false);
}

void TForm2::pageSavedScreen(bool forward)
{
    const FavoriteLoading loading;
    const int n = FileListBox1->count();
    if (n == 0) return;
    const int row = FileListBox1->currentRow();
    int next;
    if (forward)
        next = row < 0 || row >= n - 1 ? 0 : row + 1;
    else
        next = row <= 0 || row >= n ? n - 1 : row - 1;
    FileListBox1->setCurrentRow(next);
    loadSavedScreen(
        sq::platform::joinPath(bareFolder(FavoritesFolder()), FileListBox1->item(next)->text()));
}

bool TForm2::loadSavedScreen(const QString& path)
{
    QStringList lines;
    if (!readSavedScreenFile(path, lines)) {
        message(QStringLiteral("エラー"));
        return false;
    }
    Label3->setText(QLatin1Char(' ') + sq::platform::displayText(sq::platform::fileNameOf(path)));
    // A damaged record is refused whole: the record and the screens stay.
    const std::optional<TSavedScreen> saved = parseSavedScreen(lines);
    if (!saved) {
        message(QStringLiteral("エラー"));
        return false;
    }
    setRecord(lines);
    Apply(*saved);
    return true;
}

void TForm2::FavFolder1Click()
{
    m_host.ChooseFavoritesFolder(*this);
}

// ---- apply ----

void TForm2::Apply(const TSavedScreen& saved)
{
    // The paths are taken from the data folder as they were written; the
    // process's current folder is left alone.
    const QString data = m_host.DataFolder();
    TImgPanel& browser = m_host.Browser();
    const QString before = browser.CurrentFolderPath();
    const QString first = resolveRecordPath(data, saved.Paths.value(0));
    if (!m_host.ListFolder(sq::platform::parentOf(first))) {
        message(QStringLiteral("エラー"));
        return;
    }
    if (browser.CurrentFolderPath() != before) {
        // The screens' indices and the selection lists belong to the old
        // listing.
        m_state.ClearScreens();
        m_state.SelectedPicturesMode = 0;
    }
    TPanelItems& items = browser.Items();
    const int count = items.Count();
    if (count == 0) {
        message(QStringLiteral("ファイルがありません"));
        return;
    }

    // The layout's mark alone: the settings line stays as it is.
    checkItem(QString::fromLatin1(kLayoutItems[saved.Layout]));
    const int n = LayoutScreens();
    for (int k = 1; k <= n; ++k) {
        const QString wanted = resolveRecordPath(data, saved.Paths.value(k - 1));
        int found = -1;
        for (int i = 0; i < count && found < 0; ++i)
            if (items.Items(i)->ParseName() == wanted) found = i;
        if (found < 0) {
            message(sq::platform::displayText(wanted) + QStringLiteral("が見つかりません"));
            found = 0;
        }
        m_state.SetScreen(k, found);
    }

    Relayout();
    m_geometry.TopHeight = saved.TopHeight;
    m_geometry.Panel4Width = saved.Panel4Width;
    m_geometry.Panel6Width = saved.Panel6Width;
    placePanels();
    if (const int mode = sizeModeOfRecordCode(saved.SizeCode); mode >= 0) SizeModeCommand(mode);
    Label2->setText(
        QStringLiteral(" %1/%2").arg(FileListBox1->currentRow() + 1).arg(FileListBox1->count()));
    ShowScreens(n);
}
