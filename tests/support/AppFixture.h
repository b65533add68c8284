#pragma once

// The installation one window test works in, with the hands that fill its database and drive the main
// window the way a user does: picking combo entries with the keyboard, clicking rows and headers,
// tabbing between boxes.

#include "database/Database.h"
#include "platform/Platform.h"
#include "startup/AppContext.h"
#include "tests/support/Installation.h"
#include "tests/support/MainWindowControls.h"
#include "window/MainWindow.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDate>
#include <QFile>
#include <QTest>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

// One lead as a court list gives it.
struct Lead {
    QVariant court = u"C1"_s, name, street = u"1 MAIN ST"_s, city = u"MIAMI"_s, state = u"FL"_s,
             zip = u"33101"_s, phone = u"(305) 555-0100"_s, file = QDate(2013, 3, 1),
             discharge = QDate(2013, 3, 4);
    bool printed = false, followed = false;
};

struct AppFixture : TestInstallation, MainWindowControls {
    explicit AppFixture(int dealerships = 1) : TestInstallation(dealerships) {}
    ~AppFixture() { window.reset(); } // before the installation closes the database

    void sql(const QString& text) { connection().execute(text); }
    int scalar(const QString& query) { return TestInstallation::scalar(query).toInt(); }
    // A value as SQL text: dates as the database reads them, Null, or quoted text.
    static QString value(const QVariant& v) {
        if (v.typeId() == QMetaType::QDate)
            return v.toDate().toString(u"''yyyy-MM-dd 00:00:00''"_s);
        return v.isNull() ? u"NULL"_s : u'\'' + db::quoted(v.toString()) + u'\'';
    }
    // A data-file row of source date `date`; returns its ID.
    int addDataFile(const QDate& date) {
        sql(u"INSERT INTO DataFiles (FileName, [Date]) VALUES ("_s +
            value(date.toString(u"MMddyyyy'.lst'"_s)) + u", "_s + value(date) + u')');
        return scalar(u"SELECT MAX(ID) FROM DataFiles"_s);
    }
    void addLead(int fileId, const Lead& l) {
        QStringList values{QString::number(fileId), l.printed ? u"-1"_s : u"0"_s,
                           l.followed ? u"-1"_s : u"0"_s};
        for (const QVariant& v :
             {l.court, l.name, l.street, l.city, l.state, l.zip, l.phone, l.file, l.discharge})
            values << value(v);
        sql(u"INSERT INTO [Names] (DataFile_ID, Printed, Followed, Court_ID, Name, Street, City, State, Zip, "
            "Phone, File, Discharge) VALUES ("_s +
            values.join(u", "_s) + u')');
    }
    void addLead(int fileId, const QString& name, const QString& street = u"1 MAIN ST"_s,
                 bool printed = false, bool followed = false) {
        addLead(fileId, {.name = name, .street = street, .printed = printed, .followed = followed});
    }
    // A data file of `count` names "PERSON 10", "PERSON 11", ... with phones.
    void addLeads(int count) {
        const int file = addDataFile(QDate(2013, 3, 5));
        for (int i = 10; i < 10 + count; ++i)
            addLead(file, {.court = u"C%1"_s.arg(i),
                           .name = u"PERSON %1"_s.arg(i),
                           .street = u"%1 ELM ST"_s.arg(i),
                           .phone = u"(305) 555-01%1"_s.arg(i),
                           .file = {},
                           .discharge = {}});
    }
    // Every row of a table in stored order, the named columns as text ("<null>" for Null).
    std::vector<QStringList> rows(const QString& table, const QStringList& columns) {
        std::vector<QStringList> out;
        db::Recordset rs;
        rs.open(table, connection(), db::adOpenForwardOnly, db::adLockReadOnly, db::adCmdTableDirect);
        for (; !rs.eof(); rs.moveNext()) {
            out.emplace_back();
            for (const QString& c : columns)
                out.back() << (rs.value(c).isNull() ? u"<null>"_s : rs.value(c).toString());
        }
        return out;
    }
    static void writeFile(const QString& path, const QByteArray& bytes = "{\\rtf1 x}") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

    // Creates, loads and shows the main window as start-up does, and gives it the keyboard. Start-up has
    // asked for the dealer information before: a dealership without a name is "Acme Auto".
    MainWindow& open() {
        sql(u"UPDATE Dlr_Info SET Name = 'Acme Auto' WHERE Name IS NULL"_s);
        window = std::make_unique<MainWindow>(context);
        m_root = window.get();
        window->load();
        window->show();
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get()))
            qWarning("main window not active");
        return *window;
    }

    // Opens the box's list, moves to `index` with the arrow keys and presses Enter, as a user picks.
    static void choose(QComboBox* box, int index) {
        box->showPopup();
        QTest::keyClick(box->view(), Qt::Key_Home);
        for (int i = 0; i < index; ++i)
            QTest::keyClick(box->view(), Qt::Key_Down);
        QTest::keyClick(box->view(), Qt::Key_Return);
        // The offscreen platform leaves the closed drop-down active; a desktop gives the window back.
        box->window()->activateWindow();
        if (!QTest::qWaitForWindowActive(box->window()))
            qWarning("window not active after a pick");
    }
    static void clickRow(QAbstractItemView* view, int row, Qt::KeyboardModifiers modifiers = {}) {
        const QModelIndex index = view->model()->index(row, 0);
        view->scrollTo(index);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, view->visualRect(index).center());
    }
    // Focus as a click gives it; Tab moves it on as the keyboard does.
    static void focus(QWidget* widget) {
        widget->setFocus(Qt::MouseFocusReason);
        QApplication::processEvents();
    }
    static void tab() {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QApplication::processEvents();
    }
    static void retype(QLineEdit* edit, const QString& text) {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
    }

    // Something of every row of the name list.
    template <class F> auto listed(F of) const {
        QList<decltype(of(0))> out;
        for (int i = 0; i < namesView()->count(); ++i)
            out << of(i);
        return out;
    }
    QStringList texts() const {
        return listed([this](int i) { return namesView()->text(i); });
    }
    QList<int> ids() const {
        return listed([this](int i) { return int(namesView()->itemData(i)); });
    }
    // The name column of the list, joined with "|".
    QString names() const {
        return listed([this](int i) { return namesView()->text(i).section(u'\t', 1, 1); }).join(u'|');
    }
    // A combo box's entries joined with "|", the current one marked with ">".
    static QString items(const QComboBox* box) {
        QStringList out;
        for (int i = 0; i < box->count(); ++i)
            out << (i == box->currentIndex() ? u">"_s : QString()) + box->itemText(i);
        return out.join(u'|');
    }
    // "available/selected" as the two counters show them.
    QString counters() const { return availableCount()->text() + u'/' + selectedCount()->text(); }
    // What the user sees of the list: source dates / mode / names / counters.
    QString view() const {
        return QStringList{items(datesBox()), modeBox()->currentText(), names(), counters()}.join(u" / "_s);
    }
    // Not left disabled or with the hourglass.
    bool idle() const { return window->isEnabled() && QApplication::overrideCursor() == nullptr; }
    // The location lines of the error boxes shown so far.
    QStringList errorLocations() const {
        QStringList out;
        for (const auto& m : answers.messages)
            if (m.title == u"Quillmark Error"_s)
                out << m.text.section(u" : "_s, 0, 0).remove(u"The following error occurred in "_s);
        return out;
    }

    platform::ScriptedAnswerer answers;
    std::unique_ptr<MainWindow> window;
};
