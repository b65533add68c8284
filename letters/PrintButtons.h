#pragma once

#include "letters/PrintJob.h"

#include <QWidget>
#include <array>

class QPushButton;

// The three print buttons under the template group: Print Call, Preview and Print. The window decides
// which are enabled; a click asks for that kind of print.
class PrintButtons : public QWidget {
    Q_OBJECT
public:
    explicit PrintButtons(QWidget* parent);

    void allow(bool callList, bool preview, bool letters);

signals:
    void printRequested(letters::PrintKind kind);

private:
    std::array<QPushButton*, 3> m_buttons{}; // Print Call, Preview, Print
};
