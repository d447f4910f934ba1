#include "NewGameDialog.h"

#include "ChatWindow.h"
#include "MainWindow.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

TFrmConexion::TFrmConexion(TFrmPrincipal& main, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      Main(main) {
    setObjectName("FrmConexion");
    setWindowTitle("Nueva partida");
    setAttribute(Qt::WA_DeleteOnClose);

    cb1 = new QComboBox(this);
    cb1->setObjectName("cb1");
    cb1->setMinimumWidth(150);
    eDuracion = new QSpinBox(this);
    eDuracion->setRange(1, 1439);
    eDuracion->setValue(15);
    rbBlancas = new QRadioButton("Blancas", this);
    rbNegras = new QRadioButton("Negras", this);
    rbBlancas->setChecked(true);
    auto* piezas = new QGroupBox(" Piezas ", this);
    auto* piezasLayout = new QHBoxLayout(piezas);
    piezasLayout->addWidget(rbBlancas);
    piezasLayout->addWidget(rbNegras);
    piezasLayout->addStretch(1);

    bCrear = new QPushButton("Comenzar partida", this);
    bCrear->setToolTip("Jugar contra el nick seleccionado en la lista de la derecha");
    bCrear->setDefault(true);
    SpeedButton1 = new QPushButton("Cancelar", this);

    auto* form = new QFormLayout;
    form->addRow("Jugar contra:", cb1);
    form->addRow("Tiempo:", eDuracion);
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

    connect(bCrear, &QPushButton::clicked, this, [this] { bCrearClick(); });
    connect(SpeedButton1, &QPushButton::clicked, this, [this] { SpeedButton1Click(); });
    // Filled, cleared or edited: the start button follows the entries.
    auto* model = cb1->model();
    connect(model, &QAbstractItemModel::rowsInserted, this, [this] { cb1Change(); });
    connect(model, &QAbstractItemModel::rowsRemoved, this, [this] { cb1Change(); });
    connect(model, &QAbstractItemModel::modelReset, this, [this] { cb1Change(); });
    cb1Change();
}

void TFrmConexion::cb1Change() {
    bCrear->setEnabled(cb1->count() > 0);
}

void TFrmConexion::bCrearClick() {
    Main.SetMainEnabled(true);
    const QString opponent = cb1->currentText();
    const bool white = rbBlancas->isChecked();
    const int minutes = eDuracion->value();
    if (opponent == TFrmPrincipal::ComputerName || opponent == Main.Nick) {
        const bool computer = opponent == TFrmPrincipal::ComputerName;
        Main.GameMode = computer ? TGameMode::VsComputer : TGameMode::LocalTwoPlayers;
        const QString otherNick =
            computer ? QString(TFrmPrincipal::ComputerName) : Main.Nick + " 2";
        const int otherElo = computer ? Main.ComputerElo : Main.Elo;
        TPlayer& own = white ? Main.WhitePlayer : Main.BlackPlayer;
        TPlayer& other = white ? Main.BlackPlayer : Main.WhitePlayer;
        own.Nick = Main.Nick;
        own.Elo = Main.Elo;
        other.Nick = otherNick;
        other.Elo = otherElo;
        Main.MyColour = white ? TFrmPrincipal::White : TFrmPrincipal::Black;
        Main.SetClockTime(*Main.FClockW, minutes, 0);
        Main.SetClockTime(*Main.FClockB, minutes, 0);
        close();
        Main.StartGame();
        return;
    }
    Main.FrmChat()->OfferGame(opponent, white ? 0 : 1, minutes, Main.Elo);
    close();
}

void TFrmConexion::SpeedButton1Click() {
    close();
}

void TFrmConexion::closeEvent(QCloseEvent* event) {
    Main.SetMainEnabled(true);
    event->accept();
}
