#include "app/Unit22.h"

#include "app/DialogParts.h"
#include "platform/FileOps.h"
#include "viewers/DialogButtons.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TForm22::TForm22(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form22"));
    setWindowTitle(QStringLiteral("名前の変更"));
    setModal(false);
    resize(360, 120);
    Label2 = sq::app::makePathLabel(this);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    std::tie(Button1, Button2) = makeOkCancel(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label2);
    layout->addWidget(Edit1);
    layout->addLayout(sq::app::buttonRow({Button1, Button2}));
    connect(Button1, &QPushButton::clicked, this, &TForm22::Button1Click);
}

void TForm22::openFor(const QString& folder)
{
    m_folder = QDir::cleanPath(folder);
    show();
    raise();
    sq::app::setShortPath(Label2, m_folder);
}

void TForm22::Button1Click()
{
    // The no-replace rename: an existing folder of the new name stays as it
    // is, empty or not, and a name with "/" never leaves the parent folder.
    QString renamed;
    const auto status = sq::platform::renameEntry(m_folder, Edit1->text(), &renamed);
    if (status != sq::platform::RenameStatus::Renamed) {
        sq::app::failureMessage(this);
        return;
    }
    hide();
    const QString old = m_folder;
    m_folder = renamed;
    if (onRenamed) onRenamed(old, renamed);
}
