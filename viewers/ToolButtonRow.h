// A row of checkable tool buttons of which one is checked at a time (the
// slide controls of the slide view and of the file list view), built from a
// table of {field, component name, caption, handler}. GUI thread only.
#pragma once

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QToolButton>

#include <cstddef>

template <class Form>
struct ToolButtonDef
{
    QToolButton** field;
    const char* name;
    const char* caption;
    void (Form::*click)();
};

template <class Form, std::size_t N>
void addToolButtons(Form* form, QWidget* bar, QHBoxLayout* layout, QButtonGroup* group,
                    const ToolButtonDef<Form> (&defs)[N], bool autoRaise = false)
{
    for (const ToolButtonDef<Form>& b : defs) {
        auto* button = new QToolButton(bar);
        button->setObjectName(QString::fromLatin1(b.name));
        button->setText(QString::fromUtf8(b.caption));
        button->setToolTip(button->text());
        button->setCheckable(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoRaise(autoRaise);
        group->addButton(button);
        layout->addWidget(button);
        const auto click = b.click;
        QObject::connect(button, &QToolButton::clicked, form, [form, click] { (form->*click)(); });
        *b.field = button;
    }
}
