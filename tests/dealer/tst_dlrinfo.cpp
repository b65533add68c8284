#include "dealer/frmDlrInfo.h"
#include "platform/Platform.h"
#include "tests/dealer/AppFixture.h"

#include <QApplication>
#include <QTest>

namespace {

const QStringList kColumns = {QStringLiteral("Name"), QStringLiteral("Addr1"), QStringLiteral("Addr2"),
                              QStringLiteral("City"), QStringLiteral("State"), QStringLiteral("Zip")};

// Types one dealership into the boxes as a user would, one box after the other.
void typeDealer(frmDlrInfo& dlg, const QStringList& values) {
    QLineEdit* boxes[] = {dlg.txtName, dlg.txtAddr[0], dlg.txtAddr[1], dlg.txtCity, dlg.txtState, dlg.txtZip};
    for (int i = 0; i < 6; ++i)
        if (!values[i].isEmpty())
            QTest::keyClicks(boxes[i], values[i]);
}

QStringList dealer(int n) {
    return {QStringLiteral("Dealer %1 Motors").arg(n),
            QStringLiteral("%1 Main St").arg(n * 100),
            QStringLiteral("Suite %1").arg(n),
            QStringLiteral("City %1").arg(n),
            QStringLiteral("T%1").arg(n),
            QStringLiteral("0000%1").arg(n)};
}

std::vector<QStringList> unnamed(int count) {
    QStringList none;
    for (int i = 0; i < 6; ++i)
        none << QStringLiteral("<null>");
    return std::vector<QStringList>(count, none);
}

bool showActive(QWidget& w) {
    w.show();
    w.activateWindow();
    return QTest::qWaitForWindowActive(&w);
}

// True when every child widget lies within its parent, as a fixed layout must.
bool childrenInside(const QWidget& parent) {
    for (const QWidget* child : parent.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!parent.rect().contains(child->geometry()))
            return false;
        if (!childrenInside(*child))
            return false;
    }
    return true;
}

} // namespace

class TestDlrInfo : public QObject {
    Q_OBJECT
private slots:
    // One delivered row: the design captions, a fixed client area of 7230 x 3030 twips, no minimise or
    // maximise, and one OK (pressed with Enter) writes the single row.
    void oneDealership() {
        AppFixture app(1);
        frmDlrInfo dlg;
        QCOMPARE(dlg.iDlrCount, qint16(1));
        QCOMPARE(dlg.iCurDlr, qint16(1));
        QCOMPARE(dlg.iResponse, qint16(0));
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Quillmark 2000 Dealer Information"));
        QCOMPARE(dlg.fraDlrInfo->title(), QStringLiteral("Please enter your dealer information here:"));
        QCOMPARE(dlg.cmdDlrInfo[0]->text(), QStringLiteral("OK"));
        QCOMPARE(dlg.cmdDlrInfo[1]->text(), QStringLiteral("Cancel"));
        QVERIFY(!dlg.cmdDlrInfo[0]->isEnabled());
        QCOMPARE(dlg.size(), QSize(482, 202));
        QCOMPARE(dlg.minimumSize(), dlg.maximumSize());
        QVERIFY(!(dlg.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(dlg.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(childrenInside(dlg));

        QVERIFY(showActive(dlg));
        typeDealer(dlg, dealer(1));
        QVERIFY(dlg.cmdDlrInfo[0]->isEnabled());
        QCOMPARE(AppFixture::rows(QStringLiteral("Dlr_Info"), kColumns), unnamed(1));
        QTest::keyClick(dlg.txtZip, Qt::Key_Return);
        QCOMPARE(dlg.iResponse, qint16(1));
        QVERIFY(!dlg.isVisible());
        QCOMPARE(AppFixture::rows(QStringLiteral("Dlr_Info"), kColumns), std::vector<QStringList>{dealer(1)});
    }

    // Three delivered rows, driven through the modal seam as start-up shows it: numbered captions, Next
    // until the last, nothing written before the last OK, then dealership k in the k-th stored row.
    void threeDealerships() {
        AppFixture app(3);
        const std::vector<QStringList> before = AppFixture::rows(QStringLiteral("Dlr_Info"), {"ID"});
        QCOMPARE(before.size(), size_t(3));

        platform::ScriptedAnswerer answers;
        bool driven = false;
        answers.setNextModal([&](QDialog& d) {
            auto& dlg = static_cast<frmDlrInfo&>(d);
            QVERIFY(showActive(dlg));
            QCOMPARE(dlg.windowTitle(), QStringLiteral("Quillmark Dealer Information - Dealership #1"));
            QCOMPARE(dlg.fraDlrInfo->title(),
                     QStringLiteral("Please enter dealer information for Dealership #1:"));
            QCOMPARE(dlg.cmdDlrInfo[0]->text(), QStringLiteral("Next >>"));
            for (int k = 1; k <= 3; ++k) {
                QCOMPARE(dlg.iCurDlr, qint16(k));
                typeDealer(dlg, dealer(k));
                QVERIFY(dlg.cmdDlrInfo[0]->isEnabled());
                QTest::mouseClick(dlg.cmdDlrInfo[0], Qt::LeftButton);
                if (k < 3) {
                    // Still nothing stored, the boxes empty, the button off and the focus on the name.
                    QCOMPARE(AppFixture::rows(QStringLiteral("Dlr_Info"), kColumns), unnamed(3));
                    QCOMPARE(dlg.iResponse, qint16(0));
                    for (QLineEdit* box :
                         {dlg.txtName, dlg.txtAddr[0], dlg.txtAddr[1], dlg.txtCity, dlg.txtState, dlg.txtZip})
                        QVERIFY(box->text().isEmpty());
                    QVERIFY(!dlg.cmdDlrInfo[0]->isEnabled());
                    QVERIFY(dlg.isEnabled());
                    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(dlg.txtName));
                    const QString n = QString::number(k + 1);
                    QCOMPARE(dlg.windowTitle(),
                             QStringLiteral("Quillmark Dealer Information - Dealership #") + n);
                    QCOMPARE(dlg.fraDlrInfo->title(),
                             QStringLiteral("Please enter dealer information for Dealership #") + n + ":");
                    QCOMPARE(dlg.cmdDlrInfo[0]->text(),
                             k + 1 == 3 ? QStringLiteral("OK") : QStringLiteral("Next >>"));
                }
            }
            QVERIFY(!dlg.isVisible());
            driven = true;
        });
        frmDlrInfo dlg;
        platform::showModal(dlg);
        QVERIFY(driven);
        QCOMPARE(dlg.iResponse, qint16(1));
        QCOMPARE(AppFixture::rows(QStringLiteral("Dlr_Info"), kColumns),
                 (std::vector<QStringList>{dealer(1), dealer(2), dealer(3)}));
        QCOMPARE(AppFixture::rows(QStringLiteral("Dlr_Info"), {"ID"}), before); // no row added or removed
        QVERIFY(answers.messages.empty());
    }

    // Cancel (button or Escape) and the close box all end unsaved; dealerships confirmed with Next
    // are not written.
    void cancelAndClose() {
        AppFixture app(3);
        {
            frmDlrInfo dlg;
            QVERIFY(showActive(dlg));
            typeDealer(dlg, dealer(1));
            QTest::mouseClick(dlg.cmdDlrInfo[0], Qt::LeftButton);
            typeDealer(dlg, dealer(2));
            QTest::mouseClick(dlg.cmdDlrInfo[1], Qt::LeftButton);
            QCOMPARE(dlg.iResponse, qint16(2));
            QVERIFY(!dlg.isVisible());
        }
        {
            frmDlrInfo dlg;
            QVERIFY(showActive(dlg));
            typeDealer(dlg, dealer(1));
            QTest::keyClick(dlg.txtCity, Qt::Key_Escape);
            QCOMPARE(dlg.iResponse, qint16(2));
            QVERIFY(!dlg.isVisible());
        }
        {
            frmDlrInfo dlg;
            QVERIFY(showActive(dlg));
            typeDealer(dlg, dealer(1));
            QVERIFY(dlg.close());
            QCOMPARE(dlg.iResponse, qint16(2));
        }
        {
            // Start-up's way: the modal seam closes a dialog its driver left open, as the close box does.
            platform::ScriptedAnswerer answers;
            answers.setNextModal([](QDialog& d) { typeDealer(static_cast<frmDlrInfo&>(d), dealer(1)); });
            frmDlrInfo dlg;
            platform::showModal(dlg);
            QCOMPARE(dlg.iResponse, qint16(2));
            QCOMPARE(answers.modalTitles,
                     QStringList{QStringLiteral("Quillmark Dealer Information - Dealership #1")});
        }
        QCOMPARE(AppFixture::rows(QStringLiteral("Dlr_Info"), kColumns), unnamed(3));
    }

    // Name, City, State and Zip are required and one of the two address lines; blanks count as text.
    // The first address line left empty is written as empty text, not Null.
    void requiredBoxes() {
        AppFixture app(1);
        frmDlrInfo dlg;
        QVERIFY(showActive(dlg));
        typeDealer(dlg, {"Acme Auto", "", "", "Springfield", "IL", "62701"});
        QVERIFY(!dlg.cmdDlrInfo[0]->isEnabled());
        QTest::keyClick(dlg.txtCity, Qt::Key_Return); // Enter on a disabled default button does nothing
        QCOMPARE(dlg.iResponse, qint16(0));
        QTest::keyClicks(dlg.txtAddr[1], "PO Box 9");
        QVERIFY(dlg.cmdDlrInfo[0]->isEnabled());
        dlg.txtCity->clear();
        QVERIFY(!dlg.cmdDlrInfo[0]->isEnabled());
        QTest::keyClicks(dlg.txtCity, " ");
        QVERIFY(dlg.cmdDlrInfo[0]->isEnabled());
        for (QLineEdit* required : {dlg.txtName, dlg.txtState, dlg.txtZip}) {
            const QString kept = required->text();
            required->selectAll();
            QTest::keyClick(required, Qt::Key_Delete);
            QVERIFY(!dlg.cmdDlrInfo[0]->isEnabled());
            QTest::keyClicks(required, kept);
            QVERIFY(dlg.cmdDlrInfo[0]->isEnabled());
        }
        // The keyboard walks the boxes in reading order, then OK and Cancel.
        dlg.txtName->setFocus(Qt::MouseFocusReason);
        const QList<QWidget*> order{dlg.txtName,  dlg.txtAddr[0], dlg.txtAddr[1],    dlg.txtCity,
                                    dlg.txtState, dlg.txtZip,     dlg.cmdDlrInfo[0], dlg.cmdDlrInfo[1]};
        for (QWidget* expected : order) {
            QCOMPARE(QApplication::focusWidget(), expected);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(dlg.txtName));
        QTest::mouseClick(dlg.cmdDlrInfo[0], Qt::LeftButton);
        QCOMPARE(dlg.iResponse, qint16(1));
        const QStringList expected = {"Acme Auto", "", "PO Box 9", " ", "IL", "62701"};
        QCOMPARE(AppFixture::rows(QStringLiteral("Dlr_Info"), kColumns), std::vector<QStringList>{expected});
    }

    // The boxes refuse typing beyond their limits: 50, 50, 50, 30, 2 and 10 characters.
    void boxLimits() {
        AppFixture app(1);
        frmDlrInfo dlg;
        QVERIFY(showActive(dlg));
        const QString longText(60, QLatin1Char('W'));
        typeDealer(dlg, {longText, longText, longText, longText, "CAL", "12345-67890"});
        QCOMPARE(dlg.txtState->text(), QStringLiteral("CA"));
        QCOMPARE(dlg.txtZip->text(), QStringLiteral("12345-6789"));
        QCOMPARE(dlg.txtName->text().size(), 50);
        QCOMPARE(dlg.txtAddr[0]->text().size(), 50);
        QCOMPARE(dlg.txtAddr[1]->text().size(), 50);
        QCOMPARE(dlg.txtCity->text().size(), 30);
        QTest::mouseClick(dlg.cmdDlrInfo[0], Qt::LeftButton);
        QCOMPARE(dlg.iResponse, qint16(1));
        const auto stored = AppFixture::rows(QStringLiteral("Dlr_Info"), kColumns);
        QCOMPARE(stored.at(0).at(0), QString(50, QLatin1Char('W')));
        QCOMPARE(stored.at(0).at(4), QStringLiteral("CA"));
    }

    // A failure while writing is reported with the handler's location and ends the dialog unsaved;
    // rows stored before the failure stay stored. A failure while loading ends it before it is used.
    void failures() {
        AppFixture app(3);
        platform::ScriptedAnswerer answers;
        {
            frmDlrInfo dlg;
            QVERIFY(showActive(dlg));
            for (int k = 1; k <= 3; ++k) {
                if (k == 3) // the last delivered row disappears while the dialog runs
                    DbConnection->execute(
                        QStringLiteral("DELETE FROM Dlr_Info WHERE ID = (SELECT MAX(ID) FROM Dlr_Info)"));
                typeDealer(dlg, dealer(k));
                QTest::mouseClick(dlg.cmdDlrInfo[0], Qt::LeftButton);
            }
            QCOMPARE(dlg.iResponse, qint16(2));
            QVERIFY(!dlg.isVisible());
            QCOMPARE(answers.messages.size(), size_t(1));
            QVERIFY(answers.messages[0].text.contains(QStringLiteral("Form DlrInfo: Sub cmdDlrInfo_Click")));
            QCOMPARE(answers.messages[0].icon, platform::Icon::Exclamation);
            QCOMPARE(AppFixture::rows(QStringLiteral("Dlr_Info"), kColumns),
                     (std::vector<QStringList>{dealer(1), dealer(2)}));
            QVERIFY(QApplication::overrideCursor() == nullptr);
        }
        answers.messages.clear();
        {
            DbConnection->execute(QStringLiteral("DELETE FROM Dlr_Info"));
            frmDlrInfo dlg;
            QCOMPARE(dlg.iResponse, qint16(2));
            QCOMPARE(answers.messages.size(), size_t(1));
            QVERIFY(answers.messages[0].text.contains(QStringLiteral("Form DlrInfo: Sub Form_Load")));
            bool driverRan = false;
            answers.setNextModal([&](QDialog&) { driverRan = true; });
            platform::showModal(dlg);
            QVERIFY(driverRan);
            QCOMPARE(dlg.iResponse, qint16(2));
            // A failed dialog shown the ordinary way hides itself at once.
            dlg.show();
            QTRY_VERIFY(!dlg.isVisible());
        }
    }
};

QTEST_MAIN(TestDlrInfo)
#include "tst_dlrinfo.moc"
