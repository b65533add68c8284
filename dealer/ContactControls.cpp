// The contact controls of the main window: the salesperson who signs the letters is picked from the
// name box, or typed in with a phone and saved (a new contact) or updated (a new phone for a listed one).

#include "database/Database.h"
#include "errors/ErrorNumbers.h"
#include "errors/ShowError.h"
#include "leads/frmMain.h"
#include "platform/Platform.h"
#include "startup/Globals.h"

#include <QApplication>
#include <QFocusEvent>
#include <QPointer>
#include <QSignalBlocker>

// Helpers that reach into the window's private state; the window names this class its friend.
class ContactControls {
public:
    // Makes `index` the name box's selected entry, as the program does it: the entry's text replaces the
    // typed text, and the click is raised (the window's guard decides whether it is handled).
    static void selectName(frmMain& w, int index) {
        w.m_cmbNameListIndex = index;
        {
            const QSignalBlocker blocker(w.cmbName);
            if (w.cmbName->currentIndex() != index)
                w.cmbName->setCurrentIndex(index);
            else
                w.cmbName->setEditText(w.cmbName->itemText(index));
        }
        w.cmbName_Click();
    }

    // A pick by the user (mouse, keys, wheel) or a selection change made by other code.
    static void picked(frmMain& w, int index) {
        if (index < 0) {
            w.m_cmbNameListIndex = -1;
            return;
        }
        w.m_cmbNameListIndex = index;
        w.cmbName_Click();
    }

    static void typed(frmMain& w) { w.m_cmbNameListIndex = -1; }
};

namespace {

const char* const kClickRaised = "qmClickRaised";

void setSavePending(frmMain& w, bool pending) {
    w.cmdSave->setEnabled(pending);
    SetTag(w.cmdSave, pending ? QStringLiteral("True") : QStringLiteral("False"));
}

// The busy convention: hourglass and a disabled window. Disabling the window takes the keyboard focus
// away from the control that had it; the focus goes back there afterwards, without raising that
// control's focus handlers (the user never left it).
class Busy {
public:
    explicit Busy(frmMain& w) : m_window(w), m_focus(QApplication::focusWidget()) {
        platform::setWaitCursor();
        m_window.setEnabled(false);
    }
    ~Busy() { end(); }
    void end() {
        if (m_ended)
            return;
        m_ended = true;
        m_window.setEnabled(true);
        if (m_focus && !QApplication::focusWidget() && m_focus->isEnabled() && m_focus->isVisible()) {
            ++s_restoring;
            m_focus->setFocus(Qt::OtherFocusReason);
            --s_restoring;
        }
        platform::restoreCursor();
    }
    static bool restoring() { return s_restoring > 0; }

private:
    frmMain& m_window;
    QPointer<QWidget> m_focus;
    bool m_ended = false;
    static inline int s_restoring = 0;
};

// The Contact_Info.ID carried by a name box entry; reading it without a selected entry fails as the
// list's item data did.
qint32 contactId(const QComboBox* box, int index) {
    if (index < 0 || index >= box->count())
        throw Failure(ErrorNumbers::InvalidPropertyIndex, QStringLiteral("Invalid property array index"));
    return box->itemData(index).toInt();
}

} // namespace

int frmMain::cmbNameListIndex() const {
    return m_cmbNameListIndex;
}

void frmMain::connectContacts() {
    // The name box behaves as a plain editable drop-down: no completion that would pick entries behind
    // the user's back, and Enter never adds what was typed to the list.
    cmbName->setCompleter(nullptr);
    cmbName->setInsertPolicy(QComboBox::NoInsert);
    cmbName->setDuplicatesEnabled(true);

    if (QLineEdit* edit = cmbName->lineEdit())
        connect(edit, &QLineEdit::textEdited, this, [this] {
            ContactControls::typed(*this);
            cmbName->setProperty(kClickRaised, false);
            cmbName_Change();
        });
    // A user pick raises the index change (when the index moves) and then `activated`; a selection
    // made by other code raises only the index change. Each pick is handled once.
    connect(cmbName, &QComboBox::currentIndexChanged, this, [this](int index) {
        cmbName->setProperty(kClickRaised, index >= 0);
        if (index >= 0)
            QMetaObject::invokeMethod(
                cmbName, [box = cmbName] { box->setProperty(kClickRaised, false); }, Qt::QueuedConnection);
        ContactControls::picked(*this, index);
    });
    connect(cmbName, &QComboBox::activated, this, [this](int index) {
        if (cmbName->property(kClickRaised).toBool() && index == m_cmbNameListIndex) {
            cmbName->setProperty(kClickRaised, false);
            return;
        }
        ContactControls::picked(*this, index);
    });
    connect(txtPhone, &QLineEdit::textChanged, this, [this] { txtPhone_Change(); });
    connect(cmdSave, &QPushButton::clicked, this, [this] { cmdSave_Click(); });

    cmbName->installEventFilter(this);
    txtPhone->installEventFilter(this);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::FocusIn && type != QEvent::FocusOut)
        return QWidget::eventFilter(watched, event);
    // Focus that moves because the window is being disabled or given back, because a drop-down opens,
    // or because another window becomes active is no entering or leaving of a box.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (!isEnabled() || Busy::restoring() || reason == Qt::PopupFocusReason ||
        reason == Qt::ActiveWindowFocusReason)
        return QWidget::eventFilter(watched, event);
    if (watched == cmbName && type == QEvent::FocusOut)
        cmbName_LostFocus();
    else if (watched == txtPhone && type == QEvent::FocusIn)
        txtPhone_GotFocus();
    else if (watched == txtPhone && type == QEvent::FocusOut)
        txtPhone_LostFocus();
    return QWidget::eventFilter(watched, event);
}

// Load step: the contacts in their stored order, none selected.
void frmMain::FillContacts() {
    db::Recordset rs;
    rs.open(QStringLiteral("Contact_Info"), *DbConnection, db::adOpenForwardOnly, db::adLockReadOnly,
            db::adCmdTableDirect);
    {
        const QSignalBlocker blocker(cmbName);
        while (!rs.eof()) {
            cmbName->addItem(rs.value(QStringLiteral("Name")).toString(),
                             rs.value(QStringLiteral("ID")).toInt());
            rs.moveNext();
        }
        cmbName->setCurrentIndex(-1);
        cmbName->setEditText(QString());
    }
    rs.close();
    m_cmbNameListIndex = -1;
    cmdSave->setText(QStringLiteral("Save"));
    cmdSave->setEnabled(false);
}

void frmMain::cmbName_Change() {
    try {
        if (!cmbName->currentText().isEmpty() && !txtPhone->text().isEmpty()) {
            cmdSave->setText(QStringLiteral("Save"));
            setSavePending(*this, true);
        } else {
            setSavePending(*this, false);
        }
        EnablePrint();
    } catch (const Failure& failure) {
        ShowError(failure, QStringLiteral("Form Main: Sub cmbName_Change"));
    }
}

void frmMain::cmbName_Click() {
    if (!bEnableClicks)
        return;
    Busy busy(*this);
    try {
        setSavePending(*this, false);
        db::Recordset rs;
        rs.open(QStringLiteral("SELECT Phone FROM Contact_Info WHERE ID = ") +
                    QString::number(contactId(cmbName, m_cmbNameListIndex)),
                *DbConnection, db::adOpenForwardOnly, db::adLockReadOnly, db::adCmdText);
        // A contact saved without a phone loads with an empty one rather than refusing to load.
        const QString phone = rs.value(QStringLiteral("Phone")).toString();
        bEnablePhoneChange = false;
        txtPhone->setText(phone);
        SetTag(txtPhone, txtPhone->text());
        bEnablePhoneChange = true;
        rs.close();
        EnablePrint();
        SetTag(cmbName, QString::number(m_cmbNameListIndex));
    } catch (const Failure& failure) {
        bEnablePhoneChange = true;
        ShowError(failure, QStringLiteral("Form Main: Sub cmbName_Click"));
    }
}

void frmMain::cmbName_LostFocus() {
    if (!cmbName->currentText().isEmpty())
        return;
    try {
        bEnableClicks = false;
        const QString pick = Tag(cmbName);
        if (!pick.isEmpty())
            ContactControls::selectName(*this, pick.toInt());
        // Only a contact with a name can be saved: without a remembered pick the box stays empty and
        // there is nothing to save.
        const bool changed = txtPhone->text().compare(Tag(txtPhone), Qt::CaseInsensitive) != 0;
        setSavePending(*this, changed && !cmbName->currentText().isEmpty());
        bEnableClicks = true;
        EnablePrint();
    } catch (const Failure&) {
        bEnableClicks = true;
    }
}

void frmMain::txtPhone_Change() {
    if (!bEnablePhoneChange)
        return;
    try {
        if (!txtPhone->text().isEmpty()) {
            cmdSave->setText(m_cmbNameListIndex == -1 ? QStringLiteral("Save") : QStringLiteral("Update"));
            // A new contact needs a name as well; a listed one has its name.
            setSavePending(*this, m_cmbNameListIndex != -1 || !cmbName->currentText().isEmpty());
        } else {
            setSavePending(*this, false);
        }
        EnablePrint();
    } catch (const Failure& failure) {
        ShowError(failure, QStringLiteral("Form Main: Sub txtPhone_Change"));
    }
}

void frmMain::txtPhone_GotFocus() {
    try {
        txtPhone->setSelection(0, txtPhone->text().size());
    } catch (const Failure& failure) {
        ShowError(failure, QStringLiteral("Form Main: Sub txtPhone_GotFocus"));
    }
}

void frmMain::txtPhone_LostFocus() {
    if (!txtPhone->text().isEmpty())
        return;
    try {
        bEnablePhoneChange = false;
        txtPhone->setText(Tag(txtPhone));
        if (m_cmbNameListIndex == -1)
            // A typed contact can be saved once it has both a name and a phone again.
            setSavePending(*this, !cmbName->currentText().isEmpty() && !txtPhone->text().isEmpty());
        else
            setSavePending(*this, false);
        bEnablePhoneChange = true;
        EnablePrint();
    } catch (const Failure& failure) {
        bEnablePhoneChange = true;
        ShowError(failure, QStringLiteral("Form Main: Sub txtPhone_LostFocus"));
    }
}

void frmMain::cmdSave_Click() {
    Busy busy(*this);
    SaveContact();
}

void frmMain::SaveContact() {
    const QString name = cmbName->currentText();
    const QString phone = txtPhone->text();
    const QString match = QStringLiteral("FROM Contact_Info WHERE Name = '") + db::quoted(name) +
                          QStringLiteral("' AND Phone = '") + db::quoted(phone) + QLatin1Char('\'');
    try {
        int count = 0;
        {
            db::Recordset rs;
            rs.open(QStringLiteral("SELECT COUNT(*) ") + match, *DbConnection, db::adOpenForwardOnly,
                    db::adLockReadOnly, db::adCmdText);
            count = rs.value(0).toInt();
            rs.close();
        }
        if (count != 0) {
            // Nothing to write. A contact typed in full that is already listed becomes the selected
            // entry, so that printing knows whom it prints for.
            if (m_cmbNameListIndex == -1) {
                db::Recordset rs;
                rs.open(QStringLiteral("SELECT ID ") + match, *DbConnection, db::adOpenForwardOnly,
                        db::adLockReadOnly, db::adCmdText);
                const int index = cmbName->findData(rs.value(QStringLiteral("ID")).toInt());
                rs.close();
                if (index >= 0) {
                    bEnableClicks = false;
                    ContactControls::selectName(*this, index);
                    SetTag(cmbName, QString::number(index));
                    SetTag(txtPhone, phone);
                    bEnableClicks = true;
                }
            }
        } else if (m_cmbNameListIndex == -1) {
            if (name.isEmpty())
                return; // no one to save: the button stays as it is
            db::Recordset rs;
            rs.open(QStringLiteral("Contact_Info"), *DbConnection, db::adOpenForwardOnly,
                    db::adLockOptimistic, db::adCmdTableDirect);
            rs.addNew();
            rs.setValue(QStringLiteral("Name"), name);
            rs.setValue(QStringLiteral("Phone"), phone);
            rs.update();
            const qint32 id = rs.value(QStringLiteral("ID")).toInt();
            rs.close();
            bEnableClicks = false;
            {
                const QSignalBlocker blocker(cmbName);
                cmbName->addItem(name, id);
            }
            const int index = cmbName->count() - 1;
            ContactControls::selectName(*this, index);
            SetTag(cmbName, QString::number(index));
            bEnableClicks = true;
            SetTag(txtPhone, phone);
        } else {
            db::Recordset rs;
            rs.open(QStringLiteral("SELECT * FROM Contact_Info WHERE ID = ") +
                        QString::number(contactId(cmbName, m_cmbNameListIndex)),
                    *DbConnection, db::adOpenForwardOnly, db::adLockOptimistic, db::adCmdText);
            rs.setValue(QStringLiteral("Name"), name);
            rs.setValue(QStringLiteral("Phone"), phone);
            rs.update();
            rs.close();
            SetTag(txtPhone, phone);
        }
        setSavePending(*this, false);
    } catch (const Failure& failure) {
        bEnableClicks = true;
        ShowError(failure, QStringLiteral("Form Main: Sub SaveContact"));
    }
}
