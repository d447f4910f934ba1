// The result of a game as a value: every end reason, with the user on
// either side, in every kind of game.

#include "GameResult.h"

#include <QTest>

Q_DECLARE_METATYPE(TEndReason)
Q_DECLARE_METATYPE(TMatchKind)
Q_DECLARE_METATYPE(TColour)
Q_DECLARE_METATYPE(TStoredRating)

namespace {
// Ana (1100) is the user; Bea (1300) the other side. Black is to move when
// the game ends (White made the last move).
const QString Failure = QString::fromUtf8("el motor se calló");

// What a reason gives with the user playing White (w) or Black (b), at a
// board where both sides are someone's own, and whether it is commented.
struct TReasonExpect {
    TEndReason Reason;
    const char* Name;
    QString ResultW, PanelW, ResultB, PanelB;
    bool Comment;
};

QList<TReasonExpect> Reasons() {
    const QString draw = "1/2-1/2";
    return {
        {TEndReason::BoardDraw, "board draw", draw, "Tablas por ", draw, "Tablas por ", false},
        {TEndReason::DrawAgreed, "agreed", draw, "Tablas por  acuerdo", draw, "Tablas por  acuerdo",
         true},
        {TEndReason::Repetition, "repetition", draw,
         QString::fromUtf8("Tablas por  repetición de jugada"), draw,
         QString::fromUtf8("Tablas por  repetición de jugada"), false},
        {TEndReason::NoMatingMaterial, "material", draw,
         "Tablas por  material insuficiente para dar mate", draw,
         "Tablas por  material insuficiente para dar mate", false},
        {TEndReason::StaleMate, "stalemate", draw, "Tablas por  rey ahogado", draw,
         "Tablas por  rey ahogado", false},
        {TEndReason::OwnResignation, "own resignation", "0-1", "Ana abandona", "1-0",
         "Ana abandona", true},
        {TEndReason::OpponentResignation, "opponent resigns", "1-0", "Bea abandona", "0-1",
         "Bea abandona", true},
        {TEndReason::Mate, "mate", "1-0", "Ganan Blancas por  Jaque Mate", "1-0",
         "Ganan Blancas por  Jaque Mate", false},
        {TEndReason::Time, "time", "1-0", "Ganan Blancas por  tiempo", "1-0",
         "Ganan Blancas por  tiempo", true},
        {TEndReason::ObservedEnd, "host's end", "0-1", "Ganan Negras por  Jaque Mate", "0-1",
         "Ganan Negras por  Jaque Mate", true},
        {TEndReason::EngineFailure, "engine failure", "1-0", "Ganan Blancas: " + Failure, "0-1",
         "Ganan Negras: " + Failure, true},
    };
}

// Which ratings shown follow the result, and which stored one.
struct TKindExpect {
    TMatchKind Kind;
    const char* Name;
    bool UserRatingChanges, OtherRatingChanges;
    TStoredRating Stored;
    QString AnnouncementTail; // after the panel; "rating" for the user's change
};

QList<TKindExpect> Kinds() {
    return {
        {TMatchKind::Network, "network", true, true, TStoredRating::User, "rating"},
        {TMatchKind::Engine, "engine", false, true, TStoredRating::Computer,
         "\n\rTu ELO no cambia en las partidas contra Bea"},
        {TMatchKind::OneBoard, "one board", true, true, TStoredRating::None,
         "\n\rTu ELO no cambia en las partidas en un solo tablero"},
        {TMatchKind::Observed, "observed", true, true, TStoredRating::None, ""},
        {TMatchKind::Replay, "replay", false, false, TStoredRating::None, ""},
    };
}

TEndFacts Facts(TEndReason reason, TMatchKind kind, TColour colour, bool whiteToMove) {
    TEndFacts f;
    f.Reason = reason;
    f.Kind = kind;
    f.MyColour = colour;
    f.WhiteToMove = whiteToMove;
    const TPlayer ana{"Ana", 1100}, bea{"Bea", 1300};
    f.White = colour == TColour::White ? ana : bea;
    f.Black = colour == TColour::White ? bea : ana;
    f.UserNick = "Ana";
    f.OpponentName = "Bea";
    f.EngineFailure = Failure;
    f.AnnouncedPanel = "Ganan Negras por  Jaque Mate";
    f.AnnouncedResult = "0-1";
    return f;
}
} // namespace

class TestGameResult : public QObject {
    Q_OBJECT

private slots:
    void everyReasonColourAndKind_data();
    void everyReasonColourAndKind();
    void sideToMoveDecides_data();
    void sideToMoveDecides();
    void abandonedHasNoResult_data();
    void abandonedHasNoResult();
    void anEngineThatKeepsNoRatingChangesNone();
};

void TestGameResult::everyReasonColourAndKind_data() {
    QTest::addColumn<TEndReason>("reason");
    QTest::addColumn<TMatchKind>("kind");
    QTest::addColumn<TColour>("colour");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("panel");
    QTest::addColumn<bool>("comment");
    QTest::addColumn<bool>("userChanges");
    QTest::addColumn<bool>("otherChanges");
    QTest::addColumn<TStoredRating>("stored");
    QTest::addColumn<QString>("tail");
    for (const TReasonExpect& r : Reasons())
        for (const TKindExpect& k : Kinds())
            for (const TColour colour : {TColour::White, TColour::Black}) {
                const bool white = colour == TColour::White;
                QString result = white ? r.ResultW : r.ResultB;
                QString panel = white ? r.PanelW : r.PanelB;
                // At one board the user's resignation is the side to move's:
                // Black, here, whoever the dialog called the user.
                if (k.Kind == TMatchKind::OneBoard && r.Reason == TEndReason::OwnResignation) {
                    result = "1-0";
                    panel = (white ? "Bea" : "Ana") + QString(" abandona");
                }
                // The host's announcement scores nothing of this side's.
                const bool scored = r.Reason != TEndReason::ObservedEnd;
                QTest::addRow("%s, %s, %s", r.Name, k.Name, white ? "White" : "Black")
                    << r.Reason << k.Kind << colour << result << panel << r.Comment
                    << (k.UserRatingChanges && scored) << (k.OtherRatingChanges && scored)
                    << (scored ? k.Stored : TStoredRating::None) << k.AnnouncementTail;
            }
}

void TestGameResult::everyReasonColourAndKind() {
    QFETCH(TEndReason, reason);
    QFETCH(TMatchKind, kind);
    QFETCH(TColour, colour);
    QFETCH(QString, result);
    QFETCH(bool, userChanges);
    QFETCH(bool, otherChanges);
    QFETCH(QString, tail);
    const TEndFacts f = Facts(reason, kind, colour, false);
    const TGameResult r = GameResult(f);
    QVERIFY(r.Ends);
    QCOMPARE(r.ResultText, result);
    QTEST(r.PanelText, "panel");
    QTEST(r.RecordComment, "comment");
    QTEST(r.Stored, "stored");
    const int whiteScore = result == "1-0" ? 100 : result == "0-1" ? 0 : 50;
    QCOMPARE(r.WhiteScore, whiteScore);
    QCOMPARE(r.BlackScore, 100 - whiteScore);
    QCOMPARE(r.Cowardice,
             reason == TEndReason::OwnResignation || reason == TEndReason::OpponentResignation);
    // The ratings shown: a side's changes by NewElo from both old ratings,
    // or stays.
    const bool white = colour == TColour::White;
    const bool whiteChanges = white ? userChanges : otherChanges;
    const bool blackChanges = white ? otherChanges : userChanges;
    QCOMPARE(r.WhiteRatingChanges, whiteChanges);
    QCOMPARE(r.BlackRatingChanges, blackChanges);
    QCOMPARE(r.NewWhiteElo,
             whiteChanges ? NewElo(f.White.Elo, f.Black.Elo, whiteScore) : f.White.Elo);
    QCOMPARE(r.NewBlackElo,
             blackChanges ? NewElo(f.Black.Elo, f.White.Elo, 100 - whiteScore) : f.Black.Elo);
    // The stored rating is the user's side's, or the engine's (the other side's).
    const int userElo = white ? r.NewWhiteElo : r.NewBlackElo;
    const int otherElo = white ? r.NewBlackElo : r.NewWhiteElo;
    QCOMPARE(r.StoredElo, r.Stored == TStoredRating::User       ? userElo
                          : r.Stored == TStoredRating::Computer ? otherElo
                                                                : 0);
    // The announcement: the panel without its double blanks, then what
    // happens to the user's rating.
    if (tail == "rating") {
        const int after = white ? r.NewWhiteElo : r.NewBlackElo;
        tail = QString::fromUtf8("\n\rAna 1100 → %1 (%2)")
                   .arg(after)
                   .arg(QString::asprintf("%+d", after - 1100));
    }
    QCOMPARE(r.Announcement, r.PanelText.simplified() + tail);
}

// Mate and time are lost by the side to move; at one board the user's
// resignation is the side to move's.
void TestGameResult::sideToMoveDecides_data() {
    QTest::addColumn<TEndReason>("reason");
    QTest::addColumn<TMatchKind>("kind");
    QTest::addColumn<bool>("whiteToMove");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("panel");
    QTest::newRow("mate, White to move") << TEndReason::Mate << TMatchKind::Network << true << "0-1"
                                         << "Ganan Negras por  Jaque Mate";
    QTest::newRow("time, White to move") << TEndReason::Time << TMatchKind::Engine << true << "0-1"
                                         << "Ganan Negras por  tiempo";
    QTest::newRow("one board, White resigns")
        << TEndReason::OwnResignation << TMatchKind::OneBoard << true << "0-1"
        << "Ana abandona";
    QTest::newRow("network, not the side to move")
        << TEndReason::OwnResignation << TMatchKind::Network << false << "0-1"
        << "Ana abandona";
}

void TestGameResult::sideToMoveDecides() {
    QFETCH(TEndReason, reason);
    QFETCH(TMatchKind, kind);
    QFETCH(bool, whiteToMove);
    const TGameResult r = GameResult(Facts(reason, kind, TColour::White, whiteToMove));
    QTEST(r.ResultText, "result");
    QTEST(r.PanelText, "panel");
}

void TestGameResult::abandonedHasNoResult_data() {
    QTest::addColumn<TMatchKind>("kind");
    for (const TKindExpect& k : Kinds())
        QTest::newRow(k.Name) << k.Kind;
}

void TestGameResult::abandonedHasNoResult() {
    QFETCH(TMatchKind, kind);
    const TGameResult r = GameResult(Facts(TEndReason::Abandoned, kind, TColour::White, true));
    QVERIFY(!r.Ends);
    QVERIFY(r.ResultText.isEmpty());
    QVERIFY(!r.WhiteRatingChanges && !r.BlackRatingChanges);
    QCOMPARE(r.Stored, TStoredRating::None);
    QCOMPARE(r.NewWhiteElo, 1100);
    QCOMPARE(r.NewBlackElo, 1300);
}

// An external engine plays at the strength it was given: no rating follows.
void TestGameResult::anEngineThatKeepsNoRatingChangesNone() {
    TEndFacts f = Facts(TEndReason::Mate, TMatchKind::Engine, TColour::Black, true);
    f.EngineKeepsRating = false;
    const TGameResult r = GameResult(f);
    QCOMPARE(r.ResultText, QString("0-1"));
    QVERIFY(!r.WhiteRatingChanges && !r.BlackRatingChanges);
    QCOMPARE(r.Stored, TStoredRating::None);
}

QTEST_GUILESS_MAIN(TestGameResult)
#include "tst_gameresult.moc"
