// The colour test's helper under X:
//   write FOLDER      p3.jpg (Display P3 profile) and plain.jpg (none), the
//                     same flat colours; prints the colour each should show
//   display           puts a profile on the root window's _ICC_PROFILE and
//                     checks that the platform reads back those bytes, then
//                     removes it and checks that none is read
//   mean SHOT X Y W H the mean colour of a region of a screenshot, "r g b"
#include "platform/DisplayProfile.h"
#include "platform/XAtom.h"
#include "tests/support/ColourFiles.h"
#include "tests/support/TestFiles.h"

#include <QGuiApplication>
#include <QImage>

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace sq::test;

namespace {

// A pale orange inside both gamuts: P3 and sRGB show it visibly apart.
const QRgb kColour = qRgb(210, 120, 60);

bool setRootProperty(const QByteArray* bytes)
{
    int screen = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screen);
    if (!c || xcb_connection_has_error(c)) return false;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const xcb_atom_t atom = sq::platform::internAtom(c, "_ICC_PROFILE");
    if (atom == XCB_ATOM_NONE) return false;
    const xcb_void_cookie_t done =
        bytes ? xcb_change_property_checked(c, XCB_PROP_MODE_REPLACE, root, atom,
                                            XCB_ATOM_CARDINAL, 8, uint32_t(bytes->size()),
                                            bytes->constData())
              : xcb_delete_property_checked(c, root, atom);
    xcb_generic_error_t* error = xcb_request_check(c, done);
    const bool ok = error == nullptr;
    std::free(error);
    xcb_disconnect(c);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "write") == 0) {
        QImage image(400, 300, QImage::Format_RGB888);
        image.fill(kColour);
        const QString folder = QString::fromLocal8Bit(argv[2]);
        if (!writeFile(folder + QStringLiteral("/p3.jpg"),
                       jpegWithIcc(image, iccProfileOf(displayP3Space()))) ||
            !writeFile(folder + QStringLiteral("/plain.jpg"), jpegWithIcc(image, QByteArray())))
            return 1;
        const QRgb p3 = convertColour(kColour, displayP3Space(), srgbSpace());
        std::printf("%d %d %d %d %d %d\n", qRed(p3), qGreen(p3), qBlue(p3), qRed(kColour),
                    qGreen(kColour), qBlue(kColour));
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "display") == 0) {
        const QByteArray adobe = iccProfileOf(adobeRgbSpace());
        if (!setRootProperty(&adobe)) return 1;
        const QByteArray read = sq::platform::x11IccProfile(nullptr);
        if (read != adobe) {
            std::printf("read %lld bytes, set %lld\n", (long long)read.size(),
                        (long long)adobe.size());
            return 1;
        }
        if (!setRootProperty(nullptr) || !sq::platform::x11IccProfile(nullptr).isEmpty()) return 1;
        // A display that cannot be reached: none, no wait.
        if (!sq::platform::x11IccProfile(":987654").isEmpty()) return 1;
        std::printf("ok: _ICC_PROFILE read back (%lld bytes), then none\n",
                    (long long)adobe.size());
        return 0;
    }
    if (argc >= 7 && std::strcmp(argv[1], "mean") == 0) {
        const QImage shot =
            QImage(QString::fromLocal8Bit(argv[2])).convertToFormat(QImage::Format_RGB888);
        const int x0 = std::atoi(argv[3]), y0 = std::atoi(argv[4]), w = std::atoi(argv[5]),
                  h = std::atoi(argv[6]);
        long long sum[3] = {0, 0, 0}, n = 0;
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x) {
                if (!shot.valid(x, y)) continue;
                const QRgb p = shot.pixel(x, y);
                sum[0] += qRed(p);
                sum[1] += qGreen(p);
                sum[2] += qBlue(p);
                ++n;
            }
        if (n == 0) return 1;
        std::printf("%lld %lld %lld\n", (sum[0] + n / 2) / n, (sum[1] + n / 2) / n,
                    (sum[2] + n / 2) / n);
        return 0;
    }
    std::fprintf(stderr, "usage: xvfb_colour_tool write FOLDER | display | mean SHOT X Y W H\n");
    return 2;
}
