// Opening outside files: only regular files are read, nothing waits on a
// FIFO or a device, every read stays under its cap.
#include "platform/NativePath.h"
#include "platform/SafeRead.h"
#include "tests/support/HostileFiles.h"
#include "tests/support/TestFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstdio>

using namespace sq::platform;
using namespace sq::test;

Q_DECLARE_METATYPE(OpenResult)
Q_DECLARE_METATYPE(Hostile)
Q_DECLARE_METATYPE(PathKind)

class TstSafeRead : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }

private Q_SLOTS:
    void refusesWhatIsNotARegularFile_data()
    {
        QTest::addColumn<Hostile>("kind");
        QTest::addColumn<OpenResult>("result");
        QTest::addColumn<PathKind>("pathKind");
        QTest::newRow("fifo") << Hostile::Fifo << OpenResult::NotRegular << PathKind::Other;
        QTest::newRow("/dev/zero") << Hostile::DevZero << OpenResult::NotRegular << PathKind::Other;
        QTest::newRow("folder") << Hostile::Folder << OpenResult::NotRegular << PathKind::Directory;
        // A regular file, but larger than any cap given below.
        QTest::newRow("sparse 8 GiB")
            << Hostile::Sparse8G << OpenResult::TooLarge << PathKind::Regular;
    }
    void refusesWhatIsNotARegularFile()
    {
        QFETCH(Hostile, kind);
        QFETCH(OpenResult, result);
        QFETCH(PathKind, pathKind);
        const QString p =
            m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()).remove(QLatin1Char('/')));
        QVERIFY(makeHostile(kind, p));
        HangGuard guard(60, hostileName(kind));
        QCOMPARE(sq::platform::pathKind(p), pathKind);
        const SafeFile file(p, qint64(1) << 20);
        QCOMPARE(file.result(), result);
        QVERIFY(!file.isOpen());
        OpenResult r = OpenResult::Ok;
        QVERIFY(readWholeFile(p, qint64(1) << 20, &r).isEmpty());
        QCOMPARE(r, result);
        // The head of a file of any size is read; anything else is refused.
        const QByteArray head = readFileHead(p, 4096, &r);
        if (kind == Hostile::Sparse8G) {
            QCOMPARE(r, OpenResult::Ok);
            QCOMPARE(head, QByteArray(4096, '\0'));
        } else {
            QCOMPARE(r, OpenResult::NotRegular);
            QVERIFY(head.isEmpty());
        }
    }

    void readsAreCapped_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("cap");
        QTest::addColumn<bool>("whole");
        QTest::newRow("empty") << 0 << 10 << true;
        QTest::newRow("under the cap") << 9 << 10 << true;
        QTest::newRow("at the cap") << 10 << 10 << true;
        QTest::newRow("one past") << 11 << 10 << false;
        QTest::newRow("two blocks of reading") << (3 << 20) << (4 << 20) << true;
    }
    void readsAreCapped()
    {
        QFETCH(int, size);
        QFETCH(int, cap);
        QFETCH(bool, whole);
        QByteArray bytes(size, '\0');
        for (int i = 0; i < size; ++i)
            bytes[i] = char(i * 7);
        const QString p = path("capped.bin");
        QVERIFY(writeFile(p, bytes));
        OpenResult r;
        const QByteArray got = readWholeFile(p, cap, &r);
        QCOMPARE(r, whole ? OpenResult::Ok : OpenResult::TooLarge);
        QCOMPARE(got, whole ? bytes : QByteArray());
        QCOMPARE(readFileHead(p, cap, &r), bytes.left(cap));
        QCOMPARE(r, OpenResult::Ok);

        SafeFile file(p);
        QVERIFY(file.isOpen());
        QCOMPARE(file.size(), qint64(size));
        char four[4];
        QCOMPARE(file.readAt(qMax(0, size - 4), four, 4), size >= 4);
        QVERIFY(!file.readAt(size, four, 1));
        const std::unique_ptr<QFile> device = file.device();
        QVERIFY(device);
        QCOMPARE(device->readAll(), bytes);
    }

    void pseudoFilesOfSizeZeroAreReadToTheirEnd()
    {
        // /proc files claim size 0 and hold text: the cap still holds.
        OpenResult r;
        const QByteArray status = readWholeFile(QStringLiteral("/proc/self/status"), 1 << 20, &r);
        QCOMPARE(r, OpenResult::Ok);
        QVERIFY(status.contains("VmRSS"));
        QVERIFY(readWholeFile(QStringLiteral("/proc/self/status"), 16, &r).isEmpty());
        QCOMPARE(r, OpenResult::TooLarge);
    }

    void missingAndNonUtf8Names()
    {
        OpenResult r;
        QVERIFY(readWholeFile(path("none"), 10, &r).isEmpty());
        QCOMPARE(r, OpenResult::Missing);
        QCOMPARE(pathKind(path("none")), PathKind::Missing);
        QCOMPARE(pathKind(QString()), PathKind::Missing);
        // A name that is not UTF-8 is opened by its bytes.
        const QByteArray raw = nativePath(m_dir.path()) + "/bad\xff.jpg";
        {
            FILE* f = std::fopen(raw.constData(), "wb");
            QVERIFY(f);
            std::fputs("bytes", f);
            std::fclose(f);
        }
        const QString carrier = pathFromNative(raw);
        QCOMPARE(pathKind(carrier), PathKind::Regular);
        QCOMPARE(readWholeFile(carrier, 10, &r), QByteArray("bytes"));
        QCOMPARE(r, OpenResult::Ok);
    }

    void createNewAndReadWrite()
    {
        const QString p = path("new.dat");
        SafeFile created(p, SafeFile::NoLimit, SafeFile::CreateNew);
        QVERIFY(created.isOpen());
        SafeFile again(p, SafeFile::NoLimit, SafeFile::CreateNew);
        QVERIFY(!again.isOpen());
        QCOMPARE(again.error(), EEXIST);
        SafeFile rw(p, SafeFile::NoLimit, SafeFile::ReadWrite);
        QVERIFY(rw.isOpen());
        const QString fifo = path("rw.fifo");
        QVERIFY(makeHostile(Hostile::Fifo, fifo));
        HangGuard guard(60, "read-write open of a FIFO");
        QCOMPARE(SafeFile(fifo, SafeFile::NoLimit, SafeFile::ReadWrite).result(),
                 OpenResult::NotRegular);
    }
};

QTEST_GUILESS_MAIN(TstSafeRead)
#include "tst_saferead.moc"
