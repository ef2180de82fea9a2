// A quick first view of a large photograph and the helper thread that makes
// its exact view meanwhile. The quick one is the JPEG decoder's own DCT
// scaling to just above the size shown, resampled from there; the exact one
// is the box's plain load and view, made by an engine of the helper's own.
// The view shows the quick one until the exact one is handed back.
#pragma once

#include "engine/ImgBox.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace sq {

// The work of an exact view, in decoded pixels, from which a picture is
// shown quickly first: about 50 ms of decoding on one core.
constexpr qint64 kQuickPixels = 8'000'000;

// A view's load as its box asks for it: the file, the box's sizes and looks
// and the engine's settings that bear on a JPEG.
struct TViewRequest
{
    QString File;
    QSize Inner;
    int LineStep = 0;
    TSizeType Type = ispImage;
    QColor Color;
    TGetType GetType = igtNormal;
    TJPEGPerformance Performance = jpBestSpeed;
    DecodeBudget* Budget = nullptr;
    TWorkPool* Pool = nullptr;
};

// The upright size a JPEG file declares, read from its first bytes alone;
// invalid when it is no JPEG, cannot be read or its header lies further.
QSize DeclaredJpegSize(const QString& file);

// The decoded pixels the exact view of a picture of the declared size takes
// for the request: all of them unless the engine decodes at a DCT scale.
qint64 ExactViewPixels(QSize declared, const TViewRequest& request);

// The DCT scale the quick view of a picture of the declared size decodes
// at for the request: 2, 4 or 8; 1 when it would be decoded whole (nothing
// quicker then), 0 when there is nothing to show.
int QuickJpegScale(QSize declared, const TViewRequest& request);

// The quick view of the JPEG file for the request: decoded at the coarsest
// DCT scale that still covers the picture's place, then resampled to it.
// Not Placed when the file cannot be decoded.
TImgView QuickJpegView(const QString& file, const TViewRequest& request, QSize declared);

// An exact view made by TViewWorker, with the engine's result it came from.
struct TViewDone
{
    quint64 Id = 0;
    int Result = -1;
    QSize Client;
    TSizeType Type = ispImage;
    QColor Color;
    TImgView View;
    TImgResult Engine;
};

// One helper thread making exact views one after the other; a request
// replaces the one not yet begun, and stops the one under way while it still
// waits for memory. Each result goes to the deliver function, on the helper.
class TViewWorker
{
public:
    using Done = TViewDone;

    explicit TViewWorker(std::function<void(Done)> deliver);
    // Waits for the view under way, if any.
    ~TViewWorker();
    TViewWorker(const TViewWorker&) = delete;
    TViewWorker& operator=(const TViewWorker&) = delete;

    // Asks for the exact view; returns the id its result will carry.
    quint64 Start(TViewRequest request);
    // Forgets the request not yet begun and stops the one under way waiting.
    void Cancel();

private:
    void serve();

    std::function<void(Done)> m_deliver;
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::optional<TViewRequest> m_next;
    quint64 m_lastId = 0;
    bool m_stop = false;
    std::atomic<bool> m_cancel{false};
    std::unique_ptr<TImgUtil> m_engine; // the helper's alone
    std::thread m_thread;               // started by the first request
};

} // namespace sq
