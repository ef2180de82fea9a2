// The join dialog ("連結して保存"): the pictures of two slide view screens
// joined side by side or one above the other on black (SlideCapture.h
// joinPictures), saved as a BMP file or put on the clipboard. Created once
// at start by createWindows() and kept, hidden; the slide view opens it for
// itself. Always on top. GUI thread only.
#pragma once

#include "viewers/SlideCapture.h"

#include <QDialog>

class QListWidget;
class QPushButton;
class TForm2;
class TImgBox;

class TForm27 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm27(QWidget* parent = nullptr);

    // Shows the dialog on the slide view's screens, with fresh previews.
    void openFor(TForm2& slide);

    // The chosen direction and screens (1..4, 0 for none).
    TJoinDirection direction() const;
    int firstScreen() const;
    int secondScreen() const;
    // Whether the chosen screens pass the slide view's layout: one screen
    // allows only screen 1, two screens 1 and 2, four any.
    bool choiceAllowed() const;
    // The two screens' pictures joined; null without a direction, for a
    // choice the layout does not allow, or with no pixels.
    QImage Joined() const;

    // Refreshes the previews (showing the dialog, a click in a list).
    void Preview();
    void Button1Click(); // "OK": joined and saved through the save dialog
    void Button2Click(); // "キャンセル"
    void Button3Click(); // "クリップボードへ"
    void Button4Click(); // "ファイルリスト"

    QListWidget* ListBox1 = nullptr; // "横", "縦"
    QListWidget* ListBox2 = nullptr; // first picture: "画面1".."画面4"
    QListWidget* ListBox3 = nullptr; // second picture
    TImgBox* ImgBox1 = nullptr;      // side by side: first
    TImgBox* ImgBox2 = nullptr;      // side by side: second
    TImgBox* ImgBox3 = nullptr;      // one above the other: first
    TImgBox* ImgBox4 = nullptr;      // one above the other: second
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* Button4 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QImage screenPicture(int k) const;
    QString screenFile(int k) const;

    TForm2* m_slide = nullptr;
};
