// The data of the program's own drags, served on an X server to whoever asks
// for it. Qt's X plugin answers a request for the drag's selection only when
// it carries the time stamp of one of its own drag messages; the compositor
// of a Wayland session asks otherwise when it carries a drag from XWayland to
// a Wayland program (GNOME's file manager, say), which then got an empty
// drop. The data is held from the start of a drag until the next one starts,
// because a drop's data is read after the drag is over.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

#include <optional>

class QMimeData;

namespace sq::platform {

// A drag's data by format (MIME type), copied when the drag starts.
using DragFormats = QList<QPair<QByteArray, QByteArray>>;

// The names of the X targets the data can be had as: each format, and for
// text/plain the X text targets (UTF8_STRING, TEXT, text/plain;charset=utf-8,
// and STRING where the text has a Latin-1 form) too. TARGETS itself is not in
// the list.
QList<QByteArray> dragTargetsOf(const DragFormats& formats);

// The bytes for one X target and the type they are written with; none for a
// target the data does not have. STRING is Latin-1 as X defines it: text that
// has no Latin-1 form is not given as STRING; TEXT is given as STRING where
// it can be and as UTF8_STRING otherwise.
struct DragAnswer
{
    QByteArray type;
    QByteArray bytes;
};
std::optional<DragAnswer> dragDataFor(const DragFormats& formats, const QByteArray& target);

// Holds a copy of the data of the drag about to start and, on an X server,
// answers the requests for the drag selection from it (GUI thread only).
// Elsewhere it does nothing: Qt serves drags itself there.
void serveDragData(const QMimeData& data);

} // namespace sq::platform
