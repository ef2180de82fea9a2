// The progress box of batch conversion: which file is being converted, what
// is done, and how far the run is ("k / n" and a bar). Stays on top and has
// no buttons; the run is synchronous, so the box is repainted by the run
// itself. Created once at start by createWindows() and kept, hidden, until
// shown. GUI thread only.
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;

class TForm10 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm10(QWidget* parent = nullptr);

    // Sets the caption and Label2, shows the box for count files.
    void begin(const QString& caption, const QString& doing, int count);
    // File number current (from 1) is being converted: its name into
    // Label1, "current / count" and the bar, painted now.
    void step(int current, const QString& fileName);

    QLabel* Label1 = nullptr; // the file being converted
    QLabel* Label2 = nullptr; // what is being done
    QLabel* Label3 = nullptr; // "k / n"
    QProgressBar* ProgressBar1 = nullptr;

private:
    int m_count = 0;
};
