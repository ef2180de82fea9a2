// TThumb, the thumbnail cache file: finished thumbnails (JPEG streams) kept on
// disk with the picture's path, date, size and dimensions. TImgUtil looks a
// picture up before decoding and adds what it made; the browser's refresh drops
// the entries of the files it lists.
//
// Threads: one thread at a time per object (the browser's loader thread
// calls Find and Add, the GUI thread calls DeleteList while no loader runs).
// Several objects, also in other processes, may share one file: every
// operation holds an flock on it (shared for Find, exclusive for Add and the
// rewrites, which keep it until the new file is renamed in), and re-reads the
// header under the lock, so appends of others are kept and indexed.
//
// Entries found out of date are not removed one rewrite each: Find treats
// them as misses at once and gathers their names; Purge (or the next
// deletion) drops them all in one rewrite. Until then a newer entry of the
// same name, appended by Add, is what Find returns. A crash before the
// rewrite loses nothing: the old entry stays a miss and is gathered again.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <exception>
#include <functional>
#include <sys/types.h>

enum TPathType { iptFree, iptApp, iptFolder, iptWin, iptTemp };

// Raised by Delete, DeleteFiles and DeleteList for a file that is not a
// thumbnail cache file (it does not start with the magic 127).
class EThumbError : public std::exception
{
public:
    explicit EThumbError(const QString& cacheFile);
    const QString& message() const { return m_message; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    QString m_message;
    QByteArray m_what;
};

// One entry's values: those of the entry last found, or those the next Add
// writes (flags, both sizes and reserved are the caller's; Add itself sets
// dataLength, created, fileDate and fileSize). Dates are date-time values:
// days since 30 December 1899, local time.
struct TThumbEntry
{
    qint32 flags = 0;
    qint32 dataLength = 0;
    qint32 thumbWidth = 0;
    qint32 thumbHeight = 0;
    double created = 0;
    double fileDate = 0;
    quint32 fileSize = 0;
    qint32 pictureWidth = 0;
    qint32 pictureHeight = 0;
    qint32 reserved = 0;
};

class TThumb
{
public:
    enum TOpenMode { ReadOnly, ReadWrite };

    static constexpr int HeaderSize = 24;
    static constexpr int RecordSize = 56;
    static constexpr qint32 Magic = 127;
    static constexpr qint32 Version = 103;
    static constexpr int AppNameSize = 10;
    // The file always stays at most this long: positions are signed 32-bit.
    static constexpr qint64 MaxFileSize = (qint64(1) << 31) - 1;
    // A longer stored name is damage; no path of this system comes close.
    static constexpr qint32 MaxNameLength = 65536;

    TThumb();
    ~TThumb();
    TThumb(const TThumb&) = delete;
    TThumb& operator=(const TThumb&) = delete;

    // At most AppNameSize bytes of UTF-8, cut before a character that would
    // not fit whole.
    QString AppName() const { return m_appName; }
    void setAppName(const QString& name);
    QString Path() const { return m_path; }
    void setPath(const QString& path) { m_path = path; }
    QString FileName() const { return m_fileName; }
    void setFileName(const QString& name) { m_fileName = name; }
    TPathType PathType() const { return m_pathType; }
    void setPathType(TPathType type) { m_pathType = type; }
    // Keeps the cache file open between operations; clearing it closes it.
    bool Active() const { return m_active; }
    void setActive(bool active);

    // The program's folder ("executable's folder", ends in "/") for iptApp
    // and the program's name that names the file when FileName is empty.
    // Default: the running executable's folder and name.
    QString appFolder() const { return m_appFolder; }
    void setAppFolder(const QString& folder) { m_appFolder = folder; }
    QString exeName() const { return m_exeName; }
    void setExeName(const QString& name) { m_exeName = name; }

    // The device pixel ratio of the thumbnails looked up and added: those
    // made for a ratio other than 1 live in a file of their own, the cache
    // file's name with "@<ratio>x" before its extension ("sorrelquint@2x.dat"),
    // so that a 1x and a 2x thumbnail of one picture never stand in for each
    // other. 1 (the default) is the plain file. Kept to hundredths.
    qreal DeviceScale() const { return m_deviceScale; }
    void setDeviceScale(qreal scale);
    // "" for 1 (or a ratio that is not a positive number), else "@<ratio>x".
    static QString scaleSuffix(qreal scale);

    QString CacheFileName(const QString& picture) const;

    bool OpenCache(const QString& picture, TOpenMode mode);
    void CloseCache();

    // On a hit appends the thumbnail bytes to stream and fills currentEntry().
    // An entry whose file date is not the picture's is never returned; its
    // removal waits for Purge. A damaged file is a miss; nothing is thrown.
    bool Find(const QString& picture, QByteArray& stream);
    // Appends an entry made of currentEntry() and stream; silently nothing
    // when the file cannot be written or would reach MaxFileSize. A file that
    // is not a cache file is moved aside to <name>.bad (replacing an older
    // one) and a fresh cache started; a folder, FIFO or device in its place
    // is reported once on stderr and the cache stays off for this object.
    void Add(const QString& picture, const QByteArray& stream);
    // Each returns whether an entry was removed; the file is rewritten
    // through a temporary copy renamed over it, and the out-of-date entries
    // gathered for it go in the same rewrite. Throw EThumbError.
    bool Delete(const QString& picture);
    bool DeleteFiles(const QStringList& list);
    bool DeleteList(QStringList& list);
    // Drops, in one rewrite per cache file, the entries Finds found out of
    // date or superseded by a newer one, and cuts off a damaged tail that
    // Find met (a hole of zeros, a record cut short) in place. Returns
    // whether an entry was removed; nothing is thrown. Called when the
    // loader has nothing more to do, and at destruction.
    bool Purge();
    // Whether a Purge has work waiting (for tests and benchmarks).
    bool purgePending() const { return !m_stale.isEmpty() || !m_repair.isEmpty(); }

    TThumbEntry& currentEntry() { return m_entry; }
    const TThumbEntry& currentEntry() const { return m_entry; }
    // Entries of the open file the index covers (for tests and benchmarks).
    int indexedEntries() const { return m_indexCount; }

    // Date-time value of a moment (milliseconds since the epoch, UTC).
    static double toDateTime(qint64 msecsSinceEpoch);
    static double now();
    // The picture's modification time, or now() when it does not exist.
    static double fileDateOf(const QString& picture);

    // Identity of one cache file: a rewrite (new file renamed in) changes it,
    // an append does not when the file system records birth times.
    struct FileId
    {
        dev_t dev = 0;
        ino_t ino = 0;
        bool hasBirth = false;
        qint64 birthSec = 0, birthNsec = 0, changeSec = 0, changeNsec = 0;
        bool operator==(const FileId& o) const;
    };

private:
    struct IndexEntry
    {
        qint64 pos;
        double fileDate;
        qint64 next;
    };
    struct Record
    {
        TThumbEntry values;
        qint32 nameLength = 0;
        qint64 next = 0;
    };

    void closeFile();
    bool writeHeader(int fd, qint32 count);
    bool readEntryAt(int fd, qint64 fileSize, qint64 pos, Record& rec, QByteArray& name) const;
    void indexAdd(const QByteArray& name, const Record& rec, qint64 pos);
    void resetIndex();
    // Rewrites the cache file at path without the entries drop names (drop
    // may be empty) and without the out-of-date ones gathered for it.
    bool deleteWhere(const QString& path, const std::function<bool(const QByteArray&)>& drop);
    // A name whose entry at hand is out of date or has a newer twin.
    void gatherStale(const QByteArray& name);
    // A cache path that is not a regular file (a folder, a FIFO, a device):
    // said once on stderr, and left alone for the life of this object.
    void refuse(const QString& path);
    // Renames a file that is not a cache file to <path>.bad.
    static bool moveAside(const QString& path);

    int m_fd = -1;
    qint64 m_fileSize = 0;
    QString m_fdPath;
    qint32 m_magic = 0;
    QString m_appName;
    QByteArray m_appBytes;
    qint32 m_version = 0;
    qint32 m_count = 0;
    QString m_path;
    QString m_fileName;
    TPathType m_pathType = iptFree;
    qreal m_deviceScale = 1;
    bool m_active = false;
    TThumbEntry m_entry;
    // The index covers the first m_indexCount entries of the file, which end
    // at m_indexEnd; each name maps to its last entry among them (an Add
    // after a stale Find appends a newer twin of an entry still in the file).
    QHash<QByteArray, IndexEntry> m_index;
    int m_indexCount = 0;
    qint64 m_indexEnd = HeaderSize;
    QString m_indexFile;
    FileId m_indexId;
    QString m_openFile;
    QString m_appFolder;
    QString m_exeName;
    QSet<QString> m_refused;
    // Per cache file: names with entries to drop at the next rewrite.
    QHash<QString, QSet<QByteArray>> m_stale;
    // Cache files whose tail past the last whole entry is to be cut off.
    QSet<QString> m_repair;
};
