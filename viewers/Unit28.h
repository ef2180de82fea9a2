// The save-all dialog ("名前を付けてすべて保存") of the slide view: a folder
// and the text added to each screen's file name. Created once at start by
// createWindows() and kept, hidden, until the slide view opens it; it keeps
// its folder and text. GUI thread only.
#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class TFolderList;

class TForm28 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm28(QWidget* parent = nullptr);

    // Shows the dialog, on startFolder while it has no folder yet (unless
    // that is empty). onOk receives the folder and the name field's text.
    void openFor(const QString& startFolder,
                 std::function<void(const QString& folder, const QString& suffix)> onOk);
    QString folder() const;
    void setFolder(const QString& path);

    TFolderList* FolderList = nullptr;
    QLabel* Label1 = nullptr;       // the chosen folder
    QLineEdit* Edit1 = nullptr;     // added to the file names
    QPushButton* Button1 = nullptr; // OK
    QPushButton* Button2 = nullptr; // キャンセル

    // "OK": the pictures saved, then the dialog hidden.
    void Button1Click();

private:
    std::function<void(const QString&, const QString&)> m_onOk;
};
