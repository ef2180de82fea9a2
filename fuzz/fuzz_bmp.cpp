// BMP bytes as sqimg reads them: the header check of the pixel rows, then
// the BMP reader.
#include "engine/BmpFile.h"

#include <QImageReader>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QImageReader::setAllocationLimit(64);
    QImage image;
    (void)sq::decodeBmp(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), image);
    return 0;
}
