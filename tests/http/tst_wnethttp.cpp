// The download component against a hand-written HTTP server on loopback:
// statuses and pieces, text and binary results, every way a fetch can fail,
// saving and opening, and fetches whose component, owner or views go away.

#include "HttpTestServer.h"
#include "WNetHTTP.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

class TRecLabel final : public THttpStatusLabel {
public:
    void SetStatusText(const QString& text) override { Texts << text; }
    void SetStatusColour(THttpStatusColour colour) override { Colours << colour; }
    QStringList Texts;
    QList<THttpStatusColour> Colours;
};

class TRecProgress final : public THttpProgressView {
public:
    int Position() const override { return Pos; }
    int Maximum() const override { return 100; }
    void SetPosition(int position) override { Pos = position; }
    int Pos = 100; // at its maximum: the first step starts it again
};

// One component with recording views and handlers.
struct TFetch {
    TFetch() : Http(std::make_unique<TWNetHTTP>()) {
        Http->SetEtiqueta(Label.get());
        Http->SetProgress(Progress.get());
        Http->TimeoutMs = 500;
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
    std::unique_ptr<TWNetHTTP> Http;
    QStringList Events, Body, Opened;
    QString File;
    QByteArray Stream;
};

QByteArray Pattern(int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i * 7);
    return bytes;
}

} // namespace

class TstWNetHttp : public QObject {
    Q_OBJECT
private slots:
    void fetch_data();
    void fetch();
    void destroyedWhileRunning_data();
    void destroyedWhileRunning();
    void downloadRefusals();
    void savesAndOpens();
    void saveFailureShows();
    void propertiesAndKilobytes();
};

void TstWNetHttp::fetch_data() {
    QTest::addColumn<QString>("path"); // or a whole URL
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("reads"); // -1: depends on the network's timing
    QTest::addColumn<QByteArray>("stream");
    const QByteArray zeroPiece = QByteArray(1000, 'a') + '\0' + QByteArray(23, 'b') + "kept\n";
    const QByteArray v = "2.01\r\nhttp://x.org\r\n";
    const auto redirect = [](const QByteArray& to) {
        return THttpTestServer::Status("302 Found", "Location: " + to + "\r\n");
    };
    QTest::newRow("text") << "/v.txt" << THttpTestServer::Ok(v) << "Completo" << 2 << v;
    QTest::newRow("LF-only lines") << "/lf.txt" << THttpTestServer::Ok("uno\ndos") << "Completo"
                                   << 2 << QByteArray("uno\r\ndos\r\n");
    QTest::newRow("zero byte in a text piece")
        << "/z.txt" << THttpTestServer::Ok(zeroPiece) << "Completo" << 3
        << QByteArray(1000, 'a') + "kept\r\n";
    QTest::newRow("binary 2048") << "/p.bin" << THttpTestServer::Ok(Pattern(2048)) << "Completo"
                                 << 3 << Pattern(2048);
    QTest::newRow("binary 2049") << "/p.png" << THttpTestServer::Ok(Pattern(2049)) << "Completo"
                                 << 4 << Pattern(2049);
    QTest::newRow("redirected") << "/old" << redirect("/v.txt") << "Completo" << 2 << v;
    QTest::newRow("empty") << "/e.txt" << THttpTestServer::Ok("") << "Error: Imcompleto" << 1
                           << QByteArray();
    QTest::newRow("only a zero byte") << "/n.txt" << THttpTestServer::Ok(QByteArray("\0x", 2))
                                      << "Error: Imcompleto" << 2 << QByteArray();
    QTest::newRow("not found") << "/missing.txt" << QByteArray() << "Error" << 0 << QByteArray();
    QTest::newRow("redirect loop") << "/loop" << redirect("/loop") << "Error" << 0 << QByteArray();
    QTest::newRow("dropped mid-body")
        << "/d.bin" << THttpTestServer::Ok(Pattern(2000), 3000) << "Error" << -1 << QByteArray();
    QTest::newRow("stalls mid-body")
        << "/s.bin"
        << "STALL:" + THttpTestServer::Ok("ab", 3000) << "Error" << -1 << QByteArray();
    QTest::newRow("too large") << "/big.bin" << THttpTestServer::Ok(Pattern(5000)) << "Error" << -1
                               << QByteArray();
    QTest::newRow("never answers")
        << "/hold.txt" << QByteArray() << "Error: Imcompleto" << 0 << QByteArray();
    QTest::newRow("unreachable port") << "http://127.0.0.1:CLOSED/v.txt" << QByteArray()
                                      << "Error: Imcompleto" << 0 << QByteArray();
    QTest::newRow("not http") << "ftp://127.0.0.1/v.txt" << QByteArray() << "Error: Imcompleto" << 0
                              << QByteArray();
}

void TstWNetHttp::fetch() {
    QFETCH(QString, path);
    QFETCH(QByteArray, answer);
    QFETCH(QString, status);
    QFETCH(int, reads);
    QFETCH(QByteArray, stream);
    THttpTestServer server;
    server.Route("/v.txt", THttpTestServer::Ok("2.01\r\nhttp://x.org\r\n"));
    if (!answer.isEmpty()) server.Route(path.toLatin1(), answer);
    server.Hold("/hold.txt");
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
    const auto colour = status == "Completo" ? THttpStatusColour::LightGrey
                        : status == "Error"  ? THttpStatusColour::Red
                                             : THttpStatusColour::Yellow;
    QCOMPARE(f.Label->Colours.first(), THttpStatusColour::LightGrey);
    QCOMPARE(f.Label->Colours.last(), colour);
    QCOMPARE(f.Progress->Pos, status == "Completo" ? 0
                              : status == "Error"  ? texts.size() - 1
                                                   : texts.size());

    const QStringList events = status == "Completo" ? QStringList{"read Completo"}
                               : status == "Error"  ? QStringList{"error No se pudo leer " + url}
                                                    : QStringList{};
    QCOMPARE(f.Events, events);
    QCOMPARE(f.Stream, stream);
    if (path.endsWith(".txt") && status == "Completo")
        QCOMPARE(f.Body, QString::fromLatin1(stream).split("\r\n", Qt::SkipEmptyParts));
    for (const QByteArray& request : std::as_const(server.Requests))
        QVERIFY(request.contains("\r\nUser-Agent: WNetHttp 1.0 (Forotrex)\r\n"));
}

void TstWNetHttp::destroyedWhileRunning_data() {
    QTest::addColumn<QString>("victim");
    for (const char* victim : {"component", "owner", "label", "progress", "component in OnRead"})
        QTest::newRow(victim) << victim;
}

void TstWNetHttp::destroyedWhileRunning() {
    QFETCH(QString, victim);
    THttpTestServer server;
    server.Hold("/h.txt");
    TFetch f;
    auto owner = std::make_unique<QObject>();
    f.Http->setParent(owner.get());
    TWNetHTTP* http = f.Http.release(); // the owner has it now
    http->TimeoutMs = 60000;            // hangs until the test ends it
    if (victim == "component in OnRead")
        http->OnRead = [&](THiloHTTP*, const QString&, const QString&, const QStringList&,
                           const QStringList&, const QByteArray&) {
            f.Events << "read";
            delete http;
        };
    http->Url = server.Url("/h.txt");
    QVERIFY(http->Download());
    QTRY_VERIFY(server.IsHeld("/h.txt"));
    const QStringList shown = f.Label->Texts;

    if (victim == "component") delete http;
    if (victim == "owner") owner.reset();
    if (victim == "label") f.Label.reset();
    if (victim == "progress") f.Progress.reset();
    if (victim == "component" || victim == "owner") {
        QTRY_COMPARE(server.Disconnects, 1); // the connection is given up at once
        QCOMPARE(f.Label->Texts, shown);
        QVERIFY(f.Events.isEmpty());
        return;
    }
    server.Release("/h.txt", THttpTestServer::Ok("2.01\r\n"));
    QTRY_COMPARE(f.Events.size(), 1);
    if (victim == "label") QCOMPARE(f.Progress->Pos, 0);
    if (victim == "progress") QCOMPARE(f.Label->Texts.last(), QString("Completo"));
}

void TstWNetHttp::downloadRefusals() {
    QTemporaryDir dir;
    TFetch f;
    QString error;
    f.Http->Url = " \t";
    QVERIFY(!f.Http->Download(&error));
    QCOMPARE(error, QString("No se ha especificado una url"));
    f.Http->Url = "http://127.0.0.1/v.txt";
    f.Http->SetSaveToDisk(true);
    f.Http->DownloadDir = dir.path() + "/falta/dentro";
    QVERIFY(!f.Http->Download(&error));
    QCOMPARE(error, "No se pudo crear el directorio " + dir.path() + "/falta/dentro/");
    QCOMPARE(f.Http->DownloadDir, dir.path() + "/falta/dentro"); // unchanged
    QVERIFY(f.Label->Texts.isEmpty());                           // no fetch was started
}

void TstWNetHttp::savesAndOpens() {
    QTemporaryDir dir;
    THttpTestServer server;
    server.Route("/a/", THttpTestServer::Ok("<a href=\"b.htm\">\n"));
    TFetch f;
    f.Http->ProgramFolder = dir.path();
    f.Http->DownloadDir = "descargas";
    f.Http->SetOpenWhenSave(true);
    f.Http->Url = server.Url("/a/").mid(7); // no protocol
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
}

void TstWNetHttp::saveFailureShows() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("v.txt")); // a folder where the file should go
    THttpTestServer server;
    server.Route("/v.txt", THttpTestServer::Ok("2.01\r\n"));
    TFetch f;
    f.Http->DownloadDir = dir.path();
    f.Http->SetOpenWhenSave(true);
    f.Http->Url = server.Url("/v.txt");
    QVERIFY(f.Http->Download());
    QTRY_COMPARE(f.Label->Texts.last(), "Error al guardar el archivo: " + dir.path() + "/v.txt");
    QCOMPARE(f.Label->Colours.last(), THttpStatusColour::Red);
    QCOMPARE(f.Events, QStringList{"read Completo"});
    QVERIFY(f.Opened.isEmpty());
}

void TstWNetHttp::propertiesAndKilobytes() {
    TWNetHTTP http;
    http.SetOpenWhenSave(true);
    QVERIFY(http.SaveToDisk());
    http.SetOpenWhenSave(false);
    QVERIFY(http.SaveToDisk());
    http.SetOpenWhenSave(true);
    http.SetSaveToDisk(false);
    QVERIFY(!http.OpenWhenSave());
    QCOMPARE(THiloHTTP::ReadingStatus(1, "u"), QString("Leyendo: 1 Kb. [u]"));
    QCOMPARE(THiloHTTP::ReadingStatus(10, "u"), QString("Leyendo: 10 Kb. [u]"));
    QCOMPARE(THiloHTTP::ReadingStatus(1000, "u"), QString("Leyendo: 1024 Kb. [u]"));
}

QTEST_GUILESS_MAIN(TstWNetHttp)
#include "tst_wnethttp.moc"
