// The loupe bar: shows and hides the loupe (Unit14) and sets its size,
// magnification, shape, jitter and smoothing; opens the loupe picture dialog
// (Unit26). The main window and the slide view reach the loupe through its
// commands ShowLoupe, HideLoupe, ShowBar and ShowSaveDialog. Created once by
// createWindows(). GUI thread only.
#pragma once

#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QPushButton;
class QToolButton;
class TForm14;
class TForm26;
class TViewerHost;

class TForm18 : public QWidget
{
    Q_OBJECT

public:
    // host gives the settings lines (30, 34, 35), nullptr none; loupe, the
    // window the bar drives, must not be null.
    TForm18(TViewerHost* host, TForm14* loupe, QWidget* parent = nullptr);
    // The picture dialog, created after the bar.
    void setSaveDialog(TForm26* dialog) { m_saveDialog = dialog; }

    // "ルーペ表示": the loupe shown, SpeedButton1 down.
    void ShowLoupe();
    // "ルーペ非表示": the loupe hidden, SpeedButton1 up.
    void HideLoupe();
    // "ルーペバー": the bar shown and raised.
    void ShowBar();
    // "ルーペ画面を保存": prepares and shows the loupe picture dialog.
    void ShowSaveDialog();

    // Handlers of the controls, as a user's change runs them.
    void SpeedButton1Click(); // show/hide, line 30
    void ComboBox1Change();   // size, line 34
    void ComboBox2Change();   // magnification, line 35
    void ComboBox5Change();   // shape, line 50 (written by the loupe)
    void jitterChange();      // SpeedButton5, ComboBox4, ComboBox3
    void CheckBox1Click();    // smoothing
    void Button1Click();      // "保存"

    // Says once per run that this session gives no desktop pixels; tests
    // replace it to see the message instead of a box.
    std::function<void(const QString&)> tellCaptureRefused;

    QToolButton* SpeedButton1 = nullptr; // loupe shown while down
    QComboBox* ComboBox2 = nullptr;      // magnification
    QComboBox* ComboBox1 = nullptr;      // loupe size
    QComboBox* ComboBox5 = nullptr;      // shape
    QToolButton* SpeedButton5 = nullptr; // jitter on while down
    QComboBox* ComboBox4 = nullptr;      // jitter direction
    QComboBox* ComboBox3 = nullptr;      // jitter width
    QCheckBox* CheckBox1 = nullptr;      // smoothing
    QPushButton* Button1 = nullptr;      // "保存"

    // The message shown when the desktop cannot be captured.
    static QString captureRefusedText();

private:
    void captureFailed();

    TViewerHost* m_host;
    TForm14* m_loupe;
    TForm26* m_saveDialog = nullptr;
    bool m_toldRefused = false;
};
