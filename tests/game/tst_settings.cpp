// "ZuzPlak.ini": every key written and read back, the scrambled rating
// (1215 in particular) surviving the file, defaults for a missing file or
// key, 1100 for a damaged rating, other lines of the file kept, and a file
// that cannot be written reported instead of lost.
#include "Settings.h"
#include "TextScrambler.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TstSettings : public QObject {
    Q_OBJECT
private slots:
    void init();
    void roundTrip();
    void freshFileHoldsEveryKeyButState();
    void missingFileGivesDefaults();
    void storedRating_data();
    void storedRating();
    void ratingsReadAreBounded_data();
    void ratingsReadAreBounded();
    void damagedValuesGiveDefaults();
    void iniSyntax();
    void saveKeepsOtherLines();
    void versionStateAlone();
    void unwritableFileIsReported();
    void webUrl_data();
    void webUrl();
    void texts();
    void engines_data();
    void engines();

private:
    QString IniPath() const { return dir_->filePath(QStringLiteral("ZuzPlak.ini")); }
    std::unique_ptr<QTemporaryDir> dir_;
};

void TstSettings::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

void TstSettings::roundTrip() {
    TZugaretSettings s;
    s.Nick = QStringLiteral(" Peñón ");
    s.Elo = 1215;
    s.ComputerElo = 1850;
    s.Left = -20;
    s.Top = 5;
    s.Width = 800;
    s.Height = 600;
    s.BoardHeight = 400;
    s.BoardWidth = 401;
    s.PieceSetFile = QStringLiteral("/home/ana/piezas ñ.bmp");
    s.LightSquareFile = QStringLiteral("/tmp/w.bmp");
    s.DarkSquareFile = QStringLiteral("\"quoted\"");
    s.PointClick = false;
    s.ShowDestinations = false;
    s.GameWindowVisible = false;
    s.ChatHeight = 222;
    s.WebUrl = QStringLiteral("http://example.org/a=b;c");
    s.SoundFolder = QStringLiteral("sonidos/zelbo/");
    QString error;
    QVERIFY2(s.Save(IniPath(), &error), qPrintable(error));

    const QByteArray bytes = ReadFile(IniPath());
    QVERIFY(bytes.contains("Nick=\" Pe\xF1\xF3n \"")); // Latin-1 bytes, blanks kept by quotes
    QVERIFY(bytes.contains("Elo=26FC006BD0"));         // hex of ScrambleText("01215", 5817)

    TZugaretSettings r;
    QVERIFY(r.Load(IniPath(), &error));
    QCOMPARE(r.Nick, s.Nick);
    QCOMPARE(r.Elo, 1215);
    QCOMPARE(r.ComputerElo, 1850);
    QCOMPARE(r.Left, -20);
    QCOMPARE(r.Top, 5);
    QCOMPARE(r.Width, 800);
    QCOMPARE(r.Height, 600);
    QCOMPARE(r.BoardHeight, 400);
    QCOMPARE(r.BoardWidth, 401);
    QCOMPARE(r.PieceSetFile, s.PieceSetFile);
    QCOMPARE(r.LightSquareFile, s.LightSquareFile);
    QCOMPARE(r.DarkSquareFile, s.DarkSquareFile);
    QCOMPARE(r.PointClick, false);
    QCOMPARE(r.ShowDestinations, false);
    QCOMPARE(r.GameWindowVisible, false);
    QCOMPARE(r.ChatHeight, 222);
    QCOMPARE(r.WebUrl, s.WebUrl);
    QCOMPARE(r.SoundFolder, s.SoundFolder);
    QCOMPARE(r.VersionState, 1);

    // Saving twice does not grow the file.
    QVERIFY(r.Save(IniPath()));
    QCOMPARE(ReadFile(IniPath()), bytes);
}

void TstSettings::freshFileHoldsEveryKeyButState() {
    QVERIFY(TZugaretSettings().Save(IniPath()));
    const QString text = QString::fromLatin1(ReadFile(IniPath()));
    const QStringList expected = {
        "[User]",      "Nick=",       "Elo=",       "[Plak]",
        "[Config]",    "Left=304",    "Top=169",    "Width=352",
        "Height=454",  "[Board]",     "Height=334", "Width=334",
        "BmpBoard=",   "BmpW=",       "BmpB=",      "PointClick=1",
        "[Game]",      "Visible=1",   "[Chat]",     "Height=150",
        "[KorvenWEB]", "Url=http://", "[Sonidos]",  "Carpeta=sonidos/tarambo/"};
    for (const QString& piece : expected)
        QVERIFY2(text.contains(piece), qPrintable(piece));
    QVERIFY(text.contains("Elo=1200"));
    QVERIFY(text.contains("ShowDestinations=1"));
    QVERIFY(!text.contains("State="));
}

void TstSettings::missingFileGivesDefaults() {
    TZugaretSettings s;
    s.Nick = QStringLiteral("stale");
    s.Elo = 3;
    QString error;
    QVERIFY(!s.Load(IniPath(), &error));
    QVERIFY(!error.isEmpty());
    const TZugaretSettings d;
    QCOMPARE(s.Nick, QString());
    QCOMPARE(s.Elo, 1100);
    QCOMPARE(s.ComputerElo, 1200);
    QCOMPARE(s.Left, 304);
    QCOMPARE(s.Top, 169);
    QCOMPARE(s.Width, 352);
    QCOMPARE(s.Height, 454);
    QCOMPARE(s.BoardHeight, 334);
    QCOMPARE(s.BoardWidth, 334);
    QCOMPARE(s.PointClick, true);
    QCOMPARE(s.ShowDestinations, true);
    QCOMPARE(s.VersionState, 1);
    QCOMPARE(s.GameWindowVisible, true);
    QCOMPARE(s.ChatHeight, 150);
    QCOMPARE(s.WebUrl, d.WebUrl);
    QCOMPARE(s.SoundFolder, QStringLiteral("sonidos/tarambo/"));
}

// The value of User/Elo as found in the file, and the rating read from it.
void TstSettings::storedRating_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("elo");
    QTest::newRow("hex 1215") << QByteArray("26FC006BD0") << 1215;
    QTest::newRow("hex lower case") << QByteArray("26fc006bd0") << 1215;
    QTest::newRow("raw bytes of an older copy") << QByteArray("&\xFFVY!") << 2000;
    QTest::newRow("plain number") << QByteArray("1500") << 1100;
    QTest::newRow("default text 1100") << QByteArray("1100") << 1100;
    QTest::newRow("empty") << QByteArray("") << 1100;
    QTest::newRow("odd hex") << QByteArray("26FC006BD") << 1100;
    QTest::newRow("hex of a non-number") << ScrambleText(QByteArray("0x12"), 5817).toHex() << 1100;
    QTest::newRow("hex of a sign") << ScrambleText(QByteArray("0-50"), 5817).toHex() << 1100;
    QTest::newRow("hex, wrong key") << ScrambleText(QByteArray("01215"), 5818).toHex() << 1100;
    QTest::newRow("too big") << ScrambleText(QByteArray("099999999999"), 5817).toHex() << 1100;
}

void TstSettings::storedRating() {
    QFETCH(QByteArray, value);
    QFETCH(int, elo);
    QCOMPARE(TZugaretSettings::EloFromStored(value), elo);
    WriteFile(IniPath(), "[User]\r\nNick=ana\r\nElo=" + value + "\r\n");
    TZugaretSettings s;
    QVERIFY(s.Load(IniPath()));
    QCOMPARE(s.Elo, elo);
    QCOMPARE(s.Nick, QStringLiteral("ana"));
}

// Ratings are kept within 0..4000 whatever the file holds.
void TstSettings::ratingsReadAreBounded_data() {
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<int>("elo");
    QTest::addColumn<int>("computerElo");
    const QByteArray high = ScrambleText(QByteArray("09000"), 5817).toHex();
    QTest::newRow("user above") << "[User]\r\nElo=" + high + "\r\n" << 4000 << 1200;
    QTest::newRow("computer below") << QByteArray("[Plak]\r\nElo=-50\r\n") << 1100 << 0;
    QTest::newRow("computer above") << QByteArray("[Plak]\r\nElo=2147483647\r\n") << 1100 << 4000;
    QTest::newRow("at the ends") << "[User]\r\nElo=" +
                                        ScrambleText(QByteArray("04000"), 5817).toHex() +
                                        "\r\n[Plak]\r\nElo=0\r\n"
                                 << 4000 << 0;
}

void TstSettings::ratingsReadAreBounded() {
    QFETCH(QByteArray, ini);
    QFETCH(int, elo);
    QFETCH(int, computerElo);
    WriteFile(IniPath(), ini);
    TZugaretSettings s;
    QVERIFY(s.Load(IniPath()));
    QCOMPARE(s.Elo, elo);
    QCOMPARE(s.ComputerElo, computerElo);
}

void TstSettings::damagedValuesGiveDefaults() {
    WriteFile(IniPath(), "[Config]\nLeft=abc\nTop=\nWidth=12x\nHeight= 500 \n"
                         "[Board]\nPointClick=yes\nState=2\n[Game]\nVisible=0\n");
    TZugaretSettings s;
    QVERIFY(s.Load(IniPath()));
    QCOMPARE(s.Left, 304);
    QCOMPARE(s.Top, 169);
    QCOMPARE(s.Width, 352);
    QCOMPARE(s.Height, 500);
    QCOMPARE(s.PointClick, true);
    QCOMPARE(s.VersionState, 2);
    QCOMPARE(s.GameWindowVisible, false);
    QCOMPARE(s.Elo, 1100); // no User section at all
}

void TstSettings::iniSyntax() {
    // Windows-made file: CRLF, other case, blanks around "=", comments,
    // a flag written as 2, a section given twice.
    WriteFile(IniPath(), "; made by hand\r\n[user]\r\n  NICK = Zo\xEB \r\n\r\n[BOARD]\r\n"
                         "pointclick=2\r\n;Height=1\r\n[Chat]\r\nHeight=99\r\n"
                         "[Board]\r\nHeight=300\r\n");
    TZugaretSettings s;
    QVERIFY(s.Load(IniPath()));
    QCOMPARE(s.Nick, QString::fromLatin1("Zo\xEB"));
    QCOMPARE(s.PointClick, true);
    QCOMPARE(s.ChatHeight, 99);
    QCOMPARE(s.BoardHeight, 300);

    // A line break in a value cannot start a key of its own.
    s.Nick = QStringLiteral("ana\r\n[Plak]\r\nElo=9");
    s.ComputerElo = 1300;
    QVERIFY(s.Save(IniPath()));
    TZugaretSettings r;
    QVERIFY(r.Load(IniPath()));
    QCOMPARE(r.ComputerElo, 1300);
    QVERIFY(r.Nick.startsWith(QStringLiteral("ana")));
}

void TstSettings::saveKeepsOtherLines() {
    WriteFile(IniPath(), "; comentario\n[Board]\nState=2\nExtra=keep me\n[Mine]\nx=1\n");
    TZugaretSettings s;
    QVERIFY(s.Load(IniPath()));
    s.Nick = QStringLiteral("ana");
    QVERIFY(s.Save(IniPath()));
    const QByteArray bytes = ReadFile(IniPath());
    QVERIFY(bytes.contains("; comentario"));
    QVERIFY(bytes.contains("State=2"));
    QVERIFY(bytes.contains("Extra=keep me"));
    QVERIFY(bytes.contains("[Mine]\r\nx=1"));
    QCOMPARE(bytes.count("[Board]"), 1);
    TZugaretSettings r;
    QVERIFY(r.Load(IniPath()));
    QCOMPARE(r.VersionState, 2);
    QCOMPARE(r.Nick, QStringLiteral("ana"));
}

void TstSettings::versionStateAlone() {
    TZugaretSettings s;
    s.Nick = QStringLiteral("ana");
    s.Elo = 1215;
    QVERIFY(s.Save(IniPath()));
    QVERIFY(TZugaretSettings::WriteVersionState(IniPath(), 2));
    TZugaretSettings r;
    QVERIFY(r.Load(IniPath()));
    QCOMPARE(r.VersionState, 2);
    QCOMPARE(r.Elo, 1215);
    QCOMPARE(r.Nick, QStringLiteral("ana"));
    // A shut-down does not write the state back over the update check's.
    r.VersionState = 1;
    QVERIFY(r.Save(IniPath()));
    QVERIFY(r.Load(IniPath()));
    QCOMPARE(r.VersionState, 2);
    // The update check on a first run creates the file.
    const QString fresh = dir_->filePath(QStringLiteral("fresh.ini"));
    QVERIFY(TZugaretSettings::WriteVersionState(fresh, 1));
    QVERIFY(r.Load(fresh));
    QCOMPARE(r.VersionState, 1);
}

void TstSettings::unwritableFileIsReported() {
    TZugaretSettings s;
    s.Nick = QStringLiteral("ana");
    QString error;
    // A folder that does not exist.
    QVERIFY(!s.Save(dir_->filePath(QStringLiteral("no/such/ZuzPlak.ini")), &error));
    QVERIFY(error.contains(QStringLiteral("No se pudo guardar")));
    // A folder standing where the file should be (works even for root).
    QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("ZuzPlak.ini")));
    error.clear();
    QVERIFY(!s.Save(IniPath(), &error));
    QVERIFY(!error.isEmpty());
    error.clear();
    QVERIFY(!TZugaretSettings::WriteVersionState(IniPath(), 2, &error));
    QVERIFY(!error.isEmpty());
}

void TstSettings::webUrl_data() {
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("kept");
    QTest::newRow("own address") << "http://zugaret.example.com" << true;
    QTest::newRow("secure") << "https://zugaret.example.com" << true;
    QTest::newRow("no scheme") << "www.zugaret.example.com" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("ftp") << "ftp://zugaret.example.com" << false;
    QTest::newRow("former address") << QString::fromLatin1(TZugaretSettings::FormerWebUrl) << false;
}

void TstSettings::webUrl() {
    QFETCH(QString, url);
    QFETCH(bool, kept);
    QCOMPARE(TZugaretSettings::CheckedWebUrl(url),
             kept ? url : QString::fromLatin1(TZugaretSettings::DefaultWebUrl));
}

void TstSettings::texts() {
    QCOMPARE(TZugaretSettings::MainTitle(QStringLiteral("ana"), 1100),
             QStringLiteral("Zugaret CHAT! 2.01 [ana 1100 ELO]"));
    const QString about = TZugaretSettings::AboutText(QStringLiteral("/home/ana/.local/zug/"));
    QVERIFY(about.contains(QStringLiteral("2.01")));
    QVERIFY(about.contains(QStringLiteral("/home/ana/.local/zug/")));
    QVERIFY(about.contains(QStringLiteral("\n\r")));
}

// The external engines in [Motores]: written and read back, removed ones
// keys gone, a list that is not set leaves the section alone, and values a
// hand-edited file damages fall back (no strength, no chosen value).
void TstSettings::engines_data() {
    QTest::addColumn<QByteArray>("before");    // the file's [Motores] section before
    QTest::addColumn<bool>("set");             // the list is set when saving
    QTest::addColumn<QStringList>("expected"); // each engine read back: name|strength|value|found
    const QByteArray two = "[Motores]\r\nCuantos=2\r\nRuta1=/a/sf\r\nNombre1=SF\r\n"
                           "Encontrado1=1\r\nFuerza1=elo 1320 3190\r\nValor1=1500\r\n"
                           "Ruta2=/b/x\r\nNombre2=\r\nEncontrado2=0\r\nFuerza2=nivel 0 20\r\n"
                           "Valor2=99\r\n";
    QTest::newRow("kept when not set")
        << two << false << QStringList{"SF|Elo 1320–3190|1500|1", "x|nivel 0–20|20|0"};
    QTest::newRow("one removed") << two << true << QStringList{"SF|Elo 1320–3190|1500|1"};
    QTest::newRow("damaged values")
        << QByteArray("[Motores]\r\nCuantos=999\r\nRuta1=/a/sf\r\nFuerza1=elo 9 x\r\n"
                      "Valor1=abc\r\nRuta2=\r\nRuta3=/c/y\r\n")
        << false << QStringList{"sf|sin ajuste de fuerza|-|0", "y|sin comprobar|-|0"};
}

void TstSettings::engines() {
    QFETCH(QByteArray, before);
    QFETCH(bool, set);
    QFETCH(QStringList, expected);
    WriteFile(IniPath(), before);
    TZugaretSettings s;
    QVERIFY(s.Load(IniPath()));
    QVERIFY(s.Engines.has_value());
    if (set) {
        s.Engines->resize(1);
    } else {
        s.Engines.reset();
    }
    QVERIFY(s.Save(IniPath()));
    TZugaretSettings back;
    QVERIFY(back.Load(IniPath()));
    QStringList got;
    for (const TEngineConfig& e : *back.Engines)
        got << QStringList{e.ShownName(), e.StrengthText(),
                           e.Strength ? QString::number(*e.Strength) : "-", e.Found ? "1" : "0"}
                   .join('|');
    QCOMPARE(got, expected);
    if (set) QVERIFY(!ReadFile(IniPath()).contains("Ruta2"));
}

QTEST_APPLESS_MAIN(TstSettings)
#include "tst_settings.moc"
