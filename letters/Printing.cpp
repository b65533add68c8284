#include "errors/ErrorNumbers.h"
#include "errors/ShowError.h"
#include "files/Files.h"
#include "intake/ProgressWindow.h"
#include "leads/NameList.h"
#include "leads/frmMain.h"
#include "letters/MergeData.h"
#include "platform/Platform.h"
#include "startup/Globals.h"
#include "wordproc/WordErrors.h"
#include "wordproc/WordProcessor.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <memory>
#include <new>

namespace {

// Everything one run of the print handler holds; whatever is still held when the run ends, normally
// or by a failure, is let go here without saving: no word-processor instance, progress window or
// open data file outlives the run (except the preview the user is meant to keep).
struct PrintRun {
    std::unique_ptr<ProgressWindow> progress;
    std::unique_ptr<wordproc::Application> word;
    wordproc::Document* mainDocument = nullptr;
    std::unique_ptr<files::TextWriter> dataFile;
    QString stepText;
    bool stopped = false; // the user closed the progress window during a template conversion

    void step(int bar, const QString& text) {
        stepText = text;
        progress->barProgress->setValue(bar);
        progress->lblProgress->setText(text);
        progress->Refresh();
    }

    // A Word binary template goes through LibreOffice, which may take long: the window counts the
    // seconds, and Esc or closing it stops the conversion.
    bool conversionGoesOn(int seconds) {
        if (!progress)
            return true;
        progress->lblProgress->setText(
            QStringLiteral("%1\nConverting the template with LibreOffice: %2 s (Esc stops)")
                .arg(stepText)
                .arg(seconds));
        progress->Refresh();
        QCoreApplication::processEvents();
        return !stopped;
    }

    // The error handler's clean-up, also used after "No Phone Numbers". Each part is let go even when
    // another fails, since a failure here must not leave the others behind.
    void release() noexcept {
        progress.reset();
        if (mainDocument) {
            try {
                if (mainDocument->isOpen()) {
                    mainDocument->activate();
                    mainDocument->close(wordproc::DoNotSaveChanges);
                }
            } catch (const Failure&) {
            }
            mainDocument = nullptr;
        }
        if (word) {
            try {
                word->quit(wordproc::DoNotSaveChanges);
            } catch (const Failure&) {
            }
            word.reset();
        }
        if (dataFile) {
            try {
                dataFile->close();
            } catch (const Failure&) {
            }
            dataFile.reset();
        }
    }

    // Merges with errors held back, as the merge, the release of the merge object and the closing of
    // the document run under "resume next": the last failure among them is what counts.
    qint32 executeHoldingErrors(bool closeDocument, QString& description) {
        qint32 number = 0;
        try {
            mainDocument->mailMerge().execute(true);
        } catch (const Failure& f) {
            number = f.number();
            description = f.description();
        }
        if (closeDocument) {
            try {
                mainDocument->activate();
                mainDocument->close(wordproc::DoNotSaveChanges);
                mainDocument = nullptr;
            } catch (const Failure& f) {
                number = f.number();
                description = f.description();
            }
        }
        return number;
    }
};

QString SelectedIdList(const NameList& list) {
    QString ids = QStringLiteral("(");
    for (int row : list.selectedRows())
        ids += QString::number(list.itemData(row)) + QLatin1Char(',');
    ids.chop(1);
    return ids + QLatin1Char(')');
}

qint32 CurrentItemData(const QComboBox& box, int index) {
    if (index < 0 || index >= box.count())
        throw Failure(ErrorNumbers::InvalidPropertyIndex, QStringLiteral("Invalid property array index"));
    return box.itemData(index).toInt();
}

QString CurrentTemplate(const QListWidget& list) {
    const QListWidgetItem* item = list.currentItem();
    if (!item)
        throw Failure(ErrorNumbers::InvalidPropertyIndex, QStringLiteral("Invalid property array index"));
    return item->text();
}

} // namespace

void frmMain::cmdPrint_Click(int Index) {
    PrintRun run;
    try {
        platform::setWaitCursor();
        setEnabled(false);

        const QString dataPath =
            letters::MergeDataFolder() + (Index == 0 ? letters::kCallDataFile : letters::kMergeDataFile);
        QString templateFolder;
        if (optPromos[0]->isChecked())
            templateFolder = InitialsFolder;
        else if (optPromos[1]->isChecked())
            templateFolder = FollowUpsFolder;
        else if (optPromos[2]->isChecked())
            templateFolder = MailAidsFolder;

        run.progress = std::make_unique<ProgressWindow>();
        run.progress->setWindowTitle(Index == 1 ? QStringLiteral("Preview") : QStringLiteral("Print"));
        run.progress->lblProgress->setText(QStringLiteral("Deleting old mail merge data..."));
        run.progress->barProgress->setMaximum(5);
        run.progress->show();
        run.progress->Refresh();

        run.step(1, QStringLiteral("Starting Microsoft Word..."));
        run.word = std::make_unique<wordproc::Application>();
        QObject::connect(run.progress.get(), &QDialog::rejected, this, [&run] { run.stopped = true; });
        run.word->setConversionWatch({[&run](int seconds) { return run.conversionGoesOn(seconds); }, 60});

        run.step(2, QStringLiteral("Exporting current mail merge data..."));
        run.dataFile = std::make_unique<files::TextWriter>(dataPath, files::TextWriter::Create);
        run.word->setVisible(false);

        const QString sortClause = Tag(lstNames);
        if (Index == 0) {
            if (letters::WriteCallListData(*run.dataFile, SelectedIdList(*lstNames), sortClause) == 0) {
                platform::messageBox(
                    QStringLiteral(
                        "Cannot print Call List because the selected names do not contain any phone "
                        "numbers.\r\n\r\nPlease select some names that include phone numbers before "
                        "printing a Call List."),
                    platform::Icon::Exclamation, platform::Buttons::OkOnly,
                    QStringLiteral("No Phone Numbers"));
                run.release();
                setEnabled(true);
                platform::restoreCursor();
                activateWindow();
                return;
            }
            run.dataFile->close();
            run.dataFile.reset();

            run.step(3, QStringLiteral("Opening Call List template..."));
            run.mainDocument =
                &run.word->documents().add(TemplatesFolder + QStringLiteral("CallList.dot"), false);

            run.step(4, QStringLiteral("Executing list merge..."));
            auto& merge = run.mainDocument->mailMerge();
            merge.openDataSource(dataPath);
            merge.setDestination(wordproc::Printer);
            QString description;
            const qint32 number = run.executeHoldingErrors(true, description);
            if (number != 0 && number != wordproc::errors::CommandFailed) {
                run.progress.reset();
                throw Failure(number, description);
            }
            run.word->quit(wordproc::DoNotSaveChanges);
            run.word.reset();
        } else if (Index == 1) {
            letters::WritePreviewData(*run.dataFile);
            run.dataFile->close();
            run.dataFile.reset();

            run.step(3, QStringLiteral("Opening promotion template..."));
            run.mainDocument = &run.word->documents().add(templateFolder + CurrentTemplate(*lstPromos) +
                                                          QStringLiteral(".dot"));

            run.step(4, QStringLiteral("Executing mail merge..."));
            auto& merge = run.mainDocument->mailMerge();
            merge.openDataSource(dataPath);
            merge.setDestination(wordproc::NewDocument);
            merge.execute(true);

            run.step(5, QStringLiteral("Displaying Preview..."));
            run.mainDocument->activate();
            run.mainDocument->close(wordproc::DoNotSaveChanges);
            run.mainDocument = nullptr;

            wordproc::Document& result = run.word->documents().item(1);
            result.activate();
            result.setViewType(wordproc::PrintLayoutView);
            result.setSaved(true);
            run.word->setWindowState(wordproc::WindowNormal);
            run.word->setVisible(true);
            run.word->activate();
            // The preview stays with the user: let go of the application without quitting it.
            run.word.reset();
        } else {
            if (Tag(cmdSave) == QStringLiteral("True"))
                SaveContact();
            const QString ids = SelectedIdList(*lstNames);
            letters::WritePrintData(*run.dataFile, ids, sortClause,
                                    CurrentItemData(*cmbName, cmbNameListIndex()),
                                    CurrentItemData(*cmbDealer, cmbDealer->currentIndex()));
            run.dataFile->close();
            run.dataFile.reset();

            run.step(3, QStringLiteral("Opening promotion template..."));
            run.mainDocument = &run.word->documents().add(
                templateFolder + CurrentTemplate(*lstPromos) + QStringLiteral(".dot"), false);

            run.step(4, QStringLiteral("Executing mail merge..."));
            auto& merge = run.mainDocument->mailMerge();
            merge.openDataSource(dataPath);
            merge.setDestination(wordproc::Printer);
            QString description;
            const qint32 number = run.executeHoldingErrors(false, description);
            if (number == 0) {
                run.step(5, QStringLiteral("Updating Printed status..."));
                letters::UpdatePrintedStatus(ids);
                FillNames();
            } else if (number != wordproc::errors::CommandFailed) {
                run.progress.reset();
                throw Failure(number, description);
            }
            run.mainDocument->activate();
            run.mainDocument->close(wordproc::DoNotSaveChanges);
            run.mainDocument = nullptr;
            run.word->quit(wordproc::DoNotSaveChanges);
            run.word.reset();
        }

        run.progress.reset();
        setEnabled(true);
        platform::restoreCursor();
        if (Index != 1)
            activateWindow();
    } catch (const Failure& failure) {
        ShowError(failure, QStringLiteral("Form Main: Sub cmdPrint_Click"));
        run.release();
        setEnabled(true);
        platform::restoreCursor();
        activateWindow();
    } catch (const std::bad_alloc&) {
        // What the run holds is let go before the message, so that there is memory to show it.
        run.release();
        ShowError(Failure(ErrorNumbers::OutOfMemory,
                          QStringLiteral("Out of memory: the merge needs more memory than is free. Print "
                                         "fewer names at a time.")),
                  QStringLiteral("Form Main: Sub cmdPrint_Click"));
        setEnabled(true);
        platform::restoreCursor();
        activateWindow();
    }
}
