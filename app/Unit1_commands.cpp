// The main window's 表示 menu commands (sort, thumbnail size and style, kinds
// shown, preview mode, quality, window size, the panes shown) and the small
// ファイル and ヘルプ commands.
#include "app/Unit1.h"

#include "app/Unit3.h"
#include "app/Unit4.h"
#include "platform/NativePath.h"
#include "state/Globals.h"
#include "viewers/WindowPlacement.h"

#include <QAction>
#include <QSplitter>

namespace {

struct Size
{
    int width, height;
};
const Size kThumbSizes[] = {{40, 30}, {60, 45}, {80, 60}, {100, 75}, {120, 90}};

} // namespace

void TForm1::SortCommand(int code)
{
    checkItemsOf(&TForm1::SortCommand, code);
    browserSetSortType(code);
    browserRefresh();
    m_settings.setInt(1, code);
}

void TForm1::SizeCommand(int index)
{
    checkItemsOf(&TForm1::SizeCommand, index);
    browserSetImageSize(kThumbSizes[index].width, kThumbSizes[index].height);
    m_settings.setInt(3, index);
}

void TForm1::ViewStyleCommand(int index)
{
    checkItemsOf(&TForm1::ViewStyleCommand, index);
    browserSetStyle(index);
    m_settings.setInt(4, index);
}

void TForm1::ExtCommand(int index)
{
    // "BMP" and "JPEG" close the slide view, whatever is being applied.
    if (index != 2) hideSlideViewForListingChange(true);
    checkItemsOf(&TForm1::ExtCommand, index);
    browserSetExt(extensionPatterns(index));
    m_settings.setInt(52, index);
}

void TForm1::DispModeCommand(int mode)
{
    checkItemsOf(&TForm1::DispModeCommand, mode);
    previewSetMode(mode);
    showPreviewEntry();
    m_settings.setInt(27, mode);
}

void TForm1::QualityCommand(int quality)
{
    checkItemsOf(&TForm1::QualityCommand, quality);
    m_settings.setInt(54, quality);
}

void TForm1::WindowSizeCommand(int percent)
{
    // The outer frame takes the share of the screen; the position stays.
    resizeFrame(this, QSize(m_screenWidth * percent / 100, m_screenHeight * percent / 100));
}

void TForm1::N17Click()
{
    if (isChecked(QStringLiteral("N17"))) {
        setChecked(QStringLiteral("N17"), false);
        Panel3->hide();
        m_settings.setText(2, QStringLiteral("0"));
    } else {
        setChecked(QStringLiteral("N17"), true);
        Panel3->show();
        m_settings.setText(2, QStringLiteral("1"));
    }
}

void TForm1::V1Click()
{
    if (isChecked(QStringLiteral("V1"))) {
        setChecked(QStringLiteral("V1"), false);
        m_settings.setText(26, QStringLiteral("0"));
        ImgBox1->hide();
    } else {
        setChecked(QStringLiteral("V1"), true);
        m_settings.setText(26, QStringLiteral("1"));
        ImgBox1->show();
        setThumbnailPaneHeight(m_settings.readInt(51));
    }
}

void TForm1::Close1Click()
{
    close();
}

void TForm1::N2Click()
{
    if (!Form3)
        return;
    // The chosen folder is used at the next start; the tree stays where it is.
    Form3->onChosen = [this](const QString& path) {
        if (QAction* n2 = menuItem(QStringLiteral("N2")))
            n2->setText(sq::platform::displayText(path));
        m_settings.setText(0, path);
    };
    Form3->openAt(m_treeFolder);
}

void TForm1::About1Click()
{
    if (Form4)
        Form4->show();
}
