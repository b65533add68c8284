#pragma once

// What both Word readers, RTF (wordproc/Rtf*.cpp) and Word 2007+ (wordproc/Docx*.cpp), hold a file to.

#include "wordproc/Template.h"
#include "wordproc/Twips.h"

namespace wordproc {

// Word's own limits: a row holds at most 63 cells and a paragraph at most 64 tab stops. Beyond them a
// file could make every stored row or paragraph as large as the whole file.
constexpr size_t kMaxCells = 63;
constexpr size_t kMaxTabs = 64;
// Tables inside cells go this deep at most; deeper ones join the deepest.
constexpr int kMaxTableDepth = 8;
// Fields inside fields' codes go this deep at most; deeper ones are left out of the code.
constexpr int kMaxFieldDepth = 32;

// The paper must leave room to write on.
inline void leaveRoomToWrite(PageSetup& pg) {
    pg.widthTwips = clampTwips(pg.widthTwips, 1440, kMaxTwips);
    pg.heightTwips = clampTwips(pg.heightTwips, 1440, kMaxTwips);
    if (qint64(pg.leftTwips) + pg.rightTwips > pg.widthTwips - 720)
        pg.leftTwips = pg.rightTwips = 360;
    if (qint64(pg.topTwips) + pg.bottomTwips > pg.heightTwips - 720)
        pg.topTwips = pg.bottomTwips = 360;
}

} // namespace wordproc
