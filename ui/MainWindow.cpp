#include "MainWindow.h"

#include "PromotionChooser.h"

#include "BoardWidget.h"
#include "ChatSession.h"
#include "ChatWindow.h"
#include "ClockWidget.h"
#include "ConfigurationWindow.h"
#include "GameQuestions.h"
#include "HeadlessProgram.h"
#include "NewGameDialog.h"
#include "ProgramEnv.h"
#include "PromotionChooser.h"
#include "RecordWindow.h"
#include "Settings.h"
#include "UiDialogs.h"
#include "WindowPlacement.h"

#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QCursor>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <utility>

namespace {
const QString NotAvailable = QStringLiteral("Opción no disponible, de momento...");

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

QToolButton* ToolButton(QWidget* parent, const QString& text, const QString& hint) {
    auto* b = new QToolButton(parent);
    b->setText(text);
    b->setToolTip(hint);
    b->setMinimumSize(30, 28);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

// The available area of the screen that holds point, or of the primary one.
QRect AvailableScreenAt(const QPoint& point) {
    QScreen* screen = QGuiApplication::screenAt(point);
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

// A stored window frame that fits the screen: no larger than its available
// area, and moved onto it.
QRect FittedToScreen(const QRect& stored, const QRect& screen) {
    const QSize size(qBound(0, stored.width(), screen.width()),
                     qBound(0, stored.height(), screen.height()));
    const int x = qBound(screen.left(), stored.x(), screen.left() + screen.width() - size.width());
    const int y = qBound(screen.top(), stored.y(), screen.top() + screen.height() - size.height());
    return {QPoint(x, y), size};
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

TFrmPrincipal::TFrmPrincipal(THeadlessProgram& program, QWidget* parent)
    : QMainWindow(parent), program_(program), env_(program.Env()), game_(program.Game()) {
    setObjectName("FrmPrincipal");
    BuildControls();
    gameQuestions_ = std::make_unique<TGameQuestions>(game_);
    BindGame();
    // The program goes: so does its view, while the program is whole.
    connect(&program_, &THeadlessProgram::OnDestroying, this, [this] { delete this; });
    connect(&program_, &THeadlessProgram::OnQuitting, this, [this] { WriteSettings(); });
    FormCreate();
}

TFrmPrincipal::~TFrmPrincipal() {
    // Everything that calls into this window goes while the window is still
    // whole: the windows that use it (the new-game dialog, the chat and
    // record windows), destroyed here, instead of being freed with the child
    // widgets after its members are gone. The program lives on.
    FBoard->OnMouseDown = nullptr;
    if (conexion_) delete conexion_.data();
    for (QWidget* w : {static_cast<QWidget*>(chat_), static_cast<QWidget*>(partida_)})
        if (w) w->removeEventFilter(this);
    delete std::exchange(chat_, nullptr);
    delete std::exchange(partida_, nullptr);
    gameQuestions_.reset();
}

void TFrmPrincipal::SetWindows(TFrmChat* chat, TFrmPartida* partida) {
    chat_ = chat;
    partida_ = partida;
    for (QWidget* w : {static_cast<QWidget*>(chat_), static_cast<QWidget*>(partida_)})
        if (w) w->installEventFilter(this);
    ScheduleIdle();
    // Window decorations arrive from the window manager some time after a
    // window is shown, and change its frame without any event here: the
    // docked windows are placed again a few times a second, which moves
    // nothing once they are where they belong.
    auto* dock = new QTimer(this);
    dock->setInterval(300);
    connect(dock, &QTimer::timeout, this, [this] { ApplicationEvents1Idle(); });
    dock->start();
}

void TFrmPrincipal::Terminate() {
    terminated_ = true;
    closed_ = true; // nothing was agreed on: the settings are not written
    QTimer::singleShot(0, this, [this] { close(); });
}

QPoint TFrmPrincipal::OnScreen(const QRect& frame) const {
    QScreen* screen = QGuiApplication::screenAt(frame.center());
    if (!screen) screen = this->screen();
    return screen ? PlaceOnScreen(frame, screen->availableGeometry()) : frame.topLeft();
}

TUiDialogs* TFrmPrincipal::Dialogs() const {
    return env_.Dialogs();
}

void TFrmPrincipal::ShowMessage(const QString& text) {
    if (TUiDialogs* d = Dialogs()) d->ShowMessage(text);
}

// ---------------------------------------------------------------- controls

void TFrmPrincipal::BuildControls() {
    central_ = new QWidget(this);
    central_->setObjectName("PanelPrincipal");
    setCentralWidget(central_);

    bNuevaPartida = ToolButton(central_, "Partida", "Nueva Partida");
    bTablas = ToolButton(central_, QString::fromUtf8("½"), "Ofrecer Tablas");
    bRendir = ToolButton(central_, QString(QChar(0x2691)), "Rendirse");
    bInvertir = ToolButton(central_, QString(QChar(0x21C5)), "Invertir tablero");
    bDeshacer = ToolButton(central_, QString(QChar(0x21B6)),
                           QString::fromUtf8("Deshacer la última jugada (Ctrl+Z)"));
    bPointAndClick = ToolButton(central_, QString(QChar(0x261D)),
                                QString::fromUtf8("Activar/Desactivar «Pulsar y soltar»: mover "
                                                  "con dos clics"));
    bPointAndClick->setCheckable(true);
    bAplazar = ToolButton(central_, QString(QChar(0x2016)), "Aplazar partida");
    bReanudar =
        ToolButton(central_, QString(QChar(0x21BB)), "Reanudar partida aplazada o interrumpida");
    bConfiguracion = ToolButton(central_, QString(QChar(0x2699)),
                                QString::fromUtf8("Ocultar/Mostrar ventana de Configuración"));
    bAyuda = ToolButton(central_, "?", "Acerca de Zugaret CHAT!");
    SpeedButton1 = ToolButton(central_, QString::fromUtf8(":-Þ"), "");
    SpeedButton1->setVisible(false);
    for (auto [button, name] : {std::pair{bNuevaPartida, "bNuevaPartida"},
                                {bTablas, "bTablas"},
                                {bRendir, "bRendir"},
                                {bDeshacer, "bDeshacer"},
                                {bInvertir, "bInvertir"},
                                {bPointAndClick, "bPointAndClick"},
                                {bAplazar, "bAplazar"},
                                {bReanudar, "bReanudar"},
                                {bConfiguracion, "bConfiguracion"},
                                {bAyuda, "bAyuda"},
                                {SpeedButton1, "SpeedButton1"}})
        button->setObjectName(QString::fromLatin1(name));
    bTablas->setEnabled(false);
    bRendir->setEnabled(false);
    QFont big = bTablas->font();
    big.setPointSize(big.pointSize() + 3);
    for (auto* b : {bTablas, bRendir, bDeshacer, bInvertir, bPointAndClick, bAplazar, bReanudar,
                    bConfiguracion})
        b->setFont(big);
    // Never narrower than its caption: the window stops shrinking first.
    for (QToolButton* b : central_->findChildren<QToolButton*>())
        b->setMinimumSize(b->sizeHint().expandedTo(QSize(30, 28)));

    auto* tools = new QHBoxLayout;
    tools->setSpacing(3);
    tools->addWidget(bNuevaPartida);
    tools->addWidget(bTablas);
    tools->addWidget(bRendir);
    tools->addWidget(bDeshacer);
    tools->addSpacing(6);
    tools->addWidget(bInvertir);
    tools->addWidget(bPointAndClick);
    tools->addSpacing(6);
    tools->addWidget(bAplazar);
    tools->addWidget(bReanudar);
    tools->addStretch(1);
    tools->addWidget(SpeedButton1);
    tools->addWidget(bConfiguracion);
    tools->addWidget(bAyuda);

    auto makeStrip = [this](QLabel*& nick, QLabel*& elo, TClockWidget*& face, const QString& name) {
        auto* strip = new QWidget(central_);
        strip->setObjectName(name);
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
    marca->move(-100, 0);
    marca->resize(38, 38);

    FPanelTurno = new QLabel(central_);
    FPanelTurno->setObjectName("FPanelTurno");
    FPanelTurno->setTextFormat(Qt::PlainText); // a host's end of game text, a nick

    FPanelTurno->setAlignment(Qt::AlignCenter);
    FPanelTurno->setFixedHeight(24);
    QFont tf = FPanelTurno->font();
    tf.setBold(true);
    FPanelTurno->setFont(tf);
    FPanelTurno->setAutoFillBackground(true);

    auto* all = new QVBoxLayout(central_);
    all->setContentsMargins(4, 4, 4, 4);
    all->setSpacing(2);
    all->addLayout(tools);
    all->addWidget(PanelPiezasBlancas);
    all->addWidget(panelTablero, 1);
    all->addWidget(PanelPiezasNegras);
    all->addWidget(FPanelTurno);

    MenuBoard = new QMenu(this);
    menuInvertir = MenuBoard->addAction("Invertir tablero");
    menuPointClick = MenuBoard->addAction("Pulsar y soltar");
    menuPointClick->setCheckable(true);
    menuDestinos = MenuBoard->addAction("Mostrar casillas de destino");
    menuDestinos->setCheckable(true);
    MenuBoard->addSeparator();
    menuCopiarFen = MenuBoard->addAction(QString::fromUtf8("Copiar posición (FEN)"));
    menuPegarFen = MenuBoard->addAction(QString::fromUtf8("Pegar posición (FEN)"));
    MenuBoard->addSeparator();
    menuTablas = MenuBoard->addAction("Ofrecer tablas");
    menuRendir = MenuBoard->addAction("Abandonar");
    MenuBoard->addSeparator();
    menuCrear = MenuBoard->addAction("Crear partida");
    menuConectar = MenuBoard->addAction("Conectar");
    MenuBoard->setObjectName("MenuBoard");
    for (auto [action, name] : {std::pair{menuInvertir, "menuInvertir"},
                                {menuPointClick, "menuPointClick"},
                                {menuDestinos, "menuDestinos"},
                                {menuTablas, "menuTablas"},
                                {menuRendir, "menuRendir"},
                                {menuCrear, "menuCrear"},
                                {menuConectar, "menuConectar"},
                                {menuCopiarFen, "menuCopiarFen"},
                                {menuPegarFen, "menuPegarFen"}})
        action->setObjectName(QString::fromLatin1(name));
    FNickLabelW->setObjectName("FNickLabelW");
    FNickLabelB->setObjectName("FNickLabelB");
    FEloLabelW->setObjectName("FEloLabelW");
    FEloLabelB->setObjectName("FEloLabelB");
    FClockW->setObjectName("FClockW");
    FClockB->setObjectName("FClockB");
    marca->setObjectName("marca");

    connect(bNuevaPartida, &QToolButton::clicked, this, [this] { bNuevaPartidaClick(); });
    connect(bTablas, &QToolButton::clicked, this, [this] { bTablasClick(); });
    connect(menuTablas, &QAction::triggered, this, [this] { bTablasClick(); });
    connect(bRendir, &QToolButton::clicked, this, [this] { bRendirClick(); });
    connect(menuRendir, &QAction::triggered, this, [this] { bRendirClick(); });
    connect(bInvertir, &QToolButton::clicked, this, [this] { bInvertirClick(); });
    connect(bDeshacer, &QToolButton::clicked, this, [this] { bDeshacerClick(); });
    connect(menuCopiarFen, &QAction::triggered, this, [this] { menuCopiarFenClick(); });
    connect(menuPegarFen, &QAction::triggered, this, [this] { menuPegarFenClick(); });
    auto* undo = new QShortcut(QKeySequence::Undo, this);
    connect(undo, &QShortcut::activated, this, [this] { bDeshacerClick(); });
    connect(menuInvertir, &QAction::triggered, this, [this] { bInvertirClick(); });
    connect(bPointAndClick, &QToolButton::clicked, this, [this] { bPointAndClickClick(); });
    connect(menuPointClick, &QAction::triggered, this, [this] { menuPointClickClick(); });
    connect(menuDestinos, &QAction::triggered, this, [this] { menuDestinosClick(); });
    connect(bAplazar, &QToolButton::clicked, this, [this] { bAplazarClick(); });
    connect(bReanudar, &QToolButton::clicked, this, [this] { bAplazarClick(); });
    connect(menuCrear, &QAction::triggered, this, [this] {
        if (chat_) chat_->bCrearClick();
    });
    connect(menuConectar, &QAction::triggered, this, [this] {
        if (chat_) chat_->bConectarClick();
    });
    MenuBoard->addSeparator();
    menuExportarPGN = MenuBoard->addAction("Exportar PGN");
    menuExportarPGN->setObjectName("menuExportarPGN");
    connect(menuExportarPGN, &QAction::triggered, this, [this] {
        if (partida_) partida_->bExportarClick();
    });
    FBoard->OnMouseDown = [this](TChessBrd*, Qt::MouseButton b, Qt::KeyboardModifiers, int x,
                                 int y) { FBoardMouseDown(b, x, y); };
    connect(bConfiguracion, &QToolButton::clicked, this, [this] { bConfiguracionClick(); });
    connect(bAyuda, &QToolButton::clicked, this, [this] { bAyudaClick(); });
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
    resize(352, 454);
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

void TFrmPrincipal::OpenPromotionChooser(bool white) {
    if (promotionChooser_) {
        disconnect(promotionChooser_, nullptr, FBoard, nullptr);
        promotionChooser_->close();
    }
    auto* chooser = new TPromotionChooser(
        white, [this](char letter) { return FBoard->PieceImage(letter); }, this);
    chooser->setObjectName(QStringLiteral("promotionChooser"));
    promotionChooser_ = chooser;
    connect(chooser, &TPromotionChooser::chosen, FBoard, &TChessBrd::AnswerPromotion);
    connect(chooser, &TPromotionChooser::cancelled, FBoard, [this] { FBoard->AnswerPromotion(0); });
    chooser->open();
}

void TFrmPrincipal::ClosePromotionChooser() {
    if (!promotionChooser_) return;
    TPromotionChooser* chooser = promotionChooser_;
    promotionChooser_ = nullptr;
    // Its answer, the cancel that closing it gives, is no longer wanted.
    disconnect(chooser, nullptr, FBoard, nullptr);
    FBoard->AnswerPromotion(0);
    chooser->close();
}

void TFrmPrincipal::ShowPanel() {
    const TTurnPanel& panel = game_.Panel();
    FPanelTurno->setText(panel.Text);
    // The panel's own sheet sets its colours (and its palette with them).
    switch (panel.Kind) {
    case TTurnPanel::TKind::Blank:
        FPanelTurno->setStyleSheet(QString());
        break;
    case TTurnPanel::TKind::WhiteToMove:
        FPanelTurno->setStyleSheet("QLabel { background: #ffffff; color: #000000; }");
        break;
    case TTurnPanel::TKind::BlackToMove:
        FPanelTurno->setStyleSheet("QLabel { background: #000000; color: #ffffff; }");
        break;
    case TTurnPanel::TKind::Ended:
        FPanelTurno->setStyleSheet("QLabel { background: #c0c0c0; color: black; }");
        break;
    }
}

void TFrmPrincipal::ShowPlayers() {
    const TPlayer& w = game_.WhitePlayer();
    const TPlayer& b = game_.BlackPlayer();
    FEloLabelW->setText(QString::number(w.Elo));
    FNickLabelW->setText(w.Nick);
    FEloLabelB->setText(QString::number(b.Elo));
    FNickLabelB->setText(b.Nick);
    FEloLabelW->setToolTip(game_.EloHint(TColour::White));
    FEloLabelB->setToolTip(game_.EloHint(TColour::Black));
}

void TFrmPrincipal::ShowCommands() {
    const TGameController& g = game_;
    bNuevaPartida->setEnabled(g.NewGameAllowed());
    bTablas->setEnabled(g.DrawOfferAllowed());
    bRendir->setEnabled(g.ResignAllowed());
    bDeshacer->setEnabled(g.TakeBackAllowed());
    FBoard->SetNoMover(!g.LocalMayMove());
    // Taking the board's input away drops a drag under way.
    if (FBoard->isEnabled() != g.BoardActive()) FBoard->setEnabled(g.BoardActive());
}

TFrmConexion* TFrmPrincipal::FrmConexion() const {
    // A closed dialog is only waiting to be destroyed.
    return conexion_ && conexion_->isVisible() ? conexion_.data() : nullptr;
}

void TFrmPrincipal::SetMainEnabled(bool enabled) {
    central_->setEnabled(enabled);
}

bool TFrmPrincipal::MainEnabled() const {
    return central_->isEnabled();
}

QString TFrmPrincipal::PanelText() const {
    return FPanelTurno->text();
}

bool TFrmPrincipal::MarkerShown() const {
    return marca->x() > -100;
}

QRect TFrmPrincipal::MarkerGeometry() const {
    return marca->geometry();
}

// ---------------------------------------------------------------- commands

void TFrmPrincipal::bRendirClick() {
    if (!game_.GameInProgress()) return;
    if (!Dialogs()) {
        game_.Resign();
        return;
    }
    gameQuestions_->Ask(TQuestion::Resign, this, QString::fromUtf8("¿Seguro que quiere abandonar?"),
                        [this](bool yes) {
                            if (yes) game_.Resign();
                        });
}

void TFrmPrincipal::bDeshacerClick() {
    game_.TakeBack();
}

void TFrmPrincipal::menuCopiarFenClick() {
    QGuiApplication::clipboard()->setText(program_.Model().Fen());
}

void TFrmPrincipal::menuPegarFenClick() {
    const QString fen = QGuiApplication::clipboard()->text().trimmed();
    auto setUp = [this, fen] {
        QString reason;
        // The clocks as the new-game dialog proposes them.
        if (!game_.StartFromPosition(fen, 15, &reason))
            ShowMessage(QString::fromUtf8("No se puede poner esa posición: ") + reason);
    };
    if (game_.GameInProgress() && game_.GameMode() != TGameMode::Network &&
        game_.GameMode() != TGameMode::Replay) {
        AskToInterrupt(setUp);
        return;
    }
    setUp();
}

void TFrmPrincipal::AskToInterrupt(std::function<void()> then) {
    if (!Dialogs()) return;
    gameQuestions_->Ask(
        TQuestion::InterruptGame, this, QString::fromUtf8("¿Interrumpir la partida actual?"),
        [then = std::move(then)](bool ok) {
            if (ok) then();
        },
        TQuestionButtons::OkCancel);
}

void TFrmPrincipal::bTablasClick() {
    game_.OfferDraw();
}

void TFrmPrincipal::bNuevaPartidaClick() {
    if (partida_) partida_->StopAnimation();
    if (game_.GameInProgress() && game_.GameMode() != TGameMode::Replay) {
        AskToInterrupt([this] { OpenNewGameDialog(); });
        return;
    }
    OpenNewGameDialog();
}

void TFrmPrincipal::OpenNewGameDialog() {
    game_.AbandonGame();
    if (conexion_) conexion_->close();
    auto* dlg = new TFrmConexion(game_, this);
    conexion_ = dlg;
    dlg->OnOffer = [this](const QString& nick, int receiverPlaysWhite, int minutes) {
        if (chat_) chat_->OfferGame(nick, receiverPlaysWhite, minutes, game_.Elo());
    };
    dlg->OnClosed = [this] { SetMainEnabled(true); };
    dlg->OnChosen = [this](const QString& opponent, int minutes) {
        lastOpponent_ = opponent;
        lastMinutes_ = minutes;
    };
    if (chat_ && chat_->isVisible()) {
        QStringList opponents;
        if (game_.Role() == TRole::Server) {
            for (const QString& n : chat_->NickList())
                if (n != game_.Nick()) opponents << n;
        } else if ((game_.Role() == TRole::Client || game_.Role() == TRole::Observer) &&
                   !game_.HostNick().trimmed().isEmpty()) {
            // Until the host's greeting has come its nick is not known.
            opponents << game_.HostNick();
        }
        opponents << QString::fromLatin1(TGameController::ComputerName) << game_.Nick();
        dlg->SetOpponents(opponents);
        dlg->SetEngines(engines_);
        dlg->OnEngineChosen = [this](const TEngineConfig& chosen) {
            for (TEngineConfig& e : engines_)
                if (e.Path == chosen.Path) e.Strength = chosen.Strength;
        };
    }
    // After playing White the dialog proposes Black; the opponent and the
    // minutes are the last ones chosen (the level is the engine's own).
    const bool white = game_.MyColour() != TColour::White;
    if (!lastOpponent_.isEmpty() && dlg->Opponents().contains(lastOpponent_))
        dlg->Choose(lastOpponent_, white, lastMinutes_);
    else
        dlg->Choose(QString(), white, lastMinutes_);
    SetMainEnabled(false);
    dlg->show();
    const QRect g = frameGeometry();
    const QSize frame = dlg->frameGeometry().size();
    dlg->move(
        OnScreen(QRect(QPoint(g.left() + (g.width() - frame.width()) / 2, g.top() + 80), frame)));
}

void TFrmPrincipal::bInvertirClick() {
    FBoard->SetWhiteOnTop(!FBoard->WhiteOnTop());
    PlaceStrips();
    // A shown marker follows its square to the other side of the board.
    if (SelectedSquare != Square::None && marca->x() > -100) PlaceMarker();
}

void TFrmPrincipal::ClearSelection() {
    marca->move(-100, marca->y());
    SelectedSquare = Square::None;
    FBoard->SetSelectedSquare(Square::None);
}

void TFrmPrincipal::PlaceMarker() {
    // One pixel of the square stays free on each side.
    const QPoint p = FBoard->SquareToPoint(SelectedSquare);
    const int side = FBoard->SizeOfSquare() - 2;
    marca->resize(side, side);
    marca->move(FBoard->x() + p.x() + 1, FBoard->y() + p.y() + 1);
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

void TFrmPrincipal::bPointAndClickClick() {
    menuPointClick->setChecked(!menuPointClick->isChecked());
    menuPointClickClick();
}

void TFrmPrincipal::menuPointClickClick() {
    PointClick = menuPointClick->isChecked();
    bPointAndClick->setChecked(PointClick);
    if (!PointClick) ClearSelection();
}

void TFrmPrincipal::menuDestinosClick() {
    ShowDestinations = menuDestinos->isChecked();
    FBoard->SetShowLegalDestinations(ShowDestinations);
}

void TFrmPrincipal::bAplazarClick() {
    ShowMessage(NotAvailable);
}

void TFrmPrincipal::bConfiguracionClick() {
    TUiDialogs* dialogs = Dialogs();
    if (!dialogs) return;
    TConfigModel model;
    model.PieceSetFile = PieceSetFile;
    model.LightSquareFile = LightSquareFile;
    model.DarkSquareFile = DarkSquareFile;
    model.SoundFolder = game_.SoundFolder();
    model.CurrentPieceSet = FBoard->CustomPieceSet();
    model.CurrentSquareLight = FBoard->SquareLight();
    model.CurrentSquareDark = FBoard->SquareDark();
    model.BuiltInPieceSet = TChessBrd::BuiltInPieceSet();
    // The built-in squares are plain colours: their previews are swatches.
    auto swatch = [](const QColor& colour) {
        QImage image(40, 40, QImage::Format_RGB32);
        image.fill(colour);
        return image;
    };
    model.BuiltInSquareLight = swatch(FBoard->SquareColorLight());
    model.BuiltInSquareDark = swatch(FBoard->SquareColorDark());
    model.ProgramFolder = env_.ResourceFolder() + QStringLiteral("imagenes/");
    model.ApplyPieceSet = [this](const QImage& picture, const QString& file) {
        FBoard->SetCustomPieceSet(picture);
        PieceSetFile = file;
    };
    model.ApplySquareLight = [this](const QImage& picture, const QString& file) {
        FBoard->SetSquareLight(picture);
        LightSquareFile = file;
    };
    model.ApplySquareDark = [this](const QImage& picture, const QString& file) {
        FBoard->SetSquareDark(picture);
        DarkSquareFile = file;
    };
    model.ApplySoundFolder = [this](const QString& folder) { game_.SetSoundFolder(folder); };
    model.Engines = engines_;
    model.ApplyEngines = [this](const QList<TEngineConfig>& engines) { engines_ = engines; };
    // Modal, destroyed when closed, and shown over this window.
    auto* window = new TFrmConfiguracion(model, *dialogs, this);
    window->adjustSize();
    const QRect g = frameGeometry();
    window->show();
    const QSize frame = window->frameGeometry().size();
    window->move(
        OnScreen(QRect(QPoint(g.left() + (g.width() - frame.width()) / 2, g.top() + 60), frame)));
}

void TFrmPrincipal::bAyudaClick() {
    ShowMessage(TZugaretSettings::AboutText(env_.DataFolder()));
}

void TFrmPrincipal::SpeedButton1Click() {
    if (game_.GameMode() != TGameMode::Replay) return;
    program_.Model().SetCustomEngine(false);
    if (program_.Model().WhiteToMove())
        program_.Model().SetComputerPlaysWhite(true);
    else
        program_.Model().SetComputerPlaysBlack(true);
}

void TFrmPrincipal::MenuBoardPopup() {
    menuTablas->setEnabled(bTablas->isEnabled());
    menuRendir->setEnabled(bRendir->isEnabled());
    menuCrear->setEnabled(chat_ && chat_->CreateEnabled());
    menuConectar->setEnabled(chat_ && chat_->ConnectEnabled());
    menuPegarFen->setEnabled(game_.Role() != TRole::Observer &&
                             !(game_.GameMode() == TGameMode::Network && game_.GameInProgress()));
}

void TFrmPrincipal::FBoardMouseDown(Qt::MouseButton button, int x, int y) {
    if (button == Qt::RightButton) {
        MenuBoardPopup();
        MenuBoard->popup(QCursor::pos());
        return;
    }
    if (button != Qt::LeftButton) return;
    if (FBoard->NoMover() || !PointClick) return;
    bool moved = false;
    if (SelectedSquare != Square::None) {
        const Square target = FBoard->SquareAtPoint(x, y);
        if (program_.Model().IsLegalMove(SelectedSquare, target)) {
            marca->move(-100, marca->y());
            const Square from = SelectedSquare;
            SelectedSquare = Square::None;
            FBoard->SetSelectedSquare(Square::None);
            FBoard->UserMove(from, target);
            moved = true;
        }
    }
    if (!moved) {
        SelectedSquare = FBoard->SquareAtPoint(x, y);
        if (SelectedSquare != Square::None) {
            PlaceMarker();
            marca->raise();
        }
    }
    if (program_.Model().PieceColor(SelectedSquare) == -1) marca->move(-100, marca->y());
    FBoard->SetSelectedSquare(SelectedSquare);
}

void TFrmPrincipal::panelTableroResize() {
    const int side = qMin(panelTablero->width(), panelTablero->height());
    if (side - 4 != FBoard->height() && side > 4 + 8 * 8) FBoard->resize(side - 4, side - 4);
    // The board keeps itself square; centre it in its panel.
    FBoard->move(qMax(4, (panelTablero->width() - FBoard->width()) / 2), 4);
    if (SelectedSquare != Square::None && marca->x() > -100) PlaceMarker();
}

// ---------------------------------------------------------------- settings

void TFrmPrincipal::FormCreate() {
    const TZugaretSettings& s = program_.Settings();
    // The ini file is anyone's to edit: the window stays on the screen.
    const QRect screen = AvailableScreenAt(QPoint(s.Left, s.Top));
    const QRect frame = FittedToScreen(QRect(s.Left, s.Top, s.Width, s.Height), screen);
    move(frame.topLeft());
    resize(frame.size());
    FBoard->resize(qBound(0, s.BoardWidth, screen.width()),
                   qBound(0, s.BoardHeight, screen.height()));
    PieceSetFile = s.PieceSetFile;
    LightSquareFile = s.LightSquareFile;
    DarkSquareFile = s.DarkSquareFile;
    PointClick = s.PointClick;
    ShowDestinations = s.ShowDestinations;
    GameWindowVisible = s.GameWindowVisible;
    ChatHeight = s.ChatHeight;
    engines_ = s.Engines.value_or(QList<TEngineConfig>());
    MergeFoundEngines(engines_, env_.EngineSearchPaths());
    ProbeEngines();

    if (!game_.Nick().isEmpty()) {
        FormCreated();
        return;
    }
    TUiDialogs* d = Dialogs();
    if (!d) {
        Terminate();
        return;
    }
    d->AskText(TQuestion::Nick, this, "ZugaretChat", "Escriba su nombre", QString(),
               [this](std::optional<QString> nick) {
                   game_.SetNick(nick.value_or(QString()));
                   FormCreated();
               });
}

void TFrmPrincipal::FormCreated() {
    if (game_.Nick().trimmed().isEmpty()) {
        game_.SetNick(QString());
        Terminate();
        return;
    }
    // The chat greeted before the nick was known.
    program_.Chat().ShowStartTitle();
    setWindowTitle(game_.MainTitle());
    menuPointClick->setChecked(PointClick);
    bPointAndClick->setChecked(PointClick);
    menuDestinos->setChecked(ShowDestinations);
    FBoard->SetShowLegalDestinations(ShowDestinations);
    auto load = [](const QString& file, auto apply) {
        if (!file.isEmpty() && QFileInfo::exists(file)) {
            const QImage image(file);
            if (!image.isNull()) apply(image);
        }
    };
    load(PieceSetFile, [this](const QImage& im) { FBoard->SetCustomPieceSet(im); });
    load(LightSquareFile, [this](const QImage& im) { FBoard->SetSquareLight(im); });
    load(DarkSquareFile, [this](const QImage& im) { FBoard->SetSquareDark(im); });
    startupDone_ = true;
    OnStarted();
}

void TFrmPrincipal::FormClose() {
    if (closed_) return;
    closed_ = true;
    // The program writes the settings, this window's keys with them
    // (WriteSettings), once.
    program_.Quit();
}

void TFrmPrincipal::WriteSettings() {
    TZugaretSettings& s = program_.Settings();
    s.Left = x();
    s.Width = width();
    s.Top = y();
    s.Height = height();
    s.BoardHeight = FBoard->height();
    s.BoardWidth = FBoard->width();
    s.PieceSetFile = PieceSetFile;
    s.LightSquareFile = LightSquareFile;
    s.DarkSquareFile = DarkSquareFile;
    s.PointClick = PointClick;
    s.ShowDestinations = ShowDestinations;
    s.ChatHeight = chat_ ? chat_->height() : ChatHeight;
    s.GameWindowVisible = partida_ ? partida_->isVisible() : GameWindowVisible;
    s.Engines = engines_;
}

void TFrmPrincipal::ProbeEngines() {
    // An engine not asked yet tells its name and strength settings once.
    for (const TEngineConfig& engine : std::as_const(engines_)) {
        if (engine.Probed) continue;
        auto* probe = new TEngineProbe(engine, this);
        probe->OnDone = [this, probe](const TEngineConfig& probed) {
            for (TEngineConfig& e : engines_)
                if (e.Path == probed.Path && !e.Probed) e = probed;
            probe->deleteLater();
        };
        probe->OnFailed = [probe](const QString&) { probe->deleteLater(); };
        probe->Start();
    }
}

QString TFrmPrincipal::QuitQuestion() {
    return QString::fromUtf8("¿Interrumpir la partida actual y salir?");
}

void TFrmPrincipal::CloseAtOnce() {
    askBeforeClosing_ = false;
    close();
}

void TFrmPrincipal::closeEvent(QCloseEvent* event) {
    const TGameController& g = game_;
    const bool playing =
        g.GameInProgress() && g.GameMode() != TGameMode::Replay && g.Role() != TRole::Observer;
    if (askBeforeClosing_ && !closed_ && playing && Dialogs()) {
        // The window closes once the user agrees; not if that game ends first.
        event->ignore();
        if (Dialogs()->IsOpen(quitQuestion_)) return;
        quitQuestion_ =
            gameQuestions_->Ask(TQuestion::QuitDuringGame, this, QuitQuestion(), [this](bool yes) {
                if (yes) CloseAtOnce();
            });
        return;
    }
    FormClose();
    event->accept();
    OnClosed();
}

void TFrmPrincipal::ScheduleIdle() {
    if (idleScheduled_) return;
    idleScheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        idleScheduled_ = false;
        ApplicationEvents1Idle();
    });
}

void TFrmPrincipal::ApplicationEvents1Idle() {
    if (!startupDone_) return;
    // The stored place was taken before the window had its decorations:
    // once they are known, the whole frame is brought onto the screen.
    if (!framePlaced_ && isVisible() && frameGeometry() != geometry()) {
        framePlaced_ = true;
        const QPoint onScreen = OnScreen(frameGeometry());
        if (onScreen != frameGeometry().topLeft()) move(onScreen);
    }
    if (!chat_ || !chat_->Docked()) return;
    QScreen* screen = this->screen();
    TDockRequest request;
    request.Main = frameGeometry();
    request.Screen = screen ? screen->availableGeometry() : QRect();
    // A maximised or full-screen chat window is where the user wants it.
    request.ChatVisible = chat_->isVisible() && !chat_->isMaximized() && !chat_->isFullScreen();
    request.Chat = chat_->frameGeometry().size();
    request.RecordVisible = partida_ && partida_->isVisible();
    if (partida_) {
        request.Record = partida_->frameGeometry().size();
        const int decoration = partida_->frameGeometry().height() - partida_->height();
        request.RecordMinHeight = partida_->minimumSizeHint().height() + decoration;
    }
    const TDockPlacement place = PlaceDockedWindows(request);
    auto apply = [](QWidget* w, const QRect& frame) {
        const QRect now = w->frameGeometry();
        if (frame.size() != now.size())
            w->resize(w->width() + frame.width() - now.width(),
                      w->height() + frame.height() - now.height());
        if (frame.topLeft() != now.topLeft()) w->move(frame.topLeft());
    };
    if (place.Chat) apply(chat_, *place.Chat);
    if (place.Record) apply(partida_, *place.Record);
}

void TFrmPrincipal::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    ScheduleIdle();
}

void TFrmPrincipal::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    ScheduleIdle();
}

void TFrmPrincipal::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    ScheduleIdle();
}

void TFrmPrincipal::keyPressEvent(QKeyEvent* event) {
    if (partida_ && !(event->modifiers() & ~Qt::KeypadModifier) &&
        partida_->ReplayKeyPress(event->key()))
        event->accept();
    else
        QMainWindow::keyPressEvent(event);
}

bool TFrmPrincipal::eventFilter(QObject* watched, QEvent* event) {
    if (watched == panelTablero && event->type() == QEvent::Resize) {
        panelTableroResize();
    } else if (watched == panelTablero && event->type() == QEvent::MouseButtonPress &&
               static_cast<QMouseEvent*>(event)->button() == Qt::RightButton &&
               !FBoard->isEnabled()) {
        // Between games the board takes no input: its menu (FEN, export,
        // flipping) opens from here.
        FBoardMouseDown(Qt::RightButton, 0, 0);
        return true;
    } else if ((watched == chat_ || watched == partida_) &&
               (event->type() == QEvent::Resize || event->type() == QEvent::Move ||
                event->type() == QEvent::Show || event->type() == QEvent::Hide ||
                event->type() == QEvent::WindowStateChange)) {
        ScheduleIdle();
    }
    return QMainWindow::eventFilter(watched, event);
}
