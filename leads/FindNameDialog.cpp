#include "leads/FindNameDialog.h"

#include "platform/Fonts.h"
#include "platform/Twips.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using platform::placeInTwips;

FindNameDialog::FindNameDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("findNameDialog"));
    setWindowTitle(QStringLiteral("Find Name"));
    setFont(platform::windowFont(QStringLiteral("Arial")));
    setFixedSize(platform::twipsToPixels(5010), platform::twipsToPixels(1560));

    auto* prompt = new QLabel(QStringLiteral("Enter a Name or Partial Name to search for:"), this);
    prompt->setFont(platform::windowFont(QStringLiteral("MS Sans Serif")));
    placeInTwips(prompt, 180, 60, 4485, 255);

    m_nameEdit = new QLineEdit(this);
    m_nameEdit->setObjectName(QStringLiteral("nameEdit"));
    placeInTwips(m_nameEdit, 180, 660, 4605, 315);

    m_okButton = new QPushButton(QStringLiteral("OK"), this);
    m_okButton->setObjectName(QStringLiteral("okButton"));
    placeInTwips(m_okButton, 1410, 1080, 1155, 345);
    m_okButton->setDefault(true);
    m_okButton->setEnabled(false);

    m_cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    placeInTwips(m_cancelButton, 2670, 1080, 1155, 345);
    m_cancelButton->setAutoDefault(false);

    auto* examples = new QLabel(examplesText(), this);
    examples->setFont(platform::windowFont(QStringLiteral("MS Sans Serif")));
    placeInTwips(examples, 180, 360, 4515, 225);

    setTabOrder(m_nameEdit, m_okButton);
    setTabOrder(m_okButton, m_cancelButton);

    connect(m_nameEdit, &QLineEdit::textChanged, this, [this] { updateOkButton(); });
    m_nameEdit->installEventFilter(this);
    connect(m_okButton, &QPushButton::clicked, this, [this] { answer(Accepted); });
    connect(m_cancelButton, &QPushButton::clicked, this, [this] { answer(Rejected); });
}

QString FindNameDialog::examplesText() {
    return QStringLiteral(R"((Examples: ""John Smith"", ""John"", ""Smith"", ""Sm"", etc.))");
}

QString FindNameDialog::searchText() const {
    return m_nameEdit->text();
}

void FindNameDialog::updateOkButton() {
    // Any character counts, a lone blank included.
    m_okButton->setEnabled(!m_nameEdit->text().isEmpty());
}

void FindNameDialog::selectText() {
    m_nameEdit->setSelection(0, static_cast<int>(m_nameEdit->text().size()));
}

void FindNameDialog::answer(DialogCode result) {
    done(result);
}

void FindNameDialog::keyPressEvent(QKeyEvent* event) {
    // Escape is the Cancel button's key.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        m_cancelButton->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool FindNameDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_nameEdit && event->type() == QEvent::FocusIn)
        selectText();
    return QDialog::eventFilter(watched, event);
}

void FindNameDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_nameEdit->setFocus(Qt::OtherFocusReason);
    selectText();
}
