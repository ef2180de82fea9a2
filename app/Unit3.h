// The start-up folder dialog: the user picks the folder the program opens at
// its next start. Modeless; the main window opens it from its N2 item and
// learns the chosen folder through onChosen.
#pragma once

#include <QDialog>

#include <functional>

namespace sq::platform {
class FolderTree;
}

class QComboBox;
class QLabel;
class QPushButton;
class QTreeView;

class TForm3 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm3(QWidget* parent = nullptr);

    // Points the folder list at path (a carrier, platform/NativePath.h),
    // shows the path and the dialog. The chosen path is a carrier too.
    void openAt(const QString& path);
    QString chosenPath() const { return m_chosen; }

    // Called with the chosen path on "OK".
    std::function<void(const QString&)> onChosen;

    QComboBox* DriveComboBox1 = nullptr;
    QTreeView* DirectoryListBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* Button1 = nullptr; // OK
    QPushButton* Button2 = nullptr; // キャンセル

private:
    void choose(const QString& path);
    void Button1Click();

    sq::platform::FolderTree* m_model = nullptr;
    QString m_chosen;
};
