// The file rename dialog of the preview's file: the typed name is given the
// file's own extension, which the dialog shows and keeps. Created once at
// start by createWindows() and kept, hidden, until shown; it keeps its edit
// text. GUI thread only.
#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

class TForm24 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm24(QWidget* parent = nullptr);

    // Shows the dialog for file; caption is the text shown as its current
    // name.
    void openFor(const QString& file, const QString& caption);
    QString file() const { return m_file; }

    // The extension of a file name, with its dot ("" for none).
    static QString extensionOf(const QString& path);

    // Called with the new path and the new file name after a rename.
    std::function<void(const QString&, const QString&)> onRenamed;

    QLabel* Label2 = nullptr; // the current name
    QLabel* Label1 = nullptr; // the extension that is kept
    QLineEdit* Edit1 = nullptr;
    QPushButton* Button1 = nullptr; // OK
    QPushButton* Button2 = nullptr; // キャンセル

    void Button1Click();

private:
    QString m_file;
};
