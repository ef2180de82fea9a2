// The slide view's shared state: the four screen entries (kept as indices of
// the browser's list and checked against it before each use), the
// selected-pictures mode with its selection lists, the play, fast and click
// state, and the 10-line saved-screen record; with the rules that step,
// arrange, pick and open on the browser's list. The slide view owns one
// (TForm2::State()); the main window fills it when it opens the slide view.
// Pure: tests drive it without any window. GUI thread only.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// What the rules read of the browser's entry list.
class TSlideEntries
{
public:
    virtual ~TSlideEntries() = default;
    virtual int Count() const = 0;
    // The entry's selected flag; index lies in [0, Count()).
    virtual bool Selected(int index) const = 0;
    // The browser's number of selected entries.
    virtual int SelCount() const = 0;
};

enum TPlayDirection { ipdForward, ipdReverse, ipdRandom };
enum TFastMode { ifmNone, ifmForward, ifmBackward };

// What a command did: Done asks for the screens of the layout to be shown;
// NoSelection asks for the message "選択画像がありません".
enum class TSlideResult { Done, Nothing, NoSelection };

class TSlideState
{
public:
    static constexpr int ScreenCount = 4;
    static constexpr int RecordLines = 10;

    TSlideState();

    // Screen entry k (1..4) as stored: a browser index, or -1 for none.
    int Screen(int k) const;
    void SetScreen(int k, int index);
    void ClearScreens();
    // Screen entry k as it may be used now: its index when it lies in the
    // list, else -1 (none).
    int ScreenIn(int k, const TSlideEntries& list) const;

    // 1: stepping, arranging and random picks visit only selected entries.
    int SelectedPicturesMode = 0;
    // The selection lists (ListBox1 names, ListBox2 indices as decimal
    // text), filled by the main window in browser order.
    QStringList SelectionNames;
    QStringList SelectionIndices;
    // The index on line p of the index list; -1 for no such line or text
    // that is not a number.
    int SelectionIndex(int p) const;

    TPlayDirection PlayDirection = ipdForward;
    TFastMode FastMode = ifmNone;
    int ClickedScreen = 0; // 1..4 left button, -1..-4 right, 0 none
    int SwitchCounter = 0; // the screen the switching timer enlarges next, minus one

    // The saved-screen record: 10 lines, empty at first.
    QStringList Record;

    // The entry one step forward or back from index in the list (index -1
    // stands for none), by the selected-pictures rule; -1 when the step
    // leaves the entry unchanged (an empty list, or no selected entry).
    int StepForward(int index, const TSlideEntries& list) const;
    int StepBack(int index, const TSlideEntries& list) const;
    // Screen k steps once; unchanged where the step gives -1.
    void StepScreen(int k, bool forward, const TSlideEntries& list);

    // In selected-pictures mode with no selected entry in the browser.
    bool NoSelection(const TSlideEntries& list) const;

    // Next (forward) and Previous for the layout of screens (1, 2 or 4)
    // screens; onePictureStep moves each screen on by one instead of by the
    // number of screens.
    TSlideResult Step(bool forward, int screens, bool onePictureStep, const TSlideEntries& list);
    // Screens 2..screens follow screen 1 in order.
    TSlideResult Arrange(int screens, const TSlideEntries& list);
    // An independent pick for each screen; bounded(n) gives a uniform value
    // in [0, n).
    TSlideResult RandomPick(int screens, const TSlideEntries& list,
                            const std::function<int(int)>& bounded);
    // Screen k's entry copied to the other screens of the layout; false when
    // the layout or an unset screen k leaves nothing to do.
    bool AllTheSame(int k, int screens);

    // Opening from the browser's current entry (all entries take part):
    // false, with no screen set, when there is no current entry.
    bool OpenFromCurrent(int screens, int currentIndex, const TSlideEntries& list);
    // Opening from the selection lists: false when the first index is not a
    // position in the list.
    bool OpenFromSelection(int screens, const TSlideEntries& list);

private:
    int m_screens[ScreenCount] = {-1, -1, -1, -1};
};

// The record's form of a picture's path: relative to the folder (which ends
// in "/"), with a "../" for each folder of it that the path does not share;
// folders are compared exactly. A picture in the folder itself is its bare
// name. Both paths are absolute.
QString recordPath(const QString& folder, const QString& path);
