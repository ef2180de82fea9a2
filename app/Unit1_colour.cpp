// The main window's colour management switch.
#include "app/Unit1.h"
#include "app/ExtraOptions.h"
#include "state/Globals.h"

#include "engine/ColourManage.h"
#include "engine/ImgBox.h"
#include "platform/DisplayProfile.h"
#include "viewers/Unit13.h"
#include "viewers/Unit2.h"

#include <cstdio>
#include <cstring>

void TForm1::applyColourOption(bool on)
{
    // Read when switched on, so a profile the colour manager set since is
    // taken.
    sq::ColourSetting::program().set(on, on ? sq::platform::displayIccProfile() : QByteArray());
}

void TForm1::ColourManage1Click()
{
    const bool on = !isChecked(QStringLiteral("ColourManage1"));
    setChecked(QStringLiteral("ColourManage1"), on);
    applyColourOption(on);
    sq::app::ExtraOptions options = sq::app::readExtraOptions(extraOptionsFileName());
    options.colourManagement = on;
    if (const int error = sq::app::writeExtraOptions(extraOptionsFileName(), options))
        std::fprintf(stderr, "sorrelquint: %s: %s\n",
                     extraOptionsFileName().toLocal8Bit().constData(), std::strerror(error));
    // Every picture on show is made again in the new colours: the cache
    // keeps entries of profiled pictures apart by the colour state.
    ImgPanel1->ReloadAll();
    if (!ImgBox1->ImageFile().isEmpty()) ImgBox1->LoadFile(ImgBox1->ImageFile());
    if (Form2 && Form2->isVisible()) Form2->Refresh1Click();
    if (Form13 && Form13->isVisible()) Form13->ShownFileChanged(Form13->ShownFile());
}
