// The folders, pictures and cache file the thumbnail cache tests share, and
// readers of a cache file's bytes as they lie on disk.
#pragma once

#include "engine/ImgUtils_thumb.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <sys/stat.h>

namespace sq::test {

inline qint32 i32At(const QByteArray& b, int off)
{
    return qFromLittleEndian<qint32>(b.constData() + off);
}

inline double f64At(const QByteArray& b, int off)
{
    return qFromLittleEndian<double>(b.constData() + off);
}

inline QByteArray thumbBytes(int i)
{
    QByteArray b;
    for (int k = 0; k < 20 + 7 * i; ++k)
        b += char('A' + (i * 7 + k) % 26);
    return b;
}

inline ino_t inodeOf(const QString& path)
{
    struct stat st;
    return ::stat(path.toUtf8().constData(), &st) == 0 ? st.st_ino : 0;
}

// A field of /proc/self/io: rchar counts every byte this process's reads
// returned, page cache or not.
inline qint64 procIo(const char* field)
{
    QFile f(QStringLiteral("/proc/self/io"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QByteArray key = QByteArray(field) + ": ";
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key)) return line.mid(key.size()).toLongLong();
    return -1;
}

// The names of the entries of a cache file, walked as they lie on disk;
// empty with ok false when the walk does not end at the file's end or the
// header does not count the records.
inline QStringList namesOnDisk(const QByteArray& f, bool* ok)
{
    QStringList names;
    *ok = false;
    if (f.size() < 24) return names;
    qint64 at = 24;
    while (at + 56 <= f.size()) {
        const qint32 nameLength = i32At(f, int(at)), dataLength = i32At(f, int(at) + 8);
        names << QString::fromUtf8(f.mid(at + 56, nameLength));
        at += 56 + nameLength + dataLength;
    }
    *ok = at == f.size() && i32At(f, 20) == names.size();
    return names;
}

// A temporary folder with a cache folder and twelve pictures p0.jpg to
// p11.jpg of their own sizes; makeFolders() starts it afresh.
class ThumbFolders
{
protected:
    QTemporaryDir m_tmp;
    QString m_thumbDir;
    QString m_picDir;

    QString picture(int i) const { return m_picDir + QStringLiteral("p%1.jpg").arg(i); }
    QString cacheFile() const { return m_thumbDir + QStringLiteral("cache.dat"); }

    // No temporary file of a rewrite is left in the cache folder.
    bool noTempFiles() const
    {
        return QDir(m_thumbDir)
            .entryList({QStringLiteral("*.~tmp*")}, QDir::Files | QDir::Hidden)
            .isEmpty();
    }

    void setUp(TThumb& t) const
    {
        t.setPath(m_thumbDir);
        t.setFileName(QStringLiteral("cache"));
    }

    void addPicture(TThumb& t, int i)
    {
        TThumbEntry& e = t.currentEntry();
        e.thumbWidth = 100 + i;
        e.thumbHeight = 50 + i;
        e.pictureWidth = 4000 + i;
        e.pictureHeight = 3000 + i;
        t.Add(picture(i), thumbBytes(i));
    }

    bool finds(TThumb& t, int i)
    {
        QByteArray got;
        if (!t.Find(picture(i), got)) return false;
        return got == thumbBytes(i) && t.currentEntry().pictureWidth == 4000 + i &&
               t.currentEntry().thumbHeight == 50 + i;
    }

    bool makeFolders()
    {
        QDir(m_tmp.path()).removeRecursively();
        m_thumbDir = m_tmp.path() + QStringLiteral("/thumb/");
        m_picDir = m_tmp.path() + QStringLiteral("/pics/");
        QDir().mkpath(m_thumbDir);
        for (int i = 0; i < 12; ++i)
            if (!writeFile(picture(i), QByteArray(100 + i, 'x'))) return false;
        return true;
    }
};

} // namespace sq::test
