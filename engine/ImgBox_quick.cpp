// The view's quick first picture of a large photograph, and the loads of
// several views at once that hand such photographs to it.
#include "engine/ImgBox.h"

#include "engine/PictureLoader.h"
#include "engine/QuickView.h"
#include "engine/WorkPool.h"

#include <QMetaObject>

#include <mutex>

namespace {

// Orders an exact view's post to the GUI thread with its handling in terms
// the race checker sees (it does not see Qt's event queue): the helper holds
// the gate until the post is complete, the handler takes it before it reads
// what was posted. Never held while waiting for the other thread.
std::mutex& postGate()
{
    static std::mutex gate;
    return gate;
}

sq::TViewRequest viewRequest(const TImgUtil& engine, const QString& fileName, QSize inner,
                             int lineStep, TSizeType type, const QColor& color)
{
    sq::TViewRequest r;
    r.File = fileName;
    r.Inner = inner;
    r.LineStep = lineStep;
    r.Type = type;
    r.Color = color;
    r.GetType = engine.GetType();
    r.Performance = engine.Performance();
    r.Budget = engine.Budget();
    r.Pool = &sq::TWorkPool::instance();
    return r;
}

} // namespace

bool TCustomImgBox::quickCandidate(const QString& fileName, QSize* declared)
{
    if (!m_quickFirst) return false;
    const TImgUtil& engine = *m_imgUtil;
    // Only the engine's own JPEG decoder: no cache, plug-in or other loader
    // that could claim the file.
    if (engine.Thumbnail() || engine.SPlugin()) return false;
    if (engine.CustomLoader() && engine.CustomLoader() != &TPictureLoader::instance()) return false;
    // At its own size the view shows the picture's pixels: nothing quicker to show.
    if (m_sizeType == ispImage && engine.GetType() == igtNormal) return false;
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot < slash) return false;
    const QString ext = fileName.mid(dot).toLower();
    if (ext != QLatin1String(".jpg") && ext != QLatin1String(".jpeg")) return false;
    *declared = sq::DeclaredJpegSize(fileName);
    if (declared->isEmpty()) return false;
    const int b = borderWidth();
    const sq::TViewRequest r = viewRequest(engine, fileName, QSize(width() - 2 * b, height() - 2 * b),
                                           LineStep(), m_sizeType, m_color);
    // Worth it when the exact view is slow and the decoder can scale.
    return sq::ExactViewPixels(*declared, r) >= m_quickPixels && sq::QuickJpegScale(*declared, r) > 1;
}

bool TCustomImgBox::loadQuick(const QString& fileName)
{
    QSize declared;
    if (!quickCandidate(fileName, &declared)) return false;
    const int b = borderWidth();
    const sq::TViewRequest r = viewRequest(*m_imgUtil, fileName, QSize(width() - 2 * b, height() - 2 * b),
                                           LineStep(), m_sizeType, m_color);
    if (!m_worker)
        m_worker = std::make_unique<sq::TViewWorker>([this](sq::TViewDone done) {
            // Handed to the GUI thread; dropped there if the box is gone.
            const std::lock_guard<std::mutex> posting(postGate());
            QMetaObject::invokeMethod(
                this,
                [this, done]() mutable {
                    { const std::lock_guard<std::mutex> posted(postGate()); }
                    exactDone(done);
                },
                Qt::QueuedConnection);
        });
    // The exact view is begun first, beside the quick one made here.
    const quint64 id = m_worker->Start(r);
    TImgView quick = sq::QuickJpegView(fileName, r, declared);
    if (!quick.Placed) {
        // Not decodable so: the plain load, and its outcome, as for any file.
        m_worker->Cancel();
        return false;
    }
    m_exactId = id;
    TImgResult pending;
    pending.ImageType = iitJpeg;
    pending.ImageWidth = declared.width();
    pending.ImageHeight = declared.height();
    m_imgUtil->SetResult(std::move(pending));
    m_loaded = true;
    UpdateScrollBars(true);
    placeView(std::move(quick));
    return true;
}

void TCustomImgBox::cancelExact()
{
    if (m_exactId == 0) return;
    m_exactId = 0;
    m_worker->Cancel();
}

void TCustomImgBox::exactDone(sq::TViewDone& done)
{
    // Another file, or none, was asked for since.
    if (done.Id != m_exactId) return;
    m_exactId = 0;
    m_imgUtil->SetResult(std::move(done.Engine));
    m_loaded = done.Result == 0;
    if (!m_loaded) ResetView(); // as a plain load that failed leaves it
    UpdateScrollBars(true);
    // Made for the box as it was asked; for a box changed since, made again.
    if (m_loaded && clientSize() == done.Client && m_sizeType == done.Type && m_color == done.Color)
        placeView(std::move(done.View));
    else
        Redraw();
}

QList<int> TCustomImgBox::LoadFiles(const QList<TCustomImgBox*>& boxes, const QStringList& files)
{
    const qsizetype n = std::min(boxes.size(), files.size());
    QList<TCustomImgBox*> rest;
    QStringList restFiles;
    QList<qsizetype> restAt;
    QList<qsizetype> quick;
    for (qsizetype i = 0; i < n; ++i) {
        QSize declared;
        // A box given twice loads in order, each time as LoadFile would.
        if (boxes.indexOf(boxes.at(i)) != i || boxes.lastIndexOf(boxes.at(i)) != i)
            return loadTogether(boxes, files);
        if (boxes.at(i)->quickCandidate(files.at(i), &declared)) {
            quick << i;
        } else {
            rest << boxes.at(i);
            restFiles << files.at(i);
            restAt << i;
        }
    }
    if (quick.isEmpty()) return loadTogether(boxes, files);
    // The large photographs' quick views first; their exact views are made
    // on their helpers while the others load together here.
    QList<int> results(n, 1);
    for (const qsizetype i : quick)
        results[i] = boxes.at(i)->LoadFile(files.at(i));
    const QList<int> others = loadTogether(rest, restFiles);
    for (qsizetype k = 0; k < restAt.size(); ++k)
        results[restAt.at(k)] = others.at(k);
    return results;
}
