// Closing the main window ends the program after its shut-down, in-process
// (whatever the order the windows came up in, with a game running) and as a
// real process, by SIGTERM and SIGINT too.
#include "tst_principal_fixture.h"

#include <QProcess>
#include <QScopeGuard>
#include <QSettings>

#include <csignal>

namespace {
// True once the process has its own handler for signal (Linux: SigCgt).
bool Catches(qint64 pid, int signal) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return false;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("SigCgt:")) {
            bool ok = false;
            const quint64 mask = line.mid(7).trimmed().toULongLong(&ok, 16);
            return ok && (mask >> (signal - 1)) & 1;
        }
    return false;
}
} // namespace

class TstShutdown : public QObject {
    Q_OBJECT
private slots:
    void closingTheMainWindowEndsTheProgram_data();
    void closingTheMainWindowEndsTheProgram();
    void signalsEndTheProcessThroughItsShutDown_data();
    void signalsEndTheProcessThroughItsShutDown();
};

void TstShutdown::closingTheMainWindowEndsTheProgram_data() {
    QTest::addColumn<bool>("othersFirst"); // chat and record windows shown before the main one
    QTest::addColumn<bool>("engineGame");
    QTest::newRow("main window first") << false << false;
    QTest::newRow("other windows first") << true << false;
    QTest::newRow("during a game against the engine") << false << true;
    QTest::newRow("other windows first, during a game") << true << true;
}

void TstShutdown::closingTheMainWindowEndsTheProgram() {
    QFETCH(bool, othersFirst);
    QFETCH(bool, engineGame);
    TTestProgram t("Ana", QByteArray(), false);
    int quits = 0;
    t.program->OnQuit = [&quits] { ++quits; };
    if (othersFirst) {
        t.Chat().show();
        t.Partida().show();
    }
    t.Main().show();
    t.program->Show();
    if (engineGame) {
        t.Game().SetEngineDepth(3);
        t.NewGameVia("ZuzPlak", false); // the engine thinks now
    }
    t.Game().ClockW().SetTime(7, 0);
    t.Main().move(123, 77);
    if (engineGame) t.dialogs.AnswerYes(TQuestion::QuitDuringGame);
    // During a game the window closes once the question is answered.
    QCOMPARE(t.Main().close(), !engineGame);
    t.dialogs.Flush();
    QCOMPARE(quits, 1);
    QSettings saved(t.env->IniFile(), QSettings::IniFormat);
    QCOMPARE(saved.value("User/Nick").toString(), QString("Ana"));
    QCOMPARE(saved.value("Config/Left").toInt(), t.Main().x());
    // The windows go with the program, the engine stopped on the way.
    QPointer<TFrmChat> chat = &t.Chat();
    t.program.reset();
    QVERIFY(!chat);
}

void TstShutdown::signalsEndTheProcessThroughItsShutDown_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TstShutdown::signalsEndTheProcessThroughItsShutDown() {
    QFETCH(int, signal);
    // The program lives in its own folder, beside its ini file.
    QTemporaryDir dir;
    const QString program = dir.filePath("zugaret");
    QVERIFY(QFile::copy(QCoreApplication::applicationDirPath() + "/zugaret", program));
    QFile ini(dir.filePath("ZuzPlak.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[User]\r\nNick=Ana\r\n");
    ini.close();
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(dir.path());
    p.start(program, {});
    QVERIFY(p.waitForStarted());
    // However the test ends, the program does not outlive it.
    const auto killer = qScopeGuard([&p] {
        if (p.state() != QProcess::NotRunning) {
            p.kill();
            p.waitForFinished();
        }
    });
    QTRY_VERIFY_WITH_TIMEOUT(Catches(p.processId(), signal), 20000);
    ::kill(pid_t(p.processId()), signal);
    QVERIFY(p.waitForFinished(20000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    QSettings saved(ini.fileName(), QSettings::IniFormat);
    QCOMPARE(saved.value("User/Nick").toString(), QString("Ana"));
    QVERIFY(saved.contains("Config/Left")); // written by the shut-down
}

QTEST_MAIN(TstShutdown)
#include "tst_shutdown.moc"
