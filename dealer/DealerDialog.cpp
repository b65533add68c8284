#include "dealer/DealerDialog.h"

#include "errors/ErrorNumbers.h"
#include "errors/ShowError.h"
#include "platform/BusyGuard.h"
#include "platform/Fonts.h"
#include "platform/Platform.h"
#include "platform/Twips.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <QScreen>

using platform::twipsRect;

namespace {

const QString kLoadLocation = QStringLiteral("Form DlrInfo: Sub Form_Load");
const QString kButtonLocation = QStringLiteral("Form DlrInfo: Sub cmdDlrInfo_Click");

const QString kCaption = QStringLiteral("Quillmark 2000 Dealer Information");
const QString kGroupCaption = QStringLiteral("Please enter your dealer information here:");

} // namespace

DealerDialog::DealerDialog(db::Connection& connection, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      m_connection(connection) {
    setObjectName(QStringLiteral("dealerDialog"));
    buildLayout();
    load();
}

DealerDialog::~DealerDialog() = default;

void DealerDialog::buildLayout() {
    setFont(platform::windowFont());
    setWindowTitle(kCaption);
    setFixedSize(platform::twipsToPixels(7230), platform::twipsToPixels(3030));

    // Children are created in tab order, so focus moves through them as designed.
    m_group = new QGroupBox(kGroupCaption, this);
    m_group->setGeometry(twipsRect(180, 180, 6870, 2220));

    auto label = [this](const QString& text, QRect where) {
        auto* l = new QLabel(text, m_group);
        // A face a little wider than the one the captions were measured in still shows them whole.
        where.setWidth(qMax(where.width(), l->sizeHint().width()));
        l->setGeometry(where);
        return l;
    };
    auto box = [this](const char* name, int maxLength, QRect where) {
        auto* t = new QLineEdit(m_group);
        t->setObjectName(QLatin1String(name));
        t->setMaxLength(maxLength);
        t->setGeometry(where);
        return t;
    };

    label(QStringLiteral("Name:"), twipsRect(180, 315, 465, 195));
    m_nameEdit = box("nameEdit", 50, twipsRect(885, 270, 5355, 330));
    label(QStringLiteral("Address:"), twipsRect(180, 825, 615, 195));
    m_addressEdits[0] = box("addressEdit1", 50, twipsRect(885, 780, 5355, 330));
    m_addressEdits[1] = box("addressEdit2", 50, twipsRect(885, 1200, 5355, 330));
    label(QStringLiteral("City:"), twipsRect(180, 1755, 300, 195));
    m_cityEdit = box("cityEdit", 30, twipsRect(885, 1710, 3255, 330));
    label(QStringLiteral("State:"), twipsRect(4320, 1755, 420, 195));
    m_stateEdit = box("stateEdit", 2, twipsRect(4830, 1710, 330, 330));
    label(QStringLiteral("Zip:"), twipsRect(5340, 1755, 270, 195));
    m_zipEdit = box("zipEdit", 10, twipsRect(5700, 1710, 990, 330));

    m_okButton = new QPushButton(QStringLiteral("OK"), this);
    m_okButton->setObjectName(QStringLiteral("okButton"));
    m_okButton->setGeometry(twipsRect(4470, 2580, 1200, 330));
    m_okButton->setDefault(true);
    m_okButton->setEnabled(false);
    m_cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_cancelButton->setGeometry(twipsRect(5850, 2580, 1200, 330));

    for (QLineEdit* edit : edits())
        connect(edit, &QLineEdit::textChanged, this, [this] { updateOkButton(); });
    connect(m_okButton, &QPushButton::clicked, this, [this] { confirm(); });
    connect(m_cancelButton, &QPushButton::clicked, this, [this] { cancel(); });

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

std::array<QLineEdit*, 6> DealerDialog::edits() const {
    return {m_nameEdit, m_addressEdits[0], m_addressEdits[1], m_cityEdit, m_stateEdit, m_zipEdit};
}

void DealerDialog::load() {
    try {
        const int rows = dealer::dealerRowCount(m_connection);
        // Start-up only asks when a delivered row exists; without one there is nothing to fill in.
        if (rows < 1)
            throw Failure(ErrorNumbers::SubscriptOutOfRange, QStringLiteral("Subscript out of range"));
        m_dealerCount = qMin(rows, 32767);
        m_entries.assign(static_cast<size_t>(m_dealerCount), {});
        m_current = 1;
        if (m_dealerCount > 1) {
            setWindowTitle(QStringLiteral("Quillmark Dealer Information - Dealership #1"));
            m_group->setTitle(QStringLiteral("Please enter dealer information for Dealership #1:"));
            m_okButton->setText(QStringLiteral("Next >>"));
        }
    } catch (const Failure& failure) {
        showError(failure, kLoadLocation);
        finish(Rejected);
    }
}

// Name, city, state, zip and one of the address lines are required.
void DealerDialog::updateOkButton() {
    const bool missing = m_nameEdit->text().isEmpty() || m_cityEdit->text().isEmpty() ||
                         m_stateEdit->text().isEmpty() || m_zipEdit->text().isEmpty() ||
                         (m_addressEdits[0]->text().isEmpty() && m_addressEdits[1]->text().isEmpty());
    m_okButton->setEnabled(!missing);
}

void DealerDialog::finish(DialogCode result) {
    m_finished = true;
    setResult(result);
    hide();
}

// OK keeps the dealership's values and moves on to the next; the last one writes them all. Nothing
// reaches the table before.
void DealerDialog::confirm() {
    if (m_finished)
        return;
    platform::BusyGuard busy(this);
    busy.enter();
    try {
        m_entries.at(static_cast<size_t>(m_current - 1)) = {
            m_nameEdit->text(), m_addressEdits[0]->text(), m_addressEdits[1]->text(),
            m_cityEdit->text(), m_stateEdit->text(),       m_zipEdit->text()};
        if (m_current < m_dealerCount) {
            ++m_current;
            const QString number = QString::number(m_current);
            setWindowTitle(QStringLiteral("Quillmark Dealer Information - Dealership #") + number);
            m_group->setTitle(QStringLiteral("Please enter dealer information for Dealership #") + number +
                              QLatin1Char(':'));
            for (QLineEdit* edit : edits())
                edit->clear();
            if (m_current == m_dealerCount)
                m_okButton->setText(QStringLiteral("OK"));
            busy.leave();
            m_nameEdit->setFocus();
        } else {
            dealer::writeDealers(m_connection, m_entries);
            finish(Accepted);
        }
    } catch (const Failure& failure) {
        showError(failure, kButtonLocation);
        finish(Rejected);
    } catch (const std::out_of_range&) {
        showError(ErrorNumbers::SubscriptOutOfRange, QStringLiteral("Subscript out of range"),
                  kButtonLocation);
        finish(Rejected);
    }
}

void DealerDialog::cancel() {
    if (!m_finished)
        finish(Rejected);
}

void DealerDialog::reject() {
    if (!m_finished)
        cancel();
    else
        hide();
}

// A dialog whose loading failed has already been given up: showing it ends it at once.
void DealerDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_finished)
        QMetaObject::invokeMethod(this, &QWidget::hide, Qt::QueuedConnection);
}

void DealerDialog::closeEvent(QCloseEvent* event) {
    if (!m_finished) {
        m_finished = true;
        setResult(Rejected);
    }
    event->accept();
}
