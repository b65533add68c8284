#include "dealer/frmDlrInfo.h"
#include "platform/Platform.h"
#include "tests/support/AppFixture.h"

namespace {

std::vector<QStringList> stored() {
    return AppFixture::rows("Dlr_Info", {"Name", "Addr1", "Addr2", "City", "State", "Zip"});
}
const std::vector<QStringList> kUnnamed(3, QStringList(6, "<null>"));

QStringList dealer(int n) {
    const QString k = QString::number(n);
    return {"Dealer " + k + " Motors", k + "00 Main St", "Suite " + k, "City " + k, "T" + k, "0000" + k};
}

QList<QLineEdit*> boxes(frmDlrInfo& dlg) {
    return {dlg.txtName, dlg.txtAddr[0], dlg.txtAddr[1], dlg.txtCity, dlg.txtState, dlg.txtZip};
}

// Types one dealership into the boxes as a user would, one box after the other.
void type(frmDlrInfo& dlg, const QStringList& values) {
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
        frmDlrInfo dlg;
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Quillmark 2000 Dealer Information"));
        QCOMPARE(dlg.fraDlrInfo->title(), QStringLiteral("Please enter your dealer information here:"));
        QCOMPARE(dlg.cmdDlrInfo[0]->text(), QStringLiteral("OK"));
        QCOMPARE(dlg.size(), QSize(482, 202));
        QVERIFY(showActive(dlg));
        QVERIFY(!dlg.cmdDlrInfo[0]->isEnabled());
        type(dlg, dealer(1));
        QTest::keyClick(dlg.txtZip, Qt::Key_Return);
        QCOMPARE(dlg.iResponse, qint16(1));
        QVERIFY(!dlg.isVisible());
        QCOMPARE(stored(), std::vector<QStringList>{dealer(1)});
    }

    // Shown through the modal seam as start-up shows it: numbered captions, Next until the last, nothing
    // written before the last OK, then dealership k in the k-th stored row.
    void threeDealerships() {
        AppFixture app(3);
        platform::ScriptedAnswerer answers;
        answers.setNextModal([&](QDialog& d) {
            auto& dlg = static_cast<frmDlrInfo&>(d);
            QVERIFY(showActive(dlg));
            for (int k = 1; k <= 3; ++k) {
                const QString n = QString::number(k);
                QCOMPARE(dlg.windowTitle(), "Quillmark Dealer Information - Dealership #" + n);
                QCOMPARE(dlg.fraDlrInfo->title(),
                         "Please enter dealer information for Dealership #" + n + ":");
                QCOMPARE(dlg.cmdDlrInfo[0]->text(),
                         k == 3 ? QStringLiteral("OK") : QStringLiteral("Next >>"));
                for (QLineEdit* box : boxes(dlg))
                    QVERIFY(box->text().isEmpty());
                QVERIFY(!dlg.cmdDlrInfo[0]->isEnabled());
                QCOMPARE(QApplication::focusWidget(), dlg.txtName);
                QCOMPARE(stored(), kUnnamed);
                type(dlg, dealer(k));
                QTest::mouseClick(dlg.cmdDlrInfo[0], Qt::LeftButton);
            }
            QVERIFY(!dlg.isVisible());
        });
        frmDlrInfo dlg;
        platform::showModal(dlg);
        QCOMPARE(dlg.iResponse, qint16(1));
        QCOMPARE(stored(), (std::vector<QStringList>{dealer(1), dealer(2), dealer(3)}));
        QVERIFY(answers.messages.empty());
    }

    // Cancel, Escape and the close box on the second dealership all end with nothing written.
    void cancelAndClose() {
        AppFixture app(3);
        for (int way = 0; way < 3; ++way) {
            frmDlrInfo dlg;
            QVERIFY(showActive(dlg));
            type(dlg, dealer(1));
            QTest::mouseClick(dlg.cmdDlrInfo[0], Qt::LeftButton);
            type(dlg, dealer(2));
            if (way == 0)
                QTest::mouseClick(dlg.cmdDlrInfo[1], Qt::LeftButton);
            else if (way == 1)
                QTest::keyClick(dlg.txtCity, Qt::Key_Escape);
            else
                QVERIFY(dlg.close());
            QCOMPARE(dlg.iResponse, qint16(2));
            QVERIFY(!dlg.isVisible());
        }
        QCOMPARE(stored(), kUnnamed);
    }

    // Name, City, State, Zip and one address line are required (blanks count as text); an empty first
    // address line is written as empty text. The boxes refuse a 3rd state and an 11th zip character.
    void requiredBoxesAndLimits() {
        AppFixture app(1);
        frmDlrInfo dlg;
        QVERIFY(showActive(dlg));
        type(dlg, {"Acme Auto", "", "", " ", "ILL", "62701-12345"});
        QCOMPARE(dlg.txtState->text(), QStringLiteral("IL"));
        QCOMPARE(dlg.txtZip->text(), QStringLiteral("62701-1234"));
        QVERIFY(!dlg.cmdDlrInfo[0]->isEnabled());
        QTest::keyClick(dlg.txtCity, Qt::Key_Return);
        QCOMPARE(dlg.iResponse, qint16(0));
        QTest::keyClicks(dlg.txtAddr[1], "PO Box 9");
        QVERIFY(dlg.cmdDlrInfo[0]->isEnabled());
        for (QLineEdit* required : {dlg.txtName, dlg.txtCity, dlg.txtState, dlg.txtZip}) {
            const QString kept = required->text();
            required->selectAll();
            QTest::keyClick(required, Qt::Key_Delete);
            QVERIFY(!dlg.cmdDlrInfo[0]->isEnabled());
            QTest::keyClicks(required, kept);
            QVERIFY(dlg.cmdDlrInfo[0]->isEnabled());
        }
        QTest::mouseClick(dlg.cmdDlrInfo[0], Qt::LeftButton);
        QCOMPARE(dlg.iResponse, qint16(1));
        QCOMPARE(stored(),
                 (std::vector<QStringList>{{"Acme Auto", "", "PO Box 9", " ", "IL", "62701-1234"}}));
    }

    // A failed write is reported with the handler's location and ends the dialog; earlier rows stay.
    void writeFailure() {
        AppFixture app(3);
        platform::ScriptedAnswerer answers;
        frmDlrInfo dlg;
        QVERIFY(showActive(dlg));
        for (int k = 1; k <= 3; ++k) {
            if (k == 3) // the last delivered row disappears while the dialog runs
                AppFixture::sql("DELETE FROM Dlr_Info WHERE ID = (SELECT MAX(ID) FROM Dlr_Info)");
            type(dlg, dealer(k));
            QTest::mouseClick(dlg.cmdDlrInfo[0], Qt::LeftButton);
        }
        QCOMPARE(dlg.iResponse, qint16(2));
        QVERIFY(!dlg.isVisible());
        QCOMPARE(answers.messages.size(), size_t(1));
        QVERIFY(answers.messages[0].text.contains("Form DlrInfo: Sub cmdDlrInfo_Click"));
        QCOMPARE(answers.messages[0].icon, platform::Icon::Exclamation);
        QCOMPARE(stored(), (std::vector<QStringList>{dealer(1), dealer(2)}));
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }
};

QTEST_MAIN(TestDlrInfo)
#include "tst_dlrinfo.moc"
