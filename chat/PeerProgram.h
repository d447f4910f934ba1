#pragma once
// zugaret-peer's parts: its options (one table row per option, so new ones
// are a row and a field), the dialogs that answer from those options instead
// of asking, and TPeerProgram, which runs one THeadlessProgram as the options
// say and prints one line per event:
//   "log: " + a line of the chat log,
//   "box: " + the text of a message box or question (breaks as blanks),
//   "nicks: " + the nick list, comma-separated,
//   "move: " + from-square, to-square and, for a promotion, the new piece's
//     letter in lower case ("e2e4", "e7e8q"), for every move on its board,
//   "end: " + the result ("1-0", "0-1", "1/2-1/2", "*" for an interrupted
//     game) + " | " + the turn panel's text, when a game ends with a result
//     or is interrupted (a game abandoned for another prints nothing).
//
// What must stay true:
//  - every line printed is one line;
//  - with --engine the built-in engine, with --engine-cmd an external UCI
//    engine, plays this participant's colour in every network game it
//    plays (never an observed one), and the ratings are written to the
//    settings after each game that ends; an external engine that fails
//    prints "engine: " + why and resigns the game it plays;
//  - the lines of --say are typed once, in order, as soon as the chat is
//    registered (the host listening, or the client welcomed by its host);
//  - Quit ends through THeadlessProgram::Quit (settings saved), whatever
//    asked for it: a signal, --quit-after, or "/KILL" from the host.

#include "Square.h"
#include "UiDialogs.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QTemporaryDir;
class TUciOpponent;
class QTimer;
class THeadlessProgram;
class TProgramEnv;

// A game offered by --offer.
struct TPeerOffer {
    QString Nick;
    int Minutes = 15;
    bool White = true; // the offerer plays White
};

struct TPeerOptions {
    QString Nick;
    QString Dir; // empty: a fresh temporary folder
    quint16 Port = 12121;
    std::optional<int> MaxClients;
    bool Host = false;
    QString Connect;
    QStringList Say;
    std::optional<double> QuitAfter; // seconds
    bool Stats = false;
    bool AcceptGames = false;
    bool AcceptDraws = false;
    std::optional<TPeerOffer> Offer;
    bool Observe = false;
    int ObserveGame = 0; // its place in the room's list, from 1; 0: the host's game
    bool Engine = false;
    int Depth = 5;
    QString EngineCmd; // an external UCI engine's program
    QList<QPair<QByteArray, QByteArray>> EngineOptions;
};

// Reads the arguments (without the program's name). Returns an empty text,
// or what is wrong.
QString ParsePeerOptions(const QStringList& arguments, TPeerOptions& options);
// The usage text, one line per option.
QString PeerUsage();

// Answers every question by its kind, from the options, and prints it: the
// "Conectar" address gets the --connect address; a game offer, a draw offer
// and "Observar" are answered as --accept-games, --accept-draws and
// --observe say; other input boxes, file dialogs and lists are cancelled;
// other questions are answered No. Each answer comes from the event loop,
// as a user's would.
class TPeerDialogs final : public TUiDialogs {
public:
    std::function<void(const QString& line)> Print;
    QString ConnectAddress;
    bool AcceptGames = false;
    bool AcceptDraws = false;
    bool Observe = false;
    int ObserveGame = 0;
    // Told after each answer has been handed over.
    std::function<void(TQuestion question)> OnAnswered;

    // The answer given to a question.
    TDialogAnswer AnswerTo(const TDialogRequest& request) const;

protected:
    void Present(TQuestionId id, const TDialogRequest& request) override;
    void Dismiss(TQuestionId) override {}

private:
    void Box(const QString& text);
};

class TPeerProgram : public QObject {
    Q_OBJECT
public:
    using TPrint = std::function<void(const QString& line)>;

    TPeerProgram(const TPeerOptions& options, TPrint print, QObject* parent = nullptr);
    ~TPeerProgram() override;

    // Creates the chat or starts joining one, and the --quit-after clock.
    void Start();
    // Ends the program (settings saved), then OnFinished(exit status).
    void Quit(int status = 0);
    std::function<void(int status)> OnFinished;

    THeadlessProgram& Program() const { return *program_; }
    TProgramEnv& Env() const { return *env_; }

private:
    // Construction: the program in its folder with the scripted answers,
    // what the chat and the game print, and the --engine-cmd opponent.
    void CreateProgram();
    void ConnectChat();
    void ConnectGame();
    void CreateEngine();
    void Registered();
    void OfferOnce();
    // The room's lists changed: a chosen game or an offer through the room may go now.
    void RoomChanged();
    void MovePlayed(Square from, Square to);
    void GameStarted();
    void GameEnded();

    TPeerOptions options_;
    TPrint print_;
    std::unique_ptr<QTemporaryDir> tempDir_;
    TPeerDialogs dialogs_;
    std::unique_ptr<TProgramEnv> env_;
    std::unique_ptr<THeadlessProgram> program_;
    std::unique_ptr<TUciOpponent> engine_; // --engine-cmd
    QTimer* watch_ = nullptr;
    QElapsedTimer sinceTick_;
    qint64 longestStall_ = 0;
    bool said_ = false;
    bool offered_ = false;
    bool observed_ = false;
    int status_ = 0;
};
