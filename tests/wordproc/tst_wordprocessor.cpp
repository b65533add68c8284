#include "Samples.h"
#include "errors/Failure.h"
#include "platform/Platform.h"
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

namespace {

qint32 failureNumber(const std::function<void()>& f, QString* description = nullptr) {
    try {
        f();
    } catch (const Failure& failure) {
        if (description)
            *description = failure.description();
        return failure.number();
    }
    return 0;
}

QList<PreviewWindow*> previewWindows() {
    QList<PreviewWindow*> out;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* p = qobject_cast<PreviewWindow*>(w))
            out << p;
    return out;
}

// The text of a PDF file, or an empty text when poppler's pdftotext is not installed.
QString pdfText(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

bool havePdfToText() {
    return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty();
}

} // namespace

class TestWordProcessor : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_letter, m_labels, m_data, m_preview;

    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_letter = path("Templates/Initials/Fresh Start.dot");
        QDir().mkpath(path("Templates/Initials"));
        QVERIFY(samples::writeFile(m_letter, samples::letterTemplate()));
        m_labels = path("Labels.dot");
        QVERIFY(samples::writeFile(m_labels, samples::labelTemplate()));
        m_data = path("MergeData.txt");
        QList<QStringList> records;
        for (const char* n : {"ZELDA ADAMS", "YVES BROWN", "XAVIER COLE", "WANDA DIAZ", "VICTOR EVANS"})
            records << samples::letterRecord(QString::fromLatin1(n));
        QVERIFY(samples::writeFile(m_data, samples::dataFile(samples::letterFields(), records)));
        m_preview = path("Preview.txt");
        QStringList sample{"Customer Name",  "Customer Address",
                           "Customer City",  "XX",
                           "00000",          "Dealer Name",
                           "Dealer Address", "",
                           "Dealer City",    "XX",
                           "00000",          "Contact Name",
                           "Contact Phone"};
        QVERIFY(samples::writeFile(m_preview, samples::dataFile(samples::letterFields(), {sample})));
    }

    void cleanup() {
        for (PreviewWindow* w : previewWindows())
            delete w;
    }

    void documentsCollection() {
        auto app = std::make_shared<Application>();
        QString why;
        const QString gone = path("Templates/Initials/Gone.dot");
        QCOMPARE(failureNumber([&] { app->documents().add(gone); }, &why), errors::FileNotFound);
        QVERIFY2(why.contains("Gone.dot"), qPrintable(why));
        QCOMPARE(app->documents().count(), 0);

        Document& a = app->documents().add(m_letter, false);
        Document& b = app->documents().add(m_letter);
        QCOMPARE(app->documents().count(), 2);
        QCOMPARE(&app->documents().item(1), &a);
        QCOMPARE(&app->documents().item(2), &b);
        QCOMPARE(failureNumber([&] { app->documents().item(3); }), errors::NoSuchMember);
        QCOMPARE(failureNumber([&] { app->documents().item(0); }), errors::NoSuchMember);
        QCOMPARE(a.pageCount(), 1);
        // Shown as it stands, the template's fields keep their stored results.
        QVERIFY(a.content()->plainText().contains(QString::fromUtf8("«Cust_Name»")));

        a.activate();
        a.close(0);
        QCOMPARE(app->documents().count(), 1);
        QCOMPARE(&app->documents().item(1), &b);
        QCOMPARE(failureNumber([&] { a.mailMerge(); }), errors::NoDocumentOpen);
        QCOMPARE(failureNumber([&] { a.close(0); }), errors::NoDocumentOpen);

        // Wrong arguments and merges without a data source fail instead of guessing.
        QCOMPARE(failureNumber([&] { b.mailMerge().setDestination(2); }), errors::BadArgument);
        QCOMPARE(failureNumber([&] { b.mailMerge().execute(true); }), errors::NotAvailable);
        QCOMPARE(failureNumber([&] { b.mailMerge().openDataSource(path("Missing.txt")); }, &why),
                 errors::FileNotFound);
        QVERIFY(why.contains("Missing.txt"));

        app->quit(0);
        QVERIFY(app->hasQuit());
        QCOMPARE(failureNumber([&] { app->documents(); }), errors::NoDocumentOpen);
        QCOMPARE(failureNumber([&] { b.activate(); }), errors::NoDocumentOpen);
    }

    void previewStaysOpen() {
        platform::ScriptedAnswerer answers;
        QPointer<PreviewWindow> window;
        {
            // The preview's sequence of calls, then every reference released without quitting.
            auto app = std::make_shared<Application>();
            app->setVisible(false);
            Document& main = app->documents().add(m_letter);
            MailMerge& mm = main.mailMerge();
            mm.openDataSource(m_preview);
            mm.setDestination(NewDocument);
            mm.execute(true);
            main.activate();
            main.close(0);
            QCOMPARE(app->documents().count(), 1);
            Document& result = app->documents().item(1);
            QCOMPARE(result.name(), QStringLiteral("Letters1"));
            result.activate();
            result.setViewType(3);
            result.setSaved(true);
            QCOMPARE(result.viewType(), 3);
            QVERIFY(result.saved());
            QVERIFY(previewWindows().isEmpty()); // nothing shows while the application is hidden
            app->setWindowState(0);
            app->setVisible(true);
            app->activate();
            QCOMPARE(previewWindows().size(), 1);
            window = previewWindows().first();
            QCOMPARE(result.pageCount(), 1);
        }
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QCOMPARE(window->document().pageCount(), 1);
        const QString text = window->document().plainText();
        QVERIFY2(text.contains("Customer Name") && text.contains("Dealer City, XX 00000"), qPrintable(text));
        QVERIFY(!text.contains(QString::fromUtf8("«")));
        QCOMPARE(window->preview()->pageCount(), 1);
        // Zoom changes the view, and the window closes without asking anything.
        const int before = window->zoomPercent();
        window->zoomIn();
        QVERIFY(window->zoomPercent() > before);
        window->zoomOut();
        window->zoomOut();
        QVERIFY(window->zoomPercent() < before);
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!window);
        QVERIFY(answers.messages.empty());
    }

    void previewWindowSavesAndPrints() {
        platform::ScriptedAnswerer answers;
        auto app = std::make_shared<Application>();
        Document& main = app->documents().add(m_letter);
        main.mailMerge().openDataSource(m_data);
        main.mailMerge().setDestination(NewDocument);
        main.mailMerge().execute(true);
        app->setVisible(true);
        QCOMPARE(previewWindows().size(), 2); // the main document and the merge result
        main.close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(previewWindows().size(), 1);
        PreviewWindow* window = previewWindows().first();
        QCOMPARE(window->document().pageCount(), 5);

        const QString pdf = path("saved.pdf");
        answers.setNextFileName(pdf);
        QVERIFY(window->saveAsPdf());
        QCOMPARE(answers.fileRequests.size(), size_t(1));
        QVERIFY(answers.fileRequests.at(0).filter.contains("*.pdf"));
        QVERIFY(QFileInfo(pdf).size() > 0);
        QVERIFY(!window->saveAsPdf()); // cancelled: nothing written, no complaint
        QVERIFY(!window->print());     // the print dialog cancelled
        QCOMPARE(answers.printDialogs, 1);
        const QString printed = path("printed-from-preview.pdf");
        answers.setNextPrintFile(printed);
        QVERIFY(window->print());
        QVERIFY(QFileInfo(printed).size() > 0);
        if (havePdfToText())
            QVERIFY(pdfText(printed).contains("VICTOR EVANS"));

        // Quitting closes the windows.
        app->quit(0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(previewWindows().isEmpty());
        QVERIFY(answers.messages.empty());
    }

    void printCancelled() {
        platform::ScriptedAnswerer answers; // no print file queued: the dialog is cancelled
        auto app = std::make_shared<Application>();
        Document& main = app->documents().add(m_letter);
        main.mailMerge().openDataSource(m_data);
        main.mailMerge().setDestination(Printer);
        QString why;
        QCOMPARE(failureNumber([&] { main.mailMerge().execute(true); }, &why), errors::CommandFailed);
        QCOMPARE(why, QStringLiteral("Command failed"));
        QCOMPARE(answers.printDialogs, 1);
        main.activate();
        main.close(0);
        app->quit(0);
    }

    void missingFieldFailsBeforePrinting() {
        platform::ScriptedAnswerer answers;
        const QString data = path("Short.txt");
        QVERIFY(samples::writeFile(data, samples::dataFile({"Cust_Name"}, {{"A"}})));
        auto app = std::make_shared<Application>();
        Document& main = app->documents().add(m_letter);
        main.mailMerge().openDataSource(data);
        main.mailMerge().setDestination(Printer);
        QString why;
        QCOMPARE(failureNumber([&] { main.mailMerge().execute(true); }, &why), errors::MergeFieldMissing);
        QVERIFY2(why.contains("Cust_Street"), qPrintable(why));
        QCOMPARE(answers.printDialogs, 0);
        app->quit(0);
    }

    void printToPdf() {
        platform::ScriptedAnswerer answers;
        const QString pdf = path("letters.pdf");
        answers.setNextPrintFile(pdf);
        auto app = std::make_shared<Application>();
        Document& main = app->documents().add(m_letter);
        main.mailMerge().openDataSource(m_data);
        main.mailMerge().setDestination(Printer);
        main.mailMerge().execute(true);
        main.activate();
        main.close(0);
        app->quit(0);
        QCOMPARE(answers.printDialogs, 1);
        QVERIFY(QFileInfo(pdf).size() > 0);
        if (!havePdfToText())
            QSKIP("pdftotext (poppler-utils) is not installed");
        const QString text = pdfText(pdf);
        // One page per letter, each with its customer, in the data file's order.
        QCOMPARE(text.count(QLatin1Char('\f')), 5);
        int at = 0;
        for (const char* name : {"ZELDA ADAMS", "YVES BROWN", "XAVIER COLE", "WANDA DIAZ", "VICTOR EVANS"}) {
            const int next = int(text.indexOf(QLatin1String(name), at));
            QVERIFY2(next >= at, name);
            at = next;
        }
        QVERIFY(text.contains("Dear Zelda Adams,"));
        QVERIFY(text.contains("Prairie Motors"));

        // A label sheet: three across, a second sheet for what does not fit.
        const QString labelsPdf = path("labels.pdf");
        QList<QStringList> records;
        for (int i = 1; i <= 10; ++i)
            records << samples::letterRecord(QStringLiteral("LABEL %1").arg(i, 2, 10, QLatin1Char('0')));
        const QString labelData = path("LabelData.txt");
        QVERIFY(samples::writeFile(labelData, samples::dataFile(samples::letterFields(), records)));
        answers.setNextPrintFile(labelsPdf);
        auto app2 = std::make_shared<Application>();
        Document& sheet = app2->documents().add(m_labels);
        sheet.mailMerge().openDataSource(labelData);
        sheet.mailMerge().setDestination(Printer);
        sheet.mailMerge().execute(true);
        app2->quit(0);
        const QString labels = pdfText(labelsPdf);
        QCOMPARE(labels.count(QLatin1Char('\f')), 2);
        // The first line of the sheet holds three labels side by side.
        QRegularExpression row("LABEL 01\\s+LABEL 02\\s+LABEL 03");
        QVERIFY2(row.match(labels).hasMatch(), qPrintable(labels));
        QVERIFY(labels.indexOf("LABEL 10") > labels.indexOf(QLatin1Char('\f')));
    }
};

QTEST_MAIN(TestWordProcessor)
#include "tst_wordprocessor.moc"
