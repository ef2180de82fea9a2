// The main window's loupe commands and the loupe's settings lines: restored
// at first show, gathered at close. The loupe windows do the work (Unit14,
// Unit18, Unit26).
#include "app/Unit1.h"
#include "state/Globals.h"
#include "viewers/LoupeGeometry.h"
#include "viewers/Unit14.h"
#include "viewers/Unit18.h"
#include "viewers/Unit2.h"
#include "viewers/Unit26.h"

#include <QComboBox>
#include <QListWidget>

void TForm1::N15Click()
{
    if (Form18) Form18->ShowLoupe();
}

void TForm1::N44Click()
{
    if (Form18) Form18->HideLoupe();
}

void TForm1::N55Click()
{
    if (Form18) Form18->ShowBar();
}

void TForm1::N42Click()
{
    // The slide view's command of that name.
    if (Form2) Form2->LoupeSave1Click();
}

void TForm1::restoreLoupe()
{
    // The loupe picture dialog's list starts at "色".
    if (Form26) Form26->ListBox1->setCurrentRow(1);
    if (!Form14 || !Form18) return;
    // The size change shapes the loupe and so rewrites line 50; the saved
    // shape is read first and put in the shape box before that happens, or
    // it would be lost at every start.
    const int shape = m_settings.readInt(50);
    if (const int v = m_settings.readInt(35); v >= 0 && v < sq::loupe::kMagnificationCount) {
        Form18->ComboBox2->setCurrentIndex(v);
        Form18->ComboBox2Change();
    }
    if (shape >= 0 && shape < sq::loupe::kShapeCount) Form18->ComboBox5->setCurrentIndex(shape);
    if (const int v = m_settings.readInt(34); v >= 0 && v < sq::loupe::kSizeCount) {
        Form18->ComboBox1->setCurrentIndex(v);
        Form18->ComboBox1Change();
    }
    Form14->move(m_settings.readInt(36), m_settings.readInt(37));
    Form18->move(m_settings.readInt(44), m_settings.readInt(45));
    // Direction and width: the index only; the loupe reads the boxes.
    if (const int v = m_settings.readInt(46); v >= 0 && v < Form18->ComboBox4->count())
        Form18->ComboBox4->setCurrentIndex(v);
    if (const int v = m_settings.readInt(47); v >= 0 && v < Form18->ComboBox3->count())
        Form18->ComboBox3->setCurrentIndex(v);
}

void TForm1::storeLoupe()
{
    if (Form14) {
        m_settings.setInt(36, Form14->x());
        m_settings.setInt(37, Form14->y());
    }
    if (!Form18) return;
    m_settings.setInt(44, Form18->x());
    m_settings.setInt(45, Form18->y());
    // Any other index (none chosen) leaves the line as it is.
    if (const int v = Form18->ComboBox4->currentIndex(); v >= 0 && v <= 2) m_settings.setInt(46, v);
    if (const int v = Form18->ComboBox3->currentIndex(); v >= 0 && v <= 3) m_settings.setInt(47, v);
}
