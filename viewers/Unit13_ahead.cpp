// The file list view's picture of the next and the previous line, prepared
// on helper threads while the current one is shown.
#include "viewers/Unit13.h"

#include "engine/ImgBox.h"
#include "viewers/AheadLoader.h"

#include <QListWidget>

void TForm13::prepareAhead()
{
    if (!isVisible()) return;
    m_ahead->WantLines(ImgBox1, currentLine(), ListBox2->count(), m_forward, true,
                       [this](int line) { return ListBox2->item(line)->text(); });
}
