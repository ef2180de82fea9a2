// The file list window: the slide view lists its pictures here; a click
// previews one, the arrows assign the clicked line to a screen and "OK" puts
// the assigned pictures on the slide view's screens. Created once at start
// by createWindows() and kept, hidden, until the slide view shows it.
// GUI thread only.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class TImgBox;
class TViewerHost;

class TForm11 : public QDialog
{
    Q_OBJECT

public:
    static constexpr int ScreenCount = 4;

    explicit TForm11(TViewerHost& host, QWidget* parent = nullptr);

    // The list is cleared and takes the lines ("index+1|name"); the
    // assignments stay.
    void Fill(const QStringList& lines);

    // The browser entry index assigned to screen k (1..4); -1 before any.
    int ChosenIndex(int k) const;

    void ListBox1Click();
    void ArrowClick(int k);  // "→" of screen k
    void DeleteClick(int k); // "削除" of screen k
    void Button5Click();     // OK
    void Button6Click();     // キャンセル

    QListWidget* ListBox1 = nullptr;
    QWidget* Panel1 = nullptr;
    TImgBox* ImgBox1 = nullptr;
    QLabel* Label[ScreenCount] = {};
    QLineEdit* Edit[ScreenCount] = {};     // Edit1..Edit4
    QPushButton* Arrow[ScreenCount] = {};  // Button1..Button4
    QPushButton* Delete[ScreenCount] = {}; // Button7..Button10
    QPushButton* Button5 = nullptr;        // OK
    QPushButton* Button6 = nullptr;        // キャンセル

private:
    // The browser entry index of line p, -1 when there is none.
    int entryIndexOf(int p) const;

    TViewerHost& m_host;
    int m_chosen[ScreenCount] = {-1, -1, -1, -1};
};
