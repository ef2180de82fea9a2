// The main window's side of the slide view: opening it from a double-click
// on the browser or the preview (all entries) or from the selected entries,
// showing it again, and hiding it when the browser's listing changes under
// its screens.
#include "app/Unit1.h"
#include "state/Globals.h"

#include "platform/PathOps.h"
#include "viewers/Unit2.h"

#include <QMessageBox>
#include <QMouseEvent>

#include <functional>

namespace {

// Runs a handler on a left double-click in the watched widget.
class DoubleClickFilter final : public QObject
{
public:
    DoubleClickFilter(QObject* parent, std::function<void()> run)
        : QObject(parent), m_run(std::move(run))
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonDblClick &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            m_run();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_run;
};

} // namespace

void TForm1::connectSlideView()
{
    ImgPanel1->OnDblClick = [this](TCustomImgPanel*) { ImgPanel1DblClick(); };
    ImgBox1->installEventFilter(new DoubleClickFilter(ImgBox1, [this] { ImgPanel1DblClick(); }));
}

void TForm1::slideViewFirstShow()
{
    if (!Form2) return;
    Form2->HideFavoriteControls();
    Form2->SetFavoritesFolder(m_dataFolder + QStringLiteral("Favorites/"));
    Form2->SetRecordLine(4, m_settings.text(9));
}

void TForm1::ImgPanel1DblClick()
{
    if (!Form2) return;
    Form2->State().SelectedPicturesMode = 0;
    suraidowindow();
}

void TForm1::N40Click()
{
    TImgPanel& b = *ImgPanel1;
    if (b.SelCount() == 0) {
        QMessageBox::information(this, windowTitle(), QStringLiteral("選択画像がありません"));
        return;
    }
    if (!Form2) return;
    Form2->State().SelectedPicturesMode = 1;
    QStringList names;
    QStringList indices;
    TPanelItems& items = b.Items();
    for (int i = 0; i < items.Count(); ++i) {
        TPanelItem* item = items.Items(i);
        if (!item->Selected) continue;
        const QString path = item->ParseName();
        names << path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
        indices << QString::number(i);
    }
    Form2->SetSelectionLists(names, indices);
    if (!indices.isEmpty()) suraidowindow();
}

void TForm1::suraidowindow()
{
    TForm2& slide = *Form2;
    slide.Maximise();
    TSlideState& state = slide.State();
    state.ClearScreens();
    const int n = slide.LayoutScreens();
    const bool filled = state.SelectedPicturesMode == 1
                            ? state.OpenFromSelection(n, slide.Entries())
                            : state.OpenFromCurrent(n, ImgPanel1->CurrentIndex(), slide.Entries());
    if (!filled) return;
    slide.ShowScreens(n);
    if (slide.isVisible()) slide.raise();
    // In use once it has come up: a first entry that is a folder or a file
    // for another program runs its default action and shows nothing.
    sq::app::slideViewActive = slide.isVisible();
}

void TForm1::Veiw1Click()
{
    if (Form2 && sq::app::slideViewActive) {
        Form2->show();
        Form2->raise();
    }
}

void TForm1::hideSlideViewForListingChange(bool evenWhileFavoriteLoading)
{
    if (!sq::app::slideViewActive) return;
    if (sq::app::favoriteLoading && !evenWhileFavoriteLoading) return;
    if (Form2) Form2->ListingChanged();
    sq::app::slideViewActive = false;
}

bool TForm1::ExecuteEntry(int index)
{
    TPanelItems& items = ImgPanel1->Items();
    if (index < 0 || index >= items.Count()) return false;
    const QString before = ImgPanel1->CurrentFolderPath();
    const bool done = items.Items(index)->Execute();
    // A folder opened in the browser: the listing the screens point into is gone.
    if (ImgPanel1->CurrentFolderPath() != before) hideSlideViewForListingChange(true);
    return done;
}

bool TForm1::ListFolder(const QString& folder)
{
    const QString clean = sq::platform::absolutePathOf(folder);
    if (!sq::platform::isFolderPath(clean)) return false;
    pointTreeAt(clean);
    // The tree already stood on it while the browser showed a folder opened
    // from the browser itself: the tree's change runs again.
    if (m_treeFolder == clean && browserCurrentFolderPath() != clean) DirectoryListBox1Change();
    return true;
}

void TForm1::ShowMainWindow()
{
    show();
    raise();
    activateWindow();
}
