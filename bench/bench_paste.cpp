// Pastes 2,000 photographs (about 286 KB each) into a folder, three ways,
// with `cp -r` of the same files timed beside them in the same run:
//   copyInto      the file operations alone, a prompt that shows nothing;
//   paste, shown  the program's own path: the files on the clipboard, a
//                 shown browser on the target folder (its change watch on,
//                 its first page of thumbnails loaded), the dialog prompt
//                 with its progress window, FileVerbs::paste;
//   main window   Ctrl+V on the main window's browser showing the target;
// and reports for the shown paste how often the browser read the folder
// while the paste ran and after it, and how many of the cells that showed a
// picture before were blank right after the browser's re-read.
// Every run starts with the target gone and the disk flushed (not timed).
// Wall time and CPU time (user + system, children included) are both given:
// on a loaded machine the CPU time is the steadier measure.
// Usage: bench_paste [files] [runs] [work folder]
//        (defaults 2000, 5, /var/tmp/sq-bench-paste)
#include "app/Unit1.h"
#include "browser/ImgPanel.h"
#include "platform/FileClipboard.h"
#include "platform/FileOps.h"
#include "platform/FileOpsDialogs.h"
#include "platform/FileVerbs.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageWriter>
#include <QKeyEvent>
#include <QProcess>
#include <QRandomGenerator>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace pw = sq::platform;

namespace {

constexpr int kDistinct = 40;   // distinct pictures; the rest are copies
constexpr int kPictureW = 1024; // with the noise below, about 286 KB a file
constexpr int kPictureH = 768;
constexpr int kNoise = 19;
constexpr int kTargetHolds = 40; // pictures the shown target folder has already

QImage picture(int seed)
{
    QImage img(kPictureW, kPictureH, QImage::Format_RGB888);
    QRandomGenerator rng(quint32(seed) * 7919u + 1u);
    for (int y = 0; y < kPictureH; ++y) {
        uchar* line = img.scanLine(y);
        for (int x = 0; x < kPictureW; ++x) {
            const int noise = int(rng.bounded(kNoise));
            line[3 * x] = uchar((x * 255 / kPictureW + seed * 37 + noise) & 255);
            line[3 * x + 1] = uchar((y * 255 / kPictureH + noise) & 255);
            line[3 * x + 2] = uchar(((x + y) / 8 + seed * 11 + noise) & 255);
        }
    }
    return img;
}

bool makeSources(const QString& folder, int count, qint64& bytes)
{
    QDir(folder).removeRecursively();
    if (!QDir().mkpath(folder)) return false;
    std::vector<QByteArray> data;
    for (int i = 0; i < kDistinct; ++i) {
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setQuality(90);
        if (!writer.write(picture(i))) return false;
        data.push_back(jpeg);
    }
    bytes = 0;
    for (int i = 0; i < count; ++i) {
        QFile f(QStringLiteral("%1/photo_%2.jpg").arg(folder).arg(i, 5, 10, QLatin1Char('0')));
        const QByteArray& d = data[size_t(i % kDistinct)];
        if (!f.open(QIODevice::WriteOnly) || f.write(d) != d.size()) return false;
        bytes += d.size();
    }
    return true;
}

QStringList filesIn(const QString& folder)
{
    QStringList paths;
    for (const QString& name : QDir(folder).entryList(QDir::Files, QDir::Name))
        paths << folder + QLatin1Char('/') + name;
    return paths;
}

void flushDisk()
{
    ::sync();
}

void removeTree(const QString& folder)
{
    QDir(folder).removeRecursively();
    flushDisk();
}

// CPU seconds (user + system) of this process and its waited-for children.
double cpuSeconds()
{
    double s = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage u{};
        ::getrusage(who, &u);
        s += double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
             double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    }
    return s;
}

struct Timing
{
    double wall = 0;
    double cpu = 0;
};

struct Clock
{
    QElapsedTimer t;
    double cpu0 = cpuSeconds();
    Clock() { t.start(); }
    Timing stop() const { return {t.nsecsElapsed() / 1e9, cpuSeconds() - cpu0}; }
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

Timing timeCp(const QString& src, const QString& dst)
{
    removeTree(dst);
    const Clock c;
    QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-r"), src, dst});
    const Timing s = c.stop();
    flushDisk();
    return s;
}

Timing timeCopyInto(const QStringList& files, const QString& dst)
{
    removeTree(dst);
    QDir().mkpath(dst);
    pw::QuietFileOpPrompt prompt;
    const Clock c;
    const pw::FileOpResult r = pw::copyInto(files, dst, prompt);
    const Timing s = c.stop();
    if (!r.ok() || r.done != files.size()) std::fprintf(stderr, "copyInto failed\n");
    flushDisk();
    return s;
}

struct Shown
{
    Timing time;
    int readsDuring = 0;
    int readsAfter = 0;
    int blankAfterRead = 0; // cells that had a picture before, blank after the first re-read
    int pictured = 0;       // cells that had a picture before the paste
};

// Waits until the browser has loaded every cell of its first page.
void waitLoaded(TImgPanel& panel, int cells)
{
    QElapsedTimer t;
    t.start();
    for (;;) {
        int loaded = 0;
        for (int i = 0; i < std::min(cells, panel.Items().Count()); ++i)
            loaded += panel.Items().Items(i)->CellBitmap.isNull() ? 0 : 1;
        if (loaded >= std::min(cells, panel.Items().Count()) || t.elapsed() > 60000) return;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        ::usleep(2000);
    }
}

Shown timeShownPaste(const QStringList& files, const QString& work, const QString& dst)
{
    removeTree(dst);
    QDir().mkpath(dst);
    // The target shows pictures of its own already.
    for (int i = 0; i < kTargetHolds; ++i)
        QFile::copy(files[i],
                    QStringLiteral("%1/own_%2.jpg").arg(dst).arg(i, 3, 10, QLatin1Char('0')));
    flushDisk();

    TImgPanel panel;
    panel.ViewImage().SetImageWidth(80);
    panel.ViewImage().SetImageHeight(60);
    panel.ViewImage().ImgUtil().setGetType(igtStretch);
    panel.ViewImage().ImgUtil().setAutoThumb(false);
    panel.ShellChangeNotification().SetNotifyTypes({intFileName, intDirName, intAttributes, intSize,
                                                    intLastWrite, intLastAccess, intCreation});
    pw::DialogFileOpPrompt prompt(&panel);
    pw::FileVerbs verbs(prompt);
    TFileVerbsAdapter adapter(verbs);
    panel.SetShellVerbs(&adapter);
    panel.resize(1000, 700);
    panel.show();
    panel.OpenFolder(dst);
    const int page = std::min(panel.VisibleCells(), kTargetHolds);
    waitLoaded(panel, page);

    Shown r;
    std::vector<QByteArray> pictured;
    for (int i = 0; i < page; ++i) {
        TPanelItem* item = panel.Items().Items(i);
        if (!item->CellBitmap.isNull()) pictured.push_back(item->ItemId());
    }
    r.pictured = int(pictured.size());
    bool paste = true;
    bool firstRead = true;
    panel.OnChangeFolder = [&](TCustomImgPanel*) {
        (paste ? r.readsDuring : r.readsAfter)++;
        if (!firstRead) return;
        firstRead = false;
        for (int i = 0; i < panel.Items().Count(); ++i) {
            TPanelItem* item = panel.Items().Items(i);
            if (std::find(pictured.begin(), pictured.end(), item->ItemId()) != pictured.end() &&
                item->CellBitmap.isNull())
                ++r.blankAfterRead;
        }
    };
    pw::putFilesOnClipboard(files, false);
    const Clock c;
    const bool ok = verbs.paste(dst);
    r.time = c.stop();
    paste = false;
    if (!ok) std::fprintf(stderr, "paste failed\n");
    // The change watch's last report, read after the paste.
    QElapsedTimer quiet;
    quiet.start();
    while (quiet.elapsed() < 1500) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        ::usleep(5000);
    }
    panel.OnChangeFolder = nullptr;
    (void)work;
    flushDisk();
    return r;
}

// The same paste in the main window (Ctrl+V on its browser), with its file
// list, status bar and thumbnail cache as they are at a first start.
Timing timeMainWindowPaste(const QStringList& files, const QString& work, const QString& dst)
{
    removeTree(dst);
    QDir().mkpath(dst);
    for (int i = 0; i < kTargetHolds; ++i)
        QFile::copy(files[i],
                    QStringLiteral("%1/own_%2.jpg").arg(dst).arg(i, 3, 10, QLatin1Char('0')));
    const QString data = work + QStringLiteral("/data/");
    QDir(data).removeRecursively();
    QDir().mkpath(data);
    flushDisk();
    TForm1 form(data, dst, 1280, 1024);
    form.show();
    waitLoaded(*form.ImgPanel1, std::min(form.ImgPanel1->VisibleCells(), kTargetHolds));
    pw::putFilesOnClipboard(files, false);
    form.ImgPanel1->setFocus();
    QKeyEvent key(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier);
    const Clock c;
    QApplication::sendEvent(form.ImgPanel1, &key);
    const Timing s = c.stop();
    QElapsedTimer quiet;
    quiet.start();
    while (quiet.elapsed() < 1500) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        ::usleep(5000);
    }
    form.hide();
    flushDisk();
    return s;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int count = args.size() > 1 ? args[1].toInt() : 2000;
    const int runs = args.size() > 2 ? args[2].toInt() : 5;
    const QString work = args.size() > 3 ? args[3] : QStringLiteral("/var/tmp/sq-bench-paste");
    const QString src = work + QStringLiteral("/src");
    const QString dst = work + QStringLiteral("/dst");
    qint64 bytes = 0;
    if (count <= kTargetHolds || !makeSources(src, count, bytes)) {
        std::fprintf(stderr, "cannot make %d source files in %s\n", count, qPrintable(src));
        return 1;
    }
    flushDisk();
    const QStringList files = filesIn(src);

    std::vector<Timing> cp, ops, shown, mainWindow;
    std::vector<Shown> details;
    timeCp(src, dst); // warms the page cache for every method alike
    for (int i = 0; i < runs; ++i) {
        cp.push_back(timeCp(src, dst));
        ops.push_back(timeCopyInto(files, dst));
        const Shown s = timeShownPaste(files, work, dst);
        shown.push_back(s.time);
        details.push_back(s);
        mainWindow.push_back(timeMainWindowPaste(files, work, dst));
    }
    removeTree(work);

    const auto wall = [](const std::vector<Timing>& v) {
        std::vector<double> w;
        for (const Timing& t : v)
            w.push_back(t.wall);
        return median(w);
    };
    const auto cpu = [](const std::vector<Timing>& v) {
        std::vector<double> w;
        for (const Timing& t : v)
            w.push_back(t.cpu);
        return median(w);
    };
    const double ref = wall(cp), refCpu = cpu(cp);
    const double mb = double(bytes) / (1024.0 * 1024.0);
    std::printf("paste of %d files, %.0f MB (%.0f KB each), median of %d runs, in %s\n", count, mb,
                double(bytes) / count / 1024.0, runs, qPrintable(work));
    std::printf("%-30s %6s %6s %9s %8s %9s %8s\n", "method", "files", "MB", "wall s", "x cp -r",
                "CPU s", "x cp -r");
    const auto row = [&](const char* what, const std::vector<Timing>& v) {
        std::printf("%-30s %6d %6.0f %9.3f %8.2f %9.3f %8.2f\n", what, count, mb, wall(v),
                    ref > 0 ? wall(v) / ref : 0, cpu(v), refCpu > 0 ? cpu(v) / refCpu : 0);
    };
    row("cp -r (reference)", cp);
    row("copyInto, no window", ops);
    row("paste into the shown folder", shown);
    row("paste in the main window", mainWindow);
    std::printf("\nshown paste, per run: browser reads during / after the paste, cells blank "
                "after the first re-read of those that showed a picture\n");
    for (const Shown& s : details)
        std::printf("  %.3f s   reads %d / %d   blank %d of %d\n", s.time.wall, s.readsDuring,
                    s.readsAfter, s.blankAfterRead, s.pictured);
    return 0;
}
