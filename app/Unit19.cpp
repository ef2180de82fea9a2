#include "app/Unit19.h"

#include "app/DialogParts.h"
#include "platform/FileOps.h"
#include "platform/NativePath.h"
#include "viewers/DialogButtons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

TForm19::TForm19(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form19"));
    setWindowTitle(QStringLiteral("新規フォルダ作成"));
    setModal(false);
    resize(360, 120);
    Label2 = sq::app::makePathLabel(this);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    std::tie(Button1, Button2) = makeOkCancel(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label2);
    layout->addWidget(Edit1);
    layout->addLayout(sq::app::buttonRow({Button1, Button2}));
    connect(Button1, &QPushButton::clicked, this, &TForm19::Button1Click);
}

void TForm19::openFor(const QString& parentFolder)
{
    m_parent = parentFolder;
    show();
    raise();
    sq::app::setShortPath(Label2, parentFolder);
}

void TForm19::Button1Click()
{
    const QString name = Edit1->text();
    if (name.isEmpty()) return;
    // A name never makes a folder anywhere but inside the folder it is typed for.
    if (!sq::platform::isValidFileName(name)) {
        sq::app::failureMessage(this);
        return;
    }
    const QString path =
        (m_parent.endsWith(QLatin1Char('/')) ? m_parent : m_parent + QLatin1Char('/')) + name;
    const QByteArray native = sq::platform::nativePath(path);
    struct stat st;
    if (::stat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode)) {
        sq::app::message(this, sq::platform::displayText(path) +
                                   QStringLiteral("\rは既に存在しています"));
        return;
    }
    if (::mkdir(native.constData(), 0777) != 0) {
        const int err = errno;
        sq::app::message(this, sq::platform::displayText(path) +
                                   QStringLiteral("\nフォルダを作成できません (") +
                                   QString::fromLocal8Bit(std::strerror(err)) + QLatin1Char(')'));
        return;
    }
    hide();
    if (onCreated) onCreated(path);
}
