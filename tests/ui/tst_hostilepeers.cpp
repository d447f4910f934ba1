// A room nobody can break: one process holds a host and honest clients, and
// raw sockets attack them as a hostile peer would. Every table row is an
// attack that once broke the room: markup in a nick read as rich text
// (through the real dialogs and windows, with the process's address space
// limited, so a dialog that reads /dev/zero ends the test), messages too long
// for a client, connections that never register, ghost nicks, nicks that
// pass for others, a peer naming someone else in a game word, clocks wound
// up by a move, and offers that abandon a game behind its opponent's back.

#include "tst_principal_fixture.h"

#include "ChatTestUtil.h"
#include "NetworkGame.h"
#include "NickRules.h"
#include "QtDialogs.h"
#include "RecordFiles.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QTcpServer>

#include <sys/resource.h>

#include <map>

namespace {

const QString Markup = QStringLiteral("<img src=\"/dev/zero\">");

// Protocol text: "|" is 0xFE, "#" is 0xFF, "{x*N}" is N times x.
QByteArray Bytes(const QString& script) {
    QString text = script;
    static const QRegularExpression repeat(QStringLiteral("\\{(.)\\*(\\d+)\\}"));
    for (auto m = repeat.match(text); m.hasMatch(); m = repeat.match(text))
        text.replace(m.capturedStart(), m.capturedLength(),
                     QString(m.captured(2).toInt(), m.captured(1).at(0)));
    return text.replace(u'|', QChar(0xFE)).replace(u'#', QChar(0xFF)).toLatin1();
}

// Every message a client was sent fits what a client accepts.
bool AllFit(const QByteArray& bytes) {
    for (const QByteArray& message : bytes.split('\xFF'))
        if (message.size() > TMessageAssembler::MaxPending) return false;
    return true;
}

// Answers the real dialogs as they open: notes each one's text and whether
// it is shown as plain text, then answers No (or OK).
class TDialogWatcher {
public:
    TDialogWatcher() {
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Look(); });
        timer_.start();
    }
    QStringList Texts;
    QList<bool> Plain;
    // Run while the next dialog is open, before it is answered.
    std::function<void()> WhileOpen;

private:
    void Look() {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || !w->isVisible() || w == seen_) return;
        seen_ = w;
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            Texts << box->text();
            Plain << (box->textFormat() == Qt::PlainText);
        } else {
            const QList<QLabel*> labels = w->findChildren<QLabel*>();
            Texts << (labels.isEmpty() ? QString() : labels.first()->text());
            Plain << std::all_of(labels.begin(), labels.end(),
                                 [](const QLabel* l) { return l->textFormat() == Qt::PlainText; });
        }
        if (WhileOpen) std::exchange(WhileOpen, nullptr)();
        if (auto* box = qobject_cast<QMessageBox*>(w))
            box->done(box->buttons().size() > 1 ? QMessageBox::No : QMessageBox::Ok);
        else if (auto* dialog = qobject_cast<QDialog*>(w))
            dialog->reject();
    }

    QTimer timer_;
    QPointer<QWidget> seen_;
};

#if !defined(__SANITIZE_ADDRESS__)
// The process's address space, in bytes.
rlim_t AddressSpace() {
    QFile status(QStringLiteral("/proc/self/statm"));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    return rlim_t(status.readAll().split(' ').value(0).toULongLong()) * rlim_t(getpagesize());
}
#endif

// The host Luis, the honest client Bea and the raw attackers of one row.
struct TRoom {
    TPeer luis{"Luis"};
    TPeer bea{"Bea"};
    std::map<char, std::unique_ptr<TRawPeer>> raw;

    TRawPeer& Raw(char who) {
        auto& peer = raw[who];
        if (!peer) peer = std::make_unique<TRawPeer>();
        return *peer;
    }

    // Runs one step of a script; false and why when it could not.
    bool Step(const QString& step, QString* why) {
        const QString verb = step.section(u' ', 1, 1);
        const QString rest = step.section(u' ', 2);
        const char who = step.at(0).toLatin1();
        auto fail = [why, &step](const char* what) {
            *why = step + ": " + what;
            return false;
        };
        if (step.startsWith(u"wait ")) {
            QTest::qWait(step.mid(5).toInt());
            return true;
        }
        if (who == 'L' && verb == u"types") return luis.Type(rest) || true;
        if (who == 'L' && verb == u"offers") {
            luis.Chat().OfferGame(rest, 0, 5, luis.Game().Elo());
            return true;
        }
        if (who == 'B' && verb == u"types") return bea.Type(rest) || true;
        TRawPeer& raw = Raw(who);
        if (verb == u"connects")
            return (raw.Connect(luis.Port()) && raw.Sees(Wire("/IDENT#"))) || fail("no greeting");
        if (verb == u"is") {
            if (raw.socket.state() != QAbstractSocket::ConnectedState &&
                !(raw.Connect(luis.Port()) && raw.Sees(Wire("/IDENT#"))))
                return fail("no greeting");
            raw.got.clear();
            raw.Send(Wire("/IDENT|") + Bytes(rest) + '\xFF');
            return WaitFor([&] {
                       return raw.got.contains(Wire("/LIST|")) ||
                              raw.got.contains(Wire("/NICKERROR|")) || raw.got.contains("mirones");
                   }) ||
                   fail("no answer");
        }
        if (verb == u"sends") {
            raw.Send(Bytes(rest));
            return true;
        }
        if (verb == u"settles") {
            raw.got += Settle(raw);
            return true;
        }
        if (verb == u"leaves") {
            const int before = luis.Chat().Server().Clients.Count();
            raw.socket.disconnectFromHost();
            return WaitFor([&] { return luis.Chat().Server().Clients.Count() < before; }) ||
                   fail("still there");
        }
        if (verb == u"isrefused")
            return (raw.Connect(luis.Port()) && raw.Sees("mirones")) || fail("not refused");
        if (verb == u"isclosed")
            return WaitFor(
                       [&] { return raw.socket.state() == QAbstractSocket::UnconnectedState; }) ||
                   fail("still open");
        return fail("unknown step");
    }
};

} // namespace

class TestHostilePeers : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void markupShownAsText_data();
    void markupShownAsText();
    void room_data();
    void room();
    void nicks_data();
    void nicks();
    void ghostNicksLeaveNothing();
    void gameWords_data();
    void gameWords();
    void oneOfferQuestionAtATime();
    void abandonedGameIsResigned();

private:
    bool limited_ = false;
};

void TestHostilePeers::initTestCase() {
    // A dialog that took a nick for markup would read /dev/zero until the
    // address space runs out: the test then ends with bad_alloc instead of
    // taking the machine's memory. AddressSanitizer reserves terabytes of
    // address space, so its build runs without the limit.
#if !defined(__SANITIZE_ADDRESS__)
    rlimit limit{};
    QVERIFY(getrlimit(RLIMIT_AS, &limit) == 0);
    limit.rlim_cur = AddressSpace() + rlim_t(1536) * 1024 * 1024;
    QVERIFY(setrlimit(RLIMIT_AS, &limit) == 0);
    limited_ = true;
#endif
}

// Markup in a nick or a text from a peer, through the real dialogs and the
// main window: a dialog shows it as text, a label too, or nothing is shown.
// The announcement of a game's end: its result, then the rating change.
static QString End(const char* result, const char* rating) {
    return QString::fromUtf8(result) + u'\n' + QString::fromUtf8(rating);
}

void TestHostilePeers::markupShownAsText_data() {
    QTest::addColumn<bool>("onHost"); // false: a hostile host attacks a client
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("attack"); // "%n" is the markup nick
    QTest::addColumn<QString>("dialog"); // the text shown; empty: none
    QTest::addColumn<bool>("label");     // a label of the main window shows the nick
    const QString offer =
        QString::fromUtf8("¿Acepta una partida a 5 minutos con %1 ( 1200 ELO)? Usted juega con "
                          "blancas.")
            .arg(Markup);
    // clang-format off
    QTest::newRow("offer before registering") << true << "unregistered" << "/NEW_GAME|5|1|%n|1200#" << "" << false;
    QTest::newRow("offer") << true << "" << "/NEW_GAME|5|1|%n|1200#" << offer << false;
    QTest::newRow("unasked acceptance") << true << "" << "/ACCEPT_GAME|5|0|%n|1200#" << "" << true;
    QTest::newRow("draw offer") << true << "game" << "/DRAW|%n|x#" << Markup + QString::fromUtf8(" le ofrece tablas. ¿Acepta?") << true;
    QTest::newRow("resignation") << true << "game" << "/RESIGN|%n|x#" << Markup + End(" abandona", "Luis 1100 → 1119 (+19)") << true;
    QTest::newRow("time-out") << true << "game" << "/TIMEOUT|%n|x#" << End("Ganan Negras por tiempo", "Luis 1100 → 1119 (+19)") << true;
    QTest::newRow("draw accepted") << true << "draw offered" << "/ACCEPT_DRAW|%n#" << End("Tablas por acuerdo", "Luis 1100 → 1104 (+4)") << true;
    QTest::newRow("offer declined") << true << "offered" << "/DECLINE_GAME|%n#" << Markup + " no juega" << false;
    QTest::newRow("percent signs in a nick") << true << "percent" << "/NEW_GAME|5|1|%n|1200#" << QString(offer).replace(Markup, "a%1b%3") << false;
    QTest::newRow("host's offer") << false << "" << "/NEW_GAME|5|1|%n|1200#" << offer << false;
    QTest::newRow("host's resignation") << false << "game" << "/RESIGN|%n|x#" << Markup + End(" abandona", "Ana 1100 → 1119 (+19)") << true;
    // clang-format on
}

void TestHostilePeers::markupShownAsText() {
    QFETCH(bool, onHost);
    QFETCH(QString, setup);
    QFETCH(QString, attack);
    QFETCH(QString, dialog);
    QFETCH(bool, label);
    const QString nick = setup == "percent" ? QStringLiteral("a%1b%3") : Markup;
    attack.replace("%n", nick);
    const QByteArray quiet = "[KorvenWEB]\r\nUrl=http://127.0.0.1:9/zugaret\r\n";
    TTestProgram victim(onHost ? "Luis" : "Ana", quiet);
    TQtDialogs real;
    victim.env->SetDialogs(&real);
    TChatSession& chat = victim.Chat().Session();
    TRawPeer attacker;
    QTcpServer fakeHost;
    std::unique_ptr<QTcpSocket> toVictim;
    std::function<void(const QByteArray&)> send;
    if (onHost) {
        chat.ChatPort = "0";
        chat.bCrearClick();
        const QString port = chat.Server().LocalPort(chat.Server().SocketHandle());
        if (setup == "unregistered")
            QVERIFY(attacker.Connect(port) && attacker.Sees(Wire("/IDENT#")));
        else
            QVERIFY(attacker.Register(port, nick.toLatin1()));
        send = [&](const QByteArray& bytes) { attacker.Send(bytes); };
    } else {
        QVERIFY(fakeHost.listen(QHostAddress::LocalHost, 0));
        chat.ChatPort = QString::number(fakeHost.serverPort());
        victim.dialogs.AnswerInput(TQuestion::ConnectAddress, "127.0.0.1");
        victim.env->SetDialogs(&victim.dialogs);
        chat.bConectarClick();
        victim.dialogs.Flush();
        victim.env->SetDialogs(&real);
        QVERIFY(fakeHost.waitForNewConnection(5000));
        toVictim.reset(fakeHost.nextPendingConnection());
        toVictim->write(Bytes("/HOLA|" + nick + "#/IDENT#/LIST|" + nick + "|Ana#"));
        QVERIFY(WaitFor([&] { return chat.Registered(); }));
        send = [&](const QByteArray& bytes) { toVictim->write(bytes); };
    }
    TGameController& game = victim.Game();
    if (setup == "game") {
        // The attacker plays White and is to move.
        send(Bytes("/ACCEPT_GAME|5|0|" + nick + "|1200#"));
        QVERIFY(WaitFor([&] { return game.GameInProgress(); }));
    }
    if (setup == "draw offered") {
        send(Bytes("/ACCEPT_GAME|5|1|" + nick + "|1200#"));
        QVERIFY(WaitFor([&] { return game.GameInProgress(); }));
        game.OfferDraw();
    }
    if (setup == "offered") chat.OfferGame(nick, 0, 5, game.Elo());
    TDialogWatcher watcher;
    send(Bytes(attack));
    if (dialog.isEmpty()) {
        // Once a later message is handled, the attack was too.
        if (onHost) attacker.Send(Wire("/IDENT|Zed#"));
        if (onHost) QVERIFY(Settle(attacker) != "<no reply>");
        if (label) QVERIFY(WaitFor([&] { return game.GameInProgress(); }));
        QCOMPARE(watcher.Texts, QStringList());
    } else {
        QVERIFY(WaitFor([&] { return !watcher.Texts.isEmpty(); }));
        QCOMPARE(watcher.Texts, QStringList{dialog});
        QCOMPARE(watcher.Plain, QList<bool>{true});
    }
    QList<QLabel*> showing;
    for (QLabel* l : victim.Main().findChildren<QLabel*>())
        if (l->text() == nick) showing << l;
    QCOMPARE(showing.size(), label ? 1 : 0);
    for (const QLabel* l : showing)
        QCOMPARE(l->textFormat(), Qt::PlainText);
}

// The chat as one host, an honest client Bea and raw attackers A and B see
// it after a script of steps ("A is Eva", "A sends /TXT|hola#", ...).
void TestHostilePeers::room_data() {
    QTest::addColumn<int>("maxClients");
    QTest::addColumn<QString>("script");  // steps separated by ";"
    QTest::addColumn<QString>("nicks");   // the host's nick list afterwards
    QTest::addColumn<QString>("beaSees"); // Bea's last log line; empty: not checked
    QTest::addColumn<QString>("hostLog"); // the host's last log line; empty: not checked
    QTest::addColumn<int>("identMs");     // how long a connection may take to register
    QTest::addColumn<QString>("sees");    // "A=bytes": A was sent them; "A!bytes": not
    const QString ys(MostChatText, u'y');
    const int quick = 300, slow = TChatSession::DefaultIdentTimeoutMs;
    // clang-format off
    QTest::newRow("40,000-character nick") << 5 << "A is {x*40000}; A isclosed" << "Bea,Luis" << "" << "" << slow << "A=/NICKERROR|{x*30}#";
    QTest::newRow("40,000-byte chat line") << 5 << "A is Eva; A sends /TXT|{y*40000}#; A settles" << "Bea,Eva,Luis" << "Eva > " + ys << "Eva > " + ys << slow << "";
    QTest::newRow("40,000-byte private message") << 5 << "A is Eva; A sends /MSG|Bea|{y*40000}#; A settles" << "Bea,Eva,Luis" << "Mensaje de Eva > " + ys << "" << slow << "";
    QTest::newRow("asking for a 60,000-character nick") << 5 << "A is Eva; A sends /DNS|{z*60000}#/MSG|{z*60000}|x#; A settles" << "Bea,Eva,Luis" << "" << "" << slow << "A=/TXT|* No se encuentra {z*30} *#/TXT|* No se encuentra {z*30}#";
    QTest::newRow("two silent connections in a room of two") << 2 << "A connects; B connects; C is Eva" << "Bea,Eva,Luis" << "* Ha entrado Eva *" << "* Ha entrado Eva" << slow << "A!/ADDNICK";
    QTest::newRow("a silent connection is closed") << 5 << "A connects; A isclosed" << "Bea,Luis" << "" << "]: no se identificó" << quick << "";
    QTest::newRow("a full room") << 1 << "A isrefused" << "Bea,Luis" << "" << "" << slow << "A=/TXT|Lo siento, No se admiten mas mirones#";
    QTest::newRow("registering when the room has filled") << 2 << "B connects; A connects; B is Zoe; A is Eva" << "Bea,Luis,Zoe" << "" << "" << slow << "A=/TXT|Lo siento, No se admiten mas mirones#";
    QTest::newRow("an unregistered connection is nobody") << 5 << "A connects; B is Eva; B sends /LIST#; B settles" << "Bea,Eva,Luis" << "" << "" << slow << "B=/TXT|* Usuarios conectados: Luis, Bea, Eva#";
    QTest::newRow("the newcomer's list") << 5 << "A connects; B is Eva" << "Bea,Eva,Luis" << "" << "" << slow << "B=/LIST|Luis|Bea|Eva#";
    QTest::newRow("words before registering") << 5 << "A connects; A sends /NICK|Ghost#/TXT|hola#/NEW_GAME|5|1|Ghost|1200#; A is Eva; A settles" << "Bea,Eva,Luis" << "* Ha entrado Eva *" << "" << slow << "A!Ghost";
    QTest::newRow("a second registration") << 5 << "A is Eva; A sends /IDENT|Otra#; A settles" << "Bea,Eva,Luis" << "" << "" << slow << "";
    QTest::newRow("a nick in another case") << 5 << "A is bea" << "Bea,Luis" << "" << "" << slow << "A=/NICKERROR|bea#";
    QTest::newRow("renamed to another's in another case") << 5 << "A is Eva; A sends /NICK|BEA#; A settles" << "Bea,Eva,Luis" << "" << "" << slow << "A=/NICKUSED|BEA#";
    QTest::newRow("a private message reaches only its nick") << 5 << "A is Eva; B is ANA; B sends /MSG|eva|hola#; B settles; A settles" << "ANA,Bea,Eva,Luis" << "" << "" << slow << "A=/MSG|Mensaje de ANA > hola#";
    QTest::newRow("a line written into the host's log") << 5 << "A is Eva; A sends /VER|* Ana abandona el chat *#; A settles" << "Bea,Eva,Luis" << "" << "Eva > * Ana abandona el chat *" << slow << "";
    QTest::newRow("a version answer") << 5 << "A is Eva; A sends /VER|* Eva esta usando ZugaretChat! 2.01#; A settles" << "Bea,Eva,Luis" << "" << "* Eva esta usando ZugaretChat! 2.01" << slow << "";
    QTest::newRow("a version answer in another's name") << 5 << "A is Eva; A sends /VER|Bea > hola#; A settles" << "Bea,Eva,Luis" << "" << "Eva > Bea > hola" << slow << "";
    // clang-format on
}

void TestHostilePeers::room() {
    QFETCH(int, maxClients);
    QFETCH(QString, script);
    QFETCH(QString, beaSees);
    QFETCH(QString, hostLog);
    QFETCH(int, identMs);
    QFETCH(QString, sees);
    TRoom room;
    room.luis.Chat().SetMaxClients(maxClients);
    room.luis.Chat().SetIdentTimeoutMs(identMs);
    QVERIFY(room.luis.Host() && room.bea.Join(room.luis));
    QString why;
    for (const QString& step : script.split(u';', Qt::SkipEmptyParts))
        QVERIFY2(room.Step(step.trimmed(), &why), qPrintable(why));
    QTEST(room.luis.Chat().NickList().join(u','), "nicks");
    QTRY_COMPARE(room.bea.Chat().NickList(), room.luis.Chat().NickList());
    if (!beaSees.isEmpty()) QTRY_COMPARE(room.bea.Log().last(), beaSees);
    if (!hostLog.isEmpty())
        QVERIFY2(room.luis.Log().last().endsWith(hostLog), qPrintable(room.luis.Log().last()));
    if (!sees.isEmpty()) {
        const QByteArray& got = room.Raw(sees.at(0).toLatin1()).got;
        QVERIFY2(got.contains(Bytes(sees.mid(2))) == (sees.at(1) == u'='),
                 got.left(300).constData());
    }
    QCOMPARE(room.bea.Game().Role(), TRole::Client); // Bea was never cut off
    for (auto& [who, raw] : room.raw)
        QVERIFY(AllFit(raw->got));
}

// Registering a nick: the nick rules, and whether every list then holds it.
void TestHostilePeers::nicks_data() {
    QTest::addColumn<QString>("nick");
    QTest::addColumn<bool>("accepted");
    const auto row = [](const char* name, const QString& nick, bool accepted) {
        QTest::newRow(name) << nick << accepted;
    };
    row("plain", "Ana", true);
    row("two words", QString::fromUtf8("Ana María"), true);
    row("30 characters", QString(30, u'n'), true);
    row("31 characters", QString(31, u'n'), false);
    row("a blank in front", " Ana", false);
    row("a blank behind", "Ana ", false);
    row("two blanks", "Ana  Mar", false);
    row("non-breaking space", QString::fromUtf8("Ana\u00A0"), false);
    row("soft hyphen", QString::fromUtf8("An\u00ADa"), false);
    row("control character", QString("An") + QChar(1) + "a", false);
    row("a chat line's arrow", "Ana > hola", false);
    row("the host's in another case", "luis", false);
    row("the honest client's in another case", "BEA", false);
    row("a number", "7", true);
}

void TestHostilePeers::nicks() {
    QFETCH(QString, nick);
    QFETCH(bool, accepted);
    QCOMPARE(IsAcceptableNick(nick) && !SameNick(nick, "Luis") && !SameNick(nick, "Bea"), accepted);
    TRoom room;
    QVERIFY(room.luis.Host() && room.bea.Join(room.luis));
    QString why;
    QVERIFY2(room.Step("A is " + nick, &why), qPrintable(why));
    QStringList all{"Bea", "Luis"};
    if (accepted) all << nick;
    all.sort();
    QCOMPARE(room.luis.Chat().NickList(), all);
    QTRY_COMPARE(room.bea.Chat().NickList(), all);
    QCOMPARE(room.Raw('A').got.contains(Wire("/NICKERROR|")), !accepted);
}

// A client renaming itself to its connection's number and registering
// again, cycle after cycle, leaves no nick behind anywhere.
void TestHostilePeers::ghostNicksLeaveNothing() {
    TRoom room;
    QVERIFY(room.luis.Host() && room.bea.Join(room.luis));
    for (int cycle = 0; cycle < 20; ++cycle) {
        TRawPeer raw;
        QVERIFY(raw.Register(room.luis.Port(), "Eva"));
        const TClientList& clients = room.luis.Chat().Server().Clients;
        const int socket = clients.Sockets(clients.Count() - 1);
        raw.Send(Bytes(QString("/NICK|%1#/IDENT|Eva%2#").arg(socket).arg(cycle)));
        QVERIFY(Settle(raw) != "<no reply>");
        QCOMPARE(room.luis.Chat().NickList().size(), 3);
        const int before = clients.Count();
        raw.socket.disconnectFromHost();
        QVERIFY(WaitFor([&] { return clients.Count() < before; }));
        QCOMPARE(room.luis.Chat().NickList(), QStringList({"Bea", "Luis"}));
    }
    QTRY_COMPARE(room.bea.Chat().NickList(), QStringList({"Bea", "Luis"}));
}

namespace {

// Luis hosts and plays White against Eva (5 minutes, e2e4 played); Zoe is
// another participant.
struct TGameRoom {
    TPeer luis{"Luis"};
    TRawPeer eva, zoe;

    bool Start() {
        if (!luis.Host() || !eva.Register(luis.Port(), "Eva") || !zoe.Register(luis.Port(), "Zoe"))
            return false;
        luis.dialogs.AnswerYes(TQuestion::GameOffer);
        eva.Send(Wire("/NEW_GAME|5|1|Eva|1200#"));
        if (!WaitFor([&] { return luis.Game().GameInProgress(); })) return false;
        if (!luis.program->Model().Move(Square::E2, Square::E4)) return false;
        Settle(eva);
        Settle(zoe);
        luis.dialogs.ClearLog();
        return true;
    }
};

} // namespace

// Game words from the opponent and from others during a game.
void TestHostilePeers::gameWords_data() {
    QTest::addColumn<char>("sender"); // E: Eva, the opponent; Z: Zoe
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("acceptAll"); // the host answers yes to anything (--accept-games yes)
    QTest::addColumn<QString>("record"); // the host's last record line
    QTest::addColumn<QString>("toEva");
    QTest::addColumn<QString>("toZoe");
    QTest::addColumn<QString>("logged");   // the host's last log line, in part
    QTest::addColumn<int>("blackSeconds"); // the opponent's clock afterwards, at most
    const QString played = "1.Pe2e4";
    // clang-format off
    QTest::newRow("a move that winds up the clock") << 'E' << "" << "/MOV|1|1|e7e5|*|86399#" << false << "1.Pe2e4 Pe7e5" << "" << "/MOB|2|1|e7e5|*|300#" << "" << 300;
    QTest::newRow("a move within its time") << 'E' << "" << "/MOV|1|1|e7e5|*|250#" << false << "1.Pe2e4 Pe7e5" << "" << "/MOB|2|1|e7e5|*|250#" << "" << 250;
    QTest::newRow("another's offer during the game") << 'Z' << "" << "/NEW_GAME|5|1|Zoe|1200#" << false << played << "" << "/DECLINE_GAME|Luis#" << "* Partida de Zoe rechazada: ya se está jugando otra partida *" << 300;
    QTest::newRow("another's offer, every offer accepted") << 'Z' << "" << "/NEW_GAME|5|1|Zoe|1200#" << true << played << "" << "/DECLINE_GAME|Luis#" << "* Partida de Zoe rechazada: ya se está jugando otra partida *" << 300;
    QTest::newRow("an unasked acceptance naming another") << 'Z' << "no game" << "/ACCEPT_GAME|15|1|Vic|4000#" << false << "" << "" << "" << "* Mensaje de Zoe descartado, nombra a otro jugador: [/ACCEPT_GAME 15|1|Vic|4000]" << 900;
    QTest::newRow("an offer naming another") << 'Z' << "no game" << "/NEW_GAME|15|1|Vic|4000#" << true << "" << "" << "" << "* Mensaje de Zoe descartado, nombra a otro jugador: [/NEW_GAME 15|1|Vic|4000]" << 900;
    QTest::newRow("a resignation naming another") << 'E' << "" << "/RESIGN|Zoe|x#" << false << played << "" << "" << "* Mensaje de Eva descartado, nombra a otro jugador: [/RESIGN Zoe|x]" << 300;
    QTest::newRow("a time-out naming another") << 'E' << "" << "/TIMEOUT|Zoe|x#" << false << played << "" << "" << "nombra a otro jugador: [/TIMEOUT Zoe|x]" << 300;
    QTest::newRow("a draw offer naming another") << 'E' << "" << "/DRAW|Zoe|x#" << true << played << "" << "" << "nombra a otro jugador: [/DRAW Zoe|x]" << 300;
    QTest::newRow("observing under another's nick") << 'Z' << "" << "/MIRAR|Eva#" << false << played << "" << "" << "nombra a otro jugador: [/MIRAR Eva]" << 300;
    QTest::newRow("the opponent resigns") << 'E' << "" << "/RESIGN|Eva|x#" << false << "1.Pe2e4 1-0 {Eva abandona}" << "" << "/END_GAME|Eva abandona|1-0#" << "" << 300;
    QTest::newRow("another accepts the host's offer") << 'Z' << "host offered Zoe" << "/ACCEPT_GAME|5|1|Zoe|1200#" << false << "" << "/RESIGN|Luis|No puedorrr#" << "" << "" << 300;
    // clang-format on
}

void TestHostilePeers::gameWords() {
    QFETCH(char, sender);
    QFETCH(QString, before);
    QFETCH(QString, message);
    QFETCH(bool, acceptAll);
    QFETCH(QString, logged);
    QFETCH(int, blackSeconds);
    QFETCH(QString, toEva);
    QFETCH(QString, toZoe);
    const QString expectEva = toEva, expectZoe = toZoe;
    TGameRoom room;
    TGameController& g = room.luis.Game();
    if (before == "no game") {
        QVERIFY(room.luis.Host() && room.eva.Register(room.luis.Port(), "Eva") &&
                room.zoe.Register(room.luis.Port(), "Zoe"));
        Settle(room.eva);
        Settle(room.zoe);
    } else {
        QVERIFY(room.Start());
    }
    if (before == "host offered Zoe") room.luis.Chat().OfferGame("Zoe", 0, 5, g.Elo());
    room.luis.dialogs.SetUnexpectedAnswers(acceptAll, std::nullopt, QString());
    (sender == 'E' ? room.eva : room.zoe).Send(Bytes(message));
    // The sender's messages are handled first, then the other's settle.
    QByteArray evaGot, zoeGot;
    if (sender == 'E') {
        evaGot = Settle(room.eva);
        zoeGot = Settle(room.zoe);
    } else {
        zoeGot = Settle(room.zoe);
        evaGot = Settle(room.eva);
    }
    if (before == "host offered Zoe") {
        QVERIFY2(evaGot.startsWith(Bytes(expectEva)), evaGot.constData());
        QVERIFY(g.GameInProgress());
        QCOMPARE(g.BlackPlayer().Nick, QString("Zoe"));
        return;
    }
    QTEST(g.Record().value(g.Record().size() - 1), "record");
    QCOMPARE(evaGot, Bytes(expectEva));
    QCOMPARE(zoeGot, Bytes(expectZoe));
    const QString last = QString(room.luis.Log().last()).replace(QChar(0xFE), u'|');
    if (!logged.isEmpty()) QVERIFY2(last.contains(logged), qPrintable(last));
    QVERIFY(g.ClockB().MessageSeconds() <= blackSeconds);
    // Nobody was asked anything.
    for (const TDialogRecord& shown : room.luis.dialogs.Log())
        QVERIFY(shown.Kind != TDialogKind::Question);
    QVERIFY(g.WhitePlayer().Nick != "Vic" && g.BlackPlayer().Nick != "Vic");
}

// A second offer while the first question is open is declined at once; the
// first question is answered as the user answers it. Once the user accepts
// it, this side plays a game: an offer asked about is no longer open.
void TestHostilePeers::oneOfferQuestionAtATime() {
    TPeer luis("Luis");
    TQtDialogs real;
    luis.env->SetDialogs(&real);
    QVERIFY(luis.Host());
    TRawPeer eva, zoe;
    QVERIFY(eva.Register(luis.Port(), "Eva") && zoe.Register(luis.Port(), "Zoe"));
    Settle(eva);
    Settle(zoe);
    eva.Send(Wire("/NEW_GAME|5|1|Eva|1200#"));
    QCOMPARE(Settle(eva), QByteArray());
    zoe.Send(Wire("/NEW_GAME|5|1|Zoe|1200#"));
    QCOMPARE(Settle(zoe), Wire("/DECLINE_GAME|Luis#"));
    eva.Send(Wire("/NEW_GAME|7|1|Eva|1200#"));
    QCOMPARE(Settle(eva), Wire("/DECLINE_GAME|Luis#"));
    QVERIFY(luis.Log().contains(
        QString::fromUtf8("* Partida de Zoe rechazada: hay otra pregunta abierta *")));
    const QList<TQuestionId> open = real.OpenQuestions(TQuestion::GameOffer);
    QCOMPARE(open.size(), 1);
    auto* box = qobject_cast<QMessageBox*>(real.DialogOf(open.first()));
    QVERIFY(box && box->isVisible() && box->textFormat() == Qt::PlainText);
    QVERIFY(box->text().contains("Eva") && box->text().contains(" 5 minutos"));
    box->button(QMessageBox::Yes)->click();
    QVERIFY(WaitFor([&] { return luis.Game().GameInProgress(); }));
    QVERIFY(Settle(eva).startsWith(Wire("/ACCEPT_GAME|5|0|Luis|1100#")));
    QCOMPARE(real.OpenCount(), 0);
    Settle(zoe); // its board, to watch
    zoe.Send(Wire("/NEW_GAME|5|1|Zoe|1200#"));
    QCOMPARE(Settle(zoe), Wire("/DECLINE_GAME|Luis#"));
    QVERIFY(luis.Log().contains(
        QString::fromUtf8("* Partida de Zoe rechazada: ya se está jugando otra partida *")));
}

// Opening a file for a replay during a network game resigns it: the
// opponent learns the game is over.
void TestHostilePeers::abandonedGameIsResigned() {
    TGameRoom room;
    QVERIFY(room.Start());
    QTemporaryDir dir;
    const QString file = dir.filePath("p.gam");
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write("1.Pe2e4 Pe7e5\r\n");
    out.close();
    room.luis.dialogs.AnswerFile(TQuestion::OpenGame, file);
    room.luis.dialogs.AnswerYes(TQuestion::InterruptGame);
    TRecordFiles files(room.luis.Game());
    bool opened = false;
    files.Open([&opened](bool ok) { opened = ok; });
    QVERIFY(WaitFor([&] { return opened; }));
    QCOMPARE(room.luis.dialogs.Log().last().Text,
             QString::fromUtf8("¿Interrumpir la partida actual?\n\rLa partida en red se dará por "
                               "perdida."));
    QCOMPARE(Settle(room.eva), Wire("/RESIGN|Luis|No puedorrr#"));
    QVERIFY(room.luis.Game().Record().contains("1.Pe2e4 Pe7e5"));
}

QTEST_MAIN(TestHostilePeers)
#include "tst_hostilepeers.moc"
