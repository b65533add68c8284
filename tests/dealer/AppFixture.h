#pragma once

#include "database/Database.h"
#include "leads/NameList.h"
#include "leads/frmMain.h"
#include "tests/support/Installation.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFile>
#include <QTest>
#include <memory>
#include <vector>

// The test installation with the hands that drive the dealer dialog, the contacts and the catalogue.
struct AppFixture : TestInstallation {
    explicit AppFixture(int dealerships = 1) : TestInstallation(dealerships) {}

    static void sql(const QString& text) { DbConnection->execute(text); }

    // A named dealership and a data file of `leads` names, so that the main window has both.
    static void addLeads(int leads) {
        sql("UPDATE Dlr_Info SET Name = 'Acme Auto'");
        sql("INSERT INTO DataFiles (FileName, [Date]) VALUES ('03052013.lst', '2013-03-05 00:00:00')");
        for (int i = 10; i < 10 + leads; ++i)
            sql(QStringLiteral("INSERT INTO [Names] (DataFile_ID, Court_ID, Name, Street, City, State, Zip, "
                               "Phone, Printed, Followed) SELECT MAX(ID), 'C%1', 'PERSON %1', '%1 ELM ST', "
                               "'MIAMI', 'FL', '33101', '(305) 555-01%1', 0, 0 FROM DataFiles")
                    .arg(i));
    }

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
        QTest::keyClick(box->view(), Qt::Key_Home);
        for (int i = 0; i < index; ++i)
            QTest::keyClick(box->view(), Qt::Key_Down);
        QTest::keyClick(box->view(), Qt::Key_Return);
        // The offscreen platform leaves the closed drop-down active; a desktop gives the window back.
        box->window()->activateWindow();
        if (!QTest::qWaitForWindowActive(box->window()))
            qWarning("window not active after a pick");
    }

    static void click(QAbstractItemView* view, int row) {
        const QModelIndex index = view->model()->index(row, 0);
        view->scrollTo(index);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
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

    // Every row of a table in stored order, the named columns as text ("<null>" for Null).
    static std::vector<QStringList> rows(const QString& table, const QStringList& columns) {
        std::vector<QStringList> out;
        db::Recordset rs;
        rs.open(table, *DbConnection, db::adOpenForwardOnly, db::adLockReadOnly, db::adCmdTableDirect);
        for (; !rs.eof(); rs.moveNext()) {
            out.emplace_back();
            for (const QString& c : columns)
                out.back() << (rs.value(c).isNull() ? QStringLiteral("<null>") : rs.value(c).toString());
        }
        return out;
    }

    static void writeFile(const QString& path, const QByteArray& bytes = "{\\rtf1 x}") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

    std::unique_ptr<frmMain> window; // destroyed before the installation closes the database
};
