#include "app/Unit23.h"

#include "app/DialogParts.h"
#include "viewers/FolderList.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TForm23::TForm23(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form23"));
    setWindowTitle(QString());
    setModal(false);
    resize(340, 400);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2 = sq::app::makePathLabel(this);
    FolderList = new TFolderList(this);
    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new QPushButton(QStringLiteral("キャンセル"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Label2);
    layout->addWidget(FolderList, 1);
    layout->addLayout(sq::app::buttonRow({Button1, Button2}));
    FolderList->onChange = [this](const QString&) { showFolder(); };
    connect(Button1, &QPushButton::clicked, this, &TForm23::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QWidget::hide);
}

void TForm23::openWith(const QString& caption, const QString& instruction,
                       const QString& startFolder)
{
    setWindowTitle(caption);
    Label1->setText(instruction);
    if (!startFolder.isEmpty()) FolderList->setFolder(startFolder);
    show();
    raise();
    showFolder();
}

QString TForm23::folder() const
{
    return FolderList->folder();
}

void TForm23::setFolder(const QString& path)
{
    FolderList->setFolder(path);
}

void TForm23::Button1Click()
{
    // The walk lets events run between files: the chooser goes away before
    // it starts and takes no second OK until it has ended, so no walk runs
    // inside another over the same files.
    if (m_walking) return;
    const QString chosen = folder();
    hide();
    if (!onOk || chosen.isEmpty()) return;
    m_walking = true;
    Button1->setEnabled(false);
    onOk(chosen);
    Button1->setEnabled(true);
    m_walking = false;
}

void TForm23::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    showFolder();
}

void TForm23::showFolder()
{
    sq::app::setShortPath(Label2, folder());
}
