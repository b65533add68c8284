#pragma once

#include "database/Database.h"
#include "leads/NameList.h"
#include "leads/frmMain.h"
#include "startup/Globals.h"
#include "tests/support/Installation.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <array>
#include <memory>
#include <vector>

// The test installation with the hands that drive the dealer dialog and the contact controls.
struct AppFixture : TestInstallation {
    explicit AppFixture(int dealerships = 1) : TestInstallation(dealerships) {}
    ~AppFixture() { window.reset(); }
    AppFixture(const AppFixture&) = delete;
    AppFixture& operator=(const AppFixture&) = delete;

    // Names a delivered dealership, so that the main window has one to offer.
    static void nameDealers() {
        DbConnection->execute(QStringLiteral("UPDATE Dlr_Info SET Name = 'Acme Auto'"));
    }

    // A data file of 5 March 2013 with `leads` names (no phone on every third); returns the file's ID.
    static int addLeads(int leads) {
        DbConnection->execute(QStringLiteral(
            "INSERT INTO DataFiles (FileName, [Date]) VALUES ('03052013.lst', '2013-03-05 00:00:00')"));
        const int file = count(QStringLiteral("SELECT MAX(ID) FROM DataFiles"));
        for (int i = 0; i < leads; ++i)
            DbConnection->execute(
                QStringLiteral(
                    "INSERT INTO [Names] (DataFile_ID, Court_ID, Name, Street, City, State, Zip, Phone, "
                    "Printed, Followed) VALUES (%1, 'C%2', 'PERSON %2', '%2 ELM ST', 'MIAMI', 'FL', "
                    "'33101', '(305) 555-01%2', 0, 0)")
                    .arg(file)
                    .arg(10 + i));
        return file;
    }

    static void addContact(const QString& name, const QVariant& phone) {
        DbConnection->execute(QStringLiteral("INSERT INTO Contact_Info (Name, Phone) VALUES ('") +
                              db::quoted(name) + QStringLiteral("', ") +
                              (phone.isNull()
                                   ? QStringLiteral("NULL")
                                   : QLatin1Char('\'') + db::quoted(phone.toString()) + QLatin1Char('\'')) +
                              QLatin1Char(')'));
    }

    // Creates, loads, shows and activates the main window as start-up does.
    frmMain& openMain() {
        window = std::make_unique<frmMain>();
        window->Form_Load();
        window->show();
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get()))
            qWarning("main window not active");
        return *window;
    }

    // Opens the box's list, moves to `index` with the arrow keys and presses Enter, as a user picks.
    static void choose(QComboBox* box, int index) {
        box->showPopup();
        QAbstractItemView* view = box->view();
        QTest::keyClick(view, Qt::Key_Home);
        for (int i = 0; i < index; ++i)
            QTest::keyClick(view, Qt::Key_Down);
        QTest::keyClick(view, Qt::Key_Return);
        // The offscreen platform leaves the closed drop-down active; a desktop gives the window back.
        box->window()->activateWindow();
        if (!QTest::qWaitForWindowActive(box->window()))
            qWarning("window not active after a pick");
    }

    static void clickRow(NameList* list, int row) {
        const QModelIndex index = list->model()->index(row, 0);
        list->scrollTo(index);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
    }

    static void clickItem(QListWidget* list, int row) {
        QListWidgetItem* item = list->item(row);
        list->scrollToItem(item);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
    }

    // Gives `widget` the keyboard focus the way a click would, and moves it on with Tab.
    static void focus(QWidget* widget) {
        widget->setFocus(Qt::MouseFocusReason);
        QApplication::processEvents();
    }
    static void tab() {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QApplication::processEvents();
    }

    QString appFolder() const { return dir.path() + QStringLiteral("/app"); }

    // Every row of a table in stored order, the named columns as text ("<null>" for Null).
    static std::vector<QStringList> rows(const QString& table, const QStringList& columns) {
        std::vector<QStringList> out;
        db::Recordset rs;
        rs.open(table, *DbConnection, db::adOpenForwardOnly, db::adLockReadOnly, db::adCmdTableDirect);
        while (!rs.eof()) {
            QStringList row;
            for (const QString& c : columns) {
                const QVariant v = rs.value(c);
                row << (v.isNull() ? QStringLiteral("<null>") : v.toString());
            }
            out.push_back(row);
            rs.moveNext();
        }
        return out;
    }

    static int count(const QString& sql) {
        db::Recordset rs;
        rs.open(sql, *DbConnection, db::adOpenForwardOnly, db::adLockReadOnly, db::adCmdText);
        return rs.value(0).toInt();
    }

    static void writeFile(const QString& path, const QByteArray& bytes = "{\\rtf1 x}") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

    std::unique_ptr<frmMain> window;
};
