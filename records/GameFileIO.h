#pragma once
// Game files on disk: reading a file the user opens, saving the record in the
// program's own format, and appending finished games to the user's PGN
// database (PgnFolder + Nick + ".pgn").
//
// What must stay true:
//  - the database never loses a game: a finished game is appended to the end
//    of the file, earlier bytes are never rewritten, and a save that fails
//    half-way is cut back to the old end, so every earlier game stays as it
//    was; a failure is reported with the system's error text; the database
//    is never read whole to add a game to it;
//  - a saved game file is written beside the old one, flushed, checked and
//    renamed over it (ReplaceFileContents), so a failed save leaves the old
//    file whole;
//  - nothing here asks the user anything: failures and the size warning are
//    returned for the caller to show.

#include "OwnGameFormat.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// Files larger than this are not opened (no game file comes near it).
inline constexpr qint64 MaxGameFileBytes = 256LL * 1024 * 1024;
// Lines above which the database warns that it is getting too big.
inline constexpr qsizetype PgnDatabaseWarnLines = 5000;

// Reads a whole game file; false and why (with the system's error text) when
// it cannot be read.
bool ReadGameFileBytes(const QString& path, QByteArray* bytes, QString* error);

// Writes lines (each followed by CR LF, Latin-1) to path through a new file
// renamed over the old one; false and why when it cannot.
bool SaveRecordLines(const QString& path, const QStringList& lines, QString* error);

// Saves the record as an own game file (bGuardar): OwnGameFileLines.
bool SaveOwnGameFile(const QString& path, const TRecordHeader& header, const QStringList& record,
                     QString* error);

// The database file of a nick: pgnFolder + nick + ".pgn", with the characters
// a file name cannot hold (/ \ : * ? " < > | and control characters) turned
// into "_", so that no nick leads outside the folder.
QString PgnDatabaseFile(const QString& pgnFolder, const QString& nick);

// The outcome of one auto-save.
struct TDatabaseSave {
    bool Saved = false;
    QString FileName;
    QString Error;   // why nothing was saved; empty when saved
    QString Warning; // the too-big message when the file passed 5000 lines
    // Lines of the file after the save; those before it are counted only
    // until they pass PgnDatabaseWarnLines.
    qsizetype LineCount = 0;
};

// Appends the game's block (PgnDatabaseBlock) to the nick's database,
// creating pgnFolder (one level) when it is missing.
TDatabaseSave AppendToPgnDatabase(const QString& pgnFolder, const QString& nick,
                                  const TRecordHeader& header, const QStringList& record);
