#pragma once

// Templates and data files shared by the word processor's tests, written the way common word
// processors save them.

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QStringEncoder>
#include <QStringList>

namespace samples {

inline QByteArray ansi(const QString& text) {
    QStringEncoder encoder("windows-1252");
    return encoder.encode(text);
}

inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

// A merge data file as the letters write it: header, one line per record, quoted, CR LF.
inline QByteArray dataFile(const QStringList& header, const QList<QStringList>& records) {
    QString text;
    const auto line = [&](const QStringList& fields) {
        QStringList quoted;
        for (const QString& f : fields)
            quoted << QLatin1Char('"') + f + QLatin1Char('"');
        text += quoted.join(QLatin1Char('\t')) + QStringLiteral("\r\n");
    };
    line(header);
    for (const QStringList& r : records)
        line(r);
    return ansi(text);
}

inline const QStringList& letterFields() {
    static const QStringList fields{"Cust_Name", "Cust_Street",  "Cust_City",    "Cust_State", "Cust_Zip",
                                    "Dlr_Name",  "Dlr_Addr1",    "Dlr_Addr2",    "Dlr_City",   "Dlr_State",
                                    "Dlr_Zip",   "Contact_Name", "Contact_Phone"};
    return fields;
}

inline QStringList letterRecord(const QString& name, const QString& street = QStringLiteral("12 MAIN ST")) {
    return {name, street,        "SPRINGFIELD", "IL",    "62701",       "Prairie Motors", "400 Route 66",
            "",   "Springfield", "IL",          "62702", "Dana Seller", "555-0100"};
}

// A small PNG as RTF hex, for a letterhead.
inline QByteArray pngHex(int w = 40, int h = 20) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::darkBlue);
    QPainter p(&image);
    p.fillRect(0, 0, w / 2, h, Qt::red);
    p.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png.toHex();
}

inline QByteArray mergeField(const QByteArray& name, const QByteArray& switches = {},
                             const QByteArray& result = {}) {
    const QByteArray shown = result.isEmpty() ? "\\'ab" + name + "\\'bb" : result;
    return "{\\field{\\*\\fldinst {\\cf0  MERGEFIELD " + name + (switches.isEmpty() ? "" : " " + switches) +
           " }}{\\fldrslt {\\noproof " + shown + "}}}";
}

inline QByteArray rtfHead(const QByteArray& mailMerge = {}) {
    return "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033"
           "{\\fonttbl{\\f0\\froman\\fcharset0\\fprq2{\\*\\panose 02020603050405020304}Times New Roman;}"
           "{\\f1\\fswiss\\fcharset0\\fprq2 Arial;}{\\f2\\fbidi \\froman\\fcharset2\\fprq2 Symbol;}}"
           "{\\colortbl;\\red0\\green0\\blue0;\\red192\\green0\\blue0;}"
           "{\\*\\generator Microsoft Word 11.0.8173;}{\\info{\\title Letter}{\\author Sales}}"
           "{\\stylesheet{\\ql \\li0\\ri0\\widctlpar\\f0\\fs24 \\snext0 Normal;}}"
           "\\paperw12240\\paperh15840\\margl1440\\margr1440\\margt1080\\margb1080 "
           "\\widowctrl\\ftnbj\\aenddoc\\noxlattoyen" +
           (mailMerge.isEmpty() ? QByteArray()
                                : "{\\*\\mailmerge " + mailMerge +
                                      "\\mmlinktoquery\\mmdatatypefile"
                                      "{\\*\\mmdatasource C:\\\\Data\\\\MergeData.txt}}") +
           "\\sectd \\linex0\\endnhere\\sectlinegrid360 ";
}

// A one-page letter: letterhead picture, date, address block, salutation, body, signature.
inline QByteArray letterTemplate() {
    QByteArray r = rtfHead("\\mmmaintypeletters");
    r += "\\pard\\plain \\qc\\sa120 \\f1\\fs20 {\\*\\shppict{\\pict{\\*\\picprop}\\picscalex100\\picscaley100"
         "\\picw40\\pich20\\picwgoal2880\\pichgoal720\\pngblip\n" +
         pngHex() + "}}{\\nonshppict{\\pict\\wmetafile8 0000}}\\par ";
    r += "\\pard\\plain \\qr\\sa240 \\f0\\fs24 {\\field{\\*\\fldinst  DATE \\\\@ \"MMMM d, yyyy\" }"
         "{\\fldrslt January 1, 2000}}\\par ";
    r += "\\pard \\ql " + mergeField("Cust_Name", "\\\\* Caps") + "\\par ";
    r += mergeField("Cust_Street") + "\\par ";
    r += mergeField("Cust_City") + ", " + mergeField("Cust_State") + "  " + mergeField("Cust_Zip") +
         "\\par\\par ";
    r += "Dear " + mergeField("Cust_Name", "\\\\* Lower \\\\* Caps") + ",\\par\\par ";
    r += "\\pard\\qj\\fi720\\sa120 Congratulations on your fresh start! At {\\b " + mergeField("Dlr_Name") +
         "} we help people rebuild their credit with a reliable car. Call me at " +
         mergeField("Contact_Phone") + " \\endash  I\\rquote d be glad to help.\\par ";
    r += "\\pard\\ql\\sb240 Sincerely,\\par\\pard\\ql \\par\\par " + mergeField("Contact_Name") + "\\par " +
         mergeField("Dlr_Name") + "\\par " + mergeField("Dlr_Addr1") +
         mergeField("Dlr_Addr2", "\\\\b \", \"") + "\\par " + mergeField("Dlr_City") + ", " +
         mergeField("Dlr_State") + " " + mergeField("Dlr_Zip") + "\\par }";
    return r;
}

// Three labels across, three rows down on a letter sheet; every cell but the first starts with NEXT.
inline QByteArray labelTemplate(int rows = 3) {
    QByteArray r = rtfHead("\\mmmaintypelabels");
    const QByteArray rowDef = "\\trowd \\trgaph15\\trleft-15\\trrh1440\\cellx3840\\cellx7680\\cellx11520 ";
    r.replace("\\margl1440\\margr1440\\margt1080\\margb1080", "\\margl360\\margr360\\margt720\\margb720");
    for (int row = 0; row < rows; ++row) {
        r += rowDef;
        for (int col = 0; col < 3; ++col) {
            r += "\\pard\\plain \\intbl\\f1\\fs20 ";
            if (row > 0 || col > 0)
                r += "{\\field{\\*\\fldinst { NEXT }}{\\fldrslt }}";
            r += mergeField("Cust_Name") + "\\par " + mergeField("Cust_Street") + "\\par " +
                 mergeField("Cust_City") + ", " + mergeField("Cust_State") + " " + mergeField("Cust_Zip") +
                 "\\cell ";
        }
        r += "\\pard\\plain \\intbl {" + rowDef + "\\row }";
    }
    r += "\\pard \\par }";
    return r;
}

// A call list: title in the page header, one line per record with the phone at a right tab.
inline QByteArray callListTemplate() {
    QByteArray r = rtfHead("\\mmmaintypecatalog");
    r += "{\\header \\pard\\plain \\qc\\sa240 \\f1\\fs28\\b Call List\\par }";
    r += "\\pard\\plain \\tqr\\tx9360 \\f0\\fs24 " + mergeField("Cust_Name") + ", " +
         mergeField("Cust_City") + " " + mergeField("Cust_State") + "\\tab " + mergeField("Cust_Phone") +
         "\\par }";
    return r;
}

} // namespace samples
