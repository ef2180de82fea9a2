#include "app/Unit9.h"

#include "app/DialogParts.h"
#include "viewers/ChooserTargets.h"
#include "viewers/FolderList.h"

#include <QFileSystemModel>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QVBoxLayout>

TForm9::TForm9(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form9"));
    setWindowTitle(QStringLiteral("お気に入りフォルダ指定"));
    setModal(false);
    resize(340, 460);
    Label1 = sq::app::makePathLabel(this, "Label1");
    FolderList = new TFolderList(this);
    m_files = new QFileSystemModel(this);
    m_files->setFilter(QDir::Files | QDir::Hidden);
    m_files->setNameFilters({QStringLiteral("*.srq")});
    m_files->setNameFilterDisables(false);
    FileListBox1 = new QListView(this);
    FileListBox1->setObjectName(QStringLiteral("FileListBox1"));
    FileListBox1->setModel(m_files);
    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new QPushButton(QStringLiteral("キャンセル"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(FolderList, 2);
    layout->addWidget(FileListBox1, 1);
    layout->addLayout(sq::app::buttonRow({Button1, Button2}));
    FolderList->onChange = [this](const QString& path) { showFolder(path); };
    connect(Button1, &QPushButton::clicked, this, &TForm9::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QWidget::hide);
}

void TForm9::openFor(TFavoritesFolderTarget& target)
{
    m_target = &target;
    setFolder(target.FavoritesFolder());
    show();
    raise();
}

QString TForm9::folder() const
{
    return FolderList->folder();
}

void TForm9::setFolder(const QString& path)
{
    FolderList->setFolder(path);
}

QStringList TForm9::listedFiles() const
{
    QStringList names;
    const QModelIndex root = FileListBox1->rootIndex();
    for (int i = 0; i < m_files->rowCount(root); ++i)
        names << m_files->fileName(m_files->index(i, 0, root));
    names.sort();
    return names;
}

void TForm9::Button1Click()
{
    if (m_target && !folder().isEmpty()) m_target->SetFavoritesFolder(folder());
    hide();
}

void TForm9::showFolder(const QString& path)
{
    sq::app::setShortPath(Label1, path);
    FileListBox1->setRootIndex(m_files->setRootPath(path));
}
