#include "window/MainWindow.h"

#include "dealer/ContactPanel.h"
#include "errors/ShowError.h"
#include "intake/ImportDataFile.h"
#include "intake/ProgressWindow.h"
#include "leads/LeadListPanel.h"
#include "letters/PrintButtons.h"
#include "letters/TemplatePicker.h"
#include "platform/BusyGuard.h"
#include "platform/Fonts.h"
#include "platform/Platform.h"
#include "platform/Twips.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <memory>
#include <vector>

using platform::placeInTwips;

namespace {
const QString kLoadLocation = QStringLiteral("Form Main: Sub Form_Load");
const QString kExitLocation = QStringLiteral("Form Main: Sub cmdExit_Click");
const QString kPrintLocation = QStringLiteral("Form Main: Sub cmdPrint_Click");

QPushButton* commandButton(const QString& caption, const char* name, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    return button;
}
} // namespace

MainWindow::MainWindow(AppContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_context(context) {
    setObjectName(QStringLiteral("mainWindow"));
    setFont(platform::windowFont());
    setFixedSize(platform::twipsToPixels(10845), platform::twipsToPixels(8265));

    m_contact = new ContactPanel(m_context, this);
    m_leadList = new LeadListPanel(m_context, this);
    m_templates = new TemplatePicker(m_context, this);
    m_printButtons = new PrintButtons(this);
    m_exitButton = commandButton(QStringLiteral("Exit"), "exitButton", this);
    placeInTwips(m_exitButton, 9630, 7800, 1125, 375);
    m_importTemplateButton =
        commandButton(QStringLiteral("Import new template"), "importTemplateButton", this);
    placeInTwips(m_importTemplateButton, 60, 7800, 1635, 375);
    m_importDataFileButton = commandButton(QStringLiteral("Import data file"), "importDataFileButton", this);
    placeInTwips(m_importDataFileButton, 1710, 7800, 1275, 375);
    setTabOrder();

    connect(m_contact, &ContactPanel::contactChanged, this, &MainWindow::updatePrintButtons);
    connect(m_leadList, &LeadListPanel::selectionChanged, this, &MainWindow::updatePrintButtons);
    connect(m_templates, &TemplatePicker::templateChosen, this, &MainWindow::updatePrintButtons);
    connect(m_printButtons, &PrintButtons::printRequested, this, &MainWindow::print);
    connect(m_exitButton, &QPushButton::clicked, this, &MainWindow::exit);
    connect(m_importTemplateButton, &QPushButton::clicked, m_templates, &TemplatePicker::importNewTemplate);
    connect(m_importDataFileButton, &QPushButton::clicked, this, &MainWindow::importDataFile);
}

MainWindow::~MainWindow() = default;

// The window-wide tab order, across the panels (labels, groups and panels take no focus).
void MainWindow::setTabOrder() {
    std::vector<const char*> order = {
        "dealerBox",       "contactNameBox", "phoneEdit",       "saveContactButton", "modeBox",
        "datesBox",        "displayBox",     "findNameButton",  "deleteButton",      "selectAllButton",
        "clearButton",     "initialsOption", "followUpsOption", "mailAidsOption",    "namesView",
        "printCallButton", "previewButton",  "printButton",     "exitButton"};
    // The header buttons come after the command row, left to right.
    for (const leads::ListColumn& column : leads::kListColumns)
        order.push_back(column.objectName);
    order.insert(order.end(), {"templateList", "importTemplateButton", "importDataFileButton"});
    QWidget* previous = nullptr;
    for (const char* name : order) {
        QWidget* widget = findChild<QWidget*>(QLatin1String(name));
        Q_ASSERT(widget);
        if (previous)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}

void MainWindow::load() {
    try {
        setWindowTitle(QStringLiteral("Quillmark"));
        m_contact->load();
        m_leadList->load();
        m_templates->fill();
    } catch (const Failure& failure) {
        showError(failure, kLoadLocation);
    }
    updatePrintButtons();
}

// The one rule for the print buttons: a call list needs selected names, a preview a template, letters
// both and a contact with a phone.
void MainWindow::updatePrintButtons() {
    const bool names = m_leadList->selectedCount() > 0;
    const bool templateChosen = m_templates->hasChosenTemplate();
    m_printButtons->allow(names, templateChosen, names && templateChosen && m_contact->hasNameAndPhone());
}

void MainWindow::print(letters::PrintKind kind) {
    platform::BusyGuard busy(this);
    busy.enter();

    letters::PrintRequest request;
    request.kind = kind;
    request.connection = &m_context.connection();
    request.mergeDataFolder = m_context.folders().mergeDataFolder;
    request.nameIds = m_leadList->selectedIds();
    request.templatePath =
        kind == letters::PrintKind::CallList
            ? std::optional<QString>(m_context.folders().templatesFolder + QStringLiteral("CallList.dot"))
            : m_templates->chosenTemplatePath();
    request.contactAndDealer = [this] {
        if (m_contact->savePending())
            m_contact->saveContact();
        return std::pair{m_contact->chosenContactId(), m_contact->chosenDealerId()};
    };

    // The progress window of the print; closing it (or Esc) stops a long template conversion.
    std::unique_ptr<ProgressWindow> window;
    bool stopped = false;
    QString stepText;
    letters::PrintProgress progress;
    progress.open = [&](const QString& caption, const QString& text, int steps) {
        window = std::make_unique<ProgressWindow>();
        window->setWindowTitle(caption);
        window->progressLabel->setText(text);
        window->progressBar->setMaximum(steps);
        window->show();
        window->refresh();
        connect(window.get(), &QDialog::rejected, this, [&stopped] { stopped = true; });
    };
    progress.step = [&](int step, const QString& text) {
        stepText = text;
        window->progressBar->setValue(step);
        window->progressLabel->setText(text);
        window->refresh();
    };
    progress.conversionGoesOn = [&](int seconds) {
        window->progressLabel->setText(
            QStringLiteral("%1\nConverting the template with LibreOffice: %2 s (Esc stops)")
                .arg(stepText)
                .arg(seconds));
        window->refresh();
        QCoreApplication::processEvents();
        return !stopped;
    };
    progress.close = [&] { window.reset(); };
    progress.noPhoneNumbers = [] {
        platform::messageBox(
            QStringLiteral("Cannot print Call List because the selected names do not contain any "
                           "phone numbers.\r\n\r\nPlease select some names that include phone "
                           "numbers before printing a Call List."),
            platform::Icon::Exclamation, platform::Buttons::OkOnly, QStringLiteral("No Phone Numbers"));
    };
    progress.failed = [](const Failure& failure) { showError(failure, kPrintLocation); };

    const bool previewShown = letters::runPrintJob(request, progress, [this] { m_leadList->fillNames(); });
    busy.leave();
    if (!previewShown)
        activateWindow();
}

void MainWindow::exit() {
    try {
        close();
    } catch (const Failure& failure) {
        showError(failure, kExitLocation);
    }
}

// The chosen file is imported by the next start's scan; the program ends so that it happens at once.
void MainWindow::importDataFile() {
    if (copyChosenDataFile(m_context.connection(), m_context.folders().dataFolder))
        m_context.exitProgram();
}

// The window's closing: the program ends with it, without asking.
void MainWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    m_context.exitProgram();
}
