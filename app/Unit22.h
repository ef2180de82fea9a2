// The folder rename dialog: gives the folder it was opened for the typed
// name, never replacing another folder. Created once at start by
// createWindows() and kept, hidden, until shown; it keeps its edit text.
// GUI thread only.
#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

class TForm22 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm22(QWidget* parent = nullptr);

    void openFor(const QString& folder);
    QString folder() const { return m_folder; }

    // Called with the old and the new path after a rename.
    std::function<void(const QString&, const QString&)> onRenamed;

    QLabel* Label2 = nullptr; // the folder, shortened
    QLineEdit* Edit1 = nullptr;
    QPushButton* Button1 = nullptr; // OK
    QPushButton* Button2 = nullptr; // キャンセル

    void Button1Click();

private:
    QString m_folder;
};
