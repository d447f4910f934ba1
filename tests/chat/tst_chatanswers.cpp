// What the chat answers when something goes wrong, on loopback between
// whole programs: a nick clash at "Conectar" answered as a user does, a
// while later (the event loop runs meanwhile), a failed "Conectar", the answers to
// "Observar", "/dns" and unknown commands, removals and the host's count of
// clients.

#include "ChatTestUtil.h"

#include "NetworkGame.h"

#include <QTcpServer>

class TestChatAnswers : public QObject {
    Q_OBJECT
private slots:
    void nickClash_data();
    void nickClash();
    void failedConnect_data();
    void failedConnect();
    void connectionGoneLeavesButtonsIdle_data();
    void connectionGoneLeavesButtonsIdle();
    void answers_data();
    void answers();
    void observarAndClientCount();
    void drawRefusalTold();
};

void TestChatAnswers::nickClash_data() {
    QTest::addColumn<QString>("nick");
    QTest::addColumn<bool>("answered"); // a new nick and Enter, or Escape
    QTest::newRow("a participant's nick, a new one given") << "Bea" << true;
    QTest::newRow("a participant's nick, Escape") << "Bea" << false;
    QTest::newRow("the host's nick, a new one given") << "luis" << true;
    QTest::newRow("the host's nick, Escape") << "luis" << false;
}

void TestChatAnswers::nickClash() {
    QFETCH(QString, nick);
    QFETCH(bool, answered);
    TPeer luis("Luis"), bea("Bea"), late(nick);
    QVERIFY(luis.Host() && bea.Join(luis));
    QVERIFY(late.Join(luis, false));
    late.dialogs.SetAnswerDelay(300);
    if (answered)
        late.dialogs.AnswerInput(TQuestion::NewNick, "Nuevo");
    else
        late.dialogs.Cancel(TQuestion::NewNick);
    // The question is open while the refused connection is torn down.
    QVERIFY(RunLoopUntil([&] { return late.dialogs.PendingAnswers() == 0; }));
    QVERIFY(RunLoopUntil([&] { return late.dialogs.OpenCount() == 0; }));
    RunLoopUntil([] { return false; }, 200); // what the teardown still has queued
    QCOMPARE(late.Game().Role(), TRole::Offline);
    QVERIFY(late.Chat().Buttons().Conectar && late.Chat().Buttons().Crear);
    QVERIFY(late.Log().contains("* El nick " + nick + " está en uso, cámbialo y prueba de nuevo*"));
    QCOMPARE(late.Game().Nick(), answered ? QString("Nuevo") : nick);
    if (!answered) return;
    late.dialogs.SetAnswerDelay(0);
    QVERIFY(late.Join(luis));
    QTRY_COMPARE(luis.Chat().NickList(), QStringList({"Bea", "Luis", "Nuevo"}));
    QVERIFY(late.Chat().Title().startsWith("Nuevo ["));
}

void TestChatAnswers::failedConnect_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("logged");
    QTest::newRow("nobody listens") << "127.0.0.1"
                                    << QString::fromUtf8("No se pudo conectar con 127.0.0.1: "
                                                         "conexión rechazada (nadie espera "
                                                         "conexiones ahí)");
    QTest::newRow("no such name") << "nadie.invalid"
                                  << QString::fromUtf8("No se pudo conectar con nadie.invalid: "
                                                       "no se encuentra esa dirección");
}

// A failed "Conectar" says in Spanish what failed and leaves the buttons
// ready for another try, which then works.
void TestChatAnswers::failedConnect() {
    QFETCH(QString, address);
    QFETCH(QString, logged);
    TPeer ana("Ana"), luis("Luis");
    QTcpServer closed; // a port that was free a moment ago
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    ana.Chat().ChatPort = QString::number(closed.serverPort());
    closed.close();
    ana.dialogs.AnswerInput(TQuestion::ConnectAddress, address);
    ana.Chat().bConectarClick();
    QVERIFY(WaitFor([&] { return ana.Log().contains(logged); }, 10000));
    QCOMPARE(ana.Game().Role(), TRole::Offline);
    const TChatButtons idle{true, true, false, false};
    QCOMPARE(ana.Chat().Buttons(), idle);
    QVERIFY(ana.Log().filter("Error").isEmpty());
    QVERIFY(luis.Host());
    QVERIFY(ana.Join(luis));
}

void TestChatAnswers::connectionGoneLeavesButtonsIdle_data() {
    QTest::addColumn<bool>("hostCloses"); // or the client disconnects itself
    QTest::newRow("host closes") << true;
    QTest::newRow("client disconnects") << false;
}

// Once a connection has gone, "Observar" has no host to ask: it is disabled
// with "Desconectar", and "Conectar" works again.
void TestChatAnswers::connectionGoneLeavesButtonsIdle() {
    QFETCH(bool, hostCloses);
    TPeer ana("Ana"), luis("Luis");
    QVERIFY(luis.Host());
    QVERIFY(ana.Join(luis));
    QVERIFY(ana.Chat().Buttons().Observar);
    if (hostCloses)
        luis.Chat().bDesconectarClick();
    else
        ana.Chat().bDesconectarClick();
    QVERIFY(WaitFor([&] { return ana.Game().Role() == TRole::Offline; }));
    const TChatButtons idle{true, true, false, false};
    QCOMPARE(ana.Chat().Buttons(), idle);
    if (hostCloses) QVERIFY(luis.Host());
    QVERIFY(ana.Join(luis));
}

void TestChatAnswers::answers_data() {
    QTest::addColumn<int>("typist"); // 0 the host Luis, 1 Bea
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("answer"); // the typist's last log line
    QTest::newRow("the host's /dns of a participant") << 0 << "/dns bea"
                                                      << "* IP de bea: 127.0.0.1";
    QTest::newRow("the host's /dns of nobody") << 0 << "/dns Zoe"
                                               << "* No se encuentra Zoe *";
    QTest::newRow("an unknown command on the host")
        << 0 << "/foo x"
        << "* Comando desconocido: /foo (escribe /help para ver los comandos)";
    QTest::newRow("an unknown command on a client")
        << 1 << "/FOO"
        << "* Comando desconocido: /foo (escribe /help para ver los comandos)";
}

void TestChatAnswers::answers() {
    QFETCH(int, typist);
    QFETCH(QString, line);
    TPeer luis("Luis"), bea("Bea");
    QVERIFY(luis.Host() && bea.Join(luis));
    TPeer& who = typist ? bea : luis;
    QVERIFY(who.Type(line));
    QTEST(who.Log().last(), "answer");
}

// The host's title counts its clients through joins, removals and a
// departure; "Observar" is answered: with no game, that there is none (also
// after refusing the host's offer); in the host's game, that its player is playing.
void TestChatAnswers::observarAndClientCount() {
    TPeer luis("Luis"), bea("Bea"), ana("Ana"), eva("Eva");
    QVERIFY(luis.Host());
    auto count = [&] { return luis.Chat().Title().section("] ", 1); };
    QVERIFY(bea.Join(luis));
    QCOMPARE(count(), QString("1 Cliente(s) conectado(s)"));
    QVERIFY(ana.Join(luis) && eva.Join(luis));
    QCOMPARE(count(), QString("3 Cliente(s) conectado(s)"));

    // Observar: with no game running, after refusing the host's offer too.
    const QString none = QString::fromUtf8(
        "* Luis no está jugando ninguna partida en red; verás la próxima desde su comienzo *");
    bea.dialogs.AnswerNo(TQuestion::GameOffer);
    luis.Chat().OfferGame("Bea", 0, 5, 1100);
    QVERIFY(
        WaitFor([&] { return bea.dialogs.PendingAnswers() == 0 && bea.dialogs.OpenCount() == 0; }));
    for (TPeer* p : {&bea, &eva}) {
        p->dialogs.AnswerYes(TQuestion::Observe);
        p->Chat().bObservarClick();
        QVERIFY(WaitFor([&] { return p->Log().contains(none); }));
    }
    // In a game, its player is told it is playing.
    luis.dialogs.AnswerYes(TQuestion::GameOffer);
    ana.Chat().OfferGame("Luis", 0, 5, 1100);
    QVERIFY(WaitFor([&] { return ana.Game().GameInProgress(); }));
    ana.Chat().bObservarClick();
    QVERIFY(WaitFor([&] { return ana.Log().last().startsWith("Ya estas jugando"); }));

    QVERIFY(luis.Type("/kick Eva"));
    QCOMPARE(count(), QString("2 Cliente(s) conectado(s)"));
    QVERIFY(luis.Type("/kill Bea"));
    QCOMPARE(count(), QString("1 Cliente(s) conectado(s)"));
    ana.Chat().bDesconectarClick();
    QVERIFY(WaitFor([&] { return count() == "0 Cliente(s) conectado(s)"; }));
}

// A refused draw is told to the side that offered it, once.
void TestChatAnswers::drawRefusalTold() {
    TPeer luis("Luis"), ana("Ana");
    QVERIFY(luis.Host() && ana.Join(luis));
    luis.dialogs.AnswerYes(TQuestion::GameOffer);
    ana.Chat().OfferGame("Luis", 0, 5, 1100);
    QVERIFY(WaitFor([&] { return ana.Game().GameInProgress() && luis.Game().GameInProgress(); }));
    luis.dialogs.AnswerNo(TQuestion::DrawOffer);
    ana.Game().OfferDraw();
    QVERIFY(WaitFor([&] { return ana.dialogs.Messages().contains("Luis rechaza las tablas"); }));
    QVERIFY(ana.Log().contains("* Luis rechaza las tablas *"));
    QVERIFY(ana.Game().GameInProgress());
    QVERIFY(luis.dialogs.Messages().isEmpty());
}

QTEST_GUILESS_MAIN(TestChatAnswers)
#include "tst_chatanswers.moc"
