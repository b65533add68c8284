// The print job on a plain request, without the main window: what it reports through its callbacks (the
// steps, a call list without phones, a failure) and what it writes and marks in the database.
#include "letters/MergeData.h"
#include "letters/PrintJob.h"
#include "platform/Platform.h"
#include "tests/support/Installation.h"

#include <QApplication>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const char* const kLetter =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Helvetica;}}\n"
    "\\pard Dear {\\field{\\*\\fldinst MERGEFIELD Cust_Name}{\\fldrslt x}}\\par\n"
    "\\pard From {\\field{\\*\\fldinst MERGEFIELD Contact_Name}{\\fldrslt x}}\\par\n}";
const char* const kCallList = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Helvetica;}}\\mmmaintypecatalog\n"
                              "\\pard {\\field{\\*\\fldinst MERGEFIELD Cust_Name}{\\fldrslt x}}\\tab "
                              "{\\field{\\*\\fldinst MERGEFIELD Cust_Phone}{\\fldrslt x}}\\par\n}";

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Everything the job reported, in order: "open:<caption>:<steps>" (with the text of step 0), "step:<n>",
// "close", "no phones", "failed:<number>", "marked".
struct Reports {
    Reports() {
        progress.open = [this](const QString& caption, const QString&, int steps) {
            log << u"open:%1:%2"_s.arg(caption).arg(steps);
        };
        progress.step = [this](int step, const QString&) { log << u"step:%1"_s.arg(step); };
        progress.conversionGoesOn = [](int) { return true; };
        progress.close = [this] { log << u"close"_s; };
        progress.noPhoneNumbers = [this] { log << u"no phones"_s; };
        progress.failed = [this](const Failure& failure) { log << u"failed:%1"_s.arg(failure.number()); };
    }
    bool run(const letters::PrintRequest& request) {
        return letters::runPrintJob(request, progress, [this] { log << u"marked"_s; });
    }
    letters::PrintProgress progress;
    QStringList log;
};

} // namespace

class TestPrintJob : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        if (QStandardPaths::findExecutable(u"pdftotext"_s).isEmpty())
            QSKIP("pdftotext (poppler-utils) is needed to read the printed pages back");
    }
    void init() {
        m_env = std::make_unique<TestInstallation>(1);
        writeFile(m_env->folders().initialsFolder + u"Welcome.dot"_s, kLetter);
        writeFile(m_env->folders().templatesFolder + u"CallList.dot"_s, kCallList);
        auto& c = m_env->connection();
        c.execute(u"UPDATE Dlr_Info SET Name = 'Acme Auto'"_s);
        c.execute(u"INSERT INTO Contact_Info (Name, Phone) VALUES ('Pat Seller', '555-0100')"_s);
        c.execute(u"INSERT INTO DataFiles (FileName, Date) VALUES ('01052026.lst', '2026-01-05 00:00:00')"_s);
        c.execute(u"INSERT INTO [Names] (DataFile_ID, Court_ID, Name, Street, City, State, Zip, Phone, "
                  "Printed) VALUES (1, 'A1', 'ANN ZED', '2 BIRCH ST', 'PEORIA', 'IL', '61602', '(309) "
                  "555-0101', 0), (1, 'A2', 'BOB YOUNG', '3 CEDAR ST', 'MIAMI', 'FL', '33101', NULL, -1)"_s);
    }
    void cleanup() { m_env.reset(); }

    // Letters for the requested names in the requested order, each step reported, the names marked and
    // the list told so before the progress closes.
    void lettersMarkTheNames() {
        platform::ScriptedAnswerer answers;
        const QString pdf = m_env->dir.path() + u"/letters.pdf"_s;
        answers.setNextPrintFile(pdf);
        Reports reports;
        letters::PrintRequest request = this->request(letters::PrintKind::Letters, {2, 1});
        request.templatePath = m_env->folders().initialsFolder + u"Welcome.dot"_s;
        request.contactAndDealer = [] { return std::pair<qint32, qint32>{1, 1}; };
        QVERIFY(!reports.run(request));
        QCOMPARE(reports.log, (QStringList{u"open:Print:5"_s, u"step:1"_s, u"step:2"_s, u"step:3"_s,
                                           u"step:4"_s, u"step:5"_s, u"marked"_s, u"close"_s}));
        QVERIFY(answers.messages.empty());
        const QString text = PdfText(pdf);
        const int bob = text.indexOf(u"Dear BOB YOUNG"_s);
        QVERIFY2(bob >= 0 && text.indexOf(u"Dear ANN ZED"_s) > bob, qPrintable(text));
        QCOMPARE(text.count(u"From Pat Seller"_s), 2);
        QCOMPARE(printedFlags(1), -10);
        QCOMPARE(printedFlags(2), -11);
    }

    // Names without phones give no call list: the job says so, shows no box and prints nothing.
    void callListWithoutPhones() {
        platform::ScriptedAnswerer answers;
        Reports reports;
        letters::PrintRequest request = this->request(letters::PrintKind::CallList, {2});
        request.templatePath = m_env->folders().templatesFolder + u"CallList.dot"_s;
        QVERIFY(!reports.run(request));
        QVERIFY(reports.log.contains(u"no phones"_s));
        QCOMPARE(reports.log.back(), u"close"_s);
        QVERIFY(!reports.log.join(u' ').contains(u"failed"_s));
        QVERIFY(answers.messages.empty());
        QCOMPARE(answers.printDialogs, 0);
        QCOMPARE(FileBytes(m_env->folders().userDataFolder + letters::kCallDataFile),
                 QByteArray("\"Cust_Name\"\t\"Cust_City\"\t\"Cust_State\"\t\"Cust_Phone\"\r\n"));
    }

    // A template that is gone fails the job: reported once through the callback while the progress is
    // still open, no box, nothing marked.
    void missingTemplateFails() {
        platform::ScriptedAnswerer answers;
        Reports reports;
        letters::PrintRequest request = this->request(letters::PrintKind::Letters, {1});
        request.templatePath = m_env->folders().initialsFolder + u"Gone.dot"_s;
        request.contactAndDealer = [] { return std::pair<qint32, qint32>{1, 1}; };
        QVERIFY(!reports.run(request));
        const qsizetype failed = reports.log.indexOf(QRegularExpression(u"failed:\\d+"_s));
        QVERIFY2(failed > 0 && reports.log.indexOf(u"close"_s) > failed, qPrintable(reports.log.join(u',')));
        QVERIFY(answers.messages.empty());
        QVERIFY(!reports.log.contains(u"marked"_s));
        QCOMPARE(printedFlags(1), 0);
    }

private:
    letters::PrintRequest request(letters::PrintKind kind, std::vector<qint32> ids) const {
        letters::PrintRequest request;
        request.kind = kind;
        request.connection = &m_env->connection();
        request.mergeDataFolder = m_env->folders().userDataFolder;
        request.nameIds = std::move(ids);
        return request;
    }

private:
    int printedFlags(int id) {
        return m_env->scalar(u"SELECT Printed * 10 + Followed FROM [Names] WHERE ID = %1"_s.arg(id)).toInt();
    }

    std::unique_ptr<TestInstallation> m_env;
};

QTEST_MAIN(TestPrintJob)
#include "tst_printjob.moc"
