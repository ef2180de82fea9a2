// What the viewer windows ask of the main window: its settings lines, its
// thumbnail browser and the data folder. The main window implements it and
// createWindows() hands it to the viewer windows it creates, so the viewers
// never include the main window. GUI thread only.
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
