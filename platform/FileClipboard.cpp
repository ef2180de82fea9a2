#include "platform/FileClipboard.h"

#include "platform/NativePath.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QMimeData>

#include <cstring>

namespace sq::platform {

namespace {
int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The characters a path segment of a URI may hold as they are.
bool keptInUri(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::strchr("-._~/!$&'()*+,;=:@", c) != nullptr;
}
} // namespace

QByteArray percentEncodedPath(const QString& path)
{
    static const char hex[] = "0123456789ABCDEF";
    const QByteArray bytes = nativePath(path);
    QByteArray uri;
    uri.reserve(bytes.size() * 3);
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c != 0 && keptInUri(c)) {
            uri.append(ch);
        } else {
            uri.append('%');
            uri.append(hex[c >> 4]);
            uri.append(hex[c & 15]);
        }
    }
    return uri;
}

QByteArray fileUriOf(const QString& path)
{
    return "file://" + percentEncodedPath(path);
}

QString localPathOfUri(const QByteArray& uri)
{
    if (uri.size() < 5 || qstrnicmp(uri.constData(), "file:", 5) != 0) return {};
    QByteArray rest = uri.mid(5);
    // A query or fragment is no part of the file's name (a '?' or '#' in a
    // name is written %3F, %23).
    for (qsizetype i = 0; i < rest.size(); ++i)
        if (rest[i] == '?' || rest[i] == '#') {
            rest.truncate(i);
            break;
        }
    if (rest.startsWith("//")) {
        const qsizetype slash = rest.indexOf('/', 2);
        const QByteArray host = rest.mid(2, slash < 0 ? -1 : slash - 2);
        // A file URL naming another host is not a file of this machine.
        if (!host.isEmpty() && host.compare("localhost", Qt::CaseInsensitive) != 0) return {};
        if (slash < 0) return {};
        rest = rest.mid(slash);
    }
    if (!rest.startsWith('/')) return {};
    QByteArray bytes;
    bytes.reserve(rest.size());
    for (qsizetype i = 0; i < rest.size(); ++i) {
        const char c = rest[i];
        if (static_cast<unsigned char>(c) < 0x20) return {};
        if (c != '%') {
            bytes.append(c);
            continue;
        }
        const int hi = i + 2 < rest.size() ? hexValue(rest[i + 1]) : -1;
        const int lo = hi >= 0 ? hexValue(rest[i + 2]) : -1;
        if (lo < 0) return {};
        bytes.append(char(hi * 16 + lo));
        i += 2;
    }
    if (bytes.contains('\0')) return {};
    // "file:////a" names "//a", which is "/a" here.
    const QString path = QDir::cleanPath(pathFromNative(bytes));
    if (!path.startsWith(QLatin1Char('/'))) return {};
    return path;
}

namespace {
const QString kUriList = QStringLiteral("text/uri-list");
const QString kGnome = QStringLiteral("x-special/gnome-copied-files");
const QString kKdeCut = QStringLiteral("application/x-kde-cutselection");

// One URL line of a list; an empty string when it is no local file.
QString localPathOf(const QByteArray& line)
{
    const QByteArray uri = line.trimmed();
    if (uri.isEmpty() || uri.startsWith('#')) return {};
    return localPathOfUri(uri);
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

QStringList filesOfUriList(const QByteArray& list)
{
    return pathsOfLines(list.split('\n'));
}

std::unique_ptr<QMimeData> makeFileMimeData(const QStringList& paths, bool cut)
{
    QByteArray uriList;
    QByteArray gnome = cut ? QByteArrayLiteral("cut") : QByteArrayLiteral("copy");
    QString text;
    for (const QString& path : paths) {
        const QByteArray url = fileUriOf(path);
        uriList += url + "\r\n";
        gnome += '\n' + url;
        if (!text.isEmpty()) text += QLatin1Char('\n');
        // Text is for people: a name that is not UTF-8 shows U+FFFD there.
        text += displayText(path);
    }
    auto data = std::make_unique<QMimeData>();
    data->setData(kUriList, uriList);
    data->setData(kGnome, gnome);
    if (cut) data->setData(kKdeCut, QByteArrayLiteral("1"));
    data->setText(text);
    return data;
}

std::unique_ptr<QMimeData> makePathMimeData(const QStringList& paths)
{
    QByteArray uriList;
    QStringList text;
    for (const QString& path : paths) {
        uriList += fileUriOf(path) + "\r\n";
        text << displayText(path);
    }
    auto data = std::make_unique<QMimeData>();
    data->setData(kUriList, uriList);
    data->setText(text.join(QLatin1Char('\n')));
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
    files.paths = filesOfUriList(data->data(kUriList));
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

void putPathsOnClipboard(const QStringList& paths)
{
    QGuiApplication::clipboard()->setMimeData(makePathMimeData(paths).release());
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
