#include "letters/MergeData.h"

#include "database/Database.h"
#include "database/DbErrors.h"
#include "database/IdTable.h"
#include "errors/Failure.h"
#include "files/Files.h"

#include <QStringList>

namespace letters {

namespace {
const QStringList kMergeHeader = {
    QStringLiteral("Cust_Name"),    QStringLiteral("Cust_Street"), QStringLiteral("Cust_City"),
    QStringLiteral("Cust_State"),   QStringLiteral("Cust_Zip"),    QStringLiteral("Dlr_Name"),
    QStringLiteral("Dlr_Addr1"),    QStringLiteral("Dlr_Addr2"),   QStringLiteral("Dlr_City"),
    QStringLiteral("Dlr_State"),    QStringLiteral("Dlr_Zip"),     QStringLiteral("Contact_Name"),
    QStringLiteral("Contact_Phone")};

const QStringList kCallHeader = {QStringLiteral("Cust_Name"), QStringLiteral("Cust_City"),
                                 QStringLiteral("Cust_State"), QStringLiteral("Cust_Phone")};

const QStringList kPreviewRecord = {QStringLiteral("Customer Name"),  QStringLiteral("Customer Address"),
                                    QStringLiteral("Customer City"),  QStringLiteral("XX"),
                                    QStringLiteral("00000"),          QStringLiteral("Dealer Name"),
                                    QStringLiteral("Dealer Address"), QString(),
                                    QStringLiteral("Dealer City"),    QStringLiteral("XX"),
                                    QStringLiteral("00000"),          QStringLiteral("Contact Name"),
                                    QStringLiteral("Contact Phone")};

// Values go out exactly as stored: a quote, TAB or line break inside a value is written unchanged.
QString line(const QStringList& values) {
    QString out;
    for (int i = 0; i < values.size(); ++i) {
        out += QLatin1Char('"') + values[i] + QLatin1Char('"');
        if (i + 1 < values.size())
            out += QLatin1Char('\t');
    }
    return out;
}

QString recordLine(const db::Recordset& rs, int fields) {
    QStringList values;
    values.reserve(fields);
    for (int i = 0; i < fields; ++i) {
        const QVariant v = rs.value(i);
        values << (v.isNull() ? QString() : v.toString());
    }
    return line(values);
}
} // namespace

void writePreviewData(files::TextWriter& out) {
    out.writeLine(line(kMergeHeader));
    out.writeLine(line(kPreviewRecord));
}

namespace {
const QString kPrintNames = QStringLiteral("PrintNames");
// The selected names joined in list order.
const QString kSelectedNames = QStringLiteral("temp.PrintNames JOIN [Names] ON [Names].ID = PrintNames.ID");
const QString kListOrder = QStringLiteral(" ORDER BY PrintNames.Position");
} // namespace

int writeCallListData(db::Connection& connection, files::TextWriter& out, const std::vector<qint32>& ids) {
    out.writeLine(line(kCallHeader));
    const db::IdTable selected(connection, kPrintNames, ids);
    db::Recordset rs;
    rs.open(QStringLiteral("SELECT Name, City, State, Phone FROM ") + kSelectedNames +
                QStringLiteral(" WHERE Phone <> ''") + kListOrder,
            connection, db::adOpenForwardOnly, db::adLockReadOnly, db::adCmdText);
    int records = 0;
    for (; !rs.eof(); rs.moveNext(), ++records)
        out.writeLine(recordLine(rs, 4));
    rs.close();
    return records;
}

void writePrintData(db::Connection& connection, files::TextWriter& out, const std::vector<qint32>& ids,
                    qint32 contactId, qint32 dealerId) {
    out.writeLine(line(kMergeHeader));
    const db::IdTable selected(connection, kPrintNames, ids);
    const QString sql =
        QStringLiteral("SELECT [Names].Name, [Names].Street, [Names].City, [Names].State, [Names].Zip, "
                       "Dlr_Info.Name, Dlr_Info.Addr1, Dlr_Info.Addr2, Dlr_Info.City, Dlr_Info.State, "
                       "Dlr_Info.Zip, Contact_Info.Name, Contact_Info.Phone FROM ") +
        kSelectedNames +
        QStringLiteral(", Dlr_Info, Contact_Info WHERE Contact_Info.ID = ? AND Dlr_Info.ID = ?") + kListOrder;
    db::Recordset rs;
    rs.open(sql, {contactId, dealerId}, connection, db::adOpenForwardOnly, db::adLockReadOnly);
    if (rs.eof())
        throw Failure(DbErrors::NoCurrentRecord,
                      QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. "
                                     "Requested operation requires a current record."));
    for (; !rs.eof(); rs.moveNext())
        out.writeLine(recordLine(rs, 13));
    rs.close();
}

void updatePrintedStatus(db::Connection& connection, const std::vector<qint32>& ids) {
    const db::IdTable printed(connection, kPrintNames, ids);
    // SET reads the values from before the statement: a name not printed becomes printed, a printed
    // one followed.
    connection.execute(QStringLiteral("UPDATE [Names] SET Followed = CASE WHEN Printed THEN -1 ELSE "
                                      "Followed END, Printed = -1 WHERE ID IN ") +
                       printed.subquery());
}

} // namespace letters
