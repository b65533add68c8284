#include "dealer/DealerDialog.h"
#include "platform/Platform.h"
#include "tests/support/AppFixture.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

namespace {

std::vector<QStringList> stored(AppFixture& app) {
    return app.rows("Dlr_Info", {"Name", "Addr1", "Addr2", "City", "State", "Zip"});
}
const std::vector<QStringList> kUnnamed(3, QStringList(6, "<null>"));

QStringList dealership(int n) {
    const QString k = QString::number(n);
    return {"Dealer " + k + " Motors", k + "00 Main St", "Suite " + k, "City " + k, "T" + k, "0000" + k};
}

QList<QLineEdit*> boxes(DealerDialog& dlg) {
    return {dlg.nameEdit(), dlg.addressEdits()[0], dlg.addressEdits()[1],
            dlg.cityEdit(), dlg.stateEdit(),       dlg.zipEdit()};
}

// Types one dealership into the boxes as a user would, one box after the other.
void type(DealerDialog& dlg, const QStringList& values) {
    for (int i = 0; i < 6; ++i)
        QTest::keyClicks(boxes(dlg)[i], values[i]);
}

bool showActive(QWidget& w) {
    w.show();
    w.activateWindow();
    return QTest::qWaitForWindowActive(&w);
}

} // namespace

class TestDlrInfo : public QObject {
    Q_OBJECT
private slots:
    void oneDealership() {
        AppFixture app(1);
        DealerDialog dlg(app.connection());
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Quillmark 2000 Dealer Information"));
        QCOMPARE(dlg.group()->title(), QStringLiteral("Please enter your dealer information here:"));
        QCOMPARE(dlg.okButton()->text(), QStringLiteral("OK"));
        QCOMPARE(dlg.size(), QSize(482, 202));
        QVERIFY(showActive(dlg));
        QVERIFY(!dlg.okButton()->isEnabled());
        type(dlg, dealership(1));
        QTest::keyClick(dlg.zipEdit(), Qt::Key_Return);
        QCOMPARE(dlg.result(), QDialog::Accepted);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(stored(app), std::vector<QStringList>{dealership(1)});
    }

    // Shown through the modal seam as start-up shows it: numbered captions, Next until the last, nothing
    // written before the last OK, then dealership k in the k-th stored row.
    void threeDealerships() {
        AppFixture app(3);
        platform::ScriptedAnswerer answers;
        answers.setNextModal([&](QDialog& d) {
            auto& dlg = static_cast<DealerDialog&>(d);
            QVERIFY(showActive(dlg));
            for (int k = 1; k <= 3; ++k) {
                const QString n = QString::number(k);
                QCOMPARE(dlg.windowTitle(), "Quillmark Dealer Information - Dealership #" + n);
                QCOMPARE(dlg.group()->title(), "Please enter dealer information for Dealership #" + n + ":");
                QCOMPARE(dlg.okButton()->text(), k == 3 ? QStringLiteral("OK") : QStringLiteral("Next >>"));
                for (QLineEdit* box : boxes(dlg))
                    QVERIFY(box->text().isEmpty());
                QVERIFY(!dlg.okButton()->isEnabled());
                QCOMPARE(QApplication::focusWidget(), dlg.nameEdit());
                QCOMPARE(stored(app), kUnnamed);
                type(dlg, dealership(k));
                QTest::mouseClick(dlg.okButton(), Qt::LeftButton);
            }
            QVERIFY(!dlg.isVisible());
        });
        DealerDialog dlg(app.connection());
        platform::showModal(dlg);
        QCOMPARE(dlg.result(), QDialog::Accepted);
        QCOMPARE(stored(app), (std::vector<QStringList>{dealership(1), dealership(2), dealership(3)}));
        QVERIFY(answers.messages.empty());
    }

    // Cancel, Escape and the close box on the second dealership all end with nothing written.
    void cancelAndClose() {
        AppFixture app(3);
        for (int way = 0; way < 3; ++way) {
            DealerDialog dlg(app.connection());
            QVERIFY(showActive(dlg));
            type(dlg, dealership(1));
            QTest::mouseClick(dlg.okButton(), Qt::LeftButton);
            type(dlg, dealership(2));
            if (way == 0)
                QTest::mouseClick(dlg.cancelButton(), Qt::LeftButton);
            else if (way == 1)
                QTest::keyClick(dlg.cityEdit(), Qt::Key_Escape);
            else
                QVERIFY(dlg.close());
            QCOMPARE(dlg.result(), QDialog::Rejected);
            QVERIFY(!dlg.isVisible());
        }
        QCOMPARE(stored(app), kUnnamed);
    }

    // Name, City, State, Zip and one address line are required (blanks count as text); an empty first
    // address line is written as empty text. The boxes refuse a 3rd state and an 11th zip character.
    void requiredBoxesAndLimits() {
        AppFixture app(1);
        DealerDialog dlg(app.connection());
        QVERIFY(showActive(dlg));
        type(dlg, {"Acme Auto", "", "", " ", "ILL", "62701-12345"});
        QCOMPARE(dlg.stateEdit()->text(), QStringLiteral("IL"));
        QCOMPARE(dlg.zipEdit()->text(), QStringLiteral("62701-1234"));
        QVERIFY(!dlg.okButton()->isEnabled());
        QTest::keyClick(dlg.cityEdit(), Qt::Key_Return);
        QVERIFY(dlg.isVisible()); // Return does nothing while OK is disabled
        QTest::keyClicks(dlg.addressEdits()[1], "PO Box 9");
        QVERIFY(dlg.okButton()->isEnabled());
        for (QLineEdit* required : {dlg.nameEdit(), dlg.cityEdit(), dlg.stateEdit(), dlg.zipEdit()}) {
            const QString kept = required->text();
            required->selectAll();
            QTest::keyClick(required, Qt::Key_Delete);
            QVERIFY(!dlg.okButton()->isEnabled());
            QTest::keyClicks(required, kept);
            QVERIFY(dlg.okButton()->isEnabled());
        }
        QTest::mouseClick(dlg.okButton(), Qt::LeftButton);
        QCOMPARE(dlg.result(), QDialog::Accepted);
        QCOMPARE(stored(app),
                 (std::vector<QStringList>{{"Acme Auto", "", "PO Box 9", " ", "IL", "62701-1234"}}));
    }

    // A failed write is reported with the handler's location and ends the dialog; earlier rows stay.
    void writeFailure() {
        AppFixture app(3);
        platform::ScriptedAnswerer answers;
        DealerDialog dlg(app.connection());
        QVERIFY(showActive(dlg));
        for (int k = 1; k <= 3; ++k) {
            if (k == 3) // the last delivered row disappears while the dialog runs
                app.sql("DELETE FROM Dlr_Info WHERE ID = (SELECT MAX(ID) FROM Dlr_Info)");
            type(dlg, dealership(k));
            QTest::mouseClick(dlg.okButton(), Qt::LeftButton);
        }
        QCOMPARE(dlg.result(), QDialog::Rejected);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(answers.messages.size(), size_t(1));
        QVERIFY(answers.messages[0].text.contains("Form DlrInfo: Sub cmdDlrInfo_Click"));
        QCOMPARE(answers.messages[0].icon, platform::Icon::Exclamation);
        QCOMPARE(stored(app), (std::vector<QStringList>{dealership(1), dealership(2)}));
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }
};

QTEST_MAIN(TestDlrInfo)
#include "tst_dlrinfo.moc"
