// The configuration window: it opens showing what is in use, takes pictures in
// every format Qt reads and refuses anything else, puts the built-in look back
// and picks the sound set; on the "Motores" page engines are added once they
// answer as UCI engines and removed unless found on the system.

#include "ConfigurationWindow.h"
#include "SoundCues.h"
#include "UiDialogs.h"

#include <QCoreApplication>
#include <QImageReader>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {

QImage Picture(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(qRgb(w, h, 7));
    return image;
}

// Targets 0 pieces, 1 light squares, 2 dark squares; the appliers log
// "<target> <file> <w>x<h>".
struct TFixture {
    explicit TFixture(const QString& folder = SoundFolderTarambo, bool customInUse = true) {
        model.SoundFolder = folder;
        model.ProgramFolder = dir.path();
        model.BuiltInPieceSet = BuiltIn[0];
        model.BuiltInSquareLight = BuiltIn[1];
        model.BuiltInSquareDark = BuiltIn[2];
        if (customInUse) {
            model.CurrentPieceSet = Current[0];
            model.CurrentSquareLight = Current[1];
            model.CurrentSquareDark = Current[2];
            model.LightSquareFile = model.DarkSquareFile = model.PieceSetFile = "/x/y.png";
        }
        const auto logger = [this](int t) {
            return [this, t](const QImage& p, const QString& file) {
                applied << QString("%1 %2 %3x%4").arg(t).arg(file).arg(p.width()).arg(p.height());
            };
        };
        model.ApplyPieceSet = logger(0);
        model.ApplySquareLight = logger(1);
        model.ApplySquareDark = logger(2);
        model.ApplySoundFolder = [this](const QString& f) { applied << f; };
        window = new TFrmConfiguracion(model, dialogs);
    }
    ~TFixture() { delete window; }
    QImage Shown(int t) const {
        const QImage shown[] = {window->ShownPieceSet(), window->ShownSquareLight(),
                                window->ShownSquareDark()};
        return shown[t];
    }
    QString Stored(int t) const {
        const TConfigModel& m = window->Model();
        return QStringList{m.PieceSetFile, m.LightSquareFile, m.DarkSquareFile}[t];
    }

    const QImage BuiltIn[3] = {Picture(240, 160), Picture(8, 8), Picture(9, 9)};
    const QImage Current[3] = {Picture(60, 40), Picture(5, 5), Picture(6, 6)};
    QTemporaryDir dir;
    TConfigModel model;
    TScriptedDialogs dialogs;
    QPointer<TFrmConfiguracion> window;
    QStringList applied;
};

} // namespace

class TstConfiguracion : public QObject {
    Q_OBJECT
private slots:
    void opensShowingWhatIsInUse_data();
    void opensShowingWhatIsInUse();
    void pictures_data();
    void pictures();
    void resets();
    void engines_data();
    void engines();
};

void TstConfiguracion::opensShowingWhatIsInUse_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("custom");
    QTest::newRow("built-in look, Tarambo") << SoundFolderTarambo << false;
    QTest::newRow("own pictures, Zelbovar") << SoundFolderZelbo << true;
    QTest::newRow("another sound folder") << "sonidos/mios/" << false;
}

void TstConfiguracion::opensShowingWhatIsInUse() {
    QFETCH(QString, folder);
    QFETCH(bool, custom);
    TFixture f(folder, custom);
    for (int t = 0; t < 3; ++t)
        QCOMPARE(f.Shown(t), custom ? f.Current[t] : f.BuiltIn[t]);
    QCOMPARE(f.window->rbTarambo->isChecked(), folder == SoundFolderTarambo);
    QCOMPARE(f.window->rbZelbovar->isChecked(), folder == SoundFolderZelbo);
    QVERIFY(f.applied.isEmpty()); // opening changes nothing
    f.window->rbZelbovar->click();
    f.window->rbTarambo->click();
    QCOMPARE(f.applied, QStringList({SoundFolderZelbo, SoundFolderTarambo}));
    QCOMPARE(f.window->Model().SoundFolder, QString(SoundFolderTarambo));
    f.window->bCerrar->click();
    QTRY_VERIFY(f.window.isNull()); // closing destroys the window
}

void TstConfiguracion::pictures_data() {
    QTest::addColumn<QString>("name");     // in the program folder
    QTest::addColumn<QByteArray>("bytes"); // or the format Qt writes
    QTest::addColumn<int>("target");
    QTest::addColumn<QString>("size"); // empty: refused
    const QByteArray gif =
        QByteArray::fromBase64("R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw==");
    const QByteArray svg = "<svg xmlns='http://www.w3.org/2000/svg' width='12' height='6'/>";
    QTest::newRow("png") << "set.png" << QByteArray("png") << 0 << "36x24";
    QTest::newRow("jpeg") << "claro.jpg" << QByteArray("jpg") << 1 << "36x24";
    QTest::newRow("bmp") << "oscuro.bmp" << QByteArray("bmp") << 2 << "36x24";
    QTest::newRow("gif") << "claro.gif" << gif << 1 << "1x1";
    QTest::newRow("svg") << "oscuro.svg" << svg << 2 << "12x6";
    QTest::newRow("not a picture") << "nota.png" << QByteArray("no soy una imagen") << 0 << "";
    QTest::newRow("missing file") << "falta.png" << QByteArray() << 1 << "";
}

void TstConfiguracion::pictures() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(int, target);
    QFETCH(QString, size);
    if (name.endsWith(".svg") && !QImageReader::supportedImageFormats().contains("svg"))
        QSKIP("Qt reads no SVG on this machine");
    TFixture f;
    const QString path = f.dir.filePath(name);
    QFile file(path);
    if (bytes.size() == 3)
        QVERIFY(Picture(36, 24).save(path, bytes));
    else if (!bytes.isEmpty())
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    f.dialogs.AnswerFile(TQuestion::Picture, path);
    QAbstractButton* buttons[] = {f.window->bCambiarPiezas, f.window->bCuadrosBlancos,
                                  f.window->bCuadrosNegros};
    buttons[target]->click();
    f.dialogs.Flush();
    QCOMPARE(f.dialogs.Log().first().DefaultText, QString("/x/y.png")); // the stored name
    const bool refused = size.isEmpty();
    QCOMPARE(f.applied, refused ? QStringList()
                                : QStringList{QString("%1 %2 %3").arg(target).arg(path, size)});
    QCOMPARE(f.Stored(target), refused ? QString("/x/y.png") : path);
    const QImage shown = f.Shown(target);
    if (refused)
        QCOMPARE(shown, f.Current[target]);
    else
        QCOMPARE(QString("%1x%2").arg(shown.width()).arg(shown.height()), size);
    QCOMPARE(f.dialogs.Messages().size(), refused && !bytes.isEmpty() ? 1 : 0);
}

void TstConfiguracion::resets() {
    // Right after opening, and after a light picture was chosen in this opening.
    for (const bool chooseFirst : {false, true}) {
        TFixture f;
        QVERIFY(Picture(4, 4).save(f.dir.filePath("c.png")));
        f.dialogs.AnswerFile(TQuestion::Picture, f.dir.filePath("c.png"));
        if (chooseFirst) f.window->bCuadrosBlancos->click();
        f.dialogs.Flush();
        f.applied.clear();
        f.window->bCuadrosNil->click();
        QCOMPARE(f.applied, QStringList({"2  0x0", "1  0x0"})); // the board's built-in look
        for (int t = 1; t < 3; ++t) {
            QCOMPARE(f.Shown(t), f.BuiltIn[t]);
            QVERIFY(f.Stored(t).isEmpty());
        }
        QCOMPARE(f.Stored(0), QString("/x/y.png"));
        f.window->bPiezasNil->click();
        QCOMPARE(f.applied.last(), QString("0  0x0"));
        QCOMPARE(f.Shown(0), f.BuiltIn[0]);
        QVERIFY(f.Stored(0).isEmpty());
    }
}

void TstConfiguracion::engines_data() {
    QTest::addColumn<QString>("file"); // what the file dialog answers: "fake", "text", "true", ""
    QTest::addColumn<bool>("listed");  // the fake engine is listed already
    QTest::addColumn<QStringList>("names"); // the list the page leaves
    QTest::addColumn<QString>("message");
    QTest::newRow("added once it answers")
        << "fake" << false << QStringList{"found", "Probado"} << "";
    QTest::newRow("cancelled") << "" << false << QStringList{"found"} << "";
    QTest::newRow("no program") << "text" << false << QStringList{"found"}
                                << "no es un programa que se pueda ejecutar";
    QTest::newRow("listed already") << "fake" << true << QStringList{"found", "mine"}
                                    << QString::fromUtf8("ya está en la lista");
    QTest::newRow("does not answer")
        << "true" << false << QStringList{"found"} << QString::fromUtf8("No se ha añadido");
}

void TstConfiguracion::engines() {
    QFETCH(QString, file);
    QFETCH(bool, listed);
    QFETCH(QStringList, names);
    QFETCH(QString, message);
    qputenv("ZUGARET_FAKE_UCI", "--name Probado --strength elo");
    QTemporaryDir dir;
    const QString fake = QCoreApplication::applicationDirPath() + "/zugaret-fake-uci";
    const QString text = dir.filePath("notes.txt");
    QFile notes(text);
    QVERIFY(notes.open(QIODevice::WriteOnly) && notes.write("uci\n") == 4);
    notes.close();
    TConfigModel model;
    TEngineConfig found;
    found.Path = "/usr/games/found";
    found.Name = "found";
    found.Found = true;
    model.Engines << found;
    if (listed) {
        TEngineConfig mine;
        mine.Path = fake;
        mine.Name = "mine";
        model.Engines << mine;
    }
    QList<TEngineConfig> applied = model.Engines;
    model.ApplyEngines = [&applied](const QList<TEngineConfig>& e) { applied = e; };
    TScriptedDialogs dialogs;
    TFrmConfiguracion window(model, dialogs);
    const QString answer = file == "fake"   ? fake
                           : file == "text" ? text
                           : file == "true" ? "/bin/true"
                                            : "";
    dialogs.AnswerFile(TQuestion::EngineFile, answer);
    window.bAnadirMotor->click();
    dialogs.Flush();
    QTRY_VERIFY_WITH_TIMEOUT(!window.ProbingEngine(), 30000);
    QStringList got;
    for (const TEngineConfig& e : applied)
        got << e.ShownName();
    QCOMPARE(got, names);
    QCOMPARE(window.lbMotores->count(), names.size());
    const QStringList messages = dialogs.Messages();
    QCOMPARE(messages.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QVERIFY2(messages.first().contains(message), qPrintable(messages.first()));
    if (names.size() == 2 && !listed) {
        QCOMPARE(applied.last().StrengthText(), QString::fromUtf8("Elo 1000–2800"));
        QVERIFY(window.lbMotores->item(1)->text().contains(fake));
    }
    // A found engine stays; one added by the user goes.
    window.lbMotores->setCurrentRow(0);
    QVERIFY(!window.bQuitarMotor->isEnabled());
    window.bQuitarMotorClick();
    QCOMPARE(applied.size(), names.size());
    if (names.size() == 2) {
        window.lbMotores->setCurrentRow(1);
        QVERIFY(window.bQuitarMotor->isEnabled());
        window.bQuitarMotor->click();
        QCOMPARE(applied.size(), 1);
        QCOMPARE(window.lbMotores->count(), 1);
    }
}

QTEST_MAIN(TstConfiguracion)
#include "tst_configuracion.moc"
