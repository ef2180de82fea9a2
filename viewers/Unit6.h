// The slide view's save dialog for saved-screen files ("画面を保存"): a
// folder with its "*.srq" files and the name to save under. Created once at
// start by createWindows() and kept, hidden, until the slide view opens it.
// Modeless. GUI thread only.
#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class TFolderList;

class TForm6 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm6(QWidget* parent = nullptr);

    // Shows the dialog on folder. onOk receives the chosen folder and the
    // name field's text (never empty); onFolderChange runs whenever the
    // user moves to another folder.
    void openFor(const QString& folder,
                 std::function<void(const QString& folder, const QString& name)> onOk,
                 std::function<void()> onFolderChange);
    QString folder() const;
    void setFolder(const QString& path);

    QLabel* Label1 = nullptr; // "ファイル名を入力してください"
    TFolderList* FolderList = nullptr;
    QListWidget* FileListBox1 = nullptr; // the folder's "*.srq" files
    QLineEdit* Edit1 = nullptr;          // the name
    QLineEdit* Edit2 = nullptr;          // ".srq", read-only
    QPushButton* Button1 = nullptr;      // OK
    QPushButton* Button2 = nullptr;      // キャンセル

    // "OK": nothing while the name is empty; otherwise saves and hides.
    void Button1Click();

private:
    void folderChanged(const QString& path);

    std::function<void(const QString&, const QString&)> m_onOk;
    std::function<void()> m_onFolderChange;
};
