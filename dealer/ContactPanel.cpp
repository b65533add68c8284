#include "dealer/ContactPanel.h"

#include "dealer/DealerStore.h"
#include "errors/ErrorNumbers.h"
#include "errors/ShowError.h"
#include "platform/BusyGuard.h"
#include "platform/Twips.h"
#include "startup/AppContext.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

using platform::BusyGuard;
using platform::placeInTwips;

namespace {

const QString kNamePickLocation = QStringLiteral("Form Main: Sub cmbName_Click");
const QString kSaveLocation = QStringLiteral("Form Main: Sub SaveContact");

// The item data of a box entry; reading it without a chosen entry fails as the list's item data did.
qint32 entryId(const QComboBox* box, int index) {
    if (index < 0 || index >= box->count())
        throw Failure(ErrorNumbers::InvalidPropertyIndex, QStringLiteral("Invalid property array index"));
    return box->itemData(index).toInt();
}

} // namespace

ContactPanel::ContactPanel(AppContext& context, QWidget* parent)
    : QGroupBox(QStringLiteral("Enter/Select your Contact Information"), parent), m_context(context) {
    setObjectName(QStringLiteral("contactPanel"));
    buildLayout();

    // The name box behaves as a plain editable drop-down: no completion that would pick entries behind
    // the user's back, and Enter never adds what was typed to the list.
    m_nameBox->setCompleter(nullptr);
    m_nameBox->setInsertPolicy(QComboBox::NoInsert);
    m_nameBox->setDuplicatesEnabled(true);

    if (QLineEdit* edit = m_nameBox->lineEdit())
        connect(edit, &QLineEdit::textEdited, this, [this] {
            m_nameListIndex = -1;
            m_pickHandled = false;
            nameTyped();
        });
    // A user pick raises the index change (when the index moves) and then `activated`; a selection
    // made by other code raises only the index change. Each pick is handled once.
    connect(m_nameBox, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_pickHandled = index >= 0;
        if (index >= 0)
            QMetaObject::invokeMethod(
                this, [this] { m_pickHandled = false; }, Qt::QueuedConnection);
        m_nameListIndex = index;
        if (index >= 0)
            namePicked();
    });
    connect(m_nameBox, &QComboBox::activated, this, [this](int index) {
        if (m_pickHandled && index == m_nameListIndex) {
            m_pickHandled = false;
            return;
        }
        m_nameListIndex = index;
        if (index >= 0)
            namePicked();
    });
    connect(m_phoneEdit, &QLineEdit::textChanged, this, [this] { phoneChanged(); });
    connect(m_saveButton, &QPushButton::clicked, this, [this] {
        BusyGuard busy(window(), BusyGuard::RestoreFocus);
        busy.enter();
        saveContact();
    });

    m_nameBox->installEventFilter(this);
    m_phoneEdit->installEventFilter(this);
}

ContactPanel::~ContactPanel() = default;

void ContactPanel::buildLayout() {
    placeInTwips(this, 60, 90, 10785, 885);
    placeInTwips(new QLabel(QStringLiteral("Dealership:"), this), 150, 360, 915, 255);
    m_dealerBox = new QComboBox(this);
    m_dealerBox->setObjectName(QStringLiteral("dealerBox"));
    placeInTwips(m_dealerBox, 1050, 330, 2115, 315);
    placeInTwips(new QLabel(QStringLiteral("Name:"), this), 3360, 360, 555, 255);
    m_nameBox = new QComboBox(this);
    m_nameBox->setObjectName(QStringLiteral("contactNameBox"));
    m_nameBox->setEditable(true);
    m_nameBox->setInsertPolicy(QComboBox::NoInsert);
    placeInTwips(m_nameBox, 3900, 330, 2505, 315);
    placeInTwips(new QLabel(QStringLiteral("Phone:"), this), 6510, 360, 585, 255);
    m_phoneEdit = new QLineEdit(this);
    m_phoneEdit->setObjectName(QStringLiteral("phoneEdit"));
    placeInTwips(m_phoneEdit, 7170, 330, 2025, 300);
    m_saveButton = new QPushButton(QStringLiteral("Save"), this);
    m_saveButton->setObjectName(QStringLiteral("saveContactButton"));
    placeInTwips(m_saveButton, 9360, 270, 1035, 345);
    m_saveButton->setEnabled(false);
}

bool ContactPanel::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::FocusIn && type != QEvent::FocusOut)
        return QGroupBox::eventFilter(watched, event);
    // Focus that moves because the window is being disabled or given back, because a drop-down opens,
    // or because another window becomes active is no entering or leaving of a box.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (!isEnabled() || BusyGuard::restoringFocus() || reason == Qt::PopupFocusReason ||
        reason == Qt::ActiveWindowFocusReason)
        return QGroupBox::eventFilter(watched, event);
    if (watched == m_nameBox && type == QEvent::FocusOut)
        nameLeft();
    else if (watched == m_phoneEdit && type == QEvent::FocusIn)
        phoneEntered();
    else if (watched == m_phoneEdit && type == QEvent::FocusOut)
        phoneLeft();
    return QGroupBox::eventFilter(watched, event);
}

void ContactPanel::load() {
    m_handleClicks = true;
    m_handlePhoneChange = true;
    for (const dealer::NamedRow& row : dealer::dealersByName(m_context.connection()))
        m_dealerBox->addItem(row.name, row.id);
    // The installation delivers the dealership rows, so an empty box means a damaged database with no one
    // to sign letters for: choosing its first entry fails, and the window's load reports that and skips
    // the rest of the load rather than offering a window that cannot print.
    entryId(m_dealerBox, 0);
    m_dealerBox->setCurrentIndex(0);
    fillContacts();
}

// The contacts in their stored order, none chosen.
void ContactPanel::fillContacts() {
    const std::vector<dealer::NamedRow> rows = dealer::contacts(m_context.connection());
    {
        const QSignalBlocker blocker(m_nameBox);
        for (const dealer::NamedRow& row : rows)
            m_nameBox->addItem(row.name, row.id);
        m_nameBox->setCurrentIndex(-1);
        m_nameBox->setEditText(QString());
    }
    m_nameListIndex = -1;
    m_saveButton->setText(QStringLiteral("Save"));
    m_saveButton->setEnabled(false);
}

bool ContactPanel::hasNameAndPhone() const {
    return !m_nameBox->currentText().isEmpty() && !m_phoneEdit->text().isEmpty();
}

qint32 ContactPanel::chosenContactId() const {
    return entryId(m_nameBox, m_nameListIndex);
}

qint32 ContactPanel::chosenDealerId() const {
    return entryId(m_dealerBox, m_dealerBox->currentIndex());
}

void ContactPanel::setSavePending(bool pending) {
    m_saveButton->setEnabled(pending);
    m_savePending = pending;
}

// Makes `index` the name box's chosen entry, as the program does it: the entry's text replaces the typed
// text, and the pick is raised (the guard decides whether it is handled).
void ContactPanel::selectName(int index) {
    m_nameListIndex = index;
    {
        const QSignalBlocker blocker(m_nameBox);
        if (m_nameBox->currentIndex() != index)
            m_nameBox->setCurrentIndex(index);
        else
            m_nameBox->setEditText(m_nameBox->itemText(index));
    }
    namePicked();
}

void ContactPanel::nameTyped() {
    if (hasNameAndPhone()) {
        m_saveButton->setText(QStringLiteral("Save"));
        setSavePending(true);
    } else {
        setSavePending(false);
    }
    emit contactChanged();
}

// A picked contact brings its stored phone.
void ContactPanel::namePicked() {
    if (!m_handleClicks)
        return;
    BusyGuard busy(window(), BusyGuard::RestoreFocus);
    busy.enter();
    try {
        setSavePending(false);
        const QString phone =
            dealer::contactPhone(m_context.connection(), entryId(m_nameBox, m_nameListIndex));
        m_handlePhoneChange = false;
        m_phoneEdit->setText(phone);
        m_storedPhone = m_phoneEdit->text();
        m_handlePhoneChange = true;
        emit contactChanged();
        m_lastPick = m_nameListIndex;
    } catch (const Failure& failure) {
        m_handlePhoneChange = true;
        showError(failure, kNamePickLocation);
    }
}

void ContactPanel::nameLeft() {
    if (!m_nameBox->currentText().isEmpty())
        return;
    // With clicks off the pick is not handled, so the phone typed since stays and nothing is read.
    m_handleClicks = false;
    if (m_lastPick)
        selectName(*m_lastPick);
    // Only a contact with a name can be saved: without a remembered pick the box stays empty and
    // there is nothing to save.
    const bool changed = m_phoneEdit->text().compare(m_storedPhone, Qt::CaseInsensitive) != 0;
    setSavePending(changed && !m_nameBox->currentText().isEmpty());
    m_handleClicks = true;
    emit contactChanged();
}

void ContactPanel::phoneChanged() {
    if (!m_handlePhoneChange)
        return;
    if (!m_phoneEdit->text().isEmpty()) {
        m_saveButton->setText(m_nameListIndex == -1 ? QStringLiteral("Save") : QStringLiteral("Update"));
        // A new contact needs a name as well; a listed one has its name.
        setSavePending(m_nameListIndex != -1 || !m_nameBox->currentText().isEmpty());
    } else {
        setSavePending(false);
    }
    emit contactChanged();
}

void ContactPanel::phoneEntered() {
    m_phoneEdit->setSelection(0, static_cast<int>(m_phoneEdit->text().size()));
}

void ContactPanel::phoneLeft() {
    if (!m_phoneEdit->text().isEmpty())
        return;
    m_handlePhoneChange = false;
    m_phoneEdit->setText(m_storedPhone);
    if (m_nameListIndex == -1)
        // A typed contact can be saved once it has both a name and a phone again.
        setSavePending(hasNameAndPhone());
    else
        setSavePending(false);
    m_handlePhoneChange = true;
    emit contactChanged();
}

void ContactPanel::saveContact() {
    const QString name = m_nameBox->currentText();
    const QString phone = m_phoneEdit->text();
    try {
        if (const std::optional<qint32> listed = dealer::findContact(m_context.connection(), name, phone)) {
            // Nothing to write. A contact typed in full that is already listed becomes the chosen entry,
            // so that printing knows whom it prints for.
            if (m_nameListIndex == -1) {
                const int index = m_nameBox->findData(*listed);
                if (index >= 0) {
                    m_handleClicks = false;
                    selectName(index);
                    m_lastPick = index;
                    m_storedPhone = phone;
                    m_handleClicks = true;
                }
            }
        } else if (m_nameListIndex == -1) {
            if (name.isEmpty())
                return; // no one to save: the button stays as it is
            const qint32 id = dealer::addContact(m_context.connection(), name, phone);
            m_handleClicks = false;
            {
                const QSignalBlocker blocker(m_nameBox);
                m_nameBox->addItem(name, id);
            }
            const int index = m_nameBox->count() - 1;
            selectName(index);
            m_lastPick = index;
            m_handleClicks = true;
            m_storedPhone = phone;
        } else {
            dealer::updateContact(m_context.connection(), entryId(m_nameBox, m_nameListIndex), name, phone);
            m_storedPhone = phone;
        }
        setSavePending(false);
    } catch (const Failure& failure) {
        m_handleClicks = true;
        showError(failure, kSaveLocation);
    }
}
