#include "viewers/ListChoice.h"

#include <QEvent>
#include <QListWidget>
#include <QTimer>

TListChoice::TListChoice(QListWidget* list, std::function<void()> run)
    : QObject(list), m_list(list), m_run(std::move(run))
{
    m_viewport = list->viewport();
    m_viewport->installEventFilter(this);
    // Every click runs it, also on the line that is current already.
    connect(list, &QListWidget::itemClicked, this, &TListChoice::fire);
    // A line made current by the mouse waits for the click at the release;
    // any other change runs it at once.
    connect(list, &QListWidget::currentRowChanged, this, [this] {
        if (!m_pressed) fire();
    });
}

bool TListChoice::eventFilter(QObject* watched, QEvent* event)
{
    // Compared by the pointer taken at the start: the filter also sees the
    // viewport's last events while the list is being destroyed.
    if (watched == m_viewport) {
        if (event->type() == QEvent::MouseButtonPress ||
            event->type() == QEvent::MouseButtonDblClick) {
            m_pressed = true;
        } else if (event->type() == QEvent::MouseButtonRelease) {
            m_pressed = false;
            // Released off the line it pressed: no click, but the line
            // changed all the same.
            QTimer::singleShot(0, this, &TListChoice::afterRelease);
        }
    }
    return QObject::eventFilter(watched, event);
}

void TListChoice::fire()
{
    m_firedRow = m_list->currentRow();
    if (m_run) m_run();
}

void TListChoice::afterRelease()
{
    if (m_list->currentRow() != m_firedRow) fire();
}
