#include "Samples.h"
#include "platform/Platform.h"
#include "wordproc/PageWriter.h"
#include "wordproc/Pages.h"
#include "wordproc/PreviewWindow.h"
#include "wordproc/WordErrors.h"
#include "wordproc/WordProcessor.h"

#include <QApplication>
#include <QPointer>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace wordproc;
using samples::failureNumber;

namespace {

QList<PreviewWindow*> previewWindows() {
    QList<PreviewWindow*> out;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* p = qobject_cast<PreviewWindow*>(w))
            out << p;
    return out;
}

// The text of a PDF file by poppler's pdftotext; empty when it is not installed.
QString pdfText(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    return p.waitForFinished(60000) && p.exitCode() == 0 ? QString::fromUtf8(p.readAllStandardOutput())
                                                         : QString();
}

const QStringList kNames{"ZELDA ADAMS", "YVES BROWN", "XAVIER COLE", "WANDA DIAZ", "VICTOR EVANS"};

} // namespace

class TestWordProcessor : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_letter, m_data;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    QString writeData(const QString& name, const QList<QStringList>& records,
                      const QStringList& fields = samples::letterFields) {
        return samples::writeFile(path(name), samples::dataFile(fields, records)) ? path(name) : QString();
    }

    // A merge of the letter with `data` to the printer, answered by `answers`.
    qint32 printMerge(const QString& data, QString* why = nullptr, const QString& tmpl = {}) {
        auto app = std::make_shared<Application>();
        Document& main = app->documents().add(tmpl.isEmpty() ? m_letter : tmpl);
        main.mailMerge().openDataSource(data);
        main.mailMerge().setDestination(Printer);
        const qint32 number = failureNumber([&] { main.mailMerge().execute(true); }, why);
        app->quit(0);
        return number;
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_letter = path("Templates/Initials/Fresh Start.dot");
        QDir().mkpath(path("Templates/Initials"));
        QVERIFY(samples::writeFile(m_letter, samples::letterTemplate()));
        QList<QStringList> records;
        for (const QString& n : kNames)
            records << samples::letterRecord(n);
        m_data = writeData("MergeData.txt", records);
    }

    void cleanup() { qDeleteAll(previewWindows()); }

    void documentsCollection() {
        auto app = std::make_shared<Application>();
        QString why;
        QCOMPARE(failureNumber([&] { app->documents().add(path("Gone.dot")); }, &why), errors::FileNotFound);
        QVERIFY2(why.contains("Gone.dot"), qPrintable(why));
        Document& a = app->documents().add(m_letter, false);
        Document& b = app->documents().add(m_letter);
        QCOMPARE(app->documents().count(), 2);
        QCOMPARE(&app->documents().item(2), &b);
        QCOMPARE(failureNumber([&] { app->documents().item(0); }), errors::NoSuchMember);
        QCOMPARE(failureNumber([&] { app->documents().item(3); }), errors::NoSuchMember);
        a.close(0);
        QCOMPARE(&app->documents().item(1), &b);
        QCOMPARE(failureNumber([&] { a.mailMerge(); }), errors::NoDocumentOpen);
        // Wrong arguments and merges without a data source fail instead of guessing.
        QCOMPARE(failureNumber([&] { b.mailMerge().setDestination(2); }), errors::BadArgument);
        QCOMPARE(failureNumber([&] { b.mailMerge().execute(true); }), errors::NotAvailable);
        app->quit(0);
        QCOMPARE(failureNumber([&] { app->documents(); }), errors::NoDocumentOpen);
    }

    void previewStaysOpen() {
        platform::ScriptedAnswerer answers;
        QStringList record = samples::letterRecord("Customer Name");
        record[8] = "Dealer City", record[9] = "XX", record[10] = "00000";
        const QString sample = writeData("Preview.txt", {record});
        QPointer<PreviewWindow> window;
        {
            // The preview's sequence of calls, then every reference released without quitting.
            auto app = std::make_shared<Application>();
            app->setVisible(false);
            Document& main = app->documents().add(m_letter);
            main.mailMerge().openDataSource(sample);
            main.mailMerge().setDestination(NewDocument);
            main.mailMerge().execute(true);
            main.close(0);
            Document& result = app->documents().item(1);
            QCOMPARE(result.name(), QStringLiteral("Letters1"));
            result.setViewType(3);
            result.setSaved(true);
            QVERIFY(previewWindows().isEmpty()); // nothing shows while the application is hidden
            app->setVisible(true);
            app->activate();
            QCOMPARE(previewWindows().size(), 1);
            window = previewWindows().first();
        }
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->preview()->pageCount(), 1);
        const QString text = window->document().plainText();
        QVERIFY2(text.contains("Customer Name") && text.contains("Dealer City, XX 00000"), qPrintable(text));
        QVERIFY(!text.contains(QString::fromUtf8("«")));
        // It saves as PDF and prints; a cancelled file or print dialog does nothing and says nothing.
        answers.setNextFileName(path("saved.pdf"));
        QVERIFY(window->saveAsPdf() && QFileInfo(path("saved.pdf")).size() > 0);
        QVERIFY(answers.fileRequests.at(0).filter.contains("*.pdf"));
        QVERIFY(!window->saveAsPdf() && !window->print());
        answers.setNextPrintFile(path("printed.pdf"));
        QVERIFY(window->print() && QFileInfo(path("printed.pdf")).size() > 0);
        // The preview's jobs are named after the template, as the merge's own are.
        QCOMPARE(answers.printJobTitles.size(), 2);
        QCOMPARE(answers.printJobTitles.last(), QStringLiteral("Quillmark \u2013 Fresh Start"));
        window->close(); // without asking anything
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!window);
        QVERIFY(answers.messages.empty());
    }

    void printFailures() {
        platform::ScriptedAnswerer answers; // no print file queued: the dialog is cancelled
        QString why;
        QCOMPARE(printMerge(m_data, &why), 4198);
        QCOMPARE(why, QStringLiteral("Command failed"));
        QCOMPARE(answers.printDialogs, 1);
        // A field the data lacks fails before the print dialog shows.
        QCOMPARE(printMerge(writeData("Short.txt", {{"A"}}, {"Cust_Name"}), &why), errors::MergeFieldMissing);
        QVERIFY2(why.contains("Cust_Street"), qPrintable(why));
        QCOMPARE(answers.printDialogs, 1);
    }

    // The name a print queue lists: the template's name as the template picker shows it.
    void printJobTitleNamesTheTemplate() {
        QCOMPARE(printJobTitle(m_letter), QStringLiteral("Quillmark \u2013 Fresh Start"));
        QCOMPARE(printJobTitle(QStringLiteral("/t/Spring.Sale 2026.dotx")),
                 QStringLiteral("Quillmark \u2013 Spring.Sale 2026"));
        QCOMPARE(printJobTitle(QStringLiteral("Templates/CallList.dot")),
                 QStringLiteral("Quillmark \u2013 CallList"));
        QCOMPARE(printJobTitle(QStringLiteral("/t/.dot")), QStringLiteral("Quillmark \u2013 .dot"));
        // A merge to the printer asks for the printer under that name, not under "Document1".
        platform::ScriptedAnswerer answers;
        auto app = std::make_shared<Application>();
        Document& main = app->documents().add(m_letter);
        QCOMPARE(main.name(), QStringLiteral("Document1"));
        QCOMPARE(main.jobTitle(), QStringLiteral("Quillmark \u2013 Fresh Start"));
        answers.setNextPrintFile(path("titled.pdf"));
        QCOMPARE(printMerge(m_data), 0);
        QCOMPARE(answers.printJobTitles, QStringList{QStringLiteral("Quillmark \u2013 Fresh Start")});
        app->quit(0);
    }

    void printToPdf() {
        platform::ScriptedAnswerer answers;
        answers.setNextPrintFile(path("letters.pdf"));
        QCOMPARE(printMerge(m_data), 0);
        QCOMPARE(answers.printDialogs, 1);
        QVERIFY(QFileInfo(path("letters.pdf")).size() > 0);
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        // One page per letter, each with its customer, in the data file's order.
        const QString text = pdfText(path("letters.pdf"));
        QCOMPARE(text.count(QLatin1Char('\f')), 5);
        qsizetype at = 0;
        for (const QString& name : kNames) {
            QVERIFY2(text.indexOf(name, at) >= at, qPrintable(name));
            at = text.indexOf(name, at);
        }
        QVERIFY(text.contains("Dear Zelda Adams,") && text.contains("Prairie Motors"));

        // A label sheet: three across, a second sheet for what does not fit.
        QVERIFY(samples::writeFile(path("Labels.dot"), samples::labelTemplate()));
        QList<QStringList> records;
        for (int i = 1; i <= 10; ++i)
            records << samples::letterRecord(QStringLiteral("LABEL %1").arg(i, 2, 10, QLatin1Char('0')));
        answers.setNextPrintFile(path("labels.pdf"));
        QCOMPARE(printMerge(writeData("LabelData.txt", records), nullptr, path("Labels.dot")), 0);
        const QString sheet = pdfText(path("labels.pdf"));
        QCOMPARE(sheet.count(QLatin1Char('\f')), 2);
        QVERIFY2(QRegularExpression("LABEL 01\\s+LABEL 02\\s+LABEL 03").match(sheet).hasMatch(),
                 qPrintable(sheet));
        QVERIFY(sheet.indexOf("LABEL 10") > sheet.indexOf(QLatin1Char('\f')));
    }
};

QTEST_MAIN(TestWordProcessor)
#include "tst_wordprocessor.moc"
