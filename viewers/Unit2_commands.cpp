// The slide view's commands: stepping, arranging, random picks, layouts,
// enlarging, size modes and options, the timers and the clicks on screens.
#include "viewers/Unit2.h"

#include "browser/ImgPanel.h"
#include "engine/ImgBox.h"
#include "state/Globals.h"
#include "state/SettingsLines.h"
#include "viewers/SlideAhead.h"
#include "viewers/Unit11.h"
#include "viewers/Unit27.h"
#include "viewers/Unit29.h"
#include "viewers/ViewerHost.h"
#include "viewers/WindowPlacement.h"

#include <QAction>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

namespace {

const char* const kLayoutItems[] = {"N11", "N21", "N41"};

// Size modes: the engine's sizing rule and the view's size type.
struct SizeMode
{
    TGetType getType;
    TSizeType sizeType;
};
const SizeMode kSizeModes[] = {
    {igtNormal, ispImage},   // そのまま
    {igtNormal, ispStretch}, // 画像をウインドウに合わせる
    {igtPreview, ispImage},  // 大きい画像だけウインドウに合わせる
    {igtFit, ispStretch},    // 縦横比を保持しない
};

const char* const kClickItems[] = {"N17", "N18", "N43", "N58"};

} // namespace

void TForm2::runResult(TSlideResult result, bool quiet)
{
    switch (result) {
    case TSlideResult::NoSelection:
        // A timer's tick stays silent: it must not raise a box every tick.
        if (!quiet) message(QStringLiteral("選択画像がありません"));
        break;
    case TSlideResult::Done:
        ShowScreens(LayoutScreens());
        break;
    case TSlideResult::Nothing:
        break;
    }
}

void TForm2::step(bool forward, bool quiet)
{
    m_ahead->Stepped(forward);
    runResult(m_state.Step(forward, LayoutScreens(), isChecked(QStringLiteral("N111")), m_entries),
              quiet);
}

void TForm2::randomPick(bool quiet)
{
    runResult(m_state.RandomPick(LayoutScreens(), m_entries,
                                 [this](int n) { return m_ahead->Bounded(n); }),
              quiet);
}

void TForm2::Next1Click()
{
    step(true, false);
}

void TForm2::Prior1Click()
{
    step(false, false);
}

void TForm2::Random1Click()
{
    randomPick(false);
}

void TForm2::Arrange1Click()
{
    runResult(m_state.Arrange(LayoutScreens(), m_entries), false);
}

void TForm2::AllTheSameCommand(int k)
{
    const int n = LayoutScreens();
    if (m_state.AllTheSame(k, n)) ShowScreens(n);
}

void TForm2::LayoutCommand(int index)
{
    if (index < 0 || index > 2) return;
    checkItem(QString::fromLatin1(kLayoutItems[index]));
    Relayout();
    if (index == 0)
        ShowScreens(1);
    else
        Arrange1Click();
    m_host.Settings().setInt(9, index);
    SetRecordLine(4, QString::number(index));
}

void TForm2::EnlargeCommand(int k)
{
    const int n = LayoutScreens();
    if (n == 1) return;
    if (k == 0) {
        Timer3->stop();
        m_state.SwitchCounter = 0;
        LayoutCommand(n == 4 ? 2 : 1);
        return;
    }
    const std::optional<TSlideGeometry> g = slideEnlarge(n, k, Metrics(), m_geometry);
    if (!g) return;
    applyGeometry(*g);
    ShowScreens(n);
}

void TForm2::SizeModeCommand(int mode)
{
    if (mode < 0 || mode > 3) return;
    checkItemOf(&TForm2::SizeModeCommand, mode);
    for (int k = 1; k <= 4; ++k) {
        Screen(k)->ImgUtil()->setGetType(kSizeModes[mode].getType);
        Screen(k)->setSizeType(kSizeModes[mode].sizeType);
    }
    ShowScreens(LayoutScreens());
    m_host.Settings().setInt(8, mode);
}

void TForm2::ClickModeCommand(int mode)
{
    if (mode < 0 || mode > 3) return;
    checkItemOf(&TForm2::ClickModeCommand, mode);
    m_host.Settings().setInt(7, mode);
}

void TForm2::SpeedCommand(int value)
{
    if (value < 0 || value > 9) return;
    checkItemOf(&TForm2::SpeedCommand, value);
    Timer1->setInterval((value + 1) * 1000);
    m_host.Settings().setInt(5, value);
}

void TForm2::FastSpeedCommand(int value)
{
    if (value < 0 || value > 9) return;
    checkItemOf(&TForm2::FastSpeedCommand, value);
    Timer2->setInterval((value + 1) * 100);
    m_host.Settings().setInt(28, value);
}

void TForm2::SwitchSpeedCommand(int seconds)
{
    if (seconds < 1 || seconds > 10) return;
    checkItemOf(&TForm2::SwitchSpeedCommand, seconds);
    Timer3->setInterval(seconds * 1000);
}

void TForm2::N111Click()
{
    const bool on = !isChecked(QStringLiteral("N111"));
    setChecked(QStringLiteral("N111"), on);
    m_host.Settings().setInt(18, on ? 1 : 0);
}

void TForm2::N33Click()
{
    if (isChecked(QStringLiteral("N33"))) {
        setChecked(QStringLiteral("N33"), false);
        Panel8->setFixedHeight(0);
        Panel8->hide();
        m_host.Settings().setInt(10, 0);
    } else {
        setChecked(QStringLiteral("N33"), true);
        Panel8->setFixedHeight(ToolbarHeight);
        Panel8->show();
        m_host.Settings().setInt(10, 1);
    }
    placeCentral();
    Relayout();
    ShowScreens(LayoutScreens());
}

void TForm2::Refresh1Click()
{
    const int n = LayoutScreens();
    if (allHoldPictures(n)) ShowScreens(n);
}

void TForm2::WindowSizeCommand(int percent)
{
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    const QSize screenSize = s ? s->geometry().size() : QSize(1024, 768);
    // The outer frame takes the share of the screen.
    const QSize outer(screenSize.width() * percent / 100, screenSize.height() * percent / 100);
    // A window manager keeps a maximised window at its size whatever it is
    // asked: the window leaves that state first.
    if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))
        setWindowState(windowState() & ~(Qt::WindowMaximized | Qt::WindowFullScreen));
    const QSize frame = frameGeometry().size() - geometry().size();
    const QSize client(std::max(1, outer.width() - frame.width()),
                       std::max(1, outer.height() - frame.height()));
    resize(client);
    // The screens load again at the size they get, which a window manager
    // hands over later; one that gives another size is not waited for long.
    m_sizeAwaited = true;
    m_awaitedSize = client;
    if (size() == client) {
        windowSizeArrived();
        return;
    }
    QTimer::singleShot(WindowSizeWaitMs, this, [this] {
        if (m_sizeAwaited) windowSizeArrived();
    });
}

void TForm2::windowSizeArrived()
{
    m_sizeAwaited = false;
    // Every screen of the layout, fitted again where its picture was fitted
    // to the old size.
    Refresh1Click();
}

void TForm2::FileList1Click()
{
    if (!Form11) return;
    QStringList lines;
    if (m_state.SelectedPicturesMode == 1) {
        if (m_entries.SelCount() == 0) {
            message(QStringLiteral("選択画像がありません"));
            return;
        }
        for (qsizetype p = 0; p < m_state.SelectionIndices.size(); ++p)
            lines << QStringLiteral("%1|%2")
                         .arg(m_state.SelectionIndex(static_cast<int>(p)) + 1)
                         .arg(m_state.SelectionNames.value(p));
    } else {
        TPanelItems& items = m_host.Browser().Items();
        for (int i = 0; i < items.Count(); ++i) {
            const QString path = items.Items(i)->ParseName();
            lines << QStringLiteral("%1|%2").arg(i + 1).arg(
                path.mid(path.lastIndexOf(QLatin1Char('/')) + 1));
        }
    }
    Form11->Fill(lines);
    // Shown first, so that its frame is known: its right edge at the left
    // edge of the join-and-save window, at the same top.
    Form11->show();
    if (Form27) {
        const QRect join = Form27->frameGeometry();
        Form11->move(join.left() - Form11->frameGeometry().width(), join.top());
    }
    keepOnScreen(Form11);
    Form11->raise();
    Form11->activateWindow();
}

void TForm2::SizeAdjustCommand(int k)
{
    if (!Form29 || k < 1 || k > 4) return;
    Form29->openFor(k, [this, k](int w, int h) { ApplySizeAdjust(k, w, h); });
}

void TForm2::ApplySizeAdjust(int k, int w, int h)
{
    m_geometry = slideSizeAdjust(k, w, h, Panel1->width(), Metrics(), m_geometry);
    placePanels();
}

void TForm2::Switch1Click()
{
    Timer3->start();
}

void TForm2::pressButton(QToolButton* button)
{
    button->setChecked(true);
}

void TForm2::Play1Click()
{
    m_state.PlayDirection = ipdForward;
    Timer1->start();
    pressButton(SpeedButton3);
    m_ahead->Schedule(); // the next step is the play's
}

void TForm2::ReversePlay1Click()
{
    m_state.PlayDirection = ipdReverse;
    Timer1->start();
    pressButton(SpeedButton1);
    m_ahead->Schedule();
}

void TForm2::RandomPlay1Click()
{
    if (m_state.NoSelection(m_entries)) {
        message(QStringLiteral("選択画像がありません"));
        return;
    }
    m_state.PlayDirection = ipdRandom;
    Timer1->start();
    m_ahead->Schedule();
}

void TForm2::FastForward1Click()
{
    Stop1Click();
    pressButton(SpeedButton7);
    Timer2->start();
    m_state.FastMode = ifmForward;
    fastTick();
}

void TForm2::Rewind1Click()
{
    Stop1Click();
    pressButton(SpeedButton4);
    Timer2->start();
    m_state.FastMode = ifmBackward;
    fastTick();
}

void TForm2::fastTick()
{
    if (m_state.ClickedScreen != 0 || m_state.FastMode == ifmNone) return;
    step(m_state.FastMode == ifmForward, false);
}

void TForm2::Stop1Click()
{
    pressButton(SpeedButton2);
    Timer1->stop();
    Timer2->stop();
    Timer3->stop();
    m_state.ClickedScreen = 0;
    m_state.FastMode = ifmNone;
}

void TForm2::Close1Click()
{
    sq::app::slideViewActive = false;
    Timer1->stop();
    Timer2->stop();
    Timer3->stop();
    m_state.SwitchCounter = 0;
    hide();
}

void TForm2::N28Click()
{
    m_host.ShowMainWindow();
}

// ---- timers ----

void TForm2::Timer1Timer()
{
    Timer2->stop();
    switch (m_state.PlayDirection) {
    case ipdForward:
        step(true, true);
        break;
    case ipdReverse:
        step(false, true);
        break;
    case ipdRandom:
        randomPick(true);
        break;
    }
}

void TForm2::Timer2Timer()
{
    if (m_state.ClickedScreen != 0 || m_state.FastMode == ifmNone) return;
    step(m_state.FastMode == ifmForward, true);
}

void TForm2::Timer3Timer()
{
    const int n = LayoutScreens();
    int& counter = m_state.SwitchCounter;
    if (n == 2) {
        if (counter == 0 || counter == 1) EnlargeCommand(counter + 1);
        counter = counter >= 1 ? 0 : counter + 1;
    } else if (n == 4) {
        if (counter >= 0 && counter <= 3) EnlargeCommand(counter + 1);
        if (Timer3->isActive()) counter = counter >= 3 ? 0 : counter + 1;
    }
}

// ---- clicks ----

void TForm2::ScreenClicked(int k, Qt::MouseButton button, bool doubleClick)
{
    int mode = 0;
    for (int i = 0; i < 4; ++i)
        if (isChecked(QString::fromLatin1(kClickItems[i]))) mode = i;
    if (button != Qt::LeftButton && button != Qt::RightButton) return;
    const bool left = button == Qt::LeftButton;
    switch (mode) {
    case 0: // 1画像ごとに: the clicked screen alone steps
        if (m_state.ScreenIn(k, m_entries) < 0) return;
        m_state.ClickedScreen = left ? k : -k;
        m_state.StepScreen(k, left, m_entries);
        ShowScreen(k);
        break;
    case 1: // すべての画像
        if (left)
            Next1Click();
        else
            Prior1Click();
        break;
    case 3: // ダブルクリックで大きく表示
        if (left && doubleClick)
            EnlargeCommand(k);
        else if (!left && !doubleClick)
            EnlargeCommand(0);
        break;
    default: // スライドしない
        break;
    }
}
