#pragma once

#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QDialog;
class QPrinter;

// The one seam between the program and the modal parts of the desktop: message boxes, the file-open
// dialog, the print dialog, modal windows of our own, the wait cursor and the screen size. The program
// always goes through these functions; the real implementation shows Qt dialogs, and tests install an
// Answerer that records what would have been shown and answers it instead.
namespace platform {

// Values as the classic message-box functions return them.
enum Button { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };
enum class Icon { None, Information, Exclamation, Critical, Question };
enum class Buttons { OkOnly, OkCancel, YesNo, YesNoCancel };

struct Message {
    QString title;
    QString text;
    Icon icon = Icon::None;
    Buttons buttons = Buttons::OkOnly;
    Button defaultButton = Ok;
};

struct FileRequest {
    QString filter; // classic form: "Description(.ext)|*.ext"
};

// Shows a message box and returns the button that closed it.
Button messageBox(const QString& text, Icon icon, Buttons buttons, const QString& title,
                  Button defaultButton = Ok);

// Shows the file-open dialog; returns the chosen file's full path, or an empty text when cancelled.
QString openFileName(const QString& filter);

// Shows the print dialog for `printer`; false when the user cancelled.
bool choosePrinter(QPrinter& printer);

// Shows one of the program's own modal windows and returns when it has been hidden or closed.
void showModal(QDialog& dialog);

// Hourglass pointer on and back off (they nest, as the override cursor does).
void setWaitCursor();
void restoreCursor();

// Size of the screen the program runs on, in pixels.
QSize screenSize();

// Installed by tests in place of the real dialogs. Every call is answered synchronously.
class Answerer {
public:
    virtual ~Answerer() = default;
    virtual Button answerMessage(const Message& message) = 0;
    virtual QString answerOpenFile(const FileRequest& request) = 0;
    // Sets up `printer` as the user would have (for tests: a PDF file) and returns true, or returns
    // false for a cancelled print dialog.
    virtual bool answerPrint(QPrinter& printer) = 0;
    // The dialog is shown (not modal) when this is called; the answerer drives it (types, clicks) and
    // returns. If the dialog is still visible afterwards it is closed, as with the close box.
    virtual void answerModal(QDialog& dialog) = 0;
    virtual QSize screenSize() = 0;
};

// Installs `answerer` (nullptr: real dialogs again). The answerer is not owned.
void setAnswerer(Answerer* answerer);
Answerer* answerer();

// A ready-made answerer for tests: queued answers, recorded questions. With an empty queue a message
// box is answered with its default button, the file dialog and the print dialog are cancelled, and a
// modal window is closed with its close box.
class ScriptedAnswerer : public Answerer {
public:
    ScriptedAnswerer();           // installs itself
    ~ScriptedAnswerer() override; // uninstalls itself

    void setNextAnswer(Button button) { m_answers.push_back(button); }
    void setNextFileName(const QString& path) { m_fileNames.push_back(path); }
    // The next print dialog chooses a PDF printer writing to `pdfPath`; an empty path cancels it.
    void setNextPrintFile(const QString& pdfPath) { m_printFiles.push_back(pdfPath); }
    // Called with the modal window when the program shows one (at most one queued per window).
    void setNextModal(std::function<void(QDialog&)> driver) { m_modals.push_back(std::move(driver)); }
    void setScreenSize(QSize pixels) { m_screen = pixels; }

    std::vector<Message> messages; // every message box shown, in order
    std::vector<FileRequest> fileRequests;
    int printDialogs = 0;
    QStringList printJobTitles; // the job name each print dialog was opened for, as a queue lists it
    QStringList modalTitles;    // window titles of the modal windows shown

    Button answerMessage(const Message& message) override;
    QString answerOpenFile(const FileRequest& request) override;
    bool answerPrint(QPrinter& printer) override;
    void answerModal(QDialog& dialog) override;
    QSize screenSize() override { return m_screen; }

private:
    std::vector<Button> m_answers;
    QStringList m_fileNames;
    QStringList m_printFiles;
    std::vector<std::function<void(QDialog&)>> m_modals;
    QSize m_screen{1024, 768};
    Answerer* m_previous = nullptr;
};

} // namespace platform
