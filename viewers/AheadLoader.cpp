#include "viewers/AheadLoader.h"

#include "engine/ImgBox.h"

#include <QWidget>

#include <QEvent>
#include <QThread>

#include <algorithm>

namespace {

// One thread fewer than the processors, as for the engine's helpers: the
// GUI thread keeps one for the step it shows.
int storeThreads()
{
    return std::clamp(QThread::idealThreadCount() - 1, 1, 3);
}

class SizeWatch final : public QObject
{
public:
    explicit SizeWatch(std::function<void()> resized) : m_resized(std::move(resized)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Resize) m_resized();
        return false;
    }

private:
    std::function<void()> m_resized;
};

} // namespace

TAheadLoader::TAheadLoader(int maxEntries, qint64 maxBytes)
    : m_store(std::make_unique<sq::TViewAhead>(&TCustomImgBox::PrepareView, maxEntries, maxBytes,
                                               storeThreads()))
{
}

TAheadLoader::~TAheadLoader() = default;

void TAheadLoader::setEnabled(bool on)
{
    m_enabled = on;
    if (!on) m_store->Clear();
}

int TAheadLoader::Load(TCustomImgBox* box, const QString& file)
{
    return LoadAll({box}, {file}).value(0, 1);
}

QList<int> TAheadLoader::LoadAll(const QList<TCustomImgBox*>& boxes, const QStringList& files)
{
    const qsizetype n = std::min(boxes.size(), files.size());
    QList<int> results(n, 1);
    QList<TCustomImgBox*> rest;
    QStringList restFiles;
    QList<qsizetype> restAt;
    for (qsizetype i = 0; i < n; ++i) {
        TCustomImgBox* box = boxes.at(i);
        std::optional<sq::TPreparedView> view;
        // A box listed twice loads as LoadFiles would load it.
        if (m_enabled && boxes.indexOf(box) == i)
            if (const std::optional<sq::TViewSetup> setup = box->ViewSetup())
                view = m_store->Take(files.at(i), *setup);
        if (view) {
            results[i] = box->ShowPrepared(files.at(i), *view);
        } else {
            rest << box;
            restFiles << files.at(i);
            restAt << i;
        }
    }
    if (rest.size() == 1) {
        results[restAt.at(0)] = rest.at(0)->LoadFile(restFiles.at(0));
    } else if (!rest.isEmpty()) {
        const QList<int> loaded = TCustomImgBox::LoadFiles(rest, restFiles);
        for (qsizetype j = 0; j < loaded.size(); ++j)
            results[restAt.at(j)] = loaded.at(j);
    }
    return results;
}

void TAheadLoader::Want(const QList<std::pair<TCustomImgBox*, QString>>& next)
{
    if (!m_enabled) return;
    QList<sq::TViewAhead::Request> wanted;
    for (const auto& [box, file] : next)
        if (const std::optional<sq::TViewSetup> setup = box->ViewSetup())
            wanted.append({file, *setup});
    m_store->Want(wanted);
}

void TAheadLoader::WantLines(TCustomImgBox* box, int line, int count, bool forward, bool wrap,
                             const std::function<QString(int)>& fileOf)
{
    QList<std::pair<TCustomImgBox*, QString>> want;
    if (line >= 0 && line < count) {
        auto beside = [&](int step) {
            int l = line + step;
            if (wrap) l = (l + count) % count;
            return l >= 0 && l < count && l != line ? l : -1;
        };
        for (const int l : {beside(forward ? 1 : -1), beside(forward ? -1 : 1)}) {
            if (l < 0) continue;
            const QString file = fileOf(l);
            // A wrapped list of two has one line on both sides.
            if (!file.isEmpty() && (want.isEmpty() || want.back().second != file))
                want.append({box, file});
        }
    }
    Want(want);
}

void TAheadLoader::setPreparer(QObject* context, std::function<void()> prepare)
{
    m_context = context;
    m_prepare = std::move(prepare);
}

void TAheadLoader::Schedule()
{
    if (m_pending || !m_enabled || !m_context) return;
    m_pending = true;
    QMetaObject::invokeMethod(
        m_context,
        [this] {
            m_pending = false;
            if (m_enabled && m_prepare) m_prepare();
        },
        Qt::QueuedConnection);
}

void TAheadLoader::Release()
{
    m_store->Clear();
}

void TAheadLoader::WatchSizes(const QList<QWidget*>& boxes, std::function<void()> resized)
{
    m_sizeWatch = std::make_unique<SizeWatch>(std::move(resized));
    for (QWidget* box : boxes)
        box->installEventFilter(m_sizeWatch.get());
}
