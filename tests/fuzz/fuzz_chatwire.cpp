// Fuzz target: the chat's wire path on a host. One host (answering yes to
// every question, as `zugaret-peer --accept-games yes` does), an honest
// client Bea and a raw witness connection live for the whole run; each input
// is what one or two hostile connections send (the bytes before the first
// zero byte from one, the rest from the other), after which they leave.
//
// Invariants checked after every input:
//  - the host's nick list is its own nick and its registered clients', each
//    an acceptable nick, no two the same but for case; Bea's list follows it;
//  - every message the witness and Bea were sent fits what a client accepts,
//    and neither of them was cut off;
//  - every line of the host's log is one line of bounded length;
//  - a game the host plays is against a registered client under that
//    client's nick, and no clock holds more time than its game began with.

#include "ChatTestUtil.h"
#include "ChessClock.h"
#include "FuzzCheck.h"
#include "NickRules.h"

#include <QCoreApplication>

namespace {

struct TWorld {
    int argc = 1;
    char name[16] = "fuzz_chatwire";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
    TPeer luis{"Luis"};
    TPeer bea{"Bea"};
    TRawPeer witness;
    int clockLimit = 0; // seconds the game began with

    TWorld() {
        luis.dialogs.SetUnexpectedAnswers(true, QStringLiteral("Otro"), QString());
        FUZZ_CHECK(luis.Host(), "the host does not listen");
        FUZZ_CHECK(bea.Join(luis), "Bea cannot join");
        FUZZ_CHECK(witness.Register(luis.Port(), "Testigo"), "the witness cannot join");
        TGameController& g = luis.Game();
        QObject::connect(&g, &TGameController::OnGameStarted, &g, [this, &g] {
            clockLimit = std::max(g.ClockW().Remaining(), g.ClockB().Remaining());
        });
    }
};

TWorld& World() {
    static TWorld* world = new TWorld; // lives for the whole run
    return *world;
}

bool Fits(const QByteArray& bytes) {
    for (const QByteArray& message : bytes.split('\xFF'))
        if (message.size() > TMessageAssembler::MaxPending) return false;
    return true;
}

void CheckRoom(TWorld& w) {
    TChatSession& chat = w.luis.Chat();
    const TClientList& clients = chat.Server().Clients;
    QStringList expected{w.luis.Game().Nick()};
    for (int i = 0; i < clients.Count(); ++i) {
        if (!chat.Identified(clients.Sockets(i))) continue;
        const QString nick = clients.Nicks().at(i);
        FUZZ_CHECK(IsAcceptableNick(nick), "a registered nick breaks the rules");
        for (const QString& other : expected)
            FUZZ_CHECK(!SameNick(nick, other), "two nicks the same but for case");
        expected << nick;
    }
    expected.sort();
    FUZZ_CHECK(chat.NickList() == expected, "the host's list is not its participants");
    FUZZ_CHECK(WaitFor([&] { return w.bea.Chat().NickList() == expected; }, 3000),
               "Bea's list does not follow the host's");
    FUZZ_CHECK(w.bea.Game().Role() == TRole::Client, "Bea was cut off");
    FUZZ_CHECK(w.witness.socket.state() == QAbstractSocket::ConnectedState,
               "the witness was cut off");
    FUZZ_CHECK(Fits(w.witness.got), "the witness was sent a message too long");
    w.witness.got.clear();
    for (const QString& line : w.luis.Log()) {
        FUZZ_CHECK(!line.contains(u'\n') && !line.contains(u'\r'), "a log line of two lines");
        FUZZ_CHECK(line.size() <= MostChatText + 2 * MostNickLength + 200, "a log line too long");
    }
    TGameController& g = w.luis.Game();
    if (g.GameInProgress() && g.GameMode() == TGameMode::Network) {
        const int opponent = chat.OpponentSocket;
        FUZZ_CHECK(chat.Identified(opponent), "a game against nobody registered");
        const QString other =
            g.MyColour() == TColour::White ? g.BlackPlayer().Nick : g.WhitePlayer().Nick;
        FUZZ_CHECK(other == chat.NickOfSocket(opponent), "a game under another's nick");
        FUZZ_CHECK(g.ClockW().Remaining() <= w.clockLimit && g.ClockB().Remaining() <= w.clockLimit,
                   "a clock holds more time than its game began with");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TWorld& w = World();
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype cut = input.indexOf('\0');
    const QList<QByteArray> parts =
        cut < 0 ? QList<QByteArray>{input} : QList<QByteArray>{input.left(cut), input.mid(cut + 1)};
    const TClientList& clients = w.luis.Chat().Server().Clients;
    const int before = clients.Count();
    std::vector<std::unique_ptr<TRawPeer>> attackers;
    for (const QByteArray& part : parts) {
        auto raw = std::make_unique<TRawPeer>();
        FUZZ_CHECK(raw->Connect(w.luis.Port()) && raw->Sees(Wire("/IDENT#")),
                   "an attacker was not greeted");
        raw->Send(part);
        attackers.push_back(std::move(raw));
    }
    for (auto& raw : attackers)
        raw->socket.disconnectFromHost();
    FUZZ_CHECK(WaitFor([&] { return clients.Count() == before; }, 10000),
               "the attackers' connections stay");
    for (auto& raw : attackers)
        FUZZ_CHECK(Fits(raw->got), "an attacker was sent a message too long");
    // Whatever the attackers left is handled once the witness is answered.
    w.witness.Send(Wire("/VERSION#"));
    FUZZ_CHECK(w.witness.Sees(Wire("/VER|")), "the host no longer answers");
    CheckRoom(w);
    return 0;
}
