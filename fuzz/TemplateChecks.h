#pragma once

// What every reader's template must hold together, whatever bytes it was read from: each run points at
// a format, field, picture or floating object that exists, and every length lies within what paper can
// hold. A broken promise aborts, which the fuzzer reports with its input.
#include "wordproc/ReaderLimits.h"
#include "wordproc/Template.h"
#include "wordproc/Twips.h"

#include <cstdlib>

namespace fuzzchecks {

using namespace wordproc;

inline void check(bool ok) {
    if (!ok)
        std::abort();
}

inline bool inRange(int twips) {
    return twips >= -kMaxTwips && twips <= kMaxTwips;
}

inline void checkRuns(const Template& t, const std::vector<Run>& runs) {
    for (const Run& r : runs) {
        check(r.format >= 0 && size_t(r.format) < t.formats.size());
        if (r.kind == Run::Field)
            check(r.index >= 0 && size_t(r.index) < t.fields.size());
        if (r.kind == Run::Picture)
            check(r.index >= 0 && size_t(r.index) < t.pictures.size());
        if (r.kind == Run::Floating)
            check(r.index >= 0 && size_t(r.index) < t.floats.size());
    }
}

inline void checkParagraph(const Template& t, const Paragraph& p) {
    checkRuns(t, p.runs);
    const ParaFormat& f = p.format;
    check(inRange(f.leftTwips) && inRange(f.rightTwips) && inRange(f.firstTwips) && inRange(f.lineTwips));
    check(f.beforeTwips >= 0 && f.beforeTwips <= kMaxTwips && f.afterTwips >= 0 && f.afterTwips <= kMaxTwips);
    check(f.tabs.size() <= 65);
    for (const TabStop& tab : f.tabs)
        check(inRange(tab.twips));
}

// `rowCheck` adds what one reader promises beyond the rest about a table's rows. Tables inside cells
// go no deeper than the readers' limit.
template <typename RowCheck>
void checkTable(const Template& t, const Table& table, RowCheck rowCheck, int depth = 0) {
    check(depth <= kMaxTableDepth);
    for (const Row& row : table.rows) {
        check(!row.cells.empty() && row.cells.size() <= 63);
        check(inRange(row.leftTwips) && inRange(row.heightTwips) && row.gapTwips >= 0 &&
              row.gapTwips <= kMaxTwips);
        rowCheck(table, row);
        for (const Cell& c : row.cells) {
            check(inRange(c.rightTwips));
            for (const Paragraph& p : c.paragraphs)
                checkParagraph(t, p);
            for (const NestedTable& n : c.tables)
                checkTable(t, n.table, rowCheck, depth + 1);
        }
    }
}

template <typename RowCheck> void checkStory(const Template& t, const Story& s, RowCheck rowCheck) {
    for (const Block& b : s.blocks) {
        if (const Paragraph* p = std::get_if<Paragraph>(&b))
            checkParagraph(t, *p);
        else
            checkTable(t, std::get<Table>(b), rowCheck);
    }
}

// The page, the formats, fields and pictures, and every story the template has.
template <typename RowCheck> void checkTemplate(const Template& t, RowCheck rowCheck) {
    const PageSetup& pg = t.page;
    check(pg.widthTwips >= 1440 && pg.widthTwips <= kMaxTwips && pg.heightTwips >= 1440 &&
          pg.heightTwips <= kMaxTwips);
    check(pg.leftTwips >= 0 && pg.rightTwips >= 0 && pg.leftTwips + pg.rightTwips <= pg.widthTwips - 720);
    check(pg.topTwips >= 0 && pg.bottomTwips >= 0 && pg.topTwips + pg.bottomTwips <= pg.heightTwips - 720);
    check(!t.formats.empty());
    for (size_t i = 0; i < t.fields.size(); ++i) {
        const Field& f = t.fields[i];
        checkRuns(t, f.result);
        checkRuns(t, f.code);
        // The merge follows a code's nested fields back through the list only, never round in a ring.
        for (const Run& r : f.code)
            check(r.kind != Run::Field || size_t(r.index) < i);
    }
    for (const Picture& p : t.pictures)
        check(p.widthTwips >= 1 && p.widthTwips <= kMaxTwips && p.heightTwips >= 1 &&
              p.heightTwips <= kMaxTwips);
    for (const Story* s :
         {&t.body, &t.header, &t.footer, &t.firstHeader, &t.firstFooter, &t.evenHeader, &t.evenFooter})
        checkStory(t, *s, rowCheck);
    for (const Story& s : t.textBoxes)
        checkStory(t, s, rowCheck);
    int sectionStart = 0;
    for (const Section& section : t.sections) {
        check(section.firstBlock >= sectionStart && size_t(section.firstBlock) <= t.body.blocks.size());
        sectionStart = section.firstBlock;
        for (const Story* s : {&section.header, &section.footer, &section.firstHeader, &section.firstFooter,
                               &section.evenHeader, &section.evenFooter})
            checkStory(t, *s, rowCheck);
    }
}

} // namespace fuzzchecks
