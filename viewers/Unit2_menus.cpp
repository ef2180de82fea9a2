// The slide view's menu bar, built from one table of {menu, component name,
// caption, radio group, check mark, handler}.
#include "viewers/Unit2.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSet>

struct TForm2::MenuDef
{
    const char* parent;          // component name of the menu that holds it; "" = menu bar
    const char* name;            // component name; "-" = separator
    const char* caption;         // nullptr for separators
    const char* group = nullptr; // radio group: checking one clears the others
    bool toggle = false;         // a check item whose handler decides the mark
    bool checked = false;        // the window definition's check mark
    void (TForm2::*command)(int) = nullptr;
    int arg = 0;
    void (TForm2::*click)() = nullptr;
};

namespace {
using F = TForm2;
} // namespace

// Order is the menus' order; a row without a handler is a submenu.
static const TForm2::MenuDef kMenus[] = {
    {"", "File2", "ファイル"},
    {"File2", "CopyTo1", "フォルダへコピー"},
    {"CopyTo1", "CopyTo11", "画面1", nullptr, false, false, &F::CopyToCommand, 1},
    {"CopyTo1", "CopyTo12", "画面2", nullptr, false, false, &F::CopyToCommand, 2},
    {"CopyTo1", "CopyTo13", "画面3", nullptr, false, false, &F::CopyToCommand, 3},
    {"CopyTo1", "CopyTo14", "画面4", nullptr, false, false, &F::CopyToCommand, 4},
    {"CopyTo1", "CopyTo15", "すべて", nullptr, false, false, &F::CopyToCommand, 5},
    {"File2", "Clipboard1", "クリップボードへ"},
    {"Clipboard1", "Clipboard11", "画面1", nullptr, false, false, &F::ClipboardCommand, 1},
    {"Clipboard1", "Clipboard12", "画面2", nullptr, false, false, &F::ClipboardCommand, 2},
    {"Clipboard1", "Clipboard13", "画面3", nullptr, false, false, &F::ClipboardCommand, 3},
    {"Clipboard1", "Clipboard14", "画面4", nullptr, false, false, &F::ClipboardCommand, 4},
    {"File2", "Save1", "保存"},
    {"Save1", "Save11", "画面1", nullptr, false, false, &F::SavePictureCommand, 1},
    {"Save1", "Save12", "画面2", nullptr, false, false, &F::SavePictureCommand, 2},
    {"Save1", "Save13", "画面3", nullptr, false, false, &F::SavePictureCommand, 3},
    {"Save1", "Save14", "画面4", nullptr, false, false, &F::SavePictureCommand, 4},
    {"Save1", "Save15", "すべて", nullptr, false, false, nullptr, 0, &F::SaveAllClick},
    {"File2", "Join1", "連結して保存", nullptr, false, false, nullptr, 0, &F::Join1Click},
    {"File2", "-", nullptr},
    {"File2", "Capture1", "画面をクリップボードへ"},
    {"Capture1", "Capture11", "画面1", nullptr, false, false, &F::CaptureCommand, 1},
    {"Capture1", "Capture12", "画面2", nullptr, false, false, &F::CaptureCommand, 2},
    {"Capture1", "Capture13", "画面3", nullptr, false, false, &F::CaptureCommand, 3},
    {"Capture1", "Capture14", "画面4", nullptr, false, false, &F::CaptureCommand, 4},
    {"Capture1", "Capture15", "全体", nullptr, false, false, &F::CaptureCommand, 5},
    {"File2", "CaptureSave1", "画面を保存"},
    {"CaptureSave1", "CaptureSave11", "画面1", nullptr, false, false, &F::CaptureSaveCommand, 1},
    {"CaptureSave1", "CaptureSave12", "画面2", nullptr, false, false, &F::CaptureSaveCommand, 2},
    {"CaptureSave1", "CaptureSave13", "画面3", nullptr, false, false, &F::CaptureSaveCommand, 3},
    {"CaptureSave1", "CaptureSave14", "画面4", nullptr, false, false, &F::CaptureSaveCommand, 4},
    {"CaptureSave1", "CaptureSave15", "全体", nullptr, false, false, &F::CaptureSaveCommand, 5},
    {"File2", "LoupeSave1", "ルーペ画面を保存", nullptr, false, false, nullptr, 0,
     &F::LoupeSave1Click},
    {"File2", "-", nullptr},
    {"File2", "Close1", "閉じる", nullptr, false, false, nullptr, 0, &F::Close1Click},

    {"", "Slide1", "スライド"},
    {"Slide1", "Next1", "次へ", nullptr, false, false, nullptr, 0, &F::Next1Click},
    {"Slide1", "Prior1", "前へ", nullptr, false, false, nullptr, 0, &F::Prior1Click},
    {"Slide1", "Random1", "ランダム", nullptr, false, false, nullptr, 0, &F::Random1Click},
    {"Slide1", "-", nullptr},
    {"Slide1", "FastForward1", "早送り", nullptr, false, false, nullptr, 0, &F::FastForward1Click},
    {"Slide1", "Rewind1", "巻き戻し", nullptr, false, false, nullptr, 0, &F::Rewind1Click},
    {"Slide1", "Play1", "再生", nullptr, false, false, nullptr, 0, &F::Play1Click},
    {"Slide1", "ReversePlay1", "リバース再生", nullptr, false, false, nullptr, 0,
     &F::ReversePlay1Click},
    {"Slide1", "RandomPlay1", "ランダム再生", nullptr, false, false, nullptr, 0,
     &F::RandomPlay1Click},
    {"Slide1", "Stop1", "停止", nullptr, false, false, nullptr, 0, &F::Stop1Click},
    {"Slide1", "-", nullptr},
    {"Slide1", "SlideSpeed1", "スライド速度"},
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
    {"Slide1", "FastSpeed1", "早送り/巻き戻し速度"},
    {"FastSpeed1", "FastSpeed11", "0.1", "fast", false, false, &F::FastSpeedCommand, 0},
    {"FastSpeed1", "FastSpeed12", "0.2", "fast", false, true, &F::FastSpeedCommand, 1},
    {"FastSpeed1", "FastSpeed13", "0.3", "fast", false, false, &F::FastSpeedCommand, 2},
    {"FastSpeed1", "FastSpeed14", "0.4", "fast", false, false, &F::FastSpeedCommand, 3},
    {"FastSpeed1", "FastSpeed15", "0.5", "fast", false, false, &F::FastSpeedCommand, 4},
    {"FastSpeed1", "FastSpeed16", "0.6", "fast", false, false, &F::FastSpeedCommand, 5},
    {"FastSpeed1", "FastSpeed17", "0.7", "fast", false, false, &F::FastSpeedCommand, 6},
    {"FastSpeed1", "FastSpeed18", "0.8", "fast", false, false, &F::FastSpeedCommand, 7},
    {"FastSpeed1", "FastSpeed19", "0.9", "fast", false, false, &F::FastSpeedCommand, 8},
    {"FastSpeed1", "FastSpeed20", "1.0", "fast", false, false, &F::FastSpeedCommand, 9},
    {"Slide1", "N16", "画像をクリックでスライド"},
    {"N16", "N17", "1画像ごとに", "click", false, true, &F::ClickModeCommand, 0},
    {"N16", "N18", "すべての画像", "click", false, false, &F::ClickModeCommand, 1},
    {"N16", "N43", "スライドしない", "click", false, false, &F::ClickModeCommand, 2},
    {"N16", "N58", "ダブルクリックで大きく表示", "click", false, false, &F::ClickModeCommand, 3},
    {"Slide1", "N111", "1画像送りにする", nullptr, true, false, nullptr, 0, &F::N111Click},

    {"", "Show1", "表示"},
    {"Show1", "N2", "すべて同じ画像にする"},
    {"N2", "Same1", "画面1", nullptr, false, false, &F::AllTheSameCommand, 1},
    {"N2", "Same2", "画面2", nullptr, false, false, &F::AllTheSameCommand, 2},
    {"N2", "Same3", "画面3", nullptr, false, false, &F::AllTheSameCommand, 3},
    {"N2", "Same4", "画面4", nullptr, false, false, &F::AllTheSameCommand, 4},
    {"Show1", "Arrange1", "画像を順番に並べる", nullptr, false, false, nullptr, 0,
     &F::Arrange1Click},
    {"Show1", "-", nullptr},
    {"Show1", "N3", "そのまま", "size", false, false, &F::SizeModeCommand, 0},
    {"Show1", "N4", "画像をウインドウに合わせる", "size", false, true, &F::SizeModeCommand, 1},
    {"Show1", "N50", "大きい画像だけウインドウに合わせる", "size", false, false,
     &F::SizeModeCommand, 2},
    {"Show1", "N1", "縦横比を保持しない", "size", false, false, &F::SizeModeCommand, 3},
    {"Show1", "-", nullptr},
    {"Show1", "N33", "ツールバー", nullptr, true, true, nullptr, 0, &F::N33Click},
    {"Show1", "Refresh1", "更新", nullptr, false, false, nullptr, 0, &F::Refresh1Click},

    {"", "Tool1", "ツール"},
    {"Tool1", "FileList1", "ファイルリスト", nullptr, false, false, nullptr, 0, &F::FileList1Click},
    {"Tool1", "-", nullptr},
    {"Tool1", "Loupe1", "ルーペ表示", nullptr, false, false, nullptr, 0, &F::Loupe1Click},
    {"Tool1", "LoupeHide1", "ルーペ非表示", nullptr, false, false, nullptr, 0, &F::LoupeHide1Click},
    {"Tool1", "LoupeBar1", "ルーペバー", nullptr, false, false, nullptr, 0, &F::LoupeBar1Click},

    {"", "Window1", "ウインドウ"},
    {"Window1", "N11", "1面", "layout", false, true, &F::LayoutCommand, 0},
    {"Window1", "N21", "2面", "layout", false, false, &F::LayoutCommand, 1},
    {"Window1", "N41", "4面", "layout", false, false, &F::LayoutCommand, 2},
    {"Window1", "-", nullptr},
    {"Window1", "Enlarge1", "大きく表示する面"},
    {"Enlarge1", "Enlarge11", "画面1", nullptr, false, false, &F::EnlargeCommand, 1},
    {"Enlarge1", "Enlarge12", "画面2", nullptr, false, false, &F::EnlargeCommand, 2},
    {"Enlarge1", "Enlarge13", "画面3", nullptr, false, false, &F::EnlargeCommand, 3},
    {"Enlarge1", "Enlarge14", "画面4", nullptr, false, false, &F::EnlargeCommand, 4},
    {"Enlarge1", "Enlarge10", "なし", nullptr, false, false, &F::EnlargeCommand, 0},
    {"Window1", "WindowSize1", "ウインドウサイズ"},
    {"WindowSize1", "WindowSize50", "50%", nullptr, false, false, &F::WindowSizeCommand, 50},
    {"WindowSize1", "WindowSize60", "60%", nullptr, false, false, &F::WindowSizeCommand, 60},
    {"WindowSize1", "WindowSize70", "70%", nullptr, false, false, &F::WindowSizeCommand, 70},
    {"WindowSize1", "WindowSize80", "80%", nullptr, false, false, &F::WindowSizeCommand, 80},
    {"WindowSize1", "WindowSize90", "90%", nullptr, false, false, &F::WindowSizeCommand, 90},
    {"WindowSize1", "WindowSize100", "100%", nullptr, false, false, &F::WindowSizeCommand, 100},
    {"Window1", "-", nullptr},
    {"Window1", "N28", "メインウインドウ呼び出し", nullptr, false, false, nullptr, 0, &F::N28Click},

    // "お気に入り": hidden by the main window when it is shown.
    {"", "File1", "お気に入り"},
    {"File1", "Adjust1", "サイズ調整"},
    {"Adjust1", "Adjust11", "画面1", nullptr, false, false, &F::SizeAdjustCommand, 1},
    {"Adjust1", "Adjust12", "画面2", nullptr, false, false, &F::SizeAdjustCommand, 2},
    {"Adjust1", "Adjust13", "画面3", nullptr, false, false, &F::SizeAdjustCommand, 3},
    {"Adjust1", "Adjust14", "画面4", nullptr, false, false, &F::SizeAdjustCommand, 4},
    {"File1", "Switch1", "切り替える", nullptr, false, false, nullptr, 0, &F::Switch1Click},
    {"File1", "SwitchSpeed1", "切り替え速度"},
    {"SwitchSpeed1", "SwitchSpeed11", "1", "switch", false, false, &F::SwitchSpeedCommand, 1},
    {"SwitchSpeed1", "SwitchSpeed12", "2", "switch", false, false, &F::SwitchSpeedCommand, 2},
    {"SwitchSpeed1", "SwitchSpeed13", "3", "switch", false, false, &F::SwitchSpeedCommand, 3},
    {"SwitchSpeed1", "SwitchSpeed14", "4", "switch", false, false, &F::SwitchSpeedCommand, 4},
    {"SwitchSpeed1", "SwitchSpeed15", "5", "switch", false, true, &F::SwitchSpeedCommand, 5},
    {"SwitchSpeed1", "SwitchSpeed16", "6", "switch", false, false, &F::SwitchSpeedCommand, 6},
    {"SwitchSpeed1", "SwitchSpeed17", "7", "switch", false, false, &F::SwitchSpeedCommand, 7},
    {"SwitchSpeed1", "SwitchSpeed18", "8", "switch", false, false, &F::SwitchSpeedCommand, 8},
    {"SwitchSpeed1", "SwitchSpeed19", "9", "switch", false, false, &F::SwitchSpeedCommand, 9},
    {"SwitchSpeed1", "SwitchSpeed20", "10", "switch", false, false, &F::SwitchSpeedCommand, 10},
    {"File1", "-", nullptr},
    {"File1", "FavFolder1", "フォルダ指定", nullptr, false, false, nullptr, 0, &F::FavFolder1Click},
    {"File1", "FavOpen1", "開く", nullptr, false, false, nullptr, 0, &F::FavOpen1Click},
    {"File1", "FavSave1", "保存", nullptr, false, false, nullptr, 0, &F::FavSave1Click},
    {"File1", "FavNext1", "次へ", nullptr, false, false, nullptr, 0, &F::FavNext1Click},
    {"File1", "FavPrior1", "前へ", nullptr, false, false, nullptr, 0, &F::FavPrior1Click},
};

void TForm2::buildMenus()
{
    menuBar()->setObjectName(QStringLiteral("MainMenu1"));
    // A name that later rows use as their parent is a submenu.
    QSet<QString> parents;
    for (const MenuDef& def : kMenus)
        parents.insert(QString::fromLatin1(def.parent));

    for (const MenuDef& def : kMenus) {
        const QString parent = QString::fromLatin1(def.parent);
        const QString name = QString::fromLatin1(def.name);
        if (parent.isEmpty() || parents.contains(name)) {
            QMenu* owner = parent.isEmpty() ? nullptr : m_menus.value(parent);
            QMenu* menu = owner ? owner->addMenu(QString::fromUtf8(def.caption))
                                : menuBar()->addMenu(QString::fromUtf8(def.caption));
            menu->setObjectName(name);
            menu->menuAction()->setObjectName(name);
            m_menus.insert(name, menu);
            m_items.insert(name, menu->menuAction());
            continue;
        }
        QMenu* owner = m_menus.value(parent);
        Q_ASSERT(owner);
        if (name == QLatin1String("-")) {
            owner->addSeparator();
            continue;
        }
        addItem(owner, def);
    }
}

QAction* TForm2::addItem(QMenu* menu, const MenuDef& def)
{
    auto* action = menu->addAction(QString::fromUtf8(def.caption));
    const QString name = QString::fromLatin1(def.name);
    action->setObjectName(name);
    m_items.insert(name, action);
    if (def.group || def.toggle) {
        action->setCheckable(true);
        action->setChecked(def.checked);
    }
    if (def.group) m_groupOf.insert(name, QString::fromLatin1(def.group));
    const auto command = def.command;
    const int arg = def.arg;
    const auto click = def.click;
    connect(action, &QAction::triggered, this, [this, action, command, arg, click] {
        // The handlers set the check marks themselves, as they do when the
        // settings are applied at creation; undo Qt's own toggle first.
        if (action->isCheckable()) action->setChecked(!action->isChecked());
        if (command)
            (this->*command)(arg);
        else if (click)
            (this->*click)();
    });
    return action;
}

void TForm2::setChecked(const QString& name, bool checked)
{
    if (QAction* a = m_items.value(name)) a->setChecked(checked);
}

bool TForm2::isChecked(const QString& name) const
{
    const QAction* a = m_items.value(name);
    return a && a->isChecked();
}

void TForm2::checkItem(const QString& name)
{
    const QString group = m_groupOf.value(name);
    if (!group.isEmpty())
        for (auto it = m_groupOf.cbegin(); it != m_groupOf.cend(); ++it)
            if (it.value() == group) setChecked(it.key(), false);
    setChecked(name, true);
}

void TForm2::checkItemOf(void (TForm2::*command)(int), int arg)
{
    for (const MenuDef& def : kMenus)
        if (def.command == command && def.arg == arg && def.group)
            checkItem(QString::fromLatin1(def.name));
}
