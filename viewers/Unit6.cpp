#include "viewers/Unit6.h"

#include "platform/NativePath.h"
#include "viewers/DialogButtons.h"
#include "viewers/FolderList.h"
#include "viewers/SavedScreen.h"
#include "viewers/WindowPlacement.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TForm6::TForm6(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("画面を保存"));
    setModal(false);
    resize(360, 460);
    Label1 = new QLabel(QStringLiteral("ファイル名を入力してください"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    FolderList = new TFolderList(this);
    FileListBox1 = new QListWidget(this);
    FileListBox1->setObjectName(QStringLiteral("FileListBox1"));
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit2 = new QLineEdit(QStringLiteral(".srq"), this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setReadOnly(true);
    Edit2->setMaximumWidth(48);
    std::tie(Button1, Button2) = makeOkCancel(this);

    auto* outer = new QVBoxLayout(this);
    outer->addWidget(Label1);
    outer->addWidget(FolderList, 2);
    outer->addWidget(FileListBox1, 1);
    auto* name = new QHBoxLayout;
    name->addWidget(Edit1, 1);
    name->addWidget(Edit2);
    outer->addLayout(name);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    outer->addLayout(buttons);

    FolderList->onChange = [this](const QString& path) { folderChanged(path); };
    connect(Button1, &QPushButton::clicked, this, &TForm6::Button1Click);
}

void TForm6::openFor(const QString& folder,
                     std::function<void(const QString&, const QString&)> onOk,
                     std::function<void()> onFolderChange)
{
    m_onOk = std::move(onOk);
    m_onFolderChange = nullptr; // pointing the dialog at its folder is no user's move
    setFolder(folder);
    m_onFolderChange = std::move(onFolderChange);
    presentWindow(this);
}

QString TForm6::folder() const
{
    return FolderList->folder();
}

void TForm6::setFolder(const QString& path)
{
    FolderList->setFolder(path);
}

void TForm6::folderChanged(const QString& path)
{
    FileListBox1->clear();
    for (const QString& name : savedScreenFiles(path))
        FileListBox1->addItem(sq::platform::displayText(name));
    FileListBox1->setCurrentRow(-1);
    if (m_onFolderChange) m_onFolderChange();
}

void TForm6::Button1Click()
{
    if (Edit1->text().isEmpty()) return;
    if (m_onOk) m_onOk(folder(), Edit1->text());
    hide();
}
