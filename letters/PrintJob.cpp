#include "letters/PrintJob.h"

#include "errors/ErrorNumbers.h"
#include "files/Files.h"
#include "letters/MergeData.h"
#include "wordproc/WordErrors.h"
#include "wordproc/WordProcessor.h"

#include <memory>
#include <new>

namespace letters {

namespace {

// Everything one run holds; whatever is still held when the run ends, normally or by a failure, is let
// go here without saving: no word-processor instance, progress or open data file outlives the run
// (except the preview the user is meant to keep).
class PrintRun {
public:
    PrintRun(const PrintRequest& request, const PrintProgress& progress)
        : m_request(request), m_progress(progress) {}
    ~PrintRun() { release(); }

    // True when a preview was left open.
    bool run(const std::function<void()>& namesMarked);
    void release() noexcept;

private:
    void start();
    bool printCallList();
    void preview();
    void printLetters(const std::function<void()>& namesMarked);
    void step(int value, const QString& text) { m_progress.step(value, text); }
    void closeProgress() {
        if (m_progressOpen) {
            m_progressOpen = false;
            m_progress.close();
        }
    }
    void closeDataFile() {
        m_dataFile->close();
        m_dataFile.reset();
    }
    wordproc::Document& addTemplate(const QString& path);
    // Steps 3 and 4 of every run: the template opened and its merge pointed at the data file.
    wordproc::MailMerge& prepareMerge(const QString& opening, const QString& executing,
                                      wordproc::Destination destination);
    qint32 executeHoldingErrors(bool closeDocument, QString& description);
    void closeMainDocument();
    void quitWord();

    const PrintRequest& m_request;
    const PrintProgress& m_progress;
    bool m_progressOpen = false;
    QString m_dataPath;
    std::unique_ptr<wordproc::Application> m_word;
    wordproc::Document* m_mainDocument = nullptr;
    std::unique_ptr<files::TextWriter> m_dataFile;
};

QString requiredTemplate(const std::optional<QString>& path) {
    if (!path)
        throw Failure(ErrorNumbers::InvalidPropertyIndex, QStringLiteral("Invalid property array index"));
    return *path;
}

void PrintRun::start() {
    const bool callList = m_request.kind == PrintKind::CallList;
    m_dataPath = m_request.mergeDataFolder + (callList ? kCallDataFile : kMergeDataFile);
    m_progress.open(m_request.kind == PrintKind::Preview ? QStringLiteral("Preview")
                                                         : QStringLiteral("Print"),
                    QStringLiteral("Deleting old mail merge data..."), 5);
    m_progressOpen = true;

    step(1, QStringLiteral("Starting the word processor..."));
    m_word = std::make_unique<wordproc::Application>();
    // A Word binary template goes through LibreOffice, which may take long: the progress counts the
    // seconds and lets the user stop it.
    m_word->setConversionWatch(
        {[this](int seconds) { return !m_progressOpen || m_progress.conversionGoesOn(seconds); }, 60});

    step(2, QStringLiteral("Exporting current mail merge data..."));
    m_dataFile = std::make_unique<files::TextWriter>(m_dataPath, files::TextWriter::Create);
    m_word->setVisible(false);
}

wordproc::Document& PrintRun::addTemplate(const QString& path) {
    m_mainDocument = &m_word->documents().add(path);
    return *m_mainDocument;
}

wordproc::MailMerge& PrintRun::prepareMerge(const QString& opening, const QString& executing,
                                            wordproc::Destination destination) {
    step(3, opening);
    wordproc::MailMerge& merge = addTemplate(requiredTemplate(m_request.templatePath)).mailMerge();
    step(4, executing);
    merge.openDataSource(m_dataPath);
    merge.setDestination(destination);
    return merge;
}

// Merges with errors held back, as the merge, the release of the merge object and the closing of the
// document run under "resume next": the last failure among them is what counts.
qint32 PrintRun::executeHoldingErrors(bool closeDocument, QString& description) {
    qint32 number = 0;
    try {
        m_mainDocument->mailMerge().execute(true);
    } catch (const Failure& f) {
        number = f.number();
        description = f.description();
    }
    if (closeDocument) {
        try {
            closeMainDocument();
        } catch (const Failure& f) {
            number = f.number();
            description = f.description();
        }
    }
    return number;
}

void PrintRun::closeMainDocument() {
    m_mainDocument->activate();
    m_mainDocument->close(wordproc::DoNotSaveChanges);
    m_mainDocument = nullptr;
}

void PrintRun::quitWord() {
    m_word->quit(wordproc::DoNotSaveChanges);
    m_word.reset();
}

// False when none of the selected names has a phone: the user is told, and nothing is printed.
bool PrintRun::printCallList() {
    if (writeCallListData(*m_request.connection, *m_dataFile, m_request.nameIds) == 0) {
        m_progress.noPhoneNumbers();
        return false;
    }
    closeDataFile();

    prepareMerge(QStringLiteral("Opening Call List template..."), QStringLiteral("Executing list merge..."),
                 wordproc::Printer);
    QString description;
    const qint32 number = executeHoldingErrors(true, description);
    // A cancelled print dialog prints nothing and is no failure.
    if (number != 0 && number != wordproc::errors::CommandFailed) {
        closeProgress();
        throw Failure(number, description);
    }
    quitWord();
    return true;
}

void PrintRun::preview() {
    writePreviewData(*m_dataFile);
    closeDataFile();

    prepareMerge(QStringLiteral("Opening promotion template..."), QStringLiteral("Executing mail merge..."),
                 wordproc::NewDocument)
        .execute(true);

    step(5, QStringLiteral("Displaying Preview..."));
    closeMainDocument();

    wordproc::Document& result = m_word->documents().item(1);
    result.activate();
    result.setViewType(wordproc::PrintLayoutView);
    result.setSaved(true);
    m_word->setWindowState(wordproc::WindowNormal);
    m_word->setVisible(true);
    m_word->activate();
    // The preview stays with the user: let go of the application without quitting it.
    m_word.reset();
}

void PrintRun::printLetters(const std::function<void()>& namesMarked) {
    const auto [contactId, dealerId] = m_request.contactAndDealer();
    writePrintData(*m_request.connection, *m_dataFile, m_request.nameIds, contactId, dealerId);
    closeDataFile();

    prepareMerge(QStringLiteral("Opening promotion template..."), QStringLiteral("Executing mail merge..."),
                 wordproc::Printer);
    QString description;
    const qint32 number = executeHoldingErrors(false, description);
    if (number == 0) {
        step(5, QStringLiteral("Updating Printed status..."));
        updatePrintedStatus(*m_request.connection, m_request.nameIds);
        namesMarked();
    } else if (number != wordproc::errors::CommandFailed) {
        closeProgress();
        throw Failure(number, description);
    }
    closeMainDocument();
    quitWord();
}

bool PrintRun::run(const std::function<void()>& namesMarked) {
    start();
    switch (m_request.kind) {
    case PrintKind::CallList:
        if (!printCallList())
            return false;
        break;
    case PrintKind::Preview:
        preview();
        break;
    case PrintKind::Letters:
        printLetters(namesMarked);
        break;
    }
    closeProgress();
    return m_request.kind == PrintKind::Preview;
}

// The clean-up of every ending. Each part is let go even when another fails, since a failure here must
// not leave the others behind.
void PrintRun::release() noexcept {
    try {
        closeProgress();
    } catch (...) {
    }
    if (m_mainDocument) {
        try {
            if (m_mainDocument->isOpen()) {
                m_mainDocument->activate();
                m_mainDocument->close(wordproc::DoNotSaveChanges);
            }
        } catch (const Failure&) {
        }
        m_mainDocument = nullptr;
    }
    if (m_word) {
        try {
            m_word->quit(wordproc::DoNotSaveChanges);
        } catch (const Failure&) {
        }
        m_word.reset();
    }
    if (m_dataFile) {
        try {
            m_dataFile->close();
        } catch (const Failure&) {
        }
        m_dataFile.reset();
    }
}

} // namespace

bool runPrintJob(const PrintRequest& request, const PrintProgress& progress,
                 const std::function<void()>& namesMarked) {
    PrintRun run(request, progress);
    try {
        return run.run(namesMarked);
    } catch (const Failure& failure) {
        progress.failed(failure);
        run.release();
    } catch (const std::bad_alloc&) {
        // What the run holds is let go before the message, so that there is memory to show it.
        run.release();
        progress.failed(
            Failure(ErrorNumbers::OutOfMemory,
                    QStringLiteral("Out of memory: the merge needs more memory than is free. Print fewer "
                                   "names at a time.")));
    }
    return false;
}

} // namespace letters
