#include "app/ProgramOpener.h"

#include "app/DialogParts.h"
#include "platform/NativePath.h"

using sq::platform::OpenStatus;

QString TProgramOpener::failureText(const QString& path, OpenStatus status)
{
    const QString shown = sq::platform::displayText(path);
    switch (status) {
    case OpenStatus::Started:
        return {};
    case OpenStatus::NoProgram:
        return shown + QStringLiteral("\nを開くプログラムが関連付けられていません");
    case OpenStatus::Failed:
        break;
    }
    return shown + QStringLiteral("\nを開くプログラムを起動できませんでした");
}

OpenStatus TProgramOpener::openFile(const QString& path)
{
    sq::platform::ShellOpener& opener = m_inner ? *m_inner : sq::platform::desktopShellOpener();
    const OpenStatus status = opener.openFile(path);
    if (status != OpenStatus::Started) sq::app::message(m_parent, failureText(path, status));
    return status;
}

bool TProgramOpener::open(const QString& path)
{
    return openFile(path) == OpenStatus::Started;
}
