// The OK and キャンセル buttons every small dialog of the program has:
// Button1 "OK" is the default button, Button2 "キャンセル" hides the dialog
// unless the dialog connects its own handler. GUI thread only.
#pragma once

class QDialog;
class QPushButton;

#include <tuple>
#include <utility>

// {Button1, Button2}, for std::tie into the dialog's members. hideOnCancel
// false leaves Button2 for the dialog's own handler.
std::pair<QPushButton*, QPushButton*> makeOkCancel(QDialog* dialog, bool hideOnCancel = true);
