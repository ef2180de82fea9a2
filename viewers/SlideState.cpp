#include "viewers/SlideState.h"

#include "state/SettingsLines.h"

TSlideState::TSlideState()
{
    for (int i = 0; i < RecordLines; ++i)
        Record << QString();
}

int TSlideState::Screen(int k) const
{
    return k >= 1 && k <= ScreenCount ? m_screens[k - 1] : -1;
}

void TSlideState::SetScreen(int k, int index)
{
    if (k >= 1 && k <= ScreenCount) m_screens[k - 1] = index < 0 ? -1 : index;
}

void TSlideState::ClearScreens()
{
    for (int& s : m_screens)
        s = -1;
}

int TSlideState::ScreenIn(int k, const TSlideEntries& list) const
{
    const int index = Screen(k);
    return index >= 0 && index < list.Count() ? index : -1;
}

int TSlideState::SelectionIndex(int p) const
{
    if (p < 0 || p >= SelectionIndices.size()) return -1;
    int value = -1;
    if (!TSettingsLines::strictToInt(SelectionIndices.at(p), value) || value < 0) return -1;
    return value;
}

int TSlideState::StepForward(int index, const TSlideEntries& list) const
{
    const int count = list.Count();
    if (count <= 0) return -1;
    int i = index + 1;
    if (i >= count || i < 0) i = 0;
    if (SelectedPicturesMode != 1) return i;
    // Bounded: the selection may have changed since the mode began.
    for (int tries = 0; tries < count; ++tries) {
        if (list.Selected(i)) return i;
        i = i + 1 < count ? i + 1 : 0;
    }
    return -1;
}

int TSlideState::StepBack(int index, const TSlideEntries& list) const
{
    const int count = list.Count();
    if (count <= 0) return -1;
    int i = index - 1;
    if (i < 0 || i >= count) i = count - 1;
    if (SelectedPicturesMode != 1) return i;
    for (int tries = 0; tries < count; ++tries) {
        if (list.Selected(i)) return i;
        i = i > 0 ? i - 1 : count - 1;
    }
    return -1;
}

void TSlideState::StepScreen(int k, bool forward, const TSlideEntries& list)
{
    const int from = ScreenIn(k, list);
    const int to = forward ? StepForward(from, list) : StepBack(from, list);
    if (to >= 0) SetScreen(k, to);
}

bool TSlideState::NoSelection(const TSlideEntries& list) const
{
    return SelectedPicturesMode == 1 && list.SelCount() == 0;
}

TSlideResult TSlideState::Step(bool forward, int screens, bool onePictureStep,
                               const TSlideEntries& list)
{
    if (NoSelection(list)) return TSlideResult::NoSelection;
    if (ScreenIn(1, list) < 0) return TSlideResult::Nothing;
    const int n = screens == 4 ? 4 : screens == 2 ? 2 : 1;
    // Without the one-picture step every screen moves on by n entries, as n
    // passes over the screens in order.
    const int passes = onePictureStep ? 1 : n;
    for (int pass = 0; pass < passes; ++pass)
        for (int k = 1; k <= n; ++k)
            StepScreen(k, forward, list);
    return TSlideResult::Done;
}

TSlideResult TSlideState::Arrange(int screens, const TSlideEntries& list)
{
    if (NoSelection(list)) return TSlideResult::NoSelection;
    if (screens != 2 && screens != 4) return TSlideResult::Nothing;
    const int first = ScreenIn(1, list);
    if (first < 0) return TSlideResult::Nothing;
    int previous = first;
    for (int k = 2; k <= screens; ++k) {
        const int next = StepForward(previous, list);
        if (next >= 0) {
            SetScreen(k, next);
            previous = next;
        }
    }
    return TSlideResult::Done;
}

TSlideResult TSlideState::RandomPick(int screens, const TSlideEntries& list,
                                     const std::function<int(int)>& bounded)
{
    if (NoSelection(list)) return TSlideResult::NoSelection;
    const int n = screens == 4 ? 4 : screens == 2 ? 2 : 1;
    const int pool =
        SelectedPicturesMode == 1 ? static_cast<int>(SelectionNames.size()) : list.Count();
    // Nothing to pick from: the command, and the timer that runs it, do nothing.
    if (pool <= 0 || list.Count() <= 0) return TSlideResult::Nothing;
    for (int k = 1; k <= n; ++k) {
        const int p = bounded(pool);
        SetScreen(k, SelectedPicturesMode == 1 ? SelectionIndex(p) : p);
    }
    return TSlideResult::Done;
}

bool TSlideState::AllTheSame(int k, int screens)
{
    if (screens != 2 && screens != 4) return false;
    if (k < 1 || k > screens) return false;
    if (k != 1 && Screen(k) < 0) return false;
    const int entry = Screen(k);
    for (int other = 1; other <= screens; ++other)
        if (other != k) SetScreen(other, entry);
    return true;
}

bool TSlideState::OpenFromCurrent(int screens, int currentIndex, const TSlideEntries& list)
{
    ClearScreens();
    const int count = list.Count();
    if (currentIndex < 0 || currentIndex >= count) return false;
    const int n = screens == 4 ? 4 : screens == 2 ? 2 : 1;
    for (int k = 1; k <= n; ++k)
        SetScreen(k, (currentIndex + k - 1) % count);
    return true;
}

bool TSlideState::OpenFromSelection(int screens, const TSlideEntries& list)
{
    ClearScreens();
    const int lines = static_cast<int>(SelectionIndices.size());
    const int count = list.Count();
    auto entryOn = [&](int line) {
        const int index = SelectionIndex(line);
        return index < count ? index : -1;
    };
    if (lines <= 0 || entryOn(0) < 0) return false;
    const int n = screens == 4 ? 4 : screens == 2 ? 2 : 1;
    SetScreen(1, entryOn(0));
    if (n == 1) return true;
    int line = lines > 1 ? 1 : 0;
    SetScreen(2, entryOn(line));
    for (int k = 3; k <= n; ++k) {
        line = line + 1 < lines ? line + 1 : 0;
        SetScreen(k, entryOn(line));
    }
    return true;
}

QString recordPath(const QString& folder, const QString& path)
{
    const QStringList base = folder.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QStringList target = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (target.isEmpty()) return path;
    const QString name = target.takeLast();
    qsizetype common = 0;
    while (common < base.size() && common < target.size() && base.at(common) == target.at(common))
        ++common;
    QString out;
    for (qsizetype i = common; i < base.size(); ++i)
        out += QStringLiteral("../");
    for (qsizetype i = common; i < target.size(); ++i)
        out += target.at(i) + QLatin1Char('/');
    return out + name;
}
