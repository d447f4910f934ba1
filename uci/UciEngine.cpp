// The engine side of a UCI conversation: commands, the search thread, the clock.
#include "UciEngine.h"

#include "EngineLevel.h"

#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>

namespace {

// What the GUI, the pipe and the scheduler may take between our bestmove
// and the GUI's clock stopping.
constexpr qint64 kMoveOverheadMs = 50;

QByteArray EngineMoveText(const TEngineMove& m) {
    const char promotion = (m.bits & TEngineSearch::FlagPromote) ? " nbrq"[m.promote] : '\0';
    return UciMoveText(m.from, m.to, promotion);
}

bool SameName(const QByteArray& a, const char* b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The highest level whose rating does not pass elo (level 1 at least).
int LevelOfElo(int elo) {
    int level = MinEngineLevel;
    for (int l = MinEngineLevel; l <= MaxEngineLevel; ++l)
        if (EngineLevel(l).elo <= elo) level = l;
    return level;
}

} // namespace

TUciTimePlan PlanUciTime(const TUciGo& go, bool whiteToMove) {
    TUciTimePlan plan;
    if (go.movetime) {
        plan.hardMs = std::max<qint64>(1, *go.movetime - 5);
        return plan;
    }
    if (!go.HasClock(whiteToMove)) return plan;
    const qint64 left = *(whiteToMove ? go.wtime : go.btime);
    const qint64 inc = std::max<qint64>(0, whiteToMove ? go.winc : go.binc);
    const qint64 avail = std::max<qint64>(1, left - kMoveOverheadMs);
    const qint64 movesToGo = go.movestogo > 0 ? std::min(go.movestogo, 50) : 30;
    // The increment is spent only while the clock holds many of them: a clock
    // drained by slow answers (a busy machine, a slow pipe) fills up again.
    const qint64 share = avail / movesToGo + std::min(inc * 3 / 4, avail / 10);
    // The increment comes only after the move: never more than a part of
    // what is on the clock now.
    const qint64 cap = movesToGo == 1 ? avail * 3 / 4 : avail / 3;
    plan.hardMs = std::max<qint64>(1, std::min(share * 2, cap));
    plan.softMs = std::max<qint64>(1, std::min(share, plan.hardMs));
    return plan;
}

// Reports each finished iteration as an "info" line and asks the clock
// before the next one.
class TUciEngine::Listener final : public TSearchListener {
public:
    Listener(TUciEngine& engine, int mateMoves) : engine_(engine), mateMoves_(mateMoves) {}

    void IterationDone(const TEngineSearch& search, int depth, int score) override {
        TUciInfo info;
        info.depth = depth;
        info.hasScore = true;
        const int mate = search.MateIn(score);
        info.mate = mate != 0;
        info.score = mate != 0 ? mate : score;
        info.nodes = qint64(search.Nodes());
        info.time = engine_.ElapsedMs();
        info.nps = info.nodes * 1000 / std::max<qint64>(1, info.time);
        for (int i = 0; i < search.PvLength() && i < UciMaxListItems; ++i)
            info.pv.append(EngineMoveText(search.PvMove(i)));
        engine_.Write(FormatUciInfo(info));
        if (mateMoves_ > 0 && mate > 0 && mate <= mateMoves_) done_ = true;
    }

    bool StartIteration(int) override {
        if (done_) return false;
        // An iteration takes a few times the one before: none starts past half the share.
        const qint64 soft = engine_.softMs_.load();
        return soft < 0 || engine_.ElapsedMs() < soft / 2;
    }

private:
    TUciEngine& engine_;
    int mateMoves_;
    bool done_ = false;
};

TUciEngine::TUciEngine(TWriter writer, QObject* parent)
    : QObject(parent), writer_(std::move(writer)), skill_(MaxEngineLevel),
      elo_(EngineLevel(DefaultEngineLevel).elo), search_(std::make_unique<TEngineSearch>()) {
    search_->SetAbortFlag(&stop_);
    deadline_ = new QTimer(this);
    deadline_->setSingleShot(true);
    deadline_->setTimerType(Qt::PreciseTimer);
    connect(deadline_, &QTimer::timeout, this, [this] {
        stop_.store(true);
        holdWake_.notify_all();
    });
}

TUciEngine::~TUciEngine() {
    StopSearch();
}

void TUciEngine::Write(const QByteArray& line) {
    std::lock_guard<std::mutex> lock(writeMutex_);
    if (writer_) writer_(line);
}

qint64 TUciEngine::ElapsedMs() const {
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    const std::chrono::steady_clock::duration d(now - startTicks_.load());
    return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
}

void TUciEngine::HandleLine(QByteArrayView line) {
    const TUciCommand c = ParseUciCommand(line);
    switch (c.kind) {
    case TUciCommandKind::Empty:
    case TUciCommandKind::Register:
        break;
    case TUciCommandKind::Unknown:
        Write(FormatUciInfoString("unknown command: " + line.toByteArray()));
        break;
    case TUciCommandKind::Malformed:
        Write(FormatUciInfoString(c.error + ": " + line.toByteArray()));
        break;
    case TUciCommandKind::Uci:
        SayUci();
        break;
    case TUciCommandKind::Debug:
        debug_ = c.flag;
        break;
    case TUciCommandKind::IsReady:
        Write("readyok");
        break;
    case TUciCommandKind::SetOption:
        SetOption(c);
        break;
    case TUciCommandKind::UciNewGame:
        if (Searching()) StopSearch();
        position_.SetStart();
        break;
    case TUciCommandKind::Position:
        SetPosition(c);
        break;
    case TUciCommandKind::Go:
        StartSearch(c.go);
        break;
    case TUciCommandKind::Stop:
        StopSearch();
        break;
    case TUciCommandKind::PonderHit:
        if (!pondering_ || !Searching()) break;
        pondering_ = false;
        {
            const TUciTimePlan plan = PlanUciTime(pendingPonder_, position_.WhiteToMove());
            startTicks_.store(std::chrono::steady_clock::now().time_since_epoch().count());
            softMs_.store(plan.softMs);
            ArmDeadline(plan.hardMs);
        }
        Release();
        break;
    case TUciCommandKind::Quit:
        StopSearch();
        if (OnQuit) OnQuit();
        break;
    }
}

void TUciEngine::SayUci() {
    Write("id name ZuzPlak");
    Write("id author ZugaretCHAT");
    TUciOption skill;
    skill.name = "Skill";
    skill.type = TUciOptionType::Spin;
    skill.defaultValue = QByteArray::number(MaxEngineLevel);
    skill.min = MinEngineLevel;
    skill.max = MaxEngineLevel;
    Write(FormatUciOption(skill));
    TUciOption limit;
    limit.name = "UCI_LimitStrength";
    limit.type = TUciOptionType::Check;
    limit.defaultValue = "false";
    Write(FormatUciOption(limit));
    TUciOption elo;
    elo.name = "UCI_Elo";
    elo.type = TUciOptionType::Spin;
    elo.defaultValue = QByteArray::number(EngineLevel(DefaultEngineLevel).elo);
    elo.min = EngineLevel(MinEngineLevel).elo;
    elo.max = EngineLevel(MaxEngineLevel).elo;
    Write(FormatUciOption(elo));
    Write("uciok");
}

void TUciEngine::SetOption(const TUciCommand& c) {
    auto number = [&](int low, int high, int* out) {
        bool ok = false;
        const int v = c.value.toInt(&ok);
        if (!ok || v < low || v > high) {
            Write(FormatUciInfoString("option " + c.name + " takes a number from " +
                                      QByteArray::number(low) + " to " + QByteArray::number(high)));
            return false;
        }
        *out = v;
        return true;
    };
    if (SameName(c.name, "Skill")) {
        number(MinEngineLevel, MaxEngineLevel, &skill_);
    } else if (SameName(c.name, "UCI_LimitStrength")) {
        if (c.value != "true" && c.value != "false") {
            Write(FormatUciInfoString("option UCI_LimitStrength takes true or false"));
            return;
        }
        limitStrength_ = c.value == "true";
        if (limitStrength_)
            skill_ = LevelOfElo(elo_);
        else
            skill_ = MaxEngineLevel;
    } else if (SameName(c.name, "UCI_Elo")) {
        if (number(EngineLevel(MinEngineLevel).elo, EngineLevel(MaxEngineLevel).elo, &elo_) &&
            limitStrength_)
            skill_ = LevelOfElo(elo_);
    } else {
        Write(FormatUciInfoString("no such option: " + c.name));
    }
}

void TUciEngine::SetPosition(const TUciCommand& c) {
    TUciPosition next;
    QString reason;
    if (!c.fen.isEmpty() && !next.SetFen(c.fen, &reason)) {
        Write(FormatUciInfoString("position not taken: " + reason.toUtf8()));
        return;
    }
    for (const QByteArray& move : c.moves) {
        if (!next.Play(move)) {
            Write(FormatUciInfoString("position not taken: illegal move " + move));
            return;
        }
    }
    position_ = std::move(next);
}

void TUciEngine::StartSearch(const TUciGo& go) {
    if (worker_.joinable()) {
        if (!finished_.load()) Write(FormatUciInfoString("go during a search: that search stops"));
        StopSearch();
    }
    const bool white = position_.WhiteToMove();
    TSearchLimits limits = EngineLevelLimits(skill_, QRandomGenerator::global()->generate());
    const bool open = go.infinite || go.ponder || go.movetime || go.HasClock(white);
    // The strongest level has no limits of its own when the GUI gives a clock or none at all.
    if (skill_ == MaxEngineLevel && open) {
        limits.depth = TEngineSearch::MaxDepth;
        limits.nodes = 0;
    }
    if (go.mate > 0) limits.depth = std::min(2 * go.mate, int(TEngineSearch::MaxDepth));
    if (go.depth > 0) limits.depth = std::min(go.depth, int(TEngineSearch::MaxDepth));
    if (go.nodes > 0) limits.nodes = std::uint64_t(go.nodes);
    if (debug_)
        Inform("level " + QByteArray::number(skill_) + ": depth " +
               QByteArray::number(limits.depth) + ", nodes " +
               QByteArray::number(qulonglong(limits.nodes)) + ", noise " +
               QByteArray::number(limits.rootNoise));
    if (!go.searchmoves.isEmpty())
        Write(FormatUciInfoString("searchmoves is not supported: every move is searched"));

    const bool held = go.infinite || go.ponder;
    const TUciTimePlan plan = held ? TUciTimePlan{} : PlanUciTime(go, white);
    pondering_ = go.ponder;
    pendingPonder_ = go;
    {
        std::lock_guard<std::mutex> lock(holdMutex_);
        hold_ = held;
    }
    stop_.store(false);
    finished_.store(false);
    softMs_.store(plan.softMs);
    startTicks_.store(std::chrono::steady_clock::now().time_since_epoch().count());
    position_.LoadInto(*search_);
    worker_ = std::thread([this, limits, mate = go.mate] { RunSearch(limits, mate); });
    ArmDeadline(plan.hardMs);
}

void TUciEngine::RunSearch(TSearchLimits limits, int mateMoves) {
    Listener listener(*this, mateMoves);
    TEngineMove best;
    QByteArray bestText, ponder;
    if (search_->Go(limits, &listener, &best)) {
        bestText = EngineMoveText(best);
        if (search_->PvLength() > 1) ponder = EngineMoveText(search_->PvMove(1));
    } else {
        Write(FormatUciInfoString("no legal move"));
    }
    {
        std::unique_lock<std::mutex> lock(holdMutex_);
        holdWake_.wait(lock, [this] { return !hold_ || stop_.load(); });
    }
    Write(FormatUciBestMove(bestText, ponder));
    finished_.store(true);
    QMetaObject::invokeMethod(
        this, [this] { SearchEnded(); }, Qt::QueuedConnection);
}

void TUciEngine::SearchEnded() {
    if (!quitAfterSearch_ || !finished_.load() || !worker_.joinable()) return;
    StopSearch();
    if (OnQuit) OnQuit();
}

void TUciEngine::StopSearch() {
    deadline_->stop();
    pondering_ = false;
    if (!worker_.joinable()) return;
    stop_.store(true);
    {
        std::lock_guard<std::mutex> lock(holdMutex_);
        hold_ = false;
    }
    holdWake_.notify_all();
    worker_.join();
}

void TUciEngine::Release() {
    {
        std::lock_guard<std::mutex> lock(holdMutex_);
        hold_ = false;
    }
    holdWake_.notify_all();
}

void TUciEngine::ArmDeadline(qint64 hardMs) {
    deadline_->stop();
    if (hardMs >= 0) deadline_->start(int(std::min<qint64>(hardMs, 1 << 30)));
}

void TUciEngine::EndOfInput() {
    {
        std::lock_guard<std::mutex> lock(holdMutex_);
        if (hold_) stop_.store(true);
    }
    holdWake_.notify_all();
    quitAfterSearch_ = true;
    if (!Searching()) {
        StopSearch();
        if (OnQuit) OnQuit();
    }
}
