// The destination folder chooser of the main window's move and copy
// commands and of the viewers' copy commands. Its caption and instruction
// are set by the command that opens it; what its OK does is given by the
// destination action code (Globals.h), which the main window carries out.
// Created once at start by createWindows() and kept, hidden, until shown;
// it keeps its last folder. GUI thread only.
#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QPushButton;
class TFolderList;

class TForm23 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm23(QWidget* parent = nullptr);

    // Sets the caption and Label1, points the folder list at startFolder
    // unless it is empty, and shows the chooser.
    void openWith(const QString& caption, const QString& instruction,
                  const QString& startFolder = {});
    // The chosen folder.
    QString folder() const;
    void setFolder(const QString& path);

    // Called on OK with the chosen folder, once the chooser is hidden; a
    // further OK while it runs does nothing.
    std::function<void(const QString&)> onOk;

    QLabel* Label1 = nullptr; // instruction
    QLabel* Label2 = nullptr; // the chosen folder, shortened
    TFolderList* FolderList = nullptr;
    QPushButton* Button1 = nullptr; // OK
    QPushButton* Button2 = nullptr; // キャンセル

    void Button1Click();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showFolder();

    bool m_walking = false; // onOk is running
};
