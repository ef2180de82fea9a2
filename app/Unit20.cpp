#include "app/Unit20.h"

#include "app/DialogParts.h"
#include "platform/NativePath.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

void TScrollWidthList::setScrollWidth(int width)
{
    m_scrollWidth = std::max(0, width);
    updateGeometries();
}

void TScrollWidthList::updateGeometries()
{
    // The contents are made as wide as the scroll width; the list sets its
    // scroll bar from them as for any contents.
    const QSize contents = contentsSize();
    if (contents.width() < m_scrollWidth) resizeContents(m_scrollWidth, contents.height());
    QListWidget::updateGeometries();
}

TForm20::TForm20(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form20"));
    setWindowTitle(QStringLiteral("お気に入り編集"));
    setModal(false);
    resize(420, 300);
    ListBox1 = new TScrollWidthList(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    auto makeButton = [this](const char* name, const char* text) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    Button1 = makeButton("Button1", "OK");
    Button2 = makeButton("Button2", "キャンセル");
    Button3 = makeButton("Button3", "削除");
    Button4 = makeButton("Button4", "すべて削除");
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(ListBox1, 1);
    auto* side = new QVBoxLayout;
    for (QPushButton* b : {Button1, Button2, Button3, Button4})
        side->addWidget(b);
    side->addStretch(1);
    layout->addLayout(side);
    connect(Button1, &QPushButton::clicked, this, &TForm20::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QWidget::hide);
    connect(Button3, &QPushButton::clicked, this, &TForm20::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TForm20::Button4Click);
}

void TForm20::openWith(const QStringList& favorites, int scrollWidth)
{
    ListBox1->clear();
    ListBox1->setScrollWidth(scrollWidth);
    for (const QString& path : favorites) {
        auto* item = new QListWidgetItem(sq::platform::displayText(path), ListBox1);
        item->setData(Qt::UserRole, path);
    }
    show();
    raise();
}

QStringList TForm20::items() const
{
    QStringList paths;
    for (int i = 0; i < ListBox1->count(); ++i)
        paths << ListBox1->item(i)->data(Qt::UserRole).toString();
    return paths;
}

void TForm20::Button1Click()
{
    if (onOk) onOk(items());
    hide();
}

void TForm20::Button3Click()
{
    const int row = ListBox1->currentRow();
    if (row >= 0 && ListBox1->currentItem() && ListBox1->currentItem()->isSelected())
        delete ListBox1->takeItem(row);
}

void TForm20::Button4Click()
{
    if (sq::app::confirm(this, QStringLiteral("すべて削除していいですか?"))) ListBox1->clear();
}
