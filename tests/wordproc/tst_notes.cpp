// Footnotes and endnotes: read from RTF and Word 2007+ templates, merged, and laid out at the foot of the
// page of their reference (footnotes) or after the text (endnotes).
#include "DocxSamples.h"
#include "Samples.h"
#include "Sheets.h"
#include "wordproc/DataSource.h"
#include "wordproc/DocxReader.h"
#include "wordproc/Merge.h"
#include "wordproc/Pages.h"
#include "wordproc/RtfReader.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextLayout>
#include <QtTest>
#include <map>

using namespace wordproc;

namespace {

struct Shown {
    std::shared_ptr<const Template> t;
    PageCopy copy;
};

QByteArray rtf(const QByteArray& body) {
    return "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\froman Liberation Serif;}}\\paperw12240\\paperh15840"
           "\\margl1440\\margr1440\\margt1440\\margb1440\\headery720\\footery720 " +
           body + "}";
}

Shown show(Template t, std::shared_ptr<const DataSource> data = nullptr) {
    Shown s;
    s.t = std::make_shared<const Template>(std::move(t));
    s.copy = Merger(s.t, std::move(data)).next();
    s.copy.body->documentLayout()->documentSize();
    return s;
}

Shown showRtf(const QByteArray& body, std::shared_ptr<const DataSource> data = nullptr) {
    return show(readRtf(rtf(body), "notes.rtf"), std::move(data));
}

// A footnote as Word writes it: the mark, then the note with the mark again.
QByteArray footnote(const QByteArray& text, bool endnote = false) {
    return "{\\super\\chftn}{\\footnote" + QByteArray(endnote ? "\\ftnalt" : "") +
           "\\pard\\plain\\fs20{\\super\\chftn} " + text + "}";
}

// `count` paragraphs of filler text, enough for some pages.
QByteArray filler(int count) {
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += "\\pard\\plain\\fs24 Line " + QByteArray::number(i) + " of the letter.\\par ";
    return out;
}

// The foot of the body's last line on `page`, in document coordinates; 0 when none.
double lastLineFoot(const QTextDocument& doc, int page) {
    const double pageHeight = doc.pageSize().height();
    double foot = 0;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (int i = 0; i < b.layout()->lineCount(); ++i) {
            const QTextLine line = b.layout()->lineAt(i);
            const double top = lineRoomTop(b, i);
            if (pageAt(top, pageHeight) == page && line.height() > 1)
                foot = qMax(foot, top + line.height());
        }
    }
    return foot;
}

double notesHeight(const PageCopy& copy, int page) {
    double h = 0;
    if (size_t(page) < copy.notes.size())
        for (const NoteSlice& s : copy.notes[size_t(page)])
            h += s.to - s.from;
    return h;
}

QString notesText(const PageCopy& copy, int page) {
    QString text;
    if (size_t(page) < copy.notes.size())
        for (const NoteSlice& s : copy.notes[size_t(page)])
            text += s.text->toPlainText();
    return text;
}

QImage sheet(const Shown& s, int page) {
    return sheets::paint(s.copy, page, s.t->page, 144);
}

// Rows of the image (144 dpi) between `top` and `bottom` that hold dark pixels.
std::vector<int> darkRows(const QImage& image, int top, int bottom, int left = 0, int right = -1) {
    std::vector<int> rows;
    if (right < 0)
        right = image.width() - 1;
    for (int y = qMax(0, top); y <= bottom && y < image.height(); ++y)
        for (int x = left; x <= right; ++x)
            if (qGray(image.pixel(x, y)) < 128) {
                rows.push_back(y);
                break;
            }
    return rows;
}

} // namespace

class TestNotes : public QObject {
    Q_OBJECT

private slots:
    void rtfFootnoteKeepsItsTextAndMark() {
        const Template t =
            readRtf(rtf("\\pard Before" + footnote("The note's own text.") + " after.\\par "), "n.rtf");
        QCOMPARE(t.notes.size(), size_t(1));
        QVERIFY(!t.notes[0].endnote);
        const auto& runs = std::get<Paragraph>(t.body.blocks.at(0)).runs;
        QString body;
        int noteRuns = 0;
        for (const Run& r : runs) {
            body += r.text;
            noteRuns += r.kind == Run::Note && r.index == 0;
        }
        QCOMPARE(body, QStringLiteral("Before1 after."));
        QCOMPARE(noteRuns, 1);
        const auto& note = std::get<Paragraph>(t.notes[0].text.blocks.at(0));
        QString text;
        for (const Run& r : note.runs)
            text += r.text;
        QCOMPARE(text, QStringLiteral("1 The note's own text."));
        QCOMPARE(t.formats[size_t(note.runs.front().format)].script, CharFormat::Script::Super);
    }

    void footnotePrintsAtTheFootOfItsPageAboveTheFooter() {
        const QByteArray footer = "{\\footer\\pard\\plain\\fs24 Footer line\\par}";
        const Shown s = showRtf(footer + "\\pard\\plain\\fs24 Opening" + footnote("The first note.") +
                                "\\par " + filler(60));
        const Shown plain = showRtf(footer + "\\pard\\plain\\fs24 Opening\\par " + filler(60));
        QVERIFY(notesText(s.copy, 0).contains(QStringLiteral("The first note.")));
        QVERIFY(notesText(s.copy, 1).isEmpty());
        const double pageHeight = s.copy.body->pageSize().height();
        const double notes = notesHeight(s.copy, 0);
        QVERIFY(notes > twipsToLayout(200));
        // The body of that page ends above the notes and their rule, and higher than without the note.
        const double foot = lastLineFoot(*s.copy.body, 0);
        QVERIFY2(foot <= pageHeight - notes - twipsToLayout(kNoteAreaTwips) + 1,
                 qPrintable(QStringLiteral("%1 %2").arg(foot).arg(pageHeight - notes)));
        QVERIFY(foot < lastLineFoot(*plain.copy.body, 0) - notes / 2);
        // On the sheet: the rule, a quarter of the text's width, then the note's text, then the footer.
        const QImage image = sheet(s, 0);
        const double scale = 144 / kLayoutDpi;
        const int notesTop = qRound((s.copy.bodyTop + pageHeight - notes) * scale);
        const int bodyFoot = qRound((s.copy.bodyTop + pageHeight) * scale);
        const int left = qRound(twipsToLayout(1440) * scale);
        const int quarter = qRound(twipsToLayout((12240 - 2880) / 4) * scale);
        const std::vector<int> rule =
            darkRows(image, notesTop - 20, notesTop - 2, left + 20, left + quarter - 4);
        QVERIFY(!rule.empty());
        QVERIFY(darkRows(image, notesTop - 20, notesTop - 2, left + quarter + 4, image.width() - 1).empty());
        const std::vector<int> text = darkRows(image, notesTop, bodyFoot);
        QVERIFY(!text.empty());
        const std::vector<int> footerRows = darkRows(image, bodyFoot + 1, image.height() - 1);
        QVERIFY(!footerRows.empty());
        QVERIFY(text.back() < footerRows.front());
    }

    // The file's own separator: Word's separator character draws the rule, anything else draws none
    // (nor its text), and a file that gives none keeps the rule.
    void theFilesOwnSeparatorDecidesTheRule() {
        const QByteArray body = "\\pard\\plain\\fs24 Opening" + footnote("The note.") + "\\par ";
        const auto ruleRows = [](const Shown& s) {
            const double pageHeight = s.copy.body->pageSize().height();
            const double scale = 144 / kLayoutDpi;
            const int notesTop = qRound((s.copy.bodyTop + pageHeight - notesHeight(s.copy, 0)) * scale);
            const int left = qRound(twipsToLayout(1440) * scale);
            return darkRows(sheet(s, 0), notesTop - 20, notesTop - 2, left + 20, left + 100);
        };
        const Shown standard = showRtf("{\\*\\ftnsep \\pard\\plain {\\chftnsep \\par}}" + body);
        QVERIFY(standard.t->page.noteRule);
        QVERIFY(!ruleRows(standard).empty());
        const Shown none = showRtf(
            "{\\*\\ftnsep \\pard\\plain \\par}{\\*\\ftnsepc \\pard\\plain {\\chftnsepc \\par}}" + body);
        QVERIFY(!none.t->page.noteRule);
        QVERIFY(ruleRows(none).empty());
        QVERIFY(notesText(none.copy, 0).contains(QStringLiteral("The note.")));
        const Shown words = showRtf("{\\*\\ftnsep \\pard\\plain Notes\\par}" + body);
        QVERIFY(!words.t->page.noteRule);
        QVERIFY(!notesText(words.copy, 0).contains(QStringLiteral("Notes")));
        QVERIFY(!words.copy.body->toPlainText().contains(QStringLiteral("Notes")));
        QVERIFY(showRtf(body).t->page.noteRule);
    }

    void aReferenceThatCannotStayTakesItsNoteToTheNextPage() {
        // The reference stands on the page's last line: with its note that line no longer fits.
        const Shown probe = showRtf(filler(200));
        const QTextDocument& doc = *probe.copy.body;
        int last = 0;
        for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
            if (pageAt(doc.documentLayout()->blockBoundingRect(b).top(), doc.pageSize().height()) == 0)
                last = b.blockNumber();
        const QByteArray before = filler(last);
        const Shown s = showRtf(before + "\\pard\\plain\\fs24 Reference here" + footnote("Moved note.") +
                                "\\par " + filler(10));
        QVERIFY(notesText(s.copy, 0).isEmpty());
        QVERIFY(notesText(s.copy, 1).contains(QStringLiteral("Moved note.")));
        // The page holds one line less than without the note.
        QVERIFY(lastLineFoot(*s.copy.body, 0) < lastLineFoot(*probe.copy.body, 0) - 1);
    }

    // A paragraph that the notes push on to the next page opens that page; the one that opened it only
    // because the page before was full follows it there, leaving no page without text.
    void textPushedOnByNotesLeavesNoEmptyPage() {
        for (int lines = 40; lines < 56; ++lines) {
            const Shown s =
                showRtf("\\pard\\plain\\fs24 Opening" + footnote("The note.") + "\\par " + filler(lines) +
                        "\\pard\\plain\\sa200\\fs24\\par " + "\\pard\\plain\\sa200\\fs24 Closing line\\par ");
            const QTextDocument& doc = *s.copy.body;
            std::vector<bool> written(size_t(doc.pageCount()), false);
            for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
                for (int i = 0; i < b.layout()->lineCount(); ++i) {
                    const QTextLine line = b.layout()->lineAt(i);
                    const int page = pageAt(lineRoomTop(b, i), doc.pageSize().height());
                    if (line.textLength() > 0 && page >= 0 && size_t(page) < written.size())
                        written[size_t(page)] = true;
                }
            }
            QVERIFY2(
                std::find(written.begin(), written.end(), false) == written.end(),
                qPrintable(
                    QStringLiteral("%1 lines: a page of %2 has no text").arg(lines).arg(written.size())));
        }
    }

    void aParagraphRunsOnPastTheNotes() {
        // One long paragraph with a note: its lines stop above the notes and go on on the next page.
        QByteArray words;
        for (int i = 0; i < 700; ++i)
            words += "word" + QByteArray::number(i) + " ";
        const Shown s = showRtf("\\pard\\plain\\fs24 Start" + footnote("Note of the long paragraph.") + " " +
                                words + "\\par ");
        QVERIFY(notesText(s.copy, 0).contains(QStringLiteral("Note of the long paragraph.")));
        const double pageHeight = s.copy.body->pageSize().height();
        QVERIFY(lastLineFoot(*s.copy.body, 0) <=
                pageHeight - notesHeight(s.copy, 0) - twipsToLayout(kNoteAreaTwips) + 1);
        QVERIFY(s.copy.pageCount() >= 2);
        const QString all = s.copy.body->toPlainText();
        QVERIFY(all.contains(QStringLiteral("word0 ")));
        QVERIFY(all.contains(QStringLiteral("word699")));
    }

    // Lines the notes push on leave no paragraph's first or last line alone on a page where widows and
    // orphans are kept off, and take a paragraph kept together whole.
    void linesPushedOnByNotesKeepWidowsAndOrphansOff() {
        QByteArray words;
        for (int i = 0; i < 60; ++i)
            words += "word" + QByteArray::number(i) + " ";
        const QByteArray note = footnote("A note\\par of three\\par lines.");
        for (const QByteArray& keep : {QByteArray("\\widctlpar"), QByteArray("\\keep")}) {
            for (int count = 34; count < 46; ++count) {
                const Shown s = showRtf("\\pard\\plain\\fs24 Opening" + note + "\\par " + filler(count) +
                                        "\\pard\\plain" + keep + "\\fs24 Long " + words + "\\par ");
                const QTextDocument& doc = *s.copy.body;
                const double pageHeight = doc.pageSize().height();
                std::map<int, int> perPage;
                for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
                    if (b.text().contains(QStringLiteral("word")))
                        for (int i = 0; i < b.layout()->lineCount(); ++i)
                            ++perPage[pageAt(lineRoomTop(b, i), pageHeight)];
                QVERIFY(!perPage.empty());
                const QString where = QStringLiteral("%1 lines before, %2").arg(count).arg(QString(keep));
                if (keep == "\\keep")
                    QVERIFY2(perPage.size() == 1, qPrintable(where));
                for (const auto& [page, lines] : perPage)
                    QVERIFY2(lines >= 2,
                             qPrintable(where + QStringLiteral(": one line on page %1").arg(page)));
                // The notes still stand below the text of their page.
                QVERIFY2(lastLineFoot(doc, 0) <=
                             pageHeight - notesHeight(s.copy, 0) - twipsToLayout(kNoteAreaTwips) + 1,
                         qPrintable(where));
            }
        }
    }

    void mergeFieldsInNotesMerge() {
        const auto data =
            DataSource::parse(samples::dataFile({"Cust_Name"}, {{"Ann Smith"}, {"Bo Li"}}), "d.txt");
        const QByteArray field = "{\\field{\\*\\fldinst MERGEFIELD Cust_Name}{\\fldrslt Name}}";
        const QByteArray body = "\\pard Dear you" + footnote("Written for " + field + ".") + "\\par ";
        Shown s;
        s.t = std::make_shared<const Template>(readRtf(rtf(body), "n.rtf"));
        Merger merger(s.t, data);
        s.copy = merger.next();
        QVERIFY(notesText(s.copy, 0).contains(QStringLiteral("Written for Ann Smith.")));
        const PageCopy second = merger.next();
        QVERIFY(notesText(second, 0).contains(QStringLiteral("Written for Bo Li.")));
    }

    void aNoteTallerThanItsPageRunsOnAndKeepsItsText() {
        QByteArray longNote;
        for (int i = 0; i < 120; ++i)
            longNote += "\\par Note line " + QByteArray::number(i);
        const Shown s = showRtf("\\pard\\plain\\fs24 Short body" + footnote("Start" + longNote) + "\\par ");
        QVERIFY(s.copy.pageCount() >= 2);
        // Every line of the note is on one page or the next, in order, once.
        double shown = 0;
        const QTextDocument* text = nullptr;
        double next = 0;
        for (int page = 0; page < s.copy.pageCount(); ++page)
            for (const NoteSlice& slice :
                 size_t(page) < s.copy.notes.size() ? s.copy.notes[size_t(page)] : std::vector<NoteSlice>{}) {
                QVERIFY(!text || text == slice.text.get());
                text = slice.text.get();
                QCOMPARE(slice.from, next);
                next = slice.to;
                shown += slice.to - slice.from;
                QVERIFY(slice.to - slice.from <= s.copy.body->pageSize().height());
            }
        QVERIFY(text);
        QVERIFY(text->toPlainText().contains(QStringLiteral("Note line 119")));
        QVERIFY(std::abs(shown - text->documentLayout()->documentSize().height()) < 1);
        QVERIFY(!notesText(s.copy, 1).isEmpty());
    }

    // Endnotes print after the text on sheets of their own, as LibreOffice prints them: the body's paper,
    // margins of 2 cm, and none of the body's header, footer or columns.
    void endnotesFollowTheTextOnSheetsOfTheirOwn() {
        const QByteArray bands = "{\\header\\pard\\plain\\fs24 Header line\\par}"
                                 "{\\footer\\pard\\plain\\fs24 Footer line\\par}\\cols2 ";
        const Shown s = showRtf(bands + "\\pard\\plain\\fs24 Body" + footnote("The end text.", true) +
                                " and" + footnote("A foot text.") + "\\par ");
        QCOMPARE(s.t->notes.size(), size_t(2));
        QVERIFY(s.t->notes[0].endnote);
        QVERIFY(!s.t->notes[1].endnote);
        QCOMPARE(s.copy.pageCount(), 2);
        QVERIFY(notesText(s.copy, 0).contains(QStringLiteral("A foot text.")));
        QVERIFY(!notesText(s.copy, 0).contains(QStringLiteral("end text")));
        // Word numbers endnotes in small roman numerals unless the file says otherwise.
        QCOMPARE(s.copy.body->toPlainText(), QStringLiteral("Bodyi and1"));
        QVERIFY(s.copy.header && s.copy.footer);
        QCOMPARE(s.copy.parts.size(), size_t(1));
        const PageCopy& notes = s.copy.parts.front();
        QCOMPARE(partOf(s.copy, 1).first, &notes);
        QVERIFY(notes.body->toPlainText().startsWith(QStringLiteral("i The end text.")));
        QVERIFY(!notes.header && !notes.footer && !notes.firstHeader && !notes.evenHeader);
        QCOMPARE(notes.columns, 1);
        QVERIFY(notes.page);
        QCOMPARE(notes.page->widthTwips, 12240);
        QCOMPARE(notes.page->heightTwips, 15840);
        QCOMPARE(notes.page->leftTwips, 1134);
        QCOMPARE(notes.page->rightTwips, 1134);
        QVERIFY(std::abs(notes.bodyTop - twipsToLayout(1134)) < 0.5);
        // On the sheet the note's text starts 2 cm from the top and left edges, under no header.
        const QImage image = sheets::paint(s.copy, 1, s.t->page, 144);
        const double scale = 144 / kLayoutDpi;
        const std::vector<int> rows = darkRows(image, 0, image.height() - 1);
        QVERIFY(!rows.empty());
        QVERIFY(rows.front() >= qRound(twipsToLayout(1134) * scale));
        QVERIFY(rows.front() < qRound(twipsToLayout(1134 + 400) * scale));
        QVERIFY(rows.back() < image.height() / 4);
        int left = image.width();
        for (int y = rows.front(); y <= rows.back(); ++y)
            for (int x = 0; x < left; ++x)
                if (qGray(image.pixel(x, y)) < 128)
                    left = x;
        QVERIFY(std::abs(left - twipsToLayout(1134) * scale) < 6);
    }

    void endnotesOfEverySectionFollowTheLastSection() {
        // Each section starts a sheet on paper of its own: the endnotes take the last one's.
        const Shown s = showRtf("\\pard\\plain\\fs24 First" + footnote("The end text.", true) +
                                "\\par\\sect\\sectd\\sbkpage\\pgwsxn15840\\pghsxn12240\\pard\\plain\\fs24 "
                                "Second" +
                                footnote("The last one.", true) + "\\par ");
        QCOMPARE(s.copy.parts.size(), size_t(2));
        QCOMPARE(s.copy.pageCount(), 3);
        QVERIFY(!s.copy.body->toPlainText().contains(QStringLiteral("The end text.")));
        QVERIFY(s.copy.parts[0].body->toPlainText().startsWith(QStringLiteral("Second")));
        QVERIFY(!s.copy.parts[0].body->toPlainText().contains(QStringLiteral("The last one.")));
        const PageCopy& notes = s.copy.parts[1];
        QCOMPARE(notes.body->toPlainText(), QStringLiteral("i The end text.\nii The last one."));
        QCOMPARE(notes.page->widthTwips, 15840);
        QCOMPARE(notes.firstPage, 3);
    }

    void docxFootnotePrintsAtTheFoot() {
        using namespace docxsamples;
        const QByteArray notes =
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<w:footnotes " + kW +
            "><w:footnote w:type=\"separator\" w:id=\"-1\"><w:p><w:r><w:separator/></w:r></w:p></w:footnote>"
            "<w:footnote w:id=\"1\"><w:p><w:r><w:rPr><w:vertAlign w:val=\"superscript\"/></w:rPr>"
            "<w:footnoteRef/></w:r>" +
            run(" The Word note.") + "</w:p></w:footnote></w:footnotes>";
        const QByteArray body =
            paragraph(run("Text") +
                      "<w:r><w:rPr><w:vertAlign w:val=\"superscript\"/></w:rPr><w:footnoteReference "
                      "w:id=\"1\"/></w:r>" +
                      run(" goes on."));
        const Shown s = show(
            readDocx(zipParts(package(document(body), {{"footnotes", "footnotes.xml", notes}})), "n.docx"));
        QCOMPARE(s.t->notes.size(), size_t(1));
        QCOMPARE(s.copy.body->toPlainText(), QStringLiteral("Text1 goes on."));
        QCOMPARE(notesText(s.copy, 0), QStringLiteral("1 The Word note."));
        QCOMPARE(s.copy.pageCount(), 1);
    }

    // A page with a footnote keeps a paragraph whose lines end up to about five points above the notes'
    // first line (the rule stands between), as LibreOffice does: lines set closer than their letters'
    // height (Word's 1.08 spacing under Carlito's own gap) count by the room they are laid out in.
    void aLineFitsAboveTheNotesByItsOwnRoom() {
        using namespace docxsamples;
        const QByteArray styles =
            "<w:styles " + kW +
            "><w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:ascii=\"Calibri\" w:hAnsi=\"Calibri\"/><w:sz "
            "w:val=\"22\"/></w:rPr></w:rPrDefault><w:pPrDefault><w:pPr><w:spacing w:after=\"160\" "
            "w:line=\"259\" w:lineRule=\"auto\"/></w:pPr></w:pPrDefault></w:docDefaults></w:styles>";
        const QByteArray notes =
            "<w:footnotes " + kW +
            "><w:footnote w:id=\"1\"><w:p><w:pPr><w:spacing w:after=\"0\" w:line=\"240\" "
            "w:lineRule=\"auto\"/></w:pPr><w:r><w:rPr><w:sz w:val=\"20\"/></w:rPr><w:t>The note.</w:t></w:r>"
            "</w:p></w:footnote></w:footnotes>";
        // 27 lines, an empty paragraph, then text: LibreOffice keeps the empty one on the first page with
        // 8pt above the first line, and moves it on with 10pt.
        const auto pageOfEmpty = [&](int before) {
            QByteArray body = paragraph(run("Line 0") + "<w:r><w:footnoteReference w:id=\"1\"/></w:r>",
                                        "<w:spacing w:before=\"" + QByteArray::number(before) + "\"/>");
            for (int i = 1; i < 27; ++i)
                body += paragraph(run("Line " + QByteArray::number(i)));
            body += "<w:p/>" + paragraph(run("After"));
            const Shown s =
                show(readDocx(zipParts(package(document(body), {{"styles", "styles.xml", styles},
                                                                {"footnotes", "footnotes.xml", notes}})),
                              "n.docx"));
            const QTextBlock empty = s.copy.body->find(QStringLiteral("After")).block().previous();
            [&] { QCOMPARE(notesText(s.copy, 0), QStringLiteral("The note.")); }();
            return pageAt(lineRoomTop(empty, 0), s.copy.body->pageSize().height());
        };
        QCOMPARE(pageOfEmpty(160), 0);
        QCOMPARE(pageOfEmpty(200), 1);
    }

    void docxEndnotesAreNumberedAsTheSettingsSay() {
        using namespace docxsamples;
        const auto endnotes = [](const QByteArray& ids) {
            QByteArray out =
                "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<w:endnotes " + kW + ">";
            for (const char id : ids)
                out += "<w:endnote w:id=\"" + QByteArray(1, id) + "\"><w:p><w:r><w:endnoteRef/></w:r>" +
                       run(" End " + QByteArray(1, id) + ".") + "</w:p></w:endnote>";
            return out + "</w:endnotes>";
        };
        const QByteArray body = paragraph(run("A") + "<w:r><w:endnoteReference w:id=\"2\"/></w:r>" +
                                          run(" B") + "<w:r><w:endnoteReference w:id=\"3\"/></w:r>");
        // Word numbers endnotes in small roman numerals by default.
        const Shown roman = show(readDocx(
            zipParts(package(document(body), {{"endnotes", "endnotes.xml", endnotes("23")}})), "e.docx"));
        QCOMPARE(roman.copy.body->toPlainText(), QStringLiteral("Ai Bii"));
        QCOMPARE(roman.copy.parts.at(0).body->toPlainText(), QStringLiteral("i End 2.\nii End 3."));
        QCOMPARE(roman.copy.pageCount(), 2);
        QVERIFY(roman.copy.notes.empty());
        const QByteArray settings =
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<w:settings " + kW +
            "><w:endnotePr><w:numFmt w:val=\"upperLetter\"/><w:numStart "
            "w:val=\"3\"/></w:endnotePr></w:settings>";
        const Shown letters =
            show(readDocx(zipParts(package(document(body), {{"endnotes", "endnotes.xml", endnotes("23")},
                                                            {"settings", "settings.xml", settings}})),
                          "e.docx"));
        QCOMPARE(letters.copy.body->toPlainText(), QStringLiteral("AC BD"));
        QCOMPARE(letters.copy.parts.at(0).body->toPlainText(), QStringLiteral("C End 2.\nD End 3."));
    }
};

QTEST_MAIN(TestNotes)
#include "tst_notes.moc"
