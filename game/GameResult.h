#pragma once
// The result of a game as a value: from why a game ended, the side to move,
// the colours and the kind of game to what the program writes, shows,
// scores and stores. GameResult has no state and no effects; EndGame
// applies what it returns, step by step.
//
// What must stay true:
//  - a game that ends with a result scores 100/0, 0/100 or 50/50; an
//    abandoned one (and only it) has no result;
//  - the ratings shown change only where the announcement says a rating
//    changes: an engine game moves the engine's rating alone (and only an
//    engine whose rating follows its results), a replay none;
//  - the stored rating that follows a game is the user's after a network
//    game it played, the built-in engine's after a game against it, none
//    otherwise.

#include "Players.h"

#include <QString>

// Connection role; the chat writes it, the game reads it.
enum class TRole { Server = 0, Client = 1, Observer = 2, Offline = 3 };
// Kind of game, as the views and the chat name it.
enum class TGameMode { Network = 0, VsComputer = 1, LocalTwoPlayers = 2, Replay = 3 };
// The user's colour in the current or last game.
enum class TColour { White = 0, Black = 1, None = 2 };
// Whose turn it is; None when no game is in progress.
enum class TTurn { None = 0, White = 1, Black = 2 };
// Why a game ends.
enum class TEndReason {
    BoardDraw = 0,           // a draw reported by the board
    DrawAgreed = 1,          // a draw offer accepted
    Repetition = 2,          // threefold repetition
    NoMatingMaterial = 3,    // neither side can mate
    StaleMate = 4,           // stalemate
    OwnResignation = 5,      // the user resigned
    OpponentResignation = 6, // the opponent resigned
    Mate = 7,                // checkmate
    Time = 8,                // the side to move ran out of time
    ObservedEnd = 9,         // the host announced the end of the observed game
    Abandoned = 10,          // abandoned silently: no result
    EngineFailure = 11       // the engine opponent cannot go on: it loses
};
// Who plays the two sides: the user against an engine, the user at one
// board with both sides, the user against a network opponent, two remote
// players followed by this observer, a game replayed from a file.
enum class TMatchKind { Engine, OneBoard, Network, Observed, Replay };

// The stored rating a game's result changes.
enum class TStoredRating { None, User, Computer };

// Everything the result depends on.
struct TEndFacts {
    TEndReason Reason = TEndReason::Abandoned;
    TMatchKind Kind = TMatchKind::OneBoard;
    // The user's colour; None when the user plays neither side.
    TColour MyColour = TColour::None;
    // The side to move when the game ended: the loser of a mate or a
    // time-out, the resigner at one board.
    bool WhiteToMove = true;
    TPlayer White; // ratings before the game
    TPlayer Black;
    QString UserNick;
    QString OpponentName; // the engine's name in an engine game
    bool EngineKeepsRating = true;
    QString EngineFailure;  // why the engine could not go on
    QString AnnouncedPanel; // an observed game's end as its host sent it
    QString AnnouncedResult;
};

struct TGameResult {
    bool Ends = false; // false: abandoned, nothing of the rest applies
    QString ResultText;
    QString PanelText;
    int WhiteScore = 0; // percent
    int BlackScore = 0;
    bool WhiteRatingChanges = false; // the ratings shown beside the board
    bool BlackRatingChanges = false;
    int NewWhiteElo = 0; // the ratings after the game (the old ones where they stay)
    int NewBlackElo = 0;
    TStoredRating Stored = TStoredRating::None;
    int StoredElo = 0; // the new value of the stored rating, when there is one
    bool RecordComment = false; // " {panel}" follows the result in the record
    bool Cowardice = false;     // the "cobarde2" cue of a resignation
    // The end as the user is told of it, with the rating change that counts.
    QString Announcement;
};

TGameResult GameResult(const TEndFacts& facts);

// The kind of game as the views and the chat name it.
TGameMode ModeOf(TMatchKind kind);
