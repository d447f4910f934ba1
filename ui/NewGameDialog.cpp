#include "NewGameDialog.h"

#include "EngineLevel.h"
#include "GameController.h"
#include "ProgramEnv.h"
#include "UciOpponent.h"
#include "UiDialogs.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

TFrmConexion::TFrmConexion(TGameController& game, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      game_(game) {
    setObjectName("FrmConexion");
    setWindowTitle("Nueva partida");
    setAttribute(Qt::WA_DeleteOnClose);
    BuildControls();
    BuildLayout();
    ConnectControls();
    cb1Change();
}

void TFrmConexion::BuildControls() {
    cb1 = new QComboBox(this);
    cb1->setMinimumWidth(150);
    eDuracion = new QSpinBox(this);
    eDuracion->setRange(1, 1439);
    eDuracion->setValue(15);
    eNivel = new QSpinBox(this);
    eNivel->setRange(1, 8);
    eNivel->setValue(game_.EngineDepth());
    eNivel->setToolTip(
        QString::fromUtf8("Nivel de ZuzPlak: más, más fuerte y más lento. El Elo es aproximado, "
                          "medido contra otro motor"));
    lNivelElo = new QLabel(this);
    lNivelElo->setTextFormat(Qt::PlainText);
    ShowLevelElo(eNivel->value());
    eFuerza = new QSpinBox(this);
    eFuerza->setToolTip(QString::fromUtf8("Fuerza del motor: su Elo o su nivel"));
    eFuerza->hide();
    rbBlancas = new QRadioButton("Blancas", this);
    rbNegras = new QRadioButton("Negras", this);
    rbBlancas->setChecked(true);
    bCrear = new QPushButton("Comenzar partida", this);
    bCrear->setToolTip("Jugar contra el nick seleccionado en la lista de la derecha");
    bCrear->setDefault(true);
    SpeedButton1 = new QPushButton("Cancelar", this);
    for (auto [widget, name] : {std::pair<QWidget*, const char*>{cb1, "cb1"},
                                {eDuracion, "eDuracion"},
                                {eNivel, "eNivel"},
                                {lNivelElo, "lNivelElo"},
                                {eFuerza, "eFuerza"},
                                {rbBlancas, "rbBlancas"},
                                {rbNegras, "rbNegras"},
                                {bCrear, "bCrear"},
                                {SpeedButton1, "SpeedButton1"}})
        widget->setObjectName(QString::fromLatin1(name));
}

void TFrmConexion::BuildLayout() {
    auto* piezas = new QGroupBox(" Piezas ", this);
    auto* piezasLayout = new QHBoxLayout(piezas);
    piezasLayout->addWidget(rbBlancas);
    piezasLayout->addWidget(rbNegras);
    piezasLayout->addStretch(1);

    auto* form = new QFormLayout;
    form->addRow("Jugar contra:", cb1);
    form->addRow("Tiempo:", eDuracion);
    auto* nivel = new QHBoxLayout;
    nivel->addWidget(eNivel);
    nivel->addWidget(eFuerza);
    nivel->addWidget(lNivelElo);
    nivel->addStretch(1);
    form->addRow("Nivel:", nivel);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(SpeedButton1);
    buttons->addWidget(bCrear);
    auto* all = new QVBoxLayout(this);
    all->setContentsMargins(10, 10, 10, 10);
    all->setSpacing(8);
    all->addLayout(form);
    all->addWidget(piezas);
    all->addLayout(buttons);
}

void TFrmConexion::ConnectControls() {
    connect(eNivel, &QSpinBox::valueChanged, this, [this](int level) { ShowLevelElo(level); });
    connect(bCrear, &QPushButton::clicked, this, [this] { bCrearClick(); });
    connect(SpeedButton1, &QPushButton::clicked, this, [this] { SpeedButton1Click(); });
    // Filled, cleared or edited: the start button follows the entries.
    auto* model = cb1->model();
    connect(model, &QAbstractItemModel::rowsInserted, this, [this] { cb1Change(); });
    connect(model, &QAbstractItemModel::rowsRemoved, this, [this] { cb1Change(); });
    connect(model, &QAbstractItemModel::modelReset, this, [this] { cb1Change(); });
    connect(cb1, &QComboBox::currentTextChanged, this, [this] { cb1Change(); });
}

void TFrmConexion::ShowLevelElo(int level) {
    lNivelElo->setText(QString::fromUtf8("≈ %1 Elo").arg(EngineLevel(level).elo));
}

void TFrmConexion::cb1Change() {
    bCrear->setEnabled(cb1->count() > 0);
    const TEngineConfig* engine = ChosenEngine();
    eNivel->setVisible(!engine);
    eFuerza->setVisible(engine != nullptr);
    eNivel->setEnabled(DepthOffered());
    eFuerza->setEnabled(StrengthOffered());
    lNivelElo->setEnabled(DepthOffered() || StrengthOffered());
    if (!engine) {
        ShowLevelElo(eNivel->value());
        return;
    }
    if (StrengthOffered()) {
        const bool elo = engine->Offered.Kind == TUciStrength::TKind::Elo;
        eFuerza->setRange(engine->Offered.Min, engine->Offered.Max);
        const int middle = elo ? 1500 : (engine->Offered.Min + engine->Offered.Max) / 2;
        eFuerza->setValue(engine->Strength.value_or(middle));
        lNivelElo->setText(elo ? QStringLiteral("Elo") : QStringLiteral("nivel"));
    } else {
        lNivelElo->setText(engine->StrengthText());
    }
}

void TFrmConexion::SetEngines(const QList<TEngineConfig>& engines) {
    engines_ = engines;
    int at = cb1->findText(QLatin1String(TGameController::ComputerName));
    at = at < 0 ? cb1->count() : at + 1;
    for (int i = 0; i < engines.size(); ++i) {
        // An engine named like another entry (zugaret-uci calls itself
        // ZuzPlak) is told apart by its file.
        QString name = engines.at(i).ShownName();
        if (cb1->findText(name) >= 0)
            name += QStringLiteral(" (") + QFileInfo(engines.at(i).Path).fileName() + u')';
        cb1->insertItem(at + i, name, i);
    }
    cb1->setEnabled(cb1->count() > 0);
    if (cb1->currentIndex() < 0 && cb1->count() > 0) cb1->setCurrentIndex(0);
    cb1Change();
}

const TEngineConfig* TFrmConexion::ChosenEngine() const {
    const QVariant index = cb1->currentData();
    if (!index.isValid()) return nullptr;
    const int i = index.toInt();
    return i >= 0 && i < engines_.size() ? &engines_.at(i) : nullptr;
}

bool TFrmConexion::StrengthOffered() const {
    const TEngineConfig* engine = ChosenEngine();
    return engine && engine->Offered.Kind != TUciStrength::TKind::None;
}

void TFrmConexion::ChooseStrength(int value) {
    eFuerza->setValue(value);
}

int TFrmConexion::Strength() const {
    return eFuerza->value();
}

void TFrmConexion::ChooseDepth(int depth) {
    eNivel->setValue(depth);
}

int TFrmConexion::Depth() const {
    return eNivel->value();
}

bool TFrmConexion::DepthOffered() const {
    return !ChosenEngine() && cb1->currentText() == QLatin1String(TGameController::ComputerName);
}

void TFrmConexion::SetOpponents(const QStringList& nicks) {
    cb1->clear();
    cb1->addItems(nicks);
    cb1->setCurrentIndex(nicks.isEmpty() ? -1 : 0);
    cb1->setEnabled(cb1->count() > 0);
}

QStringList TFrmConexion::Opponents() const {
    QStringList nicks;
    for (int i = 0; i < cb1->count(); ++i)
        nicks << cb1->itemText(i);
    return nicks;
}

void TFrmConexion::ProposeWhite(bool white) {
    (white ? rbBlancas : rbNegras)->setChecked(true);
}

void TFrmConexion::Choose(const QString& opponent, bool white, int minutes) {
    const int i = cb1->findText(opponent);
    if (i >= 0) cb1->setCurrentIndex(i);
    ProposeWhite(white);
    eDuracion->setValue(minutes);
}

QString TFrmConexion::Opponent() const {
    return cb1->currentText();
}

bool TFrmConexion::WhiteChosen() const {
    return rbBlancas->isChecked();
}

int TFrmConexion::Minutes() const {
    return eDuracion->value();
}

bool TFrmConexion::StartEnabled() const {
    return bCrear->isEnabled();
}

void TFrmConexion::bCrearClick() {
    const QString opponent = cb1->currentText();
    const bool white = rbBlancas->isChecked();
    const int minutes = eDuracion->value();
    const int depth = eNivel->value();
    std::optional<TEngineConfig> engine;
    if (const TEngineConfig* chosen = ChosenEngine()) {
        engine = *chosen;
        engine->Strength.reset();
        if (StrengthOffered()) engine->Strength = eFuerza->value();
    }
    if (OnChosen) OnChosen(opponent, minutes);
    if (engine && OnEngineChosen) OnEngineChosen(*engine);
    close(); // the main window is enabled again first
    if (engine) {
        // A file that went away since it was listed starts no game.
        if (!QFileInfo(engine->Path).isExecutable()) {
            if (TUiDialogs* d = game_.Env().Dialogs())
                d->ShowMessage(QString::fromUtf8("No se encuentra el motor %1 en %2")
                                   .arg(engine->ShownName(), engine->Path),
                               QString(), TMessageKind::Error);
            return;
        }
        game_.StartEngineGame(std::make_shared<TUciOpponent>(game_, *engine), white, minutes);
    } else if (opponent == QLatin1String(TGameController::ComputerName)) {
        game_.SetEngineDepth(depth);
        game_.StartLocalGame(TGameMode::VsComputer, white, minutes);
    } else if (opponent == game_.Nick())
        game_.StartLocalGame(TGameMode::LocalTwoPlayers, white, minutes);
    else if (OnOffer)
        // Nothing starts here: the game begins when the opponent accepts.
        OnOffer(opponent, white ? 0 : 1, minutes);
}

void TFrmConexion::SpeedButton1Click() {
    close();
}

void TFrmConexion::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        event->accept();
        SpeedButton1Click();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        if (bCrear->isEnabled()) bCrearClick();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void TFrmConexion::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    activateWindow();
    (cb1->isEnabled() ? static_cast<QWidget*>(cb1) : SpeedButton1)->setFocus();
}

void TFrmConexion::closeEvent(QCloseEvent* event) {
    if (!closedOnce_) {
        closedOnce_ = true;
        if (OnClosed) OnClosed();
    }
    event->accept();
}
