// One frame of a video (AVI or any container FFmpeg opens) as the picture:
// the frame at a percentage of the first video stream's length.
//
// FFmpeg is opened with dlopen on the first video met, not linked: its
// libraries pull in more than a hundred codec, network and GPU libraries
// that every start of the program would otherwise load and relocate before
// its first line runs. Where they cannot be opened no video has a frame.
#include "engine/ImgUtils.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include "platform/NativePath.h"
#include "platform/SafeRead.h"

#include <algorithm>
#include <cerrno>
#include <dlfcn.h>
#include <memory>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace {

// The FFmpeg functions used, typed by the headers' own declarations.
struct Ffmpeg
{
#define SQ_FFMPEG_FUNCTIONS(F)                                                                 \
    F(av_log_set_level) F(av_rescale_q) F(av_malloc) F(av_free) F(av_freep) F(av_frame_alloc)   \
    F(av_frame_free) F(av_frame_unref) F(av_frame_move_ref)                                     \
    F(av_packet_alloc) F(av_packet_free) F(av_packet_unref) F(avcodec_alloc_context3)           \
    F(avcodec_free_context) F(avcodec_parameters_to_context) F(avcodec_open2)                   \
    F(avcodec_flush_buffers) F(avcodec_send_packet) F(avcodec_receive_frame)                    \
    F(avio_alloc_context) F(avio_context_free) F(avformat_alloc_context) F(avformat_open_input) \
    F(avformat_find_stream_info) F(av_find_best_stream) F(av_seek_frame) F(av_read_frame)       \
    F(avformat_close_input) F(sws_getContext) F(sws_scale) F(sws_freeContext) F(av_dict_set)    \
    F(av_dict_free)
#define SQ_FFMPEG_MEMBER(name) decltype(&::name) name = nullptr;
    SQ_FFMPEG_FUNCTIONS(SQ_FFMPEG_MEMBER)
#undef SQ_FFMPEG_MEMBER
};

#define SQ_SONAME(lib, major) "lib" #lib ".so." SQ_STR(major)
#define SQ_STR(x) SQ_STR2(x)
#define SQ_STR2(x) #x

// The libraries of the major versions built against, opened once and kept;
// null when one of them or one function is missing.
const Ffmpeg* ffmpeg()
{
    static const Ffmpeg* const api = [] {
        static Ffmpeg f;
        // Dependencies first, so each library finds what it needs opened.
        void* handles[] = {dlopen(SQ_SONAME(avutil, LIBAVUTIL_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL),
                           dlopen(SQ_SONAME(swscale, LIBSWSCALE_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL),
                           dlopen(SQ_SONAME(avcodec, LIBAVCODEC_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL),
                           dlopen(SQ_SONAME(avformat, LIBAVFORMAT_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL)};
        for (void* h : handles)
            if (!h) return static_cast<const Ffmpeg*>(nullptr);
        bool all = true;
        const auto find = [&](const char* name) -> void* {
            for (void* h : handles)
                if (void* p = dlsym(h, name)) return p;
            all = false;
            return nullptr;
        };
#define SQ_FFMPEG_FIND(name) f.name = reinterpret_cast<decltype(f.name)>(find(#name));
        SQ_FFMPEG_FUNCTIONS(SQ_FFMPEG_FIND)
#undef SQ_FFMPEG_FIND
        return all ? static_cast<const Ffmpeg*>(&f) : nullptr;
    }();
    return api;
}

#undef SQ_FFMPEG_FUNCTIONS
#undef SQ_SONAME
#undef SQ_STR
#undef SQ_STR2

// Only called once ffmpeg() has given the functions.
const Ffmpeg& ff()
{
    return *ffmpeg();
}

struct FormatCloser
{
    void operator()(AVFormatContext* f) const { ff().avformat_close_input(&f); }
};
struct CodecFreer
{
    void operator()(AVCodecContext* c) const { ff().avcodec_free_context(&c); }
};
struct FrameFreer
{
    void operator()(AVFrame* f) const { ff().av_frame_free(&f); }
};
struct PacketFreer
{
    void operator()(AVPacket* p) const { ff().av_packet_free(&p); }
};
struct DictFreer
{
    void operator()(AVDictionary* d) const { ff().av_dict_free(&d); }
};
struct SwsFreer
{
    void operator()(SwsContext* s) const { ff().sws_freeContext(s); }
};

// The library prints every damaged packet to stderr; a picture browser
// meets damaged files all the time and says nothing about them.
void quietOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { ff().av_log_set_level(AV_LOG_QUIET); });
}

// Frames in the stream: the container's count, else estimated from the
// duration and the frame rate; 0 when neither is known.
int64_t frameCount(const AVFormatContext* format, const AVStream* stream)
{
    if (stream->nb_frames > 0) return stream->nb_frames;
    const AVRational rate =
        stream->avg_frame_rate.num > 0 ? stream->avg_frame_rate : stream->r_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) return 0;
    if (stream->duration > 0)
        return ff().av_rescale_q(stream->duration, stream->time_base, av_inv_q(rate));
    if (format->duration > 0)
        return ff().av_rescale_q(format->duration, AVRational{1, AV_TIME_BASE}, av_inv_q(rate));
    return 0;
}

// The stream time of frame index, from the frame rate (time base units).
int64_t frameTime(const AVStream* stream, int64_t index)
{
    const AVRational rate =
        stream->avg_frame_rate.num > 0 ? stream->avg_frame_rate : stream->r_frame_rate;
    const int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    if (rate.num <= 0 || rate.den <= 0) return start;
    return start + ff().av_rescale_q(index, av_inv_q(rate), stream->time_base);
}

// FFmpeg reads the file through this descriptor, opened and checked by the
// engine (a regular file: FFmpeg's own open would wait on a FIFO), and may
// open nothing else: a playlist or a concatenation script posing as a video
// names other files and URLs.
// The demuxer reads at most budget bytes in all (seeks cost nothing): a
// header followed by gigabytes of zeros, which it would walk eight bytes at
// a time looking for chunks, ends as a cut-off file does.
struct FdInput
{
    int fd;
    qint64 size;
    qint64 budget;
};

int readFd(void* opaque, uint8_t* buf, int size)
{
    auto* in = static_cast<FdInput*>(opaque);
    if (in->budget <= 0) return AVERROR_EOF;
    const size_t want = size_t(std::min<qint64>(size, in->budget));
    ssize_t n;
    do
        n = ::read(in->fd, buf, want);
    while (n < 0 && errno == EINTR);
    if (n < 0) return AVERROR(errno);
    in->budget -= n;
    return n == 0 ? AVERROR_EOF : int(n);
}

int64_t seekFd(void* opaque, int64_t offset, int whence)
{
    const auto* in = static_cast<FdInput*>(opaque);
    if (whence & AVSEEK_SIZE) return in->size;
    const off_t at = ::lseek(in->fd, off_t(offset), whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(errno) : int64_t(at);
}

int refuseOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**)
{
    return AVERROR(EPERM);
}

struct IoFreer
{
    void operator()(AVIOContext* io) const
    {
        ff().av_freep(&io->buffer);
        ff().avio_context_free(&io);
    }
};

constexpr int kIoBuffer = 64 << 10;

// No video larger than this is opened (as every kind has its cap). Reading
// is bounded twice: the headers and the index (16 bytes a chunk, so about
// two hours of video with sound) within kMaxVideoHeaderRead, where a walk
// over zeros costs the demuxer most, then kMaxVideoRead for the packets
// from the key frame before the wanted one to it.
constexpr qint64 kMaxVideoBytes = qint64(64) << 30;
constexpr qint64 kMaxVideoHeaderRead = qint64(4) << 20;
constexpr qint64 kMaxVideoRead = qint64(32) << 20;
// No frame larger than this is decoded: twice the largest picture any level
// of H.264, HEVC, VP9 or AV1 allows (35.6 MP). Each decoder, the ones the
// demuxer opens to learn the streams included, refuses a larger frame before
// it allocates it; a damaged header declaring hundreds of megapixels would
// otherwise have frames of that size allocated and cleared in turn.
constexpr qint64 kMaxVideoPixels = qint64(1) << 26;

// Decoder options bounding the frame size.
std::unique_ptr<AVDictionary, DictFreer> boundedDecoder()
{
    AVDictionary* options = nullptr;
    ff().av_dict_set(&options, "max_pixels", QByteArray::number(kMaxVideoPixels).constData(), 0);
    return std::unique_ptr<AVDictionary, DictFreer>(options);
}

QImage toRgb888(const AVFrame* frame)
{
    const int w = frame->width, h = frame->height;
    if (w <= 0 || h <= 0 || qint64(w) * h > kMaxVideoPixels) return {};
    std::unique_ptr<SwsContext, SwsFreer> sws(ff().sws_getContext(w, h, AVPixelFormat(frame->format), w,
                                                             h, AV_PIX_FMT_RGB24, SWS_BILINEAR,
                                                             nullptr, nullptr, nullptr));
    if (!sws) return {};
    QImage image(w, h, QImage::Format_RGB888);
    if (image.isNull()) return {};
    uint8_t* dst[4] = {image.bits(), nullptr, nullptr, nullptr};
    const int dstStride[4] = {int(image.bytesPerLine()), 0, 0, 0};
    if (ff().sws_scale(sws.get(), frame->data, frame->linesize, 0, h, dst, dstStride) != h) return {};
    return image;
}

} // namespace

int TImgUtil::GrabAviFrame(const QString& fileName, TBitmap& bitmap, int pos)
{
    QImage image = sq::grabVideoFrame(fileName, pos);
    if (image.isNull()) return -1;
    bitmap.setImage(std::move(image));
    return 0;
}

QImage sq::grabVideoFrame(const QString& fileName, int pos)
{
    const sq::platform::SafeFile file(fileName, kMaxVideoBytes);
    if (!file.isOpen()) return {};
    if (!ffmpeg()) return {};
    quietOnce();
    FdInput input{file.fd(), file.size(), kMaxVideoHeaderRead};
    auto* buffer = static_cast<unsigned char*>(ff().av_malloc(kIoBuffer));
    if (!buffer) return {};
    std::unique_ptr<AVIOContext, IoFreer> io(
        ff().avio_alloc_context(buffer, kIoBuffer, 0, &input, readFd, nullptr, seekFd));
    if (!io) {
        ff().av_free(buffer);
        return {};
    }
    AVFormatContext* rawFormat = ff().avformat_alloc_context();
    if (!rawFormat) return {};
    rawFormat->pb = io.get();
    rawFormat->flags |= AVFMT_FLAG_CUSTOM_IO;
    rawFormat->io_open = refuseOpen;
    // The name only hints at the container; the file is read through io.
    // On failure avformat_open_input frees the context itself.
    if (ff().avformat_open_input(&rawFormat, sq::platform::nativePath(fileName).constData(), nullptr,
                            nullptr) < 0)
        return {};
    // Declared after io, so the demuxer is closed before its input goes.
    std::unique_ptr<AVFormatContext, FormatCloser> format(rawFormat);
    {
        // Options for each stream's probing decoder; FFmpeg takes the ones it
        // uses out of each dictionary.
        std::vector<AVDictionary*> options(format->nb_streams, nullptr);
        for (AVDictionary*& o : options) o = boundedDecoder().release();
        const int r = ff().avformat_find_stream_info(format.get(), options.empty() ? nullptr : options.data());
        for (AVDictionary*& o : options) ff().av_dict_free(&o);
        if (r < 0) return {};
    }
    input.budget = kMaxVideoRead;
    const AVCodec* codec = nullptr;
    const int index = ff().av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (index < 0 || !codec) return {};
    AVStream* stream = format->streams[index];
    // The frame size the stream declares, bounded before a decoder opens.
    const AVCodecParameters* par = stream->codecpar;
    fprintf(stderr, "DBG par %dx%d\n", par->width, par->height);
    if (par->width <= 0 || par->height <= 0 || qint64(par->width) * par->height > kMaxVideoPixels)
        return {};
    std::unique_ptr<AVCodecContext, CodecFreer> decoder(ff().avcodec_alloc_context3(codec));
    if (!decoder || ff().avcodec_parameters_to_context(decoder.get(), stream->codecpar) < 0) return {};
    {
        AVDictionary* options = boundedDecoder().release();
        const int r = ff().avcodec_open2(decoder.get(), codec, &options);
        ff().av_dict_free(&options);
        if (r < 0) return {};
    }

    // The frame index as the Windows reader computed it, in unsigned 32 bits.
    const quint32 length = quint32(std::min<int64_t>(frameCount(format.get(), stream), 0xffffffff));
    const quint32 target = pos == 0 ? 0 : quint32((quint64(length) * quint32(pos)) / 100);
    const int64_t targetTime = frameTime(stream, target);
    if (target > 0) {
        // Back to the key frame at or before the target, then forward by
        // decoding; a stream that cannot seek is decoded from its start.
        if (ff().av_seek_frame(format.get(), index, targetTime, AVSEEK_FLAG_BACKWARD) >= 0)
            ff().avcodec_flush_buffers(decoder.get());
    }

    std::unique_ptr<AVPacket, PacketFreer> packet(ff().av_packet_alloc());
    std::unique_ptr<AVFrame, FrameFreer> frame(ff().av_frame_alloc());
    std::unique_ptr<AVFrame, FrameFreer> kept(ff().av_frame_alloc());
    if (!packet || !frame || !kept) return {};
    bool have = false, reached = false, draining = false;
    // A frame at or past the target ends the walk; a stream that ends before
    // it (its count overstated, a cut-off file) gives its last frame.
    while (!reached) {
        if (!draining) {
            const int r = ff().av_read_frame(format.get(), packet.get());
            if (r < 0) {
                draining = true;
                ff().avcodec_send_packet(decoder.get(), nullptr);
            } else {
                const bool ours = packet->stream_index == index;
                // A damaged packet is passed over: later ones may still decode.
                if (ours) ff().avcodec_send_packet(decoder.get(), packet.get());
                ff().av_packet_unref(packet.get());
                if (!ours) continue;
            }
        }
        for (;;) {
            const int r = ff().avcodec_receive_frame(decoder.get(), frame.get());
            if (r == AVERROR(EAGAIN)) break;
            if (r < 0) {
                reached = true; // drained, or the decoder gave up
                break;
            }
            ff().av_frame_unref(kept.get());
            ff().av_frame_move_ref(kept.get(), frame.get());
            have = true;
            const int64_t t = kept->best_effort_timestamp;
            if (target == 0 || t == AV_NOPTS_VALUE || t >= targetTime) {
                reached = true;
                break;
            }
        }
    }
    if (!have) return {};
    return toRgb888(kept.get());
}

int TImgUtil::loadAvi(const QString& fileName)
{
    const int r = GrabAviFrame(fileName, m_bitmap, m_aviFramePos);
    if (r != 0) return r;
    m_imageWidth = m_bitmap.width();
    m_imageHeight = m_bitmap.height();
    return 0;
}
