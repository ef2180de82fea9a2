// Pieces the main window's small dialogs share: a label showing a path
// shortened to its width, a row of buttons, and the message boxes with the
// program's fixed texts. GUI thread only.
#pragma once

#include <QString>

#include <initializer_list>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QWidget;

namespace sq::app {

// The caption of every message box.
QString messageTitle();

// A label for a path, as wide as its dialog lets it be.
QLabel* makePathLabel(QWidget* parent, const char* name = "Label2");
// Shows path (a carrier) in label shortened to the label's width; the whole
// path is the tool tip.
void setShortPath(QLabel* label, const QString& path);

// Buttons right-aligned in one row.
QHBoxLayout* buttonRow(std::initializer_list<QPushButton*> buttons);

// A message box with an OK button.
void message(QWidget* parent, const QString& text);
// "処理は失敗しました".
void failureMessage(QWidget* parent);
// A confirmation with OK and Cancel; true for OK.
bool confirm(QWidget* parent, const QString& text);

} // namespace sq::app
