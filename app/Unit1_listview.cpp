// The main window's side of the file list view: its two commands set the
// mode and fill the view's lists from the browser, then open it on the
// screen the main window is on.
#include "app/Globals.h"
#include "app/Unit1.h"

#include "viewers/Unit13.h"

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
    Form13->ClearLists();
    for (int i = 0; i < items.Count(); ++i) {
        TPanelItem* item = items.Items(i);
        if (selectedOnly && !item->Selected) continue;
        // Folders and files that are no pictures are left out; the lines
        // keep the entries' browser positions.
        if (!TForm13::isListPicture(item->ImageKind())) continue;
        Form13->AddLine(i + 1, item->ParseName());
    }
    // With one entry selected the view starts on the focused entry.
    const int focus = ImgPanel1->FocusIndex();
    const int focused = ImgPanel1->SelCount() == 1 && focus >= 0 ? focus + 1 : 0;
    Form13->Open(sq::app::fullScreen, screen(), focused);
}
