// The file list view's menu bar and its context menu, both built from one
// table of {menu, component name, caption, radio group, check mark,
// handler}; the context menu repeats the bar's menus, and a check mark is
// always set in both.
#include "viewers/Unit13.h"

#include <QMenu>
#include <QMenuBar>

namespace {
using F = TForm13;
} // namespace

// Order is the menus' order; a row that later rows name as their parent is
// a submenu.
static const TForm13::MenuDef kMenus[] = {
    {"", "File1", "ファイル"},
    {"File1", "CopyTo1", "フォルダへコピー", nullptr, false, false, nullptr, 0, &F::CopyTo1Click},
    {"File1", "Clipboard1", "クリップボードへ", nullptr, false, false, nullptr, 0,
     &F::Clipboard1Click},
    {"File1", "Save1", "保存", nullptr, false, false, nullptr, 0, &F::Save1Click},
    {"File1", "LoupeSave1", "ルーペ画面を保存", nullptr, false, false, nullptr, 0,
     &F::LoupeSave1Click},
    {"File1", "-", nullptr},
    {"File1", "Close1", "閉じる", nullptr, false, false, nullptr, 0, &F::Close1Click},

    {"", "N1", "スライド"},
    {"N1", "Next1", "次へ", nullptr, false, false, nullptr, 0, &F::Next1Click},
    {"N1", "Prior1", "前へ", nullptr, false, false, nullptr, 0, &F::Prior1Click},
    {"N1", "Play1", "再生", nullptr, false, false, nullptr, 0, &F::Play1Click},
    {"N1", "Stop1", "停止", nullptr, false, false, nullptr, 0, &F::Stop1Click},
    {"N1", "-", nullptr},
    {"N1", "SlideSpeed1", "スライド速度"},
    {"SlideSpeed1", "SlideSpeed11", "1", "speed", false, false, &F::SpeedCommand, 0},
    {"SlideSpeed1", "SlideSpeed12", "2", "speed", false, false, &F::SpeedCommand, 1},
    {"SlideSpeed1", "SlideSpeed13", "3", "speed", false, false, &F::SpeedCommand, 2},
    {"SlideSpeed1", "SlideSpeed14", "4", "speed", false, false, &F::SpeedCommand, 3},
    {"SlideSpeed1", "SlideSpeed15", "5", "speed", false, true, &F::SpeedCommand, 4},
    {"SlideSpeed1", "SlideSpeed16", "6", "speed", false, false, &F::SpeedCommand, 5},
    {"SlideSpeed1", "SlideSpeed17", "7", "speed", false, false, &F::SpeedCommand, 6},
    {"SlideSpeed1", "SlideSpeed18", "8", "speed", false, false, &F::SpeedCommand, 7},
    {"SlideSpeed1", "SlideSpeed19", "9", "speed", false, false, &F::SpeedCommand, 8},
    {"SlideSpeed1", "SlideSpeed20", "10", "speed", false, false, &F::SpeedCommand, 9},

    {"", "Show1", "表示"},
    {"Show1", "N3", "そのまま", "size", false, false, &F::SizeModeCommand, 0},
    {"Show1", "N4", "画像をウインドウに合わせる", "size", false, true, &F::SizeModeCommand, 1},
    {"Show1", "N5", "大きい画像だけウインドウに合わせる", "size", false, false, &F::SizeModeCommand,
     2},
    {"Show1", "N6", "縦横比を保持しない", "size", false, false, &F::SizeModeCommand, 3},

    {"", "ool1", "ツール"},
    {"ool1", "Loupe1", "ルーペ表示", nullptr, false, false, nullptr, 0, &F::Loupe1Click},
    {"ool1", "LoupeHide1", "ルーペ非表示", nullptr, false, false, nullptr, 0, &F::LoupeHide1Click},
    {"ool1", "LoupeBar1", "ルーペバー", nullptr, false, false, nullptr, 0, &F::LoupeBar1Click},

    {"", "N2", "ウインドウ"},
    {"N2", "WindowSize1", "ウインドウサイズ"},
    {"WindowSize1", "WindowSize50", "50%", nullptr, false, false, &F::WindowSizeCommand, 50},
    {"WindowSize1", "WindowSize60", "60%", nullptr, false, false, &F::WindowSizeCommand, 60},
    {"WindowSize1", "WindowSize70", "70%", nullptr, false, false, &F::WindowSizeCommand, 70},
    {"WindowSize1", "WindowSize80", "80%", nullptr, false, false, &F::WindowSizeCommand, 80},
    {"WindowSize1", "WindowSize90", "90%", nullptr, false, false, &F::WindowSizeCommand, 90},
    {"WindowSize1", "WindowSize100", "100%", nullptr, false, false, &F::WindowSizeCommand, 100},
};

void TForm13::buildMenus()
{
    menuBar()->setObjectName(QStringLiteral("MainMenu1"));
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    m_barMenus.build(this, menuBar(), kMenus);
    m_popupMenus.build(this, PopupMenu1, kMenus);
}

QAction* TForm13::menuItem(const QString& name, bool popup) const
{
    return (popup ? m_popupMenus : m_barMenus).item(name);
}

QMenu* TForm13::menu(const QString& name) const
{
    return m_barMenus.menu(name);
}

bool TForm13::isChecked(const QString& name) const
{
    return m_barMenus.isChecked(name);
}

void TForm13::checkItemOf(void (TForm13::*command)(int), int arg)
{
    m_barMenus.checkItemsOf(kMenus, command, arg);
    m_popupMenus.checkItemsOf(kMenus, command, arg);
}
