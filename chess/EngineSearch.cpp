// Iterative deepening, alpha-beta and quiescence of the built-in engine.
#include "EngineSearch.h"

#include <cstring>

namespace {

constexpr std::int32_t kHistoryCap = 1 << 30;

} // namespace

// ---------------------------------------------------------------- search

bool TEngineSearch::Think(int depth, TEngineMove* best, int* score) {
    TSearchLimits limits;
    limits.depth = depth;
    int result = 0;
    if (!Deepen(limits, nullptr, &result) || Aborted()) return false;
    if (best) *best = pv_[0][0];
    if (score) *score = result;
    return true;
}

bool TEngineSearch::Go(const TSearchLimits& limits, TSearchListener* listener, TEngineMove* best,
                       int* score) {
    int result = 0;
    if (!Deepen(limits, listener, &result)) {
        // Stopped at once, or nothing to play: the first legal move, if any.
        ply_ = 0;
        firstMove_[0] = 0;
        checkCache_[0] = -1;
        Generate();
        pvLength_[0] = 0;
        for (const TEngineMoveEntry* e = MovesBegin(); e != MovesEnd(); ++e) {
            if (!MakeMove(e->m)) continue;
            TakeBackMove();
            pv_[0][0] = e->m;
            pvLength_[0] = 1;
            break;
        }
        if (pvLength_[0] == 0) return false;
        result = Evaluate();
    }
    if (best) *best = pv_[0][0];
    if (score) *score = result;
    return true;
}

int TEngineSearch::MateIn(int score) const {
    const int base = lastMateBase_;
    if (score >= base - MaxPly) return (base - score + 1) / 2;
    if (score <= -base + MaxPly) return -((base + score + 1) / 2);
    return 0;
}

bool TEngineSearch::Deepen(const TSearchLimits& limits, TSearchListener* listener, int* result) {
    nodes_ = 0;
    nodeLimit_ = limits.nodes ? limits.nodes : UINT64_MAX;
    rootNoise_ = limits.rootNoise > 0 ? limits.rootNoise : 0;
    noiseSeed_ = limits.noiseSeed;
    ply_ = 0;
    firstMove_[0] = 0;
    checkCache_[0] = -1;
    InitEvaluation();
    std::memset(history_, 0, sizeof history_);
    pvLength_[0] = 0;
    bestLineLength_ = 0;
    lastMateBase_ = Infinity;
    int finished = 0, finishedScore = 0;
    const int depth = limits.depth < MaxDepth ? limits.depth : MaxDepth;
    for (int d = 1; d <= depth && !Aborted(); ++d) {
        if (finished > 0 && listener && !listener->StartIteration(d)) break;
        followPv_ = true;
        previousPvLength_ = pvLength_[0];
        int r =
            rootNoise_ ? SearchNoisyRoot(-Infinity, Infinity, d) : Search(-Infinity, Infinity, d);
        int base = Infinity;
        // A position whose evaluation lies beyond the root window (a huge
        // material surplus or deficit) fails high or low at the root: no
        // best line, or a first move taken blindly. Such a depth is searched
        // again with a window, and mate scores, wide enough for any
        // evaluation, so a side with a legal move always gets a real choice
        // (and a mate still beats material). Ordinary positions, whose scores
        // stay inside the window, never come here.
        if (!Aborted() && (pvLength_[0] == 0 || r >= Infinity || r <= -Infinity)) {
            followPv_ = true;
            mateBase_ = WideWindow;
            r = rootNoise_ ? SearchNoisyRoot(-WideWindow, WideWindow, d)
                           : Search(-WideWindow, WideWindow, d);
            mateBase_ = Infinity;
            base = WideWindow;
        }
        if (Aborted() || pvLength_[0] == 0) break;
        finished = d;
        finishedScore = r;
        lastMateBase_ = base;
        bestLineLength_ = pvLength_[0];
        std::memcpy(bestLine_, pv_[0],
                    sizeof(TEngineMove) * static_cast<unsigned>(bestLineLength_));
        if (listener) listener->IterationDone(*this, d, r);
    }
    if (finished == 0) return false;
    // A stopped iteration may have left half a line behind.
    pvLength_[0] = bestLineLength_;
    std::memcpy(pv_[0], bestLine_, sizeof(TEngineMove) * static_cast<unsigned>(bestLineLength_));
    *result = finishedScore;
    return true;
}

int TEngineSearch::RootBonus(const TEngineMove& m) const {
    std::uint32_t h =
        noiseSeed_ ^ (std::uint32_t(m.from) << 16 | std::uint32_t(m.to) << 8 | m.promote);
    h ^= h >> 16;
    h *= 0x7feb352dU;
    h ^= h >> 15;
    h *= 0x846ca68bU;
    h ^= h >> 16;
    return static_cast<int>(h % static_cast<std::uint32_t>(rootNoise_ + 1));
}

int TEngineSearch::SearchNoisyRoot(int alpha, int beta, int depth) {
    ++nodes_;
    pvLength_[0] = 0;
    const bool check = InCheck(side_);
    checkCache_[0] = check ? 1 : 0;
    if (check) ++depth;
    Generate();
    if (followPv_) SortPV();
    bool legal = false;
    int best = alpha;
    const int end = firstMove_[1];
    for (int i = firstMove_[0]; i < end && !Aborted(); ++i) {
        PickMove(i);
        const TEngineMove m = moveList_[i].m;
        if (!MakeMove(m)) continue;
        legal = true;
        // The move beats the best so far only when its score passes the best
        // less its own bonus: that is its window's floor.
        const int bonus = RootBonus(m);
        const int floor = best - bonus;
        const int x = -Search(-beta, -floor, depth - 1);
        TakeBackMove();
        if (x <= floor) continue;
        // A mate keeps its score: no bonus makes a mate look nearer or farther.
        const bool mate = x >= mateBase_ - MaxPly || x <= -mateBase_ + MaxPly;
        const int chosen = mate ? x : x + bonus;
        if (chosen > best) {
            std::int32_t& credit = history_[m.from][m.to];
            if (credit < kHistoryCap) credit += depth;
            best = chosen;
            UpdatePv(m);
        }
    }
    if (!legal) return check ? -mateBase_ : 0;
    return best;
}

void TEngineSearch::UpdatePv(const TEngineMove& m) {
    const int p = ply_;
    pv_[p][p] = m;
    const int len = pvLength_[p + 1];
    for (int j = p + 1; j < len; ++j)
        pv_[p][j] = pv_[p + 1][j];
    pvLength_[p] = len;
}

int TEngineSearch::Search(int alpha, int beta, int depth) {
    ++nodes_;
    if (Aborted()) return 0;
    if (depth <= 0) return Quiesce(alpha, beta);
    pvLength_[ply_] = ply_;
    if (ply_ >= MaxPly - 1 || firstMove_[ply_] > MoveStack - MoveRoom) return Evaluate();

    const bool check = InCheck(side_);
    checkCache_[ply_] = check ? 1 : 0;
    if (check) ++depth;
    Generate();
    if (followPv_) SortPV();

    bool legal = false;
    const int end = firstMove_[ply_ + 1];
    for (int i = firstMove_[ply_]; i < end && !Aborted(); ++i) {
        PickMove(i);
        const TEngineMove m = moveList_[i].m;
        if (!MakeMove(m)) continue;
        legal = true;
        const int x = -Search(-beta, -alpha, depth - 1);
        TakeBackMove();
        if (x > alpha) {
            std::int32_t& credit = history_[m.from][m.to];
            if (credit < kHistoryCap) credit += depth; // never overflows in a long search
            if (x >= beta) return beta;
            alpha = x;
            UpdatePv(m);
        }
    }
    if (!legal) return check ? -mateBase_ + ply_ : 0;
    return alpha;
}

int TEngineSearch::Quiesce(int alpha, int beta) {
    ++nodes_;
    // Checked here too: in crowded positions one quiescence search alone can
    // run for minutes, and a stop must not wait for it.
    if (Aborted()) return 0;
    pvLength_[ply_] = ply_;
    if (ply_ >= MaxPly - 1 || firstMove_[ply_] > MoveStack - MoveRoom) return Evaluate();

    const bool check = InCheck(side_);
    checkCache_[ply_] = check ? 1 : 0;
    if (check) {
        Generate();
    } else {
        const int x = Evaluate();
        if (x >= beta) return beta;
        if (x > alpha) alpha = x;
        GenerateCaptures();
    }
    if (followPv_) SortPV();

    bool legal = false;
    const int end = firstMove_[ply_ + 1];
    for (int i = firstMove_[ply_]; i < end; ++i) {
        PickMove(i);
        const TEngineMove m = moveList_[i].m;
        if (!MakeMove(m)) continue;
        legal = true;
        const int x = -Quiesce(-beta, -alpha);
        TakeBackMove();
        if (x > alpha) {
            if (x >= beta) return beta;
            alpha = x;
            UpdatePv(m);
        }
    }
    if (check && !legal) return -mateBase_ + ply_;
    return alpha;
}

void TEngineSearch::SortPV() {
    followPv_ = false;
    if (ply_ >= previousPvLength_) return;
    const TEngineMove want = pv_[0][ply_];
    const int end = firstMove_[ply_ + 1];
    for (int i = firstMove_[ply_]; i < end; ++i) {
        if (moveList_[i].m.from == want.from && moveList_[i].m.to == want.to) {
            followPv_ = true;
            moveList_[i].score += 10000000;
            return;
        }
    }
}

void TEngineSearch::PickMove(int i) {
    const int end = firstMove_[ply_ + 1];
    int best = i;
    std::int32_t bestScore = moveList_[i].score;
    for (int j = i + 1; j < end; ++j) {
        if (moveList_[j].score > bestScore) {
            bestScore = moveList_[j].score;
            best = j;
        }
    }
    if (best != i) {
        const TEngineMoveEntry t = moveList_[i];
        moveList_[i] = moveList_[best];
        moveList_[best] = t;
    }
}
