// The main window's side of the file list view: its two commands set the
// mode and fill the view's lists from the browser, then open it on the
// screen the main window is on.
#include "app/Unit1.h"
#include "state/Globals.h"

#include "viewers/Unit13.h"

#include <utility>
#include <vector>

void TForm1::N43Click()
{
    sq::app::fullScreen = false;
    form13show();
}

void TForm1::N46Click()
{
    sq::app::fullScreen = true;
    form13show();
}

void TForm1::form13show()
{
    if (!Form13) return;
    TPanelItems& items = ImgPanel1->Items();
    if (items.Count() == 0) return;
    const bool selectedOnly = ImgPanel1->SelCount() >= 2;
    // Every entry, or the selected ones, with its browser position; a line
    // that names no file (a folder) is passed over when it is chosen.
    std::vector<std::pair<int, QString>> lines;
    for (int i = 0; i < items.Count(); ++i) {
        TPanelItem* item = items.Items(i);
        if (selectedOnly && !item->Selected) continue;
        lines.emplace_back(i + 1, item->ParseName());
    }
    Form13->ClearLists();
    for (const auto& [position, path] : lines)
        Form13->AddLine(position, path);
    // With one entry selected the view starts on the focused entry.
    const int focus = ImgPanel1->FocusIndex();
    const int focused = ImgPanel1->SelCount() == 1 && focus >= 0 ? focus + 1 : 0;
    Form13->Open(sq::app::fullScreen, screen(), focused);
}
