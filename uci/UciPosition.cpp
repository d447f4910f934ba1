// A UCI position: a start and moves played on the engine's rules.
#include "UciPosition.h"

#include "EngineSearch.h"
#include "PositionCheck.h"
#include "UciText.h"

#include <cstring>

TUciPosition::TUciPosition() : scratch_(std::make_unique<TEngineSearch>()) {
    SetStart();
}

TUciPosition::~TUciPosition() = default;
TUciPosition::TUciPosition(TUciPosition&&) noexcept = default;
TUciPosition& TUciPosition::operator=(TUciPosition&&) noexcept = default;

void TUciPosition::SetStart() {
    std::memcpy(squares_, "rnbqkbnrpppppppp                                PPPPPPPPRNBQKBNR", 64);
    white_ = true;
    castle_ = 15;
    ep_ = -1;
}

bool TUciPosition::SetFen(const QByteArray& fen, QString* reason) {
    if (!IsPlayableFen(QString::fromLatin1(fen), reason)) return false;
    if (!scratch_->LoadFen(fen.constData())) {
        if (reason) *reason = QStringLiteral("FEN no válido");
        return false;
    }
    ReadBack();
    return true;
}

bool TUciPosition::Play(QByteArrayView move) {
    int from = 0, to = 0;
    char promotion = 0;
    if (!SplitUciMove(move, &from, &to, &promotion)) return false;
    TEngineSearch& e = *scratch_;
    LoadInto(e);
    e.Generate();
    for (const TEngineMoveEntry* entry = e.MovesBegin(); entry != e.MovesEnd(); ++entry) {
        const TEngineMove m = entry->m;
        if (m.from != from || m.to != to) continue;
        const bool promotes = (m.bits & TEngineSearch::FlagPromote) != 0;
        if (promotes != (promotion != 0)) continue;
        if (promotes && " nbrq"[m.promote] != promotion) continue;
        if (!e.MakeMove(m)) return false;
        ReadBack();
        return true;
    }
    return false;
}

void TUciPosition::LoadInto(TEngineSearch& engine) const {
    engine.Load(squares_, white_, castle_, ep_);
}

void TUciPosition::ReadBack() {
    const TEngineSearch& e = *scratch_;
    static constexpr char kLetters[] = "pnbrqk";
    for (int sq = 0; sq < 64; ++sq) {
        const int colour = e.ColourAt(sq);
        if (colour == TEngineSearch::Empty) {
            squares_[sq] = ' ';
            continue;
        }
        const char letter = kLetters[e.PieceAt(sq)];
        squares_[sq] = colour == TEngineSearch::White ? char(letter - 'a' + 'A') : letter;
    }
    white_ = e.Side() == TEngineSearch::White;
    castle_ = e.Castle();
    ep_ = e.EpSquare();
}
