#include "state/Globals.h"

TForm1* Form1 = nullptr;
TForm2* Form2 = nullptr;
TForm3* Form3 = nullptr;
TForm4* Form4 = nullptr;
TForm6* Form6 = nullptr;
TForm9* Form9 = nullptr;
TForm10* Form10 = nullptr;
TForm11* Form11 = nullptr;
TForm13* Form13 = nullptr;
TForm14* Form14 = nullptr;
TForm17* Form17 = nullptr;
TForm18* Form18 = nullptr;
TForm19* Form19 = nullptr;
TForm20* Form20 = nullptr;
TForm22* Form22 = nullptr;
TForm23* Form23 = nullptr;
TForm24* Form24 = nullptr;
TForm25* Form25 = nullptr;
TForm26* Form26 = nullptr;
TForm27* Form27 = nullptr;
TForm28* Form28 = nullptr;
TForm29* Form29 = nullptr;

namespace sq::app {

bool slideViewActive = false;
bool favoriteLoading = false;
bool fullScreen = false;
bool thumbnailsLoading = false;
TPanelItem* previewEntry = nullptr;
int destinationAction = 0;

} // namespace sq::app
