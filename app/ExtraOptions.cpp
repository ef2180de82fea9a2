#include "app/ExtraOptions.h"

#include "platform/AtomicFile.h"
#include "platform/SafeRead.h"

#include <QByteArray>
#include <QList>

namespace {

constexpr qint64 kMaxBytes = 64 * 1024;
const QByteArray kColour = QByteArrayLiteral("ColourManagement");

} // namespace

namespace sq::app {

ExtraOptions readExtraOptions(const QString& path)
{
    ExtraOptions options;
    const sq::platform::SafeFile file(path, kMaxBytes);
    if (!file.isOpen() || file.size() <= 0) return options;
    QByteArray bytes(qsizetype(file.size()), '\0');
    if (!file.readAt(0, bytes.data(), file.size())) return options;
    for (QByteArray line : bytes.split('\n')) {
        line = line.trimmed();
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0) continue;
        const QByteArray name = line.left(eq).trimmed();
        const QByteArray value = line.mid(eq + 1).trimmed();
        if (name == kColour && (value == "0" || value == "1"))
            options.colourManagement = value == "1";
    }
    return options;
}

int writeExtraOptions(const QString& path, const ExtraOptions& options)
{
    QByteArray bytes = kColour + '=' + (options.colourManagement ? '1' : '0') + "\r\n";
    return sq::platform::writeFileAtomically(path, bytes);
}

} // namespace sq::app
