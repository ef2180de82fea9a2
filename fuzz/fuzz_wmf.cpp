// Plain metafile reader and player: the headers, the record walk and every
// record played, onto a small picture so that each run stays quick.
#include "engine/ImgUtils_meta.h"

#include <QGuiApplication>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char arg0[] = "fuzz_wmf";
    static char* argv[] = {arg0, nullptr};
    static QGuiApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QGuiApplication(argc, argv);
    }();
    (void)app;
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const QSize picture = sq::meta::wmfSize(bytes);
    if (picture.isValid())
        (void)sq::meta::renderWmf(bytes, picture.boundedTo(QSize(64, 64)), Qt::white);
    return 0;
}
