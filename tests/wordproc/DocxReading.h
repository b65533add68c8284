// Reading Word 2007+ packages built in a test, and the text of what was read.
#pragma once

#include "DocxSamples.h"
#include "wordproc/DocxReader.h"
#include "wordproc/Template.h"

#include <QStringList>

namespace docxsamples {

inline wordproc::Template read(const Parts& parts, const QString& name = QStringLiteral("t.dotx")) {
    return wordproc::readDocx(zipParts(parts), name);
}

inline wordproc::Template readBody(const QByteArray& body, const std::vector<Related>& related = {}) {
    return read(package(document(body), related));
}

// A story's text: paragraphs on lines, tabs as \t, fields as their stored result.
inline QString runsText(const wordproc::Template& t, const std::vector<wordproc::Run>& runs) {
    QString out;
    for (const wordproc::Run& r : runs) {
        if (r.kind == wordproc::Run::Text)
            out += r.text;
        else if (r.kind == wordproc::Run::Tab)
            out += QLatin1Char('\t');
        else if (r.kind == wordproc::Run::LineBreak)
            out += QLatin1Char('/');
        else if (r.kind == wordproc::Run::Field)
            out += runsText(t, t.fields[size_t(r.index)].result);
    }
    return out;
}

inline QStringList paragraphs(const wordproc::Template& t, const wordproc::Story& s) {
    QStringList out;
    for (const wordproc::Block& b : s.blocks)
        if (const wordproc::Paragraph* p = std::get_if<wordproc::Paragraph>(&b))
            out << runsText(t, p->runs);
    return out;
}

inline const wordproc::Paragraph& firstParagraph(const wordproc::Story& s) {
    return std::get<wordproc::Paragraph>(s.blocks.front());
}

inline QByteArray& partNamed(Parts& parts, const QByteArray& name) {
    for (auto& [n, data] : parts)
        if (n == name)
            return data;
    parts.emplace_back(name, QByteArray());
    return parts.back().second;
}

} // namespace docxsamples
