#include "ConfigurationWindow.h"

#include "Settings.h"
#include "UiDialogs.h"

#include <QButtonGroup>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QStringList InfoLines = {
    QStringLiteral("En proximas versiones del programa se podrá utilizar esta"),
    QStringLiteral("sección para que otros usuarios de ZugaretCHAT sepan"),
    QStringLiteral("si estamos conectados a internet y puedan contactar con"),
    QStringLiteral("nosotros sin necesidad de entrar en el IRC para jugar.")};

const char* const HintProperty = "configHint";

QLabel* NewPreview(QWidget* parent) {
    auto* preview = new QLabel(parent);
    preview->setScaledContents(true); // previews stretch their picture
    preview->setMinimumSize(64, 64);
    preview->setProperty("flatPanel", true); // the flat look's panel
    return preview;
}

QToolButton* NewResetButton(QWidget* parent, const QString& hint) {
    auto* button = new QToolButton(parent);
    button->setText(QString(QChar(0x21BA))); // anticlockwise arrow: back to the original
    button->setToolTip(hint);
    return button;
}

} // namespace

TFrmConfiguracion::TFrmConfiguracion(const TConfigModel& model, TUiDialogs& dialogs,
                                     QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), model_(model), dialogs_(dialogs) {
    setAttribute(Qt::WA_DeleteOnClose); // FormClose: the window is destroyed when closed
    setWindowModality(Qt::ApplicationModal);
    setWindowTitle(QStringLiteral("Configuración"));
    resize(387, 273);

    PageControl1 = new QTabWidget(this);
    BuildAppearance();
    BuildSounds();
    BuildEngines();
    BuildWeb();
    bCerrar = new QPushButton(QStringLiteral("Cerrar"), this);
    connect(bCerrar, &QPushButton::clicked, this, [this] { bCerrarClick(); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(PageControl1, 1);
    layout->addWidget(bCerrar);
}

void TFrmConfiguracion::BuildAppearance() {
    tabApariencia = new QWidget;
    PageControl1->addTab(tabApariencia, QStringLiteral("Apariencia"));
    bCambiarPiezas = new QPushButton(QStringLiteral("Piezas"), tabApariencia);
    bPiezasNil = NewResetButton(tabApariencia, QStringLiteral("Poner el juego de piezas original"));
    bCuadrosBlancos = new QPushButton(QStringLiteral("Casillas Blancas"), tabApariencia);
    bCuadrosNegros = new QPushButton(QStringLiteral("Casillas Negras"), tabApariencia);
    bCuadrosNil =
        NewResetButton(tabApariencia, QStringLiteral("Poner el fondo de tablero original"));
    imgPiezas = NewPreview(tabApariencia);
    ImgCuadrosBlancos = NewPreview(tabApariencia);
    imgCuadrosNegros = NewPreview(tabApariencia);

    auto* grid = new QGridLayout(tabApariencia);
    grid->addWidget(bCambiarPiezas, 0, 0);
    grid->addWidget(bPiezasNil, 0, 1);
    grid->addWidget(imgPiezas, 1, 0, 1, 2);
    grid->addWidget(bCuadrosBlancos, 0, 2, 1, 2);
    grid->addWidget(ImgCuadrosBlancos, 1, 2, 1, 2);
    grid->addWidget(bCuadrosNegros, 0, 4);
    grid->addWidget(bCuadrosNil, 0, 5);
    grid->addWidget(imgCuadrosNegros, 1, 4, 1, 2);
    grid->setRowStretch(1, 1);
    for (int column : {0, 2, 4})
        grid->setColumnStretch(column, 1);

    Show(TTarget::Pieces,
         model_.CurrentPieceSet.isNull() ? model_.BuiltInPieceSet : model_.CurrentPieceSet);
    Show(TTarget::Light, model_.CurrentSquareLight.isNull() ? model_.BuiltInSquareLight
                                                            : model_.CurrentSquareLight);
    Show(TTarget::Dark,
         model_.CurrentSquareDark.isNull() ? model_.BuiltInSquareDark : model_.CurrentSquareDark);

    connect(bCambiarPiezas, &QPushButton::clicked, this, [this] { bCambiarPiezasClick(); });
    connect(bPiezasNil, &QToolButton::clicked, this, [this] { bPiezasNilClick(); });
    connect(bCuadrosBlancos, &QPushButton::clicked, this, [this] { bCuadrosBlancosClick(); });
    connect(bCuadrosNegros, &QPushButton::clicked, this, [this] { bCuadrosNegrosClick(); });
    connect(bCuadrosNil, &QToolButton::clicked, this, [this] { bCuadrosNilClick(); });
}

void TFrmConfiguracion::BuildSounds() {
    tabSonidos = new QWidget;
    PageControl1->addTab(tabSonidos, QStringLiteral("Sonidos"));
    RgSonidos = new QGroupBox(QStringLiteral("Combinación de sonidos"), tabSonidos);
    rbTarambo = new QRadioButton(QStringLiteral("Tarambo"), RgSonidos);
    rbZelbovar = new QRadioButton(QStringLiteral("Zelbovar"), RgSonidos);
    auto* group = new QButtonGroup(RgSonidos);
    group->addButton(rbTarambo);
    group->addButton(rbZelbovar);
    auto* items = new QVBoxLayout(RgSonidos);
    items->addWidget(rbTarambo);
    items->addWidget(rbZelbovar);
    lbCreditos =
        new QLabel(QStringLiteral("Las voces de Zelbovar son de eSpeak NG, voz «Spanish (Spain)»."),
                   tabSonidos);
    lbCreditos->setWordWrap(true);
    auto* layout = new QVBoxLayout(tabSonidos);
    layout->addWidget(RgSonidos);
    layout->addWidget(lbCreditos);
    layout->addStretch(1);

    // The set in use; neither when the folder is another one.
    if (model_.SoundFolder == QLatin1String(SoundFolderTarambo)) rbTarambo->setChecked(true);
    if (model_.SoundFolder == QLatin1String(SoundFolderZelbo)) rbZelbovar->setChecked(true);
    connect(group, &QButtonGroup::buttonClicked, this, [this] { RgSonidosClick(); });
}

void TFrmConfiguracion::BuildWeb() {
    tabWeb = new QWidget;
    PageControl1->addTab(tabWeb, QStringLiteral("Dirección web"));
    lbInfo = new QLabel(InfoLines.join(QLatin1Char('\n')), tabWeb);
    GroupBox1 = new QGroupBox(QStringLiteral("Dirección web"), tabWeb);
    GroupBox1->setEnabled(false);
    eUrl = new QLineEdit(GroupBox1);
    eHost = new QLineEdit(GroupBox1);
    ePuerto = new QLineEdit(QStringLiteral("21"), GroupBox1);
    ePuerto->setMaximumWidth(48);
    eUsuario = new QLineEdit(GroupBox1);
    ePassword = new QLineEdit(GroupBox1);
    ePassword->setEchoMode(QLineEdit::Password);
    eDir = new QLineEdit(QStringLiteral("."), GroupBox1);

    auto* grid = new QGridLayout(GroupBox1);
    grid->setVerticalSpacing(2);
    grid->addWidget(new QLabel(QStringLiteral("Dirección:"), GroupBox1), 0, 0);
    grid->addWidget(eUrl, 0, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral(" Acceso por ftp "), GroupBox1), 1, 0, 1, 4);
    grid->addWidget(new QLabel(QStringLiteral("Host:"), GroupBox1), 2, 0);
    grid->addWidget(eHost, 2, 1, 1, 2);
    grid->addWidget(ePuerto, 2, 3);
    grid->addWidget(new QLabel(QStringLiteral("Usuario:"), GroupBox1), 3, 0);
    grid->addWidget(eUsuario, 3, 1);
    grid->addWidget(new QLabel(QStringLiteral("Contraseña:"), GroupBox1), 3, 2);
    grid->addWidget(ePassword, 3, 3);
    grid->addWidget(new QLabel(QStringLiteral("Dir:"), GroupBox1), 4, 0);
    grid->addWidget(eDir, 4, 1, 1, 3);
    auto* layout = new QVBoxLayout(tabWeb);
    layout->addWidget(lbInfo);
    layout->addWidget(GroupBox1, 1);

    const auto hint = [](QWidget* control, const QStringList& lines) {
        control->setProperty(HintProperty, lines.join(QLatin1Char('\n')));
    };
    hint(tabWeb, InfoLines + QStringList{QString()});
    hint(eUrl, {QStringLiteral("Escriba aqui la dirección de su pagina WEB. En ella se"),
                QStringLiteral("grabará, cada vez que usted entre en internet la "),
                QStringLiteral("direccion IP que le haya asignado su proveedor.")});
    hint(eHost, {QStringLiteral("Nombre de host de la dirección www a utilizar")});
    hint(eUsuario, {QStringLiteral("Nombre de usuario")});
    hint(ePassword, {QStringLiteral("contraseña")});
    hint(eDir, {QStringLiteral("el directorio debe existir previamente")});
    hint(ePuerto, {QStringLiteral("Nº puerto")});
    // Disabled controls pass the mouse on to their parents; every one of them
    // reports it, and the control under the mouse decides the hint.
    tabWeb->setMouseTracking(true);
    tabWeb->installEventFilter(this);
    for (QWidget* child : tabWeb->findChildren<QWidget*>()) {
        child->setMouseTracking(true);
        child->installEventFilter(this);
    }
}

void TFrmConfiguracion::BuildEngines() {
    tabMotores = new QWidget;
    PageControl1->addTab(tabMotores, QStringLiteral("Motores"));
    lbMotores = new QListWidget(tabMotores);
    lbMotores->setObjectName("lbMotores");
    bAnadirMotor = new QPushButton(QString::fromUtf8("Añadir motor…"), tabMotores);
    bAnadirMotor->setObjectName("bAnadirMotor");
    bQuitarMotor = new QPushButton(QStringLiteral("Quitar"), tabMotores);
    bQuitarMotor->setObjectName("bQuitarMotor");
    lMotores = new QLabel(tabMotores);
    lMotores->setTextFormat(Qt::PlainText);
    lMotores->setWordWrap(true);
    lMotores->setText(QString::fromUtf8(
        "Motores UCI: aparecen en «Nueva partida» junto a ZuzPlak. Los encontrados en el "
        "sistema no se pueden quitar."));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(bAnadirMotor);
    buttons->addWidget(bQuitarMotor);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(tabMotores);
    layout->addWidget(lbMotores, 1);
    layout->addLayout(buttons);
    layout->addWidget(lMotores);
    connect(bAnadirMotor, &QPushButton::clicked, this, [this] { bAnadirMotorClick(); });
    connect(bQuitarMotor, &QPushButton::clicked, this, [this] { bQuitarMotorClick(); });
    connect(lbMotores, &QListWidget::currentRowChanged, this, [this](int row) {
        bQuitarMotor->setEnabled(row >= 0 && row < model_.Engines.size() &&
                                 !model_.Engines.at(row).Found && !probe_);
    });
    ShowEngines();
}

void TFrmConfiguracion::ShowEngines() {
    lbMotores->clear();
    for (const TEngineConfig& e : std::as_const(model_.Engines)) {
        QString line = e.ShownName() + QStringLiteral(" — ") + e.StrengthText() +
                       QStringLiteral(" — ") + e.Path;
        if (e.Found) line += QStringLiteral(" (encontrado)");
        lbMotores->addItem(line);
    }
    if (probe_) lbMotores->addItem(QString::fromUtf8("Comprobando el motor…"));
    bAnadirMotor->setEnabled(!probe_ && model_.Engines.size() < TZugaretSettings::MostEngines);
    bQuitarMotor->setEnabled(false);
}

void TFrmConfiguracion::bAnadirMotorClick() {
    if (probe_) return;
    TFileDialogRequest request;
    request.Caption = QStringLiteral("Elegir un motor UCI");
    request.Filter = QStringLiteral("Todos los archivos|*");
    dialogs_.AskOpenFile(TQuestion::EngineFile, this, request,
                         [this](const QString& chosen) { EngineChosen(chosen); });
}

void TFrmConfiguracion::EngineChosen(const QString& chosen) {
    if (chosen.isEmpty() || probe_) return;
    const QString path = QFileInfo(chosen).absoluteFilePath();
    const QString refusal = EngineRefusal(model_.Engines, path);
    if (!refusal.isEmpty()) {
        dialogs_.ShowMessage(refusal, QString(), TMessageKind::Error);
        return;
    }
    TEngineConfig engine;
    engine.Path = path;
    // Added once it has answered: its name and strength settings with it.
    probe_ = new TEngineProbe(engine, this);
    probe_->OnDone = [this](const TEngineConfig& probed) {
        probe_->deleteLater();
        probe_ = nullptr;
        model_.Engines.append(probed);
        ShowEngines();
        lbMotores->setCurrentRow(int(model_.Engines.size()) - 1);
        if (model_.ApplyEngines) model_.ApplyEngines(model_.Engines);
    };
    probe_->OnFailed = [this, path](const QString& reason) {
        probe_->deleteLater();
        probe_ = nullptr;
        ShowEngines();
        dialogs_.ShowMessage(QString::fromUtf8("No se ha añadido %1: %2").arg(path, reason),
                             QString(), TMessageKind::Error);
    };
    ShowEngines();
    probe_->Start();
}

void TFrmConfiguracion::bQuitarMotorClick() {
    const int row = lbMotores->currentRow();
    if (probe_ || row < 0 || row >= model_.Engines.size() || model_.Engines.at(row).Found) return;
    model_.Engines.removeAt(row);
    ShowEngines();
    if (model_.ApplyEngines) model_.ApplyEngines(model_.Engines);
}

bool TFrmConfiguracion::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::MouseMove || !tabWeb) return QWidget::eventFilter(watched, event);
    const auto* move = static_cast<QMouseEvent*>(event);
    QWidget* control = tabWeb->childAt(tabWeb->mapFromGlobal(move->globalPosition().toPoint()));
    while (control && control != tabWeb && control != GroupBox1 &&
           !control->property(HintProperty).isValid())
        control = control->parentWidget();
    if (control == GroupBox1)
        GroupBox1MouseMove();
    else
        eUrlMouseMove(control ? control : tabWeb);
    return false;
}

void TFrmConfiguracion::Show(TTarget target, const QImage& picture) {
    QLabel* preview = target == TTarget::Pieces  ? imgPiezas
                      : target == TTarget::Light ? ImgCuadrosBlancos
                                                 : imgCuadrosNegros;
    QImage& shown = target == TTarget::Pieces  ? shownPieces_
                    : target == TTarget::Light ? shownLight_
                                               : shownDark_;
    shown = picture;
    preview->setPixmap(picture.isNull() ? QPixmap() : QPixmap::fromImage(picture));
}

void TFrmConfiguracion::ChoosePicture(TTarget target) {
    const QString& file = target == TTarget::Pieces  ? model_.PieceSetFile
                          : target == TTarget::Light ? model_.LightSquareFile
                                                     : model_.DarkSquareFile;
    if (pictureFolder_.isEmpty()) pictureFolder_ = model_.ProgramFolder;
    TFileDialogRequest request;
    request.InitialFolder = pictureFolder_;
    request.FileName = file;
    dialogs_.AskPicture(TQuestion::Picture, this, request,
                        [this, target](const QString& chosen) { PictureChosen(target, chosen); });
}

void TFrmConfiguracion::PictureChosen(TTarget target, const QString& chosen) {
    QString& file = target == TTarget::Pieces  ? model_.PieceSetFile
                    : target == TTarget::Light ? model_.LightSquareFile
                                               : model_.DarkSquareFile;
    const auto& apply = target == TTarget::Pieces  ? model_.ApplyPieceSet
                        : target == TTarget::Light ? model_.ApplySquareLight
                                                   : model_.ApplySquareDark;
    const QFileInfo info(chosen);
    if (chosen.isEmpty() || !info.isFile()) return;
    QImageReader reader(chosen);
    const QImage picture = reader.read();
    if (picture.isNull()) {
        dialogs_.ShowMessage(QStringLiteral("No se puede abrir la imagen ") + chosen +
                                 QStringLiteral(": no es un formato de imagen conocido."),
                             QString(), TMessageKind::Error);
        return;
    }
    Show(target, picture);
    pictureFolder_ = info.absolutePath();
    file = info.absoluteFilePath();
    if (apply) apply(picture, file);
}

void TFrmConfiguracion::bCambiarPiezasClick() {
    ChoosePicture(TTarget::Pieces);
}

void TFrmConfiguracion::bCuadrosBlancosClick() {
    ChoosePicture(TTarget::Light);
}

void TFrmConfiguracion::bCuadrosNegrosClick() {
    ChoosePicture(TTarget::Dark);
}

void TFrmConfiguracion::bPiezasNilClick() {
    model_.PieceSetFile.clear();
    Show(TTarget::Pieces, model_.BuiltInPieceSet);
    if (model_.ApplyPieceSet) model_.ApplyPieceSet(QImage(), QString());
}

void TFrmConfiguracion::bCuadrosNilClick() {
    model_.LightSquareFile.clear();
    model_.DarkSquareFile.clear();
    Show(TTarget::Light, model_.BuiltInSquareLight);
    Show(TTarget::Dark, model_.BuiltInSquareDark);
    if (model_.ApplySquareDark) model_.ApplySquareDark(QImage(), QString());
    if (model_.ApplySquareLight) model_.ApplySquareLight(QImage(), QString());
}

void TFrmConfiguracion::RgSonidosClick() {
    model_.SoundFolder =
        QLatin1String(rbTarambo->isChecked() ? SoundFolderTarambo : SoundFolderZelbo);
    if (model_.ApplySoundFolder) model_.ApplySoundFolder(model_.SoundFolder);
}

void TFrmConfiguracion::eUrlMouseMove(QWidget* control) {
    const QVariant hint = control ? control->property(HintProperty) : QVariant();
    if (hint.isValid()) lbInfo->setText(hint.toString());
}

void TFrmConfiguracion::GroupBox1MouseMove() {
    eUrlMouseMove(tabWeb);
}

void TFrmConfiguracion::bCerrarClick() {
    close();
}

void TFrmConfiguracion::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        bCerrarClick();
        event->accept();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void TFrmConfiguracion::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    activateWindow();
    PageControl1->setFocus();
}
