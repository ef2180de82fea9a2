// The viewers' file dialogs: the save dialog for BMP files (filter
// "ビットマップ " (*.bmp), default extension .bmp), shared by the slide
// view's save commands, the join dialog, the loupe picture dialog (Unit26)
// and the main window's preview; and the slide view's open dialog for
// saved-screen files. GUI thread only.
#pragma once

#include <QString>

class QWidget;

namespace sq::viewers {

// Asks for the name of a BMP file to write; "" when the user cancels. A name
// typed without an extension gets ".bmp".
QString askBitmapFileName(QWidget* parent);

// Asks for a saved-screen file to open (filter "*.srq"), starting in
// folder; "" when the user cancels.
QString askSavedScreenFileName(QWidget* parent, const QString& folder);

} // namespace sq::viewers
