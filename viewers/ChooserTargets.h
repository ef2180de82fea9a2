// What the main window's choosers act on in the viewer windows: the slide
// view's favourites folder (the favourites folder chooser) and the files of
// the slide view's screens and of the file list view (the destination
// chooser's codes 11 to 15 and 21). The viewers implement these and ask for
// a chooser through TViewerHost; the main window's dialogs call back here.
// GUI thread only.
#pragma once

#include <QString>
#include <vector>

// The folder that holds the slide view's saved-screen files.
class TFavoritesFolderTarget
{
public:
    virtual ~TFavoritesFolderTarget() = default;
    // The current favourites folder, where the chooser opens.
    virtual QString FavoritesFolder() const = 0;
    // The chooser's OK: point the hidden folder list at folder, set the
    // folder label (favoritesFolderLabel) and read the list of saved-screen
    // files again.
    virtual void SetFavoritesFolder(const QString& folder) = 0;
};

// A blank and the part of folder after its last "/", where a "/" in the last
// position does not count: "/a/b" gives " b", "/a/b/" gives " b/".
QString favoritesFolderLabel(const QString& folder);

// The files the destination chooser copies for the viewers.
class TCopySource
{
public:
    virtual ~TCopySource() = default;
    // The ParseName of slide view screen 1..4's entry, "" when it has none.
    virtual QString ScreenFile(int screen) const
    {
        (void)screen;
        return {};
    }
    // The slide view's layout: 1, 2 or 4 screens.
    virtual int ScreenCount() const { return 1; }
    // The file the file list view's picture box shows, "" for none.
    virtual QString ShownFile() const { return {}; }
};

// The slide view screens a code copies, in order: 11..14 the one screen,
// 15 screen 1, then 2 unless the layout is one screen, then 3 and 4 in the
// four-screen layout. Empty for other codes.
std::vector<int> screensToCopy(int code, int screenCount);
