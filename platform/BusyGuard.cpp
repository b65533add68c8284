#include "platform/BusyGuard.h"

#include "platform/Platform.h"

#include <QApplication>

namespace platform {

void BusyGuard::enter() {
    if (m_on)
        return;
    if (m_focusRule == RestoreFocus)
        m_focus = QApplication::focusWidget();
    setWaitCursor();
    m_window->setEnabled(false);
    m_on = true;
}

void BusyGuard::leave() {
    if (!m_on)
        return;
    m_on = false;
    m_window->setEnabled(true);
    if (m_focus && !QApplication::focusWidget() && m_focus->isEnabled() && m_focus->isVisible()) {
        ++s_restoring;
        m_focus->setFocus(Qt::OtherFocusReason);
        --s_restoring;
    }
    restoreCursor();
}

} // namespace platform
