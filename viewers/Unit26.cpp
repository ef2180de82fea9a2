#include "viewers/Unit26.h"

#include "engine/BmpFile.h"
#include "engine/Stretch.h"
#include "platform/NativePath.h"
#include "viewers/BitmapSaveDialog.h"
#include "viewers/Unit14.h"
#include "viewers/WindowPlacement.h"

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>

TForm26::TForm26(TForm14* loupe, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::WindowStaysOnTopHint), m_loupe(loupe)
{
    setObjectName(QStringLiteral("Form26"));
    setWindowTitle(QStringLiteral("ルーぺ画面を保存"));

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(PreviewSide, PreviewSide);
    Image1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Image1->setLineWidth(0);

    auto* label1 = new QLabel(QStringLiteral("背景"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->addItems({QStringLiteral("なし"), QStringLiteral("色")});
    ListBox1->setFixedSize(70, 2 * ListBox1->sizeHintForRow(0) + 2 * ListBox1->frameWidth() + 2);

    Panel1 = new QLabel(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setToolTip(QStringLiteral("ダブルクリックで背景色を選択"));
    Panel1->setFixedSize(40, 24);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setAutoFillBackground(true);
    Panel1->installEventFilter(this);
    paintSwatch();

    auto* label2 = new QLabel(QStringLiteral("表示を停止(Z)"), this);
    label2->setObjectName(QStringLiteral("Label2"));
    auto* label3 = new QLabel(QStringLiteral("滑らか(X)"), this);
    label3->setObjectName(QStringLiteral("Label3"));

    auto makeButton = [this](const char* name, const char* caption) {
        auto* button = new QPushButton(QString::fromUtf8(caption), this);
        button->setObjectName(QString::fromLatin1(name));
        button->setAutoDefault(false);
        return button;
    };
    Button1 = makeButton("Button1", "OK");
    Button2 = makeButton("Button2", "キャンセル");
    Button3 = makeButton("Button3", "クリップボードへ");
    Button4 = makeButton("Button4", "ルーペをアクティブ");

    auto* grid = new QGridLayout(this);
    grid->addWidget(Image1, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(label1, 0, 1);
    grid->addWidget(ListBox1, 1, 1, Qt::AlignTop);
    grid->addWidget(Panel1, 2, 1, Qt::AlignTop);
    grid->addWidget(label2, 0, 2);
    grid->addWidget(label3, 1, 2, Qt::AlignTop);
    grid->addWidget(Button1, 0, 3);
    grid->addWidget(Button2, 1, 3);
    grid->addWidget(Button3, 2, 3);
    grid->addWidget(Button4, 3, 0, 1, 4);

    connect(Button1, &QPushButton::clicked, this, &TForm26::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm26::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm26::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TForm26::Button4Click);
    // A click on the list refreshes the preview, also on the item already
    // chosen; a change by keys or by the program does too.
    connect(ListBox1, &QListWidget::itemClicked, this, &TForm26::refreshPreview);
    connect(ListBox1, &QListWidget::currentRowChanged, this, [this] {
        if (QApplication::mouseButtons() == Qt::NoButton && isVisible()) refreshPreview();
    });
    connect(m_loupe, &TForm14::refreshStopped, this, [this] {
        if (isVisible()) refreshPreview();
    });

    askFileName = [this] { return sq::viewers::askBitmapFileName(this); };
    askColor = [this](const QColor& initial) { return QColorDialog::getColor(initial, this); };
    tellFailure = [this](const QString& message) {
        QMessageBox::warning(this, windowTitle(), message);
    };
}

bool TForm26::colourBackground() const
{
    return ListBox1->currentRow() == 1;
}

void TForm26::Prepare()
{
    if (isVisible())
        refreshPreview();
    else
        show(); // showing refreshes the preview
    raise();
    keepOnScreen(this);
    m_loupe->activateLoupe();
}

bool TForm26::captureLoupe()
{
    // "色": the loupe's own picture laid on the colour here, not a window of
    // that colour shown under the loupe and the screen grabbed, since a
    // window manager or compositor may stack the two or show them late.
    m_loupe->saveBuffer() =
        colourBackground() ? m_loupe->pictureOn(m_color) : m_loupe->grabClientArea();
    return !m_loupe->saveBuffer().isNull();
}

void TForm26::showPreview()
{
    m_preview = sq::NearestResize(m_loupe->saveBuffer(), PreviewSide, PreviewSide);
    if (m_preview.isNull())
        Image1->clear();
    else
        Image1->setPixmap(QPixmap::fromImage(m_preview));
}

void TForm26::refreshPreview()
{
    m_loupe->saveBuffer() = QImage();
    if (m_loupe->hasPicture()) captureLoupe();
    showPreview();
}

void TForm26::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refreshPreview();
}

void TForm26::Button1Click()
{
    m_loupe->saveBuffer() = QImage();
    // Nothing is saved while the loupe shows nothing.
    if (!m_loupe->hasPicture()) return;
    const bool captured = captureLoupe();
    showPreview();
    if (!captured) {
        tellFailure(QStringLiteral("ルーペの画面を取り込めません"));
        return;
    }
    const QImage picture = m_loupe->saveBuffer();
    const QString name = askFileName();
    if (name.isEmpty()) return;
    QString error;
    if (!sq::writeBmpFile(name, picture, &error))
        tellFailure(QStringLiteral("%1 を保存できません").arg(sq::platform::displayText(name)) +
                    QLatin1String("\n") + error);
}

void TForm26::Button2Click()
{
    hide();
}

void TForm26::Button3Click()
{
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->clear();
    m_loupe->saveBuffer() = QImage();
    if (m_loupe->hasPicture() && captureLoupe()) clipboard->setImage(m_loupe->saveBuffer());
}

void TForm26::Button4Click()
{
    if (m_loupe->hasPicture()) m_loupe->activateLoupe();
}

void TForm26::Panel1DblClick()
{
    const QColor chosen = askColor(m_color);
    if (!chosen.isValid()) return;
    m_color = chosen;
    paintSwatch();
    if (colourBackground() && m_loupe->hasPicture()) refreshPreview();
}

void TForm26::paintSwatch()
{
    QPalette palette = Panel1->palette();
    palette.setColor(QPalette::Window, m_color);
    Panel1->setPalette(palette);
}

bool TForm26::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Panel1 && event->type() == QEvent::MouseButtonDblClick) {
        Panel1DblClick();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
