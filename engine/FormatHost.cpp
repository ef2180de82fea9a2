// The module's side of the formats module: its one exported entry point,
// and the engine helpers the readers share, forwarded to the program that
// opened the module through its host table.

#include "engine/FormatModule.h"
#include "engine/ImgUtils.h"
#include "engine/ImgUtils_meta.h"
#include "engine/TextLines.h"
#include "platform/SafeRead.h"

namespace {

const sq::formats::Host* g_host = nullptr;

const sq::formats::Readers kReaders{
    sq::formats::kVersion, sizeof(sq::formats::Readers),
    &sq::decodeHeif,       &sq::heifDerivedItemsBounded,
    &sq::heifDecodeCost,   &sq::decodeJxl,
    &sq::jxlDecodeCost,    &sq::decodeRaw,
    &sq::decodeRawFile,    &sq::rawDecodeCost,
    &sq::mail::parseMail,  &sq::meta::emfSize,
    &sq::meta::renderEmf,  &sq::meta::wmfSize,
    &sq::meta::renderWmf};

} // namespace

extern "C" __attribute__((visibility("default"))) const sq::formats::Readers*
sq_formats_readers(const sq::formats::Host* host)
{
    if (!host || host->version != sq::formats::kVersion || host->size != sizeof(*host))
        return nullptr;
    g_host = host;
    return &kReaders;
}

namespace sq {

QImage decodeJpeg(const QByteArray& bytes, int denom, bool fast, QSize* full)
{
    return g_host->decodeJpeg(bytes, denom, fast, full);
}

QSize jpegSize(const QByteArray& bytes)
{
    return g_host->jpegSize(bytes);
}

QString decodeText(const QByteArray& bytes)
{
    return g_host->decodeText(bytes);
}

bool platform::SafeFile::readAt(qint64 pos, char* buf, qint64 len) const
{
    return g_host->readAt(*this, pos, buf, len);
}

} // namespace sq
