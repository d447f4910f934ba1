// The update check: the decision for every kind of version file (hostile
// ones included), and the whole check once per run against a loopback server.

#include "HttpTestServer.h"
#include "UpdateCheck.h"
#include "WNetHTTP.h"

#include <QTest>

namespace {

const QString Web = "http://www.korvenweb.example.org/zugaret";
const QString UpToDate = "* ZugaretCHAT > No hay actualizaciones disponibles.";

class TRecHost final : public TUpdateCheckHost {
public:
    void AddChatLine(const QString& line) override { Log << "chat " + line; }
    void PlayCue(const QString& cue) override { Log << "cue " + cue; }
    void ShowMessage(const QString& text) override { Log << "message " + text; }
    void OpenUrl(const QString& url) override { Log << "open " + url; }
    void WriteVersionState(int state) override { Log << "state " + QString::number(state); }
    QString WebUrl() const override { return Url; }
    void SetWebUrl(const QString& url) override {
        Log << "web " + url;
        Url = url;
    }
    QString Url;
    QStringList Log;
};

} // namespace

class TstUpdateCheck : public QObject {
    Q_OBJECT
private slots:
    void decide_data();
    void decide();
    void onceOverHttp_data();
    void onceOverHttp();
};

void TstUpdateCheck::decide_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("webUrl");
    QTest::addColumn<int>("state"); // 0: nothing happens
    QTest::addColumn<QString>("newWeb");
    QTest::addColumn<QString>("open");
    QTest::addColumn<QStringList>("chat");
    const QString moved = "http://nuevo.example/z";
    QTest::newRow("two lines keep the address") << QStringList{"2.01 ", moved} << Web << 1 << ""
                                                << "" << QStringList{UpToDate};
    QTest::newRow("up to date with news")
        << QStringList{" 2.01", moved, "*> hola", "$> no", "*> y $> ambos"} << Web << 1 << moved
        << "" << QStringList{UpToDate, "*> hola", "*> y $> ambos"};
    QTest::newRow("outdated opens the moved address")
        << QStringList{"2.02", moved, "$> baja", "*> no", "x $>"} << Web << 2 << moved << moved
        << QStringList{"$> baja", "x $>"};
    QTest::newRow("older is outdated too")
        << QStringList{"1.00", "", ""} << Web << 2 << "" << Web << QStringList{};
    QTest::newRow("letter case counts")
        << QStringList{"2.01A", ""} << Web << 2 << "" << Web << QStringList{};
    QTest::newRow("lines 0 and 1 are no news")
        << QStringList{"2.01", "*> $> http://", "z"} << Web << 1 << ""
        << "" << QStringList{UpToDate};
    QTest::newRow("https address") << QStringList{"2.02", " https://seguro.example/z ", ""} << Web
                                   << 2 << "https://seguro.example/z"
                                   << "https://seguro.example/z" << QStringList{};
    QTest::newRow("one line") << QStringList{"2.02"} << Web << 0 << ""
                              << "" << QStringList{};
    QTest::newRow("no line") << QStringList{} << Web << 0 << ""
                             << "" << QStringList{};
    // Hostile or broken files: only an http(s) page is ever taken or opened.
    QTest::newRow("file with http inside")
        << QStringList{"2.02", "file:///usr/bin/xterm?http://x.org", "$> n"} << Web << 2 << ""
        << Web << QStringList{"$> n"};
    QTest::newRow("javascript with http inside")
        << QStringList{"2.02", "javascript:alert('http://x.org')", ""} << Web << 2 << "" << Web
        << QStringList{};
    QTest::newRow("text around the address")
        << QStringList{"2.02", "web: http://x.org", ""} << Web << 2 << "" << Web << QStringList{};
    QTest::newRow("no host") << QStringList{"2.02", "http:///etc", ""} << Web << 2 << "" << Web
                             << QStringList{};
    QTest::newRow("stored address that is no web page")
        << QStringList{"2.02", "", ""} << "file:///x/http://y" << 2 << ""
        << "" << QStringList{};
}

void TstUpdateCheck::decide() {
    QFETCH(QStringList, lines);
    QFETCH(QString, webUrl);
    QFETCH(int, state);
    QFETCH(QString, newWeb);
    QFETCH(QString, open);
    QFETCH(QStringList, chat);
    const TUpdateOutcome o = DecideUpdate(lines, "2.01", webUrl);
    QCOMPARE(o.Handled, state != 0);
    QCOMPARE(o.VersionState, state);
    QCOMPARE(o.NewWebUrl.value_or(""), newWeb);
    QCOMPARE(o.OpenAddress, open);
    QCOMPARE(o.ChatLines, chat);
    QCOMPARE(o.PlayEntrar, state == 2);
    QCOMPARE(o.Warning.isEmpty(), state != 2);
}

void TstUpdateCheck::onceOverHttp_data() {
    QTest::addColumn<QByteArray>("file"); // empty: not found
    QTest::addColumn<QStringList>("log"); // after the search line; WEB is the site
    const QString warning =
        "message ¡¡ ATENCION !! \n\rEsta versión de ZugaretChat es demasiado antigua\n\r"
        "Le recomiendo que consiga la versión 2.02\n\rpara evitar problemas de "
        "incompatibilidad al jugar con\n\rjugadores que tenga la última versión\n\r";
    QTest::newRow("up to date") << QByteArray("2.01\r\nhttp://nuevo.example/z\r\n*> hola\r\n")
                                << QStringList{"web http://nuevo.example/z", "state 1",
                                               "chat " + UpToDate, "chat *> hola"};
    QTest::newRow("outdated") << QByteArray("2.02\n\n$> baja\n")
                              << QStringList{"state 2", "cue entrar", warning, "open WEB",
                                             "chat $> baja"};
    QTest::newRow("two lines") << QByteArray("2.02\nhttp://nuevo.example/z")
                               << QStringList{"state 2", "cue entrar", warning, "open WEB"};
    QTest::newRow("not found") << QByteArray()
                               << QStringList{
                                      "chat * ZugaretCHAT > Error buscando nuevas versiones."};
    QTest::newRow("empty file") << THttpTestServer::Ok("") << QStringList{};
}

void TstUpdateCheck::onceOverHttp() {
    QFETCH(QByteArray, file);
    QFETCH(QStringList, log);
    THttpTestServer server;
    if (!file.isEmpty())
        server.Route("/zug/zugaret.txt",
                     file.startsWith("HTTP") ? file : THttpTestServer::Ok(file));
    TRecHost host;
    host.Url = server.Url("/zug");
    TUpdateCheck check(host, "2.01");
    QVERIFY(check.Start());
    QVERIFY(!check.Start());
    QTRY_VERIFY(check.Http().findChildren<THiloHTTP*>().isEmpty()); // the fetch has ended
    log.replaceInStrings("WEB", server.Url("/zug"));
    log.prepend("chat * ZugaretCHAT > Buscando nuevas versiones en KorvenWEB ...");
    QCOMPARE(host.Log, log);
    QCOMPARE(server.Requests.size(), 1);
}

QTEST_GUILESS_MAIN(TstUpdateCheck)
#include "tst_updatecheck.moc"
