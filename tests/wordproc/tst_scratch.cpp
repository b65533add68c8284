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
        samples::writeFile(dir + "/labels.dot", samples::labelTemplate(10));
        QList<QStringList> recs;
        for (int i = 1; i <= 32; ++i) recs << samples::letterRecord(QString::fromUtf8("JOSÉ O\"BRIEN %1").arg(i), QString("%1 ELM ST").arg(i * 7));
        samples::writeFile(dir + "/data.txt", samples::dataFile(samples::letterFields(), recs));
        platform::ScriptedAnswerer a;
        for (auto [t, out] : {std::pair{"letter.dot", "letter.pdf"}, {"labels.dot", "labels.pdf"}}) {
            auto app = std::make_shared<wordproc::Application>();
            auto& doc = app->documents().add(dir + "/" + t);
            doc.mailMerge().openDataSource(dir + "/data.txt");
            doc.mailMerge().setDestination(1);
            a.setNextPrintFile(dir + "/" + out);
            doc.mailMerge().execute(true);
            app->quit();
        }
    }
};
QTEST_MAIN(Scratch)
#include "tst_scratch.moc"
