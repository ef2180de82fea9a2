#include "viewers/SlideAhead.h"

#include "browser/ImgPanel.h"
#include "engine/ImgBox.h"
#include "viewers/Unit2.h"
#include "viewers/ViewerHost.h"

#include <QTimer>

TSlideAhead::TSlideAhead(TForm2& form)
    : m_form(form)
    , m_loader(MaxViews)
{
    m_loader.setPreparer(&form, [this] { Prepare(); });
}

int TSlideAhead::Bounded(int n)
{
    if (!m_drawn.empty()) {
        const auto [bound, value] = m_drawn.front();
        m_drawn.pop_front();
        if (bound == n) return value;
        // Drawn for another list: none of them fits this one.
        m_drawn.clear();
    }
    return m_form.Random(n);
}

int TSlideAhead::drawn(int bound, size_t& used)
{
    if (used < m_drawn.size() && m_drawn[used].first != bound)
        m_drawn.erase(m_drawn.begin() + qsizetype(used), m_drawn.end());
    if (used == m_drawn.size()) m_drawn.emplace_back(bound, m_form.Random(bound));
    return m_drawn[used++].second;
}

void TSlideAhead::Schedule()
{
    m_loader.Schedule();
}

void TSlideAhead::addScreens(const TSlideState& state,
                             QList<std::pair<TCustomImgBox*, QString>>& want)
{
    const TSlideEntries& list = m_form.Entries();
    TPanelItems& items = m_form.Host().Browser().Items();
    for (int k = 1; k <= m_form.LayoutScreens(); ++k) {
        const int index = state.ScreenIn(k, list);
        if (index < 0) continue;
        TPanelItem* item = items.Items(index);
        if (TForm2::isScreenPicture(item->ImageKind())) want.append({m_form.Screen(k), item->ParseName()});
    }
}

void TSlideAhead::Prepare()
{
    if (!m_loader.Enabled() || !m_form.isVisible()) return;
    const TSlideState& state = m_form.State();
    const TSlideEntries& list = m_form.Entries();
    const int n = m_form.LayoutScreens();
    const bool onePicture = m_form.isChecked(QStringLiteral("N111"));
    bool forward = m_forward;
    bool random = false;
    if (m_form.Timer2->isActive() && state.FastMode != ifmNone) {
        forward = state.FastMode == ifmForward;
    } else if (m_form.Timer1->isActive()) {
        forward = state.PlayDirection != ipdReverse;
        random = state.PlayDirection == ipdRandom;
    }
    QList<std::pair<TCustomImgBox*, QString>> want;
    if (state.ScreenIn(1, list) >= 0 && !state.NoSelection(list)) {
        TSlideState next = state;
        if (random) {
            size_t used = 0;
            next.RandomPick(n, list, [this, &used](int bound) { return drawn(bound, used); });
        } else {
            next.Step(forward, n, onePicture, list);
        }
        addScreens(next, want);
        TSlideState back = state;
        back.Step(random ? false : !forward, n, onePicture, list);
        addScreens(back, want);
    }
    m_loader.Want(want);
}

void TSlideAhead::Release()
{
    m_loader.Release();
}
