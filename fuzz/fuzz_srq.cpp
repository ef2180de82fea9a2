// Saved-screen files: any bytes decode to lines and give a record or none; a
// record the parser takes has a layout 0..2 and a size code -1..2, its paths
// resolve to clean absolute paths, and saving it again is stable: the record
// read back from its own file parses the same after a second save.
#include "engine/TextLines.h"
#include "viewers/SavedScreen.h"

#include <cstdlib>

namespace {

QStringList saveAndRead(const QStringList& lines)
{
    return sq::decodePathLines(sq::joinPathLinesCrLf(normalizedRecord(lines)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList lines = sq::decodePathLines(bytes);
    if (normalizedRecord(lines).size() != 10) std::abort();
    const std::optional<TSavedScreen> saved = parseSavedScreen(lines);
    if (!saved) return 0;
    if (saved->Layout < 0 || saved->Layout > 2) std::abort();
    if (saved->SizeCode < -1 || saved->SizeCode > 2) std::abort();
    if (saved->Paths.size() != 4) std::abort();
    for (const QString& path : saved->Paths) {
        const QString full = resolveRecordPath(QStringLiteral("/data/"), path);
        if (!full.startsWith(QLatin1Char('/')) || full.contains(QLatin1String("//")) ||
            full.contains(QLatin1String("/../")) || full.endsWith(QLatin1String("/..")) ||
            full.contains(QLatin1Char('\\')))
            std::abort();
    }
    const QStringList once = saveAndRead(lines);
    const QStringList twice = saveAndRead(once);
    if (once != twice) std::abort();
    const std::optional<TSavedScreen> again = parseSavedScreen(once);
    if (!again || again->Layout != saved->Layout || again->SizeCode != saved->SizeCode ||
        again->TopHeight != saved->TopHeight || again->Panel4Width != saved->Panel4Width ||
        again->Panel6Width != saved->Panel6Width)
        std::abort();
    return 0;
}
