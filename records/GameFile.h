#pragma once
// TGameFile: the games of one file the record window opens, whatever its kind:
// an own game file, the PGN database (many own games), a Kibraq ".icg" file,
// or standard PGN from another program (one game or many). The file is cut
// into games with an index (White – Black, result, date) so the window can
// let the user pick one; each game is read with the reader of its kind.
//
// A game is in the program's own form when its first move line is in long
// form ("1.Pe2e4", "1.e2e4"): it is read exactly as the own reader reads it.
// Any other game (SAN moves, a FEN tag) is read as standard PGN, its moves
// checked against the rules.
//
// What must stay true:
//  - building the index does not read moves, so it is fast for big files;
//  - the file is kept as its bytes and each game as where it lies in them:
//    the memory it takes is the file's size plus its index, and a game's
//    lines exist only while it is read, runs of blank lines in it kept to
//    two, at most MostGameLines of them (a longer game is refused);
//  - games appear in file order; a new game starts at a tag line that
//    follows the moves or comments of the previous one (not inside a {...}
//    comment); a file with one game is one game;
//  - reading a game that fails leaves nothing half read: the result carries
//    the reason and no moves.

#include "OwnGameFormat.h"
#include "StandardPgn.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

class TReplayBoard;

enum class TGameKind { Own, Standard, Kibraq };

// One game of a file, as the picker lists it.
struct TGameIndexEntry {
    qsizetype FirstByte = 0; // where the game lies in the file's bytes
    qsizetype ByteCount = 0;
    TGameKind Kind = TGameKind::Own;
    QString White, Black; // empty when the file does not say
    QString Result;       // "1-0", "0-1", "1/2-1/2" or "*"
    QString Date;         // as written in the file; empty when none

    // "White – Black, result, date", "?" for what is unknown.
    QString Text() const;
};

class TGameFile {
public:
    // Lines of one game, blank runs cut to two, beyond which it is refused.
    static constexpr qsizetype MostGameLines = 100000;

    // Cuts the bytes into games; a Kibraq file (fileName ends in ".icg",
    // any case) is one game.
    static TGameFile FromBytes(const QByteArray& bytes, const QString& fileName);
    static TGameFile FromLines(const QStringList& lines, bool kibraq = false);

    qsizetype Count() const { return index_.size(); }
    const QList<TGameIndexEntry>& Index() const { return index_; }
    // The game the picker starts on: the last one (the newest in the
    // database); -1 when the file holds none.
    qsizetype Preselected() const { return index_.size() - 1; }
    // The game's lines (at most MostGameLines + 1 of them).
    QStringList GameLines(qsizetype game) const;

    // The game as the record window opens it. today is the date the Kibraq
    // reader writes in the record's header.
    TOpenedGame Read(qsizetype game, const QDate& today = QDate::currentDate()) const;

    // The game in standard notation, replayed on board: a standard game keeps
    // its tags; an own or Kibraq game gets the Seven Tag Roster from what the
    // file says (its date as YYYY.MM.DD, "????.??.??" when unreadable) and
    // the ratings of its comment lines. False and why when a move cannot be
    // played.
    bool ToStandard(qsizetype game, TReplayBoard& board, TStandardGame* out, QString* error) const;

private:
    void BuildIndex();
    void IndexGame(qsizetype from, qsizetype to);
    // The game's lines, or false and why when it has too many.
    bool TakeLines(qsizetype game, QStringList* lines, QString* error) const;

    QByteArray bytes_;
    bool kibraq_ = false;
    bool utf8_ = false; // the bytes are UTF-8, else Latin-1
    QList<TGameIndexEntry> index_;
};

// The record of the game being played (lines as the controller writes them)
// in standard notation, with the header's players, ratings, date and result.
// A record opened from a file (its first line holds "[Event", or it is in
// standard notation) is converted as that file's game.
bool StandardGameOfRecord(const TRecordHeader& header, const QStringList& record,
                          TReplayBoard& board, TStandardGame* out, QString* error);
