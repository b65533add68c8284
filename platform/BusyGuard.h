#pragma once

#include <QPointer>
#include <QWidget>

// The busy convention of a handler that takes noticeable time: the hourglass and a disabled window
// from enter() until leave() or the end of the scope, whichever way the handler is left. Leaving is safe
// to repeat.
//
// Disabling the window takes the keyboard focus away from the control that had it. With RestoreFocus
// the focus goes back there afterwards, and restoringFocus() tells focus handlers meanwhile that the
// user never left that control.
namespace platform {

class BusyGuard {
public:
    enum Focus { LeaveFocus, RestoreFocus };
    explicit BusyGuard(QWidget* window, Focus focus = LeaveFocus) : m_window(window), m_focusRule(focus) {}
    ~BusyGuard() { leave(); }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

    void enter();
    void leave();

    static bool restoringFocus() { return s_restoring > 0; }

private:
    QWidget* m_window;
    Focus m_focusRule;
    QPointer<QWidget> m_focus;
    bool m_on = false;
    static inline int s_restoring = 0;
};

} // namespace platform
