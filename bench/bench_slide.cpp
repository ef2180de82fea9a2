// Stepping cost of the slide view: "次へ" (Space) with one, two and four
// screens on 2 MP photographs, from the key press until every screen has
// painted, in the real program's windows (offscreen), per size mode; next to
// the bare JPEG decode (libjpeg, full size, the engine's fast DCT, a new
// picture per file) of the same files and to the engine's load of them for
// the size mode, measured in the same run alternately with the steps. The
// screens load on helper threads too, so the step's processor time is given
// for the GUI thread and for all threads. Then the main window's preview: one
// picture loaded into it per size mode, against its bare decode, for the
// 2 MP photographs and for a second folder (by default the 12 MP ones), and
// the 24 MP ones beside them (../24mp, once made): the time to the first
// picture (LoadFile's return; a large photograph shows a quick one first)
// and to the exact one, with the quick first picture and without it.
// Each layout and mode is stepped with the screens' next pictures prepared
// ahead and without: back to back, and at a human pace (a pause of pace ms
// between steps, the event loop running, the bare decode of the next files
// timed in the pause once the preparing is done). Then the slide timer at
// its fastest (1 s) and the fast-forward timer at its default (0.2 s): how
// long each tick takes and how far apart the ticks come. Then the slide
// view's file list window on a third folder (by default the 12 MP ones):
// its line moved down by the key at a human pace, with the previews of the
// lines beside prepared ahead and without, against the bare decode.
// Usage: bench_slide [corpus folder] [steps] [size mode item: N3, N4, N50, N1]
//        [screens: 1, 2, 4 or a list such as 1,4] [preview folder]
//        [paced steps] [pace ms] [timer ticks] [file list folder]
//        (defaults /tmp/bench/corpus/2mp, 50, all four, 1,2,4, the corpus'
//        sibling 12mp, 12, 600, 10, the corpus' sibling 12mp; "-" for a mode:
//        all; "-" for screens: all, "0": no slide rows; "none" for the
//        preview or file list folder: none; 0 paced steps or ticks: none)
#include "app/Unit1.h"
#include "app/Windows.h"
#include "bench/JpegTiming.h"
#include "engine/ImgBox.h"
#include "state/Globals.h"
#include "viewers/SlideAhead.h"
#include "viewers/Unit11.h"
#include "viewers/Unit2.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QListWidget>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <jpeglib.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

using bench::cpuMs;

using bench::decodeFile;
using bench::median;
using bench::processCpuMs;

struct Result
{
    double maxStepMs = 0;
    double hitShare = 0; // screens shown from a prepared view, of all shown
    double readyShare = 0; // paced: steps whose preparing was done by the pause's end
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
// With paceMs > 0 the steps come paceMs apart, the event loop running in
// between, and the references are timed in the pause once the store is idle.
Result measure(TForm2& slide, int steps, int n, int paceMs = 0)
{
    sq::TViewAhead& store = slide.Ahead().Loader().Store();
    const long long hits0 = store.Hits(), misses0 = store.Misses();
    int ready = 0;
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
        if (paceMs > 0) {
            QElapsedTimer pause;
            pause.start();
            while (pause.elapsed() < paceMs)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (store.Idle()) ++ready;
            while (!store.WaitIdle(5))
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            references(files);
        } else if (i % 2 == 0) {
            references(files);
        }
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
        if (paceMs <= 0 && i % 2 == 1) references(files);
    }

    for (int k = 1; k <= n; ++k)
        slide.Screen(k)->OnPaint = nullptr;
    const double shown = double(store.Hits() - hits0 + store.Misses() - misses0);
    return {*std::max_element(stepTimes.begin(), stepTimes.end()),
            shown > 0 ? (store.Hits() - hits0) / shown : 0,
            steps > 0 ? double(ready) / steps : 0,
            median(stepTimes), median(decodeTimes), median(engineTimes),
            median(cpuStep),   median(cpuDec),      median(cpuAll)};
}

// A timer of intervalMs calling tick as the slide view's timer calls its
// handler, for ticks ticks: each tick's time until every screen has painted,
// and the time from one tick's start to the next one's.
struct TimerResult
{
    double medianTickMs = 0, maxTickMs = 0, medianGapMs = 0, maxGapMs = 0, hitShare = 0;
};

TimerResult measureTimer(TForm2& slide, int n, int intervalMs, int ticks,
                         const std::function<void()>& tick)
{
    sq::TViewAhead& store = slide.Ahead().Loader().Store();
    const long long hits0 = store.Hits(), misses0 = store.Misses();
    std::vector<double> tickTimes, gaps;
    QElapsedTimer run;
    run.start();
    double last = -1;
    int left = ticks;
    QTimer timer;
    timer.setInterval(intervalMs);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const double start = run.nsecsElapsed() / 1e6;
        if (last >= 0) gaps.push_back(start - last);
        last = start;
        tick();
        tickTimes.push_back(run.nsecsElapsed() / 1e6 - start);
        if (--left == 0) timer.stop();
    });
    timer.start();
    while (timer.isActive())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    (void)n;
    const double shown = double(store.Hits() - hits0 + store.Misses() - misses0);
    return {median(tickTimes), *std::max_element(tickTimes.begin(), tickTimes.end()),
            gaps.empty() ? 0 : median(gaps),
            gaps.empty() ? 0 : *std::max_element(gaps.begin(), gaps.end()),
            shown > 0 ? (store.Hits() - hits0) / shown : 0};
}

// The preview of the main window: each file of the folder (at most
// `steps`) loaded into it as a click on its entry would load it, against
// the bare decode of the same file just before or after, alternately.
struct PreviewResult
{
    double loadMs = 0, decodeMs = 0, loadCpuMs = 0, allCpuMs = 0, decodeCpuMs = 0;
    double exactMs = 0; // until the exact view is up (a quick one shown first)
    QSize picture;
};

PreviewResult measurePreview(TImgBox& box, const QStringList& files, int steps)
{
    std::vector<double> load, decode, cpuLoad, cpuAll, cpuDec, exact;
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
        while (box.ExactPending())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        exact.push_back(clock.nsecsElapsed() / 1e6);
        cpuLoad.push_back(cpuMs() - c0);
        cpuAll.push_back(processCpuMs() - all0);
        if (i % 2 == 1) reference(f);
    }
    return {median(load),   median(decode), median(cpuLoad),
            median(cpuAll), median(cpuDec), median(exact),
            QSize(box.ImgUtil()->ImageWidth(), box.ImgUtil()->ImageHeight())};
}

// The file list window's line moved down by the key steps times, paceMs
// apart (the event loop running in between), from its first line: each
// step's time from the key press until the preview has painted its exact
// picture, against the bare decode of the line's file timed in the pause
// once the store is idle.
struct ListResult
{
    double stepMs = 0, maxStepMs = 0, decodeMs = 0, hitShare = 0, readyShare = 0;
};

ListResult measureFileList(int steps, int paceMs)
{
    TForm11& w = *Form11;
    QListWidget* list = w.ListBox1;
    TImgBox& box = *w.ImgBox1;
    sq::TViewAhead& store = w.Ahead().Store();
    bool exactPainted = false;
    box.OnPaint = [&](TCustomImgBox* b, QPainter&) {
        if (!b->ExactPending()) exactPainted = true;
    };
    // Waited for at most 5 s: a preview that never paints is counted, not
    // waited for forever.
    int unpainted = 0;
    auto shown = [&] {
        QElapsedTimer waited;
        waited.start();
        while (!exactPainted && waited.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!exactPainted) ++unpainted;
    };
    exactPainted = false;
    list->setCurrentRow(0);
    shown();
    const long long hits0 = store.Hits(), misses0 = store.Misses();
    std::vector<double> stepTimes, decodeTimes;
    int ready = 0;
    QElapsedTimer clock;
    steps = std::min(steps, list->count() - 1);
    for (int i = 0; i < steps; ++i) {
        QElapsedTimer pause;
        pause.start();
        while (pause.elapsed() < paceMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (store.Idle()) ++ready;
        while (!store.WaitIdle(5))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        clock.start();
        decodeFile(w.FileOf(list->currentRow() + 1));
        decodeTimes.push_back(clock.nsecsElapsed() / 1e6);
        exactPainted = false;
        clock.start();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        QApplication::sendEvent(list, &press);
        shown();
        stepTimes.push_back(clock.nsecsElapsed() / 1e6);
    }
    box.OnPaint = nullptr;
    if (unpainted) std::printf("  (%d of %d steps never painted their exact picture)\n", unpainted, steps + 1);
    const double loads = double(store.Hits() - hits0 + store.Misses() - misses0);
    return {median(stepTimes),
            stepTimes.empty() ? 0 : *std::max_element(stepTimes.begin(), stepTimes.end()),
            median(decodeTimes), loads > 0 ? (store.Hits() - hits0) / loads : 0,
            steps > 0 ? double(ready) / steps : 0};
}

void printLoad()
{
    double load[3] = {};
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf %lf %lf", &load[0], &load[1], &load[2]) != 3) load[0] = -1;
        std::fclose(f);
    }
    std::printf("load average %.2f %.2f %.2f, %d processors\n", load[0], load[1], load[2],
                QThread::idealThreadCount());
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
    const int pacedSteps = argc > 6 ? std::max(0, atoi(argv[6])) : 12;
    const int paceMs = argc > 7 ? std::max(500, atoi(argv[7])) : 600;
    const int timerTicks = argc > 8 ? std::max(0, atoi(argv[8])) : 10;
    const QString listFolder = argc > 9
                                   ? QString::fromLocal8Bit(argv[9])
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
    printLoad();
    const QSize photo(Form2->ImgBox1->ImgUtil()->ImageWidth(), Form2->ImgBox1->ImgUtil()->ImageHeight());
    std::printf("Slide view, %d photographs of %dx%d (%s), median of %d steps (paced: %d steps,"
                " %d ms apart)\n",
                files, photo.width(), photo.height(), qPrintable(corpus), steps, pacedSteps, paceMs);
    std::printf(
        "wall clock, ms: step | bare decode xN | engine load xN | step/decode | step/engine;"
        " processor time, ms: step, GUI thread | bare decode xN | step/decode | step, all"
        " threads | step all/decode; max step, ms; screens from prepared views; paced: steps"
        " prepared by the pause's end\n");
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
            for (const bool ahead : {false, true}) {
                slide.Ahead().Loader().setEnabled(ahead);
                for (const int pace : {0, paceMs}) {
                    const int count = pace > 0 ? pacedSteps : steps;
                    if (count == 0) continue;
                    measure(slide, pace > 0 ? 1 : 4, n, pace); // warm-up
                    const Result r = measure(slide, count, n, pace);
                    std::printf("%7.2f %7.2f %7.2f %6.2f %6.2f | %7.2f %7.2f %6.2f %7.2f %6.2f |"
                                " %7.2f %4.0f%% %4.0f%%   %d, %s, %s, %s\n",
                                r.stepMs, r.decodeMs, r.engineMs, r.stepMs / r.decodeMs,
                                r.stepMs / r.engineMs, r.stepCpuMs, r.decodeCpuMs,
                                r.stepCpuMs / r.decodeCpuMs, r.stepAllCpuMs,
                                r.stepAllCpuMs / r.decodeCpuMs, r.maxStepMs, r.hitShare * 100,
                                r.readyShare * 100, n, mode.name,
                                ahead ? "ahead" : "no ahead",
                                pace > 0 ? "human pace" : "back to back");
                }
            }
            if (timerTicks == 0) continue;
            std::printf("  timers: tick median | tick max | interval median | interval max, ms;"
                        " screens from prepared views\n");
            for (const bool ahead : {false, true}) {
                slide.Ahead().Loader().setEnabled(ahead);
                // The play timer at its fastest, "1": forward play's ticks.
                slide.State().PlayDirection = ipdForward;
                slide.Ahead().Stepped(true);
                const TimerResult play =
                    measureTimer(slide, n, 1000, timerTicks, [&] { slide.Timer1Timer(); });
                std::printf("  %7.2f %7.2f %7.2f %7.2f %4.0f%%   play, 1 s, %s\n",
                            play.medianTickMs, play.maxTickMs, play.medianGapMs, play.maxGapMs,
                            play.hitShare * 100, ahead ? "ahead" : "no ahead");
                // Fast forward at its default "0.2".
                slide.State().FastMode = ifmForward;
                const TimerResult fast =
                    measureTimer(slide, n, 200, timerTicks, [&] { slide.Timer2Timer(); });
                slide.State().FastMode = ifmNone;
                std::printf("  %7.2f %7.2f %7.2f %7.2f %4.0f%%   fast forward, 0.2 s, %s\n",
                            fast.medianTickMs, fast.maxTickMs, fast.medianGapMs, fast.maxGapMs,
                            fast.hitShare * 100, ahead ? "ahead" : "no ahead");
            }
            slide.Ahead().Loader().setEnabled(true);
        }
        sq::TViewAhead& store = slide.Ahead().Loader().Store();
        std::printf("  prepared views held at most: %d of %d, %.1f MB of %.1f MB\n",
                    store.PeakEntries(), store.MaxEntries(), store.PeakBytes() / 1e6,
                    store.MaxBytes() / 1e6);
    }
    slide.close();

    if (listFolder != QLatin1String("none") && pacedSteps > 0) {
        const QString folder = QDir::cleanPath(QDir(listFolder).absolutePath());
        Form1->ListFolder(folder);
        while (Form1->ImgPanel1->CurrentFolderPath() != folder ||
               Form1->ImgPanel1->Items().Count() == 0)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        while (Form1->ImgPanel1->Loader().Busy())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        Form1->ImgPanel1->MoveFocus(0, {}, false);
        Form1->ImgPanel1DblClick();
        slide.FileList1Click();
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        printLoad();
        std::printf("File list window, preview %dx%d, %d photographs (%s), key down %d ms apart,"
                    " median of %d steps\n",
                    Form11->ImgBox1->width(), Form11->ImgBox1->height(),
                    Form11->ListBox1->count(), qPrintable(folder), paceMs, pacedSteps);
        std::printf("wall clock, ms: step (key to exact picture painted) | max step | bare decode |"
                    " step/decode; previews from prepared views; steps prepared by the pause's"
                    " end\n");
        for (const bool ahead : {false, true}) {
            Form11->Ahead().setEnabled(ahead);
            measureFileList(1, paceMs); // warm-up
            const ListResult r = measureFileList(pacedSteps, paceMs);
            std::printf("%7.2f %7.2f %7.2f %6.2f | %4.0f%% %4.0f%%   %s\n", r.stepMs, r.maxStepMs,
                        r.decodeMs, r.stepMs / r.decodeMs, r.hitShare * 100, r.readyShare * 100,
                        ahead ? "ahead" : "no ahead");
        }
        Form11->Ahead().setEnabled(true);
        Form11->hide();
        slide.close();
    }

    if (previewFolder != QLatin1String("none")) {
        TImgBox& box = *Form1->ImgBox1;
        std::printf("Preview of the main window, %dx%d, one picture a click, median of at most"
                    " %d files\n",
                    box.width(), box.height(), steps);
        std::printf("wall clock, ms: load (first picture) | exact picture up | bare decode |"
                    " load/decode | exact/decode; processor time, ms: load and exact, GUI thread |"
                    " all threads | bare decode | all/decode\n");
        const char* const previewModes[] = {"そのまま", "画像をウインドウに合わせる",
                                            "大きい画像だけ", "縦横比を保持しない"};
        // The 24 MP photographs too, where they are.
        const QString large =
            QDir::cleanPath(QDir(corpus).absoluteFilePath(QStringLiteral("../24mp")));
        QStringList folders{corpus, QDir::cleanPath(QDir(previewFolder).absolutePath())};
        if (QFileInfo::exists(large + QStringLiteral("/.done")) && !folders.contains(large))
            folders << large;
        for (const QString& folder : folders) {
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
                // With the quick first picture (the program's way) and without.
                for (const bool quick : {true, false}) {
                    box.setQuickFirst(quick);
                    measurePreview(box, paths.mid(0, 2), 2); // warm-up
                    const PreviewResult r = measurePreview(box, paths, steps);
                    std::printf("%7.2f %7.2f %7.2f %6.2f %6.2f | %7.2f %7.2f %7.2f %6.2f   %dx%d, %s%s\n",
                                r.loadMs, r.exactMs, r.decodeMs, r.loadMs / r.decodeMs,
                                r.exactMs / r.decodeMs, r.loadCpuMs, r.allCpuMs, r.decodeCpuMs,
                                r.allCpuMs / r.decodeCpuMs, r.picture.width(), r.picture.height(),
                                previewModes[mode], quick ? "" : " (no quick picture)");
                }
                box.setQuickFirst(true);
            }
        }
    }
    Form1->close();
    sq::app::destroyWindows();
    return 0;
}
