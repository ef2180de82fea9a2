// The file list window: the slide view lists its pictures here; a click
// previews one, the arrows assign the clicked line to a screen and "OK" puts
// the assigned pictures on the slide view's screens. The lines beside the
// previewed one are prepared ahead on helper threads. Created once at start
// by createWindows() and kept, hidden, until the slide view shows it.
// GUI thread only.
#pragma once

#include <QDialog>

#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class TAheadLoader;
class TImgBox;
class TViewerHost;

class TForm11 : public QDialog
{
    Q_OBJECT

public:
    static constexpr int ScreenCount = 4;

    explicit TForm11(TViewerHost& host, QWidget* parent = nullptr);
    ~TForm11() override;

    // The list is cleared and takes the lines ("index+1|name"); the
    // assignments stay. Nothing prepared for the old lines is kept.
    void Fill(const QStringList& lines);
    // The browser lists another folder: the lines' files are other files now.
    void ListingChanged();

    // The file line p previews: the existing file, "" for none.
    QString FileOf(int p) const;

    // The pictures of the lines beside the previewed one, the one in the
    // direction the line last moved in first.
    TAheadLoader& Ahead() { return *m_ahead; }

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

protected:
    void hideEvent(QHideEvent* event) override;

private:
    // The browser entry index of line p, -1 when there is none.
    int entryIndexOf(int p) const;
    void prepareAhead();

    TViewerHost& m_host;
    int m_chosen[ScreenCount] = {-1, -1, -1, -1};
    std::unique_ptr<TAheadLoader> m_ahead;
    int m_previewLine = -1; // the line last previewed
    bool m_forward = true;
};
