#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;

// The small modeless window that shows what a long operation on the user-interface thread is doing:
// the start-up scan and import, and printing. The caller sets the caption, the label and the bar and
// calls refresh() after each change, since no events are processed while the work runs.
class ProgressWindow : public QDialog {
    Q_OBJECT
public:
    explicit ProgressWindow(QWidget* parent = nullptr);
    ~ProgressWindow() override;

    QLabel* progressLabel = nullptr;
    QProgressBar* progressBar = nullptr;

    // Repaints the window and its controls at once.
    void refresh();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void centre();
};
