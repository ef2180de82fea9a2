// The favourites edit dialog: the favourites in a list to delete from; OK
// hands the list back to the main window. Items are path carriers
// (platform/NativePath.h) kept as the items' data; they are shown with
// displayText. Created once at start by createWindows() and kept, hidden,
// until shown. GUI thread only.
#pragma once

#include <QDialog>
#include <QListWidget>
#include <QStringList>

#include <functional>

class QPushButton;

// A list box with a horizontal scroll width: the width in pixels its lines
// can be scrolled across, even when its items are narrower (the scroll bar
// shows when it passes the visible width). Items wider still scroll to
// their end.
class TScrollWidthList : public QListWidget
{
public:
    using QListWidget::QListWidget;
    void setScrollWidth(int width);
    int scrollWidth() const { return m_scrollWidth; }

protected:
    void updateGeometries() override;

private:
    int m_scrollWidth = 0;
};

class TForm20 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm20(QWidget* parent = nullptr);

    // Fills the list, gives it the horizontal scroll width (pixels) and
    // shows the dialog (not modal).
    void openWith(const QStringList& favorites, int scrollWidth = 0);
    QStringList items() const;

    // Called on OK with the list's items, before the dialog hides.
    std::function<void(const QStringList&)> onOk;

    TScrollWidthList* ListBox1 = nullptr;
    QPushButton* Button1 = nullptr; // OK
    QPushButton* Button2 = nullptr; // キャンセル
    QPushButton* Button3 = nullptr; // 削除
    QPushButton* Button4 = nullptr; // すべて削除

    void Button1Click();
    void Button3Click();
    void Button4Click();
};
