#include "tests/support/ColourFiles.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageWriter>

#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <string>
#include <vector>

namespace sq::test {

namespace {

using Mat = std::array<std::array<double, 3>, 3>;

Mat invert(const Mat& m)
{
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    Mat r;
    r[0][0] = (m[1][1] * m[2][2] - m[1][2] * m[2][1]) / det;
    r[0][1] = (m[0][2] * m[2][1] - m[0][1] * m[2][2]) / det;
    r[0][2] = (m[0][1] * m[1][2] - m[0][2] * m[1][1]) / det;
    r[1][0] = (m[1][2] * m[2][0] - m[1][0] * m[2][2]) / det;
    r[1][1] = (m[0][0] * m[2][2] - m[0][2] * m[2][0]) / det;
    r[1][2] = (m[0][2] * m[1][0] - m[0][0] * m[1][2]) / det;
    r[2][0] = (m[1][0] * m[2][1] - m[1][1] * m[2][0]) / det;
    r[2][1] = (m[0][1] * m[2][0] - m[0][0] * m[2][1]) / det;
    r[2][2] = (m[0][0] * m[1][1] - m[0][1] * m[1][0]) / det;
    return r;
}

// RGB to XYZ of the space's own white (Y of white = 1).
Mat rgbToXyz(const RgbSpace& s)
{
    const auto xyz = [](double x, double y) {
        return std::array<double, 3>{x / y, 1.0, (1 - x - y) / y};
    };
    const auto r = xyz(s.rx, s.ry), g = xyz(s.gx, s.gy), b = xyz(s.bx, s.by), w = xyz(s.wx, s.wy);
    const Mat p{{{r[0], g[0], b[0]}, {r[1], g[1], b[1]}, {r[2], g[2], b[2]}}};
    const Mat pi = invert(p);
    double k[3];
    for (int i = 0; i < 3; ++i)
        k[i] = pi[i][0] * w[0] + pi[i][1] * w[1] + pi[i][2] * w[2];
    Mat m;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            m[i][j] = p[i][j] * k[j];
    return m;
}

double decode(double v, const RgbSpace& s)
{
    if (!s.srgbCurve) return std::pow(v, s.gamma);
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double encode(double v, const RgbSpace& s)
{
    v = std::clamp(v, 0.0, 1.0);
    if (!s.srgbCurve) return std::pow(v, 1.0 / s.gamma);
    return v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1.0 / 2.4) - 0.055;
}

cmsToneCurve* curveOf(const RgbSpace& s, int entries)
{
    if (entries > 0) {
        std::vector<cmsUInt16Number> table(static_cast<size_t>(entries));
        for (int i = 0; i < entries; ++i)
            table[size_t(i)] =
                cmsUInt16Number(std::lround(65535.0 * decode(double(i) / (entries - 1), s)));
        return cmsBuildTabulatedToneCurve16(nullptr, cmsUInt32Number(entries), table.data());
    }
    if (!s.srgbCurve) return cmsBuildGamma(nullptr, s.gamma);
    const cmsFloat64Number p[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    return cmsBuildParametricToneCurve(nullptr, 4, p);
}

QByteArray save(cmsHPROFILE p)
{
    QByteArray bytes;
    cmsUInt32Number n = 0;
    if (p && cmsSaveProfileToMem(p, nullptr, &n) && n > 0) {
        bytes.resize(qsizetype(n));
        if (!cmsSaveProfileToMem(p, bytes.data(), &n)) bytes.clear();
    }
    if (p) cmsCloseProfile(p);
    return bytes;
}

} // namespace

RgbSpace srgbSpace()
{
    return {0.64, 0.33, 0.30, 0.60, 0.15, 0.06, 0.3127, 0.3290, true, 0};
}

RgbSpace displayP3Space()
{
    return {0.680, 0.320, 0.265, 0.690, 0.150, 0.060, 0.3127, 0.3290, true, 0};
}

RgbSpace adobeRgbSpace()
{
    return {0.64, 0.33, 0.21, 0.71, 0.15, 0.06, 0.3127, 0.3290, false, 563.0 / 256.0};
}

QByteArray iccProfileOf(const RgbSpace& s, int tableEntries, int padding)
{
    const cmsCIExyY white{s.wx, s.wy, 1.0};
    const cmsCIExyYTRIPLE primaries{{s.rx, s.ry, 1.0}, {s.gx, s.gy, 1.0}, {s.bx, s.by, 1.0}};
    cmsToneCurve* curves[3] = {curveOf(s, tableEntries), curveOf(s, tableEntries),
                               curveOf(s, tableEntries)};
    cmsHPROFILE p = cmsCreateRGBProfile(&white, &primaries, curves);
    for (cmsToneCurve* c : curves)
        cmsFreeToneCurve(c);
    if (p && padding > 0) {
        cmsMLU* text = cmsMLUalloc(nullptr, 1);
        cmsMLUsetASCII(text, "en", "US", std::string(size_t(padding), 'c').c_str());
        cmsWriteTag(p, cmsSigCopyrightTag, text);
        cmsMLUfree(text);
    }
    return save(p);
}

QByteArray greyProfile()
{
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 2.2);
    cmsHPROFILE p = cmsCreateGrayProfile(cmsD50_xyY(), curve);
    cmsFreeToneCurve(curve);
    return save(p);
}

QRgb convertColour(QRgb colour, const RgbSpace& from, const RgbSpace& to)
{
    const Mat m1 = rgbToXyz(from), m2 = invert(rgbToXyz(to));
    const double in[3] = {decode(qRed(colour) / 255.0, from), decode(qGreen(colour) / 255.0, from),
                          decode(qBlue(colour) / 255.0, from)};
    double xyz[3], out[3];
    for (int i = 0; i < 3; ++i)
        xyz[i] = m1[i][0] * in[0] + m1[i][1] * in[1] + m1[i][2] * in[2];
    for (int i = 0; i < 3; ++i)
        out[i] = m2[i][0] * xyz[0] + m2[i][1] * xyz[1] + m2[i][2] * xyz[2];
    return qRgb(int(std::lround(255 * encode(out[0], to))),
                int(std::lround(255 * encode(out[1], to))),
                int(std::lround(255 * encode(out[2], to))));
}

QImage colourBlocks()
{
    static const QRgb colours[] = {
        qRgb(255, 0, 0),     qRgb(0, 255, 0),   qRgb(0, 0, 255),     qRgb(255, 255, 0),
        qRgb(0, 255, 255),   qRgb(255, 0, 255), qRgb(200, 60, 30),   qRgb(40, 160, 90),
        qRgb(128, 128, 128), qRgb(30, 60, 200), qRgb(250, 200, 150), qRgb(20, 20, 20),
        qRgb(255, 255, 255), qRgb(0, 0, 0),     qRgb(90, 200, 220),  qRgb(180, 40, 140),
    };
    QImage image(64, 64, QImage::Format_RGB888);
    for (int i = 0; i < 16; ++i) {
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                image.setPixel((i % 4) * 16 + x, (i / 4) * 16 + y, colours[i]);
    }
    return image;
}

QByteArray jpegWithIcc(const QImage& source, const QByteArray& icc, int quality)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = JDIMENSION(image.width());
    cinfo.image_height = JDIMENSION(image.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    // No chroma subsampling: the blocks keep their colours.
    for (int c = 0; c < 3; ++c)
        cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    jpeg_start_compress(&cinfo, TRUE);
    if (!icc.isEmpty())
        jpeg_write_icc_profile(&cinfo, reinterpret_cast<const JOCTET*>(icc.constData()),
                               unsigned(icc.size()));
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.constScanLine(int(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(size));
    std::free(out);
    return bytes;
}

QByteArray pngWithIcc(const QImage& source, const QByteArray& icc)
{
    QImage image = source;
    image.setColorSpace(icc.isEmpty() ? QColorSpace() : QColorSpace::fromIccProfile(icc));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    return bytes;
}

QByteArray pngWithGamma(const QImage& image)
{
    QByteArray png = pngWithIcc(image, QByteArray());
    // gAMA after IHDR (8 + 25 bytes): 1/2.2 as 45455 hundred-thousandths.
    QByteArray chunk("\0\0\0\4gAMA\0\0\xb1\x8f", 12);
    quint32 crc = 0xffffffffu;
    for (int i = 4; i < chunk.size(); ++i) {
        crc ^= uchar(chunk[i]);
        for (int k = 0; k < 8; ++k)
            crc = crc & 1 ? 0xedb88320u ^ (crc >> 1) : crc >> 1;
    }
    crc ^= 0xffffffffu;
    for (int s = 24; s >= 0; s -= 8)
        chunk.append(char((crc >> s) & 0xff));
    png.insert(33, chunk);
    return png;
}

} // namespace sq::test
