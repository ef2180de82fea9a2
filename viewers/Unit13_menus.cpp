// The file list view's menu bar and its context menu, both built from one
// table of {menu, component name, caption, radio group, check mark,
// handler}; the context menu repeats the bar's menus, and a check mark is
// always set in both.
#include "viewers/Unit13.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSet>

struct TForm13::MenuDef
{
    const char* parent;          // component name of the menu that holds it; "" = menu bar
    const char* name;            // component name; "-" = separator
    const char* caption;         // nullptr for separators
    const char* group = nullptr; // radio group: checking one clears the others
    bool checked = false;        // the window definition's check mark
    void (TForm13::*command)(int) = nullptr;
    int arg = 0;
    void (TForm13::*click)() = nullptr;
};

namespace {
using F = TForm13;
} // namespace

// Order is the menus' order; a row that later rows name as their parent is
// a submenu.
static const TForm13::MenuDef kMenus[] = {
    {"", "File1", "ファイル"},
    {"File1", "CopyTo1", "フォルダへコピー", nullptr, false, nullptr, 0, &F::CopyTo1Click},
    {"File1", "Clipboard1", "クリップボードへ", nullptr, false, nullptr, 0, &F::Clipboard1Click},
    {"File1", "Save1", "保存", nullptr, false, nullptr, 0, &F::Save1Click},
    {"File1", "LoupeSave1", "ルーペ画面を保存", nullptr, false, nullptr, 0, &F::LoupeSave1Click},
    {"File1", "-", nullptr},
    {"File1", "Close1", "閉じる", nullptr, false, nullptr, 0, &F::Close1Click},

    {"", "N1", "スライド"},
    {"N1", "Next1", "次へ", nullptr, false, nullptr, 0, &F::Next1Click},
    {"N1", "Prior1", "前へ", nullptr, false, nullptr, 0, &F::Prior1Click},
    {"N1", "Play1", "再生", nullptr, false, nullptr, 0, &F::Play1Click},
    {"N1", "Stop1", "停止", nullptr, false, nullptr, 0, &F::Stop1Click},
    {"N1", "-", nullptr},
    {"N1", "SlideSpeed1", "スライド速度"},
    {"SlideSpeed1", "SlideSpeed11", "1", "speed", false, &F::SpeedCommand, 0},
    {"SlideSpeed1", "SlideSpeed12", "2", "speed", false, &F::SpeedCommand, 1},
    {"SlideSpeed1", "SlideSpeed13", "3", "speed", false, &F::SpeedCommand, 2},
    {"SlideSpeed1", "SlideSpeed14", "4", "speed", false, &F::SpeedCommand, 3},
    {"SlideSpeed1", "SlideSpeed15", "5", "speed", true, &F::SpeedCommand, 4},
    {"SlideSpeed1", "SlideSpeed16", "6", "speed", false, &F::SpeedCommand, 5},
    {"SlideSpeed1", "SlideSpeed17", "7", "speed", false, &F::SpeedCommand, 6},
    {"SlideSpeed1", "SlideSpeed18", "8", "speed", false, &F::SpeedCommand, 7},
    {"SlideSpeed1", "SlideSpeed19", "9", "speed", false, &F::SpeedCommand, 8},
    {"SlideSpeed1", "SlideSpeed20", "10", "speed", false, &F::SpeedCommand, 9},

    {"", "Show1", "表示"},
    {"Show1", "N3", "そのまま", "size", false, &F::SizeModeCommand, 0},
    {"Show1", "N4", "画像をウインドウに合わせる", "size", true, &F::SizeModeCommand, 1},
    {"Show1", "N5", "大きい画像だけウインドウに合わせる", "size", false, &F::SizeModeCommand, 2},
    {"Show1", "N6", "縦横比を保持しない", "size", false, &F::SizeModeCommand, 3},

    {"", "ool1", "ツール"},
    {"ool1", "Loupe1", "ルーペ表示", nullptr, false, nullptr, 0, &F::Loupe1Click},
    {"ool1", "LoupeHide1", "ルーペ非表示", nullptr, false, nullptr, 0, &F::LoupeHide1Click},
    {"ool1", "LoupeBar1", "ルーペバー", nullptr, false, nullptr, 0, &F::LoupeBar1Click},

    {"", "N2", "ウインドウ"},
    {"N2", "WindowSize1", "ウインドウサイズ"},
    {"WindowSize1", "WindowSize50", "50%", nullptr, false, &F::WindowSizeCommand, 50},
    {"WindowSize1", "WindowSize60", "60%", nullptr, false, &F::WindowSizeCommand, 60},
    {"WindowSize1", "WindowSize70", "70%", nullptr, false, &F::WindowSizeCommand, 70},
    {"WindowSize1", "WindowSize80", "80%", nullptr, false, &F::WindowSizeCommand, 80},
    {"WindowSize1", "WindowSize90", "90%", nullptr, false, &F::WindowSizeCommand, 90},
    {"WindowSize1", "WindowSize100", "100%", nullptr, false, &F::WindowSizeCommand, 100},
};

void TForm13::buildMenus()
{
    menuBar()->setObjectName(QStringLiteral("MainMenu1"));
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    QSet<QString> parents;
    for (const MenuDef& def : kMenus)
        parents.insert(QString::fromLatin1(def.parent));

    QHash<QString, QMenu*> popupMenus;
    for (const MenuDef& def : kMenus) {
        const QString parent = QString::fromLatin1(def.parent);
        const QString name = QString::fromLatin1(def.name);
        QMenu* bar = parent.isEmpty() ? nullptr : m_menus.value(parent);
        QMenu* popup = parent.isEmpty() ? PopupMenu1 : popupMenus.value(parent);
        if (parent.isEmpty() || parents.contains(name)) {
            const QString caption = QString::fromUtf8(def.caption);
            QMenu* menu = bar ? bar->addMenu(caption) : menuBar()->addMenu(caption);
            QMenu* copy = popup->addMenu(caption);
            for (QMenu* m : {menu, copy}) {
                m->setObjectName(name);
                m->menuAction()->setObjectName(name);
            }
            m_menus.insert(name, menu);
            popupMenus.insert(name, copy);
            m_items.insert(name, menu->menuAction());
            m_popupItems.insert(name, copy->menuAction());
            continue;
        }
        Q_ASSERT(bar && popup);
        if (name == QLatin1String("-")) {
            bar->addSeparator();
            popup->addSeparator();
            continue;
        }
        addItems(def, bar, popup);
    }
}

void TForm13::addItems(const MenuDef& def, QMenu* bar, QMenu* popup)
{
    const QString name = QString::fromLatin1(def.name);
    if (def.group) m_groupOf.insert(name, QString::fromLatin1(def.group));
    const auto command = def.command;
    const int arg = def.arg;
    const auto click = def.click;
    for (QMenu* owner : {bar, popup}) {
        auto* action = owner->addAction(QString::fromUtf8(def.caption));
        action->setObjectName(name);
        (owner == bar ? m_items : m_popupItems).insert(name, action);
        if (def.group) {
            action->setCheckable(true);
            action->setChecked(def.checked);
        }
        connect(action, &QAction::triggered, this, [this, action, command, arg, click] {
            // The handlers set the check marks in both menus; undo Qt's own
            // toggle of this one first.
            if (action->isCheckable()) action->setChecked(!action->isChecked());
            if (command)
                (this->*command)(arg);
            else if (click)
                (this->*click)();
        });
    }
}

QAction* TForm13::menuItem(const QString& name, bool popup) const
{
    return (popup ? m_popupItems : m_items).value(name);
}

void TForm13::setChecked(const QString& name, bool checked)
{
    for (const auto* items : {&m_items, &m_popupItems})
        if (QAction* a = items->value(name)) a->setChecked(checked);
}

bool TForm13::isChecked(const QString& name) const
{
    const QAction* a = m_items.value(name);
    return a && a->isChecked();
}

void TForm13::checkItemOf(void (TForm13::*command)(int), int arg)
{
    for (const MenuDef& def : kMenus) {
        if (def.command != command || def.arg != arg || !def.group) continue;
        const QString group = QString::fromLatin1(def.group);
        for (auto it = m_groupOf.cbegin(); it != m_groupOf.cend(); ++it)
            if (it.value() == group) setChecked(it.key(), false);
        setChecked(QString::fromLatin1(def.name), true);
    }
}
