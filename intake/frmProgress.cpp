#include "intake/frmProgress.h"

#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>

namespace {
// Twips (1/1440 inch) to pixels at 96 dots per inch.
constexpr int px(int twips) {
    return twips / 15;
}
} // namespace

frmProgress::frmProgress(QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("frmProgress"));
    setWindowTitle(QStringLiteral("Progress"));
    setModal(false);
    setFixedSize(px(5775), px(885));

    lblProgress = new QLabel(this);
    lblProgress->setObjectName(QStringLiteral("lblProgress"));
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(9);
    font.setBold(true);
    lblProgress->setFont(font);
    lblProgress->setGeometry(px(120), px(60), px(5565), px(255));

    barProgress = new QProgressBar(this);
    barProgress->setObjectName(QStringLiteral("barProgress"));
    barProgress->setGeometry(px(90), px(420), px(5625), px(315));
    barProgress->setMinimum(0);
    barProgress->setMaximum(100);
    barProgress->setValue(0);
    barProgress->setTextVisible(false);
}

frmProgress::~frmProgress() = default;

void frmProgress::Refresh() {
    repaint();
}

void frmProgress::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centre();
}

void frmProgress::centre() {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    QRect frame = frameGeometry();
    frame.moveCenter(area.center());
    move(frame.topLeft());
}
