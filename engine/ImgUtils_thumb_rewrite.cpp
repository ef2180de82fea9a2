// The rewrites of the cache file: entries are dropped by copying the rest to
// a file of its own name beside it, renamed over the old one under the
// old one's lock.
#include "engine/ImgUtils_thumb.h"
#include "engine/ImgUtils_thumb_io.h"

#include "platform/NativePath.h"
#include "platform/SafeRead.h"

#include <QSet>

#include <cstdlib>
#include <fcntl.h>
#include <vector>

using namespace sq::thumbio;

namespace {

// The modification time of a picture named by its stored bytes, as Add
// records it; a missing picture gives a value no entry holds.
double dateOfStored(const QByteArray& name)
{
    return TThumb::fileDateOf(sq::platform::pathFromNative(name));
}

} // namespace

bool TThumb::deleteWhere(const QString& path, const std::function<bool(const QByteArray&)>& drop)
{
    // Whatever the outcome, what was gathered for this file is settled now:
    // a Find that meets an old entry again gathers it again.
    const QSet<QByteArray> stale = m_stale.take(path);
    m_repair.remove(path);
    const bool wasActive = m_active;
    setActive(false);
    closeFile();
    struct Restore
    {
        TThumb* t;
        bool on;
        ~Restore()
        {
            if (on) t->setActive(true);
        }
    } restore{this, wasActive};

    if (m_refused.contains(path)) return false;
    const QByteArray native = sq::platform::nativePath(path);
    // The old file stays locked until the new one is renamed over it, so no
    // other process appends to a file about to be replaced; one that waited
    // for the lock finds a new file at the path and opens that.
    int src = -1;
    for (OpenTurns turns; src < 0 && turns.next();) {
        sq::platform::SafeFile file(path);
        if (!file.isOpen()) {
            if (file.result() == sq::platform::OpenResult::NotRegular) refuse(path);
            return false;
        }
        src = file.release();
        if (!lockFile(src, LOCK_EX)) {
            ::close(src);
            return false;
        }
        if (!isAtPath(src, native)) {
            ::close(src);
            src = -1;
        }
    }
    if (src < 0) return false;
    struct Fd
    {
        int fd;
        ~Fd()
        {
            if (fd >= 0) ::close(fd);
        }
    } srcGuard{src};

    const qint64 size = fdSize(src);
    char head[HeaderSize];
    const qint64 got = qMin<qint64>(qMax<qint64>(size, 0), HeaderSize);
    if (size < 0 || !preadAll(src, head, got, 0)) return false;
    if (size < HeaderSize) {
        if (!isCutShortHeader(QByteArray(head, int(got)))) throw EThumbError(path);
        ::unlink(native.constData()); // a cache that never held an entry
        if (path == m_indexFile) resetIndex();
        return false;
    }
    if (getI32(head) != Magic) throw EThumbError(path);
    const qint32 count = getI32(head + 20);

    // Of the entries of a gathered name only the first whose file date is
    // the picture's present one is kept.
    QHash<QByteArray, double> presentDate;
    QSet<QByteArray> keptOnce;
    auto dropStale = [&](const QByteArray& n, const Record& r) {
        if (!stale.contains(n)) return false;
        auto d = presentDate.constFind(n);
        if (d == presentDate.constEnd()) d = presentDate.insert(n, dateOfStored(n));
        if (r.values.fileDate != *d || keptOnce.contains(n)) return true;
        keptOnce.insert(n);
        return false;
    };

    // A first pass over the records alone: most calls have nothing to drop.
    Record rec;
    QByteArray name;
    qint64 p = HeaderSize;
    qint32 seen = 0;
    int drops = 0;
    std::vector<bool> dropped;
    while (seen < count && readEntryAt(src, size, p, rec, name)) {
        const bool d = (drop && drop(name)) || dropStale(name, rec);
        dropped.push_back(d);
        if (d) ++drops;
        p = rec.next;
        ++seen;
    }
    const bool damaged = seen != count || p != size;
    if (drops == 0 && !damaged) return false;
    if (drops == 0 && seen > 0) {
        // Only a tail that is no entry (a hole of zeros, an Add cut short):
        // cut it off in place, through a descriptor for writing to the very
        // file locked, rather than copy the whole file.
        Fd w{::open(native.constData(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK)};
        struct stat a, b;
        if (w.fd >= 0 && ::fstat(w.fd, &b) == 0 && ::fstat(src, &a) == 0 && a.st_dev == b.st_dev &&
            a.st_ino == b.st_ino && ::ftruncate(w.fd, off_t(p)) == 0) {
            if (seen != count) writeHeader(w.fd, seen);
            if (path == m_indexFile && m_indexEnd > p) resetIndex();
            return false;
        }
        // Not writable in place: the rewrite below leaves the tail behind.
    }

    // A name of its own for each rewrite, beside the cache file.
    QByteArray tmp = sq::platform::nativePath(changeExt(path, QStringLiteral(".~tmp"))) + "XXXXXX";
    const int dst = ::mkostemp(tmp.data(), O_CLOEXEC);
    if (dst < 0) return false;
    Fd dstGuard{dst};
    struct stat srcStat;
    if (::fstat(src, &srcStat) == 0) ::fchmod(dst, srcStat.st_mode & 0777);
    QHash<QByteArray, IndexEntry> index;
    qint64 out = HeaderSize;
    qint32 kept = 0;
    p = HeaderSize;
    bool ok = true;
    // Kept entries that lie back to back are copied as one run.
    qint64 runFrom = HeaderSize, runTo = HeaderSize, runOut = HeaderSize;
    auto copyRun = [&] {
        ok = ok && copyRange(src, runFrom, runTo - runFrom, dst, runOut);
        runOut += runTo - runFrom;
    };
    for (qint32 i = 0; i < seen && ok; ++i) {
        ok = readEntryAt(src, size, p, rec, name);
        if (!ok) break;
        if (!dropped[size_t(i)]) {
            const qint64 len = rec.next - p;
            if (p != runTo) {
                copyRun();
                runFrom = p;
            }
            runTo = rec.next;
            if (!name.isEmpty()) // a later twin stands for the name, as in Find
                index.insert(name, IndexEntry{out, rec.values.fileDate, out + len});
            out += len;
            ++kept;
        }
        p = rec.next;
    }
    copyRun();
    if (!ok) {
        ::unlink(tmp.constData());
        return false;
    }
    if (kept == 0) {
        ::unlink(native.constData());
        ::unlink(tmp.constData());
        if (path == m_indexFile) resetIndex();
        return drops > 0;
    }
    if (!writeHeader(dst, kept) || ::fsync(dst) != 0 ||
        ::rename(tmp.constData(), native.constData()) != 0) {
        ::unlink(tmp.constData());
        return false;
    }
    // We wrote the new file ourselves, so its index is known whole.
    m_index = std::move(index);
    m_indexCount = kept;
    m_indexEnd = out;
    m_indexFile = path;
    m_indexId = fileIdOf(dst);
    return drops > 0;
}

bool TThumb::Purge()
{
    QSet<QString> paths = m_repair;
    for (auto it = m_stale.cbegin(); it != m_stale.cend(); ++it)
        paths.insert(it.key());
    bool removed = false;
    for (const QString& path : std::as_const(paths)) {
        try {
            removed = deleteWhere(path, {}) || removed;
        } catch (const EThumbError&) {
            // Replaced by a file that is no cache meanwhile: nothing to drop.
        }
    }
    m_stale.clear();
    m_repair.clear();
    return removed;
}

bool TThumb::Delete(const QString& picture)
{
    const QByteArray name = storedName(picture);
    return deleteWhere(CacheFileName(picture), [&](const QByteArray& n) { return n == name; });
}

bool TThumb::DeleteFiles(const QStringList& list)
{
    if (list.isEmpty()) return false;
    QSet<QByteArray> names;
    for (const QString& s : list)
        names.insert(storedName(s));
    return deleteWhere(CacheFileName(list.first()),
                       [&](const QByteArray& n) { return names.contains(n); });
}

bool TThumb::DeleteList(QStringList& list)
{
    list.sort();
    bool result = false;
    QStringList group;
    QString folder;
    for (const QString& name : std::as_const(list)) {
        const QString f = name.left(name.lastIndexOf(QLatin1Char('/')) + 1);
        if (!group.isEmpty() && f != folder) {
            result = DeleteFiles(group);
            group.clear();
        }
        folder = f;
        group << name;
    }
    if (!group.isEmpty()) result = DeleteFiles(group);
    return result;
}
