// The download component and the update check: the URL routines with their
// odd cases, fetches against a hand-written HTTP server on loopback (statuses
// and pieces, text and binary results, every way a fetch can fail, saving and
// opening, fetches whose component, owner or views go away), and the update
// decision for every kind of version file, hostile ones included.

#include "HttpTestServer.h"
#include "UpdateCheck.h"
#include "UrlRoutines.h"
#include "WNetHTTP.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

struct TRecLabel final : THttpStatusLabel {
    void SetStatusText(const QString& text) override { Texts << text; }
    void SetStatusColour(THttpStatusColour colour) override { Colours << colour; }
    QStringList Texts;
    QList<THttpStatusColour> Colours;
};

struct TRecProgress final : THttpProgressView {
    int Position() const override { return Pos; }
    int Maximum() const override { return 100; }
    void SetPosition(int position) override { Pos = position; }
    int Pos = 100; // at its maximum: the first step starts it again
};

// One component with recording views, handlers and shell.
struct TFetch {
    TFetch() : Http(new TWNetHTTP(Owner.get())) {
        Http->SetEtiqueta(Label.get());
        Http->SetProgress(Progress.get());
        Http->TimeoutMs = 500;
        Http->DeadlineMs = 2000;
        Http->MaxSize = 4096;
        Http->OnRead = [this](THiloHTTP*, const QString& file, const QString& msg,
                              const QStringList& body, const QStringList&, const QByteArray& s) {
            Events << "read " + msg;
            File = file;
            Body = body;
            Stream = s;
        };
        Http->OnError = [this](THiloHTTP*, const QString& msg) { Events << "error " + msg; };
        Http->ShellOpener = [this](const QString& file) { Opened << file; };
    }
    bool Ended() const {
        const QString last = Label->Texts.value(Label->Texts.size() - 1);
        return last == "Completo" || last.startsWith("Error");
    }

    std::unique_ptr<TRecLabel> Label = std::make_unique<TRecLabel>();
    std::unique_ptr<TRecProgress> Progress = std::make_unique<TRecProgress>();
    std::unique_ptr<QObject> Owner = std::make_unique<QObject>();
    TWNetHTTP* Http; // child of Owner
    QStringList Events, Body, Opened;
    QString File;
    QByteArray Stream;
};

const QString Web = "http://www.korvenweb.example.org/zugaret";
const QString UpToDate = "* ZugaretCHAT > No hay actualizaciones disponibles.";
const QString ErrorLine = "* ZugaretCHAT > Error buscando nuevas versiones.";

class TRecHost final : public TUpdateCheckHost {
public:
    void AddChatLine(const QString& line) override { Log << "chat " + line; }
    void PlayCue(const QString& cue) override { Log << "cue " + cue; }
    // Closed at once: the page opens after it.
    void ShowMessage(const QString& text, std::function<void()> onClosed) override {
        Log << "message " + text;
        if (onClosed) onClosed();
    }
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

class TstHttp : public QObject {
    Q_OBJECT
private slots:
    void routines_data();
    void routines();
    void fetch_data();
    void fetch();
    void destroyedWhileRunning_data();
    void destroyedWhileRunning();
    void savingAndRefusals();
    void updateCheck_data();
    void updateCheck();
    void storedAddressNoWebPage();
};

void TstHttp::routines_data() {
    QTest::addColumn<QString>("routine");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    const QString d = "http://h/x/y/"; // the links' page is http://h/x/y/p.htm
    const QList<QStringList> rows = {
        {"LastCharPos", "a/b/c", "4"},
        {"UrlProtocol", "http://h/zugaret.txt", "http://"},
        {"UrlProtocol", "a://b://c", "a://"},
        {"UrlHost", "http://www.x.org/a/b.htm", "www.x.org"},
        {"UrlHost", "http:///abs", "/abs"},
        {"UrlDir", "http://h/a/b/c.htm", "a/b"},
        {"UrlDir", "http://h/", ""},
        {"UrlDir", "http://host", "host"},
        {"UrlDir", "http://www.x.com", ""},
        {"UrlDir", "http://h/a.x/b", "a.x"},
        {"UrlFileName", "http://h/", "index.htm"},
        {"UrlFileName", "http://h/a/doc/", "doc.htm"},
        {"UrlFileName", "http://h/a//", "index.htm"},
        {"UrlFileName", "http://h/x.y:z", "x.y:z.htm"},
        {"ParentPath", "x/y/", "x/y"},
        {"TrimBlanks", "\t x \r\x01", "x"},
        {"PrepareDir", "  ", "/opt/zug/"},
        {"PrepareDir", "descargas", "/opt/zug/descargas/"},
        {"IsTextResource", "/p/INDEX.HTML", "text"},
        {"IsTextResource", "/p/a.txt.gz", "binary"},
        {"SplitLines", "a\r\rb\r\n\n", "a||b|"},
        {"ExtractLinks", "<a href=\"/top.htm\"> <img src=\"v.gif\">",
         "http://h/top.htm|" + d + "v.gif"},
        {"ExtractLinks", "<a href=\"../up.htm\">", "http://h/x/up.htm"},
        {"ExtractLinks", "<a href=\"mailto:a@x.org\"> href='javascript:go()' href=\"http://o.org\"",
         "http://o.org|javascript:go()|mailto:a@x.org"},
        {"ExtractLinks", "href=\"B.htm\" href=\"a.htm\" HREF=\"b.HTM\" code='c.class'",
         d + "a.htm|" + d + "B.htm|" + d + "c.class"},
        {"ExtractLinks", "href=\"a.htm#top\" href= href=x src=\"\" sr", ""},
        {"ExtractLinks", "<a\nhref=\"n.htm\">", ""}, // a line break is no blank
    };
    for (const QStringList& r : rows) {
        QString name = r[0] + " " + r[1];
        name.replace("\r", "\\r").replace("\n", "\\n").replace("\t", "\\t").replace("\x01", "^A");
        QTest::newRow(qPrintable(name)) << r[0] << r[1] << r[2];
    }
}

void TstHttp::routines() {
    QFETCH(QString, routine);
    QFETCH(QString, input);
    QFETCH(QString, expected);
    const QStringList lines = SplitLines(input);
    const QMap<QString, QString> results = {
        {"LastCharPos", QString::number(LastCharPos(input, '/'))},
        {"UrlProtocol", UrlProtocol(input)},
        {"UrlHost", UrlHost(input)},
        {"UrlDir", UrlDir(input)},
        {"UrlFileName", UrlFileName(input)},
        {"ParentPath", ParentPath(input)},
        {"TrimBlanks", TrimBlanks(input)},
        {"PrepareDir", PrepareDir(input, false, "/opt/zug/")},
        {"IsTextResource", IsTextResource(input) ? "text" : "binary"},
        {"SplitLines", lines.join('|')},
        {"ExtractLinks", ExtractLinks(lines, "http://h/x/y/p.htm").join('|')}};
    QCOMPARE(results.value(routine), expected);
}

void TstHttp::fetch_data() {
    QTest::addColumn<QString>("path"); // or a whole URL
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("reads"); // -1: depends on the network's timing
    QTest::addColumn<QByteArray>("stream");
    using S = THttpTestServer;
    const QByteArray v = "2.01\r\nhttp://x.org\r\n", none;
    const QByteArray bin = QByteArray::fromHex(QByteArray(4092, 'a')) + QByteArray("\0\r\n", 3);
    const auto row = [](const char* name) -> QTestData& { return QTest::newRow(name); };
    row("text") << "/v.txt" << S::Ok(v) << "Completo" << 2 << v;
    row("LF-only lines") << "/lf.txt" << S::Ok("uno\ndos") << "Completo" << 2
                         << QByteArray("uno\r\ndos\r\n");
    row("zero byte in a text piece")
        << "/z.txt" << S::Ok(QByteArray(1000, 'a') + '\0' + QByteArray(23, 'b') + "kept\n")
        << "Completo" << 3 << QByteArray(1000, 'a') + "kept\r\n";
    row("binary, one byte past 2 KiB") << "/p.png" << S::Ok(bin) << "Completo" << 4 << bin;
    row("redirected") << "/old" << S::Status("302 Found", "Location: /v.txt\r\n") << "Completo" << 2
                      << v;
    row("empty") << "/e.txt" << S::Ok("") << "Error: Imcompleto" << 1 << none;
    row("never answers") << "/hold.txt" << none << "Error: Imcompleto" << 0 << none;
    row("unreachable port") << "http://127.0.0.1:CLOSED/v.txt" << none << "Error: Imcompleto" << 0
                            << none;
    row("not http") << "ftp://127.0.0.1/v.txt" << none << "Error: Imcompleto" << 0 << none;
    row("not found") << "/missing.txt" << S::Status("404 Not Found") << "Error" << 0 << none;
    row("redirect loop") << "/loop" << S::Status("302 Found", "Location: /loop\r\n") << "Error" << 0
                         << none;
    row("dropped mid-body") << "/d.bin" << S::Ok(bin, 3000) << "Error" << -1 << none;
    row("stalls mid-body") << "/s.bin"
                           << "STALL:" + S::Ok("ab", 3000) << "Error" << -1 << none;
    row("trickles a byte at a time")
        << "/t.txt"
        << "TRICKLE:" + S::Ok(QByteArray(1000, 't')) << "Error" << -1 << none;
    row("too large") << "/big.bin" << S::Ok(bin + bin) << "Error" << -1 << none;
}

void TstHttp::fetch() {
    QFETCH(QString, path);
    QFETCH(QByteArray, answer);
    QFETCH(QString, status);
    QFETCH(int, reads);
    QFETCH(QByteArray, stream);
    THttpTestServer server;
    server.Route("/v.txt", THttpTestServer::Ok("2.01\r\nhttp://x.org\r\n"));
    server.Route(path.toLatin1(), answer);
    QTcpServer closed; // an ephemeral port nobody listens on
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    path.replace("CLOSED", QString::number(closed.serverPort()));
    closed.close();
    TFetch f;
    f.Http->Url = path.contains("://") ? path : server.Url(path);
    QVERIFY(f.Http->Download());
    const QString url = f.Http->Url;
    QCOMPARE(f.Label->Texts, QStringList{"Inactivo"});
    QTRY_VERIFY_WITH_TIMEOUT(f.Ended(), 10000);

    const QStringList& texts = f.Label->Texts;
    QCOMPARE(texts.last(), status);
    if (reads >= 0) QCOMPARE(texts.size(), reads + 2);
    for (int i = 1; i < texts.size() - 1; ++i)
        QCOMPARE(texts[i], THiloHTTP::ReadingStatus(i, url));
    const bool complete = status == "Completo", error = status == "Error";
    QCOMPARE(f.Label->Colours.first(), THttpStatusColour::LightGrey);
    QCOMPARE(f.Label->Colours.last(), complete ? THttpStatusColour::LightGrey
                                      : error  ? THttpStatusColour::Red
                                               : THttpStatusColour::Yellow);
    QCOMPARE(f.Progress->Pos, complete ? 0 : error ? texts.size() - 1 : texts.size());
    const QStringList events = complete ? QStringList{"read Completo"}
                               : error  ? QStringList{"error No se pudo leer " + url}
                                        : QStringList{};
    QCOMPARE(f.Events, events);
    QCOMPARE(f.Stream, stream);
    if (complete && path.endsWith(".txt"))
        QCOMPARE(f.Body, QString::fromLatin1(stream).split("\r\n", Qt::SkipEmptyParts));
    for (const QByteArray& request : std::as_const(server.Requests))
        QVERIFY(request.contains("\r\nUser-Agent: WNetHttp 1.0 (Forotrex)\r\n"));
}

void TstHttp::destroyedWhileRunning_data() {
    QTest::addColumn<QString>("victim");
    for (const char* victim : {"component", "owner", "label", "progress", "component in OnRead"})
        QTest::newRow(victim) << victim;
}

void TstHttp::destroyedWhileRunning() {
    QFETCH(QString, victim);
    THttpTestServer server;
    server.Route("/hang.txt", "");
    server.Route("/v.txt", THttpTestServer::Ok("2.01\r\n"));
    TFetch f;
    TWNetHTTP* http = f.Http;
    const bool hang = victim == "component" || victim == "owner";
    http->TimeoutMs = 60000; // a hanging fetch hangs until the test ends it
    http->Url = server.Url(hang ? "/hang.txt" : "/v.txt");
    if (victim == "component in OnRead")
        http->OnRead = [&](THiloHTTP*, const QString&, const QString&, const QStringList&,
                           const QStringList&, const QByteArray&) {
            f.Events << "read";
            delete http;
        };
    QVERIFY(http->Download());
    if (victim == "label") f.Label.reset();
    if (victim == "progress") f.Progress.reset();
    if (!hang) {
        QTRY_COMPARE(f.Events.size(), 1);
        if (victim == "progress") QCOMPARE(f.Label->Texts.last(), QString("Completo"));
        if (victim == "label") QCOMPARE(f.Progress->Pos, 0);
        return;
    }
    QTRY_COMPARE(server.Requests.size(), 1);
    const QStringList shown = f.Label->Texts;
    if (victim == "component") delete http;
    if (victim == "owner") f.Owner.reset();
    QTRY_COMPARE(server.Disconnects, 1); // the connection is given up at once
    QCOMPARE(f.Label->Texts, shown);
    QVERIFY(f.Events.isEmpty());
}

void TstHttp::savingAndRefusals() {
    QTemporaryDir dir;
    THttpTestServer server;
    server.Route("/a/", THttpTestServer::Ok("<a href=\"b.htm\">\n"));
    TFetch f;
    QString error;
    f.Http->Url = " \t";
    QVERIFY(!f.Http->Download(&error));
    QCOMPARE(error, QString("No se ha especificado una url"));
    f.Http->SetOpenWhenSave(true);          // sets SaveToDisk too
    f.Http->Url = server.Url("/a/").mid(7); // no protocol
    f.Http->DownloadDir = dir.path() + "/falta/dentro";
    QVERIFY(!f.Http->Download(&error));
    QCOMPARE(error, "No se pudo crear el directorio " + dir.path() + "/falta/dentro/");
    QVERIFY(f.Label->Texts.isEmpty()); // no fetch was started

    f.Http->ProgramFolder = dir.path();
    f.Http->DownloadDir = "descargas";
    QVERIFY(QDir(dir.path()).mkpath("descargas/b.htm")); // a folder in the second one's way
    QVERIFY(f.Http->Download());
    QCOMPARE(f.Http->Url, server.Url("/a/"));
    QCOMPARE(f.Http->DownloadDir, dir.path() + "/descargas/");
    QTRY_VERIFY(f.Ended());
    const QString file = dir.path() + "/descargas/a.htm";
    QCOMPARE(f.File, file);
    QCOMPARE(f.Opened, QStringList{file});
    QFile saved(file);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), QByteArray("<a href=\"b.htm\">\r\n"));

    server.Route("/b.htm", THttpTestServer::Ok("x"));
    f.Http->Url = server.Url("/b.htm");
    QVERIFY(f.Http->Download());
    QTRY_COMPARE(f.Label->Texts.last(),
                 "Error al guardar el archivo: " + dir.path() + "/descargas/b.htm");
    QCOMPARE(f.Label->Colours.last(), THttpStatusColour::Red);
    QCOMPARE(f.Opened.size(), 1);
    f.Http->SetSaveToDisk(false);
    QVERIFY(!f.Http->OpenWhenSave());
    QCOMPARE(THiloHTTP::ReadingStatus(1000, "u"), QString("Leyendo: 1024 Kb. [u]"));
}

void TstHttp::updateCheck_data() {
    QTest::addColumn<QString>("file"); // lines separated by "|"; "404": no file
    QTest::addColumn<QString>("log");  // after the search line, separated by "|"
    const QString moved = "http://nuevo.example/z", warned = "state 2|cue entrar|WARN|open ";
    const auto row = [](const char* name) -> QTestData& { return QTest::newRow(name); };
    row("up to date") << "2.01|" + moved + "|*> hola|$> no|*> y $> ambos"
                      << "web " + moved + "|state 1|chat " + UpToDate +
                             "|chat *> hola|chat *> y $> ambos";
    row("outdated, moved") << "2.02|" + moved + "|$> baja|*> no"
                           << "web " + moved + "|" + warned + moved + "|chat $> baja";
    row("outdated") << " 2.02 ||$> baja|x $>" << warned + "SITE|chat $> baja|chat x $>";
    row("two lines") << "2.02|" + moved << warned + "SITE";
    row("older is outdated too") << "1.00||x" << warned + "SITE";
    row("letter case counts") << "2.01A||" << warned + "SITE";
    row("lines 0 and 1 are no news") << "2.01|*> $> http://|z"
                                     << "state 1|chat " + UpToDate;
    row("https, trimmed") << "2.02| https://s.example/z |x"
                          << "web https://s.example/z|" + warned + "https://s.example/z";
    row("one line") << "2.02"
                    << "";
    row("empty file") << ""
                      << "";
    row("not found") << "404"
                     << "chat " + ErrorLine;
    // Hostile or broken files: only an http(s) page is ever taken or opened.
    row("file with http inside") << "2.02|file:///usr/bin/xterm?http://x.org|$> n"
                                 << warned + "SITE|chat $> n";
    row("javascript with http inside")
        << "2.02|javascript:alert('http://x.org')|x" << warned + "SITE";
    row("text around the address") << "2.02|web: http://x.org|x" << warned + "SITE";
    row("no host") << "2.02|http:///etc|x" << warned + "SITE";
}

void TstHttp::updateCheck() {
    QFETCH(QString, file);
    QFETCH(QString, log);
    THttpTestServer server;
    if (file != "404")
        server.Route("/zug/zugaret.txt", THttpTestServer::Ok(file.replace('|', '\n').toLatin1()));
    TRecHost host;
    host.Url = server.Url("/zug");
    TUpdateCheck check(host, "2.01");
    QVERIFY(check.Start());
    QVERIFY(!check.Start());                                        // once per run
    QTRY_VERIFY(check.Http().findChildren<THiloHTTP*>().isEmpty()); // the fetch has ended
    const QString warning = "message ¡¡ ATENCION !! \n\rEsta versión de ZugaretChat es demasiado "
                            "antigua\n\rLe recomiendo que consiga la versión " +
                            file.section('\n', 0, 0).trimmed() +
                            "\n\rpara evitar problemas de incompatibilidad al jugar con\n\r"
                            "jugadores que tenga la última versión\n\r";
    log = "chat * ZugaretCHAT > Buscando nuevas versiones en KorvenWEB ...|" + log;
    log.replace("SITE", server.Url("/zug")).replace("WARN", warning);
    QCOMPARE(host.Log.join('|'), log.endsWith('|') ? log.chopped(1) : log);
    QCOMPARE(server.Requests.size(), 1);
}

void TstHttp::storedAddressNoWebPage() {
    const TUpdateOutcome o = DecideUpdate({"2.02", "", ""}, "2.01", "file:///x/http://y");
    QCOMPARE(o.VersionState, 2);
    QVERIFY(o.OpenAddress.isEmpty());
}

QTEST_GUILESS_MAIN(TstHttp)
#include "tst_http.moc"
