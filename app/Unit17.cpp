#include "app/Unit17.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TForm17::TForm17(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form17"));
    setWindowTitle(QStringLiteral("ファイル名で選択"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("ファイル名に含まれている文字列"), this));
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    layout->addWidget(Edit1);
    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Button1"));
    ok->setDefault(true);
    // "キャンセル" carries no action: the dialog closes with its close box.
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cancel->setObjectName(QStringLiteral("Button2"));
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &TForm17::Button1Click);
}

void TForm17::Button1Click()
{
    if (onFind)
        onFind(Edit1->text());
    hide();
}
