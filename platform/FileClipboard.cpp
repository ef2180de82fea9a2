#include "platform/FileClipboard.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>

namespace sq::platform {

namespace {
const QString kUriList = QStringLiteral("text/uri-list");
const QString kGnome = QStringLiteral("x-special/gnome-copied-files");
const QString kKdeCut = QStringLiteral("application/x-kde-cutselection");

// One URL line of a list; an empty string when it is no local file.
QString localPathOf(QByteArray line)
{
    line = line.trimmed();
    if (line.isEmpty() || line.startsWith('#')) return {};
    QUrl url = QUrl::fromEncoded(line, QUrl::StrictMode);
    if (!url.isValid() || !url.isLocalFile()) return {};
    // A file URL naming another host is not a file of this machine.
    if (!url.host().isEmpty() && url.host() != QLatin1String("localhost")) return {};
    url.setHost({});
    // "file:////a" names "//a", which is "/a" here.
    const QString path = QDir::cleanPath(url.toLocalFile());
    if (path.isEmpty() || !path.startsWith(QLatin1Char('/')) || path.contains(QChar(0))) return {};
    return path;
}

QStringList pathsOfLines(const QList<QByteArray>& lines)
{
    QStringList paths;
    for (const QByteArray& line : lines) {
        const QString path = localPathOf(line);
        if (!path.isEmpty()) paths << path;
    }
    return paths;
}
} // namespace

std::unique_ptr<QMimeData> makeFileMimeData(const QStringList& paths, bool cut)
{
    QByteArray uriList;
    QByteArray gnome = cut ? QByteArrayLiteral("cut") : QByteArrayLiteral("copy");
    QString text;
    for (const QString& path : paths) {
        const QByteArray url = QUrl::fromLocalFile(path).toEncoded();
        uriList += url + "\r\n";
        gnome += '\n' + url;
        if (!text.isEmpty()) text += QLatin1Char('\n');
        text += path;
    }
    auto data = std::make_unique<QMimeData>();
    data->setData(kUriList, uriList);
    data->setData(kGnome, gnome);
    if (cut) data->setData(kKdeCut, QByteArrayLiteral("1"));
    data->setText(text);
    return data;
}

ClipboardFiles readFileMimeData(const QMimeData* data)
{
    ClipboardFiles files;
    if (!data) return files;
    if (data->hasFormat(kGnome)) {
        QList<QByteArray> lines = data->data(kGnome).split('\n');
        if (!lines.isEmpty()) {
            const QByteArray mode = lines.takeFirst().trimmed();
            if (mode == "cut" || mode == "copy") {
                files.cut = mode == "cut";
                files.paths = pathsOfLines(lines);
                if (!files.paths.isEmpty()) return files;
            }
        }
    }
    files.paths = pathsOfLines(data->data(kUriList).split('\n'));
    files.cut = !files.paths.isEmpty() && data->data(kKdeCut).trimmed() == "1";
    return files;
}

bool hasFileData(const QMimeData* data)
{
    return !readFileMimeData(data).paths.isEmpty();
}

void putFilesOnClipboard(const QStringList& paths, bool cut)
{
    QGuiApplication::clipboard()->setMimeData(makeFileMimeData(paths, cut).release());
}

ClipboardFiles filesOnClipboard()
{
    return readFileMimeData(QGuiApplication::clipboard()->mimeData());
}

bool clipboardHasFiles()
{
    return hasFileData(QGuiApplication::clipboard()->mimeData());
}

void clearClipboard()
{
    QGuiApplication::clipboard()->clear();
}

} // namespace sq::platform
