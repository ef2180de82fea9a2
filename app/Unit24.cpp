#include "app/Unit24.h"

#include "app/DialogParts.h"
#include "platform/FileOps.h"
#include "platform/NativePath.h"
#include "viewers/DialogButtons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TForm24::TForm24(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form24"));
    setWindowTitle(QStringLiteral("名前の変更"));
    setModal(false);
    resize(360, 120);
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    std::tie(Button1, Button2) = makeOkCancel(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label2);
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(Edit1, 1);
    nameRow->addWidget(Label1);
    layout->addLayout(nameRow);
    layout->addLayout(sq::app::buttonRow({Button1, Button2}));
    connect(Button1, &QPushButton::clicked, this, &TForm24::Button1Click);
}

QString TForm24::extensionOf(const QString& path)
{
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot);
}

void TForm24::openFor(const QString& file, const QString& caption)
{
    m_file = file;
    Label2->setText(sq::platform::displayText(caption));
    Label1->setText(sq::platform::displayText(extensionOf(file)));
    show();
    raise();
}

void TForm24::Button1Click()
{
    const QString typed = Edit1->text();
    const QString name = typed + extensionOf(m_file);
    QString renamed;
    // The typed part alone must be a name too: "" or ".." with the extension
    // would make a hidden file or an odd one.
    if (!sq::platform::isValidFileName(typed) ||
        sq::platform::renameEntry(m_file, name, &renamed) != sq::platform::RenameStatus::Renamed) {
        sq::app::failureMessage(this);
        return;
    }
    hide();
    m_file = renamed;
    if (onRenamed) onRenamed(renamed, name);
}
