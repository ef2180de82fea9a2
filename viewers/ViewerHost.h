// What the viewer windows ask of the main window: its settings lines, its
// thumbnail browser, the data folder, the browser's default action for an
// entry, listing a folder, the choosers and bringing the main window up. The main window implements
// it and createWindows() hands it to the viewer windows it creates, so the viewers never include
// the main window. GUI thread only.
#pragma once

#include <QString>

class TCopySource;
class TFavoritesFolderTarget;
class TImgPanel;
class TSettingsLines;

class TViewerHost
{
public:
    virtual ~TViewerHost() = default;
    virtual TSettingsLines& Settings() = 0;
    virtual TImgPanel& Browser() = 0;
    // The program's data folder, ending in "/".
    virtual QString DataFolder() const = 0;
    // The browser's default action for its entry at index (a folder opens in
    // the browser, a file with the desktop's program), followed by what the
    // main window does when that changes the listing. False when the index
    // is not in the list or nothing was done. A host without a browser of
    // its own (a test's) does nothing.
    virtual bool ExecuteEntry(int /*index*/) { return false; }
    // Shows the main window and brings it to the front.
    virtual void ShowMainWindow() {}
    // Points the main window's folder list at folder, so that its browser
    // lists it; the main window's folder change runs as for the user's
    // (Globals.h favoriteLoading keeps it from closing the slide view).
    // False when folder is not a folder.
    virtual bool ListFolder(const QString& folder)
    {
        (void)folder;
        return false;
    }
    // Opens the favourites folder chooser on target's folder; its OK sets
    // target's folder (ChooserTargets.h).
    virtual void ChooseFavoritesFolder(TFavoritesFolderTarget& target) { (void)target; }
    // Opens the destination chooser with a destination action code of the
    // viewers (11..15, 21); its OK copies source's files there. source must
    // live as long as the program's windows.
    virtual void ChooseDestination(int code, TCopySource& source)
    {
        (void)code;
        (void)source;
    }
};
