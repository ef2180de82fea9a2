#include "engine/QuickView.h"

#include "engine/WorkPool.h"

#include "platform/SafeRead.h"

#include <algorithm>
#include <cmath>

namespace sq {

namespace {

// Enough for the markers before the frame header of nearly every photograph:
// an EXIF segment holds at most 64 KiB.
constexpr qint64 kHeadBytes = 80 * 1024;
// The largest file decoded quickly: beyond it the plain load alone.
constexpr qint64 kMostQuickBytes = qint64(256) << 20;

bool isJpegHead(const QByteArray& head)
{
    return head.size() >= 3 && uchar(head[0]) == 0xFF && uchar(head[1]) == 0xD8 &&
           uchar(head[2]) == 0xFF;
}

// The size the engine's picture of a declared w x h JPEG takes for the
// request, and the DCT scale it decodes it at.
QSize engineSize(QSize declared, const TViewRequest& r, int* denom)
{
    const int w = std::max(0, r.Inner.width()), h = std::max(0, r.Inner.height());
    *denom = 1;
    if (r.GetType == igtNormal) return declared;
    if (declared != QSize(w, h))
        *denom = jpegScaleFor(declared.width(), declared.height(), w, h);
    return FitSize(r.GetType, declared.width(), declared.height(), w, h);
}

} // namespace

QSize DeclaredJpegSize(const QString& file)
{
    platform::SafeFile f(file, kMostQuickBytes);
    if (!f.isOpen()) return {};
    bool ok = false;
    const QByteArray head = f.read(kHeadBytes, &ok);
    if (!ok || !isJpegHead(head)) return {};
    return jpegSize(head);
}

qint64 ExactViewPixels(QSize declared, const TViewRequest& request)
{
    if (declared.isEmpty()) return 0;
    int denom = 1;
    engineSize(declared, request, &denom);
    return qint64(declared.width()) * declared.height() / (qint64(denom) * denom);
}

int QuickJpegScale(QSize declared, const TViewRequest& r)
{
    int engineDenom = 1;
    const QSize picture = engineSize(declared, r, &engineDenom);
    const QSize client = ImgClientSize(r.Inner, r.LineStep, picture, r.Type);
    if (picture.isEmpty() || client.isEmpty()) return 0;
    // Where the exact view puts the picture: its own size, or stretched into
    // the client with its aspect kept.
    QSize shown = picture;
    if (r.Type == ispStretch) {
        const double f = std::min(double(client.width()) / picture.width(),
                                  double(client.height()) / picture.height());
        shown = QSize(std::max(1, int(picture.width() * f)), std::max(1, int(picture.height() * f)));
    }
    return jpegScaleFor(declared.width(), declared.height(), shown.width(), shown.height());
}

TImgView QuickJpegView(const QString& file, const TViewRequest& r, QSize declared)
{
    int engineDenom = 1;
    const QSize picture = engineSize(declared, r, &engineDenom);
    const QSize client = ImgClientSize(r.Inner, r.LineStep, picture, r.Type);
    const int denom = QuickJpegScale(declared, r);
    if (denom <= 0) return {};
    platform::SafeFile f(file, kMostQuickBytes);
    if (!f.isOpen()) return {};
    bool ok = false;
    const QByteArray bytes = f.read(f.size(), &ok);
    if (!ok) return {};
    QSize full;
    QImage quick = decodeJpeg(bytes, denom, r.Performance == jpBestSpeed, &full);
    if (quick.isNull() || full != declared) return {};
    if (r.Type == ispImage) {
        // The engine's picture at its size, roughly: then placed as it is.
        ResizeBitmap(quick, picture.width(), picture.height(), r.Pool);
        if (quick.isNull()) return {};
    }
    return MakeImgView(quick, r.Type, client, r.Color, r.Pool);
}

TViewWorker::TViewWorker(std::function<void(Done)> deliver)
    : m_deliver(std::move(deliver))
{
}

TViewWorker::~TViewWorker()
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stop = true;
        m_next.reset();
        m_cancel = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

quint64 TViewWorker::Start(TViewRequest request)
{
    quint64 id;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_next = std::move(request);
        id = ++m_lastId;
        // The one under way is of no use any more.
        m_cancel = true;
        if (!m_thread.joinable()) {
            m_engine = std::make_unique<TImgUtil>();
            m_thread = std::thread([this] { serve(); });
        }
    }
    m_wake.notify_all();
    return id;
}

void TViewWorker::Cancel()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_next.reset();
    m_cancel = true;
}

void TViewWorker::serve()
{
    for (;;) {
        TViewRequest r;
        Done done;
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_wake.wait(lock, [this] { return m_stop || m_next.has_value(); });
            if (m_stop) return;
            r = std::move(*m_next);
            m_next.reset();
            done.Id = m_lastId;
            m_cancel = false;
        }
        TImgUtil& engine = *m_engine;
        engine.setGetType(r.GetType);
        engine.setPerformance(r.Performance);
        engine.setBudget(r.Budget);
        engine.setResamplePool(r.Pool);
        engine.setCancelFlag(&m_cancel);
        done.Type = r.Type;
        done.Color = r.Color;
        try {
            // A stretched view is resampled as the picture decodes.
            std::optional<TStretchWatch> watch;
            if (r.Type == ispStretch)
                watch.emplace(engine, ImgClientSize(r.Inner, r.LineStep, QSize(), r.Type));
            done.Result = engine.LoadImage(r.File, std::max(0, r.Inner.width()),
                                           std::max(0, r.Inner.height()), 0);
            if (done.Result == 0) {
                const QImage& picture = engine.Bitmap().image();
                done.Client = ImgClientSize(r.Inner, r.LineStep, picture.size(), r.Type);
                if (watch) done.View = watch->View(picture, done.Client, r.Color);
                if (!done.View.Placed)
                    done.View = MakeImgView(picture, r.Type, done.Client, r.Color, r.Pool);
            }
        } catch (...) {
            // Out of memory: shown as a file that cannot be decoded.
            done.Result = -1;
            done.View = TImgView();
        }
        done.Engine = engine.TakeResult();
        m_deliver(std::move(done));
    }
}

} // namespace sq
