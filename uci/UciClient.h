#pragma once
// TUciClient: the GUI's side of one conversation with an external UCI engine
// run as a child process. Everything is asynchronous: the process's output is
// read as it arrives on the event loop, deadlines are timers, and nothing
// here ever waits (no waitFor*, no nested event loop), so it may run on the
// GUI thread.
//
// The conversation: "uci" and the engine's id and option lines up to
// "uciok"; the options asked for ("setoption", only those the engine
// offers), "isready" up to "readyok"; then for each move "position …" and
// "go …" up to "bestmove". A "go" asked for before the handshake is over
// waits for it; "ucinewgame" is sent (with its own "isready") before the
// next "go" after NewGame.
//
// What must stay true:
//  - Failed is raised at most once, with a Spanish reason, and then the
//    process is gone (killed if it was still there); nothing else is raised
//    afterwards. It is raised when the program cannot be started, when the
//    process ends or crashes while not asked to quit, when the handshake is
//    not over within HandshakeMs, when a move is not answered within its
//    deadline (the engine's clock, or the movetime, plus MarginMs), when a
//    line is longer than MaxLineBytes or more than MaxLinesPerMove lines
//    come between two moves asked for (or before the first), and when a
//    bestmove is malformed or not a legal move in the position asked about;
//  - BestMove is raised only for the last Go not cancelled, with a move
//    that is legal in its position (checked on the engine rules of
//    TUciPosition); a bestmove that answers a cancelled Go is dropped;
//  - what the engine writes is parsed with ParseUciReply and bounded: at
//    most MaxOptions options are kept, texts as that parser cuts them;
//  - the engine's standard error is discarded, never read into memory.

#include "UciText.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QProcess;
class QTimer;
class TUciPosition;

// How an engine's strength can be limited, as its options say.
struct TUciStrength {
    enum class TKind { None, Elo, Skill };
    TKind Kind = TKind::None;
    int Min = 0;
    int Max = 0;

    bool operator==(const TUciStrength&) const = default;
    // "UCI_LimitStrength" (check) with "UCI_Elo" (spin) when both are
    // offered, else "Skill Level" (spin), else none.
    static TUciStrength Of(const QList<TUciOption>& options);
    // That kind of limit alone (None when the engine does not offer it).
    static TUciStrength OfKind(const QList<TUciOption>& options, TKind kind);
    // The setoption lines that put the engine at value (kept within Min..Max).
    QList<QByteArray> Commands(int value) const;
};

class TUciClient : public QObject {
    Q_OBJECT
public:
    struct TLimits {
        int HandshakeMs = 10000;
        int MarginMs = 5000;
        int NoClockMoveMs = 60000; // a go without clock nor movetime
        int QuitMs = 2000;         // after "quit", the process is killed
        int MaxLineBytes = 4096;
        int MaxLinesPerMove = 20000;
        int MaxOptions = 256;
    };

    explicit TUciClient(QObject* parent = nullptr);
    ~TUciClient() override;
    TUciClient(const TUciClient&) = delete;
    TUciClient& operator=(const TUciClient&) = delete;

    void SetLimits(const TLimits& limits) { limits_ = limits; }
    const TLimits& Limits() const { return limits_; }

    // An option to set once the engine has said which it offers.
    void SetOption(const QByteArray& name, const QByteArray& value);
    // The strength to set, in that kind's units, when the engine offers it.
    void SetStrength(TUciStrength::TKind kind, int value) {
        strengthKind_ = kind;
        strength_ = value;
    }

    // Starts the engine and the handshake.
    void Start(const QString& program, const QStringList& arguments = {});
    bool Started() const { return started_; }
    // The handshake is over (readyok after uciok and the options).
    bool IsReady() const { return ready_; }
    bool HasFailed() const { return failed_; }
    // What the engine said of itself during the handshake.
    QByteArray EngineName() const { return name_; }
    const QList<TUciOption>& Options() const { return options_; }

    // The next Go belongs to a new game.
    void NewGame() { newGamePending_ = true; }
    // Asks for a move in the position of fen (empty: the initial position)
    // after moves. A position that is no legal one fails the conversation.
    void Go(const QByteArray& fen, const QList<QByteArray>& moves, const TUciGo& go);
    // The Go in progress (or waiting) is no longer wanted: "stop" is sent and
    // its bestmove dropped.
    void Cancel();
    bool Thinking() const { return searching_ || queuedGo_.has_value(); }
    // Ends the conversation: "quit", then the process is killed after QuitMs.
    void Quit();

signals:
    void Ready();
    void BestMove(const QByteArray& move);
    void Failed(const QString& reason);

private:
    struct TGoRequest {
        QByteArray Fen;
        QList<QByteArray> Moves;
        TUciGo Go;
    };

    void Send(const QByteArray& line);
    void StartDeadline(int ms, const QString& reason);
    void ReadOutput();
    void TakeLine(const QByteArray& line);
    void HandshakeReply(const TUciReply& reply);
    void SendGo(const TGoRequest& request);
    void TakeBestMove(const TUciReply& reply);
    void Fail(const QString& reason);
    void Finished(int exitCode, bool crashed);
    QString Program() const;

    TLimits limits_;
    QProcess* process_ = nullptr;
    QTimer* deadline_ = nullptr;
    QString deadlineReason_;
    QString program_;
    QList<QPair<QByteArray, QByteArray>> wanted_;
    std::optional<int> strength_;
    TUciStrength::TKind strengthKind_ = TUciStrength::TKind::None;
    QByteArray name_;
    QList<TUciOption> options_;
    QByteArray pending_; // output not yet cut into lines
    bool started_ = false;
    bool uciOk_ = false;
    bool ready_ = false;
    bool failed_ = false;
    bool quitting_ = false;
    bool newGamePending_ = false;
    bool awaitingReady_ = false; // an isready after ucinewgame is unanswered
    bool searching_ = false;     // a go was sent and its bestmove has not come
    bool cancelled_ = false;     // that bestmove is to be dropped
    int linesThisMove_ = 0;
    std::optional<TGoRequest> queuedGo_;
    std::unique_ptr<TUciPosition> position_; // the position of the go in progress
};
