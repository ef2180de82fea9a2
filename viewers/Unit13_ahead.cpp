// The file list view's picture of the next and the previous line, prepared
// on helper threads while the current one is shown.
#include "viewers/Unit13.h"

#include "engine/ImgBox.h"
#include "viewers/AheadLoader.h"

#include <QListWidget>
#include <QTimer>

void TForm13::scheduleAhead()
{
    if (m_aheadPending || !m_ahead->Enabled()) return;
    m_aheadPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_aheadPending = false;
            prepareAhead();
        },
        Qt::QueuedConnection);
}

void TForm13::prepareAhead()
{
    if (!isVisible()) return;
    const int line = currentLine(), count = ListBox2->count();
    QList<std::pair<TCustomImgBox*, QString>> want;
    if (line >= 0) {
        const int next = nextLine(line, count), prior = priorLine(line, count);
        const int first = m_forward ? next : prior, second = m_forward ? prior : next;
        for (const int l : {first, second})
            if (l >= 0 && l != line) want.append({ImgBox1, ListBox2->item(l)->text()});
    }
    m_ahead->Want(want);
}
