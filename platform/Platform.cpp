#include "platform/Platform.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>

namespace platform {

namespace {
Answerer* g_answerer = nullptr;

QMessageBox::StandardButton toStandard(Button b) {
    switch (b) {
    case Ok:
        return QMessageBox::Ok;
    case Cancel:
        return QMessageBox::Cancel;
    case Abort:
        return QMessageBox::Abort;
    case Retry:
        return QMessageBox::Retry;
    case Ignore:
        return QMessageBox::Ignore;
    case Yes:
        return QMessageBox::Yes;
    case No:
        return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

Button fromStandard(int b) {
    switch (b) {
    case QMessageBox::Cancel:
        return Cancel;
    case QMessageBox::Abort:
        return Abort;
    case QMessageBox::Retry:
        return Retry;
    case QMessageBox::Ignore:
        return Ignore;
    case QMessageBox::Yes:
        return Yes;
    case QMessageBox::No:
        return No;
    default:
        return Ok;
    }
}

QMessageBox::Icon toQtIcon(Icon icon) {
    switch (icon) {
    case Icon::None:
        return QMessageBox::NoIcon;
    case Icon::Information:
        return QMessageBox::Information;
    case Icon::Exclamation:
        return QMessageBox::Warning;
    case Icon::Critical:
        return QMessageBox::Critical;
    case Icon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

std::vector<Button> buttonsOf(Buttons buttons) {
    switch (buttons) {
    case Buttons::OkOnly:
        return {Ok};
    case Buttons::OkCancel:
        return {Ok, Cancel};
    case Buttons::YesNo:
        return {Yes, No};
    case Buttons::YesNoCancel:
        return {Yes, No, Cancel};
    }
    return {Ok};
}

// "Description(.ext)|*.ext|..." becomes Qt's "Description(.ext) (*.ext);;...".
QString qtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        out << parts[i] + QStringLiteral(" (") + parts[i + 1] + QLatin1Char(')');
    return out.join(QStringLiteral(";;"));
}
} // namespace

Button messageBox(const QString& text, Icon icon, Buttons buttons, const QString& title,
                  Button defaultButton) {
    Message message{title, text, icon, buttons, defaultButton};
    if (g_answerer)
        return g_answerer->answerMessage(message);

    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title);
    box.setText(text);
    box.setIcon(toQtIcon(icon));
    QMessageBox::StandardButtons standard;
    for (Button b : buttonsOf(buttons))
        standard |= toStandard(b);
    box.setStandardButtons(standard);
    box.setDefaultButton(toStandard(defaultButton));
    // The hourglass of a busy handler must not hide the pointer over the question.
    const bool overridden = QApplication::overrideCursor() != nullptr;
    if (overridden)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int result = box.exec();
    if (overridden)
        QApplication::restoreOverrideCursor();
    return fromStandard(result);
}

QString openFileName(const QString& filter) {
    if (g_answerer)
        return g_answerer->answerOpenFile(FileRequest{filter});
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), QString(), QString(), qtFilter(filter));
}

bool choosePrinter(QPrinter& printer) {
    if (g_answerer)
        return g_answerer->answerPrint(printer);
    QPrintDialog dialog(&printer, QApplication::activeWindow());
    return dialog.exec() == QDialog::Accepted;
}

void showModal(QDialog& dialog) {
    if (g_answerer) {
        dialog.setModal(false);
        dialog.show();
        g_answerer->answerModal(dialog);
        if (dialog.isVisible())
            dialog.close();
        return;
    }
    dialog.exec();
}

void setWaitCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void restoreCursor() {
    if (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

QSize screenSize() {
    if (g_answerer)
        return g_answerer->screenSize();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        return screen->size();
    return {};
}

void setAnswerer(Answerer* answerer) {
    g_answerer = answerer;
}
Answerer* answerer() {
    return g_answerer;
}

ScriptedAnswerer::ScriptedAnswerer() : m_previous(g_answerer) {
    g_answerer = this;
}
ScriptedAnswerer::~ScriptedAnswerer() {
    g_answerer = m_previous;
}

Button ScriptedAnswerer::answerMessage(const Message& message) {
    messages.push_back(message);
    if (m_answers.empty())
        return message.defaultButton;
    Button b = m_answers.front();
    m_answers.erase(m_answers.begin());
    return b;
}

QString ScriptedAnswerer::answerOpenFile(const FileRequest& request) {
    fileRequests.push_back(request);
    return m_fileNames.isEmpty() ? QString() : m_fileNames.takeFirst();
}

bool ScriptedAnswerer::answerPrint(QPrinter& printer) {
    ++printDialogs;
    printJobTitles << printer.docName();
    const QString file = m_printFiles.isEmpty() ? QString() : m_printFiles.takeFirst();
    if (file.isEmpty())
        return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    return true;
}

void ScriptedAnswerer::answerModal(QDialog& dialog) {
    modalTitles << dialog.windowTitle();
    if (m_modals.empty())
        return;
    auto driver = std::move(m_modals.front());
    m_modals.erase(m_modals.begin());
    driver(dialog);
}

} // namespace platform
