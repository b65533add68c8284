#include "letters/PrintButtons.h"

#include "platform/Twips.h"

#include <QPushButton>

namespace {
// The row of buttons in twips of the window.
constexpr int kLeft = 6030, kTop = 7800, kStep = 1200, kWidth = 1125, kHeight = 375;
} // namespace

PrintButtons::PrintButtons(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("printButtons"));
    const QRect area = platform::twipsRect(kLeft, kTop, 2 * kStep + kWidth, kHeight);
    setGeometry(area);
    const std::array<QString, 3> captions{QStringLiteral("Print Call"), QStringLiteral("Preview"),
                                          QStringLiteral("Print")};
    const std::array<const char*, 3> names{"printCallButton", "previewButton", "printButton"};
    const std::array<letters::PrintKind, 3> kinds{letters::PrintKind::CallList, letters::PrintKind::Preview,
                                                  letters::PrintKind::Letters};
    for (size_t i = 0; i < m_buttons.size(); ++i) {
        m_buttons[i] = new QPushButton(captions[i], this);
        m_buttons[i]->setObjectName(QLatin1String(names[i]));
        // Each button keeps its place in the window, moved into the row.
        m_buttons[i]->setGeometry(
            platform::twipsRect(kLeft + kStep * static_cast<int>(i), kTop, kWidth, kHeight)
                .translated(-area.topLeft()));
        connect(m_buttons[i], &QPushButton::clicked, this,
                [this, kind = kinds[i]] { emit printRequested(kind); });
    }
}

void PrintButtons::allow(bool callList, bool preview, bool letters) {
    m_buttons[0]->setEnabled(callList);
    m_buttons[1]->setEnabled(preview);
    m_buttons[2]->setEnabled(letters);
}
