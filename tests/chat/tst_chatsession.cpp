// Host and clients of one chat in one process, on loopback: the protocol's
// example exchange byte for byte, what a client's typed lines put on the
// wire, the typed commands in every role, nick rules, the client limit,
// removals, messages cut or glued by the network, malformed and random input,
// and the update check started by the first "Crear".

#include "ChatTestUtil.h"
#include "Settings.h"

#include <QRandomGenerator>
#include <QTcpServer>

#include <memory>

class TestChatSession : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void exampleExchangeByteForByte();
    void clientSends_data();
    void clientSends();
    void commands_data();
    void typedCommandTable();
    void commands();
    void registration_data();
    void registration();
    void renames();
    void clientLimit();
    void kickAndKill_data();
    void kickAndKill();
    void wholeMessages_data();
    void wholeMessages();
    void randomBytesLeaveTheOthersAlone();
    void updateCheckOncePerRun();

private:
    // One chat for the command table: host Luis, clients Bea and Ana (in
    // that order), and Eva, who never connects.
    std::unique_ptr<TPeer> luis_, bea_, ana_, eva_;
};

void TestChatSession::initTestCase() {
    luis_ = std::make_unique<TPeer>("Luis");
    bea_ = std::make_unique<TPeer>("Bea");
    ana_ = std::make_unique<TPeer>("Ana");
    eva_ = std::make_unique<TPeer>("Eva");
    QVERIFY(luis_->Host());
    QVERIFY(bea_->Join(*luis_));
    QVERIFY(ana_->Join(*luis_));
    QTRY_COMPARE(bea_->Chat().NickList(), QStringList({"Ana", "Bea", "Luis"}));
}

void TestChatSession::exampleExchangeByteForByte() {
    TPeer luis("Luis");
    QVERIFY(luis.Host());
    TRawPeer bea, ana;
    QVERIFY(bea.Register(luis.Port(), "Bea"));
    QVERIFY(ana.Connect(luis.Port()));
    QVERIFY(ana.Sees(Wire("/IDENT#")));
    QCOMPARE(ana.got, Wire("/HOLA|Luis#/TXT|Luis > Escriba /HELP para listar los comandos "
                           "disponibles#/IDENT#"));
    ana.got.clear();
    bea.got.clear();
    ana.Send(Wire("/IDENT|Ana#"));
    QVERIFY(ana.Sees("\xFF") && bea.Sees("\xFF"));
    QCOMPARE(ana.got, Wire("/LIST|Luis|Bea|Ana#"));
    QCOMPARE(bea.got, Wire("/ADDNICK|Ana#"));
    ana.got.clear();
    bea.got.clear();
    ana.Send(Wire("/TXT|hola#/MSG|Bea|hi#"));
    QVERIFY(bea.Sees("/MSG"));
    QCOMPARE(bea.got, Wire("/TXT|Ana > hola#/MSG|Mensaje de Ana > hi#"));
    QVERIFY(luis.Log().contains("Ana > hola"));
    QCOMPARE(ana.got, QByteArray()); // the author's line is never sent back
    bea.got.clear();
    ana.socket.disconnectFromHost();
    QVERIFY(bea.Sees("\xFF"));
    QCOMPARE(bea.got, Wire("/DELNICK|Ana|*#"));
    QCOMPARE(luis.Chat().NickList(), QStringList({"Bea", "Luis"}));
    QCOMPARE(luis.Log().last(), QString("* Ana abandona el chat *"));
}

void TestChatSession::clientSends_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("stays");
    QTest::addColumn<QString>("logged"); // the client's new last log line, if any
    QTest::newRow("chat line") << "hola" << Wire("/TXT|hola#") << false << "Ana > hola";
    QTest::newRow("private message") << "/Msg Bea hi  there" << Wire("/MSG|Bea|hi  there#") << false
                                     << "* Mensaje enviado a Bea [hi  there]";
    QTest::newRow("private message without a nick") << "/msg" << QByteArray() << true << "";
    QTest::newRow("dns") << "/dns Bea" << Wire("/DNS|Bea#") << false << "";
    QTest::newRow("nick") << "/nick Eva" << Wire("/NICK|Eva#") << false << "";
    QTest::newRow("blank nick") << "/nick " << QByteArray() << true << "* El nick  está en uso*";
    QTest::newRow("kick is the host's") << "/kick Bea" << QByteArray() << false << "";
    QTest::newRow("protocol word not sent, but answered")
        << "/IDENT Eva" << QByteArray() << false
        << "* Comando desconocido: /ident (escribe /help para ver los comandos)";
    QTest::newRow("end byte and separator typed")
        << QStringLiteral("hola\u00FF/KILL\u00FE*") << Wire("/TXT|hola?/KILL?*#") << false
        << "Ana > hola?/KILL?*";
    QTest::newRow("separator in a private message")
        << QStringLiteral("/msg Bea a\u00FE/KILL") << Wire("/MSG|Bea|a?/KILL#") << false
        << "* Mensaje enviado a Bea [a?/KILL]";
    QTest::newRow("end byte as a nick")
        << QStringLiteral("/nick \u00FF") << Wire("/NICK|?#") << false << "";
}

void TestChatSession::clientSends() {
    QFETCH(QString, line);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, stays);
    QFETCH(QString, logged);
    QTcpServer host;
    QVERIFY(host.listen(QHostAddress::LocalHost, 0));
    TPeer ana("Ana");
    ana.Chat().ChatPort = QString::number(host.serverPort());
    ana.dialogs.AnswerInput(TQuestion::ConnectAddress, "127.0.0.1");
    ana.Chat().bConectarClick();
    ana.dialogs.Flush();
    QVERIFY(host.waitForNewConnection(5000));
    std::unique_ptr<QTcpSocket> s(host.nextPendingConnection());
    QByteArray got;
    connect(s.get(), &QTcpSocket::readyRead, this, [&] { got += s->readAll(); });
    s->write(Wire("/HOLA|Luis#/IDENT#"));
    QTRY_COMPARE(got, Wire("/IDENT|Ana#"));
    got.clear();
    const int before = ana.Log().size();
    QCOMPARE(!ana.Type(line), stays);
    QCOMPARE(ana.Log().size(), before + (logged.isEmpty() ? 0 : 1));
    if (!logged.isEmpty()) QCOMPARE(ana.Log().last(), logged);
    ana.Type("fin");
    QTRY_VERIFY(got.endsWith(Wire("/TXT|fin#")));
    QCOMPARE(got.chopped(9), bytes);
}

void TestChatSession::commands_data() {
    QTest::addColumn<int>("typist"); // 0 Luis (host), 1 Bea, 2 Ana (clients), 3 Eva (offline)
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("reader");
    QTest::addColumn<QString>("expected"); // "%ip": the host's address
    QTest::addColumn<QString>("cue");      // the reader's last sound, when one is expected
    const QString longLine(3000, u'y');
    QTest::newRow("host chat line") << 0 << "buenas" << 1 << "Luis > buenas"
                                    << "";
    QTest::newRow("client chat line relayed") << 2 << "hola" << 1 << "Ana > hola"
                                              << "";
    QTest::newRow("long line arrives whole") << 0 << longLine << 2 << "Luis > " + longLine << "";
    QTest::newRow("host private message, no sound")
        << 0 << "/msg ana psst" << 2 << "Mensaje de Luis > psst"
        << "";
    QTest::newRow("client to client") << 2 << "/msg BEA hi" << 1 << "Mensaje de Ana > hi"
                                      << "msg";
    QTest::newRow("client to host") << 2 << "/msg luis hi" << 0 << "Mensaje de Ana > hi"
                                    << "msg";
    QTest::newRow("client to nobody") << 2 << "/msg Nadie x" << 2 << "* No se encuentra Nadie"
                                      << "";
    QTest::newRow("host list") << 0 << "/list" << 0 << "* Usuarios conectados: Luis, Bea, Ana"
                               << "";
    QTest::newRow("host help") << 0 << "/help" << 0 << "/list (Ver nick's conectados)"
                               << "";
    QTest::newRow("client help") << 1 << "/help" << 1 << "/list (Ver nick's conectados)"
                                 << "";
    QTest::newRow("host version") << 0 << "/version" << 0 << "* Estas usando ZugaretChat! 2.01"
                                  << "";
    QTest::newRow("host asks a client")
        << 0 << "/version bea" << 0 << "* Bea esta usando ZugaretChat! 2.01"
        << "";
    QTest::newRow("client gets the host's version")
        << 2 << "/version Bea" << 2 << "* Luis esta usando ZugaretChat! 2.01"
        << "";
    QTest::newRow("dns of a client") << 2 << "/dns bea" << 2 << "* IP de bea: 127.0.0.1"
                                     << "";
    QTest::newRow("dns of the host") << 1 << "/dns LUIS" << 1 << "* IP de LUIS: %ip"
                                     << "";
    QTest::newRow("dns of nobody") << 2 << "/dns Nadie" << 2 << "* No se encuentra Nadie *"
                                   << "";
    QTest::newRow("offline chat line") << 3 << "hola" << 3 << "* No está conectado*"
                                       << "";
    QTest::newRow("host dns") << 0 << "/dns ANA" << 0 << "* IP de ANA: 127.0.0.1"
                              << "";
    QTest::newRow("host private message to nobody")
        << 0 << "/msg Nadie x" << 0 << "* No se encuentra Nadie *"
        << "";
    QTest::newRow("host kicks nobody") << 0 << "/kick Nadie" << 0 << "* No se encuentra Nadie *"
                                       << "";
    QTest::newRow("host asks nobody's version")
        << 0 << "/version Nadie" << 0 << "* No se encuentra Nadie *"
        << "";
    QTest::newRow("offline version")
        << 3 << "/VERSION bea" << 3 << "* Estas usando ZugaretChat! 2.01"
        << "";
    QTest::newRow("unknown word") << 0 << "/foo bar" << 0
                                  << "* Comando desconocido: /foo (escribe /help para ver los "
                                     "comandos)"
                                  << "";
}

// The typed commands' table: one row at most per word and role, words as
// matched (upper case), and a handler for every row.
void TestChatSession::typedCommandTable() {
    using Row = TChatSession::TTypedCommand;
    for (const Row* a = TChatSession::TypedCommandsBegin(); a != TChatSession::TypedCommandsEnd();
         ++a) {
        QVERIFY(a->Run && a->Roles);
        QCOMPARE(QString::fromLatin1(a->Word), QString::fromLatin1(a->Word).toUpper());
        for (const Row* b = a + 1; b != TChatSession::TypedCommandsEnd(); ++b)
            QVERIFY2(qstrcmp(a->Word, b->Word) != 0 || (a->Roles & b->Roles) == 0, a->Word);
    }
}

void TestChatSession::commands() {
    QFETCH(int, typist);
    QFETCH(QString, line);
    QFETCH(int, reader);
    QFETCH(QString, expected);
    QFETCH(QString, cue);
    TPeer* peers[] = {luis_.get(), bea_.get(), ana_.get(), eva_.get()};
    expected.replace("%ip", luis_->Chat().Server().LocalIP());
    peers[reader]->sound.Clear();
    QVERIFY(peers[typist]->Type(line));
    QTRY_COMPARE(peers[reader]->Log().last(), expected);
    QCOMPARE(peers[reader]->sound.Cues().value(0), cue);
}

void TestChatSession::registration_data() {
    QTest::addColumn<QString>("nick");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("the host's nick in another case") << "LUIS" << false;
    QTest::newRow("taken exactly") << "Ana" << false;
    QTest::newRow("taken in another case") << "ana" << false;
    QTest::newRow("blank") << "   " << false;
    QTest::newRow("free") << "Bea" << true;
}

void TestChatSession::registration() {
    QFETCH(QString, nick);
    QFETCH(bool, accepted);
    TPeer luis("Luis"), ana("Ana"), newcomer("Otro");
    QVERIFY(luis.Host());
    QVERIFY(ana.Join(luis));
    newcomer.Game().SetNick(nick);
    QVERIFY(newcomer.Join(luis, accepted));
    newcomer.dialogs.AnswerInput(TQuestion::NewNick, "Nuevo");
    if (accepted) {
        QStringList all{"Ana", "Luis", nick};
        all.sort();
        QTRY_COMPARE(ana.Chat().NickList(), all);
        QCOMPARE(luis.Chat().NickList(), all);
        QCOMPARE(newcomer.Chat().NickList(), all);
        // A lookup ignores case.
        QCOMPARE(luis.Chat().NickOfSocket(luis.Chat().SocketOfNick(nick.toUpper())), nick);
        return;
    }
    QTRY_COMPARE(newcomer.Game().Role(), TRole::Offline);
    QVERIFY(
        newcomer.Log().contains("* El nick " + nick + " está en uso, cámbialo y prueba de nuevo*"));
    QTRY_COMPARE(newcomer.Game().Nick(), QString("Nuevo"));
    QCOMPARE(luis.Chat().NickList(), QStringList({"Ana", "Luis"}));
    QCOMPARE(luis.Chat().Server().Clients.Count(), 1);
}

void TestChatSession::renames() {
    TPeer luis("Luis"), bea("Bea"), ana("Ana");
    QVERIFY(luis.Host() && bea.Join(luis) && ana.Join(luis));
    QVERIFY(ana.Type("/nick Eva"));
    QTRY_COMPARE(ana.Game().Nick(), QString("Eva"));
    QVERIFY(ana.Chat().Title().startsWith("Eva [") && ana.Game().Title().contains("[Eva "));
    QTRY_COMPARE(bea.Log().last(), QString("* Ana es ahora Eva *"));
    QCOMPARE(luis.Log().last(), QString("* Ana es ahora Eva"));
    for (const TPeer* p : {&luis, &bea, &ana})
        QCOMPARE(p->Chat().NickList(), QStringList({"Bea", "Eva", "Luis"}));
    QVERIFY(ana.Type("/nick luis"));
    QTRY_COMPARE(ana.Log().last(), QString("* El nick luis está en uso*"));
    QVERIFY(ana.Type("/nick BEA")); // nicks differ in more than case
    QTRY_COMPARE(ana.Log().last(), QString("* El nick BEA está en uso*"));
    QCOMPARE(bea.Chat().NickList(), QStringList({"Bea", "Eva", "Luis"}));
    // The host: refused against a client in any case, or blank; the line stays.
    QVERIFY(!luis.Type("/nick bea"));
    QCOMPARE(luis.Log().last(), QString("* El nickbea ya existe *"));
    QVERIFY(!luis.Type("/nick "));
    QVERIFY(luis.Type("/nick Pepe"));
    QVERIFY(luis.Chat().Title().startsWith("Pepe ["));
    QTRY_COMPARE(ana.Game().HostNick(), QString("Pepe"));
    QCOMPARE(ana.Chat().NickList(), QStringList({"Bea", "Eva", "Pepe"}));
    QCOMPARE(luis.Chat().NickList(), ana.Chat().NickList());
    TRawPeer raw; // a blank nick from the wire is refused too
    QVERIFY(raw.Register(luis.Port(), "Zoe"));
    raw.Send(Wire("/NICK| #/IDENT|Otro#")); // nor is a second registration taken
    QVERIFY(raw.Sees(Wire("/NICKUSED| #")));
    QCOMPARE(luis.Chat().NickList(), QStringList({"Bea", "Eva", "Pepe", "Zoe"}));
}

void TestChatSession::clientLimit() {
    TPeer luis("Luis"), bea("Bea"), ana("Ana"), eva("Eva");
    luis.Chat().SetMaxClients(2);
    QVERIFY(luis.Host() && bea.Join(luis) && ana.Join(luis));
    TRawPeer third;
    QVERIFY(third.Connect(luis.Port()));
    const QString thirdPort = QString::number(third.socket.localPort());
    QTRY_COMPARE(third.socket.state(), QTcpSocket::UnconnectedState);
    QCOMPARE(third.got, Wire("/TXT|Lo siento, No se admiten mas mirones#"));
    QCOMPARE(luis.Log().last(), QStringLiteral("Conexión rechazada [127.0.0.1:") + thirdPort + "]");
    bea.Chat().bConectarClick(); // connected: nothing is asked, nothing dropped
    QCOMPARE(bea.dialogs.Log().size(), 1);
    bea.Chat().bDesconectarClick();
    QTRY_COMPARE(luis.Chat().NickList(), QStringList({"Ana", "Luis"}));
    QVERIFY(eva.Join(luis));
    QVERIFY(luis.Chat().Title().endsWith("] 2 Cliente(s) conectado(s)"));
}

void TestChatSession::kickAndKill_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("notice");
    QTest::addColumn<bool>("ends");
    // The one removed is told so, and why.
    QTest::newRow("kick") << "/kick Ana"
                          << "* Ana abandona el chat [KICK por Luis]*" << false;
    QTest::newRow("kick typed in another case")
        << "/KICK aNA"
        << "* Ana abandona el chat [KICK por Luis]*" << false;
    QTest::newRow("kill") << "/kill ana adios"
                          << "* Ana abandona el chat [KILL por Luis]*" << true;
}

void TestChatSession::kickAndKill() {
    QFETCH(QString, line);
    QFETCH(QString, notice);
    QFETCH(bool, ends);
    TPeer luis("Luis"), bea("Bea"), ana("Ana");
    QVERIFY(luis.Host() && bea.Join(luis) && ana.Join(luis));
    TZugaretSettings rated;
    ana.Game().SaveSettings(rated);
    rated.Elo = 1234;
    ana.Game().LoadSettings(rated);
    QVERIFY(luis.Type(line));
    QCOMPARE(luis.Log().last(), notice);
    QCOMPARE(luis.Chat().NickList(), QStringList({"Bea", "Luis"}));
    QTRY_COMPARE(bea.Chat().NickList(), QStringList({"Bea", "Luis"}));
    QCOMPARE(bea.Log().last(), notice);
    QTRY_COMPARE(ana.Game().Role(), TRole::Offline);
    const QString why = notice.section(' ', 5);
    QVERIFY(ana.Log().contains("* Te han echado del chat " + why));
    QTRY_COMPARE(ana.program->Finished(), ends);
    QCOMPARE(ana.dialogs.Messages(), ends ? QStringList{"Te han echado del chat " + why.chopped(1) +
                                                        ": el programa se cerrará."}
                                          : QStringList());
    TZugaretSettings saved; // a killed program ends through its shut-down
    QCOMPARE(saved.Load(ana.env->IniFile()) && saved.Elo == 1234, ends);
}

void TestChatSession::wholeMessages_data() {
    QTest::addColumn<QList<QByteArray>>("sends"); // each flushed before the next
    QTest::addColumn<QStringList>("hostLog");     // the host log's last lines
    QTest::addColumn<QString>("beaSees");
    const QString x(3000, u'x');
    QTest::newRow("cut into two segments") << QList<QByteArray>{Wire("/TXT|ho"), Wire("la#")}
                                           << QStringList{"Eva > hola"} << "Eva > hola";
    QTest::newRow("3000 bytes") << QList<QByteArray>{Wire("/TXT|") + x.toLatin1() + '\xFF'}
                                << QStringList{"Eva > " + x} << "Eva > " + x;
    QTest::newRow("two in one segment, lower-case word")
        << QList<QByteArray>{Wire("/TXT|uno#/txt|dos#")} << QStringList{"Eva > uno", "Eva > dos"}
        << "Eva > dos";
    QTest::newRow("malformed offer, the rest still handled")
        << QList<QByteArray>{Wire("/NEW_GAME|x|0|Eva|1200#/TXT|sigue#")}
        << QStringList{QStringLiteral("Error 56 : [/NEW_GAME xþ0þEvaþ1200]"), "Eva > sigue"}
        << "Eva > sigue";
    QTest::newRow("malformed move")
        << QList<QByteArray>{Wire("/MOV|1|0|e2e4|*|6m#/TXT|ok#")}
        << QStringList{QStringLiteral(
                           "* Mensaje descartado, número no válido: [/MOV 1þ0þe2e4þ*þ6m]"),
                       "Eva > ok"}
        << "Eva > ok";
    QTest::newRow("more than 64 KiB without an end")
        << QList<QByteArray>{QByteArray(70000, 'z')}
        << QStringList{"* Conexión cerrada con Eva: mensaje demasiado largo *",
                       "* Eva abandona el chat *"}
        << "* Eva abandona el chat **";
}

void TestChatSession::wholeMessages() {
    QFETCH(QList<QByteArray>, sends);
    QFETCH(QStringList, hostLog);
    QFETCH(QString, beaSees);
    TPeer luis("Luis"), bea("Bea");
    QVERIFY(luis.Host() && bea.Join(luis));
    TRawPeer eva;
    QVERIFY(eva.Register(luis.Port(), "Eva"));
    for (const QByteArray& bytes : sends) {
        eva.Send(bytes);
        QTest::qWait(30); // the host reads this part on its own
    }
    QTRY_COMPARE(bea.Log().last(), beaSees);
    QCOMPARE(luis.Log().mid(luis.Log().size() - hostLog.size()), hostLog);
    QVERIFY(luis.dialogs.Log().isEmpty()); // no message box at a peer's will
}

void TestChatSession::randomBytesLeaveTheOthersAlone() {
    TPeer luis("Luis"), bea("Bea"), ana("Ana"), zoe("Zoe");
    QVERIFY(luis.Host() && bea.Join(luis) && ana.Join(luis));
    QRandomGenerator rng(20240611);
    QByteArray noise(200000, Qt::Uninitialized);
    for (char& b : noise)
        b = char(rng.bounded(256));
    TRawPeer raw; // toward the host
    QVERIFY(raw.Connect(luis.Port()));
    raw.Send(noise);
    QTcpServer fakeHost; // and toward a client
    QVERIFY(fakeHost.listen(QHostAddress::LocalHost, 0));
    zoe.Chat().ChatPort = QString::number(fakeHost.serverPort());
    zoe.dialogs.AnswerInput(TQuestion::ConnectAddress, "127.0.0.1");
    zoe.Chat().bConectarClick();
    zoe.dialogs.Flush();
    QVERIFY(fakeHost.waitForNewConnection(5000));
    std::unique_ptr<QTcpSocket> toZoe(fakeHost.nextPendingConnection());
    toZoe->write(noise + Wire("#/TXT|sigo vivo#"));
    QTRY_COMPARE(zoe.Log().last(), QString("sigo vivo"));
    QVERIFY(ana.Type("sigo aqui"));
    QTRY_COMPARE(bea.Log().last(), QString("Ana > sigo aqui"));
    QCOMPARE(luis.Chat().NickList(), QStringList({"Ana", "Bea", "Luis"}));
    QVERIFY(luis.dialogs.Log().isEmpty() && zoe.dialogs.Log().size() == 1); // "Conectar"
}

void TestChatSession::updateCheckOncePerRun() {
    // The maker's site on loopback: this copy is outdated, the address moves.
    QTcpServer web;
    QVERIFY(web.listen(QHostAddress::LocalHost, 0));
    int requests = 0;
    connect(&web, &QTcpServer::newConnection, this, [&] {
        QTcpSocket* s = web.nextPendingConnection();
        ++requests;
        connect(s, &QTcpSocket::readyRead, s, [s] {
            s->write("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 41\r\n\r\n"
                     "9.99\nhttp://127.0.0.1:1/nuevo\n$> noticia\n");
            s->disconnectFromHost();
        });
    });
    TPeer luis("Luis", "[KorvenWEB]\r\nUrl=http://127.0.0.1:" +
                           QByteArray::number(web.serverPort()) + "/web\r\n");
    QStringList opened;
    luis.Chat().OnOpenUrl = [&](const QString& url) { opened << url; };
    QVERIFY(luis.Host());
    const QString search = "* ZugaretCHAT > Buscando nuevas versiones en KorvenWEB ...";
    QCOMPARE(luis.Log().last(), search);
    QTRY_COMPARE(luis.Log().last(), QString("$> noticia"));
    // The page opens once the warning is closed, from the event loop.
    QTRY_COMPARE(opened, QStringList{"http://127.0.0.1:1/nuevo"});
    QCOMPARE(luis.Game().WebUrl(), opened.value(0));
    QVERIFY(luis.dialogs.Messages().value(0).contains("9.99"));
    QVERIFY(luis.sound.Cues().contains("entrar"));
    TZugaretSettings ini;
    QVERIFY(ini.Load(luis.env->IniFile()) && ini.VersionState == 2);
    luis.Chat().bDesconectarClick();
    QVERIFY(luis.Host());
    QVERIFY(!luis.Log().contains(search));
    QCOMPARE(requests, 1);
}

QTEST_GUILESS_MAIN(TestChatSession)
#include "tst_chatsession.moc"
