// What the chat answers when something goes wrong, on loopback between
// whole programs: a nick clash at "Conectar" asked as a real modal dialog
// asks (the event loop runs meanwhile), a failed "Conectar", the answers to
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
    TModalDialogs modal(late.dialogs);
    late.env->SetDialogs(&modal);
    QVERIFY(luis.Host() && bea.Join(luis));
    QVERIFY(late.Join(luis, false));
    if (answered)
        late.dialogs.AnswerInput("Nuevo", "Nick");
    else
        late.dialogs.CancelInput("Nick");
    // The question is asked while the refused connection is torn down.
    QVERIFY(RunLoopUntil([&] { return late.dialogs.PendingAnswers() == 0 && modal.Open() == 0; }));
    RunLoopUntil([] { return false; }, 200); // what the teardown still has queued
    QCOMPARE(late.Game().Role(), TRole::Offline);
    QVERIFY(late.Chat().Buttons().Conectar && late.Chat().Buttons().Crear);
    QVERIFY(late.Log().contains("* El nick " + nick + " esta en uso, cambialo y prueba de nuevo*"));
    QCOMPARE(late.Game().Nick(), answered ? QString("Nuevo") : nick);
    if (!answered) return;
    QVERIFY(late.Join(luis));
    QTRY_COMPARE(luis.Chat().NickList(), QStringList({"Bea", "Luis", "Nuevo"}));
    QVERIFY(late.Chat().Title().startsWith("Nuevo ["));
}

QTEST_GUILESS_MAIN(TestChatAnswers)
#include "tst_chatanswers.moc"
