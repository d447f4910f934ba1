// The room on loopback: games between participants relayed by the host,
// several at once, watchers choosing a game, forged game messages, a player
// who goes, and a peer that knows only the older words.

#include "ChatTestUtil.h"
#include "ChessModel.h"
#include "ClubGame.h"
#include "GameFile.h"
#include "NetworkGame.h"
#include "ReplayBoard.h"

namespace {

bool Play(TPeer& mover, TPeer& other, const QString& move) {
    const int plies = int(other.Game().Record().size());
    return mover.program->Model().Move(TextToSquare(move.left(2)), TextToSquare(move.mid(2))) &&
           WaitFor([&] { return other.Game().Record() == mover.Game().Record(); }) &&
           other.Game().Record().size() >= plies;
}

// Every participant knows the room once the host's lists have arrived.
bool InRoom(TPeer& peer) {
    return WaitFor([&] { return peer.Chat().ClubGame().Directory().HostSpeaks(); });
}

// Ana offers Bea a game (Ana White); Bea accepts.
bool AgreeGame(TPeer& offerer, TPeer& target, int minutes = 5) {
    target.dialogs.AnswerYes(TQuestion::GameOffer);
    offerer.Chat().OfferGame(target.Game().Nick(), 0, minutes, offerer.Game().Elo());
    return WaitFor(
        [&] { return offerer.Game().PlaysNetworkGame() && target.Game().PlaysNetworkGame(); });
}

const QStringList Spanish{"e2e4", "e7e5", "g1f3", "b8c6", "f1b5", "a7a6", "b5a4",
                          "g8f6", "e1g1", "f8e7", "f1e1", "b7b5", "a4b3", "d7d6",
                          "c2c3", "e8g8", "h2h3", "c6b8", "d2d4", "b8d7"};

} // namespace

class TestClubRoom : public QObject {
    Q_OBJECT
private slots:
    void twoGamesAtOnce();
    void watcherSwitchesGames();
    void lateWatcherKeepsTheWholeGame();
    void hostGameOfMoreThanAnHourWatched();
    void oneOfferQuestionAtATime_data();
    void oneOfferQuestionAtATime();
    void forgedGameMessagesChangeNothing_data();
    void forgedGameMessagesChangeNothing();
    void playerLeavesMidGame();
    void olderPeerIsLeftOut();
    void hostGameResignsTheRelayedOne();
};

void TestClubRoom::twoGamesAtOnce() {
    TPeer luis("Luis"), ana("Ana"), bea("Bea"), cris("Cris");
    QVERIFY(luis.Host() && ana.Join(luis) && bea.Join(luis) && cris.Join(luis));
    QVERIFY(InRoom(ana) && InRoom(bea) && InRoom(cris));
    QCOMPARE(cris.Chat().Opponents(), (QStringList{"Ana", "Bea", "Luis"}));
    QVERIFY(AgreeGame(ana, bea));
    QCOMPARE(ana.Game().MyColour(), TColour::White);
    QCOMPARE(bea.Game().BlackPlayer().Nick, QString("Bea"));
    // Cris plays the host with the older words, at the same time.
    QVERIFY(AgreeGame(cris, luis));
    QCOMPARE(luis.Chat().ClubGame().Relay()->Games().size(), size_t(2));
    for (int i = 0; i < 6; ++i) {
        QVERIFY(Play(i % 2 ? bea : ana, i % 2 ? ana : bea, Spanish[i]));
        QVERIFY(Play(i % 2 ? luis : cris, i % 2 ? cris : luis, Spanish[i]));
    }
    QCOMPARE(ana.Game().Record(), cris.Game().Record());
    QCOMPARE(luis.Chat().ClubGame().Relay()->MovesOf(ana.Chat().ClubGame().Playing()).size(), 6);
    QCOMPARE(ana.Chat().NickStatus("Cris"), QString("juega con Luis"));
    // Everyone plays, the host too: nobody is free.
    QVERIFY(WaitFor([&] { return ana.Chat().Opponents().isEmpty(); }));
    // A resignation ends only its own game.
    bea.Game().Resign();
    QVERIFY(WaitFor([&] { return !ana.Game().GameInProgress(); }));
    QCOMPARE(ana.Game().Record().last(), QString("1-0 {Bea abandona}"));
    QVERIFY(cris.Game().PlaysNetworkGame() && luis.Game().PlaysNetworkGame());
    QVERIFY(WaitFor([&] { return luis.Chat().ClubGame().Relay()->Games().size() == 1; }));
    QVERIFY(!luis.dialogs.HasUnexpected() && !ana.dialogs.HasUnexpected());
}

void TestClubRoom::watcherSwitchesGames() {
    TPeer luis("Luis"), ana("Ana"), bea("Bea"), cris("Cris"), dan("Dan");
    QVERIFY(luis.Host() && ana.Join(luis) && bea.Join(luis) && cris.Join(luis) && dan.Join(luis));
    QVERIFY(InRoom(dan));
    QVERIFY(AgreeGame(ana, bea));
    QVERIFY(AgreeGame(cris, luis));
    QVERIFY(Play(ana, bea, "e2e4"));
    QVERIFY(Play(cris, luis, "d2d4"));
    QVERIFY(WaitFor([&] { return dan.Chat().ClubGame().Directory().Games().size() == 2; }));
    // The list: the room's games in the order they began.
    dan.dialogs.AnswerChoice(TQuestion::WatchGame, 0);
    dan.Chat().bObservarClick();
    QVERIFY(WaitFor([&] { return dan.Game().Record().join('/') == "1.Pe2e4"; }));
    QCOMPARE(dan.Game().Role(), TRole::Observer);
    QCOMPARE(dan.Chat().NickStatus("Dan"), QString(u8"mira Ana – Bea"));
    QVERIFY(WaitFor([&] { return ana.Chat().NickStatus("Dan") == u"mira Ana – Bea"; }));
    // The host reads the same from its own referee.
    QCOMPARE(luis.Chat().NickStatus("Dan"), QString(u8"mira Ana – Bea"));
    QCOMPARE(luis.Chat().NickStatus("Bea"), QString("juega con Ana"));
    QCOMPARE(luis.Chat().NickStatus("Luis"), QString("juega con Cris"));
    QVERIFY(Play(bea, ana, "e7e5"));
    QVERIFY(WaitFor([&] { return dan.Game().Record().join('/') == "1.Pe2e4 Pe7e5"; }));
    QVERIFY(Play(luis, cris, "d7d5"));
    // The host's game, from its start.
    dan.dialogs.AnswerChoice(TQuestion::WatchGame, 1);
    dan.Chat().bObservarClick();
    QVERIFY(WaitFor([&] { return dan.Game().WhitePlayer().Nick == "Cris"; }));
    // The list as it stood when "Observar" was pressed: each game's moves.
    QCOMPARE(
        dan.dialogs.Log().last().Items,
        (QStringList{u8"Ana – Bea, 2 jugadas", u8"Cris – Luis, 2 jugadas", "Dejar de observar"}));
    QVERIFY(WaitFor([&] { return dan.Game().Record().join('/') == "1.Pd2d4 Pd7d5"; }));
    QVERIFY(Play(cris, luis, "c2c4"));
    QVERIFY(Play(ana, bea, "g1f3"));
    QVERIFY(WaitFor([&] { return dan.Game().Record().join('/') == "1.Pd2d4 Pd7d5/2.Pc2c4"; }));
    // Stops watching: nothing more arrives.
    dan.dialogs.AnswerChoice(TQuestion::WatchGame, 2);
    dan.Chat().bObservarClick();
    QVERIFY(WaitFor([&] { return !dan.Game().GameInProgress(); }));
    QVERIFY(Play(luis, cris, "e7e5"));
    QVERIFY(dan.Type("/version"));
    QVERIFY(WaitFor([&] { return dan.Log().last().contains("esta usando ZugaretChat"); }));
    QCOMPARE(dan.Game().Record().join('/'), QString("1.Pd2d4 Pd7d5/2.Pc2c4"));
    QCOMPARE(dan.Game().Role(), TRole::Client);
}

void TestClubRoom::lateWatcherKeepsTheWholeGame() {
    TPeer luis("Luis"), ana("Ana"), bea("Bea"), eva("Eva");
    QVERIFY(luis.Host() && ana.Join(luis) && bea.Join(luis) && eva.Join(luis));
    QVERIFY(InRoom(eva));
    QVERIFY(AgreeGame(ana, bea));
    for (int i = 0; i < Spanish.size(); ++i)
        QVERIFY(Play(i % 2 ? bea : ana, i % 2 ? ana : bea, Spanish[i]));
    eva.dialogs.AnswerChoice(TQuestion::WatchGame, 0);
    eva.Chat().bObservarClick();
    QVERIFY(WaitFor([&] { return eva.Game().Record() == ana.Game().Record(); }));
    QVERIFY(eva.Game().Record().first().startsWith("1.Pe2e4"));
    QVERIFY(Play(ana, bea, "b1d2"));
    QVERIFY(WaitFor([&] { return eva.Game().Record() == ana.Game().Record(); }));
    ana.Game().Resign();
    QVERIFY(WaitFor([&] { return !eva.Game().GameInProgress(); }));
    QVERIFY2(eva.Game().Record().last().contains("0-1"), qPrintable(eva.Game().Record().last()));

    QFile database(eva.Game().PgnFolder() + "Eva.pgn");
    QVERIFY(database.open(QIODevice::ReadOnly));
    const TGameFile file = TGameFile::FromBytes(database.readAll(), database.fileName());
    QCOMPARE(file.Count(), 1);
    const TOpenedGame game = file.Read(0);
    QVERIFY2(game.Opened(), qPrintable(game.Error));
    QCOMPARE(game.ReplayMoves.size(), Spanish.size() + 1);
    QVERIFY(game.StartFen.isEmpty()); // from the start
    TReplayBoard board;
    TStandardGame standard;
    QString error;
    QVERIFY2(file.ToStandard(0, board, &standard, &error), qPrintable(error));
}

// The host's own game of an hour and a half: the room's watchers get its
// whole time, and its moves go on reaching them.
void TestClubRoom::hostGameOfMoreThanAnHourWatched() {
    TPeer luis("Luis"), ana("Ana"), dan("Dan");
    QVERIFY(luis.Host() && ana.Join(luis) && dan.Join(luis));
    QVERIFY(InRoom(dan));
    QVERIFY(AgreeGame(ana, luis, 90));
    QVERIFY(WaitFor([&] { return dan.Chat().ClubGame().Directory().Games().size() == 1; }));
    dan.dialogs.AnswerChoice(TQuestion::WatchGame, 0);
    dan.Chat().bObservarClick();
    QVERIFY(WaitFor([&] { return dan.Game().WhitePlayer().Nick == "Ana"; }));
    QVERIFY2(dan.Game().ClockB().Remaining() > 89 * 60, qPrintable(dan.Game().ClockB().Text()));
    QVERIFY(Play(ana, luis, "e2e4"));
    QVERIFY(Play(luis, ana, "e7e5"));
    QVERIFY(WaitFor([&] { return dan.Game().Record().join('/') == "1.Pe2e4 Pe7e5"; }));
}

void TestClubRoom::oneOfferQuestionAtATime_data() {
    QTest::addColumn<bool>("roomFirst"); // the room's offer is asked first, or the host's
    QTest::newRow("the room's, then the host's") << true;
    QTest::newRow("the host's, then the room's") << false;
}

// An offer that comes while another is being asked about is declined,
// whichever way each came.
void TestClubRoom::oneOfferQuestionAtATime() {
    QFETCH(bool, roomFirst);
    TPeer luis("Luis"), ana("Ana"), bea("Bea");
    QVERIFY(luis.Host() && ana.Join(luis) && bea.Join(luis));
    QVERIFY(InRoom(bea) && InRoom(ana));
    ana.dialogs.Hold(TQuestion::GameOffer);
    const auto offersAsked = [&] {
        return std::count_if(
            ana.dialogs.Log().begin(), ana.dialogs.Log().end(),
            [](const TDialogRecord& r) { return r.Question == TQuestion::GameOffer; });
    };
    TPeer& first = roomFirst ? bea : luis;
    TPeer& second = roomFirst ? luis : bea;
    first.Chat().OfferGame("Ana", 0, 5, first.Game().Elo());
    QVERIFY(WaitFor([&] { return offersAsked() == 1; }));
    second.Chat().OfferGame("Ana", 0, 5, second.Game().Elo());
    QVERIFY(WaitFor([&] {
        return ana.Log().contains("* Partida de " + second.Game().Nick() +
                                  " rechazada: hay otra pregunta abierta *");
    }));
    QCOMPARE(offersAsked(), 1);
}

void TestClubRoom::forgedGameMessagesChangeNothing_data() {
    QTest::addColumn<QByteArray>("forged");
    QTest::newRow("move for Ana") << Wire("/GMOV|1|1|0|e2e4|*|290#");
    QTest::newRow("move for Bea out of turn") << Wire("/GMOV|1|1|1|e7e5|*|290#");
    QTest::newRow("resignation") << Wire("/GRESIGN|1|Ana#");
    QTest::newRow("time-out") << Wire("/GTIMEOUT|1|Bea#");
    QTest::newRow("draw acceptance") << Wire("/GACCEPT_DRAW|1|Bea#");
    QTest::newRow("draw offer") << Wire("/GDRAW|1|Eve#");
    QTest::newRow("acceptance of no offer") << Wire("/GACCEPT|Ana|1200#");
    QTest::newRow("the older words to a player") << Wire("/MOV|1|0|e2e4|*|290#");
    QTest::newRow("start sent by a client") << Wire("/GSTART|1|5|Eve|1|Ana|1|300|300|x#");
}

void TestClubRoom::forgedGameMessagesChangeNothing() {
    QFETCH(QByteArray, forged);
    TPeer luis("Luis"), ana("Ana"), bea("Bea");
    QVERIFY(luis.Host() && ana.Join(luis) && bea.Join(luis));
    TRawPeer eve;
    QVERIFY(eve.Register(luis.Port(), "Eve"));
    eve.Send(Wire("/CLUB|1#"));
    QVERIFY(eve.Sees(Wire("/GLIST")));
    QVERIFY(InRoom(ana) && InRoom(bea));
    QVERIFY(AgreeGame(ana, bea));
    QVERIFY(Play(ana, bea, "d2d4"));
    for (int i = 0; i < 3; ++i)
        eve.Send(forged);
    Settle(eve);
    QVERIFY(Play(bea, ana, "d7d5"));
    QCOMPARE(ana.Game().Record().join('/'), QString("1.Pd2d4 Pd7d5"));
    QVERIFY(ana.Game().PlaysNetworkGame() && bea.Game().PlaysNetworkGame());
    QCOMPARE(luis.Chat().ClubGame().Relay()->MovesOf(1).size(), 2);
    QVERIFY(luis.Log().filter("descartado").size() <= 1); // logged once at most
    QVERIFY(!ana.dialogs.HasUnexpected() && !bea.dialogs.HasUnexpected());
}

void TestClubRoom::playerLeavesMidGame() {
    TPeer luis("Luis"), ana("Ana"), cris("Cris"), dan("Dan");
    auto bea = std::make_unique<TPeer>("Bea");
    QVERIFY(luis.Host() && ana.Join(luis) && bea->Join(luis) && cris.Join(luis) && dan.Join(luis));
    QVERIFY(InRoom(dan));
    QVERIFY(AgreeGame(ana, *bea));
    QVERIFY(AgreeGame(cris, dan));
    QVERIFY(Play(ana, *bea, "e2e4"));
    QVERIFY(Play(cris, dan, "d2d4"));
    bea.reset(); // the connection goes
    QVERIFY(WaitFor([&] { return !ana.Game().GameInProgress(); }));
    QVERIFY2(ana.Game().Record().last().contains(" * {Partida interrumpida"),
             qPrintable(ana.Game().Record().last()));
    QVERIFY(cris.Game().PlaysNetworkGame() && dan.Game().PlaysNetworkGame());
    QVERIFY(Play(dan, cris, "d7d5"));
    QCOMPARE(luis.Chat().ClubGame().Relay()->Games().size(), size_t(1));
    // Ana may play again.
    QVERIFY(WaitFor([&] { return ana.Chat().ClubGame().Playing() == 0; }));
}

void TestClubRoom::olderPeerIsLeftOut() {
    TPeer luis("Luis"), ana("Ana"), bea("Bea");
    QVERIFY(luis.Host() && ana.Join(luis) && bea.Join(luis));
    TRawPeer old;
    QVERIFY(old.Register(luis.Port(), "Old"));
    QVERIFY(InRoom(ana));
    QVERIFY(AgreeGame(ana, bea));
    QVERIFY(Play(ana, bea, "e2e4"));
    // An offer to a peer without the room's words is declined by the host.
    ana.Chat().OfferGame("Old", 0, 5, 1200);
    QVERIFY(WaitFor([&] { return !ana.dialogs.Messages().isEmpty(); }));
    QCOMPARE(ana.dialogs.Messages().last(), QString(u8"Old no juega (no puede jugar aquí)"));
    const QByteArray seen = Settle(old);
    QVERIFY2(!seen.contains("/G") && !seen.contains("/CLUB"), seen.constData());
    // The older peer plays the host as always.
    luis.dialogs.AnswerYes(TQuestion::GameOffer);
    old.Send(Wire("/NEW_GAME|5|1|Old|1100#"));
    QVERIFY(old.Sees(Wire("/ACCEPT_GAME|5|0|Luis|")));
}

void TestClubRoom::hostGameResignsTheRelayedOne() {
    TPeer luis("Luis"), ana("Ana"), bea("Bea");
    QVERIFY(luis.Host() && ana.Join(luis) && bea.Join(luis));
    QVERIFY(InRoom(ana) && InRoom(bea));
    QVERIFY(AgreeGame(ana, bea));
    QVERIFY(Play(ana, bea, "e2e4"));
    QVERIFY(!luis.Chat().Opponents().contains("Ana"));
    // Bea takes the host's offer all the same: her game with Ana is resigned.
    bea.dialogs.AnswerYes(TQuestion::GameOffer);
    luis.Chat().OfferGame("Bea", 1, 5, luis.Game().Elo());
    QVERIFY(WaitFor([&] { return !ana.Game().GameInProgress(); }));
    QCOMPARE(ana.Game().Record().last(), QString("1.Pe2e4 1-0 {Bea abandona}"));
    QVERIFY(
        WaitFor([&] { return luis.Game().PlaysNetworkGame() && bea.Game().PlaysNetworkGame(); }));
    QCOMPARE(bea.Game().WhitePlayer().Nick, QString("Bea"));
    QCOMPARE(luis.Chat().ClubGame().Relay()->Games().size(), size_t(1)); // the host's
    QVERIFY(Play(bea, luis, "d2d4"));
}

QTEST_GUILESS_MAIN(TestClubRoom)
#include "tst_clubroom.moc"
