// The main window's construction: its commands as actions, the tool bar,
// the players' strips, the board's panel, the turn panel, the board's menu,
// and what each command and each of the controller's signals runs.
#include "MainWindow.h"

#include "BoardWidget.h"
#include "ChatWindow.h"
#include "ClockWidget.h"
#include "HeadlessProgram.h"
#include "RecordWindow.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>

#include <utility>

namespace {
// The marker of point-and-click: a filled square without outline that
// inverts the colours under it (the board is painted first, the marker's
// white fill is then subtracted from it).
class TMarca : public QWidget {
public:
    explicit TMarca(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setCompositionMode(QPainter::CompositionMode_Difference);
        p.fillRect(rect(), Qt::white);
    }
};

// A command: its menu text, the glyph its tool button shows, its hint.
QAction* NewAction(QObject* parent, const char* name, const QString& text, const QString& glyph,
                   const QString& hint) {
    auto* action = new QAction(text, parent);
    action->setObjectName(QString::fromLatin1(name));
    action->setIconText(glyph);
    action->setToolTip(hint);
    return action;
}

// A tool button showing action; never narrower than its caption.
QToolButton* ActionButton(QWidget* parent, QAction* action, const char* name, bool big) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setDefaultAction(action);
    b->setFocusPolicy(Qt::NoFocus);
    if (big) {
        QFont f = b->font();
        f.setPointSize(f.pointSize() + 3);
        b->setFont(f);
    }
    b->setMinimumSize(b->sizeHint().expandedTo(QSize(30, 28)));
    return b;
}

QLabel* StripLabel(QWidget* parent, bool bold) {
    auto* l = new QLabel(parent);
    l->setTextFormat(Qt::PlainText); // nicks come from peers and files
    QFont f = l->font();
    f.setBold(bold);
    l->setFont(f);
    return l;
}
} // namespace

void TFrmPrincipal::CreateActions() {
    const auto u = [](const char* text) { return QString::fromUtf8(text); };
    const auto glyph = [](char16_t c) { return QString(QChar(c)); };
    actNuevaPartida =
        NewAction(this, "actNuevaPartida", "Nueva partida", "Partida", "Nueva Partida");
    menuTablas = NewAction(this, "menuTablas", "Ofrecer tablas", u("½"), "Ofrecer Tablas");
    menuRendir = NewAction(this, "menuRendir", "Abandonar", glyph(0x2691), "Rendirse");
    actDeshacer = NewAction(this, "actDeshacer", u("Deshacer la última jugada"), glyph(0x21B6),
                            u("Deshacer la última jugada (Ctrl+Z)"));
    menuInvertir =
        NewAction(this, "menuInvertir", "Invertir tablero", glyph(0x21C5), "Invertir tablero");
    menuPointClick = NewAction(this, "menuPointClick", "Pulsar y soltar", glyph(0x261D),
                               u("Activar/Desactivar «Pulsar y soltar»: mover con dos clics"));
    menuPointClick->setCheckable(true);
    actAplazar = NewAction(this, "actAplazar", "Aplazar partida", glyph(0x2016), "Aplazar partida");
    actReanudar = NewAction(this, "actReanudar", "Reanudar partida", glyph(0x21BB),
                            "Reanudar partida aplazada o interrumpida");
    actConfiguracion = NewAction(this, "actConfiguracion", u("Configuración"), glyph(0x2699),
                                 u("Ocultar/Mostrar ventana de Configuración"));
    actAyuda =
        NewAction(this, "actAyuda", "Acerca de Zugaret CHAT!", "?", "Acerca de Zugaret CHAT!");
    actSpeedButton1 = NewAction(this, "actSpeedButton1", u(":-Þ"), u(":-Þ"), QString());
    menuDestinos =
        NewAction(this, "menuDestinos", "Mostrar casillas de destino", QString(), QString());
    menuDestinos->setCheckable(true);
    menuCopiarFen =
        NewAction(this, "menuCopiarFen", u("Copiar posición (FEN)"), QString(), QString());
    menuPegarFen = NewAction(this, "menuPegarFen", u("Pegar posición (FEN)"), QString(), QString());
    menuCrear = NewAction(this, "menuCrear", "Crear partida", QString(), QString());
    menuConectar = NewAction(this, "menuConectar", "Conectar", QString(), QString());
    menuExportarPGN = NewAction(this, "menuExportarPGN", "Exportar PGN", QString(), QString());
    menuTablas->setEnabled(false);
    menuRendir->setEnabled(false);
}

QLayout* TFrmPrincipal::BuildToolBar() {
    bNuevaPartida = ActionButton(central_, actNuevaPartida, "bNuevaPartida", false);
    bTablas = ActionButton(central_, menuTablas, "bTablas", true);
    bRendir = ActionButton(central_, menuRendir, "bRendir", true);
    bDeshacer = ActionButton(central_, actDeshacer, "bDeshacer", true);
    bInvertir = ActionButton(central_, menuInvertir, "bInvertir", true);
    bPointAndClick = ActionButton(central_, menuPointClick, "bPointAndClick", true);
    bAplazar = ActionButton(central_, actAplazar, "bAplazar", true);
    bReanudar = ActionButton(central_, actReanudar, "bReanudar", true);
    bConfiguracion = ActionButton(central_, actConfiguracion, "bConfiguracion", true);
    bAyuda = ActionButton(central_, actAyuda, "bAyuda", false);
    SpeedButton1 = ActionButton(central_, actSpeedButton1, "SpeedButton1", false);
    SpeedButton1->setVisible(false);

    auto* tools = new QHBoxLayout;
    tools->setSpacing(3);
    for (QToolButton* b : {bNuevaPartida, bTablas, bRendir, bDeshacer})
        tools->addWidget(b);
    tools->addSpacing(6);
    tools->addWidget(bInvertir);
    tools->addWidget(bPointAndClick);
    tools->addSpacing(6);
    tools->addWidget(bAplazar);
    tools->addWidget(bReanudar);
    tools->addStretch(1);
    for (QToolButton* b : {SpeedButton1, bConfiguracion, bAyuda})
        tools->addWidget(b);
    return tools;
}

void TFrmPrincipal::BuildStrips() {
    auto makeStrip = [this](QLabel*& nick, QLabel*& elo, TClockWidget*& face, const char* name) {
        auto* strip = new QWidget(central_);
        strip->setObjectName(QString::fromLatin1(name));
        strip->setFixedHeight(30);
        nick = StripLabel(strip, true);
        elo = StripLabel(strip, false);
        elo->setMinimumWidth(60);
        face = new TClockWidget(strip);
        face->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        QFont f("Arial");
        f.setBold(true);
        f.setPointSize(14);
        face->setFont(f);
        face->SetFontColor(QColor(0, 0, 128));
        face->setMinimumWidth(96);
        face->setContentsMargins(6, 0, 6, 0);
        auto* row = new QHBoxLayout(strip);
        row->setContentsMargins(4, 1, 0, 1);
        row->setSpacing(8);
        row->addWidget(nick, 1);
        row->addWidget(elo);
        row->addWidget(face);
        return strip;
    };
    PanelPiezasBlancas = makeStrip(FNickLabelB, FEloLabelB, FClockB, "PanelPiezasBlancas");
    PanelPiezasNegras = makeStrip(FNickLabelW, FEloLabelW, FClockW, "PanelPiezasNegras");
    FNickLabelW->setObjectName("FNickLabelW");
    FNickLabelB->setObjectName("FNickLabelB");
    FEloLabelW->setObjectName("FEloLabelW");
    FEloLabelB->setObjectName("FEloLabelB");
    FClockW->setObjectName("FClockW");
    FClockB->setObjectName("FClockB");
}

void TFrmPrincipal::BuildBoardPanel() {
    panelTablero = new QWidget(central_);
    panelTablero->setObjectName("panelTablero");
    panelTablero->installEventFilter(this);
    FBoard = new TChessBrd(program_.Model(), panelTablero);
    // The look of the board: wooden squares inside a slim dark frame with
    // the coordinates on the left and at the foot (the user's pictures, when
    // chosen, replace the squares).
    FBoard->SetSizeOfBorder(16);
    FBoard->SetBorderColor(QColor(46, 52, 64));
    FBoard->SetCoordFontColor(QColor(216, 222, 233));
    FBoard->SetDisplayCoords(West | South);
    FBoard->SetSquareColorLight(QColor(240, 217, 181));
    FBoard->SetSquareColorDark(QColor(181, 136, 99));
    FBoard->SetLineStyle(QPen(QColor(46, 52, 64)));
    FBoard->move(4, 4);
    FBoard->resize(334, 334);
    FBoard->setFocusPolicy(Qt::StrongFocus); // its arrow keys step a replay
    // The board never gets below squares of MinSquareSize pixels: the layout
    // keeps the window at least that large, tool bar included.
    const int minBoard = 8 * MinSquareSize + 2 * FBoard->SizeOfBorder();
    panelTablero->setMinimumSize(minBoard + 4, minBoard + 4);
    marca = new TMarca(panelTablero);
    marca->setObjectName("marca");
    marca->move(-100, 0);
    marca->resize(38, 38);
}

void TFrmPrincipal::BuildTurnPanel() {
    FPanelTurno = new QLabel(central_);
    FPanelTurno->setObjectName("FPanelTurno");
    FPanelTurno->setTextFormat(Qt::PlainText); // a host's end of game text, a nick
    FPanelTurno->setAlignment(Qt::AlignCenter);
    FPanelTurno->setFixedHeight(24);
    QFont tf = FPanelTurno->font();
    tf.setBold(true);
    FPanelTurno->setFont(tf);
    FPanelTurno->setAutoFillBackground(true);
}

void TFrmPrincipal::BuildLayout(QLayout* tools) {
    auto* all = new QVBoxLayout(central_);
    all->setContentsMargins(4, 4, 4, 4);
    all->setSpacing(2);
    all->addLayout(tools);
    all->addWidget(PanelPiezasBlancas);
    all->addWidget(panelTablero, 1);
    all->addWidget(PanelPiezasNegras);
    all->addWidget(FPanelTurno);
}

void TFrmPrincipal::BuildBoardMenu() {
    MenuBoard = new QMenu(this);
    MenuBoard->setObjectName("MenuBoard");
    for (QAction* a : {menuInvertir, menuPointClick, menuDestinos})
        MenuBoard->addAction(a);
    MenuBoard->addSeparator();
    MenuBoard->addAction(menuCopiarFen);
    MenuBoard->addAction(menuPegarFen);
    MenuBoard->addSeparator();
    MenuBoard->addAction(menuTablas);
    MenuBoard->addAction(menuRendir);
    MenuBoard->addSeparator();
    MenuBoard->addAction(menuCrear);
    MenuBoard->addAction(menuConectar);
    MenuBoard->addSeparator();
    MenuBoard->addAction(menuExportarPGN);
}

void TFrmPrincipal::ConnectCommands() {
    const std::pair<QAction*, void (TFrmPrincipal::*)()> commands[] = {
        {actNuevaPartida, &TFrmPrincipal::bNuevaPartidaClick},
        {menuTablas, &TFrmPrincipal::bTablasClick},
        {menuRendir, &TFrmPrincipal::bRendirClick},
        {actDeshacer, &TFrmPrincipal::bDeshacerClick},
        {menuInvertir, &TFrmPrincipal::bInvertirClick},
        {menuPointClick, &TFrmPrincipal::menuPointClickClick},
        {actAplazar, &TFrmPrincipal::bAplazarClick},
        {actReanudar, &TFrmPrincipal::bAplazarClick},
        {actConfiguracion, &TFrmPrincipal::bConfiguracionClick},
        {actAyuda, &TFrmPrincipal::bAyudaClick},
        {actSpeedButton1, &TFrmPrincipal::SpeedButton1Click},
        {menuDestinos, &TFrmPrincipal::menuDestinosClick},
        {menuCopiarFen, &TFrmPrincipal::menuCopiarFenClick},
        {menuPegarFen, &TFrmPrincipal::menuPegarFenClick},
    };
    for (const auto& [action, command] : commands)
        connect(action, &QAction::triggered, this,
                [this, command = command] { (this->*command)(); });
    auto* undo = new QShortcut(QKeySequence::Undo, this);
    connect(undo, &QShortcut::activated, this, [this] { bDeshacerClick(); });
    connect(menuCrear, &QAction::triggered, this, [this] {
        if (chat_) chat_->bCrearClick();
    });
    connect(menuConectar, &QAction::triggered, this, [this] {
        if (chat_) chat_->bConectarClick();
    });
    connect(menuExportarPGN, &QAction::triggered, this, [this] {
        if (partida_) partida_->bExportarClick();
    });
    FBoard->OnMouseDown = [this](TChessBrd*, Qt::MouseButton b, Qt::KeyboardModifiers, int x,
                                 int y) { FBoardMouseDown(b, x, y); };
}

void TFrmPrincipal::BindGame() {
    TGameController& g = game_;
    FClockW->SetClock(&g.ClockW());
    FClockB->SetClock(&g.ClockB());
    using G = TGameController;
    connect(&g, &G::OnPanelChanged, this, [this] { ShowPanel(); });
    connect(&g, &G::OnPlayersChanged, this, [this] { ShowPlayers(); });
    connect(&g, &G::OnCommandsChanged, this, [this] { ShowCommands(); });
    connect(&g, &G::OnTitleChanged, this, [this] { setWindowTitle(game_.Title()); });
    connect(&g, &G::OnShowColourAtBottom, this, [this](TColour colour) {
        if ((colour == TColour::Black && !FBoard->WhiteOnTop()) ||
            (colour == TColour::White && FBoard->WhiteOnTop()))
            bInvertirClick();
    });
    // Whatever made the move (a drop, a click, the engine, the network), and
    // whatever began or ended a game, the square picked for point-and-click
    // is no longer to be moved from.
    connect(&g, &G::OnMovePlayed, this, [this] { ClearSelection(); });
    connect(&g, &G::OnGameStarted, this, [this] { ClearSelection(); });
    connect(&g, &G::OnGameEnded, this, [this] { ClearSelection(); });
    // A promotion's piece is chosen before the move is played; the chooser
    // closes itself when its reason goes (a move, a new game or the end of
    // the game), and the board drops an answer that comes too late.
    connect(FBoard, &TChessBrd::promotionChoiceNeeded, this, [this](Square from, Square) {
        OpenPromotionChooser(program_.Model().PieceAt(from) == 'P');
    });
    for (auto reason : {&G::OnGameStarted, &G::OnGameEnded})
        connect(&g, reason, this, [this] { ClosePromotionChooser(); });
    connect(&g, &G::OnMovePlayed, this, [this] { ClosePromotionChooser(); });
    ShowCommands();
}

void TFrmPrincipal::PlaceStrips() {
    auto* all = static_cast<QVBoxLayout*>(central_->layout());
    all->removeWidget(PanelPiezasBlancas);
    all->removeWidget(PanelPiezasNegras);
    QWidget* top = FBoard->WhiteOnTop() ? PanelPiezasNegras : PanelPiezasBlancas;
    QWidget* bottom = FBoard->WhiteOnTop() ? PanelPiezasBlancas : PanelPiezasNegras;
    const int boardIndex = all->indexOf(panelTablero);
    all->insertWidget(boardIndex, top);
    all->insertWidget(all->indexOf(panelTablero) + 1, bottom);
}
