#include "viewers/DialogButtons.h"

#include <QDialog>
#include <QPushButton>

std::pair<QPushButton*, QPushButton*> makeOkCancel(QDialog* dialog, bool hideOnCancel)
{
    auto* ok = new QPushButton(QStringLiteral("OK"), dialog);
    ok->setObjectName(QStringLiteral("Button1"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), dialog);
    cancel->setObjectName(QStringLiteral("Button2"));
    if (hideOnCancel) QObject::connect(cancel, &QPushButton::clicked, dialog, &QWidget::hide);
    return {ok, cancel};
}
