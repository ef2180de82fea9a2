#include "viewers/Unit28.h"

#include "platform/NativePath.h"
#include "viewers/DialogButtons.h"
#include "viewers/FolderList.h"
#include "viewers/WindowPlacement.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TForm28::TForm28(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form28"));
    setWindowTitle(QStringLiteral("名前を付けてすべて保存"));
    setModal(false);
    resize(360, 420);
    FolderList = new TFolderList(this);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setMinimumWidth(1); // a long path must not widen the dialog
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    std::tie(Button1, Button2) = makeOkCancel(this);

    auto* outer = new QVBoxLayout(this);
    outer->addWidget(Label1);
    outer->addWidget(FolderList, 1);
    auto* name = new QHBoxLayout;
    name->addWidget(new QLabel(QStringLiteral("現在のファイル名 +"), this));
    name->addWidget(Edit1, 1);
    name->addWidget(new QLabel(QStringLiteral("+.bmp"), this));
    outer->addLayout(name);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    outer->addLayout(buttons);

    FolderList->onChange = [this](const QString& path) {
        Label1->setText(sq::platform::displayText(path));
        Label1->setToolTip(Label1->text());
    };
    connect(Button1, &QPushButton::clicked, this, &TForm28::Button1Click);
}

void TForm28::openFor(const QString& startFolder,
                      std::function<void(const QString&, const QString&)> onOk)
{
    m_onOk = std::move(onOk);
    if (folder().isEmpty() && !startFolder.isEmpty()) setFolder(startFolder);
    presentWindow(this);
}

QString TForm28::folder() const
{
    return FolderList->folder();
}

void TForm28::setFolder(const QString& path)
{
    FolderList->setFolder(path);
}

void TForm28::Button1Click()
{
    if (m_onOk && !folder().isEmpty()) m_onOk(folder(), Edit1->text());
    hide();
}
