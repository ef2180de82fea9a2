#include "viewers/SavedScreen.h"

#include "engine/TextLines.h"
#include "platform/NativePath.h"
#include "platform/PathOps.h"
#include "platform/SafeRead.h"
#include "platform/ShellFolder.h"
#include "state/SettingsLines.h"

namespace {

constexpr int kRecordLines = 10;
constexpr int kLinesRead = 9; // lines 0..8

bool number(const QString& text, int& value)
{
    return TSettingsLines::strictToInt(text, value);
}

} // namespace

std::optional<TSavedScreen> parseSavedScreen(const QStringList& lines)
{
    if (lines.size() < kLinesRead || lines.at(0).isEmpty()) return std::nullopt;
    TSavedScreen s;
    s.Paths = lines.mid(0, 4);
    if (!number(lines.at(4), s.Layout) || s.Layout < 0 || s.Layout > 2) return std::nullopt;
    if (!number(lines.at(5), s.TopHeight) || !number(lines.at(6), s.Panel4Width) ||
        !number(lines.at(7), s.Panel6Width))
        return std::nullopt;
    const QString& mode = lines.at(8);
    if (!mode.isEmpty()) {
        int code = -1;
        if (!number(mode, code)) return std::nullopt;
        s.SizeCode = code >= 0 && code <= 2 ? code : -1;
    }
    return s;
}

QStringList normalizedRecord(const QStringList& lines)
{
    QStringList record = lines.mid(0, kRecordLines);
    while (record.size() < kRecordLines)
        record << QString();
    return record;
}

QString resolveRecordPath(const QString& dataFolder, const QString& line)
{
    QString path = line;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!path.startsWith(QLatin1Char('/'))) path = sq::platform::joinPath(dataFolder, path);
    path = sq::platform::absolutePathOf(path);
    // The cleaning keeps ".." above the root, which names the root itself:
    // the path must read as the browser's entries do.
    while (path.startsWith(QLatin1String("/../")))
        path.remove(0, 3);
    if (path == QLatin1String("/..")) path = QStringLiteral("/");
    return path;
}

int recordSizeCode(int sizeMode)
{
    switch (sizeMode) {
    case 0:
        return 0;
    case 1:
        return 1;
    case 3:
        return 2;
    default:
        return -1;
    }
}

int sizeModeOfRecordCode(int code)
{
    switch (code) {
    case 0:
        return 0;
    case 1:
        return 1;
    case 2:
        return 3;
    default:
        return -1;
    }
}

bool readSavedScreenFile(const QString& path, QStringList& lines)
{
    sq::platform::OpenResult result;
    const QByteArray bytes = sq::platform::readWholeFile(path, kMaxSavedScreenBytes, &result);
    if (result != sq::platform::OpenResult::Ok) return false;
    lines = sq::decodePathLines(bytes);
    return true;
}

bool writeSavedScreenFile(const QString& path, const QStringList& lines)
{
    return sq::writePathLines(path, lines);
}

QStringList savedScreenFiles(const QString& folder)
{
    QString path = folder;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    QStringList files;
    sq::platform::ShellFolder(path).enumObjects(
        sq::platform::ContNonFolders | sq::platform::ContIncludeHidden,
        [&](sq::platform::EnumItem&& item) {
            const QString name = sq::platform::pathFromNative(item.name);
            if (name.endsWith(QLatin1String(".srq"), Qt::CaseInsensitive)) files << name;
            return true;
        });
    files.sort();
    return files;
}
