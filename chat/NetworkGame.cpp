// A game with a peer over the chat: offers, draws, resignation, time and lost connections.
#include "NetworkGame.h"

#include "ChatCodec.h"
#include "ChatSession.h"
#include "ChessModel.h"
#include "ClubGame.h"
#include "NickRules.h"
#include "ProgramEnv.h"
#include "TcpSockets.h"
#include "UiDialogs.h"

#include <QMetaObject>

#include <algorithm>

#include <optional>

namespace {

QString Number(int n) {
    return QString::number(n);
}

} // namespace

TNetworkGame::TNetworkGame(TChatSession& chat, TGameController& game, QObject* parent)
    : QObject(parent), chat_(chat), game_(game) {
    using W = TChatWord;
    const std::pair<TChatWord, void (TNetworkGame::*)(const TIncomingMessage&)> words[] = {
        {W::NewGame, &TNetworkGame::OnNewGame},
        {W::AcceptGame, &TNetworkGame::OnAcceptGame},
        {W::DeclineGame, &TNetworkGame::OnDeclineGame},
        {W::Draw, &TNetworkGame::OnDraw},
        {W::AcceptDraw, &TNetworkGame::OnAcceptDraw},
        {W::DeclineDraw, &TNetworkGame::OnDeclineDraw},
        {W::Resign, &TNetworkGame::OnResign},
        {W::Timeout, &TNetworkGame::OnTimeout},
        {W::Mov, &TNetworkGame::OnMov},
        {W::Mob, &TNetworkGame::OnMob},
        {W::Mirar, &TNetworkGame::OnMirar},
        {W::GamePos, &TNetworkGame::OnGamePos},
        {W::EndGame, &TNetworkGame::OnEndGame},
    };
    for (const auto& [word, handler] : words)
        chat_.SetHandler(
            word, [this, handler = handler](const TIncomingMessage& m) { (this->*handler)(m); });
    connect(&game_, &TGameController::OnGameStarted, this, [this] { GameStarted(); });
    connect(&game_, &TGameController::OnGameEnded, this, [this] { GameEnded(); });
}

TNetworkGame::~TNetworkGame() {
    for (TChatWord word :
         {TChatWord::NewGame, TChatWord::AcceptGame, TChatWord::DeclineGame, TChatWord::Draw,
          TChatWord::AcceptDraw, TChatWord::DeclineDraw, TChatWord::Resign, TChatWord::Timeout,
          TChatWord::Mov, TChatWord::Mob, TChatWord::Mirar, TChatWord::GamePos, TChatWord::EndGame})
        chat_.SetHandler(word, nullptr);
}

// ---------------------------------------------------------------- helpers

bool TNetworkGame::NetworkGameInProgress() const {
    return game_.GameMode() == TGameMode::Network && game_.GameInProgress();
}

bool TNetworkGame::FromOpponentInGame(const TIncomingMessage& m) const {
    const TRole role = game_.Role();
    if (role != TRole::Server && role != TRole::Client) return false;
    if (role == TRole::Server && m.Socket != chat_.OpponentSocket) return false;
    return NetworkGameInProgress() && game_.MyColour() != TColour::None;
}

bool TNetworkGame::FromOtherDuringGame(const TIncomingMessage& m) const {
    const TRole role = game_.Role();
    if (role != TRole::Server && role != TRole::Client) return false;
    if (!NetworkGameInProgress() || game_.MyColour() == TColour::None) return false;
    // A client plays only its host.
    return role == TRole::Server && m.Socket != chat_.OpponentSocket;
}

bool TNetworkGame::NamesSender(const TIncomingMessage& m, const QString& nick) const {
    const QString sender = chat_.SenderNick(m);
    if (!sender.isEmpty() && nick == sender) return true;
    chat_.Log().Add("* Mensaje de " + sender +
                    " descartado, nombra a otro jugador: " + TChatSession::Quoted(m));
    return false;
}

void TNetworkGame::DeclineUnasked(const TIncomingMessage& m, const QString& nick, const char* why) {
    const bool draw = m.Row->Id == TChatWord::Draw;
    if (draw)
        chat_.SendToAll(FrameMessage("/DECLINE_DRAW", {game_.Nick()}));
    else
        SendToSender(m, FrameMessage("/DECLINE_GAME", {game_.Nick()}));
    chat_.Log().Add(QString::fromUtf8(draw ? "* Tablas de %1 rechazadas: %2 *"
                                           : "* Partida de %1 rechazada: %2 *")
                        .arg(nick, QString::fromUtf8(why)));
}

void TNetworkGame::SendToSender(const TIncomingMessage& m, const QByteArray& message) {
    if (game_.Role() == TRole::Server)
        chat_.SendTo(m.Socket, message);
    else
        chat_.SendToHost(message);
}

void TNetworkGame::Box(const QString& text) const {
    if (TUiDialogs* d = game_.Env().Dialogs()) d->ShowMessage(text);
}

QByteArray TNetworkGame::GamePosition() const {
    const TPlayer& white = game_.WhitePlayer();
    const TPlayer& black = game_.BlackPlayer();
    return FrameMessage("/GAMEPOS",
                        {white.Nick, Number(white.Elo), black.Nick, Number(black.Elo),
                         Number(game_.ClockW().MessageSeconds()),
                         Number(game_.ClockB().MessageSeconds()), Number(game_.MoveSerial()),
                         game_.Model().WhiteToMove() ? QStringLiteral("0") : QStringLiteral("1"),
                         game_.Model().Position()});
}

QStringList TNetworkGame::PendingMoves() const {
    return QStringList(pendingMoves_.begin(), pendingMoves_.end());
}

// ---------------------------------------------------------------- offers

void TNetworkGame::OfferGame(const QString& Nick, int ReceiverPlaysWhite, int Minutes, int Elo) {
    const QByteArray offer = FrameMessage(
        "/NEW_GAME", {Number(Minutes), Number(ReceiverPlaysWhite), game_.Nick(), Number(Elo)});
    const TOffer terms{-1, Minutes, ReceiverPlaysWhite};
    switch (game_.Role()) {
    case TRole::Server: {
        const int socket = chat_.SocketOfNick(Nick);
        // The opponent of a game in progress stays its opponent until
        // another game is agreed.
        if (!NetworkGameInProgress()) chat_.OpponentSocket = socket;
        if (socket == -1) {
            chat_.Log().Add("* No se encuentra " + Nick + " *");
            return;
        }
        chat_.SendTo(socket, offer);
        offers_.push_back({socket, terms.Minutes, terms.ReceiverPlaysWhite});
        break;
    }
    case TRole::Client:
    case TRole::Observer:
        chat_.SendToHost(offer);
        offers_.push_back(terms);
        break;
    case TRole::Offline:
        break;
    }
}

bool TNetworkGame::ReadTerms(const TIncomingMessage& m, TTerms& terms) const {
    TFieldReader fields(m.Data);
    const std::optional<int> minutes = NumberWithin(fields.Next(), 1, MostMinutes);
    const std::optional<int> white = NumberWithin(fields.Next(), 0, 1);
    const QString nick = fields.Next();
    const std::optional<int> elo = NumberWithin(fields.Next(), MinElo, MaxElo);
    // The opponent is someone else: both players under the own nick would
    // leave neither side knowing which one it plays.
    if (!minutes || !white || !elo || nick.trimmed().isEmpty() || nick == game_.Nick())
        return false;
    terms.Minutes = *minutes;
    terms.White = *white != 0;
    terms.Other = {nick, *elo};
    return true;
}

void TNetworkGame::StartAgreedGame(int socket) {
    offers_.clear();
    pendingMoves_.clear();
    // The game being played ends first (a move its engine still finds is
    // dropped). An opponent other than the new one is told: the game is
    // resigned.
    const bool otherOpponent = (game_.Role() == TRole::Server && socket != chat_.OpponentSocket) ||
                               chat_.ClubGame().Playing() != 0;
    if (game_.GameInProgress()) {
        if (otherOpponent)
            game_.AbandonGame();
        else
            game_.EndGame(TEndReason::Abandoned);
    }
    if (game_.Role() == TRole::Server)
        chat_.OpponentSocket = socket;
    else
        game_.SetRole(TRole::Client);
}

void TNetworkGame::OnNewGame(const TIncomingMessage& m) {
    TTerms terms;
    if (!ReadTerms(m, terms)) {
        chat_.NoteMalformed(m);
        return;
    }
    if (!NamesSender(m, terms.Other.Nick)) return;
    if (FromOtherDuringGame(m)) {
        DeclineUnasked(m, terms.Other.Nick, "ya se está jugando otra partida");
        return;
    }
    if (QuestionOpen()) {
        DeclineUnasked(m, terms.Other.Nick, "hay otra pregunta abierta");
        return;
    }
    TUiDialogs* dialogs = game_.Env().Dialogs();
    if (!dialogs) return;
    const QString question = OfferQuestion(terms.Minutes, terms.Other, terms.White);
    offer_ = m;
    if (game_.Role() != TRole::Server) offer_.Socket = -1;
    offerQuestion_ = dialogs->Ask(TQuestion::GameOffer, this, question, [this, terms](bool yes) {
        offerQuestion_ = 0;
        AnswerOffer(offer_, terms, yes);
    });
}

void TNetworkGame::AnswerOffer(const TIncomingMessage& m, const TTerms& terms, bool yes) {
    if (!yes) {
        SendToSender(m, FrameMessage("/DECLINE_GAME", {game_.Nick()}));
        return;
    }
    StartAgreedGame(m.Socket);
    chat_.SendToPeer(
        FrameMessage("/ACCEPT_GAME", {Number(terms.Minutes),
                                      terms.White ? QStringLiteral("0") : QStringLiteral("1"),
                                      game_.Nick(), Number(game_.Elo())}));
    game_.SetUpNetworkGame(terms.White, terms.Other, terms.Minutes);
}

QString TNetworkGame::OfferQuestion(int minutes, const TPlayer& offerer, bool receiverPlaysWhite) {
    // One arg() for all: a "%2" in a nick stays as it is.
    return QString::fromUtf8(
               "¿Acepta una partida a %1 minutos con %2 ( %3 ELO)? Usted juega con %4.")
        .arg(Number(minutes), offerer.Nick, Number(offerer.Elo),
             receiverPlaysWhite ? QStringLiteral("blancas") : QStringLiteral("negras"));
}

bool TNetworkGame::QuestionOpen() const {
    const TUiDialogs* dialogs = game_.Env().Dialogs();
    return dialogs && (dialogs->IsOpen(offerQuestion_) || dialogs->IsOpen(drawQuestion_) ||
                       chat_.ClubGame().OfferQuestionOpen());
}

void TNetworkGame::WithdrawOffer(int socket) {
    if (socket == -1 || offer_.Socket == socket) Withdraw(offerQuestion_);
}

void TNetworkGame::Withdraw(TQuestionId& question) {
    if (TUiDialogs* dialogs = game_.Env().Dialogs()) dialogs->Withdraw(question);
    question = 0;
}

void TNetworkGame::OnAcceptGame(const TIncomingMessage& m) {
    TTerms terms;
    if (!ReadTerms(m, terms)) {
        chat_.NoteMalformed(m);
        return;
    }
    if (!NamesSender(m, terms.Other.Nick)) return;
    const bool onHost = game_.Role() == TRole::Server;
    const auto offer = std::find_if(offers_.begin(), offers_.end(), [&](const TOffer& o) {
        return (onHost ? o.Socket == m.Socket : o.Socket == -1) && o.Minutes == terms.Minutes &&
               terms.White == (o.ReceiverPlaysWhite == 0);
    });
    // An acceptance is acted upon whether or not an offer of this side is
    // outstanding; but one nobody asked for does not end a game being
    // played here.
    if (offer == offers_.end() && game_.GameInProgress()) {
        chat_.Log().Add("* Partida no ofrecida, aceptación descartada: " + TChatSession::Quoted(m));
        return;
    }
    StartAgreedGame(m.Socket);
    game_.SetUpNetworkGame(terms.White, terms.Other, terms.Minutes);
}

void TNetworkGame::OnDeclineGame(const TIncomingMessage& m) {
    const bool onHost = game_.Role() == TRole::Server;
    const int socket = onHost ? m.Socket : -1;
    const QString nick = TFieldReader(m.Data).Next();
    if (!std::any_of(offers_.begin(), offers_.end(),
                     [socket](const TOffer& o) { return o.Socket == socket; }))
        return; // no offer of this side was outstanding
    if (!NamesSender(m, nick)) return;
    std::erase_if(offers_, [socket](const TOffer& o) { return o.Socket == socket; });
    Box(nick + " no juega");
}

// ---------------------------------------------------------------- draws, resignation, time

void TNetworkGame::NoteDrawOffered() {
    if (NetworkGameInProgress()) drawOffered_ = true;
}

void TNetworkGame::OnDraw(const TIncomingMessage& m) {
    if (!FromOpponentInGame(m)) return;
    const QString nick = TFieldReader(m.Data).Next();
    if (!NamesSender(m, nick)) return;
    TUiDialogs* dialogs = game_.Env().Dialogs();
    if (!dialogs) return;
    if (QuestionOpen()) {
        DeclineUnasked(m, nick, "hay otra pregunta abierta");
        return;
    }
    // Withdrawn when the game ends or the opponent goes: an answer is
    // about the game being played.
    drawQuestion_ = dialogs->Ask(
        TQuestion::DrawOffer, this, QString::fromUtf8("%1 le ofrece tablas. ¿Acepta?").arg(nick),
        [this](bool yes) {
            drawQuestion_ = 0;
            if (!yes) {
                chat_.SendToAll(FrameMessage("/DECLINE_DRAW", {game_.Nick()}));
                return;
            }
            chat_.SendToAll(FrameMessage("/ACCEPT_DRAW", {game_.Nick()}));
            game_.EndGame(TEndReason::DrawAgreed);
        });
}

void TNetworkGame::OnAcceptDraw(const TIncomingMessage& m) {
    // An observer learns it from the host; a player only when it offered.
    const bool observed = game_.Role() == TRole::Observer && NetworkGameInProgress();
    if (!observed && !(FromOpponentInGame(m) && drawOffered_)) return;
    const QString nick = TFieldReader(m.Data).Next();
    if (!NamesSender(m, nick)) return;
    chat_.Log().Add(QString::fromUtf8("* %1 aceptó las tablas *").arg(nick));
    game_.EndGame(TEndReason::DrawAgreed);
}

void TNetworkGame::OnDeclineDraw(const TIncomingMessage& m) {
    // Only the side that offered learns of it, once.
    if (!FromOpponentInGame(m) || !drawOffered_) return;
    const QString nick = TFieldReader(m.Data).Next();
    if (!NamesSender(m, nick)) return;
    drawOffered_ = false;
    const QString text = nick + " rechaza las tablas";
    chat_.Log().Add("* " + text + " *");
    // Not from inside the read of the connection (see TGameController::EndGame).
    QMetaObject::invokeMethod(
        this, [this, text] { Box(text); }, Qt::QueuedConnection);
}

void TNetworkGame::OnResign(const TIncomingMessage& m) {
    if (!FromOpponentInGame(m)) return;
    const QString nick = TFieldReader(m.Data).Next();
    if (!NamesSender(m, nick)) return;
    chat_.Log().Add("* " + nick + " se rinde *");
    game_.EndGame(TEndReason::OpponentResignation);
}

void TNetworkGame::OnTimeout(const TIncomingMessage& m) {
    if (!FromOpponentInGame(m)) return;
    // Only the side to move can run out of time: the opponent.
    const bool opponentToMove = game_.Model().WhiteToMove() == (game_.MyColour() == TColour::Black);
    if (!opponentToMove) return;
    const QString nick = TFieldReader(m.Data).Next();
    if (!NamesSender(m, nick)) return;
    chat_.Log().Add("* " + nick + " pierde por tiempo *");
    game_.EndGame(TEndReason::Time);
}

// ---------------------------------------------------------------- lost connections

void TNetworkGame::InterruptGame(const QString& opponentNick) {
    if (game_.InterruptNetworkGame())
        chat_.Log().Add("* " + TGameController::InterruptedText() + " con " + opponentNick + " *");
}

void TNetworkGame::HostConnectionLost(int socket) {
    std::erase_if(offers_, [socket](const TOffer& o) { return o.Socket == socket; });
    WithdrawOffer(socket);
    if (socket == chat_.OpponentSocket) Withdraw(drawQuestion_);
    if (game_.Role() == TRole::Server && socket == chat_.OpponentSocket && NetworkGameInProgress())
        InterruptGame(chat_.NickOfSocket(socket));
}

void TNetworkGame::HostClosing() {
    offers_.clear();
    WithdrawOffer(-1);
    Withdraw(drawQuestion_);
    if (game_.Role() == TRole::Server && NetworkGameInProgress())
        InterruptGame(chat_.NickOfSocket(chat_.OpponentSocket));
}

void TNetworkGame::ClientConnectionLost() {
    offers_.clear();
    WithdrawOffer(-1);
    Withdraw(drawQuestion_);
    Withdraw(observeQuestion_);
    pendingMoves_.clear();
    if (!NetworkGameInProgress()) return;
    if (game_.Role() == TRole::Client) {
        InterruptGame(game_.HostNick());
    } else if (game_.Role() == TRole::Observer) {
        game_.EndObservedGame(TGameController::InterruptedText(), QStringLiteral("*"));
        chat_.Log().Add("* " + TGameController::InterruptedText() + " con " + game_.HostNick() +
                        " *");
    }
}
