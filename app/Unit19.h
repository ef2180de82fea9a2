// The new folder dialog: makes a folder of the typed name inside the folder
// it was opened for. Created once at start by createWindows() and kept,
// hidden, until shown; it keeps its edit text between uses. GUI thread only.
#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

class TForm19 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm19(QWidget* parent = nullptr);

    // Shows the dialog for a new folder inside parentFolder.
    void openFor(const QString& parentFolder);
    QString parentFolder() const { return m_parent; }

    // Called with the new folder's path once it is made.
    std::function<void(const QString&)> onCreated;

    QLabel* Label2 = nullptr; // the parent folder, shortened
    QLineEdit* Edit1 = nullptr;
    QPushButton* Button1 = nullptr; // OK
    QPushButton* Button2 = nullptr; // キャンセル

    void Button1Click();

private:
    QString m_parent;
};
