#pragma once

#include <QString>
#include <QVariantList>
#include <QtGlobal>
#include <utility>

struct sqlite3;
struct sqlite3_stmt;

// The one way the database layer prepares SQLite statements, and the failures it raises.
//
// Statement owns a prepared sqlite3_stmt and finalizes it when it goes out of scope, whichever way the
// scope is left: a failure raised half-way through reading a table's columns or running a script leaves
// no prepared statement behind on the connection (a statement left there would keep a read open and
// hold up every later commit). It moves but never copies, so exactly one owner finalizes it.
//
// Failures are raised as Failure (errors/Failure.h) with a number of database/DbErrors.h: a statement
// SQLite cannot prepare (syntax, unknown table or column) is the statement's fault, StatementRejected;
// anything that fails while a statement runs is the engine's, EngineFailure, with SQLite's message.
namespace db {

[[noreturn]] void raise(qint32 number, const QString& description);
QString engineMessage(sqlite3* handle);
[[noreturn]] void raisePrepareFailure(sqlite3* handle, int resultCode);
[[noreturn]] void raiseEngineFailure(sqlite3* handle);

// Binds `values` to the parameters (?) of `statement`, in order: text as text, whole numbers as
// integers, yes/no as -1/0 and dates as "YYYY-MM-DD HH:MM:SS" as they are stored, Null as Null. A count that
// does not match the statement's parameters is the statement's fault (StatementRejected).
void bindParameters(sqlite3_stmt* statement, const QVariantList& values);

class Statement {
public:
    Statement() = default;
    ~Statement() { finalize(); }
    Statement(Statement&& other) noexcept : m_statement(std::exchange(other.m_statement, nullptr)) {}
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Prepares one statement; raises when SQLite refuses it.
    static Statement prepare(sqlite3* handle, const QString& sql);
    // Prepares the first statement of the UTF-8 text [begin, end) and sets *next to the text after it.
    // Blanks or a comment give an empty Statement.
    static Statement prepareFirst(sqlite3* handle, const char* begin, const char* end, const char** next);

    sqlite3_stmt* get() const { return m_statement; }
    explicit operator bool() const { return m_statement != nullptr; }

    // One step: true on a row, false when done. A failure resets the statement (ending its read)
    // before it is raised.
    bool step();
    // Steps to the end, passing over any rows; raises as step() does.
    void runToEnd();
    // Ends a read early and makes the statement ready to run again; bindings stay.
    void reset();
    void finalize();

private:
    explicit Statement(sqlite3_stmt* statement) : m_statement(statement) {}
    sqlite3_stmt* m_statement = nullptr;
};

} // namespace db
