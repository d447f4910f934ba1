#pragma once
// TNetworkGame: the network side of a game, between one chat session and
// its game controller. It sends game offers and answers them, sets up an
// agreed game on both sides, takes the opponent's moves, draw offers,
// resignations and time-outs off the wire, lets a participant observe the
// host's game ("Observar", "/MIRAR", "/GAMEPOS"), puts the host's moves in
// order at an observer ("/MOB", ExpectedMove, PendingMoves) and ends an
// observed game ("/END_GAME"). The session owns it and hands it every game
// message and every connection that goes; the game itself (board, rules,
// clocks, record, ratings) stays the controller's.
//
// What must stay true:
//  - a game message changes the game only when it comes from the opponent
//    (on the host: OpponentSocket; on a client: its host) during a network
//    game in progress; an acceptance only answers an offer this side made,
//    on its terms, and an agreed game consumes every offer outstanding;
//  - a message that names a player ("/NEW_GAME", "/ACCEPT_GAME",
//    "/DECLINE_GAME", "/DRAW", "/ACCEPT_DRAW", "/RESIGN", "/TIMEOUT",
//    "/MIRAR") is acted on only when the nick it names is its sender's;
//  - while this side plays a network game, offers from anyone but its
//    opponent are declined without asking, with a log line, and so is one
//    still being asked about when such a game starts; one offer question (a
//    game or a draw) is open at a time, and an offer that comes meanwhile
//    is declined the same way;
//  - a network game this side plays never ends unknown to its opponent: a
//    game agreed with someone else resigns it first;
//  - numbers from the wire are within their ranges before they are used
//    (minutes 1..1439, ratings 0..4000, seconds 0..86399, move numbers
//    1..100000); an offer, acceptance or position outside them is logged as
//    "Error 56" / "Error 67" and starts nothing;
//  - a move that is not legal here, or comes when no game is in progress,
//    changes nothing (board, clocks, ExpectedMove) and is logged with one
//    line; an observer out of step logs only the first such "/MOB";
//  - only an Observer following a game keeps early moves, and never more than
//    MostPendingMoves of them;
//  - losing the opponent's connection stops the game at once (no result, no
//    rating change), logs it, and the host tells its observers;
//  - nothing waits for the user: a question is withdrawn, and its answer
//    never acted on, once its reason has gone: a game offer's when its
//    offerer's connection goes, a draw offer's when the game ends or a
//    connection to the opponent goes, "Observar"'s when the connection to
//    the host goes or a game of this side begins.

#include "ChatSession.h"
#include "GameController.h"
#include "UiDialogs.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <set>
#include <vector>

class TNetworkGame : public QObject {
    Q_OBJECT
public:
    static constexpr int MostMinutes = 1439;
    static constexpr int MostSeconds = 86399;
    static constexpr int MostMoveNumber = 100000;
    static constexpr int MostPendingMoves = 64;

    TNetworkGame(TChatSession& chat, TGameController& game, QObject* parent = nullptr);
    ~TNetworkGame() override;
    TNetworkGame(const TNetworkGame&) = delete;
    TNetworkGame& operator=(const TNetworkGame&) = delete;

    // "/NEW_GAME" to nick (the host) or to the host (a client); the offer is
    // kept until it is answered, a game is agreed or the peer goes.
    void OfferGame(const QString& Nick, int ReceiverPlaysWhite, int Minutes, int Elo);
    // "Observar".
    void bObservarClick();
    // This side offered a draw in the game in progress.
    void NoteDrawOffered();

    // A connection of the host has gone or is being closed.
    void HostConnectionLost(int socket);
    // The host is closing every connection.
    void HostClosing();
    // A client's connection to its host has gone.
    void ClientConnectionLost();

    // A game the host relays between this client and another participant
    // has been agreed: it starts as a game with the host would.
    void StartRelayedGame(bool white, const TPlayer& opponent, int minutes);
    // This observer takes over game (the host's, or one the host relays).
    void TakeOverObservedGame(const TObservedGame& game);

    // The question a game offer asks, the same for an offer from the host,
    // a client or another participant of the room.
    static QString OfferQuestion(int minutes, const TPlayer& offerer, bool receiverPlaysWhite);
    // A game offer (of the host's or of the room's) or a draw offer is being
    // asked about: the user answers one at a time.
    bool QuestionOpen() const;

    int ExpectedMove() const { return expectedMove_; }
    // The moves an observer keeps for later, in their text form, sorted.
    QStringList PendingMoves() const;

private:
    struct TOffer {
        int Socket = -1; // the host: the connection offered to; a client: -1 (its host)
        int Minutes = 0;
        int ReceiverPlaysWhite = 0;
    };
    void OnNewGame(const TIncomingMessage& m);
    void OnAcceptGame(const TIncomingMessage& m);
    void OnDeclineGame(const TIncomingMessage& m);
    void OnDraw(const TIncomingMessage& m);
    void OnAcceptDraw(const TIncomingMessage& m);
    void OnDeclineDraw(const TIncomingMessage& m);
    void OnResign(const TIncomingMessage& m);
    void OnTimeout(const TIncomingMessage& m);
    void OnMov(const TIncomingMessage& m);
    void OnMob(const TIncomingMessage& m);
    void OnMirar(const TIncomingMessage& m);
    void OnGamePos(const TIncomingMessage& m);
    void OnEndGame(const TIncomingMessage& m);

    // The terms of an offer or an acceptance, read and checked.
    struct TTerms {
        int Minutes = 0;
        bool White = false; // the receiver of the message plays White
        TPlayer Other;
    };
    bool ReadTerms(const TIncomingMessage& m, TTerms& terms) const;
    void StartAgreedGame(int socket);
    // A move's fields read and within their ranges (the Plain line otherwise).
    bool ReadMove(const TIncomingMessage& m, TMovimiento& move) const;
    // The move can be played here now by the side it names.
    bool PlayableHere(const TMovimiento& move) const;
    void RefuseMove(const TIncomingMessage& m);
    void ObserverOutOfStep(const TIncomingMessage& m);
    void PlayPendingMoves();
    bool PlayObservedMove(const TMovimiento& move);

    // A player's network game is in progress and the message came from its
    // opponent.
    bool FromOpponentInGame(const TIncomingMessage& m) const;
    // This side plays a network game in progress, and the message came from
    // someone other than its opponent.
    bool FromOtherDuringGame(const TIncomingMessage& m) const;
    // The nick a message names is its sender's; otherwise a log line.
    bool NamesSender(const TIncomingMessage& m, const QString& nick) const;
    // Declines an offer without asking, logging why.
    void DeclineUnasked(const TIncomingMessage& m, const QString& nick, const char* why);
    bool NetworkGameInProgress() const;
    void SendToSender(const TIncomingMessage& m, const QByteArray& message);
    QByteArray GamePosition() const;
    void GameStarted();
    void GameEnded();
    // The answer to a game offer.
    void AnswerOffer(const TIncomingMessage& m, const TTerms& terms, bool yes);
    // Withdraws the game offer question, if it came from socket (-1: any).
    void WithdrawOffer(int socket);
    void Withdraw(TQuestionId& question);
    void InterruptGame(const QString& opponentNick);
    void Box(const QString& text) const;

    TChatSession& chat_;
    TGameController& game_;
    bool drawOffered_ = false;
    std::vector<TOffer> offers_;
    TIncomingMessage offer_; // the game offer asked about (Socket -1 on a client)
    TQuestionId offerQuestion_ = 0;
    TQuestionId drawQuestion_ = 0;
    TQuestionId observeQuestion_ = 0;
    int expectedMove_ = 0;
    std::set<QString> pendingMoves_;
    bool outOfStepLogged_ = false;
};
