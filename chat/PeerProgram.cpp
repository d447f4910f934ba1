#include "PeerProgram.h"

#include "ChatSession.h"
#include "ChessModel.h"
#include "ClubGame.h"
#include "GameController.h"
#include "HeadlessProgram.h"
#include "NickRules.h"
#include "ProgramEnv.h"
#include "UciOpponent.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

namespace {

constexpr int WatchMs = 10;

std::optional<long long> WholeNumber(const QString& text, long long low, long long high) {
    bool ok = false;
    const long long value = text.toLongLong(&ok, 10);
    if (!ok || value < low || value > high) return std::nullopt;
    return value;
}

std::optional<bool> YesNo(const QString& text) {
    if (text == u"yes") return true;
    if (text == u"no") return false;
    return std::nullopt;
}

// "NICK:MINUTES:white|black"; the nick may hold ":" itself.
std::optional<TPeerOffer> OfferOf(const QString& text) {
    const qsizetype colon2 = text.lastIndexOf(u':');
    const qsizetype colon1 = colon2 > 0 ? text.lastIndexOf(u':', colon2 - 1) : -1;
    if (colon1 <= 0) return std::nullopt;
    const QString colour = text.mid(colon2 + 1);
    const auto minutes = WholeNumber(text.mid(colon1 + 1, colon2 - colon1 - 1), 1, 1439);
    TPeerOffer offer{text.left(colon1), 0, colour == u"white"};
    if (!minutes || (colour != u"white" && colour != u"black") || offer.Nick.trimmed().isEmpty())
        return std::nullopt;
    offer.Minutes = int(*minutes);
    return offer;
}

// One option: "--name", the name of its value (null for a flag), its help,
// and what it does to the options (false: the value is not valid).
struct TPeerOptionRow {
    const char* Name;
    const char* Value;
    const char* Help;
    bool (*Apply)(TPeerOptions& options, const QString& value);
};

constexpr TPeerOptionRow Rows[] = {
    {"--nick", "NICK", "the participant's nick (required)",
     [](TPeerOptions& o, const QString& v) {
         o.Nick = v;
         return !v.trimmed().isEmpty();
     }},
    {"--dir", "PATH", "program folder: ZuzPlak.ini and Png/ (default: a fresh temporary folder)",
     [](TPeerOptions& o, const QString& v) {
         o.Dir = v;
         return !v.isEmpty();
     }},
    {"--port", "N", "chat port (default 12121; 0 lets the system choose when hosting)",
     [](TPeerOptions& o, const QString& v) {
         const auto n = WholeNumber(v, 0, 65535);
         if (n) o.Port = quint16(*n);
         return bool(n);
     }},
    {"--max-clients", "N", "most clients the host accepts, 1 to 50 (default 5)",
     [](TPeerOptions& o, const QString& v) {
         const auto n = WholeNumber(v, 1, TChatSession::MostClients);
         if (n) o.MaxClients = int(*n);
         return bool(n);
     }},
    {"--host", nullptr, "create the chat (\"Crear\")",
     [](TPeerOptions& o, const QString&) {
         o.Host = true;
         return true;
     }},
    {"--connect", "ADDR", "join the chat hosted at ADDR (\"Conectar\")",
     [](TPeerOptions& o, const QString& v) {
         o.Connect = v;
         return !v.trimmed().isEmpty();
     }},
    {"--say", "TEXT", "type TEXT into the input line once registered (repeatable)",
     [](TPeerOptions& o, const QString& v) {
         o.Say << v;
         return true;
     }},
    {"--quit-after", "SECONDS", "end the program after SECONDS",
     [](TPeerOptions& o, const QString& v) {
         bool ok = false;
         const double s = v.toDouble(&ok);
         if (ok && s >= 0 && s < 1e7) o.QuitAfter = s;
         return ok && s >= 0 && s < 1e7;
     }},
    {"--stats", nullptr, "print the longest event-loop stall at the end",
     [](TPeerOptions& o, const QString&) {
         o.Stats = true;
         return true;
     }},
    {"--accept-games", "yes|no", "answer game offers (default no)",
     [](TPeerOptions& o, const QString& v) {
         const auto yes = YesNo(v);
         o.AcceptGames = yes.value_or(false);
         return yes.has_value();
     }},
    {"--accept-draws", "yes|no", "answer draw offers (default no)",
     [](TPeerOptions& o, const QString& v) {
         const auto yes = YesNo(v);
         o.AcceptDraws = yes.value_or(false);
         return yes.has_value();
     }},
    {"--offer", "NICK:MINUTES:white|black",
     "offer NICK a game once registered (the host: once NICK has joined)",
     [](TPeerOptions& o, const QString& v) {
         o.Offer = OfferOf(v);
         return o.Offer.has_value();
     }},
    {"--observe", "[GAME]",
     "press \"Observar\" once registered and answer yes; with GAME, watch the room's "
     "game in that place of its list (from 1) once it is listed",
     [](TPeerOptions& o, const QString& v) {
         o.Observe = true;
         if (v.isEmpty()) return true;
         const auto n = WholeNumber(v, 1, TGameRelay::MostGames);
         if (n) o.ObserveGame = int(*n);
         return n.has_value();
     }},
    {"--engine", nullptr, "the built-in engine plays this side of every network game",
     [](TPeerOptions& o, const QString&) {
         o.Engine = true;
         return true;
     }},
    {"--depth", "N", "the engine's level, 1 to 8 (default 5; the program's Nivel)",
     [](TPeerOptions& o, const QString& v) {
         const auto n = WholeNumber(v, 1, 8);
         if (n) o.Depth = int(*n);
         return bool(n);
     }},
    {"--engine-cmd", "PATH", "an external UCI engine plays this side of every network game",
     [](TPeerOptions& o, const QString& v) {
         o.EngineCmd = v;
         return !v.trimmed().isEmpty();
     }},
    {"--engine-option", "NAME=VALUE", "a UCI option for --engine-cmd's engine (repeatable)",
     [](TPeerOptions& o, const QString& v) {
         const qsizetype eq = v.indexOf(u'=');
         const QString name = v.left(eq).trimmed();
         if (eq <= 0 || name.isEmpty() || v.contains(u'\n') || v.contains(u'\r')) return false;
         o.EngineOptions.append({name.toUtf8(), v.mid(eq + 1).trimmed().toUtf8()});
         return true;
     }},
};

// A text as one printed line: its breaks become blanks.
QString OnePrintedLine(QString text) {
    for (QChar& c : text)
        if (c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u' ';
    return text;
}

} // namespace

QString ParsePeerOptions(const QStringList& arguments, TPeerOptions& options) {
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString name = arguments.at(i);
        std::optional<QString> value;
        if (const qsizetype eq = name.indexOf(u'=');
            name.startsWith(QLatin1String("--")) && eq > 0) {
            value = name.mid(eq + 1);
            name.truncate(eq);
        }
        const TPeerOptionRow* row =
            std::find_if(std::begin(Rows), std::end(Rows),
                         [&](const TPeerOptionRow& r) { return name == QLatin1String(r.Name); });
        if (row == std::end(Rows)) return "unknown option " + name;
        // A value in brackets may be left out.
        const bool optional = row->Value && row->Value[0] == '[';
        if (row->Value && !value) {
            const bool next = i + 1 < arguments.size() && !arguments.at(i + 1).startsWith(u'-');
            if (!next && !optional) return name + " needs " + QLatin1String(row->Value);
            if (next) value = arguments.at(++i);
        }
        if (!row->Value && value) return name + " takes no value";
        if (!row->Apply(options, value.value_or(QString())))
            return "not a valid " + QLatin1String(row->Value) + " for " + name + ": " + *value;
    }
    if (options.Nick.trimmed().isEmpty()) return QStringLiteral("--nick NICK is required");
    if (options.Host == !options.Connect.isEmpty())
        return QStringLiteral("give either --host or --connect ADDR");
    if (options.Host && options.Observe) return QStringLiteral("--observe needs --connect ADDR");
    if (options.Engine && !options.EngineCmd.isEmpty())
        return QStringLiteral("give either --engine or --engine-cmd PATH");
    if (!options.EngineOptions.isEmpty() && options.EngineCmd.isEmpty())
        return QStringLiteral("--engine-option needs --engine-cmd PATH");
    return QString();
}

QString PeerUsage() {
    QString text = QStringLiteral("usage: zugaret-peer --nick NICK (--host | --connect ADDR) "
                                  "[options]\n");
    for (const TPeerOptionRow& row : Rows) {
        const QString left =
            QLatin1String(row.Name) + (row.Value ? " " + QLatin1String(row.Value) : QString());
        text += "  " + left.leftJustified(32) + " " + QLatin1String(row.Help) + "\n";
    }
    return text;
}

// ---------------------------------------------------------------- dialogs

void TPeerDialogs::Box(const QString& text) {
    if (Print) Print("box: " + OnePrintedLine(text));
}

TDialogAnswer TPeerDialogs::AnswerTo(const TDialogRequest& request) const {
    switch (request.Question) {
    case TQuestion::Message:
        return {true, {}, -1};
    case TQuestion::ConnectAddress:
        return {!ConnectAddress.isEmpty(), ConnectAddress, -1};
    case TQuestion::GameOffer:
        return {AcceptGames, {}, -1};
    case TQuestion::DrawOffer:
        return {AcceptDraws, {}, -1};
    case TQuestion::Observe:
        return {Observe, {}, -1};
    case TQuestion::WatchGame:
        return {Observe, {}, std::max(0, ObserveGame - 1)};
    default:
        return {};
    }
}

void TPeerDialogs::Present(TQuestionId id, const TDialogRequest& request) {
    const TDialogAnswer answer = AnswerTo(request);
    const bool shown = request.Kind == TDialogKind::Message ||
                       request.Kind == TDialogKind::Question ||
                       (request.Kind == TDialogKind::Input && !answer.Accepted);
    if (shown) Box(request.Text);
    QTimer::singleShot(0, this, [this, id, answer, question = request.Question] {
        if (Answer(id, answer) && OnAnswered) OnAnswered(question);
    });
}

// ---------------------------------------------------------------- the program

TPeerProgram::TPeerProgram(const TPeerOptions& options, TPrint print, QObject* parent)
    : QObject(parent), options_(options), print_(std::move(print)) {
    CreateProgram();
    ConnectChat();
    ConnectGame();
    if (!options_.EngineCmd.isEmpty()) CreateEngine();

    watch_ = new QTimer(this);
    watch_->setInterval(WatchMs);
    connect(watch_, &QTimer::timeout, this,
            [this] { longestStall_ = std::max(longestStall_, sinceTick_.restart() - WatchMs); });
}

void TPeerProgram::CreateProgram() {
    QString folder = options_.Dir;
    if (folder.isEmpty()) {
        tempDir_ = std::make_unique<QTemporaryDir>();
        folder = tempDir_->path();
    }
    QDir().mkpath(folder);
    env_ = std::make_unique<TProgramEnv>(folder, folder, options_.Port);
    dialogs_.Print = print_;
    dialogs_.ConnectAddress = options_.Connect;
    dialogs_.AcceptGames = options_.AcceptGames;
    dialogs_.AcceptDraws = options_.AcceptDraws;
    dialogs_.Observe = options_.Observe;
    dialogs_.ObserveGame = options_.ObserveGame;
    // "Conectar" that could not even start ends the program.
    dialogs_.OnAnswered = [this](TQuestion question) {
        if (question == TQuestion::ConnectAddress && program_->Game().Role() != TRole::Client)
            Quit(1);
    };
    env_->SetDialogs(&dialogs_);
    program_ = std::make_unique<THeadlessProgram>(*env_);
    connect(program_.get(), &THeadlessProgram::OnFinished, this, [this] {
        if (OnFinished) OnFinished(status_);
    });
}

void TPeerProgram::ConnectChat() {
    TChatSession& chat = program_->Chat();
    program_->Game().SetNick(options_.Nick);
    chat.ShowStartTitle();
    if (options_.MaxClients) chat.SetMaxClients(*options_.MaxClients);
    for (const TChatLogLine& line : chat.Log().Lines())
        print_("log: " + line.Text);
    connect(&chat.Log(), &TChatLog::OnLineAdded, this,
            [this](const TChatLogLine& line) { print_("log: " + line.Text); });
    connect(&chat, &TChatSession::OnNickListChanged, this,
            [this] { print_("nicks: " + OnePrintedLine(program_->Chat().NickList().join(u','))); });
    connect(&chat, &TChatSession::OnRegistered, this,
            [this] { QTimer::singleShot(0, this, [this] { Registered(); }); });
    if (options_.Offer && options_.Host)
        connect(&chat, &TChatSession::OnNickListChanged, this, [this] {
            if (program_->Chat().NickList().contains(options_.Offer->Nick))
                QTimer::singleShot(0, this, [this] { OfferOnce(); });
        });
    // Through the room, an offer and a chosen game wait until the host has
    // listed them.
    if (!options_.Host && (options_.Offer || options_.ObserveGame))
        connect(&chat, &TChatSession::OnNickListChanged, this,
                [this] { QTimer::singleShot(0, this, [this] { RoomChanged(); }); });
}

void TPeerProgram::ConnectGame() {
    TGameController& game = program_->Game();
    connect(&game, &TGameController::OnMovePlayed, this,
            [this](Square from, Square to) { MovePlayed(from, to); });
    connect(&game, &TGameController::OnGameStarted, this, [this] { GameStarted(); });
    connect(&game, &TGameController::OnGameEnded, this, [this] { GameEnded(); });
    // A promotion is printed once its piece is known.
    TChessModel& model = program_->Model();
    connect(&model, &TChessModel::OnPromotion, this, [this](Square from, Square to, char piece) {
        print_("move: " + SquareToText(from) + SquareToText(to) +
               QChar::fromLatin1(piece).toLower());
    });
}

void TPeerProgram::CreateEngine() {
    TEngineConfig config;
    config.Path = options_.EngineCmd;
    config.Options = options_.EngineOptions;
    engine_ = std::make_unique<TUciOpponent>(program_->Game(), config);
    connect(&engine_->Client(), &TUciClient::Ready, this, [this] {
        print_("engine: " + OnePrintedLine(QString::fromLatin1(engine_->Client().EngineName())) +
               " ready");
    });
    connect(&engine_->Client(), &TUciClient::Failed, this,
            [this](const QString& why) { print_("engine: " + OnePrintedLine(why)); });
    // The game it cannot go on with is resigned: the opponent learns it is over.
    engine_->OnFailure = [this](const QString&) {
        if (program_->Game().PlaysNetworkGame()) program_->Game().Resign();
    };
}

TPeerProgram::~TPeerProgram() {
    engine_.reset();
    program_.reset();
}

void TPeerProgram::Start() {
    sinceTick_.start();
    watch_->start();
    // A broken engine shows at once, not at the first game.
    if (engine_) engine_->Client().Start(options_.EngineCmd);
    if (options_.QuitAfter)
        QTimer::singleShot(qint64(*options_.QuitAfter * 1000), this, [this] { Quit(0); });
    TChatSession& chat = program_->Chat();
    if (options_.Host) {
        chat.bCrearClick();
        if (program_->Game().Role() != TRole::Server) Quit(1);
    } else {
        chat.bConectarClick();
    }
}

void TPeerProgram::Registered() {
    if (said_ || program_->Finished()) return;
    said_ = true;
    for (const QString& line : options_.Say)
        program_->Type(line);
    if (options_.Observe && !options_.ObserveGame) program_->Chat().bObservarClick();
    const bool toHost =
        options_.Offer && SameNick(options_.Offer->Nick, program_->Game().HostNick());
    if (toHost) OfferOnce();
    RoomChanged();
}

void TPeerProgram::RoomChanged() {
    if (!said_ || program_->Finished()) return;
    const TRoomDirectory& room = program_->Chat().ClubGame().Directory();
    if (options_.ObserveGame && !observed_ && int(room.Games().size()) >= options_.ObserveGame) {
        observed_ = true;
        program_->Chat().bObservarClick();
    }
    if (options_.Offer && room.Speaks(options_.Offer->Nick)) OfferOnce();
}

void TPeerProgram::OfferOnce() {
    if (offered_ || program_->Finished()) return;
    offered_ = true;
    const TPeerOffer& o = *options_.Offer;
    program_->Chat().OfferGame(o.Nick, o.White ? 0 : 1, o.Minutes, program_->Game().Elo());
}

void TPeerProgram::MovePlayed(Square from, Square to) {
    const char piece = program_->Model().LastMovedPiece();
    const bool promotes = (piece == 'P' && RankOf(to) == 8) || (piece == 'p' && RankOf(to) == 1);
    if (!promotes) print_("move: " + SquareToText(from) + SquareToText(to));
}

void TPeerProgram::GameStarted() {
    const TGameController& game = program_->Game();
    const TRole role = game.Role();
    if ((!options_.Engine && !engine_) || game.GameMode() != TGameMode::Network ||
        (role != TRole::Server && role != TRole::Client) || game.MyColour() == TColour::None)
        return;
    if (engine_) {
        engine_->TakeSeat(game.MyColour() == TColour::White, true);
        return;
    }
    // The engine moves for this side as soon as it is its turn: its moves go
    // out as "/MOV" like the user's own.
    TChessModel& model = program_->Model();
    model.SetSearchDepth(options_.Depth);
    model.SetCustomEngine(false);
    if (game.MyColour() == TColour::White)
        model.SetComputerPlaysWhite(true);
    else
        model.SetComputerPlaysBlack(true);
}

void TPeerProgram::GameEnded() {
    if (engine_) engine_->LeaveSeat();
    const TGameController& game = program_->Game();
    const QString result = game.RecordHeader().ResultText;
    const QString panel = game.Panel().Text;
    if (result == u"*" && panel != TGameController::InterruptedText()) return;
    // An unattended participant keeps its rating from game to game: it is on
    // disk before the end is printed.
    program_->SaveSettings();
    print_("end: " + result + " | " + OnePrintedLine(panel));
}

void TPeerProgram::Quit(int status) {
    if (program_->Finished()) return;
    status_ = status;
    watch_->stop();
    if (options_.Stats)
        print_("stats: longest event-loop stall " + QString::number(longestStall_) + " ms");
    program_->Quit();
}
