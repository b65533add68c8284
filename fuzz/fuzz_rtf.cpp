// libFuzzer target for the RTF reader: any bytes are read or refused with a clear failure, never a
// crash, an overflow or a hang, and what is read holds together: every run points at a format, field
// or picture that exists, and every length lies within what paper can hold.
#include "errors/Failure.h"
#include "wordproc/RtfReader.h"
#include "wordproc/Twips.h"
#include "wordproc/WordErrors.h"

#include <cstdint>
#include <cstdlib>

using namespace wordproc;

namespace {

void check(bool ok) {
    if (!ok)
        std::abort();
}

bool inRange(int twips) {
    return twips >= -kMaxTwips && twips <= kMaxTwips;
}

void checkRuns(const Template& t, const std::vector<Run>& runs) {
    for (const Run& r : runs) {
        check(r.format >= 0 && size_t(r.format) < t.formats.size());
        if (r.kind == Run::Field)
            check(r.index >= 0 && size_t(r.index) < t.fields.size());
        if (r.kind == Run::Picture)
            check(r.index >= 0 && size_t(r.index) < t.pictures.size());
    }
}

void checkParagraph(const Template& t, const Paragraph& p) {
    checkRuns(t, p.runs);
    const ParaFormat& f = p.format;
    check(inRange(f.leftTwips) && inRange(f.rightTwips) && inRange(f.firstTwips) && inRange(f.lineTwips));
    check(f.beforeTwips >= 0 && f.beforeTwips <= kMaxTwips && f.afterTwips >= 0 && f.afterTwips <= kMaxTwips);
    check(f.tabs.size() <= 64);
    for (const TabStop& tab : f.tabs)
        check(inRange(tab.twips));
}

void checkStory(const Template& t, const Story& s) {
    for (const Block& b : s.blocks) {
        if (const Paragraph* p = std::get_if<Paragraph>(&b)) {
            checkParagraph(t, *p);
            continue;
        }
        for (const Row& row : std::get<Table>(b).rows) {
            check(!row.cells.empty() && row.cells.size() <= 63);
            check(inRange(row.leftTwips) && inRange(row.heightTwips) && row.gapTwips >= 0 &&
                  row.gapTwips <= kMaxTwips);
            int last = 0;
            for (size_t i = 0; i < row.cells.size(); ++i) {
                // Cell edges run left to right, except where the file itself gives them out of order.
                check(inRange(row.cells[i].rightTwips));
                if (i > 0 && row.cells[i].rightTwips <= last)
                    check(row.cells[i].rightTwips == kMaxTwips);
                last = row.cells[i].rightTwips;
                for (const Paragraph& p : row.cells[i].paragraphs)
                    checkParagraph(t, p);
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray rtf(reinterpret_cast<const char*>(data), qsizetype(size));
    Template t;
    try {
        t = readRtf(rtf, QStringLiteral("fuzz.dot"));
    } catch (const Failure& failure) {
        check(failure.number() == errors::UnreadableDocument && failure.description().contains("fuzz.dot"));
        return 0;
    }
    const PageSetup& pg = t.page;
    check(pg.widthTwips >= 1440 && pg.widthTwips <= kMaxTwips && pg.heightTwips >= 1440 &&
          pg.heightTwips <= kMaxTwips);
    check(pg.leftTwips >= 0 && pg.rightTwips >= 0 && pg.leftTwips + pg.rightTwips <= pg.widthTwips - 720);
    check(pg.topTwips >= 0 && pg.bottomTwips >= 0 && pg.topTwips + pg.bottomTwips <= pg.heightTwips - 720);
    check(pg.headerTwips > 0 && pg.headerTwips <= kMaxTwips && pg.footerTwips > 0 &&
          pg.footerTwips <= kMaxTwips && pg.defaultTabTwips > 0 && pg.defaultTabTwips <= kMaxTwips);
    check(!t.formats.empty());
    for (const Field& f : t.fields)
        checkRuns(t, f.result);
    for (const Picture& p : t.pictures)
        check(p.widthTwips >= 1 && p.widthTwips <= kMaxTwips && p.heightTwips >= 1 &&
              p.heightTwips <= kMaxTwips);
    checkStory(t, t.body);
    for (const Story* s :
         {&t.header, &t.footer, &t.firstHeader, &t.firstFooter, &t.evenHeader, &t.evenFooter})
        checkStory(t, *s);
    for (const Story& s : t.textBoxes)
        checkStory(t, s);
    int sectionStart = 0;
    for (const Section& section : t.sections) {
        check(section.firstBlock >= sectionStart && size_t(section.firstBlock) <= t.body.blocks.size());
        sectionStart = section.firstBlock;
        for (const Story* s : {&section.header, &section.footer, &section.firstHeader, &section.firstFooter,
                               &section.evenHeader, &section.evenFooter})
            checkStory(t, *s);
    }
    return 0;
}
