// Metafile playback for the engine's metafile loader (and its fuzz target):
// enhanced metafiles through libemf2svg and Qt's SVG renderer, plain
// Windows metafiles played record by record onto a QPainter. Pure
// functions over a byte span, any thread; every length is checked.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QSize>

namespace sq::meta {

// The enhanced metafile's size in pixels at 96 dpi from the frame of its
// header (0.01 mm units), once every record was found to lie inside the
// bytes and the end-of-file record was reached; invalid when it is damaged,
// cut short or empty. *used receives the bytes up to the end record.
QSize emfSize(const QByteArray& bytes, qsizetype* used = nullptr);

// Plays a checked enhanced metafile at size, over background; a null image
// when the converter or the renderer fails.
QImage renderEmf(const QByteArray& bytes, QSize size, const QColor& background);

// The plain metafile's size in pixels at 96 dpi: the placeable header's box
// and units per inch, else the first window extent; invalid when the
// headers or any record up to the end record is damaged or cut short.
QSize wmfSize(const QByteArray& bytes);

// Plays a checked plain metafile onto a picture of size over background;
// unknown records are passed over. A null image when it is damaged.
QImage renderWmf(const QByteArray& bytes, QSize size, const QColor& background);

} // namespace sq::meta
