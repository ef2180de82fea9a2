#include "app/Unit3.h"

#include "platform/FolderTree.h"
#include "platform/NativePath.h"
#include "platform/PathOps.h"
#include "platform/ShortenPath.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStorageInfo>
#include <QTreeView>
#include <QVBoxLayout>

TForm3::TForm3(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("起動フォルダ設定"));
    setModal(false);
    resize(320, 360);

    DriveComboBox1 = new QComboBox(this);
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady())
            DriveComboBox1->addItem(volume.rootPath(), volume.rootPath());

    // Names kept as bytes: a folder whose name is not UTF-8 is listed and
    // chosen by those bytes.
    m_model = new sq::platform::FolderTree(this);
    DirectoryListBox1 = new QTreeView(this);
    DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
    DirectoryListBox1->setModel(m_model);
    DirectoryListBox1->header()->hide();

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setMinimumWidth(1);
    Label1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new QPushButton(QStringLiteral("キャンセル"), this);
    Button2->setObjectName(QStringLiteral("Button2"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(DriveComboBox1);
    layout->addWidget(DirectoryListBox1, 1);
    layout->addWidget(Label1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    layout->addLayout(buttons);

    connect(DirectoryListBox1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { choose(m_model->filePath(current)); });
    connect(DriveComboBox1, &QComboBox::activated, this,
            [this](int i) { openAt(DriveComboBox1->itemData(i).toString()); });
    connect(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QWidget::hide);
}

void TForm3::openAt(const QString& path)
{
    const QString clean = path.isEmpty() ? path : sq::platform::absolutePathOf(path);
    const QModelIndex index = m_model->index(clean);
    if (index.isValid()) {
        DirectoryListBox1->setCurrentIndex(index);
        DirectoryListBox1->scrollTo(index);
    }
    choose(clean);
    show();
    raise();
}

void TForm3::choose(const QString& path)
{
    if (path.isEmpty())
        return;
    m_chosen = path;
    const QString shown = sq::platform::displayText(path);
    Label1->setText(
        sq::platform::shortenPath(shown, std::max(1, Label1->width()), Label1->fontMetrics()));
    Label1->setToolTip(shown);
}

void TForm3::Button1Click()
{
    if (onChosen && !m_chosen.isEmpty())
        onChosen(m_chosen);
    hide();
}
