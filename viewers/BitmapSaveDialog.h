// The viewers' save dialog for BMP files: filter "ビットマップ " (*.bmp) and
// default extension .bmp. Shared by the loupe picture dialog (Unit26) and
// the slide view's save commands. GUI thread only.
#pragma once

#include <QString>

class QWidget;

namespace sq::viewers {

// Asks for the name of a BMP file to write; "" when the user cancels. A name
// typed without an extension gets ".bmp".
QString askBitmapFileName(QWidget* parent);

} // namespace sq::viewers
