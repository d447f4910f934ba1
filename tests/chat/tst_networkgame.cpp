// Network games in one process, on loopback: the host's answer to each game
// message of a client, byte for byte; an observer ordering the host's moves;
// a game to mate observed; a client whose host goes mid-game.

#include "ChatTestUtil.h"
#include "ChessModel.h"
#include "ClubGame.h"
#include "GameFile.h"
#include "NetworkGame.h"
#include "ReplayBoard.h"

#include <QRegularExpression>

namespace {

// Protocol text with "|" for 0xFE and "#" for 0xFF, as Latin-1 bytes.
QByteArray L1(QString text) {
    return text.replace(u'|', QChar(0xFE)).replace(u'#', QChar(0xFF)).toLatin1();
}

const QString Initial = "rnbqkbnrpppppppp" + QString(32, u' ') + "PPPPPPPPRNBQKBNR";

// Mode, turn, the user's colour and the last record line.
QString State(const TGameController& g) {
    return QString("%1%2%3 %4")
        .arg(QChar("NCLR"[int(g.GameMode())]))
        .arg(int(g.TurnState()))
        .arg(QChar("WB-"[int(g.MyColour())]))
        .arg(g.Record().isEmpty() ? QString() : g.Record().last());
}

bool Discarded(const QStringList& log) {
    return !log.filter(QRegularExpression("descartad|^\\*?Error")).isEmpty();
}

// Hands a participant's session the messages of wire as if from its host.
void Feed(TPeer& peer, const QString& wire) {
    for (const QString& message : wire.split(u'#', Qt::SkipEmptyParts)) {
        const TChatMessage m = CutMessage(L1(message));
        peer.Chat().DispatchMessage(m.Word, m.Data, -1);
    }
}

} // namespace

class TestNetworkGame : public QObject {
    Q_OBJECT
private slots:
    void hostReceives_data();
    void hostReceives();
    void observerReceives_data();
    void observerReceives();
    void wholeGameToMateObserved();
    void hostLeavesMidGame();
    void observerJoinsMidGame_data();
    void observerJoinsMidGame();
};

enum TBefore { Nothing, EngineGame, NetworkGame, HostOffered };
enum TSender { Ana, Eva, AnaGoes, AnaAfterOfferToEva };

void TestNetworkGame::hostReceives_data() {
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("sender");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("answer"); // to the host's question: "yes", "no" or none
    QTest::addColumn<QString>("state");  // State() of the host afterwards
    QTest::addColumn<QString>("logged"); // a line the log must hold; none: nothing refused
    QTest::addColumn<QString>("toAna");
    QTest::addColumn<QString>("toEva");
    QTest::addColumn<QString>("dialog"); // the message box or question shown, if any
    const QString offer = "/NEW_GAME|15|1|Ana|1200#", move = "/MOV|1|1|e7e5|*|890#";
    const QString gamePos = "/GAMEPOS|Luis|1100|Ana|1200|900|900|1|0|" + Initial + "#";
    const QString played = "N2W 1.Pe2e4",
                  interrupted = u8"Partida interrumpida: se perdió la conexión";
    auto row = [](const char* name) -> QTestData& { return QTest::newRow(name); };
    // clang-format off
    row("offer refused during an engine game") << int(EngineGame) << int(Ana) << offer << "no" << "C1W {Nivel de ZuzPlak: 5}" << "" << "/DECLINE_GAME|Luis#" << "" << u8"¿Acepta una partida a 15 minutos con Ana ( 1200 ELO)? Usted juega con blancas.";
    row("offer accepted over an engine game") << int(EngineGame) << int(Ana) << offer << "yes" << "N1W " << "" << "/ACCEPT_GAME|15|0|Luis|1100#" << gamePos << u8"¿Acepta una partida a 15 minutos con Ana ( 1200 ELO)? Usted juega con blancas.";
    row("offer to play Black") << int(Nothing) << int(Ana) << "/NEW_GAME|5|0|Ana|1200#" << "yes" << "N1B " << "" << "/ACCEPT_GAME|5|1|Luis|1100#" << "/GAMEPOS|Ana|1200|Luis|1100|300|300|1|0|" + Initial + "#" << u8"¿Acepta una partida a 5 minutos con Ana ( 1200 ELO)? Usted juega con negras.";
    row("minutes out of range") << int(Nothing) << int(Ana) << "/NEW_GAME|1440|1|Ana|1200#" << "" << "N0- " << "Error 56 : [/NEW_GAME 1440|1|Ana|1200]" << "" << "" << "";
    row("rating that would overflow") << int(Nothing) << int(Ana) << "/NEW_GAME|15|1|Ana|-2147483648#" << "" << "N0- " << "Error 56 : [/NEW_GAME 15|1|Ana|-2147483648]" << "" << "" << "";
    row("colour flag 2") << int(Nothing) << int(Ana) << "/NEW_GAME|15|2|Ana|1200#" << "" << "N0- " << "Error 56 : [/NEW_GAME 15|2|Ana|1200]" << "" << "" << "";
    row("offer under the host's nick") << int(Nothing) << int(Ana) << "/NEW_GAME|15|1|Luis|1200#" << "" << "N0- " << "Error 56 : [/NEW_GAME 15|1|Luis|1200]" << "" << "" << "";
    row("unasked acceptance starts a game") << int(Nothing) << int(Ana) << "/ACCEPT_GAME|15|1|Ana|1200#" << "" << "N1W " << "" << "" << gamePos << "";
    row("unasked acceptance during a game") << int(NetworkGame) << int(Eva) << "/ACCEPT_GAME|15|1|Eva|1200#" << "" << played << u8"* Partida no ofrecida, aceptación descartada: [/ACCEPT_GAME 15|1|Eva|1200]" << "" << "" << "";
    row("acceptance of the host's offer") << int(HostOffered) << int(Ana) << "/ACCEPT_GAME|15|1|Ana|1200#" << "" << "N1W " << "" << "" << gamePos << "";
    row("acceptance on other terms") << int(HostOffered) << int(Ana) << "/ACCEPT_GAME|10|1|Ana|1200#" << "" << "N1W " << "" << "" << "/GAMEPOS|Luis|1100|Ana|1200|600|600|1|0|" + Initial + "#" << "";
    row("refusal of the host's offer") << int(HostOffered) << int(Ana) << "/DECLINE_GAME|Ana#" << "" << "N0- " << "" << "" << "" << "Ana no juega";
    row("unasked refusal") << int(Nothing) << int(Ana) << "/DECLINE_GAME|Ana#" << "" << "N0- " << "" << "" << "" << "";
    row("move") << int(NetworkGame) << int(Ana) << move << "" << "N1W 1.Pe2e4 Pe7e5" << "" << "" << "/MOB|2|1|e7e5|*|890#" << "";
    row("move after the host offered another a game") << int(NetworkGame) << int(AnaAfterOfferToEva) << move << "" << "N1W 1.Pe2e4 Pe7e5" << "" << "" << "/NEW_GAME|15|0|Luis|1100#/MOB|2|1|e7e5|*|890#" << "";
    row("illegal move") << int(NetworkGame) << int(Ana) << "/MOV|1|1|e7e4|*|890#" << "" << played << "* Jugada descartada: [/MOV 1|1|e7e4|*|890]" << "" << "" << "";
    row("move from a non-opponent") << int(NetworkGame) << int(Eva) << move << "" << played << "* Jugada descartada: [/MOV 1|1|e7e5|*|890]" << "" << "" << "";
    row("move outside a game") << int(Nothing) << int(Ana) << move << "" << "N0- " << "* Jugada descartada: [/MOV 1|1|e7e5|*|890]" << "" << "" << "";
    row("move number 0") << int(NetworkGame) << int(Ana) << "/MOV|0|1|e7e5|*|890#" << "" << played << u8"* Mensaje descartado, número no válido: [/MOV 0|1|e7e5|*|890]" << "" << "" << "";
    row("seconds beyond a day") << int(NetworkGame) << int(Ana) << "/MOV|1|1|e7e5|*|86400#" << "" << played << u8"* Mensaje descartado, número no válido: [/MOV 1|1|e7e5|*|86400]" << "" << "" << "";
    row("square off the board") << int(NetworkGame) << int(Ana) << "/MOV|1|1|e7e9|*|890#" << "" << played << "*Error 53: E7E9*" << "" << "" << "";
    row("resignation") << int(NetworkGame) << int(Ana) << "/RESIGN|Ana|No puedorrr#" << "" << "N0W 1.Pe2e4 1-0 {Ana abandona}" << "" << "" << "/END_GAME|Ana abandona|1-0#" << u8"Ana abandona\n\rLuis 1100 → 1119 (+19)";
    row("resignation from a non-opponent") << int(NetworkGame) << int(Eva) << "/RESIGN|Eva|x#" << "" << played << "" << "" << "" << "";
    row("time-out of the side to move") << int(NetworkGame) << int(Ana) << "/TIMEOUT|Ana|Sacabo er tiempo#" << "" << "N0W 1.Pe2e4 1-0 {Ganan Blancas por  tiempo}" << "" << "" << "/END_GAME|Ganan Blancas por  tiempo|1-0#" << u8"Ganan Blancas por tiempo\n\rLuis 1100 → 1119 (+19)";
    row("time-out claimed on the host's turn") << int(NetworkGame) << int(Ana) << move + "/TIMEOUT|Ana|x#" << "" << "N1W 1.Pe2e4 Pe7e5" << "" << "" << "/MOB|2|1|e7e5|*|890#" << "";
    row("draw declined") << int(NetworkGame) << int(Ana) << u8"/DRAW|Ana|¿Tablas?#" << "no" << played << "" << "/DECLINE_DRAW|Luis#" << "/DECLINE_DRAW|Luis#" << u8"Ana le ofrece tablas. ¿Acepta?";
    row("draw accepted, observers end too") << int(NetworkGame) << int(Ana) << u8"/DRAW|Ana|¿Tablas?#" << "yes" << "N0W 1.Pe2e4 1/2-1/2 {Tablas por  acuerdo}" << "" << "/ACCEPT_DRAW|Luis#" << "/ACCEPT_DRAW|Luis#/END_GAME|Tablas por  acuerdo|1/2-1/2#" << u8"Ana le ofrece tablas. ¿Acepta?";
    row("unasked draw acceptance") << int(NetworkGame) << int(Ana) << "/ACCEPT_DRAW|Ana#" << "" << played << "" << "" << "" << "";
    row("draw offer from a non-opponent") << int(NetworkGame) << int(Eva) << "/DRAW|Eva|x#" << "yes" << played << "" << "" << "" << "";
    row("observer before any game") << int(Nothing) << int(Eva) << "/MIRAR|Eva#" << "" << "N0- " << "" << "" << u8"/TXT|* Luis no está jugando ninguna partida en red; verás la próxima desde su comienzo *#/GAMEPOS||0||0|60|60|0|0|" + Initial + "#" << "";
    row("last opponent refused as observer") << int(NetworkGame) << int(Ana) << "/MIRAR|Ana#" << "" << played << "" << "/TXT|Ya estas jugando, no hace falta que le des a mirar#" << "" << "";
    row("opponent disconnects") << int(NetworkGame) << int(AnaGoes) << "" << "" << "N0W 1.Pe2e4 * {" + interrupted + "}" << "* " + interrupted + " con Ana *" << "" << "/DELNICK|Ana|*#/END_GAME|" + interrupted + "|*#" << "";
    // clang-format on
}

void TestNetworkGame::hostReceives() {
    QFETCH(int, before);
    QFETCH(int, sender);
    QFETCH(QString, message);
    QFETCH(QString, answer);
    QFETCH(QString, logged);
    QFETCH(QString, toAna);
    QFETCH(QString, toEva);
    TPeer luis("Luis");
    QVERIFY(luis.Host());
    TRawPeer ana, eva;
    QVERIFY(ana.Register(luis.Port(), "Ana") && eva.Register(luis.Port(), "Eva"));
    TGameController& g = luis.Game();
    if (before == EngineGame) g.StartLocalGame(TGameMode::VsComputer, true, 15);
    if (before == HostOffered) luis.Chat().OfferGame("Ana", 0, 15, g.Elo());
    if (before == NetworkGame) {
        luis.dialogs.AnswerYes(TQuestion::GameOffer);
        ana.Send(L1("/NEW_GAME|15|1|Ana|1200#"));
        QVERIFY(WaitFor([&] { return g.GameInProgress(); }));
        QVERIFY(luis.program->Model().Move(Square::E2, Square::E4));
    }
    Settle(ana);
    Settle(eva);
    luis.dialogs.ClearLog();
    const TQuestion asked =
        message.startsWith("/DRAW") ? TQuestion::DrawOffer : TQuestion::GameOffer;
    if (answer == "yes") luis.dialogs.AnswerYes(asked);
    if (answer == "no") luis.dialogs.AnswerNo(asked);
    // What the host sent once the message was handled and its question,
    // if any, answered.
    auto settled = [&luis](TRawPeer& raw) {
        const QByteArray handled = Settle(raw);
        luis.dialogs.Flush();
        return handled + Settle(raw);
    };
    if (sender == AnaGoes) {
        ana.socket.disconnectFromHost();
        QVERIFY(WaitFor([&] { return luis.Log().contains("* Ana abandona el chat *"); }));
    } else {
        if (sender == AnaAfterOfferToEva) luis.Chat().OfferGame("Eva", 0, 15, g.Elo());
        (sender == Eva ? eva : ana).Send(L1(message));
        QCOMPARE(settled(ana), L1(toAna));
    }
    QCOMPARE(settled(eva), L1(toEva));
    QTEST(State(g), "state");
    const QStringList log = luis.Log();
    QVERIFY2(logged.isEmpty() ? !Discarded(log) : log.contains(QString::fromLatin1(L1(logged))),
             qPrintable(log.join('\n')));
    QTEST(luis.dialogs.Log().isEmpty() ? QString() : luis.dialogs.Log().first().Text, "dialog");
}

void TestNetworkGame::observerReceives_data() {
    QTest::addColumn<bool>("observe");
    QTest::addColumn<QString>("gamePos"); // empty: Luis-Bea from the start, move 5 next
    QTest::addColumn<QString>("mobs");    // "/MOB" numbers in order; "5x": an illegal move 5
    QTest::addColumn<QString>("after");   // host messages after them
    QTest::addColumn<QString>("record");
    QTest::addColumn<QString>("pending");
    QTest::addColumn<int>("refusals"); // log lines telling of a move or position refused
    const QString all = "1.Pe2e4 Pe7e5/2.Ng1f3 Nb8c6";
    const QString afterE4 =
        "rnbqkbnrpppppppp" + QString(20, u' ') + "P" + QString(11, u' ') + "PPPP PPPRNBQKBNR";
    // clang-format off
    QTest::newRow("in order") << true << "" << "5 6 7 8" << "" << all << "" << 0;
    QTest::newRow("7 waits for 6") << true << "" << "5 7" << "" << "1.Pe2e4" << "7" << 0;
    QTest::newRow("6 brings 7 along") << true << "" << "5 7 6" << "" << "1.Pe2e4 Pe7e5/2.Ng1f3" << "" << 0;
    QTest::newRow("5 7 6 8") << true << "" << "5 7 6 8" << "" << all << "" << 0;
    QTest::newRow("an early move kept once") << true << "" << "5 7 7" << "" << "1.Pe2e4" << "7" << 0;
    QTest::newRow("a move played already") << true << "" << "5 5" << "" << "1.Pe2e4" << "" << 1;
    QTest::newRow("out of step, logged once") << true << "" << "4 3 4" << "" << "" << "" << 1;
    QTest::newRow("too far ahead") << true << "" << "5 71" << "" << "1.Pe2e4" << "" << 1;
    QTest::newRow("illegal at its turn") << true << "" << "5x 6" << "" << "" << "6" << 1;
    QTest::newRow("a client that does not observe") << false << "" << "5 6 7 8" << "" << "" << "" << 0;
    QTest::newRow("rating beyond 4000") << true << "/GAMEPOS|Luis|4001|Bea|1300|900|900|5|0|" + Initial + "#" << "5" << "" << "" << "" << 2;
    QTest::newRow("position too short") << true << "/GAMEPOS|Luis|1200|Bea|1300|900|900|5|0|rnbq#" << "" << "" << "" << "" << 1;
    QTest::newRow("Black to move") << true << "/GAMEPOS|Luis|1200|Bea|1300|900|900|6|1|" + afterE4 + "#" << "6" << "" << "{Posición: rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 3}/3... Pe7e5" << "" << 0;
    QTest::newRow("end of the observed game") << true << "" << "5 6" << "/END_GAME|Ganan Negras por  abandona|0-1#" << "1.Pe2e4 Pe7e5/0-1 {Ganan Negras por  abandona}" << "" << 0;
    QTest::newRow("unknown result") << true << "" << "5" << "/END_GAME|x|2-0#" << "1.Pe2e4 * {x}" << "" << 0;
    QTest::newRow("host lost while observing") << true << "" << "5" << "<lost>" << "1.Pe2e4 * {" + TGameController::InterruptedText() + "}" << "" << 0;
    QTest::newRow("moves after the end") << true << "" << "5" << "/END_GAME|x|*#" + QString("/MOB|6|1|e7e5|*|900#/MOB|7|0|g1f3|*|900#") << "1.Pe2e4 * {x}" << "" << 1;
    // clang-format on
}

void TestNetworkGame::observerReceives() {
    QFETCH(bool, observe);
    QFETCH(QString, gamePos);
    QFETCH(QString, mobs);
    QFETCH(QString, after);
    TPeer ana("Ana");
    ana.Game().SetRole(TRole::Client);
    if (observe) {
        ana.dialogs.AnswerYes(TQuestion::Observe);
        ana.Chat().bObservarClick();
        ana.dialogs.Flush();
        QCOMPARE(ana.Game().Role(), TRole::Observer);
    }
    const QMap<QString, QString> moves{
        {"5", "0|e2e4"}, {"5x", "0|e2e5"}, {"6", "1|e7e5"}, {"7", "0|g1f3"}, {"8", "1|b8c6"}};
    QString wire =
        gamePos.isEmpty() ? "/GAMEPOS|Luis|1200|Bea|1300|900|900|5|0|" + Initial + "#" : gamePos;
    for (const QString& mob : mobs.split(' ', Qt::SkipEmptyParts)) {
        wire += "/MOB|" + QString(mob).remove('x') + "|" + moves.value(mob, "0|a2a3") + "|*|900#";
    }
    Feed(ana, wire + (after == "<lost>" ? QString() : after));
    if (after == "<lost>") ana.Chat().bDesconectarClick();
    QTEST(ana.Game().Record().join('/'), "record");
    QStringList pending;
    for (const QString& text : ana.Chat().NetworkGame().PendingMoves())
        pending << text.section(QChar(0xFE), 0, 0);
    QTEST(pending.join(' '), "pending");
    QTEST(int(ana.Log().filter(QRegularExpression("descartad|^Error 67: ")).size()), "refusals");
}

void TestNetworkGame::wholeGameToMateObserved() {
    TPeer luis("Luis"), ana("Ana"), eva("Eva");
    QVERIFY(luis.Host() && ana.Join(luis) && eva.Join(luis));
    eva.dialogs.AnswerYes(TQuestion::Observe);
    eva.Chat().bObservarClick();
    QVERIFY(WaitFor(
        [&] { return eva.Game().GameInProgress(); })); // the host's board, no game on it yet
    luis.dialogs.AnswerYes(TQuestion::GameOffer);
    ana.Chat().OfferGame("Luis", 0, 5, ana.Game().Elo());
    QVERIFY(WaitFor(
        [&] { return ana.Game().GameInProgress() && eva.Game().WhitePlayer().Nick == "Ana"; }));
    const QStringList moves{"f2f3", "e7e5", "g2g4", "d8h4"};
    for (int i = 0; i < moves.size(); ++i) {
        TPeer& mover = i % 2 ? luis : ana;
        TPeer& other = i % 2 ? ana : luis;
        QVERIFY(mover.program->Model().Move(TextToSquare(moves[i].left(2)),
                                            TextToSquare(moves[i].mid(2))));
        QVERIFY(WaitFor([&] { return other.Game().Record() == mover.Game().Record(); }));
        QVERIFY(WaitFor([&] { return eva.Game().Record() == mover.Game().Record(); }));
        // The mover's clock travels with the move.
        auto seconds = [i](TPeer& p) {
            return (i % 2 ? p.Game().ClockB() : p.Game().ClockW()).MessageSeconds();
        };
        QCOMPARE(seconds(other), seconds(mover));
    }
    for (TPeer* p : {&luis, &ana, &eva}) {
        QCOMPARE(p->Game().Panel().Text, QString("Ganan Negras por  Jaque Mate"));
        QVERIFY(!Discarded(p->Log()));
    }
    QCOMPARE(luis.Game().Elo(), 1115);
    QCOMPARE(ana.Game().Elo(), 1085);
    QCOMPARE(eva.Game().Elo(), 1100);
}

void TestNetworkGame::hostLeavesMidGame() {
    TPeer luis("Luis"), ana("Ana");
    QVERIFY(luis.Host() && ana.Join(luis));
    luis.dialogs.AnswerYes(TQuestion::GameOffer);
    ana.Chat().OfferGame("Luis", 0, 5, 1100);
    QVERIFY(WaitFor([&] { return ana.Game().GameInProgress(); }));
    QVERIFY(ana.program->Model().Move(Square::E2, Square::E4));
    // A player pressing "Observar" stays a player; the host tells why.
    ana.Chat().bObservarClick();
    QCOMPARE(ana.Game().Role(), TRole::Client);
    QVERIFY(WaitFor([&] { return ana.Log().last().startsWith("Ya estas jugando"); }));
    luis.Chat().bDesconectarClick();
    QVERIFY(WaitFor([&] { return !ana.Game().GameInProgress(); }));
    const QString why = TGameController::InterruptedText();
    QCOMPARE(ana.Game().Record().last(), "1.Pe2e4 * {" + why + "}");
    QVERIFY(ana.Log().contains("* " + why + " con Luis *"));
    QCOMPARE(ana.Game().Elo(), 1100);
}

void TestNetworkGame::observerJoinsMidGame_data() {
    QTest::addColumn<int>("before"); // half-moves played before Eva observes
    QTest::addColumn<QString>("record");
    const QString moves = "e2e4 e7e5 g1f3 b8c6 f1c4 f8c5 d2d3";
    QTest::newRow("from the start") << 0 << "1.Pe2e4 Pe7e5/2.Ng1f3 Nb8c6/3.Bf1c4 Bf8c5/4.Pd2d3";
    QTest::newRow("White to move at move 3")
        << 4
        << "{Posición: r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 0 3}"
           "/3.Bf1c4 Bf8c5/4.Pd2d3";
    QTest::newRow("Black to move at move 3")
        << 5
        << "{Posición: r1bqkbnr/pppp1ppp/2n5/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R b KQkq - 0 3}"
           "/3... Bf8c5/4.Pd2d3";
}

// An observer who joins a game in progress records it from the host's move
// number and position, and its database game reads back and replays.
void TestNetworkGame::observerJoinsMidGame() {
    QFETCH(int, before);
    QFETCH(QString, record);
    TPeer luis("Luis"), ana("Ana"), eva("Eva");
    QVERIFY(luis.Host());
    // A host that does not relay games: Eva takes the game over where it is.
    luis.Chat().ClubGame().HostStopped();
    QVERIFY(ana.Join(luis) && eva.Join(luis));
    luis.dialogs.AnswerYes(TQuestion::GameOffer);
    ana.Chat().OfferGame("Luis", 0, 5, ana.Game().Elo()); // Ana plays White
    QVERIFY(WaitFor([&] { return ana.Game().GameInProgress() && luis.Game().GameInProgress(); }));
    const QStringList moves{"e2e4", "e7e5", "g1f3", "b8c6", "f1c4", "f8c5", "d2d3"};
    auto play = [&](int i) {
        TPeer& mover = i % 2 ? luis : ana;
        TPeer& other = i % 2 ? ana : luis;
        return mover.program->Model().Move(TextToSquare(moves[i].left(2)),
                                           TextToSquare(moves[i].mid(2))) &&
               WaitFor([&] { return other.Game().Record() == mover.Game().Record(); });
    };
    for (int i = 0; i < before; ++i)
        QVERIFY(play(i));
    // The host's answer proves that its moves so far have reached Eva.
    QVERIFY(eva.Type("/version"));
    QVERIFY(WaitFor([&] { return eva.Log().last().contains("esta usando ZugaretChat"); }));
    eva.dialogs.AnswerYes(TQuestion::Observe);
    eva.Chat().bObservarClick();
    QVERIFY(WaitFor([&] { return eva.Game().WhitePlayer().Nick == "Ana"; }));
    QCOMPARE(eva.program->Model().Position(), luis.program->Model().Position());
    for (int i = before; i < moves.size(); ++i)
        QVERIFY(play(i));
    QVERIFY(WaitFor([&] { return eva.Game().Record().join('/') == record; }, 2000));
    luis.Game().Resign();
    QVERIFY(WaitFor([&] { return !eva.Game().GameInProgress(); }));
    QCOMPARE(eva.Game().Record().join('/'), record + " 1-0 {Luis abandona}");
    QVERIFY2(!Discarded(eva.Log()), qPrintable(eva.Log().join('\n')));

    QFile database(eva.Game().PgnFolder() + "Eva.pgn");
    QVERIFY(database.open(QIODevice::ReadOnly));
    const TGameFile file = TGameFile::FromBytes(database.readAll(), database.fileName());
    QCOMPARE(file.Count(), 1);
    const TOpenedGame game = file.Read(0);
    QVERIFY2(game.Opened(), qPrintable(game.Error));
    QCOMPARE(game.ReplayMoves.size(), moves.size() - before);
    TReplayBoard board;
    TStandardGame standard;
    QString error;
    QVERIFY2(file.ToStandard(0, board, &standard, &error), qPrintable(error));
    QCOMPARE(game.ReplayMoves.isEmpty() ? QString() : game.StartFen,
             before ? record.section('}', 0, 0).mid(11) : QString());
}

QTEST_GUILESS_MAIN(TestNetworkGame)
#include "tst_networkgame.moc"
