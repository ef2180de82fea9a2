// The readers that need large libraries (libheif, libjxl, LibRaw, GMime,
// libemf2svg and Qt's SVG renderer) live in a module, sorrelquint-formats.so,
// opened on the first picture that needs one of them: the program does not
// load those libraries, nor run their initialisers, at start. The module
// calls back into the program through the host table for the few engine
// helpers it shares (the JPEG decoder, text decoding, the safe file layer).
// Both tables are plain function pointers, checked by version and size.
#pragma once

#include "engine/MailParse.h"
#include "engine/PictureFormats.h"

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

#include <cstddef>

namespace sq::formats {

constexpr int kVersion = 1;

struct Host
{
    int version;
    std::size_t size;
    QImage (*decodeJpeg)(const QByteArray& bytes, int denom, bool fast, QSize* full);
    QSize (*jpegSize)(const QByteArray& bytes);
    QString (*decodeText)(const QByteArray& bytes);
    bool (*readAt)(const platform::SafeFile& file, qint64 pos, char* buf, qint64 len);
};

struct Readers
{
    int version;
    std::size_t size;
    DecodedPicture (*decodeHeif)(const QByteArray&, QSize, qint64);
    bool (*heifDerivedItemsBounded)(const QByteArray&, qint64);
    qint64 (*heifDecodeCost)(const platform::SafeFile&, QSize, qint64);
    DecodedPicture (*decodeJxl)(const QByteArray&, QSize, qint64);
    qint64 (*jxlDecodeCost)(const platform::SafeFile&, qint64);
    DecodedPicture (*decodeRaw)(const QByteArray&, QSize, qint64);
    DecodedPicture (*decodeRawFile)(const platform::SafeFile&, QSize, qint64, qint64*);
    qint64 (*rawDecodeCost)(const platform::SafeFile&, QSize, qint64);
    bool (*parseMail)(const QByteArray&, mail::MailParts*);
    QSize (*emfSize)(const QByteArray&, qsizetype*);
    QImage (*renderEmf)(const QByteArray&, QSize, const QColor&);
    QSize (*wmfSize)(const QByteArray&);
    QImage (*renderWmf)(const QByteArray&, QSize, const QColor&);
};

// The module's one exported function: its readers, once it has taken the
// host table (kept for the life of the process); null when the host's
// version or size is not its own.
using EntryPoint = const Readers* (*)(const Host*);
constexpr const char* kEntryName = "sq_formats_readers";

// The module's readers, opened on the first call (any thread); null when
// the module cannot be found or loaded, said once on stderr.
const Readers* readers();

// The file names the module is looked for under, in order.
QStringList modulePaths();

} // namespace sq::formats
