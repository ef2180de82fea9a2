// The slide view's rules without any window: stepping, arranging, random
// picks, opening, the record's relative paths and the screen geometry.
#include "viewers/SlideGeometry.h"
#include "viewers/SlideState.h"

#include <QtTest>

#include <set>
#include <stdexcept>

namespace {

// A browser list of count entries; selected holds the selected indices,
// selCount what the browser claims (-1: the number of selected flags).
struct FakeList : TSlideEntries
{
    int count = 0;
    std::set<int> selected;
    int claimed = -1;
    int Count() const override { return count; }
    bool Selected(int index) const override { return selected.count(index) > 0; }
    int SelCount() const override
    {
        return claimed >= 0 ? claimed : static_cast<int>(selected.size());
    }
};

using Screens = QList<int>;

Screens screensOf(const TSlideState& s)
{
    return {s.Screen(1), s.Screen(2), s.Screen(3), s.Screen(4)};
}

void setScreens(TSlideState& s, const Screens& screens)
{
    for (int k = 1; k <= 4; ++k)
        s.SetScreen(k, screens.value(k - 1, -1));
}

} // namespace

class TstSlideState : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void step_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("selected"); // empty: all entries take part
        QTest::addColumn<int>("claimed");
        QTest::addColumn<int>("layout");
        QTest::addColumn<bool>("onePicture");
        QTest::addColumn<bool>("forward");
        QTest::addColumn<Screens>("before");
        QTest::addColumn<Screens>("after");
        QTest::addColumn<int>("result");
        const int done = int(TSlideResult::Done), nothing = int(TSlideResult::Nothing),
                  none = int(TSlideResult::NoSelection);
        const QList<int> all;
        QTest::newRow("one entry: next keeps it")
            << 1 << all << -1 << 1 << false << true << Screens{0, -1, -1, -1}
            << Screens{0, -1, -1, -1} << done;
        QTest::newRow("one entry: previous keeps it")
            << 1 << all << -1 << 4 << false << false << Screens{0, 0, 0, 0} << Screens{0, 0, 0, 0}
            << done;
        QTest::newRow("four screens move by four")
            << 8 << all << -1 << 4 << false << true << Screens{0, 1, 2, 3} << Screens{4, 5, 6, 7}
            << done;
        QTest::newRow("and wrap to 1-4") << 8 << all << -1 << 4 << false << true
                                         << Screens{4, 5, 6, 7} << Screens{0, 1, 2, 3} << done;
        QTest::newRow("four back by four") << 8 << all << -1 << 4 << false << false
                                           << Screens{0, 1, 2, 3} << Screens{4, 5, 6, 7} << done;
        QTest::newRow("one-picture step") << 8 << all << -1 << 4 << true << true
                                          << Screens{0, 1, 2, 3} << Screens{1, 2, 3, 4} << done;
        QTest::newRow("two screens by two")
            << 5 << all << -1 << 2 << false << true << Screens{3, 4, -1, -1}
            << Screens{0, 1, -1, -1} << done;
        QTest::newRow("only the layout's screens move")
            << 8 << all << -1 << 2 << false << true << Screens{0, 1, 6, 7} << Screens{2, 3, 6, 7}
            << done;
        QTest::newRow("selected 2 and 5: from 5 wraps to 2")
            << 8 << QList<int>{1, 4} << -1 << 1 << false << true << Screens{4, -1, -1, -1}
            << Screens{1, -1, -1, -1} << done;
        QTest::newRow("selected 2 and 5: from 2 to 5")
            << 8 << QList<int>{1, 4} << -1 << 1 << false << true << Screens{1, -1, -1, -1}
            << Screens{4, -1, -1, -1} << done;
        QTest::newRow("selected 2 and 5: back from 2 to 5")
            << 8 << QList<int>{1, 4} << -1 << 1 << false << false << Screens{1, -1, -1, -1}
            << Screens{4, -1, -1, -1} << done;
        QTest::newRow("selected, two screens by two")
            << 8 << QList<int>{1, 4, 6} << -1 << 2 << false << true << Screens{1, 4, -1, -1}
            << Screens{6, 1, -1, -1} << done;
        QTest::newRow("selection emptied since the mode began")
            << 8 << QList<int>{} << 0 << 1 << false << true << Screens{4, -1, -1, -1}
            << Screens{4, -1, -1, -1} << none;
        // The browser counts a selection but no entry carries the flag: the
        // steps end and leave the screens as they were.
        QTest::newRow("flags and count disagree")
            << 8 << QList<int>{} << 2 << 4 << false << true << Screens{0, 1, 2, 3}
            << Screens{0, 1, 2, 3} << done;
        QTest::newRow("screen 1 none")
            << 8 << all << -1 << 1 << false << true << Screens{-1, -1, -1, -1}
            << Screens{-1, -1, -1, -1} << nothing;
        QTest::newRow("screen 1 beyond the list")
            << 3 << all << -1 << 1 << false << true << Screens{5, -1, -1, -1}
            << Screens{5, -1, -1, -1} << nothing;
        QTest::newRow("stale screen 2 starts again at the top")
            << 3 << all << -1 << 2 << true << true << Screens{0, 9, -1, -1} << Screens{1, 0, -1, -1}
            << done;
    }
    void step()
    {
        QFETCH(int, count);
        QFETCH(QList<int>, selected);
        QFETCH(int, claimed);
        QFETCH(int, layout);
        QFETCH(bool, onePicture);
        QFETCH(bool, forward);
        QFETCH(Screens, before);
        QFETCH(Screens, after);
        QFETCH(int, result);
        FakeList list;
        list.count = count;
        list.selected = {selected.begin(), selected.end()};
        list.claimed = claimed;
        TSlideState s;
        s.SelectedPicturesMode = (selected.isEmpty() && claimed < 0) ? 0 : 1;
        setScreens(s, before);
        QCOMPARE(int(s.Step(forward, layout, onePicture, list)), result);
        QCOMPARE(screensOf(s), after);
    }

    void arrangeRandomSame()
    {
        FakeList one;
        one.count = 1;
        TSlideState s;
        s.SetScreen(1, 0);
        QCOMPARE(s.Arrange(4, one), TSlideResult::Done);
        QCOMPARE(screensOf(s), (Screens{0, 0, 0, 0}));
        QCOMPARE(s.Arrange(1, one), TSlideResult::Nothing);

        FakeList eight;
        eight.count = 8;
        setScreens(s, {5, 0, 0, 0});
        s.Arrange(4, eight);
        QCOMPARE(screensOf(s), (Screens{5, 6, 7, 0}));
        s.SelectedPicturesMode = 1;
        eight.selected = {1, 4, 6};
        setScreens(s, {4, -1, -1, -1});
        s.Arrange(4, eight);
        QCOMPARE(screensOf(s), (Screens{4, 6, 1, 4}));

        // Random: the pool is the list, or the selection lists' lines.
        QList<int> draws{7, 2, 0, 3};
        auto bounded = [&](int n) {
            const int v = draws.takeFirst();
            return v < n ? v : n - 1;
        };
        s.SelectedPicturesMode = 0;
        QCOMPARE(s.RandomPick(4, eight, bounded), TSlideResult::Done);
        QCOMPARE(screensOf(s), (Screens{7, 2, 0, 3}));
        s.SelectedPicturesMode = 1;
        s.SelectionNames = {"b.jpg", "e.jpg", "gone.jpg"};
        s.SelectionIndices = {"1", "4", "12"}; // line 2 names an entry past the list
        draws = {1, 0};
        QCOMPARE(s.RandomPick(2, eight, bounded), TSlideResult::Done);
        QCOMPARE(s.Screen(1), 4);
        QCOMPARE(s.Screen(2), 1);
        QCOMPARE(s.SelectionIndex(2), 12);
        QCOMPARE(s.ScreenIn(1, eight), 4);
        FakeList empty;
        empty.claimed = 1;
        QCOMPARE(s.RandomPick(4, empty, [](int) -> int { throw std::logic_error("never drawn"); }),
                 TSlideResult::Nothing);
        eight.selected.clear();
        QCOMPARE(s.RandomPick(1, eight, bounded), TSlideResult::NoSelection);

        // All the same.
        setScreens(s, {3, 5, -1, 6});
        QVERIFY(!s.AllTheSame(1, 1));
        QVERIFY(!s.AllTheSame(3, 4)); // screen 3 has no entry
        QVERIFY(!s.AllTheSame(3, 2)); // not in the layout
        QVERIFY(s.AllTheSame(4, 4));
        QCOMPARE(screensOf(s), (Screens{6, 6, 6, 6}));
        s.SetScreen(2, 1);
        QVERIFY(s.AllTheSame(2, 2));
        QCOMPARE(screensOf(s), (Screens{1, 1, 6, 6}));
    }

    void opening_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("current");
        QTest::addColumn<QStringList>("indices"); // empty: from the current entry
        QTest::addColumn<int>("layout");
        QTest::addColumn<Screens>("screens");
        QTest::newRow("current, one screen")
            << 8 << 3 << QStringList{} << 1 << Screens{3, -1, -1, -1};
        QTest::newRow("last of 3, four screens")
            << 3 << 2 << QStringList{} << 4 << Screens{2, 0, 1, 2};
        QTest::newRow("no current entry")
            << 3 << -1 << QStringList{} << 4 << Screens{-1, -1, -1, -1};
        QTest::newRow("one selected fills all")
            << 8 << -1 << QStringList{"5"} << 4 << Screens{5, 5, 5, 5};
        QTest::newRow("two selected: 1 2 1 2")
            << 8 << -1 << QStringList{"1", "4"} << 4 << Screens{1, 4, 1, 4};
        QTest::newRow("three selected: 1 2 3 1")
            << 8 << -1 << QStringList{"1", "4", "6"} << 4 << Screens{1, 4, 6, 1};
        QTest::newRow("two screens of one")
            << 8 << -1 << QStringList{"2"} << 2 << Screens{2, 2, -1, -1};
        QTest::newRow("first index past the list")
            << 3 << -1 << QStringList{"7", "1"} << 2 << Screens{-1, -1, -1, -1};
        QTest::newRow("a later index past the list")
            << 3 << -1 << QStringList{"1", "9"} << 2 << Screens{1, -1, -1, -1};
    }
    void opening()
    {
        QFETCH(int, count);
        QFETCH(int, current);
        QFETCH(QStringList, indices);
        QFETCH(int, layout);
        QFETCH(Screens, screens);
        FakeList list;
        list.count = count;
        TSlideState s;
        setScreens(s, {0, 0, 0, 0});
        bool opened;
        if (indices.isEmpty()) {
            opened = s.OpenFromCurrent(layout, current, list);
        } else {
            s.SelectedPicturesMode = 1;
            s.SelectionIndices = indices;
            opened = s.OpenFromSelection(layout, list);
        }
        QCOMPARE(opened, screens.first() >= 0);
        QCOMPARE(screensOf(s), screens);
    }

    void recordPaths_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("line");
        QTest::newRow("next to the program") << "/opt/sq/"
                                             << "/opt/sq/a.jpg"
                                             << "a.jpg";
        QTest::newRow("below it") << "/opt/sq/"
                                  << "/opt/sq/Favorites/p/a.jpg"
                                  << "Favorites/p/a.jpg";
        QTest::newRow("one up") << "/opt/sq/"
                                << "/opt/b.jpg"
                                << "../b.jpg";
        QTest::newRow("elsewhere") << "/home/u/.config/sorrelquint/"
                                   << "/srv/pics/c.jpg"
                                   << "../../../../srv/pics/c.jpg";
        QTest::newRow("root") << "/a/b/"
                              << "/c.jpg"
                              << "../../c.jpg";
        QTest::newRow("a shared prefix is no shared folder") << "/a/b/"
                                                             << "/a/bc/x.jpg"
                                                             << "../bc/x.jpg";
        QTest::newRow("folders compared exactly") << "/a/b/"
                                                  << "/A/b/x.jpg"
                                                  << "../../A/b/x.jpg";
    }
    void recordPaths()
    {
        QFETCH(QString, folder);
        QFETCH(QString, path);
        QFETCH(QString, line);
        QCOMPARE(recordPath(folder, path), line);
        QCOMPARE(QDir::cleanPath(folder + line), path);
    }

    void relayout_data()
    {
        QTest::addColumn<int>("layout");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height"); // of the screen area
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("left1"); // screen 1's panel
        QTest::addColumn<int>("left3"); // screen 3's panel (kept from 77 when the layout sets none)
        QTest::addColumn<bool>("panel5");
        QTest::addColumn<bool>("bottom");
        QTest::newRow("1023 wide, two screens")
            << 2 << 1023 << 700 << 697 << 510 << 77 << true << false;
        QTest::newRow("1024 wide, two screens")
            << 2 << 1024 << 700 << 697 << 510 << 77 << true << false;
        QTest::newRow("one screen") << 1 << 1023 << 700 << 697 << 1020 << 77 << false << false;
        QTest::newRow("four screens") << 4 << 1023 << 700 << 348 << 510 << 510 << true << true;
        QTest::newRow("four, odd height") << 4 << 801 << 600 << 298 << 399 << 399 << true << true;
        QTest::newRow("narrow") << 4 << 20 << 20 << 8 << 8 << 8 << true << true;
    }
    void relayout()
    {
        QFETCH(int, layout);
        QFETCH(int, width);
        QFETCH(int, height);
        TSlideMetrics m;
        m.WindowWidth = width;
        m.Panel3Height = height;
        TSlideGeometry old;
        old.Panel6Width = 77;
        const TSlideGeometry g = slideRelayout(layout, m, old);
        QTEST(g.TopHeight, "top");
        QTEST(g.Panel4Width, "left1");
        QTEST(g.Panel6Width, "left3");
        QTEST(g.Panel5Shown, "panel5");
        QTEST(g.BottomShown, "bottom");
    }

    void enlarge_data()
    {
        QTest::addColumn<int>("layout");
        QTest::addColumn<int>("screen");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QList<int>>(
            "sizes"); // top, screen 1's and screen 3's panel; empty: nothing
        // W1 = W2 = 1020, Q = 255, H = 697.
        QTest::newRow("two: 画面1") << 2 << 1 << 1023 << 700 << QList<int>{697, 765, 0};
        QTest::newRow("two: 画面2") << 2 << 2 << 1023 << 700 << QList<int>{697, 255, 0};
        QTest::newRow("two: 画面3 does nothing") << 2 << 3 << 1023 << 700 << QList<int>{};
        QTest::newRow("four: 画面1") << 4 << 1 << 1023 << 700 << QList<int>{464, 765, 510};
        QTest::newRow("four: 画面2") << 4 << 2 << 1023 << 700 << QList<int>{464, 255, 510};
        QTest::newRow("four: 画面3") << 4 << 3 << 1023 << 700 << QList<int>{232, 510, 765};
        QTest::newRow("four: 画面4") << 4 << 4 << 1023 << 700 << QList<int>{232, 510, 255};
        // W1 = 797, Q = 199; W2 / 4 = 199; H = 597, H / 3 = 199.
        QTest::newRow("four: 画面1, 800 wide") << 4 << 1 << 800 << 600 << QList<int>{398, 597, 398};
        QTest::newRow("four: 画面3, 800 wide") << 4 << 3 << 800 << 600 << QList<int>{199, 398, 597};
        QTest::newRow("one screen: nothing") << 1 << 1 << 1023 << 700 << QList<int>{};
    }
    void enlarge()
    {
        QFETCH(int, layout);
        QFETCH(int, screen);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QList<int>, sizes);
        TSlideMetrics m;
        m.WindowWidth = width;
        m.Panel3Height = height;
        const std::optional<TSlideGeometry> g = slideEnlarge(layout, screen, m, TSlideGeometry{});
        QCOMPARE(g.has_value(), !sizes.isEmpty());
        if (!g) return;
        QCOMPARE((QList<int>{g->TopHeight, g->Panel4Width, g->Panel6Width}), sizes);
        QCOMPARE(g->BottomShown, layout == 4);
        QVERIFY(g->Panel5Shown);
    }

    void sizeAdjust()
    {
        TSlideMetrics m;
        m.WindowWidth = 1000;
        m.Panel3Height = 700;
        TSlideGeometry start = slideRelayout(4, m, {});
        // Screens 1 and 3 size their own panels; 2 and 4 move the splitter
        // before them; 3 and 4 size the bottom row through the top row.
        const TSlideGeometry g1 = slideSizeAdjust(1, 300, 200, 1000, m, start);
        QCOMPARE((QList<int>{g1.TopHeight, g1.Panel4Width, g1.Panel6Width}),
                 (QList<int>{204, 302, 498}));
        const TSlideGeometry g2 = slideSizeAdjust(2, 300, 200, 1000, m, start);
        QCOMPARE((QList<int>{g2.TopHeight, g2.Panel4Width}), (QList<int>{204, 1000 - 3 - 302}));
        const TSlideGeometry g3 = slideSizeAdjust(3, 300, 200, 1000, m, start);
        QCOMPARE((QList<int>{g3.TopHeight, g3.Panel4Width, g3.Panel6Width}),
                 (QList<int>{700 - 3 - 204, 498, 302}));
        const TSlideGeometry g4 = slideSizeAdjust(4, 2000, 900, 1000, m, start);
        QCOMPARE((QList<int>{g4.TopHeight, g4.Panel6Width}), (QList<int>{0, 0}));
    }
};

QTEST_GUILESS_MAIN(TstSlideState)
#include "tst_slidestate.moc"
