#include "errors/ErrorLog.h"
#include "errors/ShowError.h"
#include "platform/Platform.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class TestErrors : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void showErrorTextIconAndTitle() {
        platform::ScriptedAnswerer answers;
        showError(-2147217900, QStringLiteral("near \"FORM\": syntax error"),
                  QStringLiteral("Form Main: Sub FillNames"));
        showError(Failure(53, QStringLiteral("File not found")), QStringLiteral("Module Main: Sub Main"),
                  true);

        QCOMPARE(answers.messages.size(), size_t(2));
        const auto& first = answers.messages[0];
        QCOMPARE(first.title, QStringLiteral("Quillmark Error"));
        QCOMPARE(first.text,
                 QStringLiteral("The following error occurred in Form Main: Sub FillNames : \r\n\r\n"
                                "Error Number -2147217900: near \"FORM\": syntax error"));
        QCOMPARE(first.icon, platform::Icon::Exclamation);
        QCOMPARE(first.buttons, platform::Buttons::OkOnly);

        const auto& second = answers.messages[1];
        QCOMPARE(second.icon, platform::Icon::Critical);
        QVERIFY(second.text.startsWith(
            QStringLiteral("The following error occurred in Module Main: Sub Main : ")));
        QVERIFY(second.text.endsWith(QStringLiteral("Error Number 53: File not found")));
    }

    // Two rejected lines add two three-line entries after what the log already held, in the ANSI code
    // page with CR LF, and no message box.
    void errorLogAppendsEntries() {
        platform::ScriptedAnswerer answers;
        const QString path = m_dir->filePath(QStringLiteral("Error.log"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("earlier entry\r\n");
        }
        logRejectedLine(path, QStringLiteral("12031999.lst"),
                        Failure(-2147217913, QStringLiteral("Data type mismatch")),
                        QStringLiteral("A1,JOS\u00c9,1 MAIN"));
        logRejectedLine(path, QStringLiteral("12031999.lst"),
                        Failure(9, QStringLiteral("Subscript out of range")), QString());
        QVERIFY(answers.messages.empty());

        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.startsWith("earlier entry\r\n"));
        const QList<QByteArray> lines = bytes.mid(15).split('\n');
        // 6 lines, each ending in CR, then the empty remainder after the final LF.
        QCOMPARE(lines.size(), 7);
        QCOMPARE(lines[6], QByteArray());
        for (int i = 0; i < 6; ++i)
            QVERIFY2(lines[i].endsWith('\r'), lines[i].constData());
        const QRegularExpression head(QStringLiteral("^\\d{1,2}/\\d{1,2}/\\d{4} \\d{1,2}:\\d{2}:\\d{2} "
                                                     "(AM|PM)  12031999\\.lst  Error #(-?\\d+): (.*)\r$"));
        auto m = head.match(QString::fromLatin1(lines[0]));
        QVERIFY2(m.hasMatch(), lines[0].constData());
        QCOMPARE(m.captured(2), QStringLiteral("-2147217913"));
        QCOMPARE(m.captured(3), QStringLiteral("Data type mismatch"));
        QCOMPARE(lines[1], QByteArray("A1,JOS\xc9,1 MAIN\r")); // É in Windows-1252
        QCOMPARE(lines[2], QByteArray("\r"));
        QVERIFY(head.match(QString::fromLatin1(lines[3])).hasMatch());
        QCOMPARE(lines[4], QByteArray("\r"));
        QCOMPARE(lines[5], QByteArray("\r"));
    }

    void errorLogCreatedWhenMissing() {
        const QString path = m_dir->filePath(QStringLiteral("Error.log"));
        QVERIFY(!QFile::exists(path));
        logRejectedLine(path, QStringLiteral("x.lst"), Failure(5, QStringLiteral("bad")),
                        QStringLiteral("line"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().endsWith("x.lst  Error #5: bad\r\nline\r\n\r\n"));
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_MAIN(TestErrors)
#include "tst_errors.moc"
