// The program's windows on a folder a test writes, for the slide view's
// tests and the main window's side of them: every window made by
// createWindows(), the main window shown on the folder, the browser's
// default action for files recorded instead of run.
#pragma once

#include "app/Unit1.h"
#include "app/Windows.h"
#include "platform/ShellOpen.h"
#include "state/Globals.h"
#include "tests/support/TestFiles.h"
#include "viewers/Unit2.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

namespace sq::test {

class RecordingOpener final : public sq::platform::ShellOpener
{
public:
    bool open(const QString& path) override
    {
        opened << path;
        return true;
    }
    QStringList opened;
};

struct SlideFixture
{
    QTemporaryDir dir;
    RecordingOpener opener;
    QStringList pictures; // in browser order

    QString data() const { return dir.path() + QStringLiteral("/data/"); }
    QString pics() const { return dir.path() + QStringLiteral("/pics"); }

    // count pictures in the folder; with extras, a text file (last by name)
    // and a folder (listed first) that the test lists by widening the
    // browser's filter.
    void writeFolder(int count, bool extras = false)
    {
        pictures = writePictureSet(pics(), count);
        QCOMPARE(pictures.size(), count);
        if (extras) {
            QVERIFY(writeFile(pics() + QStringLiteral("/zz_notes.txt"), "some text\n"));
            QVERIFY(QDir().mkpath(pics() + QStringLiteral("/sub")));
            QVERIFY(writePictureSet(pics() + QStringLiteral("/sub"), 1, QStringLiteral("inner_"))
                        .size() == 1);
        }
    }

    // The windows, the main window shown on the folder. With extras the
    // browser lists folders and every file, sorted by name.
    void start(bool extras = false)
    {
        QVERIFY(QDir().mkpath(data()));
        sq::app::createWindows(data(), pics());
        Form1->ImgPanel1->SetOpener(&opener);
        Form1->show();
        QTRY_COMPARE(Form1->ImgPanel1->CurrentFolderPath(), pics());
        Form1->menuItem(QStringLiteral("Name1"))->trigger();
        if (extras) {
            // After the first show, which applies the main window's filter.
            Form1->ImgPanel1->View().DispTypes().SetFolders(true);
            Form1->ImgPanel1->View().DispTypes().SetExt(QStringLiteral("*.*"));
        }
        QTRY_VERIFY(Form1->ImgPanel1->Items().Count() > 0);
    }

    // Closes the main window (the settings are saved) and deletes the windows.
    void stop()
    {
        if (!Form1) return;
        Form1->close();
        sq::app::destroyWindows();
    }
    ~SlideFixture() { stop(); }

    TImgPanel& browser() const { return *Form1->ImgPanel1; }
    TForm2& slide() const { return *Form2; }

    // Makes entry index the browser's current entry, as a click does.
    void click(int index, Qt::KeyboardModifiers modifiers = {}) const
    {
        browser().MoveFocus(index, modifiers, false);
    }

    // The file each screen of the layout shows ("" for none).
    QStringList shown() const
    {
        QStringList files;
        for (int k = 1; k <= Form2->LayoutScreens(); ++k)
            files << Form2->Screen(k)->ImageFile();
        return files;
    }
    QStringList picturesAt(const QList<int>& numbers) const // numbered from 1
    {
        QStringList files;
        for (int n : numbers)
            files << pictures.value(n - 1);
        return files;
    }
};

} // namespace sq::test
