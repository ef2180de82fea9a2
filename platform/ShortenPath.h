// Shortens a path to a label's width by replacing middle folders with "...",
// the way file dialogs show long paths. Used by the dialogs that show a
// folder in a label. Pure text work given a width measure.
#pragma once

#include <QString>

#include <functional>

class QFontMetrics;

namespace sq::platform {

// width(text) measures a text in pixels. The root and the last component are
// kept as long as they fit; folders after the root go first.
QString shortenPath(const QString& path, int maxWidth, const std::function<int(const QString&)>& width);
QString shortenPath(const QString& path, int maxWidth, const QFontMetrics& metrics);

} // namespace sq::platform
