// The loupe picture dialog ("ルーぺ画面を保存"): previews what the loupe
// (Unit14) shows, with the area outside its shape left as it is or in one
// colour, and saves it as a BMP file or puts it on the
// clipboard. Created once by createWindows(); opened by the loupe bar's
// ShowSaveDialog. GUI thread only.
#pragma once

#include <QColor>
#include <QWidget>

#include <functional>

class QLabel;
class QListWidget;
class QPushButton;
class TForm14;

class TForm26 : public QWidget
{
    Q_OBJECT

public:
    static constexpr int PreviewSide = 65;

    // loupe must not be null.
    explicit TForm26(TForm14* loupe, QWidget* parent = nullptr);

    // "ルーペ画面を保存": shows the dialog with a fresh preview and brings
    // the loupe to the foreground.
    void Prepare();
    // Captures the loupe's area into the save buffer (its picture on the
    // chosen colour with "色") and shows it in the preview; with no loupe picture both stay empty.
    void refreshPreview();

    void Button1Click();   // "OK": save as BMP; the dialog stays open
    void Button2Click();   // "キャンセル"
    void Button3Click();   // "クリップボードへ"
    void Button4Click();   // "ルーペをアクティブ"
    void Panel1DblClick(); // the colour dialog

    // The background the list chooses: false "なし", true "色".
    bool colourBackground() const;
    QColor backgroundColor() const { return m_color; }
    // The preview as shown, null when empty.
    const QImage& preview() const { return m_preview; }

    // The user's answers; tests replace them. askFileName returns "" for
    // cancel, askColor an invalid colour for cancel.
    std::function<QString()> askFileName;
    std::function<QColor(const QColor& initial)> askColor;
    std::function<void(const QString& message)> tellFailure;

    QLabel* Image1 = nullptr;        // the preview, 65 x 65
    QListWidget* ListBox1 = nullptr; // "なし", "色"
    QLabel* Panel1 = nullptr;        // the colour swatch
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* Button4 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The loupe's area as the display shows it, or its picture on the
    // chosen colour, into the save buffer.
    bool captureLoupe();
    void showPreview();
    void paintSwatch();

    TForm14* m_loupe;
    QColor m_color = Qt::white; // the swatch and ColorDialog1's colour
    QImage m_preview;
};
