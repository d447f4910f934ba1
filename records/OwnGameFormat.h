#pragma once
// The program's own game files and the Kibraq files it opens.
//
// A game record is held as lines ("1.Pe2e4 Pe7e5", "2.Ng1f3+", "3.Pe7e8=Q",
// "O-O", "++" for mate, the result and a "{...}" comment at the end), written
// move by move by the game controller. The own file is those lines behind a
// short header; the PGN database is a file of such blocks, one per finished
// game. Reading turns lines back into what the record window replays: the
// moves in replay form ("E2E4", "E7E8Q", as ApplyRemoteMove takes them), the
// players and the result.
//
// What must stay true:
//  - the own reader reads every move line the controller writes, castling with
//    check or mate ("O-O+", "O-O-O++") and promotions with check included, so
//    a saved game always replays; lines go into the record unchanged;
//  - a record that was opened from a file (its first line holds "[Event") is
//    saved without a second header;
//  - readers take any lines: nothing read is out of range; a token that gives
//    no move is skipped; a file without lines is reported, not opened.

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

// What the writers need to know of a game besides its record lines.
struct TRecordHeader {
    QString WhiteNick;
    int WhiteElo = 0; // ratings after the game
    QString BlackNick;
    int BlackElo = 0;
    // "1-0", "0-1" or "1/2-1/2"; "*" for a game still in progress.
    QString ResultText;
    QDate Date; // the day the game is saved
};

// A game read from a file, as the record window opens it.
struct TOpenedGame {
    QStringList Lines;       // the record the window shows (and saves again)
    QStringList ReplayMoves; // "E2E4", "E7E8Q", one per half-move
    // Nicks found in the file; a nick not found keeps the window's one.
    std::optional<QString> White, Black;
    QString Result;   // result written in the file, empty when none
    QString Date;     // date text written in the file, empty when none
    int WhiteElo = 0; // ratings found in the file, 0 when none
    int BlackElo = 0;
    // The position the moves start from, as FEN; empty for the initial position.
    QString StartFen;
    QString Error; // why the game could not be opened; empty when it was

    bool Opened() const { return Error.isEmpty(); }
};

// Lines of an own game file (what bGuardar saves): the header, unless the
// record's first line contains "[Event", then the record lines.
QStringList OwnGameFileLines(const TRecordHeader& header, const QStringList& record);
// One block of the PGN database: header, record lines, two empty lines.
QStringList PgnDatabaseBlock(const TRecordHeader& header, const QStringList& record);

// The own reader: the lines of a game in the program's own form (leading
// blank lines dropped). Every line goes into Lines; move lines "n.<white>
// <black>" give the moves; [White "..."] and [Black "..."] the nicks.
TOpenedGame ReadOwnGame(const QStringList& lines);

// The moves of one own move line (appended to moves); false when the line is
// no move line ("n." with a number of one to three digits first).
bool OwnMoveLineMoves(const QString& line, QStringList* moves);

// A Kibraq ".icg" game. The memo gets a header with today's date; lines
// shorter than five characters after the header are skipped.
TOpenedGame ReadKibraqGame(const QStringList& lines, const QDate& today);

// The rating of a "{ Blancas:nick Elo:1215 }" or "{ Negras:... }" line;
// nullopt when the line is not of that colour or holds no rating.
std::optional<int> CommentElo(const QString& line, bool white);
