#include "platform/NativePath.h"

namespace sq::platform {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

bool isEscape(char16_t c)
{
    return c >= 0xDC80 && c <= 0xDCFF;
}

bool isContinuation(unsigned char b)
{
    return (b & 0xC0) == 0x80;
}

// Length of the valid UTF-8 sequence at p (at most n bytes), 0 when the
// bytes there are not one. Overlong forms, surrogates and code points past
// U+10FFFF are invalid, as UTF-8 defines them.
int validSequence(const unsigned char* p, qsizetype n, char32_t& cp)
{
    const unsigned char b = p[0];
    if (b < 0x80) {
        cp = b;
        return 1;
    }
    int len;
    char32_t min;
    if ((b & 0xE0) == 0xC0) {
        len = 2;
        cp = b & 0x1F;
        min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        len = 3;
        cp = b & 0x0F;
        min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
        len = 4;
        cp = b & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (n < len) return 0;
    for (int i = 1; i < len; ++i) {
        if (!isContinuation(p[i])) return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

void appendUtf8(QByteArray& out, char32_t cp)
{
    if (cp < 0x80) {
        out.append(char(cp));
    } else if (cp < 0x800) {
        out.append(char(0xC0 | (cp >> 6)));
        out.append(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.append(char(0xE0 | (cp >> 12)));
        out.append(char(0x80 | ((cp >> 6) & 0x3F)));
        out.append(char(0x80 | (cp & 0x3F)));
    } else {
        out.append(char(0xF0 | (cp >> 18)));
        out.append(char(0x80 | ((cp >> 12) & 0x3F)));
        out.append(char(0x80 | ((cp >> 6) & 0x3F)));
        out.append(char(0x80 | (cp & 0x3F)));
    }
}

} // namespace

QString pathFromNative(const char* bytes, qsizetype size)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    // Plain ASCII and valid UTF-8 are by far the common case.
    bool ascii = true;
    for (qsizetype i = 0; i < size && ascii; ++i)
        ascii = p[i] < 0x80;
    if (ascii) return QString::fromLatin1(bytes, size);

    QString out;
    out.reserve(size);
    qsizetype i = 0;
    while (i < size) {
        char32_t cp = 0;
        const int len = validSequence(p + i, size - i, cp);
        if (len == 0) {
            out.append(QChar(char16_t(kEscapeBase + p[i])));
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            out.append(QChar(char16_t(0xD800 + ((cp - 0x10000) >> 10))));
            out.append(QChar(char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF))));
        } else {
            out.append(QChar(char16_t(cp)));
        }
        i += len;
    }
    return out;
}

QString pathFromNative(const QByteArray& bytes)
{
    return pathFromNative(bytes.constData(), bytes.size());
}

QByteArray nativePath(const QString& path)
{
    QByteArray out;
    out.reserve(path.size());
    const char16_t* s = reinterpret_cast<const char16_t*>(path.utf16());
    const qsizetype n = path.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = s[i];
        if (c < 0x80) {
            out.append(char(c));
        } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 &&
                   s[i + 1] <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (s[i + 1] - 0xDC00));
            ++i;
        } else if (isEscape(c)) {
            out.append(char(c - kEscapeBase));
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            appendUtf8(out, 0xFFFD);
        } else {
            appendUtf8(out, c);
        }
    }
    return out;
}

QString displayText(const QString& path)
{
    if (!hasEscapedBytes(path)) return path;
    QString out = path;
    for (QChar& c : out)
        if (isEscape(c.unicode())) c = QChar(0xFFFD);
    return out;
}

bool hasEscapedBytes(const QString& path)
{
    for (QChar c : path)
        if (isEscape(c.unicode())) return true;
    return false;
}

} // namespace sq::platform
