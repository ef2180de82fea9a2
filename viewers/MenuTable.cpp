#include "viewers/MenuTable.h"

#include <QMenuBar>

void TMenuTable::addPopup(QMenu* popup)
{
    m_menus.insert(popup->objectName(), popup);
}

void TMenuTable::registerMenu(QMenu* menu, const QString& name)
{
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    m_menus.insert(name, menu);
    m_items.insert(name, menu->menuAction());
}

QMenu* TMenuTable::place(const char* parent, const char* name, const char* caption)
{
    const QString parentName = QString::fromLatin1(parent);
    const QString itemName = QString::fromLatin1(name);
    if (parentName.isEmpty()) {
        const QString text = QString::fromUtf8(caption);
        registerMenu(m_bar ? m_bar->addMenu(text) : m_top->addMenu(text), itemName);
        return nullptr;
    }
    QMenu* owner = m_menus.value(parentName);
    Q_ASSERT(owner);
    if (itemName == QLatin1String("-")) {
        owner->addSeparator();
        return nullptr;
    }
    if (m_parents.contains(itemName)) {
        registerMenu(owner->addMenu(QString::fromUtf8(caption)), itemName);
        return nullptr;
    }
    return owner;
}

QAction* TMenuTable::addAction(QMenu* menu, const char* name, const char* caption,
                               const char* group, bool checkable, bool checked)
{
    auto* action = menu->addAction(QString::fromUtf8(caption));
    const QString itemName = QString::fromLatin1(name);
    action->setObjectName(itemName);
    if (!itemName.isEmpty()) m_items.insert(itemName, action);
    if (checkable) {
        action->setCheckable(true);
        action->setChecked(checked);
    }
    if (group) m_groupOf.insert(itemName, QString::fromLatin1(group));
    return action;
}

void TMenuTable::setChecked(const QString& name, bool checked)
{
    if (QAction* a = m_items.value(name)) a->setChecked(checked);
}

bool TMenuTable::isChecked(const QString& name) const
{
    const QAction* a = m_items.value(name);
    return a && a->isChecked();
}

void TMenuTable::checkItem(const QString& name)
{
    const QString group = m_groupOf.value(name);
    if (!group.isEmpty())
        for (auto it = m_groupOf.cbegin(); it != m_groupOf.cend(); ++it)
            if (it.value() == group) setChecked(it.key(), false);
    setChecked(name, true);
}
