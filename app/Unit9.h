// The favourites folder chooser: the slide view picks with it the folder
// that holds its saved-screen files, seeing the *.srq files of the folder
// it browses. Its OK sets the folder of the TFavoritesFolderTarget it was
// opened for. Created once at start by createWindows() and kept, hidden,
// until shown; it keeps its last folder. GUI thread only.
#pragma once

#include <QDialog>

class QFileSystemModel;
class QLabel;
class QListView;
class QPushButton;
class TFavoritesFolderTarget;
class TFolderList;

class TForm9 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm9(QWidget* parent = nullptr);

    // Points the folder list at target's favourites folder and shows the
    // chooser. target must outlive the chooser's use.
    void openFor(TFavoritesFolderTarget& target);
    QString folder() const;
    void setFolder(const QString& path);
    // The saved-screen files the file list shows (names, sorted).
    QStringList listedFiles() const;

    QLabel* Label1 = nullptr; // the folder being browsed
    TFolderList* FolderList = nullptr;
    QListView* FileListBox1 = nullptr;
    QPushButton* Button1 = nullptr; // OK
    QPushButton* Button2 = nullptr; // キャンセル

    void Button1Click();

private:
    void showFolder(const QString& path);

    QFileSystemModel* m_files = nullptr;
    TFavoritesFolderTarget* m_target = nullptr;
};
