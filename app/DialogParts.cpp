#include "app/DialogParts.h"

#include "platform/NativePath.h"
#include "platform/ShortenPath.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace sq::app {

QString messageTitle()
{
    return QStringLiteral("Sorrelquint");
}

QLabel* makePathLabel(QWidget* parent, const char* name)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setMinimumWidth(1);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    return label;
}

void setShortPath(QLabel* label, const QString& path)
{
    const QString shown = platform::displayText(path);
    label->setText(platform::shortenPath(shown, std::max(1, label->width()), label->fontMetrics()));
    label->setToolTip(shown);
}

QHBoxLayout* buttonRow(std::initializer_list<QPushButton*> buttons)
{
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    for (QPushButton* b : buttons)
        row->addWidget(b);
    return row;
}

void message(QWidget* parent, const QString& text)
{
    QMessageBox::warning(parent, messageTitle(), text);
}

void failureMessage(QWidget* parent)
{
    message(parent, QStringLiteral("処理は失敗しました"));
}

bool confirm(QWidget* parent, const QString& text)
{
    return QMessageBox::question(parent, messageTitle(), text,
                                 QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Cancel) == QMessageBox::Ok;
}

} // namespace sq::app
