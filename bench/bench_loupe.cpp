// One refresh tick of the loupe on the GUI thread (capture, scale, paint) at
// "最大" (256) with "200%", smoothing on and off, median of 200 ticks each,
// against the plain-stretch tick measured in the same run; with the parts of
// a tick on their own, and the capture of the program's own windows used
// where the desktop cannot be read. Needs an X server:
//   tests/support/with-xvfb.sh 1024x768 build-rel/bench/bench_loupe [ticks]
#include "browser/ImgPanel.h"
#include "engine/Stretch.h"
#include "state/SettingsLines.h"
#include "viewers/DesktopGrab.h"
#include "viewers/Unit14.h"
#include "viewers/Unit18.h"
#include "viewers/ViewerHost.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

class Host : public TViewerHost
{
public:
    TSettingsLines& Settings() override { return m_lines; }
    TImgPanel& Browser() override { return m_panel; }
    QString DataFolder() const override { return QDir::tempPath() + QLatin1Char('/'); }

private:
    TSettingsLines m_lines;
    TImgPanel m_panel;
};

// Something to look at: a noisy window over the screen's corner.
class Noise : public QWidget
{
public:
    Noise() : QWidget(nullptr, Qt::FramelessWindowHint), m_image(800, 600, QImage::Format_RGB32)
    {
        QRandomGenerator rng(7);
        for (int y = 0; y < m_image.height(); ++y)
            for (int x = 0; x < m_image.width(); ++x)
                m_image.setPixel(x, y, rng.generate() | 0xff000000u);
        setGeometry(0, 0, 800, 600);
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, m_image); }

private:
    QImage m_image;
};

double medianMicros(int runs, const std::function<void()>& work)
{
    std::vector<double> us;
    us.reserve(std::size_t(runs));
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        us.push_back(t.nsecsElapsed() / 1e3);
    }
    std::sort(us.begin(), us.end());
    return us[us.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        std::fprintf(stderr, "bench_loupe: needs an X server (QT_QPA_PLATFORM=xcb)\n");
        return 77;
    }
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    Noise noise;
    noise.show();
    Host host;
    TForm14 loupe(&host);
    TForm18 bar(&host, &loupe);
    for (QComboBox* box : {bar.ComboBox1, bar.ComboBox2}) {
        box->setCurrentIndex(box == bar.ComboBox1 ? 3 : 2); // "最大", "200%"
        Q_EMIT box->activated(box->currentIndex());
    }
    loupe.move(520, 20);
    bar.ShowLoupe();
    QCursor::setPos(300, 300);
    for (int i = 0; i < 20; ++i)
        app.processEvents();
    const int c = loupe.captureSide(), s = loupe.loupeSide();

    // A tick as the timer runs it, with its paint forced to the screen now.
    const auto tick = [&] {
        loupe.Timer1Timer();
        loupe.repaint();
    };
    loupe.setSmoothing(false);
    const double plain = medianMicros(runs, tick);
    loupe.setSmoothing(true);
    const double smooth = medianMicros(runs, tick);

    const QRect area(300 - 55, 300 - 55, c, c);
    const double grab = medianMicros(runs, [&] { sq::loupe::grabDesktop(area, area.center()); });
    // Where the desktop cannot be read: the program's own windows drawn.
    const double own = medianMicros(runs, [&] { sq::loupe::grabProgramWindows(area, &loupe); });
    const QImage capture = sq::loupe::grabDesktop(area, area.center());
    const double bilinear = medianMicros(runs, [&] { sq::BilinearResize(capture, s, s); });
    const double nearest = medianMicros(runs, [&] { sq::NearestResize(capture, s, s); });
    const double paint = medianMicros(runs, [&] { loupe.repaint(); });

    std::printf(
        "loupe refresh tick, %dx%d capture -> %dx%d, median of %d (reference: plain tick)\n", c, c,
        s, s, runs);
    std::printf("%-34s %12s %10s\n", "measured", "median us", "ratio");
    const struct
    {
        const char* what;
        double us;
    } rows[] = {
        {"tick, smoothing off (reference)", plain}, {"tick, smoothing on", smooth},
        {"  capture (screen grab)", grab},          {"  capture (program's windows)", own},
        {"  nearest-pixel stretch", nearest},
        {"  bilinear resample", bilinear},          {"  paint (repaint to screen)", paint},
    };
    for (const auto& r : rows)
        std::printf("%-34s %12.0f %10.2f\n", r.what, r.us, r.us / plain);
    return 0;
}
