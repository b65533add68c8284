// libFuzzer target for the RTF reader: any bytes are read or refused with a clear failure, never a
// crash, an overflow or a hang, and what is read holds together: every run points at a format, field
// or picture that exists, and every length lies within what paper can hold.
#include "TemplateChecks.h"
#include "errors/Failure.h"
#include "wordproc/RtfReader.h"
#include "wordproc/WordErrors.h"

#include <cstdint>

using namespace wordproc;
using namespace fuzzchecks;

namespace {

// Cell edges run left to right, except where the file itself gives them out of order.
void checkCellOrder(const Table&, const Row& row) {
    int last = 0;
    for (size_t i = 0; i < row.cells.size(); ++i) {
        if (i > 0 && row.cells[i].rightTwips <= last)
            check(row.cells[i].rightTwips == kMaxTwips);
        last = row.cells[i].rightTwips;
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
    checkTemplate(t, checkCellOrder);
    check(t.page.headerTwips > 0 && t.page.headerTwips <= kMaxTwips && t.page.footerTwips > 0 &&
          t.page.footerTwips <= kMaxTwips && t.page.defaultTabTwips > 0 &&
          t.page.defaultTabTwips <= kMaxTwips);
    return 0;
}
