#include "intake/ProgressWindow.h"

#include "platform/Fonts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QWindow>

namespace {
// Twips (1/1440 inch) to pixels at 96 dots per inch.
constexpr int px(int twips) {
    return twips / 15;
}
} // namespace

ProgressWindow::ProgressWindow(QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("ProgressWindow"));
    setWindowTitle(QStringLiteral("Progress"));
    setModal(false);
    setFixedSize(px(5775), px(885));

    progressLabel = new QLabel(this);
    progressLabel->setObjectName(QStringLiteral("progressLabel"));
    QFont font = platform::namedFont(QStringLiteral("Arial"), 9);
    font.setBold(true);
    progressLabel->setFont(font);
    progressLabel->setGeometry(px(120), px(60), px(5565), px(255));

    progressBar = new QProgressBar(this);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setGeometry(px(90), px(420), px(5625), px(315));
    progressBar->setMinimum(0);
    progressBar->setMaximum(100);
    progressBar->setValue(0);
    progressBar->setTextVisible(false);
}

ProgressWindow::~ProgressWindow() = default;

void ProgressWindow::refresh() {
    // A window just shown reaches the screen only once the windowing system has mapped it, and the
    // work that follows gives it no chance to: wait for that briefly, without taking user input.
    // Without a display (the offscreen platform) there is nothing to wait for.
    if (isVisible() && !testAttribute(Qt::WA_DontShowOnScreen) &&
        QGuiApplication::platformName() != QLatin1String("offscreen")) {
        const QWindow* window = windowHandle();
        QElapsedTimer waited;
        waited.start();
        while (window && !window->isExposed() && waited.elapsed() < 500)
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    }
    repaint();
}

void ProgressWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centre();
}

void ProgressWindow::centre() {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    QRect frame = frameGeometry();
    frame.moveCenter(area.center());
    move(frame.topLeft());
}
