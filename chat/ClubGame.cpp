#include "ClubGame.h"

#include "ChatCodec.h"
#include "ChessModel.h"
#include "NetworkGame.h"
#include "NickRules.h"
#include "Players.h"
#include "ProgramEnv.h"
#include "UiDialogs.h"

#include <optional>

namespace {

QString Number(int n) {
    return QString::number(n);
}

// The words of a game with the host and their relayed forms.
struct TRelayedWord {
    const char* Plain;
    const char* Relayed;
};
constexpr TRelayedWord RelayedWords[] = {
    {"/MOV", ClubWords::Move},
    {"/DRAW", ClubWords::Draw},
    {"/ACCEPT_DRAW", ClubWords::AcceptDraw},
    {"/DECLINE_DRAW", ClubWords::DeclineDraw},
    {"/RESIGN", ClubWords::Resign},
    {"/TIMEOUT", ClubWords::Timeout},
};

const char* PlainWord(const QString& relayed) {
    for (const TRelayedWord& w : RelayedWords)
        if (relayed == QLatin1String(w.Relayed)) return w.Plain;
    return nullptr;
}

} // namespace

TClubGame::TClubGame(TChatSession& chat, TGameController& game, QObject* parent)
    : QObject(parent), chat_(chat), game_(game) {
    using W = TChatWord;
    const auto onRole = [this](void (TClubGame::*host)(const TIncomingMessage&),
                               void (TClubGame::*client)(const TIncomingMessage&)) {
        return [this, host, client](const TIncomingMessage& m) {
            const bool onHost = game_.Role() == TRole::Server;
            if (onHost && host && relay_) (this->*host)(m);
            if (!onHost && client) (this->*client)(m);
        };
    };
    chat_.SetHandler(W::Club, onRole(&TClubGame::OnHostClub, &TClubGame::OnClub));
    chat_.SetHandler(W::GOffer, onRole(&TClubGame::OnHostOffer, &TClubGame::OnOffer));
    chat_.SetHandler(W::GAccept, onRole(&TClubGame::OnHostAccept, nullptr));
    chat_.SetHandler(W::GDecline, onRole(&TClubGame::OnHostDecline, &TClubGame::OnDecline));
    chat_.SetHandler(W::GStart, onRole(nullptr, &TClubGame::OnStart));
    chat_.SetHandler(W::GMov, onRole(&TClubGame::OnHostMove, &TClubGame::OnMove));
    for (const W word : {W::GDraw, W::GAcceptDraw, W::GDeclineDraw, W::GResign, W::GTimeout})
        chat_.SetHandler(word, onRole(&TClubGame::OnHostGameWord, &TClubGame::OnGameWord));
    chat_.SetHandler(W::GEnd, onRole(nullptr, &TClubGame::OnEnd));
    chat_.SetHandler(W::GObserve, onRole(&TClubGame::OnHostObserve, nullptr));
    chat_.SetHandler(W::GList, onRole(&TClubGame::OnHostList, &TClubGame::OnList));
    chat_.SetHandler(W::GWatch, onRole(nullptr, &TClubGame::OnWatch));
    connect(&game_, &TGameController::OnGameStarted, this, &TClubGame::HostGameStarted);
    connect(&game_, &TGameController::OnGameEnded, this, &TClubGame::GameEnded);
}

TClubGame::~TClubGame() = default;

QString TClubGame::StatusOf(const QString& nick) const {
    if (!relay_) return directory_.StatusOf(nick);
    const std::vector<TRelayedGameInfo> games = relay_->Games();
    const auto find = [&](int id) -> const TRelayedGameInfo* {
        for (const TRelayedGameInfo& game : games)
            if (game.Id == id) return &game;
        return nullptr;
    };
    return RoomStatusText(nick, find(relay_->GameOf(nick)), find(relay_->WatchedBy(nick)));
}

// ---- the host ----

void TClubGame::Hosting() {
    relay_ = std::make_unique<TGameRelay>(game_.Nick());
}

void TClubGame::HostStopped() {
    relay_.reset();
}

void TClubGame::ParticipantLeft(const QString& nick) {
    if (relay_) Deliver(relay_->Leave(nick));
    directory_.Remove(nick);
}

void TClubGame::Renamed(const QString& from, const QString& to) {
    if (relay_) relay_->Rename(from, to);
    directory_.Rename(from, to);
    if (SameNick(opponent_, from)) opponent_ = to;
}

void TClubGame::HostMove(const TMovimiento& move) {
    if (relay_) Deliver(relay_->HostMove(move));
}

void TClubGame::HostGameEnded(const QString& result, const QString& panel) {
    if (relay_) Deliver(relay_->HostGameEnded(result, panel));
}

void TClubGame::HostGameStarted() {
    if (!relay_ || game_.Role() != TRole::Server || !game_.PlaysNetworkGame()) return;
    const TPlayer& white = game_.WhitePlayer();
    const TPlayer& black = game_.BlackPlayer();
    // The whole time: a move message's seconds leave out the hours.
    const int minutes = std::max(1, game_.ClockW().RemainingAtStart() / 60);
    Deliver(relay_->HostGameStarted(white.Nick, white.Elo, black.Nick, black.Elo, minutes));
}

void TClubGame::OnHostClub(const TIncomingMessage& m) {
    if (NumberWithin(TFieldReader(m.Data).Next(), 1, 1000000))
        Deliver(relay_->Announce(chat_.SenderNick(m)));
}

void TClubGame::OnHostOffer(const TIncomingMessage& m) {
    TFieldReader fields(m.Data);
    const QString target = fields.Next();
    const std::optional<int> minutes = NumberField(fields.Next());
    const std::optional<int> white = NumberWithin(fields.Next(), 0, 1);
    const std::optional<int> elo = NumberWithin(fields.Next(), MinElo, MaxElo);
    if (!IsAcceptableNick(target) || !minutes || !white || !elo) {
        chat_.NoteMalformed(m);
        return;
    }
    Deliver(relay_->Offer(chat_.SenderNick(m), target, *minutes, *white != 0, *elo));
}

void TClubGame::OnHostAccept(const TIncomingMessage& m) {
    TFieldReader fields(m.Data);
    const QString offerer = fields.Next();
    const std::optional<int> elo = NumberWithin(fields.Next(), MinElo, MaxElo);
    if (!elo) {
        chat_.NoteMalformed(m);
        return;
    }
    Deliver(relay_->Accept(chat_.SenderNick(m), offerer, *elo));
}

void TClubGame::OnHostDecline(const TIncomingMessage& m) {
    Deliver(relay_->Decline(chat_.SenderNick(m), TFieldReader(m.Data).Next()));
}

void TClubGame::OnHostMove(const TIncomingMessage& m) {
    TFieldReader fields(m.Data);
    const int game = NumberField(fields.Next()).value_or(0);
    Deliver(relay_->Move(chat_.SenderNick(m), game, fields.Rest()));
}

void TClubGame::OnHostGameWord(const TIncomingMessage& m) {
    const QString from = chat_.SenderNick(m);
    const int game = GameNumber(m.Data);
    switch (m.Row->Id) {
    case TChatWord::GDraw:
        return Deliver(relay_->Draw(from, game));
    case TChatWord::GAcceptDraw:
        return Deliver(relay_->AcceptDraw(from, game));
    case TChatWord::GDeclineDraw:
        return Deliver(relay_->DeclineDraw(from, game));
    case TChatWord::GResign:
        return Deliver(relay_->Resign(from, game));
    case TChatWord::GTimeout:
        return Deliver(relay_->Timeout(from, game));
    default:
        return;
    }
}

void TClubGame::OnHostObserve(const TIncomingMessage& m) {
    Deliver(relay_->Observe(chat_.SenderNick(m), GameNumber(m.Data)));
}

void TClubGame::OnHostList(const TIncomingMessage& m) {
    Deliver(relay_->List(chat_.SenderNick(m)));
}

void TClubGame::Deliver(const TRelayOutput& out) {
    for (const TRelayedMessage& message : out.Messages)
        if (const int socket = chat_.SocketOfNick(message.To); socket >= 0)
            chat_.SendTo(socket, message.Bytes);
    for (const QString& line : out.Log)
        chat_.Log().Add(line);
}

// ---- a client ----

void TClubGame::Registered() {
    if (game_.Role() == TRole::Server) return;
    chat_.SendToHost(FrameMessage(ClubWords::Club, {Number(ClubWords::Level)}));
}

void TClubGame::Disconnected() {
    directory_.Clear();
    playing_ = watching_ = watchAsked_ = 0;
    listAsked_ = false;
    opponent_.clear();
    WithdrawOffer();
    if (TUiDialogs* dialogs = game_.Env().Dialogs()) dialogs->Withdraw(watchQuestion_);
}

bool TClubGame::Offer(const QString& nick, int receiverPlaysWhite, int minutes, int elo) {
    if (game_.Role() == TRole::Server || !directory_.HostSpeaks() ||
        SameNick(nick, game_.HostNick()))
        return false;
    chat_.SendToHost(FrameMessage(
        ClubWords::Offer, {nick, Number(minutes), Number(receiverPlaysWhite), Number(elo)}));
    return true;
}

bool TClubGame::ChooseGame() {
    if (game_.Role() == TRole::Server || !directory_.HostSpeaks()) return false;
    TUiDialogs* dialogs = game_.Env().Dialogs();
    if (!dialogs || dialogs->IsOpen(watchQuestion_) || listAsked_) return true;
    if (game_.PlaysNetworkGame()) {
        chat_.Log().Add(QStringLiteral("Ya estas jugando, no hace falta que le des a mirar"));
        return true;
    }
    // The list as it is now, each game's moves counted; the choice follows.
    listAsked_ = true;
    chat_.SendToHost(FrameMessage(ClubWords::List));
    return true;
}

void TClubGame::OfferChoice() {
    TUiDialogs* dialogs = game_.Env().Dialogs();
    if (!dialogs || game_.PlaysNetworkGame()) return;
    QStringList items;
    std::vector<int> games;
    for (const TRelayedGameInfo& game : directory_.Games()) {
        items << GameListText(game);
        games.push_back(game.Id);
    }
    if (watching_ || watchAsked_) {
        items << QStringLiteral("Dejar de observar");
        games.push_back(0);
    }
    // With no game to choose, "Observar" waits for the host's next game as
    // it always has.
    if (items.isEmpty()) {
        chat_.NetworkGame().bObservarClick();
        return;
    }
    const int current = int(std::find(games.begin(), games.end(), watching_) - games.begin());
    watchQuestion_ = dialogs->AskChoice(
        TQuestion::WatchGame, this, QStringLiteral("Observar"), QStringLiteral("Partidas en juego"),
        items, current < int(games.size()) ? current : 0, [this, games](std::optional<int> item) {
            watchQuestion_ = 0;
            if (item && *item >= 0 && *item < int(games.size())) Watch(games[*item]);
        });
}

void TClubGame::Watch(int game) {
    if (game_.Role() == TRole::Server || game_.PlaysNetworkGame()) return;
    chat_.SendToHost(FrameMessage(ClubWords::Observe, {Number(game)}));
    watchAsked_ = game;
    if (game != 0) return;
    const bool watched = watching_ != 0;
    watching_ = 0;
    if (game_.Role() == TRole::Observer) game_.SetRole(TRole::Client);
    if (watched && game_.GameInProgress()) game_.EndGame(TEndReason::Abandoned);
}

QByteArray TClubGame::Outgoing(const QByteArray& message) const {
    if (!playing_ || message.indexOf(char(0xFF)) != message.size() - 1) return message;
    const TChatMessage cut = CutMessage(message.chopped(1));
    for (const TRelayedWord& w : RelayedWords) {
        if (cut.Word != QLatin1String(w.Plain)) continue;
        QStringList fields{Number(playing_)};
        if (!cut.Data.isEmpty()) fields += cut.Data.split(QChar(FieldSeparator));
        return FrameMessage(w.Relayed, fields);
    }
    return message;
}

bool TClubGame::OfferQuestionOpen() const {
    const TUiDialogs* dialogs = game_.Env().Dialogs();
    return dialogs && dialogs->IsOpen(offerQuestion_);
}

bool TClubGame::Ignores(TChatWord word) const {
    return (watching_ || watchAsked_) &&
           (word == TChatWord::Mob || word == TChatWord::EndGame || word == TChatWord::GamePos);
}

void TClubGame::OnClub(const TIncomingMessage& m) {
    if (!directory_.TakeClub(m.Data)) chat_.NoteMalformed(m);
}

void TClubGame::OnList(const TIncomingMessage& m) {
    if (!directory_.TakeList(m.Data)) chat_.NoteMalformed(m);
    chat_.NickStatusChanged();
    if (listAsked_) {
        listAsked_ = false;
        OfferChoice();
    }
}

void TClubGame::OnWatch(const TIncomingMessage& m) {
    if (!directory_.TakeWatch(m.Data)) chat_.NoteMalformed(m);
    chat_.NickStatusChanged();
}

void TClubGame::OnOffer(const TIncomingMessage& m) {
    TFieldReader fields(m.Data);
    const QString offerer = fields.Next();
    const std::optional<int> minutes = NumberWithin(fields.Next(), 1, TNetworkGame::MostMinutes);
    const std::optional<int> white = NumberWithin(fields.Next(), 0, 1);
    const std::optional<int> elo = NumberWithin(fields.Next(), MinElo, MaxElo);
    if (!IsAcceptableNick(offerer) || !minutes || !white || !elo) {
        chat_.NoteMalformed(m);
        return;
    }
    const QByteArray decline = FrameMessage(ClubWords::Decline, {offerer});
    TUiDialogs* dialogs = game_.Env().Dialogs();
    // Declined without asking as an offer of the host's or a client's is.
    const char* busy = !dialogs || game_.PlaysNetworkGame() ? "ya se está jugando otra partida"
                       : chat_.NetworkGame().QuestionOpen() ? "hay otra pregunta abierta"
                                                            : nullptr;
    if (busy) {
        chat_.Log().Add(QString::fromUtf8("* Partida de %1 rechazada: %2 *")
                            .arg(offerer, QString::fromUtf8(busy)));
        chat_.SendToHost(decline);
        return;
    }
    const QString question = TNetworkGame::OfferQuestion(*minutes, {offerer, *elo}, *white != 0);
    offerQuestion_ =
        dialogs->Ask(TQuestion::GameOffer, this, question, [this, offerer, decline](bool yes) {
            offerQuestion_ = 0;
            if (!yes) {
                chat_.SendToHost(decline);
                return;
            }
            chat_.SendToHost(FrameMessage(ClubWords::Accept, {offerer, Number(game_.Elo())}));
        });
}

void TClubGame::OnDecline(const TIncomingMessage& m) {
    TFieldReader fields(m.Data);
    const QString nick = Clipped(fields.Next(), MostNickLength);
    const QString why = Clipped(fields.Next(), MostQuotedText);
    if (TUiDialogs* dialogs = game_.Env().Dialogs())
        dialogs->ShowMessage(nick + " no juega" + (why.isEmpty() ? QString() : " (" + why + ")"));
}

void TClubGame::OnStart(const TIncomingMessage& m) {
    TFieldReader fields(m.Data);
    const std::optional<int> id = NumberWithin(fields.Next(), 1, 1 << 30);
    const std::optional<int> minutes = NumberWithin(fields.Next(), 1, TNetworkGame::MostMinutes);
    TObservedGame game;
    game.White.Nick = fields.Next();
    const std::optional<int> whiteElo = NumberWithin(fields.Next(), MinElo, MaxElo);
    game.Black.Nick = fields.Next();
    const std::optional<int> blackElo = NumberWithin(fields.Next(), MinElo, MaxElo);
    const std::optional<int> whiteSeconds =
        NumberWithin(fields.Next(), 0, TNetworkGame::MostSeconds);
    const std::optional<int> blackSeconds =
        NumberWithin(fields.Next(), 0, TNetworkGame::MostSeconds);
    if (!id || !minutes || !whiteElo || !blackElo || !whiteSeconds || !blackSeconds ||
        !IsAcceptableNick(game.White.Nick) || !IsAcceptableNick(game.Black.Nick)) {
        chat_.NoteMalformed(m);
        return;
    }
    game.White.Elo = *whiteElo;
    game.Black.Elo = *blackElo;
    const QString me = game_.Nick();
    const bool white = SameNick(game.White.Nick, me), black = SameNick(game.Black.Nick, me);
    if (white || black) {
        WithdrawOffer();
        watching_ = watchAsked_ = 0;
        const TPlayer& other = white ? game.Black : game.White;
        chat_.NetworkGame().StartRelayedGame(white, other, *minutes);
        playing_ = *id;
        opponent_ = other.Nick;
        return;
    }
    if (*id != watchAsked_ || game_.PlaysNetworkGame()) return;
    // Every game of the room starts from the initial position; its moves follow.
    game.WhiteSeconds = *whiteSeconds;
    game.BlackSeconds = *blackSeconds;
    game.Position = QString::fromLatin1(TChessModel::InitialPosition);
    game.MoveSerial = 1;
    game_.SetRole(TRole::Observer);
    chat_.NetworkGame().TakeOverObservedGame(game);
    watching_ = *id;
}

void TClubGame::OnMove(const TIncomingMessage& m) {
    const int game = GameNumber(m.Data);
    const QString body = m.Data.section(QChar(FieldSeparator), 1);
    if (game != 0 && game == playing_)
        chat_.DispatchRelayed("/MOV", body, opponent_);
    else if (game != 0 && game == watching_)
        chat_.DispatchRelayed("/MOB", body, QString());
}

void TClubGame::OnGameWord(const TIncomingMessage& m) {
    const int game = GameNumber(m.Data);
    if (game == 0 || game != playing_) return;
    const char* plain = PlainWord(m.Row->Word);
    if (plain) chat_.DispatchRelayed(plain, m.Data.section(QChar(FieldSeparator), 1), opponent_);
}

void TClubGame::OnEnd(const TIncomingMessage& m) {
    TFieldReader fields(m.Data);
    const int game = NumberField(fields.Next()).value_or(0);
    const QString result = fields.Next();
    const QString text = fields.Next();
    if (game == 0) return;
    if (game == watching_) {
        watching_ = watchAsked_ = 0;
        chat_.DispatchRelayed("/END_GAME", text + QChar(FieldSeparator) + result, QString());
    } else if (game == playing_) {
        playing_ = 0;
        game_.InterruptNetworkGame();
    }
}

int TClubGame::GameNumber(const QString& data) {
    return NumberField(data.section(QChar(FieldSeparator), 0, 0)).value_or(0);
}

void TClubGame::GameEnded() {
    if (game_.Role() == TRole::Server) {
        if (relay_ && relay_->GameOf(game_.Nick()))
            HostGameEnded(game_.ResultText().isEmpty() ? QStringLiteral("*") : game_.ResultText(),
                          game_.Panel().Text);
        return;
    }
    if (game_.GameInProgress()) return;
    playing_ = 0;
    opponent_.clear();
    if (watching_ && watchAsked_ == watching_) {
        // The watched game was left for another game here (not for the
        // next game watched).
        watching_ = watchAsked_ = 0;
        chat_.SendToHost(FrameMessage(ClubWords::Observe, {Number(0)}));
    }
}

void TClubGame::WithdrawOffer() {
    if (TUiDialogs* dialogs = game_.Env().Dialogs()) dialogs->Withdraw(offerQuestion_);
}
