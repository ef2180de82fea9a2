#include "app/Unit10.h"

#include "platform/NativePath.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

TForm10::TForm10(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("Form10"));
    setWindowTitle(QString());
    setModal(false);
    resize(320, 110);
    auto makeLabel = [this](const char* name) {
        auto* label = new QLabel(this);
        label->setObjectName(QString::fromLatin1(name));
        label->setMinimumWidth(1);
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        return label;
    };
    Label1 = makeLabel("Label1");
    Label2 = makeLabel("Label2");
    Label3 = makeLabel("Label3");
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setTextVisible(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Label2);
    layout->addWidget(ProgressBar1);
    layout->addWidget(Label3);
}

void TForm10::begin(const QString& caption, const QString& doing, int count)
{
    m_count = count;
    setWindowTitle(caption);
    Label1->clear();
    Label2->setText(doing);
    Label3->setText(QStringLiteral("0 / %1").arg(count));
    ProgressBar1->setRange(0, std::max(1, count));
    ProgressBar1->setValue(0);
    show();
    raise();
}

void TForm10::step(int current, const QString& fileName)
{
    Label1->setText(sq::platform::displayText(fileName));
    Label3->setText(QStringLiteral("%1 / %2").arg(current).arg(m_count));
    ProgressBar1->setValue(current - 1);
    repaint();
    // The box is painted between files, but no input reaches any window
    // while the run goes on.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
