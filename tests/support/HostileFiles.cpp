#include "tests/support/HostileFiles.h"

#include "tests/support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace sq::test {

bool makeHostile(Hostile kind, const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray native = path.toUtf8();
    switch (kind) {
    case Hostile::Fifo:
        return ::mkfifo(native.constData(), 0644) == 0;
    case Hostile::DevZero:
        return ::symlink("/dev/zero", native.constData()) == 0;
    case Hostile::Sparse8G:
        return makeSparseFile(path, qint64(8) << 30);
    case Hostile::Folder:
        return QDir().mkpath(path);
    }
    return false;
}

namespace {

void put16(QByteArray& out, int v)
{
    out.append(char((v >> 8) & 0xff));
    out.append(char(v & 0xff));
}

void marker(QByteArray& out, int code, const QByteArray& body)
{
    out.append(char(0xff));
    out.append(char(code));
    put16(out, int(body.size()) + 2);
    out.append(body);
}

QByteArray zeroBlocksJpeg(int width, int height, int components, bool progressive, qint64 dataBytes)
{
    QByteArray out("\xff\xd8", 2);
    QByteArray dqt(1, '\0'); // 8-bit table 0, every step 1
    dqt.append(64, '\1');
    marker(out, 0xdb, dqt);
    QByteArray sof(1, '\x08');
    put16(sof, height);
    put16(sof, width);
    sof.append(char(components));
    for (int c = 1; c <= components; ++c) {
        sof.append(char(c));
        sof.append('\x11'); // 1 x 1 sampling
        sof.append('\0');   // quantisation table 0
    }
    marker(out, progressive ? 0xc2 : 0xc0, sof);
    // Tables 0 with one code each, "0": DC difference category 0 (the DC
    // stays zero) and AC end of block, so zero bits are empty blocks.
    for (const char tableClass : {'\0', '\x10'}) {
        if (progressive && tableClass) break;
        QByteArray dht(1, tableClass);
        dht.append('\1');
        dht.append(15, '\0');
        dht.append('\0');
        marker(out, 0xc4, dht);
    }
    QByteArray sos(1, char(components));
    for (int c = 1; c <= components; ++c) {
        sos.append(char(c));
        sos.append('\0');
    }
    // Progressive: Ss 0, Se 0, the DC scan; baseline: Ss 0, Se 63.
    sos.append(progressive ? QByteArray("\0\0\0", 3) : QByteArray("\0\x3f\0", 3));
    marker(out, 0xda, sos);
    const qint64 bits =
        qint64((width + 7) / 8) * ((height + 7) / 8) * components * (progressive ? 1 : 2);
    const qint64 data = dataBytes < 0 ? (bits + 7) / 8 : dataBytes;
    out.append(qsizetype(data), '\0');
    if (dataBytes != 0) out.append("\xff\xd9", 2);
    return out;
}

} // namespace

QByteArray progressiveJpeg(int width, int height, int components, qint64 dataBytes)
{
    return zeroBlocksJpeg(width, height, components, true, dataBytes);
}

QByteArray baselineJpeg(int width, int height, int components)
{
    return zeroBlocksJpeg(width, height, components, false, -1);
}

QByteArray gifScreenDeclaring(int width, int height, int serial)
{
    QByteArray out("GIF89a");
    const auto le16 = [&out](int v) {
        out.append(char(v & 0xff));
        out.append(char((v >> 8) & 0xff));
    };
    le16(width);
    le16(height);
    out.append(QByteArray("\x80\0\0", 3));           // a global table of two colours
    out.append(QByteArray("\0\0\0\xff\xff\xff", 6)); // black, white
    out.append('\x2c');
    le16(serial % std::max(width, 1));
    le16(0);
    le16(1);
    le16(1);
    out.append('\0');
    out.append(QByteArray("\x02\x02\x44\x01\0", 5)); // one pixel of colour 0
    out.append('\x3b');
    return out;
}

QByteArray pageWithPictures(int count, int width, int height)
{
    QByteArray page("<html><body><p>pictures</p>");
    for (int i = 0; i < count; ++i)
        page += "<img src=\"data:image/gif;base64," +
                gifScreenDeclaring(width, height, i).toBase64() + "\">";
    return page + "</body></html>";
}

QByteArray mailWithPictures(int count, int width, int height)
{
    QByteArray html("<html><body><p>pictures</p>");
    QByteArray parts;
    for (int i = 0; i < count; ++i) {
        const QByteArray id = "p" + QByteArray::number(i) + "@x";
        html += "<img src=\"cid:" + id + "\">";
        parts += "--b\r\nContent-Type: image/gif\r\nContent-Transfer-Encoding: base64\r\n"
                 "Content-ID: <" +
                 id + ">\r\n\r\n" + gifScreenDeclaring(width, height, i).toBase64() + "\r\n";
    }
    html += "</body></html>";
    return "From: a@example.org\r\nSubject: pictures\r\nMIME-Version: 1.0\r\n"
           "Content-Type: multipart/related; boundary=\"b\"\r\n\r\n"
           "--b\r\nContent-Type: text/html\r\n\r\n" +
           html + "\r\n" + parts + "--b--\r\n";
}

bool writeHeadWithHole(const QString& path, const QByteArray& head, qint64 size)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(head) == head.size() && file.resize(size);
}

const char* hostileName(Hostile kind)
{
    switch (kind) {
    case Hostile::Fifo:
        return "FIFO";
    case Hostile::DevZero:
        return "link to /dev/zero";
    case Hostile::Sparse8G:
        return "sparse 8 GiB file";
    case Hostile::Folder:
        return "folder";
    }
    return "?";
}

namespace {

qint64 statusMiB(const char* key)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly)) return -1;
    const QByteArray status = file.readAll();
    const qsizetype at = status.indexOf(key);
    if (at < 0) return -1;
    const qsizetype from = at + qsizetype(std::strlen(key));
    return status.mid(from, status.indexOf('\n', from) - from)
               .trimmed()
               .split(' ')
               .first()
               .toLongLong() /
           1024;
}

} // namespace

qint64 residentMiB()
{
    return statusMiB("VmRSS:");
}

qint64 peakResidentMiB()
{
    return statusMiB("VmHWM:");
}

bool resetPeakResident()
{
    QFile file(QStringLiteral("/proc/self/clear_refs"));
    return file.open(QIODevice::WriteOnly) && file.write("5") == 1;
}

MemoryGuard::MemoryGuard(qint64 mib, const char* what)
{
    const std::string text = what;
    const qint64 start = residentMiB();
    m_thread = std::thread([this, mib, text, start] {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (
            !m_done.wait_for(lock, std::chrono::milliseconds(20), [this] { return m_finished; })) {
            const qint64 now = residentMiB();
            if (start >= 0 && now - start > mib) {
                std::fprintf(stderr, "MEMORY: %s grew by %lld MiB (limit %lld)\n", text.c_str(),
                             (long long)(now - start), (long long)mib);
                std::fflush(stderr);
                std::_Exit(4);
            }
        }
    });
}

MemoryGuard::~MemoryGuard()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_finished = true;
    }
    m_done.notify_all();
    m_thread.join();
}

HangGuard::HangGuard(int seconds, const char* what)
{
    const std::string text = what;
    m_thread = std::thread([this, seconds, text] {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_done.wait_for(lock, std::chrono::seconds(seconds), [this] { return m_finished; })) {
            std::fprintf(stderr, "HANG: %s did not return within %d s\n", text.c_str(), seconds);
            std::fflush(stderr);
            std::_Exit(3);
        }
    });
}

HangGuard::~HangGuard()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_finished = true;
    }
    m_done.notify_all();
    m_thread.join();
}

} // namespace sq::test
