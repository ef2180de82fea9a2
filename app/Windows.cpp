#include "app/Windows.h"
#include "state/Globals.h"

#include "app/Unit1.h"
#include "app/Unit10.h"
#include "app/Unit17.h"
#include "app/Unit19.h"
#include "app/Unit20.h"
#include "app/Unit22.h"
#include "app/Unit23.h"
#include "app/Unit24.h"
#include "app/Unit3.h"
#include "app/Unit4.h"
#include "app/Unit9.h"
#include "viewers/Unit11.h"
#include "viewers/Unit13.h"
#include "viewers/Unit14.h"
#include "viewers/Unit18.h"
#include "viewers/Unit2.h"
#include "viewers/Unit25.h"
#include "viewers/Unit26.h"
#include "viewers/Unit27.h"
#include "viewers/Unit28.h"
#include "viewers/Unit29.h"
#include "viewers/Unit6.h"
#include "platform/StartTrace.h"

namespace sq::app {

void createWindows(const QString& dataFolder, const QString& startPath)
{
    // The main window's creation handler runs before any other window exists;
    // the others may read the settings lines it has loaded.
    Form1 = new TForm1(dataFolder, startPath);
    sq::platform::traceStart("main window created");
    Form1->prepareStartFolder();
    Form2 = new TForm2(*Form1);
    Form3 = new TForm3;
    Form4 = new TForm4;
    Form6 = new TForm6;
    Form9 = new TForm9;
    Form10 = new TForm10;
    Form11 = new TForm11(*Form1);
    Form13 = new TForm13(*Form1);
    Form14 = new TForm14(Form1);
    Form17 = new TForm17;
    Form18 = new TForm18(Form1, Form14);
    Form19 = new TForm19;
    Form20 = new TForm20;
    Form22 = new TForm22;
    Form23 = new TForm23;
    Form24 = new TForm24;
    Form25 = new TForm25;
    Form26 = new TForm26(Form14);
    Form18->setSaveDialog(Form26);
    Form27 = new TForm27;
    Form28 = new TForm28;
    Form29 = new TForm29;
    // Closing the main window ends the program whatever else is shown.
    for (QWidget* w : std::initializer_list<QWidget*>{
             Form2,  Form3,  Form4,  Form6,  Form9,  Form10, Form11, Form13, Form14, Form17, Form18,
             Form19, Form20, Form22, Form23, Form24, Form25, Form26, Form27, Form28, Form29})
        w->setAttribute(Qt::WA_QuitOnClose, false);
}

namespace {
template <typename T> void destroy(T*& form)
{
    delete form;
    form = nullptr;
}
} // namespace

void destroyWindows()
{
    destroy(Form29);
    destroy(Form28);
    destroy(Form27);
    destroy(Form26);
    destroy(Form25);
    destroy(Form24);
    destroy(Form23);
    destroy(Form22);
    destroy(Form20);
    destroy(Form19);
    destroy(Form18);
    destroy(Form17);
    destroy(Form14);
    destroy(Form13);
    destroy(Form11);
    destroy(Form10);
    destroy(Form9);
    destroy(Form6);
    destroy(Form4);
    destroy(Form3);
    destroy(Form2);
    destroy(Form1);
    slideViewActive = false;
    favoriteLoading = false;
    fullScreen = false;
    thumbnailsLoading = false;
    previewEntry = nullptr;
    destinationAction = 0;
}

} // namespace sq::app
