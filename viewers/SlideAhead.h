// The slide view's views prepared ahead: after each step the screens' next
// pictures (the next step in the direction of play or of the last step, the
// next random pick in random play) and those one step back are made on
// helper threads. Random picks are drawn from the window's random source in
// advance, so that the pictures prepared are the ones the next pick shows
// and the picks come in the order they would without preparing. GUI thread.
#pragma once

#include "viewers/AheadLoader.h"

#include <deque>
#include <utility>

class TForm2;
class TSlideState;

class TSlideAhead
{
public:
    // Four screens, each with its next view and the one a step back.
    static constexpr int MaxViews = 4 * 2;

    explicit TSlideAhead(TForm2& form);

    TAheadLoader& Loader() { return m_loader; }
    // The window's random source in [0, n), the values drawn in advance first.
    int Bounded(int n);
    // Prepare() once the command under way is done.
    void Schedule();
    // Asks for the views of the next steps of the screens as they are now.
    void Prepare();
    // The direction the user last stepped in.
    void Stepped(bool forward) { m_forward = forward; }
    // The window is hidden: nothing prepared is kept.
    void Release();

private:
    // The n-th value the source gives from now: drawn and kept when it has
    // not been drawn yet.
    int drawn(int bound, size_t& used);
    void addScreens(const TSlideState& state, QList<std::pair<TCustomImgBox*, QString>>& want);

    TForm2& m_form;
    TAheadLoader m_loader;
    std::deque<std::pair<int, int>> m_drawn; // (bound, value), next first
    bool m_forward = true;
};
