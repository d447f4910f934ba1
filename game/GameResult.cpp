#include "GameResult.h"

namespace {

struct TReasonRow {
    TEndReason Reason;
    const char* Ending; // joined to the panel's first text as it stands
    bool Comment;       // the panel's text follows the result in the record
};

const TReasonRow ReasonRows[] = {
    {TEndReason::BoardDraw, "", false},
    {TEndReason::DrawAgreed, " acuerdo", true},
    {TEndReason::Repetition, " repetición de jugada", false},
    {TEndReason::NoMatingMaterial, " material insuficiente para dar mate", false},
    {TEndReason::StaleMate, " rey ahogado", false},
    {TEndReason::OwnResignation, " abandona", true},
    {TEndReason::OpponentResignation, " abandona", true},
    {TEndReason::Mate, " Jaque Mate", false},
    {TEndReason::Time, " tiempo", true},
    {TEndReason::ObservedEnd, "", true},
    {TEndReason::Abandoned, "", false},
    {TEndReason::EngineFailure, "", true},
};

const TReasonRow& RowOf(TEndReason reason) {
    for (const TReasonRow& row : ReasonRows)
        if (row.Reason == reason) return row;
    return ReasonRows[0];
}

// White won (1), lost (0) or drew (-1); the panel's first text.
struct TOutcome {
    int WhiteWins = -1;
    QString Panel;
};

TOutcome WinnerBy(bool whiteWins, const char* how) {
    return {whiteWins ? 1 : 0, QString::fromUtf8(whiteWins ? "Ganan Blancas" : "Ganan Negras") +
                                   QString::fromUtf8(how)};
}

TOutcome OutcomeOf(const TEndFacts& f) {
    switch (f.Reason) {
    case TEndReason::Mate:
    case TEndReason::Time:
        return WinnerBy(!f.WhiteToMove, " por ");
    case TEndReason::OwnResignation:
    case TEndReason::OpponentResignation: {
        // At one board both sides are the user's: the side to move resigns.
        const bool own = f.Reason == TEndReason::OwnResignation;
        const bool byMover = (f.Kind == TMatchKind::OneBoard && own) || f.MyColour == TColour::None;
        const bool whiteResigned = byMover ? f.WhiteToMove : own == (f.MyColour == TColour::White);
        return {whiteResigned ? 0 : 1, whiteResigned ? f.White.Nick : f.Black.Nick};
    }
    case TEndReason::EngineFailure: {
        TOutcome o = WinnerBy(f.MyColour == TColour::White, ": ");
        o.Panel += f.EngineFailure;
        return o;
    }
    default:
        return {-1, QStringLiteral("Tablas por ")};
    }
}

int ScoreOf(const QString& result, bool white) {
    if (result == u"1-0") return white ? 100 : 0;
    if (result == u"0-1") return white ? 0 : 100;
    return 50;
}

QString Announcement(const TEndFacts& f, const TGameResult& r) {
    const QString panel = r.PanelText.simplified();
    const QString newLine = QStringLiteral("\n\r");
    switch (f.Kind) {
    case TMatchKind::Network: {
        if (f.MyColour == TColour::None) return panel;
        const bool white = f.MyColour == TColour::White;
        const int before = white ? f.White.Elo : f.Black.Elo;
        const int after = white ? r.NewWhiteElo : r.NewBlackElo;
        return panel + newLine +
               QString::fromUtf8("%1 %2 → %3 (%4)")
                   .arg(f.UserNick)
                   .arg(before)
                   .arg(after)
                   .arg(QString::asprintf("%+d", after - before));
    }
    case TMatchKind::Engine:
        return panel + newLine + QString::fromUtf8("Tu ELO no cambia en las partidas contra ") +
               f.OpponentName;
    case TMatchKind::OneBoard:
        return panel + newLine +
               QString::fromUtf8("Tu ELO no cambia en las partidas en un solo tablero");
    case TMatchKind::Observed:
    case TMatchKind::Replay:
        break;
    }
    return panel;
}

} // namespace

TGameMode ModeOf(TMatchKind kind) {
    switch (kind) {
    case TMatchKind::Engine:
        return TGameMode::VsComputer;
    case TMatchKind::OneBoard:
        return TGameMode::LocalTwoPlayers;
    case TMatchKind::Replay:
        return TGameMode::Replay;
    case TMatchKind::Network:
    case TMatchKind::Observed:
        break;
    }
    return TGameMode::Network;
}

TGameResult GameResult(const TEndFacts& f) {
    TGameResult r;
    r.NewWhiteElo = f.White.Elo;
    r.NewBlackElo = f.Black.Elo;
    if (f.Reason == TEndReason::Abandoned) return r;
    r.Ends = true;
    const TReasonRow& row = RowOf(f.Reason);
    if (f.Reason == TEndReason::ObservedEnd) {
        r.ResultText = f.AnnouncedResult;
        r.PanelText = f.AnnouncedPanel;
    } else {
        const TOutcome o = OutcomeOf(f);
        r.ResultText = o.WhiteWins < 0   ? QStringLiteral("1/2-1/2")
                       : o.WhiteWins > 0 ? QStringLiteral("1-0")
                                         : QStringLiteral("0-1");
        r.PanelText = o.Panel + QString::fromUtf8(row.Ending);
    }
    r.WhiteScore = ScoreOf(r.ResultText, true);
    r.BlackScore = ScoreOf(r.ResultText, false);
    r.RecordComment = row.Comment;
    r.Cowardice =
        f.Reason == TEndReason::OwnResignation || f.Reason == TEndReason::OpponentResignation;

    // Whose ratings follow the result. The host's announcement carries the
    // result but no score of this side's, and an unfinished one none at all.
    const bool scored = f.Reason != TEndReason::ObservedEnd;
    const bool engineWhite = f.MyColour == TColour::Black;
    switch (scored ? f.Kind : TMatchKind::Replay) {
    case TMatchKind::Network:
        r.WhiteRatingChanges = r.BlackRatingChanges = true;
        r.Stored = f.MyColour == TColour::None ? TStoredRating::None : TStoredRating::User;
        break;
    case TMatchKind::Engine:
        // The user's rating does not change against an engine, as the
        // announcement says; the built-in engine's follows its results.
        r.WhiteRatingChanges = f.EngineKeepsRating && engineWhite;
        r.BlackRatingChanges = f.EngineKeepsRating && !engineWhite;
        r.Stored = f.EngineKeepsRating ? TStoredRating::Computer : TStoredRating::None;
        break;
    case TMatchKind::OneBoard:
    case TMatchKind::Observed:
        r.WhiteRatingChanges = r.BlackRatingChanges = true;
        break;
    case TMatchKind::Replay:
        break;
    }
    if (r.WhiteRatingChanges) r.NewWhiteElo = NewElo(f.White.Elo, f.Black.Elo, r.WhiteScore);
    if (r.BlackRatingChanges) r.NewBlackElo = NewElo(f.Black.Elo, f.White.Elo, r.BlackScore);
    // The user's rating is its side's; an engine's is the other side's.
    const bool userWhite = f.MyColour == TColour::White;
    if (r.Stored == TStoredRating::User)
        r.StoredElo = userWhite ? r.NewWhiteElo : r.NewBlackElo;
    else if (r.Stored == TStoredRating::Computer)
        r.StoredElo = userWhite ? r.NewBlackElo : r.NewWhiteElo;
    r.Announcement = Announcement(f, r);
    return r;
}
