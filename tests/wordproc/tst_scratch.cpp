#include "Samples.h"
#include "platform/Platform.h"
#include "wordproc/WordProcessor.h"
#include <QtTest>
class Scratch : public QObject {
    Q_OBJECT
private slots:
    void run() {
        const QString dir = "/tmp/wp";
        samples::writeFile(dir + "/letter.dot", samples::letterTemplate());
        QList<QStringList> recs;
        for (int i = 1; i <= 3; ++i) recs << samples::letterRecord(QString::fromUtf8("JOSÉ O\"BRIEN %1").arg(i));
        samples::writeFile(dir + "/data.txt", samples::dataFile(samples::letterFields(), recs));
        platform::ScriptedAnswerer a;
        auto app = std::make_shared<wordproc::Application>();
        auto& doc = app->documents().add(dir + "/letter.dot");
        doc.mailMerge().openDataSource(dir + "/data.txt");
        doc.mailMerge().setDestination(1);
        a.setNextPrintFile(dir + "/letter.pdf");
        doc.mailMerge().execute(true);
        app->quit();
    }
};
QTEST_MAIN(Scratch)
#include "tst_scratch.moc"
