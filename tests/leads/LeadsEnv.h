#pragma once

// The installation one lead-list test works in, and the hands that drive the main window the way a
// user does: choosing combo entries with the keyboard, clicking rows and headers.

#include "leads/NameList.h"
#include "leads/frmFindName.h"
#include "leads/frmMain.h"
#include "platform/Platform.h"
#include "tests/support/Installation.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QTest>

using namespace Qt::StringLiterals;

struct Lead {
    QVariant court = u"C1"_s, name, street = u"1 MAIN ST"_s, city = u"MIAMI"_s, state = u"FL"_s,
             zip = u"33101"_s, phone = u"(305) 555-0100"_s, file = QDate(2013, 3, 1),
             discharge = QDate(2013, 3, 4);
    bool printed = false, followed = false;
};

struct LeadsEnv : TestInstallation {
    LeadsEnv() { DbConnection->execute(u"UPDATE Dlr_Info SET Name = 'Acme Auto'"_s); }
    ~LeadsEnv() { window.reset(); }

    static QString sql(const QVariant& v) {
        if (v.typeId() == QMetaType::QDate)
            return v.toDate().toString(u"''yyyy-MM-dd 00:00:00''"_s);
        return v.isNull() ? u"NULL"_s : u'\'' + db::quoted(v.toString()) + u'\'';
    }
    static int scalar(const QString& query) {
        db::Recordset rs;
        rs.open(query, *DbConnection, db::adOpenForwardOnly, db::adLockReadOnly, db::adCmdText);
        return rs.eof() ? 0 : rs.value(0).toInt();
    }
    // A data-file row of source date `date`; returns its ID.
    static int addDataFile(const QDate& date) {
        DbConnection->execute(u"INSERT INTO DataFiles (FileName, [Date]) VALUES ("_s +
                              sql(date.toString(u"MMddyyyy'.lst'"_s)) + u", "_s + sql(date) + u')');
        return scalar(u"SELECT MAX(ID) FROM DataFiles"_s);
    }
    // A lead of data file `fileId`.
    static void addLead(int fileId, const Lead& l) {
        QStringList values{QString::number(fileId), l.printed ? u"-1"_s : u"0"_s,
                           l.followed ? u"-1"_s : u"0"_s};
        for (const QVariant& v :
             {l.court, l.name, l.street, l.city, l.state, l.zip, l.phone, l.file, l.discharge})
            values << sql(v);
        DbConnection->execute(u"INSERT INTO [Names] (DataFile_ID, Printed, Followed, Court_ID, Name, Street, "
                              "City, State, Zip, Phone, File, Discharge) VALUES ("_s +
                              values.join(u", "_s) + u')');
    }
    static void addLead(int fileId, const QString& name, const QString& street = u"1 MAIN ST"_s,
                        bool printed = false, bool followed = false) {
        addLead(fileId, {.name = name, .street = street, .printed = printed, .followed = followed});
    }

    // Creates, loads and shows the main window as start-up does.
    frmMain& open() {
        window = std::make_unique<frmMain>();
        window->Form_Load();
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qWarning("main window not exposed");
        return *window;
    }

    // Something of every row of the list: its text, its ID, its name column (joined with "|").
    template <class F> auto rows(F of) const {
        QList<decltype(of(0))> out;
        for (int i = 0; i < window->lstNames->count(); ++i)
            out << of(i);
        return out;
    }
    QStringList texts() const {
        return rows([this](int i) { return window->lstNames->text(i); });
    }
    QList<int> ids() const {
        return rows([this](int i) { return int(window->lstNames->itemData(i)); });
    }
    QString names() const {
        return rows([this](int i) { return window->lstNames->text(i).section(u'\t', 1, 1); }).join(u'|');
    }
    // A combo box's entries joined with "|", the current one marked with ">".
    static QString items(const QComboBox* box) {
        QStringList out;
        for (int i = 0; i < box->count(); ++i)
            out << (i == box->currentIndex() ? u">"_s : QString()) + box->itemText(i);
        return out.join(u'|');
    }
    // "available/selected" as the two counters show them.
    QString counters() const { return window->lblAvail->text() + u'/' + window->lblSel->text(); }
    // What the user sees of the list: source dates / mode / names / counters.
    QString view() const {
        return QStringList{items(window->cmbDates), window->cmbMode->currentText(), names(), counters()}.join(
            u" / "_s);
    }
    // Not left disabled or with the hourglass.
    bool idle() const { return window->isEnabled() && QApplication::overrideCursor() == nullptr; }

    // Opens the box's list, moves to `index` with the arrow keys and presses Enter, as a user picks.
    static void choose(QComboBox* box, int index) {
        box->showPopup();
        QTest::keyClick(box->view(), Qt::Key_Home);
        for (int i = 0; i < index; ++i)
            QTest::keyClick(box->view(), Qt::Key_Down);
        QTest::keyClick(box->view(), Qt::Key_Return);
    }
    static void clickRow(NameList* list, int row, Qt::KeyboardModifiers modifiers = {}) {
        const QModelIndex index = list->model()->index(row, 0);
        list->scrollTo(index);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, list->visualRect(index).center());
    }

    // The location lines of the error boxes shown so far.
    QStringList errorLocations() const {
        QStringList out;
        for (const auto& m : answers.messages)
            if (m.title == u"Quillmark Error"_s)
                out << m.text.section(u" : "_s, 0, 0).remove(u"The following error occurred in "_s);
        return out;
    }

    platform::ScriptedAnswerer answers;
    std::unique_ptr<frmMain> window;
};
