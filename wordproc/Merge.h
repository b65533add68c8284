#pragma once

#include "errors/Failure.h"
#include "wordproc/DataSource.h"
#include "wordproc/Pages.h"
#include "wordproc/Template.h"

#include <QDateTime>
#include <QTextBlock>
#include <QTextFormat>
#include <map>
#include <memory>
#include <optional>
#include <tuple>
#include <unordered_map>

namespace wordproc {

// Fills a template with the records of a data source, one PageCopy at a time, so that a long merge to
// the printer never holds more than the pages of one letter (or one label sheet).
//
// Letters and labels: each copy of the body starts on a new sheet with the next unused record; a NEXT
// field moves to the following record within the copy (labels: the next cell). When the records run
// out at a NEXT, the rest of that copy stays blank (the cells and paragraphs remain, their text does
// not). Catalog: the body repeats once per record without page breaks; a title belongs in the page
// header, which each copy fills from its first record. Qt cannot lay out one document of more than
// some 12,900 pages, so a catalog comes in copies of about a thousand pages each, split where a
// record starts a page when one does; a single copy too long for Qt fails with
// errors::DocumentTooLong rather than print wrong.
class Merger {
public:
    // Checks every merge field against the data source: a field it lacks fails with
    // errors::MergeFieldMissing. Without a data source the template is shown as it stands: every
    // field shows its stored result.
    Merger(std::shared_ptr<const Template> tmpl, std::shared_ptr<const DataSource> data);
    ~Merger();

    bool atEnd() const;
    PageCopy next();
    // Every remaining copy, for a merge to a new document.
    std::shared_ptr<MergedDocument> all(const QString& name);

    // The moment DATE fields show; the moment of construction unless set.
    void setNow(const QDateTime& now) { m_now = now; }

private:
    struct Cursor;
    class Builder;
    struct LayoutCheck {
        int pages = 0;
        bool holds = false; // laid out without running past what Qt's layout can measure
    };
    // A catalog's pieces end at a record boundary after about this many pages; Qt's layout measures
    // safely up to kMaxLayoutPixels, some 12,900 letter pages.
    static constexpr int kMaxPiecePages = 1000;
    static constexpr double kMaxLayoutPixels = 32'000'000;
    // Lines set closer than their fonts' height let a block's rectangle reach over the next one's top by
    // a part of a line; wrapped positions jump by far more.
    static constexpr double kMaxOverlap = kLayoutDpi;
    static constexpr double kPageTopSlack = 4; // layout pixels: a border's width above a record's text

    // A section that starts a new sheet, with the sections that run on after it: laid out as a body of
    // its own, on its own paper and below its own headers.
    struct BodyPart {
        Story body;         // its blocks, the first without the break before it
        int firstBlock = 0; // where they start in the template's body
        int section = -1;   // the template's section it starts with; -1: the opening one
        int endSection = 0; // the template's sections before this one are in this part or earlier
        const PageSetup* page = nullptr;
    };

    void buildCopy(PageCopy& copy, Cursor& cursor);
    double layBand(PageCopy& copy, const PageSetup& page, const Story& story,
                   std::unique_ptr<QTextDocument>& out, bool header, int first);
    // A template whose sections start new sheets: each part laid out after the other into `copy`.
    void buildParts(PageCopy& copy, Cursor& cursor);
    void buildPart(PageCopy& out, const BodyPart& part, int record, Cursor& cursor);
    void splitParts();
    // Once a body's text is in: its rows' heights, floating pictures and page tops, on pages `height`
    // tall.
    void settle(Builder& body, PageCopy& copy, double height);
    // The endnotes `refs` (note and record) as a part of their own after the others, on a sheet of the
    // last part's paper without its headers, footers or columns.
    void buildEndnotes(PageCopy& copy, const std::vector<std::pair<int, int>>& refs);
    // Sections that run on in more columns than their page's text: each set in a table of its own.
    void setSectionColumns();
    // How tall the blocks from `first` to `last` set `width` twips wide on pages `height` twips tall,
    // each in twips, and how far down its page the last ends.
    struct Measured {
        std::vector<qint64> heights;
        qint64 end = 0;
    };
    Measured measure(const std::vector<Block>& blocks, int first, int last, int width, int height);
    static LayoutCheck checkLayout(QTextDocument& doc);
    // The record that starts the next piece, or -1 when the piece may go on.
    int pieceEnd(QTextDocument& doc, const std::vector<std::pair<int, int>>& starts);
    Failure tooLong() const;
    // The pages of the catalog's pieces after the current one.
    int countRemainingPages();
    // The image of picture `index`; a metafile drawn at `pixels` (layout pixels), once for the whole merge.
    QImage pictureImage(int index, QSizeF pixels);
    // That image framed with `room` twips round it (see framedPicture()), also once for the whole merge:
    // every letter then shows the same image, which a PDF holds once.
    QImage framedPictureImage(int index, QSizeF pixels, const QMargins& room);
    // The paper, margins and columns of the body being laid out: its section's own, or the template's.
    const PageSetup& page() const { return m_page ? *m_page : m_t->page; }

    std::shared_ptr<const Template> m_t;
    std::shared_ptr<const DataSource> m_data;
    std::vector<int> m_columns; // per template field: its data column
    std::vector<QTextCharFormat> m_charFormats;
    std::unordered_map<const Paragraph*, QTextBlockFormat> m_blockFormats;
    // The formats of a block's text, each once, with the characters past basic Latin that each is
    // written in, sorted and each once: where no face lends a character and no line is measured, they
    // alone set the lines' heights.
    struct TextFaces {
        std::vector<QTextCharFormat> formats;
        std::vector<QString> wide;
        bool operator==(const TextFaces&) const = default;
    };
    static TextFaces textFaces(const QTextBlock& block);
    // A paragraph's block format before and after its lines' heights were set, with the text that set
    // them: the next letter that gives the paragraph text of the same faces takes it as it stands.
    struct LineHeightsSeen {
        QTextBlockFormat before, after;
        TextFaces faces;
        std::optional<bool> oneLine; // where the heights took it: whether the text fit on one line
    };
    std::unordered_map<const Paragraph*, LineHeightsSeen> m_lineHeights;
    QDateTime m_now;
    int m_record = 0;
    bool m_done = false;
    int m_pagesBefore = 0;  // pages of the catalog's pieces already given out
    int m_catalogPages = 0; // all of the catalog's pages, once counted
    std::map<std::tuple<int, int, int>, QImage> m_drawnMetafiles; // by picture, width and height
    // By picture, width and height, and the room's left, top, right and bottom.
    std::map<std::tuple<int, int, int, int, int, int, int>, QImage> m_framedPictures;
    std::vector<BodyPart> m_parts;     // none when the body is laid out as one
    const PageSetup* m_page = nullptr; // the paper of the part being laid out; null: the template's
    // The endnotes referred to in the parts before the last, as note and record: they follow the text
    // of the last part.
    std::vector<std::pair<int, int>> m_earlierEndnotes;
};

// The case switches of a merge field, applied in order: Upper, Lower, Caps (first letter of each
// word), FirstCap (first letter of the text).
QString applyCaseSwitches(QString value, const QStringList& switches);

// A date picture as the DATE field's \@ switch gives it: M MM MMM MMMM, d dd ddd dddd, yy yyyy,
// h hh H HH, m mm, s ss, AM/PM, am/pm, 'literal text', \c for the character c; English names.
QString formatDatePicture(const QDateTime& when, const QString& picture);

} // namespace wordproc
