#include "viewers/Unit27.h"

#include "engine/BmpFile.h"
#include "engine/ImgBox.h"
#include "engine/PictureLoader.h"
#include "platform/NativePath.h"
#include "viewers/ListChoice.h"
#include "viewers/Unit2.h"
#include "viewers/WindowPlacement.h"

#include <QClipboard>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kPreviewWidth = 65;
constexpr int kPreviewHeight = 57;

QListWidget* makeList(QWidget* parent, const char* name, const QStringList& items)
{
    auto* list = new QListWidget(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->addItems(items);
    list->setCurrentRow(-1);
    list->clearSelection();
    list->setMaximumHeight(list->sizeHintForRow(0) * int(items.size()) + 2 * list->frameWidth());
    return list;
}

// The chosen row, -1 for none: a list's current row alone is no choice (a
// list given the focus makes its first row current without selecting it).
int chosenRow(const QListWidget* list)
{
    const QListWidgetItem* item = list->currentItem();
    return item && item->isSelected() ? list->row(item) : -1;
}

} // namespace

TForm27::TForm27(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form27"));
    setWindowTitle(QStringLiteral("連結して保存"));
    setModal(false);
    setWindowFlag(Qt::WindowStaysOnTopHint);

    const QStringList screens{QStringLiteral("画面1"), QStringLiteral("画面2"),
                              QStringLiteral("画面3"), QStringLiteral("画面4")};
    ListBox1 = makeList(this, "ListBox1", {QStringLiteral("横"), QStringLiteral("縦")});
    ListBox2 = makeList(this, "ListBox2", screens);
    ListBox3 = makeList(this, "ListBox3", screens);

    TImgBox** boxes[] = {&ImgBox1, &ImgBox2, &ImgBox3, &ImgBox4};
    for (int i = 0; i < 4; ++i) {
        auto* box = new TImgBox(this);
        box->setObjectName(QStringLiteral("ImgBox%1").arg(i + 1));
        box->setFixedSize(kPreviewWidth, kPreviewHeight);
        box->setSizeType(ispStretch);
        box->setColor(Qt::white);
        sq::installPictureLoader(*box->ImgUtil());
        box->ImgUtil()->setGetType(igtPreview);
        box->ImgUtil()->setBKColor(Qt::white);
        *boxes[i] = box;
    }
    ImgBox3->hide();
    ImgBox4->hide();

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button2 = new QPushButton(QStringLiteral("キャンセル"), this);
    Button3 = new QPushButton(QStringLiteral("クリップボードへ"), this);
    Button4 = new QPushButton(QStringLiteral("ファイルリスト"), this);
    int n = 1;
    for (QPushButton* b : {Button1, Button2, Button3, Button4})
        b->setObjectName(QStringLiteral("Button%1").arg(n++));

    auto* outer = new QVBoxLayout(this);
    auto* lists = new QHBoxLayout;
    auto* direction = new QVBoxLayout;
    direction->addWidget(new QLabel(QStringLiteral("連結方向"), this));
    direction->addWidget(ListBox1);
    direction->addStretch(1);
    lists->addLayout(direction);
    lists->addWidget(ListBox2);
    lists->addWidget(ListBox3);
    outer->addLayout(lists);
    // The side-by-side pair in one row, the other pair in one column.
    auto* previews = new QGridLayout;
    previews->addWidget(ImgBox1, 0, 0);
    previews->addWidget(ImgBox2, 0, 1);
    previews->addWidget(ImgBox3, 0, 2);
    previews->addWidget(ImgBox4, 1, 2);
    outer->addLayout(previews);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {Button1, Button2, Button3, Button4})
        buttons->addWidget(b);
    outer->addLayout(buttons);

    // A choice made by the keys previews as a click does, so that OK joins
    // the pair the previews show.
    for (QListWidget* list : {ListBox1, ListBox2, ListBox3})
        new TListChoice(list, [this] { Preview(); });
    connect(Button1, &QPushButton::clicked, this, &TForm27::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm27::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm27::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TForm27::Button4Click);
}

void TForm27::openFor(TForm2& slide)
{
    m_slide = &slide;
    presentWindow(this);
}

void TForm27::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    Preview();
}

TJoinDirection TForm27::direction() const
{
    switch (chosenRow(ListBox1)) {
    case 0:
        return TJoinDirection::Across;
    case 1:
        return TJoinDirection::Down;
    default:
        return TJoinDirection::None;
    }
}

int TForm27::firstScreen() const
{
    return chosenRow(ListBox2) + 1;
}

int TForm27::secondScreen() const
{
    return chosenRow(ListBox3) + 1;
}

bool TForm27::choiceAllowed() const
{
    if (!m_slide) return false;
    const int screens = m_slide->LayoutScreens();
    // A list without a choice passes.
    auto allowed = [screens](int k) { return k == 0 || screenInLayout(k, screens); };
    return allowed(firstScreen()) && allowed(secondScreen());
}

QImage TForm27::screenPicture(int k) const
{
    if (!m_slide || k < 1 || k > 4) return QImage();
    return m_slide->Screen(k)->ImgUtil()->Bitmap().image();
}

QString TForm27::screenFile(int k) const
{
    if (!m_slide || k < 1 || k > 4) return QString();
    return m_slide->Screen(k)->ImageFile();
}

void TForm27::Preview()
{
    if (!choiceAllowed()) return;
    const TJoinDirection d = direction();
    if (d == TJoinDirection::None) return;
    const bool across = d == TJoinDirection::Across;
    ImgBox1->setVisible(across);
    ImgBox2->setVisible(across);
    ImgBox3->setVisible(!across);
    ImgBox4->setVisible(!across);
    TImgBox* first = across ? ImgBox1 : ImgBox3;
    TImgBox* second = across ? ImgBox2 : ImgBox4;
    first->LoadFile(screenFile(firstScreen()));
    second->LoadFile(screenFile(secondScreen()));
}

QImage TForm27::Joined() const
{
    if (!choiceAllowed()) return QImage();
    return joinPictures(screenPicture(firstScreen()), screenPicture(secondScreen()), direction());
}

void TForm27::Button1Click()
{
    if (!choiceAllowed()) return;
    // An empty result (no direction, no screen) is no picture to write.
    const QImage joined = Joined();
    if (joined.isNull()) return;
    const QString name = m_slide->SavePictureDialog1();
    if (name.isEmpty()) return;
    QString error;
    if (!sq::writeBmpFile(name, joined, &error))
        QMessageBox::warning(
            this, QStringLiteral("Sorrelquint"),
            QStringLiteral("%1 を保存できません").arg(sq::platform::displayText(name)) +
                QLatin1Char('\n') + error);
}

void TForm27::Button2Click()
{
    hide();
}

void TForm27::Button3Click()
{
    if (!choiceAllowed()) return;
    const QImage joined = Joined();
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    if (!joined.isNull()) clipboard->setImage(joined);
}

void TForm27::Button4Click()
{
    if (m_slide) m_slide->FileList1Click();
}
