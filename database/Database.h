#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVariant>
#include <QVariantList>
#include <memory>

struct sqlite3;

// The pieces of this layer, each in its own file of database/:
//   Database.h        the interface below
//   Connection.cpp    opening (and refusing) a database file, transactions, running statements
//   Recordset.cpp     opening a recordset: its statement, its fields, the table it may change
//   RecordsetRows.cpp reading and moving through rows; RecordsetSave.cpp saving changed and new rows
//   ColumnValues.h    values between QVariant and the columns; DateText.h date texts and stored dates
//   JetDialect.h      adaptSql, quoting, keywords; Statement.h prepared statements and their failures
//   DbErrors.h        every failure number; CaseFolding.h the letter-case rules of comparisons
// The lead database: an SQLCipher file reached through a small connection/recordset layer shaped like
// the data-access objects the program's procedures were written against. Table and column names and
// the SQL texts stay as the procedures write them; this layer adapts what SQLite needs (TOP n, DELETE *),
// converts date texts, stores yes/no as -1/0, enforces column sizes, and raises every failure as a
// Failure (errors/Failure.h) with one of the numbers of database/DbErrors.h.
//
// Values are QVariant: a Null column is a null QVariant (isNull()); text is QString; auto numbers and
// integers are int; date/time columns are QDateTime; yes/no columns are bool.
namespace db {

class ConnectionPrivate;
class RecordsetPrivate;
class TableInsertPrivate;

enum CursorTypeEnum { adOpenForwardOnly = 0, adOpenStatic = 3 };
enum LockTypeEnum { adLockReadOnly = 1, adLockOptimistic = 3 };
enum CommandTypeEnum { adCmdText = 1, adCmdTableDirect = 512 };
enum ObjectStateEnum { adStateClosed = 0, adStateOpen = 1 };

// Embedded single quotes doubled, for values spliced between single quotes into SQL text.
QString quoted(const QString& value);

// The dialect adaptation applied to every SQL text before SQLite sees it.
QString adaptSql(const QString& jetSql);

// Date texts as the database accepts them: M/D/YY, M/D/YYYY and YYYY-MM-DD (an optional time
// H:MM[:SS] may follow). Two-digit years 00-29 are 2000-2029, 30-99 are 1930-1999. Returns an invalid
// QDateTime for anything else.
QDateTime parseDateText(const QString& text);

class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // "Provider=...; Data Source=<file>; Jet OLEDB:Database Password=<password>". Never creates the
    // file: a missing file, a wrong password or a file that is no database fails, and the file is left
    // as it was.
    void open(const QString& connectionString, const QString& userId = {}, const QString& password = {});
    void close();
    int state() const; // adStateOpen or adStateClosed

    // Runs SQL text that returns no rows.
    void execute(const QString& sql);
    // Runs one statement with ? marks, `parameters` their values in order (see bindParameters in
    // database/Statement.h).
    void execute(const QString& sql, const QVariantList& parameters);

    // Groups the following saves; used by the import to save a file's rows together. The outermost
    // level holds the database's write lock from its start (another connection waits for it, then
    // fails with "database is locked"). A failed commit ends the transaction, undone. A transaction
    // that SQLite has undone by itself after a failure counts as ended.
    void beginTrans();
    void commitTrans();
    void rollbackTrans();
    bool inTransaction() const;

    sqlite3* handle() const;

private:
    friend class Recordset; // opens its statements on the connection and is closed with it
    friend class TableInsert;
    void syncTransaction() const;
    std::unique_ptr<ConnectionPrivate> d;
};

class Recordset {
public:
    Recordset();
    ~Recordset(); // closes
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    // `source` is SQL text (adCmdText) or a table name (adCmdTableDirect: the whole table in stored
    // order). A recordset opened with adLockOptimistic can change and add rows of a table opened whole or
    // of the one table that its SQL text reads. Forward-only cursors stream rows as they are read; static
    // cursors read all rows. SQL text is run on opening; a table opened whole is read only when a row is.
    void open(const QString& source, Connection& connection, CursorTypeEnum cursor, LockTypeEnum lock,
              CommandTypeEnum options);
    // The same for SQL text with ? marks, `parameters` their values in order (see bindParameters in
    // database/Statement.h): values go to the database as they are, never spliced into the text.
    void open(const QString& sql, const QVariantList& parameters, Connection& connection,
              CursorTypeEnum cursor, LockTypeEnum lock);
    void close();
    int state() const;

    // Reading a field at the end fails with NoCurrentRecord, as does moving past the end.
    bool eof() const;
    bool bof() const;
    // Leaving a row with changes pending saves them first (a failed save raises and stays on the row).
    void moveNext();
    // Static cursors go back to the first row. A forward-only cursor cannot go back: on its first row
    // this is no move at all, after moving on it fails with NotSupported. An empty result fails with
    // NoCurrentRecord.
    void moveFirst();
    // Number of records; -1 for a forward-only cursor, as the original data-access layer reports.
    int recordCount() const;

    int fieldCount() const;
    QString fieldName(int index) const;
    QVariant value(const QString& field) const; // field names compare without regard to case
    QVariant value(int index) const;
    bool isNull(const QString& field) const { return value(field).isNull(); }

    // Changes a field of the current (or new) row; checked and converted when the row is saved.
    void setValue(const QString& field, const QVariant& value);

    void addNew(); // begins a new row
    // Saves the new or changed current row at once; afterwards an added row is the current row and reads
    // back its auto number. A refused row raises and stays pending (cancelUpdate abandons it).
    void update();
    void cancelUpdate();  // abandons the pending new row or changes
    void updateBatch();   // saves every pending change
    bool editing() const; // a new row or changes are pending

private:
    void openWith(const QString& source, const QVariantList* parameters, Connection& connection,
                  CursorTypeEnum cursor, LockTypeEnum lock, CommandTypeEnum options);
    std::unique_ptr<RecordsetPrivate> d;
};

// New rows of one table through one prepared INSERT, its values bound by position: what a recordset
// opened on the whole table does for each added row, without looking fields up by name or holding the
// values as QVariants. Each value is checked and converted for its column as a recordset's save does,
// column by column in the order given, with the same failures; a refused row saves nothing.
class TableInsert {
public:
    // `columns` of `table`, in the order their values are checked. Fails as a recordset's open does for
    // an unknown table, and with ItemNotFound for an unknown column.
    TableInsert(Connection& connection, const QString& table, const QStringList& columns);
    ~TableInsert();
    TableInsert(const TableInsert&) = delete;
    TableInsert& operator=(const TableInsert&) = delete;

    // Values of the next row, by position in `columns`. A row starts with every value Null. A text is
    // not copied: it must stay as it is until insert() has returned.
    void setNull(int column);
    void setInteger(int column, qint64 value);
    void setText(int column, QStringView text);

    // Saves the row and returns its row number; a refused value raises. Either way the next row starts
    // again with every value Null.
    qint64 insert();

private:
    std::unique_ptr<TableInsertPrivate> d;
};

} // namespace db
