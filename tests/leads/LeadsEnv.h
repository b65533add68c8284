#pragma once

// The installation one lead-list test works in, and the hands that drive the main window the way a
// user does: choosing combo entries with the keyboard, clicking rows and headers.

#include "database/Database.h"
#include "leads/NameList.h"
#include "leads/frmFindName.h"
#include "leads/frmMain.h"
#include "platform/Platform.h"
#include "startup/Globals.h"
#include "tests/support/Installation.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDate>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

struct Lead {
    QString court = QStringLiteral("C1");
    QString name;
    QString street = QStringLiteral("1 MAIN ST");
    QVariant city = QStringLiteral("MIAMI");
    QVariant state = QStringLiteral("FL");
    QVariant zip = QStringLiteral("33101");
    QVariant phone = QStringLiteral("(305) 555-0100");
    QDate file = QDate(2013, 3, 1);
    QDate discharge = QDate(2013, 3, 4);
    bool printed = false;
    bool followed = false;
};

struct LeadsEnv : TestInstallation {
    LeadsEnv() { DbConnection->execute(QStringLiteral("UPDATE Dlr_Info SET Name = 'Acme Auto'")); }
    ~LeadsEnv() { window.reset(); }
    LeadsEnv(const LeadsEnv&) = delete;
    LeadsEnv& operator=(const LeadsEnv&) = delete;

    static QString sqlText(const QVariant& v) {
        if (v.isNull())
            return QStringLiteral("NULL");
        return QLatin1Char('\'') + db::quoted(v.toString()) + QLatin1Char('\'');
    }
    static QString sqlDate(const QDate& d) {
        return d.isValid() ? QLatin1Char('\'') + d.toString(QStringLiteral("yyyy-MM-dd")) +
                                 QStringLiteral(" 00:00:00'")
                           : QStringLiteral("NULL");
    }

    static int scalar(const QString& sql) {
        db::Recordset rs;
        rs.open(sql, *DbConnection, db::adOpenForwardOnly, db::adLockReadOnly, db::adCmdText);
        return rs.eof() ? 0 : rs.value(0).toInt();
    }

    // A data-file row of source date `date`; returns its ID.
    static int addDataFile(const QDate& date) {
        DbConnection->execute(QStringLiteral("INSERT INTO DataFiles (FileName, [Date]) VALUES (") +
                              sqlText(date.toString(QStringLiteral("MMddyyyy")) + QStringLiteral(".lst")) +
                              QStringLiteral(", ") + sqlDate(date) + QStringLiteral(")"));
        return scalar(QStringLiteral("SELECT MAX(ID) FROM DataFiles"));
    }

    // A lead of data file `fileId`; returns its ID.
    static int addLead(int fileId, const Lead& lead) {
        DbConnection->execute(
            QStringLiteral(
                "INSERT INTO [Names] (DataFile_ID, Court_ID, Name, Street, City, State, Zip, Phone, File, "
                "Discharge, Printed, Followed) VALUES (") +
            QString::number(fileId) + QStringLiteral(", ") + sqlText(lead.court) + QStringLiteral(", ") +
            sqlText(lead.name) + QStringLiteral(", ") + sqlText(lead.street) + QStringLiteral(", ") +
            sqlText(lead.city) + QStringLiteral(", ") + sqlText(lead.state) + QStringLiteral(", ") +
            sqlText(lead.zip) + QStringLiteral(", ") + sqlText(lead.phone) + QStringLiteral(", ") +
            sqlDate(lead.file) + QStringLiteral(", ") + sqlDate(lead.discharge) + QStringLiteral(", ") +
            (lead.printed ? QStringLiteral("-1") : QStringLiteral("0")) + QStringLiteral(", ") +
            (lead.followed ? QStringLiteral("-1") : QStringLiteral("0")) + QStringLiteral(")"));
        return scalar(QStringLiteral("SELECT MAX(ID) FROM [Names]"));
    }
    static int addLead(int fileId, const QString& name, const QString& street = QStringLiteral("1 MAIN ST")) {
        Lead lead;
        lead.name = name;
        lead.street = street;
        return addLead(fileId, lead);
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

    // The list's rows as text / as IDs.
    QStringList texts() const {
        QStringList out;
        for (int i = 0; i < window->lstNames->count(); ++i)
            out << window->lstNames->text(i);
        return out;
    }
    QList<int> ids() const {
        QList<int> out;
        for (int i = 0; i < window->lstNames->count(); ++i)
            out << window->lstNames->itemData(i);
        return out;
    }
    // The name column of every row.
    QStringList names() const {
        QStringList out;
        for (const QString& t : texts())
            out << t.section(QLatin1Char('\t'), 1, 1);
        return out;
    }

    // Opens the box's list, moves to `index` with the arrow keys and presses Enter, as a user picks.
    static void choose(QComboBox* box, int index) {
        box->showPopup();
        QAbstractItemView* view = box->view();
        QTest::keyClick(view, Qt::Key_Home);
        for (int i = 0; i < index; ++i)
            QTest::keyClick(view, Qt::Key_Down);
        QTest::keyClick(view, Qt::Key_Return);
    }

    static QPoint rowCentre(NameList* list, int row) {
        const QModelIndex index = list->model()->index(row, 0);
        list->scrollTo(index);
        return list->visualRect(index).center();
    }
    static void clickRow(NameList* list, int row, Qt::KeyboardModifiers modifiers = {}) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, rowCentre(list, row));
    }

    // The location lines of the error boxes shown so far.
    QStringList errorLocations() const {
        QStringList out;
        for (const auto& m : answers.messages)
            if (m.title == QStringLiteral("Quillmark Error"))
                out << m.text.section(QStringLiteral(" : "), 0, 0)
                           .remove(QStringLiteral("The following error occurred in "));
        return out;
    }

    platform::ScriptedAnswerer answers;
    std::unique_ptr<frmMain> window;
};
