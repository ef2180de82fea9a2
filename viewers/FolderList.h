// A drive box over a folder list, as the destination chooser, the
// favourites folder chooser and the slide view's save dialogs show them: the
// drive box points the list at a volume, the list's selected folder is the
// chosen folder. GUI thread only.
#pragma once

#include <QWidget>

#include <functional>

class QComboBox;
class QFileSystemModel;
class QTreeView;

class TFolderList : public QWidget
{
    Q_OBJECT

public:
    explicit TFolderList(QWidget* parent = nullptr);

    // Points the list at path (a folder) and selects it.
    void setFolder(const QString& path);
    // The chosen folder ("" before any).
    QString folder() const { return m_folder; }

    // Called whenever the chosen folder changes or the list is clicked.
    std::function<void(const QString&)> onChange;

    QComboBox* DriveComboBox1 = nullptr;
    QTreeView* DirectoryListBox1 = nullptr;

private:
    void choose(const QString& path);

    QFileSystemModel* m_model = nullptr;
    QString m_folder;
};
