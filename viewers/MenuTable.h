// A window's menus built from one table of {menu, component name, caption,
// radio group, check mark, handler}. The rows name their parent menu by
// component name; a name that later rows use as their parent is a submenu, a
// row whose parent is "" is a menu of the menu bar, and pop-up menus made
// before the build may be parents too; built into a pop-up instead of a menu
// bar, the rows with parent "" become its submenus. Handlers set check marks themselves,
// so a checkable item's own toggle is undone before its handler runs.
#pragma once

#include <QAction>
#include <QHash>
#include <QMenu>
#include <QSet>
#include <QString>

#include <cstddef>

class QMenuBar;

template <class Form> struct MenuRow
{
    const char* parent;          // component name of the menu that holds it; "" = menu bar
    const char* name;            // component name; "-" = separator
    const char* caption;         // nullptr for separators
    const char* group = nullptr; // radio group: checking one clears the others
    bool toggle = false;         // a check item whose handler decides the mark
    bool checked = false;        // the window definition's check mark
    void (Form::*command)(int) = nullptr;
    int arg = 0;
    void (Form::*click)() = nullptr;
};

class TMenuTable
{
public:
    // A pop-up menu that rows may name as their parent.
    void addPopup(QMenu* popup);

    template <class Form, std::size_t N>
    void build(Form* form, QMenuBar* bar, const MenuRow<Form> (&rows)[N])
    {
        m_bar = bar;
        m_top = nullptr;
        buildRows(form, rows);
    }
    // The same rows, the menu bar's menus made submenus of popup.
    template <class Form, std::size_t N>
    void build(Form* form, QMenu* popup, const MenuRow<Form> (&rows)[N])
    {
        m_bar = nullptr;
        m_top = popup;
        buildRows(form, rows);
    }

    // Checks every row of the table that calls command with arg.
    template <class Form, std::size_t N>
    void checkItemsOf(const MenuRow<Form> (&rows)[N], void (Form::*command)(int), int arg)
    {
        for (const MenuRow<Form>& row : rows)
            if (row.command == command && row.arg == arg) checkItem(QString::fromLatin1(row.name));
    }

    QAction* item(const QString& name) const { return m_items.value(name); }
    QMenu* menu(const QString& name) const { return m_menus.value(name); }
    void setChecked(const QString& name, bool checked);
    bool isChecked(const QString& name) const;
    // Checks the item and clears the others of its radio group.
    void checkItem(const QString& name);

private:
    template <class Form, std::size_t N> void buildRows(Form* form, const MenuRow<Form> (&rows)[N])
    {
        for (const MenuRow<Form>& row : rows)
            m_parents.insert(QString::fromLatin1(row.parent));
        for (const MenuRow<Form>& row : rows) {
            QMenu* menu = place(row.parent, row.name, row.caption);
            if (!menu) continue;
            QAction* action = addAction(menu, row.name, row.caption, row.group,
                                        row.group || row.toggle, row.checked);
            const auto command = row.command;
            const int arg = row.arg;
            const auto click = row.click;
            QObject::connect(action, &QAction::triggered, form,
                             [form, action, command, arg, click] {
                                 if (action->isCheckable())
                                     action->setChecked(!action->isChecked());
                                 if (command)
                                     (form->*command)(arg);
                                 else if (click)
                                     (form->*click)();
                             });
        }
        m_parents.clear();
    }

    // The menu a row's item goes into; nullptr when the row is a menu or a
    // separator, which place() has made itself.
    QMenu* place(const char* parent, const char* name, const char* caption);
    QAction* addAction(QMenu* menu, const char* name, const char* caption, const char* group,
                       bool checkable, bool checked);
    void registerMenu(QMenu* menu, const QString& name);

    QHash<QString, QAction*> m_items;
    QHash<QString, QMenu*> m_menus;
    QHash<QString, QString> m_groupOf; // radio item -> its group
    QSet<QString> m_parents;           // names used as a parent during a build
    QMenuBar* m_bar = nullptr;         // where rows with parent "" go during a build,
    QMenu* m_top = nullptr;            // or into this pop-up
};
