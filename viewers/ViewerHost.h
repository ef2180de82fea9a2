// What the viewer windows ask of the main window: its settings lines, its
// thumbnail browser and the data folder. The main window implements it and
// createWindows() hands it to the viewer windows it creates, so the viewers
// never include the main window. GUI thread only.
#pragma once

#include <QString>

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
};
