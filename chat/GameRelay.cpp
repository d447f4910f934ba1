#include "GameRelay.h"

#include "ChatCodec.h"
#include "ChessModel.h"
#include "GameController.h"
#include "NickRules.h"

#include <algorithm>
#include <optional>

namespace {

// A player's time after a move whose message told `told` seconds: a clock
// of an hour or more tells its minutes and seconds without the hours, so
// the time is the largest one, at most the last, that ends so. Empty when
// the clock would have gone up.
std::optional<int> TimeAfterMove(int last, int told) {
    if (told < 0 || told > last) return std::nullopt;
    if (told >= 3600) return told;
    return last - (last - told) % 3600;
}

QString Folded(const QString& nick) {
    return nick.toCaseFolded();
}

QString Number(int n) {
    return QString::number(n);
}

// "/GMOV" with the game's number and the move's five fields.
QByteArray MoveMessage(int game, const QString& body) {
    return FrameMessage(ClubWords::Move,
                        QStringList{Number(game)} + body.split(QChar(FieldSeparator)));
}

} // namespace

struct TGameRelay::TGame {
    int Id = 0;
    QString White, Black;
    int WhiteElo = 0, BlackElo = 0;
    int Minutes = 0;
    bool Hosts = false; // the host's own game, mirrored
    QString StartFen;
    TChessModel Board;
    QStringList Moves;                      // the bodies as passed on
    TMoveOutcome Last;                      // what the last move did
    int WhiteSeconds = 0, BlackSeconds = 0; // each player's time after its last move
    QString DrawOfferedBy;                  // a player's nick, empty when none is open
    std::vector<QString> Watchers;

    bool Plays(const QString& nick) const { return SameNick(nick, White) || SameNick(nick, Black); }
    QString OpponentOf(const QString& nick) const { return SameNick(nick, White) ? Black : White; }
    TRelayedGameInfo Info() const { return {Id, White, Black, int(Moves.size())}; }
};

void TRelayOutput::Append(TRelayOutput other) {
    for (auto& m : other.Messages)
        Messages.push_back(std::move(m));
    Log += other.Log;
}

QString GameListText(const TRelayedGameInfo& game) {
    return game.White + QStringLiteral(" – ") + game.Black + QStringLiteral(", ") +
           Number(game.Plies) + QStringLiteral(" jugadas");
}

QString RoomStatusText(const QString& nick, const TRelayedGameInfo* played,
                       const TRelayedGameInfo* watched) {
    if (played)
        return QStringLiteral("juega con ") +
               (SameNick(played->White, nick) ? played->Black : played->White);
    if (watched)
        return QStringLiteral("mira ") + watched->White + QStringLiteral(" – ") + watched->Black;
    return {};
}

TGameRelay::TGameRelay(QString hostNick) : hostNick_(std::move(hostNick)) {}
TGameRelay::~TGameRelay() = default;

// ---- participants ----

TRelayOutput TGameRelay::Announce(const QString& nick) {
    TRelayOutput out;
    // Once is enough: a participant repeating it makes no one hear more.
    if (Speaks(nick)) return out;
    speakers_[Folded(nick)] = nick;
    ToEveryoneListening(ClubMessage(), out);
    out.Send(nick, ListMessage());
    return out;
}

bool TGameRelay::Speaks(const QString& nick) const {
    return speakers_.count(Folded(nick)) != 0;
}

void TGameRelay::Rename(const QString& from, const QString& to) {
    const QString old = Folded(from), now = Folded(to);
    if (speakers_.erase(old)) speakers_[now] = to;
    if (auto it = offers_.find(old); it != offers_.end()) {
        offers_[now] = it->second;
        offers_.erase(old);
    }
    for (auto& [offerer, offer] : offers_)
        if (SameNick(offer.To, from)) offer.To = to;
    if (auto it = watching_.find(old); it != watching_.end()) {
        watching_[now] = it->second;
        watching_.erase(old);
    }
    for (auto& game : games_) {
        if (SameNick(game->White, from)) game->White = to;
        if (SameNick(game->Black, from)) game->Black = to;
        if (SameNick(game->DrawOfferedBy, from)) game->DrawOfferedBy = to;
        for (QString& w : game->Watchers)
            if (SameNick(w, from)) w = to;
    }
    if (SameNick(hostNick_, from)) hostNick_ = to;
}

TRelayOutput TGameRelay::Leave(const QString& nick) {
    TRelayOutput out;
    const QString folded = Folded(nick);
    if (speakers_.erase(folded)) ToEveryoneListening(ClubMessage(), out);
    offers_.erase(folded);
    std::erase_if(offers_, [&](const auto& entry) { return SameNick(entry.second.To, nick); });
    StopWatching(nick);
    if (const int played = GameOf(nick); played && !Find(played)->Hosts)
        Finish(*Find(played), QStringLiteral("*"), TGameController::InterruptedText(), true, out);
    return out;
}

// ---- offers ----

TRelayOutput TGameRelay::Offer(const QString& from, const QString& to, int minutes,
                               bool receiverPlaysWhite, int elo) {
    TRelayOutput out;
    const auto decline = [&](const QString& why) {
        out.Send(from, FrameMessage(ClubWords::Decline, {to, why}));
    };
    if (!Speaks(from)) return out;
    if (SameNick(from, to) || !Speaks(to)) {
        decline(QStringLiteral("no puede jugar aquí"));
    } else if (Busy(from) || Busy(to)) {
        decline(QStringLiteral("ya está jugando"));
    } else if (minutes < 1 || minutes > 1439) {
        decline(QStringLiteral("minutos no válidos"));
    } else if (int(games_.size()) >= MostGames) {
        decline(QStringLiteral("demasiadas partidas"));
    } else {
        offers_[Folded(from)] = {to, minutes, receiverPlaysWhite, elo};
        out.Send(to, FrameMessage(ClubWords::Offer, {from, Number(minutes),
                                                     Number(receiverPlaysWhite), Number(elo)}));
    }
    return out;
}

TRelayOutput TGameRelay::Accept(const QString& from, const QString& offerer, int elo) {
    TRelayOutput out;
    const auto it = offers_.find(Folded(offerer));
    if (it == offers_.end() || !SameNick(it->second.To, from)) {
        DropLogged(from, QStringLiteral("una aceptación sin oferta"), out);
        return out;
    }
    const TOffer offer = it->second;
    offers_.erase(it);
    if (Busy(from) || Busy(offerer) || int(games_.size()) >= MostGames) {
        out.Send(offerer,
                 FrameMessage(ClubWords::Decline, {from, QStringLiteral("ya está jugando")}));
        return out;
    }
    // The offerer's question said which colour the receiver plays.
    if (offer.ReceiverPlaysWhite) return Begin(from, elo, offerer, offer.Elo, offer.Minutes, false);
    return Begin(offerer, offer.Elo, from, elo, offer.Minutes, false);
}

TRelayOutput TGameRelay::Decline(const QString& from, const QString& offerer) {
    TRelayOutput out;
    const auto it = offers_.find(Folded(offerer));
    if (it == offers_.end() || !SameNick(it->second.To, from)) return out;
    offers_.erase(it);
    out.Send(offerer, FrameMessage(ClubWords::Decline, {from}));
    return out;
}

// ---- a game's messages ----

TRelayOutput TGameRelay::Move(const QString& from, int id, const QString& body) {
    TRelayOutput out;
    TGame* game = PlayedBy(from, id, ClubWords::Move, out);
    if (!game) return out;
    TMovimiento move;
    QString why;
    if (!TMovimiento::FromText(body, move))
        why = QStringLiteral("mensaje ilegible");
    else
        why = Play(*game, from, move);
    if (!why.isEmpty()) {
        DropLogged(from, why, out);
        return out;
    }
    const QByteArray bytes = MoveMessage(id, game->Moves.last());
    out.Send(game->OpponentOf(from), bytes);
    ToWatchers(*game, bytes, out);
    // The ends the players' boards see, in the order they announce them.
    const TMoveOutcome& done = game->Last;
    const bool whiteToMove = game->Board.WhiteToMove();
    if (done.Mate())
        FinishFor(*game, TEndReason::Mate, whiteToMove, out);
    else if (done.StaleMate())
        FinishFor(*game, TEndReason::StaleMate, whiteToMove, out);
    else if (done.NoMatingMaterial)
        FinishFor(*game, TEndReason::NoMatingMaterial, whiteToMove, out);
    else if (done.Threefold)
        FinishFor(*game, TEndReason::Repetition, whiteToMove, out);
    return out;
}

TRelayOutput TGameRelay::Draw(const QString& from, int id) {
    TRelayOutput out;
    if (TGame* game = PlayedBy(from, id, ClubWords::Draw, out)) {
        game->DrawOfferedBy = from;
        out.Send(game->OpponentOf(from), FrameMessage(ClubWords::Draw, {Number(id), from}));
    }
    return out;
}

TRelayOutput TGameRelay::AcceptDraw(const QString& from, int id) {
    TRelayOutput out;
    TGame* game = PlayedBy(from, id, ClubWords::AcceptDraw, out);
    if (!game) return out;
    if (game->DrawOfferedBy.isEmpty() || SameNick(game->DrawOfferedBy, from)) {
        DropLogged(from, QStringLiteral("tablas que nadie ofreció"), out);
        return out;
    }
    out.Send(game->OpponentOf(from), FrameMessage(ClubWords::AcceptDraw, {Number(id), from}));
    FinishFor(*game, TEndReason::DrawAgreed, false, out);
    return out;
}

TRelayOutput TGameRelay::DeclineDraw(const QString& from, int id) {
    TRelayOutput out;
    TGame* game = PlayedBy(from, id, ClubWords::DeclineDraw, out);
    if (!game || game->DrawOfferedBy.isEmpty() || SameNick(game->DrawOfferedBy, from)) return out;
    game->DrawOfferedBy.clear();
    out.Send(game->OpponentOf(from), FrameMessage(ClubWords::DeclineDraw, {Number(id), from}));
    return out;
}

TRelayOutput TGameRelay::Resign(const QString& from, int id) {
    TRelayOutput out;
    if (TGame* game = PlayedBy(from, id, ClubWords::Resign, out)) {
        out.Send(game->OpponentOf(from), FrameMessage(ClubWords::Resign, {Number(id), from}));
        FinishFor(*game, TEndReason::OwnResignation, SameNick(from, game->White), out);
    }
    return out;
}

TRelayOutput TGameRelay::Timeout(const QString& from, int id) {
    TRelayOutput out;
    if (TGame* game = PlayedBy(from, id, ClubWords::Timeout, out)) {
        out.Send(game->OpponentOf(from), FrameMessage(ClubWords::Timeout, {Number(id), from}));
        FinishFor(*game, TEndReason::Time, SameNick(from, game->White), out);
    }
    return out;
}

TRelayOutput TGameRelay::Observe(const QString& from, int id) {
    TRelayOutput out;
    if (!Speaks(from) || Busy(from)) return out;
    if (WatchedBy(from) == id) return out;
    if (StopWatching(from))
        ToEveryoneListening(FrameMessage(ClubWords::Watch, {from, Number(0)}), out);
    TGame* game = Find(id);
    if (!game) return out;
    game->Watchers.push_back(from);
    watching_[Folded(from)] = id;
    out.Send(from, StartMessage(*game));
    for (const QString& body : game->Moves)
        out.Send(from, MoveMessage(id, body));
    ToEveryoneListening(FrameMessage(ClubWords::Watch, {from, Number(id)}), out);
    return out;
}

TRelayOutput TGameRelay::List(const QString& to) const {
    TRelayOutput out;
    if (Speaks(to)) out.Send(to, ListMessage());
    return out;
}

// ---- the host's own game ----

TRelayOutput TGameRelay::HostGameStarted(const QString& white, int whiteElo, const QString& black,
                                         int blackElo, int minutes) {
    TRelayOutput out;
    if (TGame* old = Find(hostGame_)) Finish(*old, QStringLiteral("*"), QString(), false, out);
    out.Append(Begin(white, whiteElo, black, blackElo, minutes, true));
    return out;
}

TRelayOutput TGameRelay::HostMove(const TMovimiento& move) {
    TRelayOutput out;
    TGame* game = Find(hostGame_);
    if (!game) return out;
    const QString mover = move.WhiteMoved ? game->White : game->Black;
    const QString why = Play(*game, mover, move);
    if (!why.isEmpty()) {
        out.Log << QStringLiteral("* Jugada no válida en la partida del anfitrión: ") + why;
        return out;
    }
    ToWatchers(*game, MoveMessage(game->Id, game->Moves.last()), out);
    return out;
}

TRelayOutput TGameRelay::HostGameEnded(const QString& result, const QString& text) {
    TRelayOutput out;
    if (TGame* game = Find(hostGame_)) Finish(*game, result, text, false, out);
    return out;
}

// ---- what the room shows ----

std::vector<TRelayedGameInfo> TGameRelay::Games() const {
    std::vector<TRelayedGameInfo> list;
    for (const auto& game : games_)
        list.push_back(game->Info());
    return list;
}

int TGameRelay::GameOf(const QString& nick) const {
    for (const auto& game : games_)
        if (game->Plays(nick)) return game->Id;
    return 0;
}

int TGameRelay::WatchedBy(const QString& nick) const {
    const auto it = watching_.find(Folded(nick));
    return it == watching_.end() ? 0 : it->second;
}

QStringList TGameRelay::MovesOf(int id) const {
    const TGame* game = Find(id);
    return game ? game->Moves : QStringList();
}

// ---- inside ----

TGameRelay::TGame* TGameRelay::Find(int id) const {
    for (const auto& game : games_)
        if (game->Id == id) return game.get();
    return nullptr;
}

TGameRelay::TGame* TGameRelay::PlayedBy(const QString& from, int id, const char* word,
                                        TRelayOutput& out) {
    TGame* game = Find(id);
    if (game && !game->Hosts && game->Plays(from)) return game;
    DropLogged(from, QString::fromLatin1(word) + QStringLiteral(" de una partida que no juega"),
               out);
    return nullptr;
}

TRelayOutput TGameRelay::Begin(const QString& white, int whiteElo, const QString& black,
                               int blackElo, int minutes, bool hosts) {
    TRelayOutput out;
    auto game = std::make_unique<TGame>();
    game->Id = ++lastId_;
    game->White = white, game->Black = black;
    game->WhiteElo = whiteElo, game->BlackElo = blackElo;
    game->Minutes = minutes;
    game->Hosts = hosts;
    game->Board.NewGame();
    game->StartFen = game->Board.Fen();
    game->WhiteSeconds = game->BlackSeconds = minutes * 60;
    // Who watches one of the players' games now plays: it stops watching.
    for (const QString& player : {white, black}) {
        offers_.erase(Folded(player));
        StopWatching(player);
    }
    if (hosts) hostGame_ = game->Id;
    TGame& started = *game;
    games_.push_back(std::move(game));
    if (!hosts) {
        const QByteArray start = StartMessage(started);
        out.Send(white, start);
        out.Send(black, start);
    }
    ToEveryoneListening(ListMessage(), out);
    return out;
}

void TGameRelay::Finish(TGame& game, const QString& result, const QString& text, bool tellPlayers,
                        TRelayOutput& out) {
    const QByteArray end = FrameMessage(ClubWords::End, {Number(game.Id), result, text});
    ToWatchers(game, end, out);
    if (tellPlayers && !game.Hosts)
        for (const QString& player : {game.White, game.Black})
            if (Speaks(player)) out.Send(player, end);
    for (const QString& w : game.Watchers)
        watching_.erase(Folded(w));
    if (game.Id == hostGame_) hostGame_ = 0;
    const int id = game.Id;
    std::erase_if(games_, [id](const auto& g) { return g->Id == id; });
    ToEveryoneListening(ListMessage(), out);
}

void TGameRelay::FinishFor(TGame& game, TEndReason reason, bool whiteToBlame, TRelayOutput& out) {
    TEndFacts facts;
    facts.Reason = reason;
    facts.Kind = TMatchKind::Observed;
    facts.WhiteToMove = whiteToBlame; // with no side of the user's, the side to move is blamed
    facts.White.Nick = game.White;
    facts.Black.Nick = game.Black;
    const TGameResult result = GameResult(facts);
    Finish(game, result.ResultText, result.PanelText, false, out);
}

int TGameRelay::StopWatching(const QString& nick) {
    const int watched = WatchedBy(nick);
    if (TGame* game = Find(watched))
        std::erase_if(game->Watchers, [&](const QString& w) { return SameNick(w, nick); });
    watching_.erase(Folded(nick));
    return watched;
}

void TGameRelay::ToWatchers(const TGame& game, const QByteArray& bytes, TRelayOutput& out) const {
    for (const QString& w : game.Watchers)
        out.Send(w, bytes);
}

void TGameRelay::ToEveryoneListening(const QByteArray& bytes, TRelayOutput& out) const {
    for (const auto& [folded, nick] : speakers_)
        out.Send(nick, bytes);
}

QByteArray TGameRelay::StartMessage(const TGame& game) const {
    return FrameMessage(ClubWords::Start,
                        {Number(game.Id), Number(game.Minutes), game.White, Number(game.WhiteElo),
                         game.Black, Number(game.BlackElo), Number(game.WhiteSeconds),
                         Number(game.BlackSeconds), game.StartFen});
}

QByteArray TGameRelay::ClubMessage() const {
    QStringList fields{Number(ClubWords::Level), hostNick_};
    for (const auto& [folded, nick] : speakers_)
        fields << nick;
    return FrameMessage(ClubWords::Club, fields);
}

QByteArray TGameRelay::ListMessage() const {
    QStringList fields;
    for (const auto& game : games_) {
        const TRelayedGameInfo info = game->Info();
        fields << Number(info.Id) << info.White << info.Black << Number(info.Plies);
    }
    return FrameMessage(ClubWords::List, fields);
}

void TGameRelay::DropLogged(const QString& from, const QString& what, TRelayOutput& out) {
    if (!loggedDrops_.insert(Folded(from)).second) return;
    out.Log << QStringLiteral("* Mensaje de ") + from + QStringLiteral(" descartado: ") + what;
}

QString TGameRelay::Play(TGame& game, const QString& from, const TMovimiento& move) {
    TChessModel& board = game.Board;
    const bool white = board.WhiteToMove();
    if (!SameNick(from, white ? game.White : game.Black)) return QStringLiteral("no es su turno");
    if (move.WhiteMoved != white) return QStringLiteral("color equivocado");
    if (move.MoveNumber != game.Moves.size() + 1)
        return QStringLiteral("número de jugada equivocado");
    if (game.Moves.size() >= MostPlies) return QStringLiteral("demasiadas jugadas");
    int& clock = white ? game.WhiteSeconds : game.BlackSeconds;
    const std::optional<int> timeLeft = TimeAfterMove(clock, move.Seconds);
    if (!timeLeft) return QStringLiteral("su reloj sube");
    const std::optional<TMoveSquares> squares =
        move.Move.size() == 4 ? ParseMoveText(move.Move) : std::nullopt;
    if (!squares || !board.IsLegalMove(squares->From, squares->To))
        return QStringLiteral("jugada ilegal");
    const char piece = board.PieceAt(squares->From);
    const int lastRank = piece == 'P' ? 8 : piece == 'p' ? 1 : 0;
    TMovimiento passed = move;
    passed.Promotion = u'*';
    if (RankOf(squares->To) == lastRank) {
        passed.Promotion = move.Promotion.toUpper();
        if (!QStringLiteral("QRBN").contains(passed.Promotion))
            return QStringLiteral("coronación sin pieza");
    }
    game.Last = *board.ApplyMove(squares->From, squares->To, passed.Promotion.toLower().toLatin1());
    clock = *timeLeft;
    game.Moves << passed.ToText();
    return {};
}
