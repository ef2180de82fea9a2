// File names as the file system stores them. On Linux a name is any byte
// string; most are UTF-8, some are not. Paths travel through the program as
// QString carriers that map the bytes losslessly: valid UTF-8 decodes as
// usual and every byte of an invalid sequence becomes the lone surrogate
// U+DC00 + byte (U+DC80..U+DCFF), so nativePath(pathFromNative(b)) == b for
// every b. Every file-system call takes nativePath() of its carrier; only
// displayText() of it is ever shown. Pure functions, any thread.
#pragma once

#include <QByteArray>
#include <QString>

namespace sq::platform {

// The carrier of a name or path given in the file system's bytes.
QString pathFromNative(const QByteArray& bytes);
QString pathFromNative(const char* bytes, qsizetype size);

// The file system's bytes of a carrier. Text that did not come from bytes
// (typed names) is encoded as UTF-8; a lone surrogate outside the escape
// range, which UTF-8 cannot hold, becomes U+FFFD's bytes.
QByteArray nativePath(const QString& path);

// The carrier for showing: every escaped byte becomes U+FFFD.
QString displayText(const QString& path);

// Whether the carrier holds escaped bytes (the name is not valid UTF-8).
bool hasEscapedBytes(const QString& path);

} // namespace sq::platform
