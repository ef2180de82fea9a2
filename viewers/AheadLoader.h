// Loading views through a store of views prepared ahead: a box whose view
// for the file is ready shows it at once, the others load as usual; and the
// boxes' next views are asked for, to be made on the store's threads. What
// the viewers share; each viewer says which views it wants next, or for a
// box stepping through a list, which line it is on. GUI thread.
#pragma once

#include "engine/ViewAhead.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <utility>

class QObject;
class QWidget;
class TCustomImgBox;

class TAheadLoader
{
public:
    // The bytes the prepared views of one viewer may hold together.
    static constexpr qint64 DefaultBytes = qint64(384) << 20;

    // At most maxEntries prepared views.
    explicit TAheadLoader(int maxEntries, qint64 maxBytes = DefaultBytes);
    ~TAheadLoader();

    // Off: nothing is prepared and every load is the box's own.
    bool Enabled() const { return m_enabled; }
    void setEnabled(bool on);

    // As box->LoadFile(file).
    int Load(TCustomImgBox* box, const QString& file);
    // As TCustomImgBox::LoadFiles(boxes, files).
    QList<int> LoadAll(const QList<TCustomImgBox*>& boxes, const QStringList& files);
    // The views to make next: each box with the file it may load, the most
    // wanted first, for the boxes as they are set up now.
    void Want(const QList<std::pair<TCustomImgBox*, QString>>& next);
    // Want for one box stepping through a list of count lines, now on line:
    // the line next to it in the direction last stepped in, then the one
    // back. With wrap the line after the last is the first. fileOf gives a
    // line's file, empty for one not to be prepared.
    void WantLines(TCustomImgBox* box, int line, int count, bool forward, bool wrap,
                   const std::function<QString(int)>& fileOf);
    // prepare (which asks Want or WantLines) runs through context's event
    // queue on Schedule: once the command under way is done, once for any
    // number of Schedule calls before it runs, and not while off. context
    // owns this loader.
    void setPreparer(QObject* context, std::function<void()> prepare);
    void Schedule();
    // Every prepared view dropped (the viewer is hidden).
    void Release();
    // resized runs after any of boxes changed size: the views wanted were
    // made for the old size, and the viewer asks for them again.
    void WatchSizes(const QList<QWidget*>& boxes, std::function<void()> resized);

    sq::TViewAhead& Store() { return *m_store; }

private:
    std::unique_ptr<sq::TViewAhead> m_store;
    std::unique_ptr<QObject> m_sizeWatch;
    QObject* m_context = nullptr;
    std::function<void()> m_prepare;
    bool m_enabled = true;
    bool m_pending = false;
};
