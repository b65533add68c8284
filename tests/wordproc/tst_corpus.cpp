#include "wordproc/Merge.h"
#include "wordproc/RtfReader.h"

#include <QDirIterator>
#include <QtTest>

using namespace wordproc;

// Public documents saved by Word (tests/corpus, with their sources in the READMEs there): every one
// must open, merge as it stands and lay out into pages that show something. How closely they print to
// LibreOffice is measured by bench/word-fidelity, not here.
class TestCorpus : public QObject {
    Q_OBJECT

private slots:
    void everyDocumentOpens_data() {
        QTest::addColumn<QString>("path");
        const QStringList kinds{"*.rtf", "*.docx", "*.dotx", "*.docm", "*.dotm"};
        QDirIterator it(QStringLiteral(QM_SOURCE_DIR "/tests/corpus"), kinds, QDir::Files,
                        QDirIterator::Subdirectories);
        int count = 0;
        while (it.hasNext()) {
            const QString path = it.next();
            QTest::newRow(qPrintable(QFileInfo(path).fileName())) << path;
            ++count;
        }
        QVERIFY2(count >= 25, "the corpus went missing");
    }

    void everyDocumentOpens() {
        QFETCH(QString, path);
        try {
            const auto t = std::make_shared<const Template>(readTemplateFile(path));
            Merger merger(t, nullptr);
            const auto doc = merger.all(QStringLiteral("Document1"));
            QVERIFY(doc->pageCount() >= 1);
            // A letterhead may be all a document holds: a header with its picture over an empty body.
            const PageCopy& first = doc->copies.front();
            const bool shown = !doc->plainText().trimmed().isEmpty() || !first.pictures.empty() ||
                               (first.header && !first.header->isEmpty());
            QVERIFY2(shown, "nothing was laid out");
        } catch (const Failure& f) {
            QFAIL(qPrintable(f.description()));
        }
    }
};

QTEST_MAIN(TestCorpus)
#include "tst_corpus.moc"
