// The favourites edit dialog: the favourites in a list to delete from; OK
// hands the list back to the main window. Items are path carriers
// (platform/NativePath.h) kept as the items' data; they are shown with
// displayText. Created once at start by createWindows() and kept, hidden,
// until shown. GUI thread only.
#pragma once

#include <QDialog>
#include <QStringList>

#include <functional>

class QListWidget;
class QPushButton;

class TForm20 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm20(QWidget* parent = nullptr);

    // Fills the list and shows the dialog (not modal).
    void openWith(const QStringList& favorites);
    QStringList items() const;

    // Called on OK with the list's items, before the dialog hides.
    std::function<void(const QStringList&)> onOk;

    QListWidget* ListBox1 = nullptr;
    QPushButton* Button1 = nullptr; // OK
    QPushButton* Button2 = nullptr; // キャンセル
    QPushButton* Button3 = nullptr; // 削除
    QPushButton* Button4 = nullptr; // すべて削除

    void Button1Click();
    void Button3Click();
    void Button4Click();
};
