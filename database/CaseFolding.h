#pragma once

#include <QString>

struct sqlite3;

namespace db {

// Text comparison that ignores letter case for every letter the lead database can hold: the texts come
// from Windows-1252 files and entries, so besides A-Z the Latin-1 letters, Œ/œ, Š/š, Ž/ž and Ÿ/ÿ. It
// takes the place of the engine's own NOCASE collation (which folds A-Z only) and of like(), on one
// connection, so every text column declared COLLATE NOCASE, every "=", ORDER BY and LIKE uses it.
//
// Equal means equal apart from letter case ("MÜLLER" = "müller", but "müller" <> "muller"). The order
// puts an accented letter beside its plain letter, so that "Ökonomou" sorts between "Okafor" and
// "Olsen", not after "Z"; texts that differ only in accents put the plain letter first.
//
// Indexes that an earlier build ordered with the engine's NOCASE are rebuilt once per database file;
// the database's user_version records that it was done, so a later open writes nothing.
//
// Returns an empty text when the connection is ready, else the database's reason.
QString useCaseFolding(sqlite3* handle);

} // namespace db
