#include "engine/ImgUtils_thumb.h"
#include "engine/ImgUtils_thumb_io.h"

#include "platform/NativePath.h"
#include "platform/SafeRead.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

QString withSlash(QString folder)
{
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    return folder;
}

// An environment folder with its trailing "/" removed, then one added.
QString envFolder(const QString& value)
{
    QString v = value;
    while (v.endsWith(QLatin1Char('/')))
        v.chop(1);
    return v + QLatin1Char('/');
}

quint32 fileSizeOf(const QString& picture)
{
    struct stat st;
    if (picture.isEmpty() || ::stat(sq::platform::nativePath(picture).constData(), &st) != 0)
        return 0;
    return quint32(quint64(st.st_size));
}

} // namespace

using namespace sq::thumbio;

EThumbError::EThumbError(const QString& cacheFile)
    : m_message(cacheFile + QStringLiteral("\r\n  はサムネイルファイルではありません")),
      m_what(m_message.toUtf8())
{
}

bool TThumb::FileId::operator==(const FileId& o) const
{
    if (dev != o.dev || ino != o.ino || hasBirth != o.hasBirth) return false;
    if (hasBirth) return birthSec == o.birthSec && birthNsec == o.birthNsec;
    return changeSec == o.changeSec && changeNsec == o.changeNsec;
}

TThumb::TThumb()
{
    m_entry.created = m_entry.fileDate = now();
    const QFileInfo exe(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")));
    m_appFolder = withSlash(exe.absolutePath());
    m_exeName = exe.fileName();
    m_appBytes = QByteArray(AppNameSize, '\0');
}

TThumb::~TThumb()
{
    try {
        Purge();
    } catch (...) {
        // Out of memory while closing: the entries stay for the next run.
    }
    setActive(false);
    closeFile();
}

void TThumb::setAppName(const QString& name)
{
    if (name == m_appName) return;
    QByteArray bytes = name.toUtf8();
    if (bytes.size() > AppNameSize) {
        int cut = AppNameSize;
        // Never keep the first bytes of a character whose rest does not fit.
        while (cut > 0 && (quint8(bytes[cut]) & 0xc0) == 0x80)
            --cut;
        bytes.truncate(cut);
    }
    m_appName = QString::fromUtf8(bytes);
    m_appBytes = bytes.leftJustified(AppNameSize, '\0', true);
}

void TThumb::setActive(bool active)
{
    if (active) {
        m_active = true;
        return;
    }
    m_active = false;
    m_openFile.clear();
    closeFile();
}

QString TThumb::CacheFileName(const QString& picture) const
{
    QString folder;
    switch (m_pathType) {
    case iptFree:
        folder = withSlash(m_path);
        break;
    case iptApp:
        folder = withSlash(m_appFolder);
        break;
    case iptFolder:
        folder = picture.left(picture.lastIndexOf(QLatin1Char('/')) + 1);
        break;
    case iptWin: {
        const QString xdg = qEnvironmentVariable("XDG_CACHE_HOME");
        folder = xdg.startsWith(QLatin1Char('/'))
                     ? envFolder(xdg)
                     : envFolder(qEnvironmentVariable("HOME") + QStringLiteral("/.cache"));
        break;
    }
    case iptTemp: {
        QString temp = qEnvironmentVariable("TEMP");
        if (temp.isEmpty()) temp = qEnvironmentVariable("TMPDIR");
        if (temp.isEmpty()) temp = QStringLiteral("/tmp");
        folder = envFolder(temp);
        break;
    }
    }
    QString file;
    if (!m_fileName.isEmpty()) {
        file = m_fileName;
        const int slash = file.lastIndexOf(QLatin1Char('/'));
        if (file.lastIndexOf(QLatin1Char('.')) <= slash) file += QStringLiteral(".dat");
    } else {
        file = changeExt(m_exeName, QStringLiteral(".dat"));
    }
    const QString suffix = scaleSuffix(m_deviceScale);
    if (!suffix.isEmpty()) {
        const int slash = file.lastIndexOf(QLatin1Char('/'));
        int dot = file.lastIndexOf(QLatin1Char('.'));
        if (dot <= slash) dot = int(file.size());
        file.insert(dot, suffix);
    }
    return folder + file;
}

QString TThumb::scaleSuffix(qreal scale)
{
    if (!(scale > 0) || scale > 1000) return {};
    const qint64 hundredths = qRound64(scale * 100);
    if (hundredths == 100 || hundredths <= 0) return {};
    return QLatin1Char('@') + QString::number(double(hundredths) / 100, 'g', 8) + QLatin1Char('x');
}

void TThumb::setDeviceScale(qreal scale)
{
    m_deviceScale = scaleSuffix(scale).isEmpty() ? 1 : qRound64(scale * 100) / 100.0;
}

void TThumb::closeFile()
{
    if (m_fd >= 0) ::close(m_fd); // drops the lock with it
    m_fd = -1;
    m_fdPath.clear();
}

void TThumb::CloseCache()
{
    if (m_fd >= 0) ::flock(m_fd, LOCK_UN);
    if (!m_active) closeFile();
}

bool TThumb::writeHeader(int fd, qint32 count)
{
    char h[HeaderSize] = {};
    putI32(h, Magic);
    putI32(h + 4, Version);
    std::memcpy(h + 8, m_appBytes.constData(), AppNameSize);
    putI32(h + 20, count);
    return pwriteAll(fd, h, HeaderSize, 0);
}

void TThumb::resetIndex()
{
    m_index.clear();
    m_indexCount = 0;
    m_indexEnd = HeaderSize;
}

void TThumb::refuse(const QString& path)
{
    if (m_refused.contains(path)) return;
    m_refused.insert(path);
    qWarning("sorrelquint: the thumbnail cache %s is not a regular file; thumbnails are not cached "
             "until the program is started again",
             qPrintable(sq::platform::displayText(path)));
}

bool TThumb::moveAside(const QString& path)
{
    const QByteArray native = sq::platform::nativePath(path);
    const QByteArray bad = sq::platform::nativePath(path + QStringLiteral(".bad"));
    return ::rename(native.constData(), bad.constData()) == 0;
}

bool TThumb::OpenCache(const QString& picture, TOpenMode mode)
{
    const QString path = CacheFileName(picture);
    if (m_refused.contains(path)) return false;
    if (m_active) {
        if (!(m_fd >= 0 && path == m_openFile)) {
            setActive(false);
            setActive(true);
        }
        mode = ReadWrite; // an active cache is kept open for writing
    } else {
        closeFile();
    }
    const QByteArray native = sq::platform::nativePath(path);
    using sq::platform::SafeFile;

    // Each turn opens (or creates) the file and locks it; a turn is taken
    // again when another process renamed a new file over it meanwhile, or
    // when a damaged file was moved aside.
    for (OpenTurns turns; turns.next();) {
        if (m_fd < 0) {
            SafeFile file(path, SafeFile::NoLimit,
                          mode == ReadOnly ? SafeFile::ReadOnly : SafeFile::ReadWrite);
            if (!file.isOpen() && file.result() == sq::platform::OpenResult::Missing &&
                mode == ReadWrite) {
                file = SafeFile(path, SafeFile::NoLimit, SafeFile::CreateNew);
                if (!file.isOpen() && file.error() == EEXIST)
                    continue; // another process made it first
            }
            if (!file.isOpen()) {
                if (file.result() == sq::platform::OpenResult::NotRegular) refuse(path);
                return false;
            }
            m_fd = file.release();
            m_fdPath = path;
        }
        if (!lockFile(m_fd, mode == ReadOnly ? LOCK_SH : LOCK_EX)) {
            closeFile();
            return false;
        }
        if (!isAtPath(m_fd, native)) {
            closeFile();
            continue;
        }
        // Under the lock: the size and the header as they are now, whatever
        // other processes wrote before.
        const qint64 size = fdSize(m_fd);
        char head[HeaderSize];
        const qint64 got = qMin<qint64>(qMax<qint64>(size, 0), HeaderSize);
        if (size < 0 || !preadAll(m_fd, head, got, 0)) {
            CloseCache();
            closeFile();
            return false;
        }
        const bool foreign = size < HeaderSize ? !isCutShortHeader(QByteArray(head, int(got)))
                                               : getI32(head) != Magic;
        if (foreign) {
            // Not a cache file: a miss for a lookup; a writer moves it aside
            // (keeping it as <name>.bad) and starts a fresh cache.
            if (mode == ReadOnly || !moveAside(path)) {
                CloseCache();
                closeFile();
                return false;
            }
            closeFile();
            continue;
        }
        if (size < HeaderSize) {
            if (mode == ReadOnly) {
                CloseCache();
                closeFile();
                return false;
            }
            // A new file, or one whose creation was cut short: start it afresh.
            if (::ftruncate(m_fd, 0) != 0 || !writeHeader(m_fd, 0)) {
                CloseCache();
                closeFile();
                return false;
            }
            m_fileSize = HeaderSize;
            m_magic = Magic;
            m_version = Version;
            m_count = 0;
            resetIndex();
            m_indexFile = path;
            m_indexId = fileIdOf(m_fd);
        } else {
            m_fileSize = size;
            m_magic = getI32(head);
            m_version = getI32(head + 4);
            m_count = getI32(head + 20);
            const FileId id = fileIdOf(m_fd);
            // A file cut shorter than the index reaches (a damaged tail cut
            // off by a writer of another version) is indexed afresh.
            if (path != m_indexFile || !(id == m_indexId) || m_indexEnd > size) {
                resetIndex();
                m_indexFile = path;
                m_indexId = id;
            }
        }
        if (m_active) m_openFile = path;
        return true;
    }
    closeFile();
    return false;
}

bool TThumb::readEntryAt(int fd, qint64 fileSize, qint64 pos, Record& rec, QByteArray& name) const
{
    if (pos < HeaderSize || pos > fileSize - RecordSize) return false;
    // One read usually brings the record and the whole name.
    char buf[RecordSize + 512];
    const qint64 want = qMin<qint64>(sizeof buf, fileSize - pos);
    if (!preadAll(fd, buf, want, pos)) return false;
    // A record of zeros is never written (its creation date would be 0): it
    // is the start of a zero-filled tail, a hole left by a crash. It ends
    // the file here, so no reader walks the hole 56 bytes at a time.
    if (std::all_of(buf, buf + RecordSize, [](char c) { return c == 0; })) return false;
    const qint32 nameLength = getI32(buf);
    const qint32 dataLength = getI32(buf + 8);
    if (nameLength < 0 || nameLength > MaxNameLength || dataLength < 0) return false;
    const qint64 next = pos + RecordSize + qint64(nameLength) + qint64(dataLength);
    if (next > fileSize) return false;
    TThumbEntry& v = rec.values;
    v.flags = getI32(buf + 4);
    v.dataLength = dataLength;
    v.thumbWidth = getI32(buf + 12);
    v.thumbHeight = getI32(buf + 16);
    v.created = getF64(buf + 24);
    v.fileDate = getF64(buf + 32);
    v.fileSize = quint32(getI32(buf + 40));
    v.pictureWidth = getI32(buf + 44);
    v.pictureHeight = getI32(buf + 48);
    v.reserved = getI32(buf + 52);
    rec.nameLength = nameLength;
    rec.next = next;
    if (RecordSize + nameLength <= want) {
        name = QByteArray(buf + RecordSize, nameLength);
    } else {
        name.resize(nameLength);
        if (!preadAll(fd, name.data(), nameLength, pos + RecordSize)) return false;
    }
    // No path holds a NUL: such a name is a record torn off into zeros.
    return !name.contains('\0');
}

void TThumb::indexAdd(const QByteArray& name, const Record& rec, qint64 pos)
{
    // Only the entry at the index's end may join it, so that the index stays
    // a prefix of the file.
    if (pos != m_indexEnd) return;
    if (!name.isEmpty()) {
        // A later entry of a name stands for it; the earlier one is dropped
        // at the next rewrite.
        const auto it = m_index.find(name);
        if (it != m_index.end()) {
            gatherStale(name);
            *it = IndexEntry{pos, rec.values.fileDate, rec.next};
        } else {
            m_index.insert(name, IndexEntry{pos, rec.values.fileDate, rec.next});
        }
    }
    ++m_indexCount;
    m_indexEnd = rec.next;
}

void TThumb::gatherStale(const QByteArray& name)
{
    m_stale[m_indexFile].insert(name);
}

bool TThumb::Find(const QString& picture, QByteArray& stream)
{
    if (!OpenCache(picture, ReadOnly)) return false;
    const QByteArray name = storedName(picture);
    const double date = fileDateOf(picture);
    // An out-of-date entry is a miss unless a newer one of the name follows
    // it; either way its removal waits for the next rewrite.
    bool stale = false;
    auto miss = [&] {
        if (stale) gatherStale(name);
        CloseCache();
        return false;
    };

    Record rec;
    QByteArray found;
    qint64 pos = -1;
    const auto it = m_index.constFind(name);
    if (it != m_index.constEnd()) {
        if (it->fileDate != date)
            stale = true;
        else if (readEntryAt(m_fd, m_fileSize, it->pos, rec, found) && found == name)
            pos = it->pos;
        else
            resetIndex(); // out of step with the file: trust only a fresh scan
    }
    if (pos < 0) {
        if (m_indexCount > 0 && m_indexCount >= m_count) {
            // The whole file is indexed: no newer entry of the name. Bytes
            // after the entries counted are cut off by the next Purge.
            if (m_indexEnd < m_fileSize) m_repair.insert(m_indexFile);
            return miss();
        }
        qint64 p = m_indexEnd;
        for (;;) {
            if (p >= m_fileSize) return miss();
            if (!readEntryAt(m_fd, m_fileSize, p, rec, found)) {
                // Bytes that are no entry: a writer cuts them off, and so
                // does the next Purge.
                m_repair.insert(m_indexFile);
                return miss();
            }
            indexAdd(found, rec, p);
            if (found == name) {
                if (rec.values.fileDate == date) {
                    pos = p;
                    break;
                }
                stale = true;
            }
            p = rec.next;
        }
    }
    QByteArray data(rec.values.dataLength, Qt::Uninitialized);
    if (!preadAll(m_fd, data.data(), data.size(), pos + RecordSize + rec.nameLength)) {
        CloseCache();
        return false;
    }
    if (stale) gatherStale(name);
    stream.append(data);
    m_entry = rec.values;
    CloseCache();
    return true;
}

void TThumb::Add(const QString& picture, const QByteArray& stream)
{
    const QByteArray name = storedName(picture);
    if (name.size() > MaxNameLength || !OpenCache(picture, ReadWrite)) return;
    struct Closer
    {
        TThumb* t;
        ~Closer() { t->CloseCache(); }
    } closer{this};

    // Walk the entries the header counts, so that whatever follows them (an
    // Add cut short) is cut off and the new entry is reachable.
    if (m_indexCount > m_count) resetIndex();
    qint64 end = m_indexEnd;
    qint32 valid = m_indexCount;
    Record rec;
    QByteArray found;
    while (valid < m_count && readEntryAt(m_fd, m_fileSize, end, rec, found)) {
        indexAdd(found, rec, end);
        end = rec.next;
        ++valid;
    }
    if (end < m_fileSize) {
        if (::ftruncate(m_fd, off_t(end)) != 0) return;
        m_fileSize = end;
    }
    m_repair.remove(m_indexFile); // whatever followed the entries is gone
    const qint64 total = end + RecordSize + name.size() + stream.size();
    if (total > MaxFileSize) return;

    m_entry.dataLength = qint32(stream.size());
    m_entry.created = now();
    m_entry.fileDate = fileDateOf(picture);
    m_entry.fileSize = fileSizeOf(picture);
    QByteArray buf(RecordSize, '\0');
    char* r = buf.data();
    putI32(r, qint32(name.size()));
    putI32(r + 4, m_entry.flags);
    putI32(r + 8, m_entry.dataLength);
    putI32(r + 12, m_entry.thumbWidth);
    putI32(r + 16, m_entry.thumbHeight);
    putF64(r + 24, m_entry.created);
    putF64(r + 32, m_entry.fileDate);
    putI32(r + 40, qint32(m_entry.fileSize));
    putI32(r + 44, m_entry.pictureWidth);
    putI32(r + 48, m_entry.pictureHeight);
    putI32(r + 52, m_entry.reserved);
    buf += name;
    buf += stream;
    // The entry first, the count after it: a cut anywhere leaves the header
    // counting only whole entries.
    if (!pwriteAll(m_fd, buf.constData(), buf.size(), end) || !writeHeader(m_fd, valid + 1)) {
        if (::ftruncate(m_fd, off_t(end)) == 0) m_fileSize = end;
        if (valid != m_count) writeHeader(m_fd, valid);
        m_count = valid;
        return;
    }
    m_fileSize = total;
    m_count = valid + 1;
    rec.values = m_entry;
    rec.nameLength = qint32(name.size());
    rec.next = total;
    indexAdd(name, rec, end);
    m_indexId = fileIdOf(m_fd); // our own write; the index is still right
}

double TThumb::toDateTime(qint64 msecsSinceEpoch)
{
    const QDateTime t = QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch, Qt::LocalTime);
    const qint64 local = msecsSinceEpoch + qint64(t.offsetFromUtc()) * 1000;
    return double(local) / 86400000.0 + 25569.0;
}

double TThumb::now()
{
    return toDateTime(QDateTime::currentMSecsSinceEpoch());
}

double TThumb::fileDateOf(const QString& picture)
{
    struct stat st;
    if (picture.isEmpty() || ::stat(sq::platform::nativePath(picture).constData(), &st) != 0)
        return now();
    return toDateTime(qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000);
}
