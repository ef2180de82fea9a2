// What the JPEG benchmarks share: the median of a run's times, processor
// clocks, and the bare libjpeg decode of a file (the engine's fast DCT, into a
// new 24-bit picture each time, as a viewer must make one for each file).
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <jpeglib.h>
#include <memory>
#include <vector>

namespace bench {

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

inline double cpuMs(clockid_t clock = CLOCK_THREAD_CPUTIME_ID)
{
    timespec ts;
    clock_gettime(clock, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// Every thread of the process: views load on helper threads too.
inline double processCpuMs()
{
    return cpuMs(CLOCK_PROCESS_CPUTIME_ID);
}

// Reads and decodes one JPEG at full size; false when it cannot be read.
inline bool decodeFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = file.readAll();
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.constData()), bytes.size());
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    cinfo.dct_method = JDCT_IFAST;
    jpeg_start_decompress(&cinfo);
    const size_t stride = size_t(cinfo.output_width) * 3;
    // Not cleared: libjpeg writes every byte.
    std::unique_ptr<unsigned char[]> pixels(new unsigned char[stride * cinfo.output_height]);
    while (cinfo.output_scanline < cinfo.output_height) {
        unsigned char* row = pixels.get() + stride * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

} // namespace bench
