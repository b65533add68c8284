#pragma once

// Templates and data files shared by the word processor's tests, written the way Word saves them.

#include "errors/Failure.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QStringEncoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextTable>
#include <functional>

namespace samples {

inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// A merge data file as the letters write it: quoted, tab separated, CR LF, Windows-1252.
inline QByteArray dataFile(const QStringList& header, const QList<QStringList>& records) {
    QString text;
    for (const QStringList& fields : QList<QStringList>{header} + records)
        text += QLatin1Char('"') + fields.join(QStringLiteral("\"\t\"")) + QStringLiteral("\"\r\n");
    return QStringEncoder("windows-1252").encode(text);
}

inline const QStringList letterFields{"Cust_Name", "Cust_Street",  "Cust_City",    "Cust_State", "Cust_Zip",
                                      "Dlr_Name",  "Dlr_Addr1",    "Dlr_Addr2",    "Dlr_City",   "Dlr_State",
                                      "Dlr_Zip",   "Contact_Name", "Contact_Phone"};

inline QStringList letterRecord(const QString& name) {
    return {name, "12 MAIN ST",  "SPRINGFIELD", "IL",    "62701",       "Prairie Motors", "400 Route 66",
            "",   "Springfield", "IL",          "62702", "Dana Seller", "555-0100"};
}

// A small PNG as RTF hex, for a letterhead.
inline QByteArray pngHex(int w = 40, int h = 20) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::darkBlue);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png.toHex();
}

inline QByteArray mergeField(const QByteArray& name, const QByteArray& switches = {}) {
    return "{\\field{\\*\\fldinst {\\cf0  MERGEFIELD " + name + " " + switches +
           " }}{\\fldrslt {\\noproof \\'ab" + name + "\\'bb}}}";
}

inline QByteArray rtfHead(const QByteArray& mailMerge = {}) {
    return "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\froman\\fcharset0\\fprq2{\\*\\panose "
           "02020603050405020304}Times New Roman;}{\\f1\\fswiss\\fcharset0 Arial;}}"
           "{\\colortbl;\\red0\\green0\\blue0;\\red192\\green0\\blue0;}{\\*\\generator Microsoft Word 11.0;}"
           "{\\info{\\title Letter}}{\\stylesheet{\\ql \\widctlpar\\f0\\fs24 \\snext0 Normal;}}"
           "\\paperw12240\\paperh15840\\margl1440\\margr1440\\margt1080\\margb1080 \\widowctrl" +
           (mailMerge.isEmpty() ? QByteArray()
                                : "{\\*\\mailmerge " + mailMerge +
                                      "\\mmlinktoquery{\\*\\mmdatasource C:\\\\Data\\\\MergeData.txt}}") +
           "\\sectd \\linex0\\endnhere ";
}

// A one-page letter: letterhead picture, date, address block, salutation, body, signature.
inline QByteArray letterTemplate() {
    return rtfHead("\\mmmaintypeletters") +
           "\\pard\\plain \\qc\\f1\\fs20 {\\*\\shppict{\\pict\\picwgoal2880\\pichgoal720"
           "\\pngblip\n" +
           pngHex() +
           "}}{\\nonshppict{\\pict\\wmetafile8 0000}}\\par \\pard\\plain \\qr\\f0\\fs24 "
           "{\\field{\\*\\fldinst  DATE \\\\@ \"MMMM d, yyyy\" }{\\fldrslt January 1, 2000}}\\par \\pard "
           "\\ql " +
           mergeField("Cust_Name", "\\\\* Caps") + "\\par " + mergeField("Cust_Street") + "\\par " +
           mergeField("Cust_City") + ", " + mergeField("Cust_State") + "  " + mergeField("Cust_Zip") +
           "\\par\\par Dear " + mergeField("Cust_Name", "\\\\* Lower \\\\* Caps") +
           ",\\par \\pard\\qj\\fi720 At {\\b " + mergeField("Dlr_Name") +
           "} we\\rquote d be glad to help \\endash  visit us at\\par " + mergeField("Dlr_Addr1") +
           mergeField("Dlr_Addr2", "\\\\b \", \"") + "\\par " + mergeField("Dlr_City") + ", " +
           mergeField("Dlr_State") + " " + mergeField("Dlr_Zip") + "\\par }";
}

// Three labels across, `rows` down; every cell but the first starts with NEXT.
inline QByteArray labelTemplate(int rows = 3) {
    QByteArray r = rtfHead("\\mmmaintypelabels");
    r.replace("\\margl1440\\margr1440\\margt1080\\margb1080", "\\margl360\\margr360\\margt720\\margb720");
    const QByteArray rowDef = "\\trowd \\trgaph15\\trleft-15\\trrh1440\\cellx3840\\cellx7680\\cellx11520 ";
    for (int cell = 0; cell < rows * 3; ++cell) {
        r += (cell % 3 ? "" : rowDef) + "\\pard\\plain \\intbl\\f1\\fs20 " +
             (cell ? "{\\field{\\*\\fldinst { NEXT }}{\\fldrslt }}" : "") + mergeField("Cust_Name") +
             "\\par " + mergeField("Cust_Street") + "\\par " + mergeField("Cust_City") + ", " +
             mergeField("Cust_State") + " " + mergeField("Cust_Zip") + "\\cell ";
        if (cell % 3 == 2)
            r += "\\pard\\plain \\intbl {" + rowDef + "\\row }";
    }
    return r + "\\pard \\par }";
}

inline qint32 failureNumber(const std::function<void()>& f, QString* description = nullptr) {
    try {
        f();
    } catch (const Failure& failure) {
        if (description)
            *description = failure.description();
        return failure.number();
    }
    return 0;
}

// The cells' texts of a document's first table, row by row, paragraphs joined by '|'.
inline QStringList cellTexts(QTextDocument& doc) {
    QStringList out;
    QTextTable* table = nullptr;
    for (QTextBlock b = doc.begin(); b.isValid() && !table; b = b.next())
        table = QTextCursor(b).currentTable();
    for (int i = 0; table && i < table->rows() * table->columns(); ++i) {
        const QTextTableCell cell = table->cellAt(i / table->columns(), i % table->columns());
        QTextCursor c = cell.firstCursorPosition();
        c.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
        out << c.selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('|'));
    }
    return out;
}

} // namespace samples
