// Questions whose reason goes while they are open: each kind of question is
// asked in a room of whole programs on loopback (the host Luis with his
// windows, the windowless Ana and Eva), left open, its reason is taken away
// (the offerer leaves, the game ends, the connection drops, the window
// closes) and only then is it answered. The question must have closed by
// itself, and the late answer changes nothing.

#include "tst_principal_fixture.h"

#include "ChatTestUtil.h"
#include "ConfigurationWindow.h"
#include "TcpSockets.h"

#include <QImage>
#include <QPointer>

#include <functional>

namespace {

struct TRoom {
    TTestProgram luis{"Luis", QuietIni};
    TPeer ana{"Ana"};
    TPeer eva{"Eva"};
    QString file; // a game file, a picture or where a game would be saved

    TChatSession& Host() { return luis.Chat().Session(); }
    bool Open() {
        Host().ChatPort = "0";
        Host().bCrearClick();
        return luis.Game().Role() == TRole::Server;
    }
    bool Join(TPeer& peer, bool wait = true) {
        const TTCPServer& server = Host().Server();
        peer.Chat().ChatPort = server.LocalPort(server.SocketHandle());
        peer.dialogs.AnswerInput(TQuestion::ConnectAddress, "127.0.0.1");
        peer.Chat().bConectarClick();
        peer.dialogs.Flush();
        return !wait || WaitFor([&] { return peer.Chat().Registered(); });
    }
    // Luis offers Ana a game, which she accepts.
    bool PlayAna() {
        if (!Join(ana)) return false;
        ana.dialogs.AnswerYes(TQuestion::GameOffer);
        Host().OfferGame("Ana", 0, 5, luis.Game().Elo());
        return WaitFor([&] { return ana.Game().GameInProgress() && luis.Game().GameInProgress(); });
    }
    void CloseRoom() { Host().bDesconectarClick(); }
};

// Everything a late answer could change.
QStringList Snapshot(TRoom& r) {
    QStringList s;
    auto game = [&s](const QString& who, const TGameController& g) {
        s << who + " role " + QString::number(int(g.Role())) << who + " nick " + g.Nick()
          << who + (g.GameInProgress() ? " playing" : " not playing")
          << who + " mode " + QString::number(int(g.GameMode()))
          << who + " result " + g.ResultText() << who + " record " + g.Record().join(" / ");
    };
    game("Luis", r.luis.Game());
    game("Ana", r.ana.Game());
    game("Eva", r.eva.Game());
    s << "Luis's window " + QString(r.luis.Main().isVisible() ? "open" : "closed")
      << "new-game dialog " + QString(r.luis.Main().FrmConexion() ? "open" : "closed")
      << "light squares " + r.luis.Main().LightSquareFile
      << "saved " + QString(QFile::exists(r.file) ? "yes" : "no");
    return s;
}

struct TScenario {
    const char* Name;
    TQuestion Question;
    char Asked; // 'L'uis, 'A'na
    std::function<bool(TRoom&)> Ask;
    std::function<bool(TRoom&)> TakeReasonAway;
    QString Answer; // the text, file or item an accepting answer gives
};

bool Resigns(TPeer& peer, TRoom& r) {
    peer.Game().Resign();
    return WaitFor([&] { return !r.luis.Game().GameInProgress(); });
}

bool Leaves(TPeer& peer, TRoom& r) {
    peer.Chat().bDesconectarClick();
    return WaitFor([&] { return r.Host().NickList().size() == 1; });
}

bool HostGone(TPeer& peer, TRoom& r) {
    r.CloseRoom();
    return WaitFor([&] { return peer.Game().Role() == TRole::Offline; });
}

const QList<TScenario>& Scenarios() {
    static const QList<TScenario> all{
        {"a game offer, its offerer leaves",
         TQuestion::GameOffer,
         'L',
         [](TRoom& r) {
             if (!r.Join(r.ana)) return false;
             r.ana.Chat().OfferGame("Luis", 1, 5, 1200);
             return true;
         },
         [](TRoom& r) { return Leaves(r.ana, r); },
         {}},
        {"a game offer, the host's connection drops",
         TQuestion::GameOffer,
         'A',
         [](TRoom& r) {
             if (!r.Join(r.ana)) return false;
             r.Host().OfferGame("Ana", 0, 5, 1200);
             return true;
         },
         [](TRoom& r) { return HostGone(r.ana, r); },
         {}},
        {"a game offer, a game with another begins",
         TQuestion::GameOffer,
         'L',
         [](TRoom& r) {
             if (!r.Join(r.eva)) return false;
             r.eva.Chat().OfferGame("Luis", 1, 5, 1200);
             return true;
         },
         [](TRoom& r) {
             return r.PlayAna() &&
                    WaitFor([&] { return r.eva.dialogs.Messages().contains("Luis no juega"); });
         },
         {}},
        {"a draw offer, the game ends",
         TQuestion::DrawOffer,
         'L',
         [](TRoom& r) {
             if (!r.PlayAna()) return false;
             r.ana.Game().OfferDraw();
             return true;
         },
         [](TRoom& r) { return Resigns(r.ana, r); },
         {}},
        {"a draw offer, the opponent's connection drops",
         TQuestion::DrawOffer,
         'A',
         [](TRoom& r) {
             if (!r.PlayAna()) return false;
             r.luis.Game().OfferDraw();
             return true;
         },
         [](TRoom& r) { return HostGone(r.ana, r); },
         {}},
        {"observe, the host's connection drops",
         TQuestion::Observe,
         'A',
         [](TRoom& r) {
             if (!r.Join(r.ana)) return false;
             r.ana.Chat().bObservarClick();
             return true;
         },
         [](TRoom& r) { return HostGone(r.ana, r); },
         {}},
        {"a new nick, a room of one's own", TQuestion::NewNick, 'A',
         [](TRoom& r) {
             r.ana.Game().SetNick("luis");
             return r.Join(r.ana, false);
         },
         [](TRoom& r) {
             if (!WaitFor([&] { return r.ana.Game().Role() == TRole::Offline; })) return false;
             r.ana.Chat().ChatPort = "0";
             r.ana.Chat().bCrearClick();
             return r.ana.Game().Role() == TRole::Server;
         },
         "Nuevo"},
        {"the host to connect to, a room of one's own", TQuestion::ConnectAddress, 'A',
         [](TRoom& r) {
             r.ana.Chat().ChatPort = r.Host().Server().LocalPort(r.Host().Server().SocketHandle());
             r.ana.Chat().bConectarClick();
             return true;
         },
         [](TRoom& r) {
             r.ana.Chat().ChatPort = "0";
             r.ana.Chat().bCrearClick();
             return r.ana.Game().Role() == TRole::Server;
         },
         "127.0.0.1"},
        {"resign, the opponent resigns first",
         TQuestion::Resign,
         'L',
         [](TRoom& r) {
             if (!r.PlayAna()) return false;
             r.luis.Main().bRendirClick();
             return true;
         },
         [](TRoom& r) { return Resigns(r.ana, r); },
         {}},
        {"a new game instead, the opponent resigns first",
         TQuestion::InterruptGame,
         'L',
         [](TRoom& r) {
             if (!r.PlayAna()) return false;
             r.luis.Main().bNuevaPartidaClick();
             return true;
         },
         [](TRoom& r) { return Resigns(r.ana, r); },
         {}},
        {"a file instead, the opponent leaves first",
         TQuestion::InterruptGame,
         'L',
         [](TRoom& r) {
             if (!r.PlayAna()) return false;
             QFile out(r.file);
             if (!out.open(QIODevice::WriteOnly)) return false;
             out.write("1.Pe2e4 Pe7e5\r\n");
             out.close();
             r.luis.dialogs.AnswerFile(TQuestion::OpenGame, r.file);
             r.luis.Partida().bAbrirClick();
             return true;
         },
         [](TRoom& r) { return Leaves(r.ana, r) && !r.luis.Game().GameInProgress(); },
         {}},
        {"quit, the opponent resigns first",
         TQuestion::QuitDuringGame,
         'L',
         [](TRoom& r) {
             if (!r.PlayAna()) return false;
             r.luis.Main().close();
             return true;
         },
         [](TRoom& r) { return Resigns(r.ana, r); },
         {}},
        {"a picture, its window closes",
         TQuestion::Picture,
         'L',
         [](TRoom& r) {
             QImage picture(8, 8, QImage::Format_RGB32);
             picture.fill(Qt::gray);
             if (!picture.save(r.file, "BMP")) return false;
             r.luis.Main().bConfiguracionClick();
             auto* window = r.luis.Main().findChild<TFrmConfiguracion*>();
             if (!window) return false;
             window->bCuadrosBlancosClick();
             return true;
         },
         [](TRoom& r) {
             QPointer<TFrmConfiguracion> window = r.luis.Main().findChild<TFrmConfiguracion*>();
             window->close();
             return WaitFor([&] { return !window; });
         },
         {}},
    };
    return all;
}

} // namespace

class TestQuestions : public QObject {
    Q_OBJECT
private slots:
    void lateAnswerChangesNothing_data();
    void lateAnswerChangesNothing();
};

void TestQuestions::lateAnswerChangesNothing_data() {
    QTest::addColumn<int>("scenario");
    QTest::addColumn<bool>("accepted");
    for (int i = 0; i < Scenarios().size(); ++i)
        for (const bool accepted : {true, false})
            QTest::addRow("%s, %s", Scenarios()[i].Name, accepted ? "yes" : "no") << i << accepted;
}

void TestQuestions::lateAnswerChangesNothing() {
    QFETCH(int, scenario);
    QFETCH(bool, accepted);
    const TScenario& s = Scenarios()[scenario];
    TRoom r;
    r.file =
        r.luis.dir.path() + (s.Question == TQuestion::Picture ? "/cuadro.bmp" : "/partida.gam");
    QVERIFY(r.Open());
    TScriptedDialogs& asked = s.Asked == 'L' ? r.luis.dialogs : r.ana.dialogs;
    asked.Hold(s.Question);
    QVERIFY(s.Ask(r));
    QVERIFY(WaitFor([&] { return asked.OpenQuestions(s.Question).size() == 1; }));
    const TQuestionId id = asked.OpenQuestions(s.Question).first();
    QVERIFY(s.TakeReasonAway(r));
    WaitFor([] { return false; }, 100); // what the reason's going still has queued
    QVERIFY2(!asked.IsOpen(id), "the question stayed open");
    const QStringList before = Snapshot(r);

    // Answered as if it were still open: the answer reaches nothing.
    QVERIFY(!asked.AnswerOpen(s.Question, accepted, s.Answer));
    WaitFor([] { return false; }, 100);
    QCOMPARE(Snapshot(r), before);
    const auto record = std::find_if(asked.Log().begin(), asked.Log().end(),
                                     [id](const TDialogRecord& d) { return d.Id == id; });
    QVERIFY(record != asked.Log().end());
    QCOMPARE(record->Answer, QStringLiteral("<withdrawn>"));
}

QTEST_MAIN(TestQuestions)
#include "tst_questions.moc"
