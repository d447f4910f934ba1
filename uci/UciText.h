#pragma once
// The text of the UCI protocol, both ways: what a GUI says to an engine
// (uci, isready, setoption, position, go, stop, ...) and what an engine says
// back (id, uciok, readyok, option, info, bestmove), each parsed from one
// line into a plain value and formatted from one. zugaret-uci reads the
// first kind and writes the second; a GUI driving another engine, or a
// benchmark, does the opposite with the same functions.
//
// What must stay true:
//  - parsing takes one line of bytes from anywhere (a pipe, a hostile
//    engine) and never fails hard: an unknown line is Unknown, a known one
//    with a bad field is Malformed with a short reason; numbers are range
//    checked, lists bounded (UciMaxListItems), texts cut at UciMaxText bytes;
//  - leading unknown words are skipped, as the protocol asks, and unknown
//    words inside a "go" or an "info" are passed over;
//  - formatting what was parsed gives a line that parses to the same value
//    (moves in long algebraic form, "e2e4", "e7e8q", "0000" for none).

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <optional>

// ---- moves ----
// Whether the text is a move in long algebraic form: two squares and an
// optional promotion letter (q, r, b, n), or the null move "0000".
bool IsUciMoveText(QByteArrayView text);
// Engine squares (0 = a8 ... 63 = h1) of a move text; the promotion letter
// or '\0'. False when the text is no move.
bool SplitUciMove(QByteArrayView text, int* from, int* to, char* promotion);
// The move text of engine squares and a promotion letter ('\0' none).
QByteArray UciMoveText(int from, int to, char promotion = '\0');

constexpr int UciMaxListItems = 2048; // moves of a position, of a PV, option vars
constexpr int UciMaxText = 1024;      // a name, a value, an info string

// ---- what a GUI says ----
// The search limits of a "go"; empty (or 0 for counts) where not given.
struct TUciGo {
    std::optional<qint64> wtime, btime; // milliseconds left; may be negative (flag fell)
    qint64 winc = 0, binc = 0;
    int movestogo = 0;
    int depth = 0;
    qint64 nodes = 0;
    int mate = 0;
    std::optional<qint64> movetime;
    bool infinite = false;
    bool ponder = false;
    QList<QByteArray> searchmoves;

    bool HasClock(bool whiteToMove) const { return (whiteToMove ? wtime : btime).has_value(); }
    bool operator==(const TUciGo&) const = default;
};

enum class TUciCommandKind {
    Empty,
    Unknown,
    Malformed,
    Uci,
    Debug,
    IsReady,
    SetOption,
    Register,
    UciNewGame,
    Position,
    Go,
    Stop,
    PonderHit,
    Quit,
};

struct TUciCommand {
    TUciCommandKind kind = TUciCommandKind::Empty;
    QByteArray error;  // Malformed: what is wrong
    bool flag = false; // Debug: on
    QByteArray fen;    // Position: empty for startpos
    QList<QByteArray> moves;
    TUciGo go;
    QByteArray name; // SetOption
    QByteArray value;
    bool hasValue = false;
};

TUciCommand ParseUciCommand(QByteArrayView line);
// "position startpos|fen F [moves ...]".
QByteArray FormatUciPosition(const QByteArray& fen, const QList<QByteArray>& moves);
QByteArray FormatUciGo(const TUciGo& go);
QByteArray FormatUciSetOption(const QByteArray& name, const QByteArray& value);

// ---- what an engine says ----
enum class TUciBound { Exact, Lower, Upper };

struct TUciInfo {
    int depth = -1;
    int seldepth = -1;
    qint64 time = -1;
    qint64 nodes = -1;
    qint64 nps = -1;
    bool hasScore = false;
    bool mate = false; // score is moves to mate (negative: being mated), else centipawns
    int score = 0;
    TUciBound bound = TUciBound::Exact;
    int multipv = 0;
    QByteArray currmove;
    int currmovenumber = 0;
    int hashfull = -1;
    QList<QByteArray> pv;
    QByteArray string; // the rest of the line after "string"

    bool operator==(const TUciInfo&) const = default;
};

enum class TUciOptionType { Check, Spin, Combo, Button, String };

struct TUciOption {
    QByteArray name;
    TUciOptionType type = TUciOptionType::String;
    QByteArray defaultValue; // "true"/"false" for a check, the number of a spin
    qint64 min = 0, max = 0;
    QList<QByteArray> vars;

    bool operator==(const TUciOption&) const = default;
};

enum class TUciReplyKind {
    Empty,
    Unknown,
    Malformed,
    Id,
    UciOk,
    ReadyOk,
    BestMove,
    CopyProtection,
    Registration,
    Info,
    Option,
};

struct TUciReply {
    TUciReplyKind kind = TUciReplyKind::Empty;
    QByteArray error;   // Malformed
    QByteArray idField; // Id: "name" or "author"
    QByteArray text;    // Id: its value; CopyProtection/Registration: the word after
    QByteArray bestMove;
    QByteArray ponderMove;
    TUciInfo info;
    TUciOption option;
};

TUciReply ParseUciReply(QByteArrayView line);
QByteArray FormatUciInfo(const TUciInfo& info);
QByteArray FormatUciOption(const TUciOption& option);
QByteArray FormatUciBestMove(const QByteArray& move, const QByteArray& ponder = {});
// "info string TEXT" with TEXT made safe: one line, printable, at most 200 bytes.
QByteArray FormatUciInfoString(QByteArrayView text);
