// Clipboard file lists from other programs: the bytes are split among the
// GNOME list, text/uri-list and the KDE cut marker; every path read must be
// an absolute local path without NUL.
#include "platform/FileClipboard.h"

#include <QMimeData>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray all(reinterpret_cast<const char*>(data), int(size));
    const QList<QByteArray> parts = all.split('\0');
    QMimeData mime;
    if (parts.size() > 0)
        mime.setData(QStringLiteral("x-special/gnome-copied-files"), parts[0]);
    if (parts.size() > 1)
        mime.setData(QStringLiteral("text/uri-list"), parts[1]);
    if (parts.size() > 2)
        mime.setData(QStringLiteral("application/x-kde-cutselection"), parts[2]);
    const sq::platform::ClipboardFiles files = sq::platform::readFileMimeData(&mime);
    for (const QString& path : files.paths)
        if (!path.startsWith(QLatin1Char('/')) || path.contains(QChar(0)))
            std::abort();
    // What we read we write back and read the same.
    const auto again = sq::platform::makeFileMimeData(files.paths, files.cut);
    const sq::platform::ClipboardFiles back = sq::platform::readFileMimeData(again.get());
    if (!files.paths.isEmpty() && (back.paths != files.paths || back.cut != files.cut))
        std::abort();
    return 0;
}
