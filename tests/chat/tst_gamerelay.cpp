// The host's referee for games between participants: offers, moves, draws,
// resignations and time-outs pass only between a game's players and its
// watchers; forged or out-of-turn messages change nothing.

#include "ChatCodec.h"
#include "GameRelay.h"
#include "NickRules.h"
#include "RoomDirectory.h"

#include <QtTest>

namespace {

// "WORD f1 f2 …" for each message the output sends to nick, in order.
QStringList To(const TRelayOutput& out, const QString& nick) {
    QStringList lines;
    for (const TRelayedMessage& m : out.Messages) {
        if (!SameNick(m.To, nick)) continue;
        QByteArray bytes = m.Bytes;
        bytes.chop(1); // 0xFF
        const TChatMessage message = CutMessage(bytes);
        QString line = message.Word;
        if (!message.Data.isEmpty())
            line += u' ' + message.Data.split(QChar(FieldSeparator)).join(u' ');
        lines << line;
    }
    return lines;
}

QString Body(int number, bool white, const char* move, int seconds, QChar promotion = u'*') {
    TMovimiento m;
    m.MoveNumber = number;
    m.WhiteMoved = white;
    m.Move = QString::fromLatin1(move);
    m.Promotion = promotion;
    m.Seconds = seconds;
    return m.ToText();
}

TMovimiento Parsed(const QString& body) {
    TMovimiento m;
    TMovimiento::FromText(body, m);
    return m;
}

// A room where Ana, Bea, Cris, Dan and Eve announced the words, and Ana
// (White) plays Bea in game 1.
struct TRoom {
    TGameRelay relay{QStringLiteral("Host")};
    int game = 0;
    int plies = 0;
    TRoom() {
        for (const char* nick : {"Ana", "Bea", "Cris", "Dan", "Eve"})
            relay.Announce(QString::fromLatin1(nick));
        relay.Offer("Ana", "Bea", 5, false, 1200);
        relay.Accept("Bea", "Ana", 1300);
        game = relay.GameOf("Ana");
    }
    // Plays the next of a fixed sequence of moves for whoever is to move.
    TRelayOutput Play(const char* move) {
        const bool white = plies % 2 == 0;
        ++plies;
        return relay.Move(white ? "Ana" : "Bea", game, Body(plies, white, move, 290 - plies));
    }
};

} // namespace

class TGameRelayTest : public QObject {
    Q_OBJECT
private slots:
    void offerAndAnswer_data();
    void offerAndAnswer();
    void moveReachesOpponentAndWatchersOnly();
    void forgedMessagesChangeNothing_data();
    void forgedMessagesChangeNothing();
    void lateWatcherGetsTheWholeGame();
    void clocksOfAnHourOrMore_data();
    void clocksOfAnHourOrMore();
    void watcherSwitchesGames();
    void twoGamesAtOnceAndOneInterrupted();
    void endsReachTheWatchers_data();
    void endsReachTheWatchers();
    void hostGameMirrored();
    void renameKeepsTheGame();
    void directoryFollowsTheRelay();
    void directoryRefusesMalformed_data();
    void directoryRefusesMalformed();
};

void TGameRelayTest::offerAndAnswer_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("receiverPlaysWhite");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QStringList>("offererHears");
    QTest::addColumn<QStringList>("targetHears");
    const QString start1 = "/GSTART 1 5 Bea 1300 Ana 1200 300 300 "
                           "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
    const QString start2 = "/GSTART 1 5 Ana 1200 Bea 1300 300 300 "
                           "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
    QTest::newRow("accepted, receiver White")
        << "Bea" << true << true << QStringList{start1, "/GLIST 1 Bea Ana 0"}
        << QStringList{"/GOFFER Ana 5 1 1200", start1, "/GLIST 1 Bea Ana 0"};
    QTest::newRow("accepted, receiver Black")
        << "Bea" << false << true << QStringList{start2, "/GLIST 1 Ana Bea 0"}
        << QStringList{"/GOFFER Ana 5 0 1200", start2, "/GLIST 1 Ana Bea 0"};
    QTest::newRow("declined") << "Bea" << false << false << QStringList{"/GDECLINE Bea"}
                              << QStringList{"/GOFFER Ana 5 0 1200"};
    QTest::newRow("target does not speak the words")
        << "Old" << false << true << QStringList{"/GDECLINE Old no puede jugar aquí"}
        << QStringList{};
    QTest::newRow("to oneself") << "ana" << false << true
                                << QStringList{"/GDECLINE ana no puede jugar aquí"}
                                << QStringList{"/GDECLINE ana no puede jugar aquí"};
}

void TGameRelayTest::offerAndAnswer() {
    QFETCH(QString, target);
    QFETCH(bool, receiverPlaysWhite);
    QFETCH(bool, accept);
    QFETCH(QStringList, offererHears);
    QFETCH(QStringList, targetHears);
    TGameRelay relay("Host");
    relay.Announce("Ana");
    QCOMPARE(To(relay.Announce("Bea"), "Ana"), QStringList{"/CLUB 1 Host Ana Bea"});
    QVERIFY(relay.Announce("bea").Messages.empty()); // once is enough
    TRelayOutput out = relay.Offer("Ana", target, 5, receiverPlaysWhite, 1200);
    out.Append(accept ? relay.Accept(target, "Ana", 1300) : relay.Decline(target, "Ana"));
    QCOMPARE(To(out, "Ana"), offererHears);
    QCOMPARE(To(out, target), targetHears);
    QCOMPARE(relay.Games().size(), size_t(accept && target == "Bea" ? 1 : 0));
}

void TGameRelayTest::moveReachesOpponentAndWatchersOnly() {
    TRoom room;
    room.relay.Observe("Eve", room.game);
    const TRelayOutput out = room.Play("e2e4");
    const QString move = "/GMOV 1 1 0 e2e4 * 289";
    QCOMPARE(To(out, "Bea"), QStringList{move});
    QCOMPARE(To(out, "Eve"), QStringList{move});
    QVERIFY(To(out, "Ana").isEmpty());
    QVERIFY(To(out, "Cris").isEmpty());
    QVERIFY(out.Log.isEmpty());
}

void TGameRelayTest::forgedMessagesChangeNothing_data() {
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("word");
    QTest::addColumn<int>("game");
    QTest::addColumn<QString>("body");
    QTest::newRow("move by a watcher") << "Eve"
                                       << "move" << 1 << Body(3, true, "e2e4", 280);
    QTest::newRow("move by an outsider") << "Cris"
                                         << "move" << 1 << Body(3, true, "e2e4", 280);
    QTest::newRow("move for a game that does not exist")
        << "Ana"
        << "move" << 7 << Body(3, true, "e2e4", 280);
    QTest::newRow("move out of turn") << "Bea"
                                      << "move" << 1 << Body(3, false, "e7e5", 280);
    QTest::newRow("wrong colour field") << "Ana"
                                        << "move" << 1 << Body(3, false, "e2e4", 280);
    QTest::newRow("move number repeated") << "Ana"
                                          << "move" << 1 << Body(2, true, "e2e4", 280);
    QTest::newRow("illegal move") << "Ana"
                                  << "move" << 1 << Body(3, true, "e2e5", 280);
    QTest::newRow("no such square") << "Ana"
                                    << "move" << 1 << Body(3, true, "e2z9", 280);
    QTest::newRow("clock goes up") << "Ana"
                                   << "move" << 1 << Body(3, true, "e2e4", 299);
    QTest::newRow("unreadable body") << "Ana"
                                     << "move" << 1 << QString("x\u00fey");
    QTest::newRow("draw accepted that nobody offered") << "Bea"
                                                       << "acceptdraw" << 1 << "";
    QTest::newRow("resignation by an outsider") << "Cris"
                                                << "resign" << 1 << "";
    QTest::newRow("time-out by a watcher") << "Eve"
                                           << "timeout" << 1 << "";
    QTest::newRow("draw offer by an outsider") << "Dan"
                                               << "draw" << 1 << "";
    QTest::newRow("acceptance of an offer never made") << "Cris"
                                                       << "accept" << 1 << "";
}

void TGameRelayTest::forgedMessagesChangeNothing() {
    QFETCH(QString, from);
    QFETCH(QString, word);
    QFETCH(int, game);
    QFETCH(QString, body);
    TRoom room;
    room.relay.Observe("Eve", room.game);
    room.Play("d2d4");
    room.Play("d7d5");
    const auto send = [&] {
        if (word == "move") return room.relay.Move(from, game, body);
        if (word == "acceptdraw") return room.relay.AcceptDraw(from, game);
        if (word == "resign") return room.relay.Resign(from, game);
        if (word == "timeout") return room.relay.Timeout(from, game);
        if (word == "draw") return room.relay.Draw(from, game);
        return room.relay.Accept(from, "Dan", 1000);
    };
    const TRelayOutput first = send();
    QVERIFY2(first.Messages.empty(), qPrintable(To(first, "Bea").join('|')));
    QCOMPARE(first.Log.size(), 1);
    QVERIFY(first.Log[0].startsWith("* Mensaje de " + from + " descartado: "));
    // Logged once: a flood does not flood the log.
    const TRelayOutput again = send();
    QVERIFY(again.Messages.empty());
    QVERIFY(again.Log.isEmpty());
    QCOMPARE(room.relay.MovesOf(room.game).size(), 2);
    QCOMPARE(room.relay.Games().size(), size_t(1));
    // The game goes on.
    QCOMPARE(To(room.Play("e2e4"), "Eve"), QStringList{"/GMOV 1 3 0 e2e4 * 287"});
}

void TGameRelayTest::lateWatcherGetsTheWholeGame() {
    TRoom room;
    // Twenty plies of a Spanish opening, both sides castling.
    for (const char* move :
         {"e2e4", "e7e5", "g1f3", "b8c6", "f1b5", "a7a6", "b5a4", "g8f6", "e1g1", "f8e7",
          "f1e1", "b7b5", "a4b3", "d7d6", "c2c3", "e8g8", "h2h3", "c6b8", "d2d4", "b8d7"})
        QVERIFY2(room.Play(move).Log.isEmpty(), move);
    const int plies = int(room.relay.MovesOf(room.game).size());
    QCOMPARE(plies, 20);
    const TRelayOutput out = room.relay.Observe("Cris", room.game);
    const QStringList heard = To(out, "Cris");
    // The clocks as the players' last moves left them (271 and 270 seconds).
    QVERIFY(heard.value(0).startsWith("/GSTART 1 5 Ana 1200 Bea 1300 271 270 "));
    QCOMPARE(heard.size(), 1 + plies + 1); // start, the moves, the watch notice
    for (int i = 0; i < plies; ++i)
        QVERIFY(heard[1 + i].startsWith(QString("/GMOV 1 %1 ").arg(i + 1)));
    QCOMPARE(heard.last(), QString("/GWATCH Cris 1"));
}

// A clock of an hour or more tells its minutes and seconds without the
// hours: the host keeps the whole time, and a clock never goes up.
void TGameRelayTest::clocksOfAnHourOrMore_data() {
    QTest::addColumn<int>("minutes");
    QTest::addColumn<QList<int>>("told"); // White's seconds for its moves
    QTest::addColumn<int>("refusedAt");   // the refused move, -1 for none
    QTest::addColumn<int>("timeLeft");    // White's time after the last accepted one
    QTest::newRow("90 minutes, under the hour")
        << 90 << QList<int>{1795, 1200, 3590, 3000} << -1 << 3000;
    QTest::newRow("90 minutes, an hour and a half on one move")
        << 90 << QList<int>{1795, 0} << -1 << 3600;
    QTest::newRow("three hours") << 180 << QList<int>{3599, 10, 3500, 100} << -1 << 3700;
    QTest::newRow("under an hour, up by a second") << 45 << QList<int>{2000, 2001} << 1 << 2000;
    QTest::newRow("under the hour, then up") << 90 << QList<int>{1795, 3590, 3595} << 2 << 3590;
    QTest::newRow("more than the game's time") << 5 << QList<int>{301} << 0 << 300;
}

void TGameRelayTest::clocksOfAnHourOrMore() {
    QFETCH(int, minutes);
    QFETCH(QList<int>, told);
    QFETCH(int, refusedAt);
    QFETCH(int, timeLeft);
    TGameRelay relay("Host");
    for (const char* nick : {"Ana", "Bea", "Cris"})
        relay.Announce(nick);
    relay.Offer("Ana", "Bea", minutes, false, 1200);
    relay.Accept("Bea", "Ana", 1300);
    const int game = relay.GameOf("Ana");
    const char* moves[][2] = {
        {"a2a3", "a7a6"}, {"b2b3", "b7b6"}, {"c2c3", "c7c6"}, {"d2d3", "d7d6"}};
    int ply = 0;
    for (int i = 0; i < told.size(); ++i) {
        const TRelayOutput out = relay.Move("Ana", game, Body(++ply, true, moves[i][0], told[i]));
        if (i == refusedAt) {
            QCOMPARE(out.Log.size(), 1);
            QVERIFY(out.Log[0].endsWith("su reloj sube"));
            break;
        }
        QVERIFY2(out.Log.isEmpty(), qPrintable(out.Log.join('|')));
        relay.Move("Bea", game, Body(++ply, false, moves[i][1], minutes * 60));
    }
    const QStringList heard = To(relay.Observe("Cris", game), "Cris");
    QVERIFY2(heard.value(0).startsWith(QString("/GSTART 1 %1 Ana 1200 Bea 1300 %2 %3 ")
                                           .arg(minutes)
                                           .arg(timeLeft)
                                           .arg(minutes * 60)),
             qPrintable(heard.value(0)));
}

void TGameRelayTest::watcherSwitchesGames() {
    TRoom room;
    room.relay.Offer("Cris", "Dan", 10, false, 1000);
    room.relay.Accept("Dan", "Cris", 1000);
    const int second = room.relay.GameOf("Dan");
    QVERIFY(second != room.game && second != 0);
    room.relay.Observe("Eve", room.game);
    room.relay.Observe("Eve", second);
    QCOMPARE(room.relay.WatchedBy("Eve"), second);
    QVERIFY(To(room.Play("e2e4"), "Eve").isEmpty());
    const TRelayOutput out = room.relay.Move("Cris", second, Body(1, true, "d2d4", 590));
    QCOMPARE(To(out, "Eve"), QStringList{"/GMOV 2 1 0 d2d4 * 590"});
    room.relay.Observe("Eve", 0); // stops watching
    QCOMPARE(room.relay.WatchedBy("Eve"), 0);
    QVERIFY(To(room.relay.Move("Dan", second, Body(2, false, "d7d5", 590)), "Eve").isEmpty());
    // A player cannot watch.
    room.relay.Observe("Ana", second);
    QCOMPARE(room.relay.WatchedBy("Ana"), 0);
}

void TGameRelayTest::twoGamesAtOnceAndOneInterrupted() {
    TRoom room;
    room.relay.Offer("Cris", "Dan", 10, false, 1000);
    room.relay.Accept("Dan", "Cris", 1000);
    const int second = room.relay.GameOf("Cris");
    room.relay.Observe("Eve", room.game);
    room.Play("e2e4");
    room.relay.Move("Cris", second, Body(1, true, "d2d4", 590));
    const TRelayOutput out = room.relay.Leave("Bea");
    QCOMPARE(To(out, "Ana"), (QStringList{"/CLUB 1 Host Ana Cris Dan Eve",
                                          "/GEND 1 * Partida interrumpida: se perdió la conexión",
                                          "/GLIST 2 Cris Dan 1"}));
    QVERIFY(To(out, "Eve").contains("/GEND 1 * Partida interrumpida: se perdió la conexión"));
    QCOMPARE(room.relay.Games().size(), size_t(1));
    QCOMPARE(room.relay.WatchedBy("Eve"), 0);
    QCOMPARE(To(room.relay.Move("Dan", second, Body(2, false, "d7d5", 580)), "Cris"),
             QStringList{"/GMOV 2 2 1 d7d5 * 580"});
    // Ana is free to play again.
    QVERIFY(!room.relay.Busy("Ana"));
}

void TGameRelayTest::endsReachTheWatchers_data() {
    QTest::addColumn<QStringList>("moves");
    QTest::addColumn<QString>("end"); // "resign:Nick", "timeout:Nick", "draw", or "" (the board)
    QTest::addColumn<QString>("watcherHears");
    QTest::newRow("fool's mate") << QStringList{"f2f3", "e7e5", "g2g4", "d8h4"} << ""
                                 << "/GEND 1 0-1 Ganan Negras por  Jaque Mate";
    QTest::newRow("White resigns") << QStringList{"e2e4"} << "resign:Ana"
                                   << "/GEND 1 0-1 Ana abandona";
    QTest::newRow("Black loses on time") << QStringList{"e2e4"} << "timeout:Bea"
                                         << "/GEND 1 1-0 Ganan Blancas por  tiempo";
    QTest::newRow("draw agreed") << QStringList{"e2e4"} << "draw"
                                 << "/GEND 1 1/2-1/2 Tablas por  acuerdo";
}

void TGameRelayTest::endsReachTheWatchers() {
    QFETCH(QStringList, moves);
    QFETCH(QString, end);
    QFETCH(QString, watcherHears);
    TRoom room;
    room.relay.Observe("Eve", room.game);
    TRelayOutput out;
    for (const QString& move : moves)
        out = room.Play(move.toLatin1().constData());
    if (end.startsWith("resign:")) out = room.relay.Resign(end.mid(7), room.game);
    if (end.startsWith("timeout:")) out = room.relay.Timeout(end.mid(8), room.game);
    if (end == "draw") {
        QCOMPARE(To(room.relay.Draw("Bea", room.game), "Ana"), QStringList{"/GDRAW 1 Bea"});
        out = room.relay.AcceptDraw("Ana", room.game);
        QCOMPARE(To(out, "Bea"), QStringList({"/GACCEPT_DRAW 1 Ana", "/GLIST"}));
    }
    QVERIFY(To(out, "Eve").contains(watcherHears));
    QVERIFY(room.relay.Games().empty());
    QVERIFY(!room.relay.Busy("Ana") && !room.relay.Busy("Bea"));
    QCOMPARE(room.relay.WatchedBy("Eve"), 0);
}

void TGameRelayTest::hostGameMirrored() {
    TGameRelay relay("Host");
    relay.Announce("Eve");
    relay.HostGameStarted("Host", 1500, "Old", 1100, 15);
    const int game = relay.GameOf("Host");
    QVERIFY(game != 0);
    for (const auto& [n, white, move] : std::vector<std::tuple<int, bool, const char*>>{
             {1, true, "e2e4"}, {2, false, "e7e5"}, {3, true, "g1f3"}})
        QVERIFY(relay.HostMove(Parsed(Body(n, white, move, 890))).Log.isEmpty());
    const QStringList heard = To(relay.Observe("Eve", game), "Eve");
    QCOMPARE(heard.size(), 5);
    QVERIFY(heard[0].startsWith("/GSTART 1 15 Host 1500 Old 1100 890 890 "));
    QCOMPARE(heard[3], QString("/GMOV 1 3 0 g1f3 * 890"));
    // Nobody but the host plays the host's game.
    QVERIFY(relay.Move("Old", game, Body(4, false, "b8c6", 880)).Messages.empty());
    QVERIFY(
        To(relay.HostGameEnded("1-0", "Old se rinde"), "Eve").contains("/GEND 1 1-0 Old se rinde"));
}

void TGameRelayTest::renameKeepsTheGame() {
    TRoom room;
    room.relay.Rename("Bea", "Beatriz");
    room.Play("e2e4");
    const TRelayOutput out = room.relay.Move("Beatriz", room.game, Body(2, false, "e7e5", 288));
    QCOMPARE(To(out, "Ana"), QStringList{"/GMOV 1 2 1 e7e5 * 288"});
    QVERIFY(room.relay.Move("Bea", room.game, Body(3, false, "d7d5", 280)).Messages.empty());
}

void TGameRelayTest::directoryFollowsTheRelay() {
    // What the relay sends Dan, read by Dan's directory.
    TRoom room;
    TRoomDirectory dan;
    const auto feed = [&](const TRelayOutput& out) {
        for (const TRelayedMessage& m : out.Messages) {
            if (!SameNick(m.To, "Dan")) continue;
            const TChatMessage message = CutMessage(m.Bytes.chopped(1));
            if (message.Word == "/CLUB") QVERIFY(dan.TakeClub(message.Data));
            if (message.Word == "/GLIST") QVERIFY(dan.TakeList(message.Data));
            if (message.Word == "/GWATCH") QVERIFY(dan.TakeWatch(message.Data));
        }
    };
    room.relay.Leave("Dan");
    feed(room.relay.Announce("Dan")); // back: the lists as a newcomer gets them
    feed(room.relay.Observe("Eve", room.game));
    room.Play("e2e4");
    feed(room.relay.Offer("Cris", "Dan", 3, true, 1000));
    QVERIFY(dan.HostSpeaks());
    QCOMPARE(dan.StatusOf("Ana"), QString("juega con Bea"));
    QCOMPARE(dan.StatusOf("Eve"), QString("mira Ana – Bea"));
    QCOMPARE(dan.FreeToPlay({"Host", "Ana", "Cris", "Dan", "Eve", "Old"}, "Dan"),
             (QStringList{"Host", "Cris", "Eve"}));
    feed(room.relay.Accept("Dan", "Cris", 1100));
    QCOMPARE(dan.StatusOf("Cris"), QString("juega con Dan"));
    QCOMPARE(dan.Games().size(), size_t(2));
    QCOMPARE(GameListText(*dan.Game(room.game)), QString("Ana – Bea, 1 jugadas"));
    feed(room.relay.Leave("Ana"));
    QCOMPARE(dan.Games().size(), size_t(1));
    QCOMPARE(dan.StatusOf("Eve"), QString()); // the watched game went
    QVERIFY(!dan.Speaks("Ana"));
}

void TGameRelayTest::directoryRefusesMalformed_data() {
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("data");
    const QChar s(FieldSeparator);
    QTest::newRow("club without level") << "club" << QString("x") + s + "Host";
    QTest::newRow("club level 0") << "club" << QString("0") + s + "Host";
    QTest::newRow("club without host") << "club" << QString("1");
    QTest::newRow("club bad nick") << "club" << QString("1") + s + "Host" + s + " a  b";
    QTest::newRow("club too long nick")
        << "club" << QString("1") + s + "Host" + s + QString(31, 'a');
    QTest::newRow("list short") << "list" << QString("1") + s + "Ana" + s + "Bea";
    QTest::newRow("list bad id") << "list" << QString("x") + s + "Ana" + s + "Bea" + s + "0";
    QTest::newRow("list negative plies")
        << "list" << QString("1") + s + "Ana" + s + "Bea" + s + "-1";
    QTest::newRow("list self game") << "list" << QString("1") + s + "Ana" + s + "ana" + s + "0";
    QTest::newRow("list player twice") << "list"
                                       << QString("1") + s + "Ana" + s + "Bea" + s + "0" + s + "2" +
                                              s + "Bea" + s + "Cris" + s + "0";
    QStringList many;
    for (int i = 1; i <= TGameRelay::MostGames + 1; ++i)
        many << QString::number(i) << QString("w%1").arg(i) << QString("b%1").arg(i) << "0";
    QTest::newRow("list too many games") << "list" << many.join(s);
    QTest::newRow("watch unknown game") << "watch" << QString("Eve") + s + "9";
    QTest::newRow("watch bad number") << "watch" << QString("Eve") + s + "uno";
}

void TGameRelayTest::directoryRefusesMalformed() {
    QFETCH(QString, word);
    QFETCH(QString, data);
    const QChar s(FieldSeparator);
    TRoomDirectory directory;
    QVERIFY(directory.TakeClub(QString("1") + s + "Host" + s + "Ana" + s + "Bea"));
    QVERIFY(directory.TakeList(QString("1") + s + "Ana" + s + "Bea" + s + "4"));
    QVERIFY(directory.TakeWatch(QString("Eve") + s + "1"));
    const bool taken = word == "club"   ? directory.TakeClub(data)
                       : word == "list" ? directory.TakeList(data)
                                        : directory.TakeWatch(data);
    QVERIFY(!taken);
    QVERIFY(directory.Speaks("Bea"));
    QCOMPARE(directory.Games().size(), size_t(1));
    QCOMPARE(directory.StatusOf("Eve"), QString("mira Ana – Bea"));
}

QTEST_GUILESS_MAIN(TGameRelayTest)
#include "tst_gamerelay.moc"
