#pragma once

#include "wordproc/RtfReader.h"

#include <QPointer>
#include <QString>
#include <QtGlobal>
#include <map>
#include <memory>
#include <vector>

// The built-in word processor that stands where the automation server used to: the print handler
// creates an Application, adds a document from an RTF template, attaches the tab-separated merge data
// file and merges it to the printer or to a new document shown in a preview window.
//
// Every failure raises Failure (errors/Failure.h) with one of the numbers of wordproc/WordErrors.h and
// a description naming the file or field at fault. A cancelled print dialog raises 4198,
// "Command failed".
//
// Lifetime: Documents, Document and MailMerge are owned by their Application and handed out by
// reference; they stay valid (a closed document refuses further work) until the Application goes.
// Releasing the Application without quit() leaves the windows of a visible application open: each
// window owns the pages it shows and closes without asking to save.
namespace wordproc {

class Application;
class Document;
struct MergedDocument;
struct Template;
class DataSource;
class PreviewWindow;

// Values of the classic automation enumerations that the callers pass.
enum Destination { NewDocument = 0, Printer = 1 };
enum ViewType { PrintLayoutView = 3 };
enum WindowState { WindowNormal = 0, WindowMaximized = 1, WindowMinimized = 2 };
enum SaveOptions { DoNotSaveChanges = 0 };

class MailMerge {
public:
    // Reads the data file now: its first line gives the field names. A missing or unreadable file fails.
    void openDataSource(const QString& fileName);
    // 0 = a new document (shown when the application is visible), 1 = the printer.
    void setDestination(int destination);
    int destination() const { return m_destination; }
    // Merges every record. To the printer: asks for the printer (one print job for the whole merge; a
    // cancelled dialog fails with 4198). To a new document: adds the result to the application's
    // documents. `pause` is accepted for the callers' sake; nothing here needs to stop for errors.
    void execute(bool pause = true);

private:
    friend class Document;
    explicit MailMerge(Document& document) : m_document(document) {}
    Document& m_document;
    std::shared_ptr<const DataSource> m_data;
    int m_destination = NewDocument;
};

class Document {
public:
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    MailMerge& mailMerge();
    // Brings the document's window to the front when the application is visible.
    void activate();
    // Closes without saving or asking, whatever `saveChanges` says (nothing is ever written back).
    void close(int saveChanges = DoNotSaveChanges);
    void setViewType(int viewType);
    int viewType() const { return m_viewType; }
    void setSaved(bool saved) { m_saved = saved; }
    bool saved() const { return m_saved; }
    bool isOpen() const { return m_open; }
    // "Document1", "Letters1", ...: the window's title.
    QString name() const { return m_name; }
    // What its print jobs are listed as: "Quillmark – " and the template's name (printJobTitle).
    QString jobTitle() const { return m_jobTitle; }

    // What the document shows: for a main document its template with the fields' stored results,
    // for a merge result the merged pages.
    std::shared_ptr<const MergedDocument> content() const;
    int pageCount() const;

private:
    friend class Application;
    friend class Documents;
    friend class MailMerge;
    Document(Application& app, QString name, std::shared_ptr<const Template> tmpl,
             std::shared_ptr<const MergedDocument> merged);
    void requireOpen() const;
    void showWindow();

    Application& m_app;
    QString m_name;
    QString m_jobTitle;
    std::shared_ptr<const Template> m_template;              // set for a document made from a template
    mutable std::shared_ptr<const MergedDocument> m_content; // built on demand for a main document
    std::unique_ptr<MailMerge> m_mailMerge;
    QPointer<PreviewWindow> m_window; // while the application is visible; the user may close it
    int m_viewType = PrintLayoutView;
    bool m_saved = true;
    bool m_open = true;
};

class Documents {
public:
    // Opens `templatePath` (an RTF document, whatever its extension) as a new main document. A missing,
    // unreadable or malformed template fails with a description naming the file. `newTemplate` = true
    // (editing the template itself) is not offered and fails.
    Document& add(const QString& templatePath, bool newTemplate = false);
    // The open documents in the order they were opened; `index` is 1-based.
    Document& item(int index);
    int count() const;

private:
    friend class Application;
    friend class Document;
    friend class MailMerge;
    explicit Documents(Application& app) : m_app(app) {}
    Document& addMerged(std::shared_ptr<const MergedDocument> merged, const QString& baseName,
                        const QString& jobTitle);

    Application& m_app;
    std::vector<std::unique_ptr<Document>> m_all; // closed ones too, so references stay valid
    std::map<QString, int> m_counters;            // per kind of name: Document1, Letters1, ...
};

class Application {
public:
    Application();
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    Documents& documents();
    // Shows (true) or hides (false) a window for every open document.
    void setVisible(bool visible);
    bool visible() const { return m_visible; }
    // 0 normal, 1 maximized, 2 minimized: applied to the document windows.
    void setWindowState(int state);
    int windowState() const { return m_windowState; }
    // Brings the active document's window to the front.
    void activate();
    // Closes every document (and its window) without saving; the application refuses work afterwards.
    void quit(int saveChanges = DoNotSaveChanges);
    bool hasQuit() const { return m_quit; }

    // The document activated last (nullptr when none is open).
    Document* activeDocument() const;

    // How documents().add() reports and bounds the conversion of a Word binary template.
    void setConversionWatch(ConversionWatch watch) { m_conversion = std::move(watch); }

private:
    friend class Document;
    friend class Documents;
    friend class MailMerge;
    void requireRunning() const;

    std::unique_ptr<Documents> m_documents;
    ConversionWatch m_conversion;
    Document* m_active = nullptr;
    int m_windowState = WindowNormal;
    bool m_visible = false;
    bool m_quit = false;
};

} // namespace wordproc
