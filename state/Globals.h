// The program-wide state the windows share: one reference per window, set
// once by createWindows() (app/Windows.h) in the fixed start-up order, and the
// few flags the windows read and write. GUI thread only.
#pragma once

#include <QString>

class TForm1;
class TForm2;
class TForm3;
class TForm4;
class TForm6;
class TForm9;
class TForm10;
class TForm11;
class TForm13;
class TForm14;
class TForm17;
class TForm18;
class TForm19;
class TForm20;
class TForm22;
class TForm23;
class TForm24;
class TForm25;
class TForm26;
class TForm27;
class TForm28;
class TForm29;
class TPanelItem;

extern TForm1* Form1;
extern TForm2* Form2;
extern TForm3* Form3;
extern TForm4* Form4;
extern TForm6* Form6;
extern TForm9* Form9;
extern TForm10* Form10;
extern TForm11* Form11;
extern TForm13* Form13;
extern TForm14* Form14;
extern TForm17* Form17;
extern TForm18* Form18;
extern TForm19* Form19;
extern TForm20* Form20;
extern TForm22* Form22;
extern TForm23* Form23;
extern TForm24* Form24;
extern TForm25* Form25;
extern TForm26* Form26;
extern TForm27* Form27;
extern TForm28* Form28;
extern TForm29* Form29;

namespace sq::app {

extern bool slideViewActive;     // the slide view is in use
extern bool favoriteLoading;     // a saved-screen file is being applied
extern bool fullScreen;          // the file list view was opened full-screen
extern bool thumbnailsLoading;   // between OnImageLoad and OnImageLoaded
extern TPanelItem* previewEntry; // browser entry last shown in the preview
extern int destinationAction;    // what the destination chooser does on OK
// The slide view's screen entries and selected-pictures mode live in its
// state object, TForm2::State().

} // namespace sq::app
