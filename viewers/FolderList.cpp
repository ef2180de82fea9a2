#include "viewers/FolderList.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QStorageInfo>
#include <QTreeView>
#include <QVBoxLayout>

TFolderList::TFolderList(QWidget* parent) : QWidget(parent)
{
    DriveComboBox1 = new QComboBox(this);
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady())
            DriveComboBox1->addItem(volume.rootPath(), volume.rootPath());
    if (DriveComboBox1->findData(QStringLiteral("/")) < 0)
        DriveComboBox1->insertItem(0, QStringLiteral("/"), QStringLiteral("/"));

    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    m_model->setRootPath(QStringLiteral("/"));
    DirectoryListBox1 = new QTreeView(this);
    DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
    DirectoryListBox1->setModel(m_model);
    for (int column = 1; column < m_model->columnCount(); ++column)
        DirectoryListBox1->hideColumn(column);
    DirectoryListBox1->header()->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(DriveComboBox1);
    layout->addWidget(DirectoryListBox1, 1);

    connect(DirectoryListBox1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { choose(m_model->filePath(current)); });
    connect(DirectoryListBox1, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& index) { choose(m_model->filePath(index)); });
    connect(DriveComboBox1, &QComboBox::activated, this,
            [this](int i) { setFolder(DriveComboBox1->itemData(i).toString()); });
}

void TFolderList::setFolder(const QString& path)
{
    const QString clean = QDir::cleanPath(path);
    const QModelIndex index = m_model->index(clean);
    if (index.isValid()) {
        DirectoryListBox1->setCurrentIndex(index);
        DirectoryListBox1->scrollTo(index);
    }
    choose(clean);
}

void TFolderList::choose(const QString& path)
{
    if (path.isEmpty()) return;
    m_folder = path;
    if (onChange) onChange(path);
}
