#include "dealer/ContactPanel.h"
#include "intake/ProgressWindow.h"
#include "letters/MergeData.h"
#include "letters/TemplatePicker.h"
#include "platform/Platform.h"
#include "startup/AppContext.h"
#include "tests/support/Installation.h"
#include "tests/support/MainWindowControls.h"
#include "tests/wordproc/DocxSamples.h"
#include "window/MainWindow.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QStandardPaths>
#include <QTest>
#include <new>

namespace {

// A one-page letter that shows every value the print handler exports.
const char* const kLetter =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Helvetica;}}\\paperw12240\\paperh15840\\margl1440\\margr1440"
    "\\margt1440\\margb1440\n"
    "\\pard {\\field{\\*\\fldinst MERGEFIELD Dlr_Name}{\\fldrslt x}}\\par\n"
    "\\pard Dear {\\field{\\*\\fldinst MERGEFIELD Cust_Name}{\\fldrslt x}}\\par\n"
    "\\pard {\\field{\\*\\fldinst MERGEFIELD Cust_Street}{\\fldrslt x}}\\par\n"
    "\\pard Call {\\field{\\*\\fldinst MERGEFIELD Contact_Name}{\\fldrslt x}} at "
    "{\\field{\\*\\fldinst MERGEFIELD Contact_Phone}{\\fldrslt x}}\\par\n}";

const char* const kCallList = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Helvetica;}}\\mmmaintypecatalog\n"
                              "\\pard {\\field{\\*\\fldinst MERGEFIELD Cust_Name}{\\fldrslt x}}\\tab "
                              "{\\field{\\*\\fldinst MERGEFIELD Cust_Phone}{\\fldrslt x}}\\par\n}";

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Visible top-level windows other than the main window: progress windows and previews.
QStringList otherWindows(const QWidget* main) {
    QStringList titles;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != main && w->isVisible())
            titles << QString::fromLatin1(w->metaObject()->className()) + QLatin1Char(':') + w->windowTitle();
    return titles;
}

// What the progress window shows as it is shown and refreshed: "caption|bar/maximum|label", one entry
// per bar value.
class ProgressWatch : public QObject {
public:
    ProgressWatch() { qApp->installEventFilter(this); }
    ~ProgressWatch() override { qApp->removeEventFilter(this); }
    QStringList steps;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::UpdateRequest || event->type() == QEvent::Show)
            if (auto* w = qobject_cast<QWidget*>(watched))
                if (auto* p = qobject_cast<ProgressWindow*>(w->window())) {
                    // The bar repaints itself before the label changes: the last label of a bar value counts.
                    const QString bar = p->windowTitle() + QLatin1Char('|') +
                                        QString::number(p->progressBar->value()) + QLatin1Char('/') +
                                        QString::number(p->progressBar->maximum()) + QLatin1Char('|');
                    if (!steps.isEmpty() && steps.back().startsWith(bar))
                        steps.removeLast();
                    steps << bar + p->progressLabel->text();
                }
        return false;
    }
};

// Notes, for every message box, whether a progress window was still on the screen when it came. When
// starved, the print dialog runs out of memory, as a merge too large for the machine does.
struct WatchingAnswerer : platform::ScriptedAnswerer {
    std::vector<bool> progressShown;
    bool starved = false;
    bool answerPrint(QPrinter& printer) override {
        if (starved)
            throw std::bad_alloc();
        return ScriptedAnswerer::answerPrint(printer);
    }
    platform::Button answerMessage(const platform::Message& message) override {
        bool shown = false;
        for (QWidget* w : QApplication::topLevelWidgets())
            shown = shown || (qobject_cast<ProgressWindow*>(w) && w->isVisible());
        progressShown.push_back(shown);
        return ScriptedAnswerer::answerMessage(message);
    }
};

} // namespace

class TestPrinting : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext (poppler-utils) is needed to read the printed pages back");
    }

    void init() {
        m_env = std::make_unique<TestInstallation>(1);
        writeFile(m_env->folders().initialsFolder + QStringLiteral("Welcome.dot"), kLetter);
        writeFile(m_env->folders().templatesFolder + QStringLiteral("CallList.dot"), kCallList);

        auto& c = m_env->connection();
        c.execute(QStringLiteral(
            "UPDATE Dlr_Info SET Name = 'Acme Auto', Addr1 = '1 Motor Way', City = 'Springfield', "
            "State = 'IL', Zip = '62701'"));
        c.execute(QStringLiteral("INSERT INTO Contact_Info (Name, Phone) VALUES ('Pat Seller', '555-0100')"));
        c.execute(QStringLiteral(
            "INSERT INTO DataFiles (FileName, Date) VALUES ('01052026.lst', '2026-01-05 00:00:00')"));
        // Listed by street: CY XU (1 ASH), ANN ZED (2 BIRCH), BOB YOUNG (3 CEDAR, printed before).
        c.execute(
            QStringLiteral("INSERT INTO [Names] (DataFile_ID, Court_ID, Name, Street, City, State, Zip, "
                           "Phone, Printed) VALUES "
                           "(1, 'A1', 'ANN ZED', '2 BIRCH ST', 'PEORIA', 'IL', '61602', '(309) 555-0101', 0),"
                           "(1, 'A2', 'BOB YOUNG', '3 CEDAR ST', 'MIAMI', 'FL', '33101', NULL, -1),"
                           "(1, 'A3', 'CY XU', '1 ASH ST', 'AURORA', 'IL', '60505', '(630) 555-0103', 0)"));

        m_window = std::make_unique<MainWindow>(m_env->context);
        ui = MainWindowControls(m_window.get());
        m_window->load();
        m_window->show();
        QCOMPARE(ui.namesView()->count(), 3);
        QCOMPARE(ui.templateList()->count(), 1);
    }

    void cleanup() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w != m_window.get())
                w->close();
        m_window.reset();
        m_env.reset();
    }

    // One letter per selected name in list order, with the dealer and contact; the first print marks
    // Printed, a print of a name printed before marks Followed; the list is rebuilt.
    void printMarksPrintedAndFollowed() {
        platform::ScriptedAnswerer answers;
        selectForPrint({1, 2}); // ANN ZED, BOB YOUNG
        QVERIFY(ui.printButton()->isEnabled());
        const QString pdf = m_env->dir.path() + QStringLiteral("/letters.pdf");
        answers.setNextPrintFile(pdf);
        {
            ProgressWatch progress;
            QTest::mouseClick(ui.printButton(), Qt::LeftButton);
            QCOMPARE(progress.steps, (QStringList{"Print|0/5|Deleting old mail merge data...",
                                                  "Print|1/5|Starting the word processor...",
                                                  "Print|2/5|Exporting current mail merge data...",
                                                  "Print|3/5|Opening promotion template...",
                                                  "Print|4/5|Executing mail merge...",
                                                  "Print|5/5|Updating Printed status..."}));
        }

        QVERIFY2(answers.messages.empty(),
                 answers.messages.empty() ? "" : qPrintable(answers.messages[0].text));
        QCOMPARE(answers.printDialogs, 1);
        const QString text = PdfText(pdf);
        const int ann = text.indexOf(QStringLiteral("Dear ANN ZED"));
        const int bob = text.indexOf(QStringLiteral("Dear BOB YOUNG"));
        QVERIFY2(ann >= 0 && bob > ann, qPrintable(text));
        QVERIFY(!text.contains(QStringLiteral("CY XU")));
        QCOMPARE(text.count(QStringLiteral("Acme Auto")), 2);
        QCOMPARE(text.count(QStringLiteral("Call Pat Seller at 555-0100")), 2);

        QCOMPARE(flags(1), -10);
        QCOMPARE(flags(2), -11);
        QCOMPARE(flags(3), 0);
        QCOMPARE(ui.namesView()->selectedCount(), 0); // rebuilt
        QVERIFY(m_window->isEnabled());
        QVERIFY2(otherWindows(m_window.get()).isEmpty(), qPrintable(otherWindows(m_window.get()).join(',')));

        for (int i = 0; i < 2; ++i) {
            selectForPrint({0});
            answers.setNextPrintFile(m_env->dir.path() + QStringLiteral("/again.pdf"));
            QTest::mouseClick(ui.printButton(), Qt::LeftButton);
        }
        QCOMPARE(flags(3), -11);
    }

    // A Word 2007+ template from the catalogue prints through the same road, one letter per selected
    // name, its fields in either of Word's forms filled.
    void printsWordTemplate() {
        using namespace docxsamples;
        const QByteArray body =
            paragraph(simpleField("MERGEFIELD Dlr_Name", "«Dlr_Name»")) +
            paragraph(run("Dear ") + complexField("MERGEFIELD cust_name \\* Lower", "«Cust_Name»") +
                      run(",")) +
            paragraph(run("Call ") + complexField("MERGEFIELD Contact_Name", "«Contact_Name»") + run(" at ") +
                      simpleField("MERGEFIELD Contact_Phone", "«Contact_Phone»"));
        writeFile(m_env->folders().initialsFolder + QStringLiteral("Spring Offer.dotx"),
                  zipParts(package(document(body))));
        m_window->templatePicker().fill();
        QCOMPARE(ui.templateList()->count(), 2);
        platform::ScriptedAnswerer answers;
        selectForPrint({0, 1}); // CY XU, ANN ZED
        const QList<QListWidgetItem*> offer = ui.templateList()->findItems("Spring Offer", Qt::MatchExactly);
        QCOMPARE(offer.size(), 1);
        ui.templateList()->setCurrentItem(offer.front());
        const QString pdf = m_env->dir.path() + QStringLiteral("/offer.pdf");
        answers.setNextPrintFile(pdf);
        QTest::mouseClick(ui.printButton(), Qt::LeftButton);
        QVERIFY2(answers.messages.empty(),
                 answers.messages.empty() ? "" : qPrintable(answers.messages[0].text));
        const QString text = PdfText(pdf);
        const int cy = text.indexOf(QStringLiteral("Dear cy xu,"));
        const int ann = text.indexOf(QStringLiteral("Dear ann zed,"));
        QVERIFY2(cy >= 0 && ann > cy, qPrintable(text));
        QVERIFY(!text.contains(QStringLiteral("bob")) && !text.contains(QStringLiteral("«")));
        QCOMPARE(text.count(QStringLiteral("Acme Auto")), 2);
        QCOMPARE(text.count(QStringLiteral("Call Pat Seller at 555-0100")), 2);
        QCOMPARE(flags(3), -10);
        QCOMPARE(flags(1), -10);
    }

    // Letters for a selection spread over a long list of two source dates come in list order, which is
    // neither the order of the names' IDs nor the order they were selected in.
    void printOrderIsListOrder() {
        platform::ScriptedAnswerer answers;
        m_env->connection().execute(QStringLiteral(
            "INSERT INTO DataFiles (FileName, Date) VALUES ('01042026.lst', '2026-01-04 00:00:00')"));
        for (int file : {2, 1})
            m_env->connection().execute(
                QStringLiteral(
                    "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 1499) "
                    "INSERT INTO [Names] (DataFile_ID, Name, Street, City, State, Zip) SELECT %1, "
                    "printf('P%1-%04d', (i * 7919) % 1500), '9 OAK ST', 'TAMPA', 'FL', '33601' FROM n")
                    .arg(file));
        // A window that knows the new source date.
        m_window = std::make_unique<MainWindow>(m_env->context);
        ui = MainWindowControls(m_window.get());
        m_window->load();
        m_window->show();
        ui.modeBox()->setCurrentIndex(1); // ADD
        ui.datesBox()->setCurrentIndex(1);
        emit ui.datesBox()->activated(1);
        QTest::mouseClick(ui.header(1), Qt::LeftButton); // Name, ascending
        QCOMPARE(ui.namesView()->count(), 3003);
        selectForPrint({3002, 0, 1777, 3, 1500, 2500, 1499});
        QStringList shown;
        for (int row : {0, 3, 1499, 1500, 1777, 2500, 3002})
            shown << ui.namesView()->text(row).section(QLatin1Char('\t'), 1, 1);
        answers.setNextPrintFile(m_env->dir.path() + QStringLiteral("/spread.pdf"));
        QTest::mouseClick(ui.printButton(), Qt::LeftButton);
        QVERIFY(answers.messages.empty());
        QStringList printed;
        for (const QByteArray& line :
             FileBytes(m_env->folders().userDataFolder + letters::kMergeDataFile).split('\n').mid(1))
            if (!line.isEmpty())
                printed << QString::fromLatin1(line.split('\t').first()).remove(QLatin1Char('"'));
        QCOMPARE(printed, shown);
    }

    // A cancelled print dialog changes nothing and says nothing; the list is not rebuilt.
    void cancelledPrintChangesNothing() {
        platform::ScriptedAnswerer answers;
        selectForPrint({0, 1});
        const int before = flaggedCount();
        QTest::mouseClick(ui.printButton(), Qt::LeftButton);
        QCOMPARE(answers.printDialogs, 1);
        QVERIFY(answers.messages.empty());
        QCOMPARE(flaggedCount(), before);
        QCOMPARE(ui.namesView()->selectedCount(), 2);
        QVERIFY(m_window->isEnabled());
        QVERIFY(otherWindows(m_window.get()).isEmpty());
    }

    // Preview needs no names, writes the two sample lines, changes no flag and leaves its window open.
    void previewLeavesWindowOpen() {
        platform::ScriptedAnswerer answers;
        ui.templateList()->setCurrentRow(0);
        QVERIFY(ui.previewButton()->isEnabled());
        ProgressWatch progress;
        QTest::mouseClick(ui.previewButton(), Qt::LeftButton);
        QCOMPARE(progress.steps,
                 (QStringList{"Preview|0/5|Deleting old mail merge data...",
                              "Preview|1/5|Starting the word processor...",
                              "Preview|2/5|Exporting current mail merge data...",
                              "Preview|3/5|Opening promotion template...",
                              "Preview|4/5|Executing mail merge...", "Preview|5/5|Displaying Preview..."}));
        QVERIFY2(answers.messages.empty(),
                 answers.messages.empty() ? "" : qPrintable(answers.messages[0].text));
        QCOMPARE(answers.printDialogs, 0);
        const QList<QByteArray> lines =
            FileBytes(m_env->folders().userDataFolder + letters::kMergeDataFile).split('\n');
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[1].startsWith("\"Customer Name\"\t\"Customer Address\""));
        QCOMPARE(flaggedCount(), 1);
        const QStringList others = otherWindows(m_window.get());
        QCOMPARE(others.size(), 1);
        QVERIFY2(!others[0].startsWith(QStringLiteral("ProgressWindow")), qPrintable(others[0]));
        QVERIFY(m_window->isEnabled());
    }

    // A print queue and the printed file name each job after the template it was printed from, so that
    // the user can tell one mailing from another there.
    void printJobsCarryTheTemplateName() {
        platform::ScriptedAnswerer answers;
        const QString letters = m_env->dir.path() + QStringLiteral("/titled-letters.pdf");
        const QString calls = m_env->dir.path() + QStringLiteral("/titled-calls.pdf");
        selectForPrint({0, 2});
        answers.setNextPrintFile(letters);
        QTest::mouseClick(ui.printButton(), Qt::LeftButton);
        selectForPrint({0, 2});
        answers.setNextPrintFile(calls);
        QTest::mouseClick(ui.printCallButton(), Qt::LeftButton);
        QVERIFY(answers.messages.empty());
        const QString welcome = QStringLiteral("Quillmark \u2013 Welcome");
        const QString callList = QStringLiteral("Quillmark \u2013 CallList");
        QCOMPARE(answers.printJobTitles, (QStringList{welcome, callList}));
        QCOMPARE(PdfTitle(letters), welcome);
        QCOMPARE(PdfTitle(calls), callList);
    }

    // Only the names that have a phone, in list order; names without phones get the message and no
    // print dialog. Flags never change.
    void callList() {
        WatchingAnswerer answers;
        selectForPrint({0, 1, 2});
        const QString pdf = m_env->dir.path() + QStringLiteral("/calls.pdf");
        answers.setNextPrintFile(pdf);
        {
            ProgressWatch progress;
            QTest::mouseClick(ui.printCallButton(), Qt::LeftButton);
            QCOMPARE(progress.steps, (QStringList{"Print|0/5|Deleting old mail merge data...",
                                                  "Print|1/5|Starting the word processor...",
                                                  "Print|2/5|Exporting current mail merge data...",
                                                  "Print|3/5|Opening Call List template...",
                                                  "Print|4/5|Executing list merge..."}));
        }
        QVERIFY(answers.messages.empty());
        const QString text = PdfText(pdf);
        const int cy = text.indexOf(QStringLiteral("CY XU"));
        const int ann = text.indexOf(QStringLiteral("ANN ZED"));
        QVERIFY2(cy >= 0 && ann > cy, qPrintable(text));
        QVERIFY(!text.contains(QStringLiteral("BOB YOUNG")));
        QCOMPARE(flaggedCount(), 1);

        selectForPrint({2}); // BOB YOUNG has no phone
        QTest::mouseClick(ui.printCallButton(), Qt::LeftButton);
        QCOMPARE(answers.printDialogs, 1);
        QCOMPARE(answers.messages.size(), size_t(1));
        QCOMPARE(answers.messages[0].title, QStringLiteral("No Phone Numbers"));
        QCOMPARE(answers.progressShown, std::vector<bool>{true}); // the message comes before the clean-up
        QCOMPARE(answers.messages[0].icon, platform::Icon::Exclamation);
        QCOMPARE(answers.messages[0].text,
                 QStringLiteral(
                     "Cannot print Call List because the selected names do not contain any phone numbers."
                     "\r\n\r\nPlease select some names that include phone numbers before printing a Call "
                     "List."));
        QCOMPARE(FileBytes(m_env->folders().userDataFolder + letters::kCallDataFile),
                 QByteArray("\"Cust_Name\"\t\"Cust_City\"\t\"Cust_State\"\t\"Cust_Phone\"\r\n"));
        QVERIFY(m_window->isEnabled());
        QVERIFY(otherWindows(m_window.get()).isEmpty());
    }

    // A template deleted after the list was filled is reported while the progress window still shows;
    // a merge that fails otherwise than by a cancelled print dialog, or runs out of memory, is reported
    // after it is gone. Nothing is left open, no flag changes.
    void missingTemplateReported() {
        WatchingAnswerer answers;
        selectForPrint({0});
        QVERIFY(QFile::remove(m_env->folders().initialsFolder + QStringLiteral("Welcome.dot")));
        QTest::mouseClick(ui.printButton(), Qt::LeftButton);
        QCOMPARE(answers.messages.size(), size_t(1));
        QCOMPARE(answers.messages[0].title, QStringLiteral("Quillmark Error"));
        QVERIFY(answers.messages[0].text.contains(QStringLiteral("Form Main: Sub cmdPrint_Click")));
        QCOMPARE(answers.printDialogs, 0);
        QCOMPARE(flaggedCount(), 1);
        QVERIFY(m_window->isEnabled());
        QVERIFY(otherWindows(m_window.get()).isEmpty());

        writeFile(m_env->folders().initialsFolder + QStringLiteral("Welcome.dot"),
                  "{\\rtf1\\ansi {\\field{\\*\\fldinst MERGEFIELD No_Such_Field}{\\fldrslt x}}\\par}");
        QTest::mouseClick(ui.printButton(), Qt::LeftButton);
        QCOMPARE(answers.messages.size(), size_t(2));
        QVERIFY(answers.messages[1].text.contains(QStringLiteral("Form Main: Sub cmdPrint_Click")));
        QVERIFY(!answers.messages[1].text.contains(QStringLiteral("Error Number 4198")));
        QCOMPARE(answers.progressShown, (std::vector<bool>{true, false}));
        QCOMPARE(flaggedCount(), 1);
        QCOMPARE(ui.namesView()->selectedCount(), 1); // not refilled
        QVERIFY(m_window->isEnabled());
        QVERIFY(otherWindows(m_window.get()).isEmpty());

        // Running out of memory is reported as a failure of its own, and what the print held is let go:
        // the next print goes through.
        writeFile(m_env->folders().initialsFolder + QStringLiteral("Welcome.dot"), kLetter);
        answers.starved = true;
        QTest::mouseClick(ui.printButton(), Qt::LeftButton);
        QCOMPARE(answers.messages.size(), size_t(3));
        QVERIFY2(answers.messages[2].text.contains(QStringLiteral("Error Number 7")) &&
                     answers.messages[2].text.contains(QStringLiteral("Out of memory")) &&
                     answers.messages[2].text.contains(QStringLiteral("Form Main: Sub cmdPrint_Click")),
                 qPrintable(answers.messages[2].text));
        QCOMPARE(answers.progressShown.back(), false);
        QCOMPARE(flaggedCount(), 1);
        QVERIFY(m_window->isEnabled());
        QVERIFY(otherWindows(m_window.get()).isEmpty());
        answers.starved = false;
        const QString pdf = m_env->dir.path() + QStringLiteral("/after.pdf");
        answers.setNextPrintFile(pdf);
        QTest::mouseClick(ui.printButton(), Qt::LeftButton);
        QCOMPARE(answers.messages.size(), size_t(3));
        QVERIFY(PdfText(pdf).contains(QStringLiteral("Dear ")));
        QCOMPARE(flaggedCount(), 2);
    }

    // A contact typed but not saved is saved before the data is exported, and printed with.
    void pendingContactSavedFirst() {
        platform::ScriptedAnswerer answers;
        selectForPrint({0}, /*pickContact=*/false);
        ui.nameBox()->setFocus();
        QTest::keyClicks(ui.nameBox(), QStringLiteral("Lee Newman"));
        ui.phoneEdit()->setFocus();
        QTest::keyClicks(ui.phoneEdit(), QStringLiteral("555-0199"));
        QVERIFY(m_window->contactPanel().savePending());
        QVERIFY(ui.printButton()->isEnabled());
        const QString pdf = m_env->dir.path() + QStringLiteral("/new-contact.pdf");
        answers.setNextPrintFile(pdf);
        QTest::mouseClick(ui.printButton(), Qt::LeftButton);
        QVERIFY2(answers.messages.empty(),
                 answers.messages.empty() ? "" : qPrintable(answers.messages[0].text));
        db::Recordset rs;
        rs.open(QStringLiteral(
                    "SELECT COUNT(*) FROM Contact_Info WHERE Name = 'Lee Newman' AND Phone = '555-0199'"),
                m_env->connection(), db::adOpenForwardOnly, db::adLockReadOnly, db::adCmdText);
        QCOMPARE(rs.value(0).toInt(), 1);
        QVERIFY(PdfText(pdf).contains(QStringLiteral("Call Lee Newman at 555-0199")));
        QVERIFY(!m_window->contactPanel().savePending() && !ui.saveButton()->isEnabled());
    }

private:
    // Selects the given list rows, the template and (optionally) the first contact, as a user would.
    void selectForPrint(std::initializer_list<int> rows, bool pickContact = true) {
        if (pickContact && ui.nameBox()->count() > 0 && m_window->contactPanel().nameListIndex() != 0) {
            ui.nameBox()->setCurrentIndex(0);
            QCOMPARE(ui.phoneEdit()->text(), QStringLiteral("555-0100"));
        }
        ui.templateList()->setCurrentRow(0);
        for (int row = 0; row < ui.namesView()->count(); ++row)
            ui.namesView()->setSelected(row, false);
        for (int row : rows)
            ui.namesView()->setSelected(row, true);
    }

private:
    // Printed and Followed as one number: 0 not printed, -10 printed, -11 printed and followed.
    int flags(int id) {
        return m_env
            ->scalar(QStringLiteral("SELECT Printed * 10 + Followed FROM [Names] WHERE ID = %1").arg(id))
            .toInt();
    }

    int flaggedCount() {
        return m_env->scalar(QStringLiteral("SELECT COUNT(*) FROM [Names] WHERE Printed OR Followed"))
            .toInt();
    }

    std::unique_ptr<TestInstallation> m_env;
    std::unique_ptr<MainWindow> m_window;
    MainWindowControls ui;
};

QTEST_MAIN(TestPrinting)
#include "tst_printing.moc"
