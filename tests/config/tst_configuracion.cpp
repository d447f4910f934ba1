// The configuration window: it opens showing what is in use, takes pictures
// in every format Qt reads and refuses anything else, puts the built-in look
// back, picks the sound set, and keeps its web page disabled with its hints.

#include "SoundCues.h"
#include "UiDialogs.h"
#include "UnitConfiguracion.h"

#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {

QImage Picture(int w, int h, QRgb colour) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// A model whose appliers log what reaches the board: "<what> <file> <w>x<h>".
struct TFixture {
    TFixture(const QString& folder = SoundFolderTarambo, bool customInUse = false) {
        model.SoundFolder = folder;
        model.ProgramFolder = dir.path();
        model.BuiltInPieceSet = Picture(240, 160, qRgb(1, 1, 1));
        model.BuiltInSquareLight = Picture(8, 8, qRgb(2, 2, 2));
        model.BuiltInSquareDark = Picture(8, 8, qRgb(3, 3, 3));
        if (customInUse) {
            model.CurrentPieceSet = Picture(60, 40, qRgb(4, 4, 4));
            model.CurrentSquareLight = Picture(5, 5, qRgb(5, 5, 5));
            model.CurrentSquareDark = Picture(6, 6, qRgb(6, 6, 6));
            model.LightSquareFile = model.DarkSquareFile = model.PieceSetFile = "/x/y.png";
        }
        const auto logger = [this](const QString& what) {
            return [this, what](const QImage& p, const QString& file) {
                applied << QString("%1 %2 %3x%4").arg(what, file).arg(p.width()).arg(p.height());
            };
        };
        model.ApplyPieceSet = logger("pieces");
        model.ApplySquareLight = logger("light");
        model.ApplySquareDark = logger("dark");
        model.ApplySoundFolder = [this](const QString& f) { applied << "sound " + f; };
        window = new TFrmConfiguracion(model, dialogs);
    }
    ~TFixture() { delete window; }

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
    void resets_data();
    void resets();
    void webPage();
};

void TstConfiguracion::opensShowingWhatIsInUse_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("custom");
    QTest::addColumn<QString>("checked");
    QTest::newRow("built-in look, Tarambo") << SoundFolderTarambo << false << "Tarambo";
    QTest::newRow("own pictures, Zelbovar") << SoundFolderZelbo << true << "Zelbovar";
    QTest::newRow("another folder") << "sonidos/mios/" << false << "";
}

void TstConfiguracion::opensShowingWhatIsInUse() {
    QFETCH(QString, folder);
    QFETCH(bool, custom);
    QFETCH(QString, checked);
    TFixture f(folder, custom);
    TFrmConfiguracion& w = *f.window;
    QCOMPARE(w.ShownPieceSet(), custom ? f.model.CurrentPieceSet : f.model.BuiltInPieceSet);
    QCOMPARE(w.ShownSquareLight(),
             custom ? f.model.CurrentSquareLight : f.model.BuiltInSquareLight);
    QCOMPARE(w.ShownSquareDark(), custom ? f.model.CurrentSquareDark : f.model.BuiltInSquareDark);
    QCOMPARE(w.rbTarambo->isChecked(), checked == "Tarambo");
    QCOMPARE(w.rbZelbovar->isChecked(), checked == "Zelbovar");
    QVERIFY(f.applied.isEmpty()); // opening changes nothing
    QCOMPARE(w.windowTitle(), QString("Configuración"));
    QVERIFY(w.windowFlags() & Qt::WindowStaysOnTopHint);

    w.rbZelbovar->click();
    w.rbTarambo->click();
    QCOMPARE(f.applied, QStringList({"sound sonidos/zelbo/", "sound sonidos/tarambo/"}));
    QCOMPARE(QString(TFrmConfiguracion::SoundFolderZelbo), QString(SoundFolderZelbo));
    w.bCerrar->click();
    QTRY_VERIFY(f.window.isNull()); // closing destroys the window
}

void TstConfiguracion::pictures_data() {
    QTest::addColumn<QString>("name"); // written in the program folder
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("applied"); // empty: refused
    const QByteArray gif =
        QByteArray::fromBase64("R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw==");
    QTest::newRow("png pieces") << "set.png" << QByteArray("png") << "pieces"
                                << "pieces 36x24";
    QTest::newRow("jpeg light") << "claro.jpg" << QByteArray("jpg") << "light"
                                << "light 36x24";
    QTest::newRow("bmp dark") << "oscuro.bmp" << QByteArray("bmp") << "dark"
                              << "dark 36x24";
    QTest::newRow("gif light") << "claro.gif" << gif << "light"
                               << "light 1x1";
    QTest::newRow("svg dark") << "oscuro.svg"
                              << QByteArray("<svg xmlns='http://www.w3.org/2000/svg' width='12' "
                                            "height='6'><rect width='12' height='6'/></svg>")
                              << "dark"
                              << "dark 12x6";
    QTest::newRow("not a picture")
        << "nota.png" << QByteArray("hola, no soy una imagen") << "pieces"
        << "";
    QTest::newRow("missing file") << "" << QByteArray() << "light"
                                  << "";
}

void TstConfiguracion::pictures() {
    QFETCH(QString, name);
    QFETCH(QByteArray, format);
    QFETCH(QString, button);
    QFETCH(QString, applied);
    if (name.endsWith(".svg") && !QImageReader::supportedImageFormats().contains("svg"))
        QSKIP("Qt reads no SVG on this machine");
    TFixture f(SoundFolderTarambo, true);
    const QString path = f.dir.filePath(name.isEmpty() ? "falta.png" : name);
    if (format.size() <= 3 && !format.isEmpty())
        QVERIFY(Picture(36, 24, qRgb(200, 10, 10)).save(path, format));
    else if (!name.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(format) == format.size());
    }
    f.dialogs.AnswerOpenPicture(path);
    TFrmConfiguracion& w = *f.window;
    QAbstractButton* b = button == "pieces"  ? static_cast<QAbstractButton*>(w.bCambiarPiezas)
                         : button == "light" ? w.bCuadrosBlancos
                                             : w.bCuadrosNegros;
    const QImage shown = button == "pieces"  ? w.ShownPieceSet()
                         : button == "light" ? w.ShownSquareLight()
                                             : w.ShownSquareDark();
    b->click();
    QCOMPARE(f.dialogs.Log().first().DefaultText, QString("/x/y.png")); // the stored name preset
    const QString stored = button == "pieces"  ? w.Model().PieceSetFile
                           : button == "light" ? w.Model().LightSquareFile
                                               : w.Model().DarkSquareFile;
    const QImage nowShown = button == "pieces"  ? w.ShownPieceSet()
                            : button == "light" ? w.ShownSquareLight()
                                                : w.ShownSquareDark();
    if (applied.isEmpty()) {
        QVERIFY(f.applied.isEmpty());
        QCOMPARE(stored, QString("/x/y.png"));
        QCOMPARE(nowShown, shown);
        QCOMPARE(f.dialogs.Messages().size(), name.isEmpty() ? 0 : 1);
        return;
    }
    const QString size = applied.section(' ', 1);
    QCOMPARE(f.applied, QStringList{button + " " + path + " " + size});
    QCOMPARE(stored, path);
    QCOMPARE(QString("%1x%2").arg(nowShown.width()).arg(nowShown.height()), size);
    QVERIFY(f.dialogs.Messages().isEmpty());
}

void TstConfiguracion::resets_data() {
    QTest::addColumn<bool>("chooseLightFirst");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("applied");
    const QStringList squares{"dark  0x0", "light  0x0"};
    QTest::newRow("pieces") << false << "pieces" << QStringList{"pieces  0x0"};
    QTest::newRow("squares") << false << "squares" << squares;
    QTest::newRow("squares after a chosen light picture") << true << "squares" << squares;
}

void TstConfiguracion::resets() {
    QFETCH(bool, chooseLightFirst);
    QFETCH(QString, button);
    QFETCH(QStringList, applied);
    TFixture f(SoundFolderTarambo, true);
    TFrmConfiguracion& w = *f.window;
    if (chooseLightFirst) {
        QVERIFY(Picture(4, 4, qRgb(9, 9, 9)).save(f.dir.filePath("c.png")));
        f.dialogs.AnswerOpenPicture(f.dir.filePath("c.png"));
        w.bCuadrosBlancos->click();
        f.applied.removeFirst();
    }
    (button == "pieces" ? w.bPiezasNil : w.bCuadrosNil)->click();
    QCOMPARE(f.applied, applied);
    const bool pieces = button == "pieces";
    QCOMPARE(w.ShownPieceSet(), pieces ? f.model.BuiltInPieceSet : f.model.CurrentPieceSet);
    QCOMPARE(w.ShownSquareLight(),
             pieces ? f.model.CurrentSquareLight : f.model.BuiltInSquareLight);
    QCOMPARE(w.ShownSquareDark(), pieces ? f.model.CurrentSquareDark : f.model.BuiltInSquareDark);
    QCOMPARE(w.Model().PieceSetFile.isEmpty(), pieces);
    QCOMPARE(w.Model().LightSquareFile.isEmpty(), !pieces);
    QCOMPARE(w.Model().DarkSquareFile.isEmpty(), !pieces);
}

void TstConfiguracion::webPage() {
    TFixture f;
    TFrmConfiguracion& w = *f.window;
    w.PageControl1->setCurrentWidget(w.tabWeb);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(!w.GroupBox1->isEnabled());
    QCOMPARE(w.ePuerto->text(), QString("21"));
    QCOMPARE(w.eDir->text(), QString("."));
    const QString info = w.lbInfo->text();
    const QList<QPair<QWidget*, QString>> hints = {
        {w.eHost, "Nombre de host de la dirección www a utilizar"},
        {w.ePuerto, "Nº puerto"},
        {w.ePassword, "contraseña"},
        {w.eUrl, "Escriba aqui la dirección de su pagina WEB. En ella se\ngrabará, cada vez que "
                 "usted entre en internet la \ndireccion IP que le haya asignado su proveedor."},
        {w.tabWeb, info + "\n"}};
    for (const auto& [control, hint] : hints) {
        const QPoint at =
            control == w.tabWeb ? QPoint(1, control->height() - 2) : control->rect().center();
        QMouseEvent move(QEvent::MouseMove, at, control->mapToGlobal(at), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(control, &move);
        QCOMPARE(w.lbInfo->text(), hint);
    }
}

QTEST_MAIN(TstConfiguracion)
#include "tst_configuracion.moc"
