// The main window's favourite folders: the combo box's list, adding, going
// to a favourite or a typed path, the edit dialog, and the favourites file
// read at start and written at close. The list holds path carriers
// (platform/NativePath.h) as item data and shows their display text, so a
// folder whose name is not UTF-8 survives the file's round trip. A file that
// was there but could not be read is never written over, and another window
// of the program on the same data folder keeps what it wrote: the list is
// merged with the file as it is at close.
#include "app/Unit1.h"
#include "state/Globals.h"

#include "app/DialogParts.h"
#include "app/FavoritesMerge.h"
#include "app/Unit20.h"
#include "engine/TextLines.h"
#include "platform/NativePath.h"

#include <QComboBox>
#include <QPlainTextEdit>

#include <sys/stat.h>

namespace {

bool isFolder(const QString& path)
{
    struct stat st;
    return !path.isEmpty() && ::stat(sq::platform::nativePath(path).constData(), &st) == 0 &&
           S_ISDIR(st.st_mode);
}

QString notReachable(const QString& path)
{
    return sq::platform::displayText(path) + QStringLiteral("\n\rにアクセスできません");
}

} // namespace

QStringList TForm1::favorites() const
{
    QStringList paths;
    for (int i = 0; i < ComboBox1->count(); ++i) {
        const QVariant data = ComboBox1->itemData(i);
        paths << (data.isValid() ? data.toString() : ComboBox1->itemText(i));
    }
    return paths;
}

void TForm1::setFavorites(const QStringList& paths)
{
    const QString edit = ComboBox1->currentText();
    ComboBox1->clear();
    for (const QString& path : paths)
        ComboBox1->addItem(sq::platform::displayText(path), path);
    ComboBox1->setCurrentIndex(-1);
    ComboBox1->setEditText(edit);
}

void TForm1::loadFavorites()
{
    QStringList paths;
    sq::platform::OpenResult result;
    if (sq::readPathLines(favoritesFileName(), paths, &result)) {
        setFavorites(paths);
        m_favoritesBase = paths;
    }
    m_favoritesKept =
        result != sq::platform::OpenResult::Ok && result != sq::platform::OpenResult::Missing;
    mirrorFavorites();
}

void TForm1::mirrorFavorites()
{
    // The items' carriers, one a line. The file is written from the items
    // themselves: a text box holds text, and a path's bytes must survive.
    Memo3->setPlainText(favorites().join(QLatin1Char('\n')));
}

// Called with the data folder's lock held.
void TForm1::saveFavorites()
{
    mirrorFavorites();
    if (m_favoritesKept) return; // said at first show
    QStringList list = favorites();
    QStringList theirs;
    sq::platform::OpenResult result;
    if (sq::readPathLines(favoritesFileName(), theirs, &result))
        list = sq::app::mergeFavorites(m_favoritesBase, list, theirs);
    // Missing: nothing to merge with. Anything else became unreadable since
    // start and is left as it is.
    if ((result != sq::platform::OpenResult::Ok && result != sq::platform::OpenResult::Missing) ||
        !sq::writePathLines(favoritesFileName(), list)) {
        sq::app::message(this, sq::platform::displayText(favoritesFileName()) +
                                   QStringLiteral("\nを保存できません"));
        return;
    }
    m_favoritesBase = list;
}

// The path the edit text stands for: the shown folder's own carrier when
// the text is that folder as shown, so adding it keeps its bytes.
static QString editPath(const QString& edit, const QString& shownFolder)
{
    if (!shownFolder.isEmpty() &&
        (edit == shownFolder || edit == sq::platform::displayText(shownFolder)))
        return shownFolder;
    return edit;
}

void TForm1::N53Click()
{
    const QString path = editPath(ComboBox1->currentText(), browserCurrentFolderPath());
    const QString edit = ComboBox1->currentText();
    ComboBox1->addItem(sq::platform::displayText(path), path);
    ComboBox1->setEditText(edit);
}

void TForm1::ComboBox1Change(int index)
{
    if (index < 0 || index >= ComboBox1->count()) return;
    const QString path = favorites().at(index);
    if (isFolder(path))
        pointTreeAt(path);
    else
        sq::app::message(this, notReachable(path));
}

void TForm1::SpeedButton2Click()
{
    const QString path = editPath(ComboBox1->currentText(), browserCurrentFolderPath());
    if (isFolder(path))
        pointTreeAt(path);
    else
        sq::app::message(this, notReachable(path));
}

void TForm1::N54Click()
{
    if (!Form20) return;
    Form20->onOk = [this](const QStringList& paths) {
        setFavorites(paths);
        mirrorFavorites();
    };
    Form20->openWith(favorites(), 2 * ComboBox1->width());
}
