#pragma once
// Games in standard PGN, the notation every chess program reads: reading the
// movetext of a game written by another program (SAN moves, move numbers,
// "..." continuations, {...} and ; comments, NAGs, !/? marks, (...) variations,
// % escape lines, results), and writing a game in export form.
//
// What must stay true:
//  - reading never fails on the text itself: what is no move (comments,
//    variations, annotations, numbers) is kept beside the move it follows,
//    and everything after the result marker is left alone; only replaying the
//    moves can fail, naming the move and why;
//  - comments, variations and NAGs read are written back after the same
//    move (";" comments and "!?" marks in their "{...}" and "$n" forms);
//  - a written game has the Seven Tag Roster first (Event, Site, Date, Round,
//    White, Black, Result), its other tags after them, moves in SAN with move
//    numbers, lines under 80 characters and the result at the end; the Result
//    tag and the result at the end agree.

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

class TReplayBoard;

using TPgnTags = QList<std::pair<QString, QString>>;

// The value of a tag; empty when the game has none.
QString PgnTag(const TPgnTags& tags, const QString& name);
// Replaces the first tag of that name, or appends one.
void SetPgnTag(TPgnTags& tags, const QString& name, const QString& value);

// What stands between two moves of the main line: "{comment}", "$n" and
// "(variation)" units as written out. Entry 0 comes before the first move,
// entry k after move k; there is always one more entry than moves.
using TPgnAnnotations = QList<QStringList>;

// A game's lines as read: its tags and the move tokens of the main line.
struct TPgnMovetext {
    TPgnTags Tags;
    QStringList Moves;   // as written, move numbers taken off ("Nf3", "exd6!?")
    QString Termination; // the result marker ending the movetext; empty when none
    TPgnAnnotations Annotations;
};
TPgnMovetext ReadPgnMovetext(const QStringList& lines);

// A game in standard notation, ready to be written.
struct TStandardGame {
    TPgnTags Tags;
    QStringList Sans;
    QString Result = QStringLiteral("*"); // "1-0", "0-1", "1/2-1/2" or "*"
    QString StartFen;                     // empty for the initial position
    TPgnAnnotations Annotations;          // empty, or one more entry than Sans
};

// Plays the moves of movetext on board (from its FEN tag, if any); on
// success game holds the tags and the moves in SAN, replayMoves their replay
// form ("E2E4", "E7E8Q"). On failure the reason names the move.
bool ReplayPgnMovetext(const TPgnMovetext& movetext, TReplayBoard& board, TStandardGame* game,
                       QStringList* replayMoves, QString* error);

// The game in PGN export form: tag lines, an empty line, the movetext, an
// empty line. The move numbers follow the start position.
QStringList WriteStandardPgn(const TStandardGame& game);
