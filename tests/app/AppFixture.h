// The program's windows made for one test in a temporary folder: a data
// folder and the folders and pictures the test lays out, every window
// created as at start, the main window shown on a folder. Used by the main
// window's command tests.
#pragma once

#include "app/Unit1.h"
#include "app/Windows.h"
#include "state/Globals.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <initializer_list>

struct AppFixture
{
    QTemporaryDir dir;

    ~AppFixture() { sq::app::destroyWindows(); }

    QString path(const QString& relative) const { return dir.filePath(relative); }
    QString data() const { return dir.filePath(QStringLiteral("data")) + QLatin1Char('/'); }

    // Creates the windows and shows the main window on folder (relative).
    TForm1* start(const QString& folder)
    {
        QDir().mkpath(data());
        sq::app::createWindows(data(), path(folder));
        Form1->show();
        QTest::qWait(0);
        return Form1;
    }
    TImgPanel& browser() { return *Form1->ImgPanel1; }

    // Waits until the browser lists count entries.
    bool listed(int count)
    {
        return QTest::qWaitFor([&] { return browser().Items().Count() == count; }, 10000);
    }

    // Clicks the entries, the first plainly and the rest with Ctrl, as a
    // user selects them.
    void select(std::initializer_list<int> indices)
    {
        TImgPanel& b = browser();
        Qt::KeyboardModifiers mods;
        for (int i : indices) {
            b.MakeVisible(i);
            QTest::mouseClick(b.viewport(), Qt::LeftButton, mods, b.PictureBox(i).center());
            mods = Qt::ControlModifier;
        }
    }
};
