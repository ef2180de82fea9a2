#include "viewers/Unit29.h"

#include "viewers/DialogButtons.h"
#include "viewers/WindowPlacement.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TForm29::TForm29(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form29"));
    setWindowTitle(QString());
    auto* outer = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    for (QLineEdit* e : {Edit1, Edit2}) {
        e->setMaxLength(4);
        e->setValidator(new QIntValidator(0, 9999, e));
    }
    form->addRow(QStringLiteral("幅"), Edit1);
    form->addRow(QStringLiteral("高さ"), Edit2);
    outer->addLayout(form);
    auto* buttons = new QHBoxLayout;
    std::tie(Button1, Button2) = makeOkCancel(this);
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    outer->addLayout(buttons);
    connect(Button1, &QPushButton::clicked, this, &TForm29::Button1Click);
}

void TForm29::openFor(int k, std::function<void(int, int)> onOK)
{
    m_screen = k;
    m_onOK = std::move(onOK);
    setWindowTitle(QStringLiteral("画面%1 サイズ調整").arg(k));
    presentWindow(this);
}

void TForm29::Button1Click()
{
    bool okW = false, okH = false;
    const int w = Edit1->text().toInt(&okW);
    const int h = Edit2->text().toInt(&okH);
    // Both fields must hold numbers; an empty one keeps the dialog open.
    if (!okW || !okH) return;
    hide();
    if (m_onOK) m_onOK(w, h);
}
