#include "viewers/Unit18.h"

#include "state/SettingsLines.h"
#include "viewers/LoupeGeometry.h"
#include "viewers/Unit14.h"
#include "viewers/Unit26.h"
#include "viewers/ViewerHost.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>

namespace {

struct BoxDef
{
    QComboBox* TForm18::*box;
    const char* name;
    const char* hint;
    std::initializer_list<const char*> items;
    int defaultIndex;
};

const BoxDef kBoxes[] = {
    {&TForm18::ComboBox2,
     "ComboBox2",
     "拡大率",
     {"100%", "150%", "200%", "300%", "400%", "500%"},
     2},
    {&TForm18::ComboBox1, "ComboBox1", "ルーペの大きさ", {"小", "中", "大", "最大"}, 1},
    {&TForm18::ComboBox5,
     "ComboBox5",
     "ルーペの形",
     {"四角", "丸四角", "円", "楕円", "三角", "ダイヤ", "ハート", "スター", "クロス", "リング"},
     2},
    {&TForm18::ComboBox4, "ComboBox4", "画像が動く方向", {"X", "Y", "XY"}, 0},
    {&TForm18::ComboBox3, "ComboBox3", "画像が動く最大幅", {"10", "20", "30"}, 0},
};

QToolButton* makeToggle(QWidget* parent, const char* name, const char* hint, const char* glyph)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(QString::fromUtf8(hint));
    button->setText(QString::fromUtf8(glyph));
    button->setCheckable(true);
    button->setAutoRaise(true);
    return button;
}

} // namespace

TForm18::TForm18(TViewerHost* host, TForm14* loupe, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), m_host(host), m_loupe(loupe)
{
    setObjectName(QStringLiteral("Form18"));
    setWindowTitle(QStringLiteral("ルーペ"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(3);

    SpeedButton1 = makeToggle(this, "SpeedButton1", "ルーペを表示/非表示", "◎");
    row->addWidget(SpeedButton1);
    for (const BoxDef& def : kBoxes) {
        auto* box = new QComboBox(this);
        box->setObjectName(QString::fromLatin1(def.name));
        box->setToolTip(QString::fromUtf8(def.hint));
        for (const char* item : def.items)
            box->addItem(QString::fromUtf8(item));
        box->setCurrentIndex(def.defaultIndex);
        this->*def.box = box;
        if (def.box == &TForm18::ComboBox4) {
            SpeedButton5 = makeToggle(this, "SpeedButton5", "画像を動かす", "↔");
            row->addWidget(SpeedButton5);
        }
        row->addWidget(box);
    }
    CheckBox1 = new QCheckBox(QStringLiteral("滑らか"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setToolTip(QStringLiteral("画質(X)"));
    row->addWidget(CheckBox1);
    Button1 = new QPushButton(QStringLiteral("保存"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    row->addWidget(Button1);

    // A user's change runs the handler; settings applied at start run them
    // explicitly or not at all, as the main window decides.
    connect(SpeedButton1, &QToolButton::clicked, this, &TForm18::SpeedButton1Click);
    connect(ComboBox1, &QComboBox::activated, this, &TForm18::ComboBox1Change);
    connect(ComboBox2, &QComboBox::activated, this, &TForm18::ComboBox2Change);
    connect(ComboBox5, &QComboBox::activated, this, &TForm18::ComboBox5Change);
    connect(SpeedButton5, &QToolButton::clicked, this, &TForm18::jitterChange);
    connect(ComboBox4, &QComboBox::activated, this, &TForm18::jitterChange);
    connect(ComboBox3, &QComboBox::activated, this, &TForm18::jitterChange);
    connect(CheckBox1, &QCheckBox::clicked, this, &TForm18::CheckBox1Click);
    connect(Button1, &QPushButton::clicked, this, &TForm18::Button1Click);
    // The direction, width and shape boxes may be set without their
    // handlers; the loupe reads them as they stand.
    connect(ComboBox4, &QComboBox::currentIndexChanged, this, &TForm18::jitterChange);
    connect(ComboBox3, &QComboBox::currentIndexChanged, this, &TForm18::jitterChange);
    connect(ComboBox5, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_loupe->setShapeIndex(index); });
    connect(m_loupe, &TForm14::smoothingToggled, this,
            [this](bool on) { CheckBox1->setChecked(on); });
    connect(m_loupe, &TForm14::captureFailed, this, &TForm18::captureFailed);
    m_loupe->setShapeIndex(ComboBox5->currentIndex());
    m_loupe->setMagnification(ComboBox2->currentIndex());
    tellCaptureRefused = [this](const QString& text) {
        // Not modal: the refresh timer keeps running behind it.
        auto* box =
            new QMessageBox(QMessageBox::Information, windowTitle(), text, QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    };
}

QString TForm18::captureRefusedText()
{
    return QStringLiteral("この画面では他のプログラムのウインドウを取り込めません。ルーペにはこのプログラムのウインドウだけが表示されます");
}

void TForm18::ShowLoupe()
{
    SpeedButton1->setChecked(true);
    m_loupe->show();
}

void TForm18::HideLoupe()
{
    SpeedButton1->setChecked(false);
    m_loupe->hide();
}

void TForm18::ShowBar()
{
    show();
    raise();
}

void TForm18::ShowSaveDialog()
{
    if (m_saveDialog) m_saveDialog->Prepare();
}

void TForm18::SpeedButton1Click()
{
    const bool down = SpeedButton1->isChecked();
    if (down)
        m_loupe->show();
    else
        m_loupe->hide();
    if (m_host) m_host->Settings().setText(30, down ? QStringLiteral("1") : QStringLiteral("0"));
}

void TForm18::ComboBox1Change()
{
    const int index = ComboBox1->currentIndex();
    const int side = sq::loupe::loupeSide(index);
    if (side == 0) return;
    if (m_host) m_host->Settings().setInt(34, index);
    m_loupe->setLoupeSide(side);
}

void TForm18::ComboBox2Change()
{
    const int index = ComboBox2->currentIndex();
    if (index < 0) return;
    m_loupe->setMagnification(index);
    if (m_host) m_host->Settings().setInt(35, index);
}

void TForm18::ComboBox5Change()
{
    m_loupe->applyShape(ComboBox5->currentIndex());
}

void TForm18::jitterChange()
{
    m_loupe->setJitter(SpeedButton5->isChecked(), ComboBox4->currentIndex(),
                       ComboBox3->currentIndex());
}

void TForm18::CheckBox1Click()
{
    m_loupe->setSmoothing(CheckBox1->isChecked());
}

void TForm18::Button1Click()
{
    ShowSaveDialog();
}

void TForm18::captureFailed()
{
    if (m_toldRefused) return;
    m_toldRefused = true;
    if (tellCaptureRefused) tellCaptureRefused(captureRefusedText());
}
