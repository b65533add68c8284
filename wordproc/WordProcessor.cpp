#include "wordproc/WordProcessor.h"

#include "errors/Failure.h"
#include "platform/Platform.h"
#include "wordproc/DataSource.h"
#include "wordproc/Merge.h"
#include "wordproc/PageWriter.h"
#include "wordproc/PreviewWindow.h"
#include "wordproc/RtfReader.h"
#include "wordproc/WordErrors.h"

#include <QPrinter>

namespace wordproc {

// --- MailMerge ---

void MailMerge::openDataSource(const QString& fileName) {
    m_document.requireOpen();
    m_data = DataSource::read(fileName);
}

void MailMerge::setDestination(int destination) {
    m_document.requireOpen();
    if (destination != NewDocument && destination != Printer)
        throw Failure(
            errors::BadArgument,
            QStringLiteral("The mail merge destination %1 is not offered: 0 is a new document, 1 the "
                           "printer.")
                .arg(destination));
    m_destination = destination;
}

void MailMerge::execute(bool /*pause*/) {
    m_document.requireOpen();
    if (!m_document.m_template)
        throw Failure(
            errors::NotAvailable,
            QStringLiteral("The document \"%1\" is not a mail merge main document.").arg(m_document.name()));
    if (!m_data)
        throw Failure(errors::NotAvailable,
                      QStringLiteral("The mail merge of \"%1\" has no data source.").arg(m_document.name()));
    // The fields are checked before anything is asked or printed.
    Merger merger(m_document.m_template, m_data);

    if (m_destination == NewDocument) {
        const QString base = m_document.m_template->type == MainType::Catalog  ? QStringLiteral("Catalog")
                             : m_document.m_template->type == MainType::Labels ? QStringLiteral("Labels")
                                                                               : QStringLiteral("Letters");
        Application& app = m_document.m_app;
        app.m_documents->addMerged(merger.all(QString()), base, m_document.m_jobTitle);
        return;
    }

    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer, m_document.m_template->page);
    // A queue lists the job by this; "Document1" would tell the user nothing.
    printer.setDocName(m_document.m_jobTitle);
    if (!platform::choosePrinter(printer))
        throw Failure(errors::CommandFailed, QStringLiteral("Command failed"));
    // One job; each letter's pages are built, painted and dropped before the next.
    PageWriter writer(printer, m_document.m_template->page);
    writer.begin();
    while (!merger.atEnd()) {
        const PageCopy copy = merger.next();
        writer.write(copy);
    }
    writer.end();
}

// --- Document ---

Document::Document(Application& app, QString name, std::shared_ptr<const Template> tmpl,
                   std::shared_ptr<const MergedDocument> merged)
    : m_app(app), m_name(std::move(name)), m_template(std::move(tmpl)), m_content(std::move(merged)) {}

Document::~Document() {
    // A window left open by a visible application keeps showing its pages on its own; one that the
    // application never showed goes with the document.
    if (m_window && (!m_app.m_visible || m_app.m_quit))
        m_window->close();
}

void Document::requireOpen() const {
    m_app.requireRunning();
    if (!m_open)
        throw Failure(errors::NoDocumentOpen,
                      QStringLiteral("The document \"%1\" has been closed.").arg(m_name));
}

MailMerge& Document::mailMerge() {
    requireOpen();
    if (!m_mailMerge)
        m_mailMerge.reset(new MailMerge(*this));
    return *m_mailMerge;
}

std::shared_ptr<const MergedDocument> Document::content() const {
    if (!m_content && m_template) {
        // A main document shows its template as it stands: the fields with their stored results.
        Merger merger(m_template, nullptr);
        auto doc = merger.all(m_name);
        m_content = doc;
    }
    return m_content;
}

int Document::pageCount() const {
    const auto c = content();
    return c ? c->pageCount() : 0;
}

void Document::showWindow() {
    if (!m_window) {
        auto doc = std::const_pointer_cast<MergedDocument>(content());
        if (!doc)
            return;
        if (doc->name.isEmpty())
            doc->name = m_name;
        m_window = new PreviewWindow(doc, m_jobTitle);
    }
    switch (m_app.m_windowState) {
    case WindowMaximized:
        m_window->showMaximized();
        break;
    case WindowMinimized:
        m_window->showMinimized();
        break;
    default:
        m_window->showNormal();
        break;
    }
}

void Document::activate() {
    requireOpen();
    m_app.m_active = this;
    if (m_window && m_app.m_visible) {
        m_window->raise();
        m_window->activateWindow();
    }
}

void Document::close(int /*saveChanges*/) {
    requireOpen();
    m_open = false;
    if (m_window)
        m_window->close();
    m_mailMerge.reset();
    if (m_app.m_active == this) {
        m_app.m_active = nullptr;
        for (auto it = m_app.m_documents->m_all.rbegin(); it != m_app.m_documents->m_all.rend(); ++it)
            if ((*it)->m_open) {
                m_app.m_active = it->get();
                break;
            }
    }
}

void Document::setViewType(int viewType) {
    requireOpen();
    // Every view shows the pages as they print; the value is kept for whoever asks.
    m_viewType = viewType;
}

// --- Documents ---

Document& Documents::add(const QString& templatePath, bool newTemplate) {
    m_app.requireRunning();
    if (newTemplate)
        throw Failure(errors::NotAvailable, QStringLiteral("Templates cannot be edited here."));
    auto tmpl = std::make_shared<const Template>(readTemplateFile(templatePath, m_app.m_conversion));
    const QString name = QStringLiteral("Document%1").arg(++m_counters[QStringLiteral("Document")]);
    m_all.push_back(std::unique_ptr<Document>(new Document(m_app, name, std::move(tmpl), nullptr)));
    Document& doc = *m_all.back();
    doc.m_jobTitle = printJobTitle(templatePath);
    m_app.m_active = &doc;
    if (m_app.m_visible)
        doc.showWindow();
    return doc;
}

Document& Documents::addMerged(std::shared_ptr<const MergedDocument> merged, const QString& baseName,
                               const QString& jobTitle) {
    const QString name = baseName + QString::number(++m_counters[baseName]);
    if (merged->name.isEmpty())
        std::const_pointer_cast<MergedDocument>(merged)->name = name;
    m_all.push_back(std::unique_ptr<Document>(new Document(m_app, name, nullptr, std::move(merged))));
    Document& doc = *m_all.back();
    doc.m_jobTitle = jobTitle;
    doc.m_saved = false;
    m_app.m_active = &doc;
    if (m_app.m_visible)
        doc.showWindow();
    return doc;
}

Document& Documents::item(int index) {
    m_app.requireRunning();
    int n = 0;
    for (auto& d : m_all)
        if (d->m_open && ++n == index)
            return *d;
    throw Failure(errors::NoSuchMember,
                  QStringLiteral("The requested member of the collection does not exist (document %1 of %2).")
                      .arg(index)
                      .arg(count()));
}

int Documents::count() const {
    int n = 0;
    for (const auto& d : m_all)
        n += d->m_open ? 1 : 0;
    return n;
}

// --- Application ---

Application::Application() : m_documents(new Documents(*this)) {}

Application::~Application() {
    // The documents go first, while the application's state that decides about their windows is intact.
    m_documents.reset();
}

void Application::requireRunning() const {
    if (m_quit)
        throw Failure(errors::NoDocumentOpen, QStringLiteral("The word processor has been quit."));
}

Documents& Application::documents() {
    requireRunning();
    return *m_documents;
}

void Application::setVisible(bool visible) {
    requireRunning();
    m_visible = visible;
    for (auto& d : m_documents->m_all) {
        if (!d->m_open)
            continue;
        if (visible)
            d->showWindow();
        else if (d->m_window)
            d->m_window->hide();
    }
}

void Application::setWindowState(int state) {
    requireRunning();
    if (state < WindowNormal || state > WindowMinimized)
        throw Failure(errors::BadArgument, QStringLiteral("The window state %1 is not offered.").arg(state));
    m_windowState = state;
    if (m_visible)
        for (auto& d : m_documents->m_all)
            if (d->m_open && d->m_window)
                d->showWindow();
}

void Application::activate() {
    requireRunning();
    if (m_active && m_visible && m_active->m_window) {
        m_active->m_window->raise();
        m_active->m_window->activateWindow();
    }
}

void Application::quit(int /*saveChanges*/) {
    if (m_quit)
        return;
    for (auto& d : m_documents->m_all)
        if (d->m_open)
            d->close();
    m_visible = false;
    m_quit = true;
}

Document* Application::activeDocument() const {
    return m_active;
}

} // namespace wordproc
