// Stepping cost of the slide view: "次へ" (Space) with one, two and four
// screens on 2 MP photographs, from the key press until every screen has
// painted, in the real program's windows (offscreen), per size mode; next to
// the bare JPEG decode (libjpeg, full size, the engine's fast DCT, a new
// picture per file) of the same files and to the engine's load of them for
// the size mode, measured in the same run alternately with the steps. The
// screens load on helper threads too, so the step's processor time is given
// for the GUI thread and for all threads. Then the main window's preview: one
// picture loaded into it per size mode, against its bare decode, for the
// 2 MP photographs and for a second folder (by default the 12 MP ones).
// Usage: bench_slide [corpus folder] [steps] [size mode item: N3, N4, N50, N1]
//        [screens: 1, 2, 4 or a list such as 1,4] [preview folder]
//        (defaults /tmp/bench/corpus/2mp, 50, all four, 1,2,4, the corpus'
//        sibling 12mp; "-" for a mode or screens: all; "none": no preview)
#include "app/Unit1.h"
#include "app/Windows.h"
#include "engine/ImgBox.h"
#include "state/Globals.h"
#include "viewers/Unit2.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QThread>

#include <cstdio>
#include <ctime>
#include <jpeglib.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Reads and decodes one JPEG into a new 24-bit picture at full size, as a
// viewer must make a new picture for each file; false on failure.
bool decodeFile(const QString& path)
{
    std::unique_ptr<unsigned char[]> pixels; // not cleared: libjpeg writes every byte
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = file.readAll();
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.constData()), bytes.size());
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    cinfo.dct_method = JDCT_IFAST;
    jpeg_start_decompress(&cinfo);
    const size_t stride = size_t(cinfo.output_width) * 3;
    pixels.reset(new unsigned char[stride * cinfo.output_height]);
    while (cinfo.output_scanline < cinfo.output_height) {
        unsigned char* row = pixels.get() + stride * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

double cpuMs(clockid_t clock = CLOCK_THREAD_CPUTIME_ID)
{
    timespec ts;
    clock_gettime(clock, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// Every thread of the process: the screens load on helper threads too.
double processCpuMs()
{
    return cpuMs(CLOCK_PROCESS_CPUTIME_ID);
}

struct Result
{
    double stepMs = 0;
    double decodeMs = 0;
    double engineMs = 0;
    double stepCpuMs = 0; // the GUI thread's processor time
    double decodeCpuMs = 0;
    double stepAllCpuMs = 0; // all threads' processor time
};

// The files the screens show after the next step: each of the n screens
// moves on by n.
QStringList nextFiles(TForm2& slide, int n)
{
    TPanelItems& items = Form1->ImgPanel1->Items();
    QStringList files;
    for (int k = 1; k <= n; ++k)
        files << items.Items((slide.State().Screen(k) + n) % items.Count())->ParseName();
    return files;
}

// Space pressed steps times. The bare decode and the engine's load (decode
// and the size mode's fitting, at each screen's size) of the same four files
// are timed with each step, before it on even steps and after it on odd
// ones, so that neither side always finds the files warm.
Result measure(TForm2& slide, int steps, int n)
{
    int painted = 0;
    for (int k = 1; k <= n; ++k)
        slide.Screen(k)->OnPaint = [&painted](TCustomImgBox*, QPainter&) { ++painted; };
    std::vector<double> stepTimes, decodeTimes, engineTimes, cpuStep, cpuDec, cpuAll;
    TImgUtil engine;
    engine.setGetType(slide.ImgBox1->ImgUtil()->GetType());
    QElapsedTimer clock;
    auto references = [&](const QStringList& files) {
        clock.start();
        const double c0 = cpuMs();
        for (const QString& f : files)
            decodeFile(f);
        decodeTimes.push_back(clock.nsecsElapsed() / 1e6);
        cpuDec.push_back(cpuMs() - c0);
        clock.start();
        for (int k = 1; k <= n; ++k)
            engine.LoadImage(files.at(k - 1), slide.Screen(k)->width(), slide.Screen(k)->height());
        engineTimes.push_back(clock.nsecsElapsed() / 1e6);
    };
    for (int i = 0; i < steps; ++i) {
        const QStringList files = nextFiles(slide, n);
        if (i % 2 == 0) references(files);
        painted = 0;
        clock.start();
        const double c0 = cpuMs();
        const double all0 = processCpuMs();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
        QApplication::sendEvent(&slide, &press);
        while (painted < n)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        // What the step left for the event loop (the info line's repaint).
        QCoreApplication::processEvents();
        stepTimes.push_back(clock.nsecsElapsed() / 1e6);
        cpuStep.push_back(cpuMs() - c0);
        cpuAll.push_back(processCpuMs() - all0);
        if (i % 2 == 1) references(files);
    }

    for (int k = 1; k <= n; ++k)
        slide.Screen(k)->OnPaint = nullptr;
    return {median(stepTimes), median(decodeTimes), median(engineTimes),
            median(cpuStep),   median(cpuDec),      median(cpuAll)};
}

// The preview of the main window: each file of the folder (at most
// `steps`) loaded into it as a click on its entry would load it, against
// the bare decode of the same file just before or after, alternately.
struct PreviewResult
{
    double loadMs = 0, decodeMs = 0, loadCpuMs = 0, allCpuMs = 0, decodeCpuMs = 0;
    QSize picture;
};

PreviewResult measurePreview(TImgBox& box, const QStringList& files, int steps)
{
    std::vector<double> load, decode, cpuLoad, cpuAll, cpuDec;
    QElapsedTimer clock;
    auto reference = [&](const QString& f) {
        clock.start();
        const double c0 = cpuMs();
        decodeFile(f);
        decode.push_back(clock.nsecsElapsed() / 1e6);
        cpuDec.push_back(cpuMs() - c0);
    };
    const int n = std::min<int>(steps, int(files.size()));
    for (int i = 0; i < n; ++i) {
        const QString& f = files.at(i);
        if (i % 2 == 0) reference(f);
        clock.start();
        const double c0 = cpuMs(), all0 = processCpuMs();
        box.LoadFile(f);
        load.push_back(clock.nsecsElapsed() / 1e6);
        cpuLoad.push_back(cpuMs() - c0);
        cpuAll.push_back(processCpuMs() - all0);
        if (i % 2 == 1) reference(f);
    }
    return {median(load),    median(decode),
            median(cpuLoad), median(cpuAll),
            median(cpuDec),  QSize(box.ImgUtil()->ImageWidth(), box.ImgUtil()->ImageHeight())};
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString corpus =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/bench/corpus/2mp");
    const int steps = argc > 2 ? std::max(1, atoi(argv[2])) : 50;
    const QString only =
        argc > 3 && QByteArray(argv[3]) != "-" ? QString::fromLatin1(argv[3]) : QString();
    std::vector<int> layouts;
    if (argc > 4 && QByteArray(argv[4]) != "-") {
        for (const QString& part : QString::fromLatin1(argv[4]).split(QLatin1Char(',')))
            if (const int n = part.toInt(); n == 1 || n == 2 || n == 4) layouts.push_back(n);
    } else {
        layouts = {1, 2, 4};
    }
    const QString previewFolder = argc > 5
                                      ? QString::fromLocal8Bit(argv[5])
                                      : QDir(corpus).absoluteFilePath(QStringLiteral("../12mp"));
    if (QDir(corpus).entryList({QStringLiteral("*.jpg")}, QDir::Files).size() < 8) {
        std::fprintf(stderr, "no corpus in %s (make it with make_corpus.sh)\n", qPrintable(corpus));
        return 2;
    }
    // A data folder of its own, kept, so the browser's thumbnails come from
    // its cache after the first run.
    const QString data = QStringLiteral("/tmp/sq-bench-slide/");
    QDir().mkpath(data);
    sq::app::createWindows(data, corpus);
    Form1->show();
    while (Form1->ImgPanel1->CurrentFolderPath() != QDir(corpus).absolutePath() ||
           Form1->ImgPanel1->Items().Count() == 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    // The browser's thumbnails are made before anything is timed.
    while (Form1->ImgPanel1->Loader().Busy())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);

    TForm2& slide = *Form2;
    Form1->ImgPanel1->MoveFocus(0, {}, false);
    Form1->ImgPanel1DblClick();
    slide.showNormal();
    slide.resize(1600, 1000);
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

    const int files = Form1->ImgPanel1->Items().Count();
    double load[3] = {};
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf %lf %lf", &load[0], &load[1], &load[2]) != 3) load[0] = -1;
        std::fclose(f);
    }
    std::printf("load average %.2f %.2f %.2f, %d processors\n", load[0], load[1], load[2],
                QThread::idealThreadCount());
    std::printf("Slide view, %d photographs of 1600x1200 (%s), median of %d steps\n", files,
                qPrintable(corpus), steps);
    std::printf(
        "wall clock, ms: step | bare decode xN | engine load xN | step/decode | step/engine;"
        " processor time, ms: step, GUI thread | bare decode xN | step/decode | step, all"
        " threads | step all/decode\n");
    const struct
    {
        const char* item;
        const char* name;
    } modes[] = {
        {"N3", "そのまま (full decode)"},
        {"N4", "画像をウインドウに合わせる"},
        {"N50", "大きい画像だけ (settings default)"},
        {"N1", "縦横比を保持しない"},
    };
    for (const int n : layouts) {
        slide.LayoutCommand(n == 1 ? 0 : n == 2 ? 1 : 2);
        for (int i = 0; i < 10; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::printf("%d screen%s of %dx%d\n", n, n == 1 ? "" : "s", slide.ImgBox1->width(),
                    slide.ImgBox1->height());
        for (const auto& mode : modes) {
            if (!only.isEmpty() && only != QLatin1String(mode.item)) continue;
            slide.menuItem(QString::fromLatin1(mode.item))->trigger();
            measure(slide, 4, n); // warm-up
            const Result r = measure(slide, steps, n);
            std::printf("%7.2f %7.2f %7.2f %6.2f %6.2f | %7.2f %7.2f %6.2f %7.2f %6.2f   %d, %s\n",
                        r.stepMs, r.decodeMs, r.engineMs, r.stepMs / r.decodeMs,
                        r.stepMs / r.engineMs, r.stepCpuMs, r.decodeCpuMs,
                        r.stepCpuMs / r.decodeCpuMs, r.stepAllCpuMs, r.stepAllCpuMs / r.decodeCpuMs,
                        n, mode.name);
        }
    }
    slide.close();

    if (previewFolder != QLatin1String("none")) {
        TImgBox& box = *Form1->ImgBox1;
        std::printf("Preview of the main window, %dx%d, one picture a click, median of at most"
                    " %d files\n",
                    box.width(), box.height(), steps);
        std::printf("wall clock, ms: load | bare decode | load/decode; processor time, ms: load,"
                    " GUI thread | load, all threads | bare decode | load all/decode\n");
        const char* const previewModes[] = {"そのまま", "画像をウインドウに合わせる",
                                            "大きい画像だけ", "縦横比を保持しない"};
        for (const QString& folder : {corpus, previewFolder}) {
            QStringList paths;
            const QDir dir(folder);
            for (const QString& name :
                 dir.entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name))
                paths << dir.absoluteFilePath(name);
            if (paths.size() < 2) {
                std::printf("(no pictures in %s)\n", qPrintable(folder));
                continue;
            }
            for (int mode = 0; mode < 4; ++mode) {
                if (!only.isEmpty() && only != QLatin1String(modes[mode].item)) continue;
                Form1->DispModeCommand(mode);
                measurePreview(box, paths.mid(0, 2), 2); // warm-up
                const PreviewResult r = measurePreview(box, paths, steps);
                std::printf("%7.2f %7.2f %6.2f | %7.2f %7.2f %7.2f %6.2f   %dx%d, %s\n", r.loadMs,
                            r.decodeMs, r.loadMs / r.decodeMs, r.loadCpuMs, r.allCpuMs,
                            r.decodeCpuMs, r.allCpuMs / r.decodeCpuMs, r.picture.width(),
                            r.picture.height(), previewModes[mode]);
            }
        }
    }
    Form1->close();
    sq::app::destroyWindows();
    return 0;
}
