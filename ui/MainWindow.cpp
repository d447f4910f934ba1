#include "MainWindow.h"

#include "BoardWidget.h"
#include "ProgramEnv.h"
#include "ChessClock.h"
#include "ClockWidget.h"
#include "MoveMessage.h"
#include "SoundCues.h"
#include "UiDialogs.h"
#include "WindowPlacement.h"
#include "ChatWindow.h"
#include "NewGameDialog.h"
#include "RecordWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <utility>

namespace {
const QString VersionText = QString::fromLatin1(ZugaretVersion);

const QString OutdatedWarning = QString::fromUtf8(
    "¡¡ ATENCION !! \n\rEsta versión de ZugaretChat es demasiado antigua\n\r"
    "Le recomiendo que se actualize a la última versión\n\r"
    "para evitar problemas de incompatibilidad al jugar con\n\rotros jugadores.\n\r");

const QString NotAvailable = QStringLiteral("Opcion no disponible, de momento...");

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

QLabel* StripLabel(QWidget* parent, bool bold) {
    auto* l = new QLabel(parent);
    QFont f = l->font();
    f.setBold(bold);
    l->setFont(f);
    return l;
}
} // namespace

TFrmPrincipal::TFrmPrincipal(TProgramEnv& env, QWidget* parent) : QMainWindow(parent), env_(env) {
    setObjectName("FrmPrincipal");
    BuildControls();
    WireBoard();
    FormCreate();
}

TFrmPrincipal::~TFrmPrincipal() {
    // Everything that calls into this window goes while the window is still
    // whole. First the board's and the clocks' events: parking the engine
    // below waits for it while handling events, and a move handed over
    // meanwhile must reach no handler of a window that is going away.
    FBoard->OnLegalMove = nullptr;
    FBoard->OnCapture = nullptr;
    FBoard->OnPromotion = nullptr;
    FBoard->OnCastle = nullptr;
    FBoard->OnCheck = nullptr;
    FBoard->OnMate = nullptr;
    FBoard->OnStaleMate = nullptr;
    FBoard->OnNoMatingMaterial = nullptr;
    FBoard->OnThreefoldPosition = nullptr;
    FBoard->OnDraw = nullptr;
    FBoard->OnMouseDown = nullptr;
    FClockW->OnTimeout = nullptr;
    FClockB->OnTimeout = nullptr;
    FBoard->SetComputerPlaysWhite(false);
    FBoard->SetComputerPlaysBlack(false);
    FBoard->StopThinking();
    // Then the windows that use this one (the new-game dialog, the chat and
    // record windows): destroyed here they still find it whole, instead of
    // being freed with the child widgets after its members are gone.
    if (conexion_) delete conexion_.data();
    for (QWidget* w : {static_cast<QWidget*>(chat_), static_cast<QWidget*>(partida_)})
        if (w) w->removeEventFilter(this);
    delete std::exchange(chat_, nullptr);
    delete std::exchange(partida_, nullptr);
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
    bPointAndClick = ToolButton(central_, "P&&C", "Activar/Desactivar el Poin&Click");
    bPointAndClick->setCheckable(true);
    bAplazar = ToolButton(central_, QString(QChar(0x2016)), "Aplazar partida");
    bReanudar =
        ToolButton(central_, QString(QChar(0x21BB)), "Reanudar partida aplazada o interrumpida");
    bConfiguracion = ToolButton(central_, QString(QChar(0x2699)),
                                QString::fromUtf8("Ocultar/Mostrar ventana de Configuración"));
    bAyuda = ToolButton(central_, "?", "Acerca de Zugaret CHAT!");
    SpeedButton1 = ToolButton(central_, QString::fromUtf8(":-Þ"), "");
    SpeedButton1->setVisible(false);
    bTablas->setEnabled(false);
    bRendir->setEnabled(false);
    QFont big = bTablas->font();
    big.setPointSize(big.pointSize() + 3);
    for (auto* b : {bTablas, bRendir, bInvertir, bAplazar, bReanudar, bConfiguracion})
        b->setFont(big);
    // Never narrower than its caption: the window stops shrinking first.
    for (QToolButton* b : central_->findChildren<QToolButton*>())
        b->setMinimumSize(b->sizeHint().expandedTo(QSize(30, 28)));

    auto* tools = new QHBoxLayout;
    tools->setSpacing(3);
    tools->addWidget(bNuevaPartida);
    tools->addWidget(bTablas);
    tools->addWidget(bRendir);
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

    auto makeStrip = [this](QLabel*& nick, QLabel*& elo, TRelojChess*& clock, TClockWidget*& face,
                            const QString& name) {
        auto* strip = new QWidget(central_);
        strip->setObjectName(name);
        strip->setFixedHeight(30);
        nick = StripLabel(strip, true);
        elo = StripLabel(strip, false);
        elo->setMinimumWidth(60);
        clock = new TRelojChess(this);
        clock->SetMinutos(1);
        clock->SetAlert(6);
        face = new TClockWidget(strip);
        face->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        QFont f("Arial");
        f.setBold(true);
        f.setPointSize(14);
        face->setFont(f);
        face->SetFontColor(QColor(0, 0, 128));
        face->setMinimumWidth(96);
        face->setContentsMargins(6, 0, 6, 0);
        face->SetClock(clock);
        auto* row = new QHBoxLayout(strip);
        row->setContentsMargins(4, 1, 0, 1);
        row->setSpacing(8);
        row->addWidget(nick, 1);
        row->addWidget(elo);
        row->addWidget(face);
        return strip;
    };
    PanelPiezasBlancas = makeStrip(FNickLabelB, FEloLabelB, FClockB, FClockFaceB, "PanelPiezasBlancas");
    PanelPiezasNegras = makeStrip(FNickLabelW, FEloLabelW, FClockW, FClockFaceW, "PanelPiezasNegras");

    panelTablero = new QWidget(central_);
    panelTablero->setObjectName("panelTablero");
    panelTablero->installEventFilter(this);
    FBoard = new TChessBrd(panelTablero);
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
    // The engine's strength: five plies, with the quiescence search after them.
    FBoard->SetSearchDepth(EngineSearchDepth);
    // The board never gets below squares of MinSquareSize pixels: the layout
    // keeps the window at least that large, tool bar included.
    const int minBoard = 8 * MinSquareSize + 2 * FBoard->SizeOfBorder();
    panelTablero->setMinimumSize(minBoard + 4, minBoard + 4);
    marca = new TMarca(panelTablero);
    marca->move(-100, 0);
    marca->resize(38, 38);

    FPanelTurno = new QLabel(central_);
    FPanelTurno->setObjectName("FPanelTurno");
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
    menuPointClick = MenuBoard->addAction("Point and Click");
    menuPointClick->setCheckable(true);
    MenuBoard->addSeparator();
    menuTablas = MenuBoard->addAction("Ofrecer tablas");
    menuRendir = MenuBoard->addAction("Abandonar");
    MenuBoard->addSeparator();
    menuCrear = MenuBoard->addAction("Crear partida");
    menuConectar = MenuBoard->addAction("Conectar");

    connect(bNuevaPartida, &QToolButton::clicked, this, [this] { bNuevaPartidaClick(); });
    connect(bTablas, &QToolButton::clicked, this, [this] { bTablasClick(); });
    connect(menuTablas, &QAction::triggered, this, [this] { bTablasClick(); });
    connect(bRendir, &QToolButton::clicked, this, [this] { bRendirClick(); });
    connect(menuRendir, &QAction::triggered, this, [this] { bRendirClick(); });
    connect(bInvertir, &QToolButton::clicked, this, [this] { bInvertirClick(); });
    connect(menuInvertir, &QAction::triggered, this, [this] { bInvertirClick(); });
    connect(bPointAndClick, &QToolButton::clicked, this, [this] { bPointAndClickClick(); });
    connect(menuPointClick, &QAction::triggered, this, [this] { menuPointClickClick(); });
    connect(bAplazar, &QToolButton::clicked, this, [this] { bAplazarClick(); });
    connect(bReanudar, &QToolButton::clicked, this, [this] { bAplazarClick(); });
    connect(menuCrear, &QAction::triggered, this, [this] {
        if (chat_) chat_->bCrearClick();
    });
    connect(menuConectar, &QAction::triggered, this, [this] {
        if (chat_) chat_->bConectarClick();
    });
    connect(bConfiguracion, &QToolButton::clicked, this, [this] { bConfiguracionClick(); });
    connect(bAyuda, &QToolButton::clicked, this, [this] { bAyudaClick(); });
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
    FClockW->OnTimeout = [this](TRelojChess*) { FClockWTimeout(); };
    FClockB->OnTimeout = [this](TRelojChess*) { FClockBTimeout(); };
    resize(352, 454);
}

void TFrmPrincipal::WireBoard() {
    FBoard->OnLegalMove = [this](TChessBrd*, Square o, Square n) { FBoardLegalMove(o, n); };
    FBoard->OnCapture = [this](TChessBrd*, Square o, Square n, char c) { FBoardCapture(o, n, c); };
    FBoard->OnPromotion = [this](TChessBrd*, Square o, Square n, char& p) {
        FBoardPromotion(o, n, p);
    };
    FBoard->OnCastle = [this](TChessBrd*, Square, Square) { FBoardCastle(); };
    FBoard->OnCheck = [this](TChessBrd*, Square o, Square n) { FBoardCheck(o, n); };
    FBoard->OnMate = [this](TChessBrd*, Square, Square) { FBoardMate(); };
    FBoard->OnStaleMate = [this](TChessBrd*, Square, Square) { FBoardStaleMate(); };
    FBoard->OnNoMatingMaterial = [this](TChessBrd*) { FBoardNoMatingMaterial(); };
    FBoard->OnThreefoldPosition = [this](TChessBrd*) { FBoardThreefoldPosition(); };
    FBoard->OnDraw = [this](TChessBrd*) { FBoardDraw(); };
    FBoard->OnMouseDown = [this](TChessBrd*, Qt::MouseButton b, Qt::KeyboardModifiers, int x,
                                 int y) { FBoardMouseDown(b, x, y); };
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

QString TFrmPrincipal::MainTitle() const {
    return TZugaretSettings::MainTitle(Nick, Elo);
}

QString TFrmPrincipal::PanelText() const {
    return FPanelTurno->text();
}

void TFrmPrincipal::MeteRuido(const QString& name) {
    env_.PlayCue(SoundFolder, name);
}

void TFrmPrincipal::SetLocalMayMove(bool allowed) {
    FBoard->SetNoMover(!allowed);
}

void TFrmPrincipal::SetClockTime(TRelojChess& clock, int minutes, int seconds) {
    clock.SetTime(minutes, seconds);
}

void TFrmPrincipal::SetTurnPanel(int turn) {
    // The panel's own sheet sets its colours (and its palette with them).
    if (turn == 1) {
        FPanelTurno->setText("Juegan Blancas");
        FPanelTurno->setStyleSheet("QLabel { background: #ffffff; color: #000000; }");
    } else {
        FPanelTurno->setText("Juegan Negras");
        FPanelTurno->setStyleSheet("QLabel { background: #000000; color: #ffffff; }");
    }
}

void TFrmPrincipal::ShowPlayers() {
    FEloLabelW->setText(QString::number(WhitePlayer.Elo));
    FNickLabelW->setText(WhitePlayer.Nick);
    FEloLabelB->setText(QString::number(BlackPlayer.Elo));
    FNickLabelB->setText(BlackPlayer.Nick);
}

void TFrmPrincipal::UpdateTitleFromCaption() {
    if (partida_) setWindowTitle(partida_->windowTitle());
}

// ---------------------------------------------------------------- games

void TFrmPrincipal::StartGame() {
    if (VersionState == 2) {
        MeteRuido("entrar");
        ShowMessage(OutdatedWarning);
    }
    // The engine of the game shown so far is switched off before anything of
    // the new game is set: parking it handles events, and a move it had
    // already handed over is played there, on the old game, with its own
    // effects on the turn and the clocks, which the steps below then set
    // afresh.
    FBoard->SetComputerPlaysWhite(false);
    FBoard->SetComputerPlaysBlack(false);
    bNuevaPartida->setEnabled(false);
    ClearSelection();
    if (partida_ && partida_->Timer1->isActive()) partida_->Timer1->stop();
    MeteRuido("nueva");
    if (partida_) {
        const bool replay = GameMode == TGameMode::Replay;
        partida_->bAtras->setEnabled(replay);
        partida_->bAdelante->setEnabled(replay);
        partida_->bAnimar->setEnabled(replay);
        for (QLabel* img : partida_->CapturedImages())
            img->setVisible(false);
    }
    // The callers set the clocks with SetClockTime, which clears the hours
    // before the minutes; clearing them again here would cut a game of 60
    // minutes or more down to its minutes past the hour.
    FBoard->setEnabled(false);
    FBoard->setEnabled(true);
    TurnState = 1;
    ++gameEpoch_;
    if ((MyColour == Black && !FBoard->WhiteOnTop()) || (MyColour == White && FBoard->WhiteOnTop()))
        bInvertirClick();
    bTablas->setEnabled(MyColour == White);
    bRendir->setEnabled(true);
    if (Role == TRole::Server || Role == TRole::Client) {
        if (MyColour == White) {
            MoveSerial = 1;
            WhitePlayer.Nick = Nick;
            WhitePlayer.Elo = Elo;
        } else if (MyColour == Black) {
            MoveSerial = 1;
            BlackPlayer.Nick = Nick;
            BlackPlayer.Elo = Elo;
        }
    } else if (Role == TRole::Observer) {
        bRendir->setEnabled(false);
        bTablas->setEnabled(false);
    }
    FClockB->Stop();
    FClockW->Start();
    if (GameMode != TGameMode::Replay && partida_) partida_->ClearRecord();
    ShowPlayers();
    // The new position comes before the engine is given a side: an engine
    // released on the old position would have its move played there while
    // NewGame parks it, and that move would land in the new record.
    FBoard->NewGame();
    SetTurnPanel(1);
    switch (GameMode) {
    case TGameMode::Network:
        SetLocalMayMove(MyColour == White);
        break;
    case TGameMode::VsComputer:
        MoveSerial = 1;
        SetLocalMayMove(MyColour == White);
        FBoard->SetCustomEngine(false);
        if (MyColour == White)
            FBoard->SetComputerPlaysBlack(true);
        else
            FBoard->SetComputerPlaysWhite(true);
        break;
    case TGameMode::LocalTwoPlayers:
        MoveSerial = 1;
        SetLocalMayMove(true);
        break;
    case TGameMode::Replay:
        FBoard->SetComputerPlaysWhite(false);
        FBoard->SetComputerPlaysBlack(false);
        MoveSerial = 1;
        break;
    }
    if (FBoard->ComputerPlaysWhite()) FBoard->RequestComputerMove();
}

QString TFrmPrincipal::MoveMessage(const QString& word, Square oldSq, Square newSq) const {
    TMovimiento m;
    m.MoveNumber = MoveSerial;
    m.WhiteMoved = !FBoard->WhiteToMove();
    m.Move = SquareToText(oldSq) + SquareToText(newSq);
    m.Promotion = PromotionPiece;
    const TRelojChess& mover = FBoard->WhiteToMove() ? *FClockB : *FClockW;
    m.Seconds = mover.Minutos() * 60 + mover.Segundos();
    return word + QChar(TMovimiento::Separator) + m.ToText() + QChar(0xFF);
}

void TFrmPrincipal::FBoardLegalMove(Square oldSq, Square newSq) {
    // Whatever made the move (a drop, a click, the engine, the network), the
    // square picked for point-and-click is no longer to be moved from.
    ClearSelection();
    MeteRuido("mover");
    const bool whiteToMove = FBoard->WhiteToMove();
    bool localToMove = false;
    if (!((Role == TRole::Observer || Role == TRole::Offline) && GameMode != TGameMode::VsComputer))
        localToMove = (whiteToMove ? WhitePlayer.Nick : BlackPlayer.Nick) == Nick;
    bTablas->setEnabled(localToMove);

    const QChar piece = FBoard->Position().at(Ord(newSq) - 1).toUpper();
    if (piece == 'R' && CheckPending) {
        MeteRuido(newSq == CheckSquare ? "nojaque" : "cobarde");
        CheckPending = false;
    }
    QString moveText =
        QString(piece) + SquareToText(oldSq).toLower() + SquareToText(newSq).toLower();
    if (moveText == "Ke1g1" || moveText == "Ke8g8")
        moveText = "O-O";
    else if (moveText == "Ke1c1" || moveText == "Ke8c8")
        moveText = "O-O-O";
    if (GameMode == TGameMode::Network && piece == 'P')
        PendingPromotion = RankOf(newSq) == 8 || RankOf(newSq) == 1;

    if (whiteToMove) {
        if (GameMode != TGameMode::Replay) partida_->AppendToLastLine(" " + moveText);
        partida_->setWindowTitle(partida_->windowTitle() + " " + moveText);
        UpdateTitleFromCaption();
        FClockW->Start();
        FClockB->Stop();
        SetTurnPanel(1);
        TurnState = 1;
    } else {
        const QString line = QString::number(FBoard->CurrentMove()) + "." + moveText;
        if (GameMode != TGameMode::Replay) partida_->AddLine(line);
        partida_->setWindowTitle(line);
        UpdateTitleFromCaption();
        FClockB->Start();
        FClockW->Stop();
        SetTurnPanel(2);
        TurnState = 2;
    }
    if (GameMode == TGameMode::VsComputer) SetLocalMayMove(localToMove);
    if (GameMode == TGameMode::Network && !PendingPromotion) {
        SetLocalMayMove(localToMove);
        if (!localToMove) chat_->SendToOpponent(MoveMessage("/MOV", oldSq, newSq));
        chat_->SendToObservers(MoveMessage("/MOB", oldSq, newSq));
        ++MoveSerial;
    }
}

void TFrmPrincipal::ApplyRemoteMove(const QString& text) {
    // Received moves belong to a network game in progress. One that crossed
    // the end of the game on its way (the opponent moved while this side
    // resigned, agreed a draw or ran out of time) would start the clocks of
    // the finished game again and end it a second time; one of the last
    // opponent, or of the host's game to a former observer, arriving during
    // a game at this board would be played in it. A replay steps through its
    // moves whether or not its end has been shown.
    if (GameMode != TGameMode::Replay && (GameMode != TGameMode::Network || TurnState == 0)) return;
    QString move = text;
    if (move.size() == 5) {
        PromotionPiece = move.at(4).toUpper();
        move.truncate(4);
    }
    if (move.size() != 4) return;
    const QString from = move.left(2).toUpper();
    const QString to = move.mid(2, 2).toUpper();
    const Square fromSq = TextToSquare(from);
    const Square toSq = TextToSquare(to);
    if (fromSq != Square::None && toSq != Square::None) {
        // A refused move leaves the local user's permission as it was: it is
        // still the sender's turn, and the user must not move its pieces.
        if (FBoard->Move(fromSq, toSq)) SetLocalMayMove(Role != TRole::Observer);
    } else if (chat_) {
        // Straight into the log, in plain black, without AddChatLine's
        // colouring; but like every line of the log it is one line, and the
        // log keeps its 101 lines at most (a peer sending malformed moves
        // would otherwise grow it without end).
        QString squares = from + to;
        for (QChar& ch : squares)
            if (ch.category() == QChar::Other_Control || ch == QChar::LineSeparator ||
                ch == QChar::ParagraphSeparator)
                ch = ' ';
        QTextDocument* doc = chat_->FMemoChat->document();
        if (!doc->isEmpty() && doc->blockCount() > 100) {
            QTextCursor first(doc->firstBlock());
            first.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
            first.removeSelectedText();
        }
        QTextCursor c(doc);
        c.movePosition(QTextCursor::End);
        if (!doc->isEmpty()) c.insertBlock(QTextBlockFormat(), QTextCharFormat());
        QTextCharFormat plain;
        plain.setForeground(QColor(0, 0, 0));
        c.insertText("*Error 53: " + squares + "*", plain);
    }
}

void TFrmPrincipal::FBoardPromotion(Square oldSq, Square newSq, char& newPiece) {
    bool localPromoter;
    if (GameMode == TGameMode::LocalTwoPlayers)
        localPromoter = true;
    else if ((Role == TRole::Observer || Role == TRole::Offline) &&
             GameMode != TGameMode::VsComputer)
        localPromoter = false;
    else
        localPromoter = (FBoard->WhiteToMove() ? BlackPlayer.Nick : WhitePlayer.Nick) == Nick;

    auto pieceOf = [](QChar promotion) {
        const QChar letter = promotion.toUpper();
        return QString("QRNB").contains(letter) ? letter.toLatin1() : 'Q';
    };
    if (localPromoter) {
        const int epoch = gameEpoch_;
        QString answer = "D";
        if (TUiDialogs* d = Dialogs())
            answer = d->InputBox(QString::fromUtf8("Promoción peón"),
                                 "Elije una pieza D-Dama T-Torre A-Alfil C-Caballo", "D");
        const int pos = QString("DTAC").indexOf(answer.toUpper());
        PromotionPiece = pos < 0 ? QChar('Q') : QString("QRBN").at(pos);
        if (epoch != gameEpoch_) {
            // The game ended (or another began) while the question was open:
            // the opponent resigned, a clock ran out. The pawn still becomes
            // the chosen piece, but the finished record gets nothing after
            // its result, and no move message follows the end of the game.
            newPiece = pieceOf(PromotionPiece);
            PendingPromotion = false;
            if (GameMode == TGameMode::Network) PromotionPiece = '*';
            return;
        }
        SetLocalMayMove(GameMode == TGameMode::LocalTwoPlayers);
    }
    newPiece = pieceOf(PromotionPiece);

    // The record names the piece the pawn became ("=Q" when no letter was chosen).
    const QString mark = "=" + QString(QChar(newPiece));
    if (GameMode != TGameMode::Replay) partida_->AppendToLastLine(mark);
    partida_->setWindowTitle(partida_->windowTitle() + mark);
    UpdateTitleFromCaption();
    PendingPromotion = false;
    if (GameMode == TGameMode::Network) {
        const QString mov = MoveMessage("/MOV", oldSq, newSq);
        const QString mob = MoveMessage("/MOB", oldSq, newSq);
        PromotionPiece = '*';
        if (localPromoter) chat_->SendToOpponent(mov);
        chat_->SendToObservers(mob);
        ++MoveSerial;
    }
}

void TFrmPrincipal::FBoardCapture(Square, Square, char captured) {
    if (!partida_) return;
    auto showPair = [](QLabel* first, QLabel* second) {
        if (first->isHidden())
            first->setVisible(true);
        else if (second)
            second->setVisible(true);
    };
    TFrmPartida& p = *partida_;
    switch (captured) {
    case 'Q':
        showPair(p.B_D, nullptr);
        break;
    case 'R':
        showPair(p.B_T_1, p.B_T_2);
        break;
    case 'N':
        showPair(p.B_C_1, p.B_C_2);
        break;
    case 'B':
        showPair(p.B_A_1, p.B_A_2);
        break;
    case 'q':
        showPair(p.N_D, nullptr);
        break;
    case 'r':
        showPair(p.N_T_1, p.N_T_2);
        break;
    case 'n':
        showPair(p.N_C_1, p.N_C_2);
        break;
    case 'b':
        showPair(p.N_A_1, p.N_A_2);
        break;
    default:
        break;
    }
}

void TFrmPrincipal::FBoardCastle() {
    MeteRuido("enroque");
}

void TFrmPrincipal::FBoardCheck(Square, Square newSq) {
    CheckSquare = newSq;
    CheckPending = true;
    if (GameMode != TGameMode::Replay) partida_->AppendToLastLine("+");
    MeteRuido("jaque");
}

void TFrmPrincipal::FBoardMate() {
    if (GameMode != TGameMode::Replay) partida_->AppendToLastLine("+");
    EndGame(7);
    MeteRuido("mate");
}

void TFrmPrincipal::FBoardStaleMate() {
    EndGame(4);
    MeteRuido("ahogado");
}

void TFrmPrincipal::FBoardNoMatingMaterial() {
    EndGame(3);
    MeteRuido("ilegal");
}

void TFrmPrincipal::FBoardThreefoldPosition() {
    EndGame(2);
    MeteRuido("repeticion");
}

void TFrmPrincipal::FBoardDraw() {
    EndGame(0);
    MeteRuido("tablas");
}

void TFrmPrincipal::TakeBackOneMove() {
    FBoard->TakeBack();
}

// ---------------------------------------------------------------- game end

void TFrmPrincipal::EndGame(int reason) {
    // The side to move when the game ended: the loser of a mate or a time-out.
    const bool whiteToMove = FBoard->WhiteToMove();
    bNuevaPartida->setEnabled(true);
    FBoard->setEnabled(false);
    FBoard->SetCustomEngine(false);
    // The engine has no game to play any more: a move it would still make
    // after a resignation or a time-out would change the finished record.
    // Parking it handles events, and a move it had already handed over is
    // played now, as the game's last move, before anything of the end is
    // decided; were the game marked over first, that move would start a
    // clock and turn the finished game back into a running one. (A move
    // that ends the game by itself leaves this EndGame nothing to do.)
    if (FBoard->ComputerPlaysWhite()) FBoard->SetComputerPlaysWhite(false);
    if (FBoard->ComputerPlaysBlack()) FBoard->SetComputerPlaysBlack(false);
    FClockW->Stop();
    FClockB->Stop();
    ClearSelection();
    if (TurnState == 0) return;
    TurnState = 0;
    ++gameEpoch_;
    bTablas->setEnabled(false);
    bRendir->setEnabled(false);
    SetLocalMayMove(false);

    const int w = WhitePlayer.Elo;
    const int b = BlackPlayer.Elo;
    FEloLabelW->setToolTip("Elo anterior " + QString::number(w));
    FEloLabelB->setToolTip("Elo anterior " + QString::number(b));
    FPanelTurno->setStyleSheet("QLabel { background: #c0c0c0; color: black; }");

    QString panel = FPanelTurno->text();
    int whiteScore = -1; // -1: the ratings stay
    switch (reason) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 4:
        ResultText = "1/2-1/2";
        whiteScore = 50;
        panel = "Tablas por ";
        break;
    case 5:
    case 6: {
        // The user (5) or the opponent (6) resigned. At one board both sides
        // are the user's: the side to move resigns.
        const bool atOneBoard = GameMode == TGameMode::LocalTwoPlayers && reason == 5;
        const bool whiteResigned =
            atOneBoard ? whiteToMove : (reason == 5) == (MyColour == White);
        if (atOneBoard || MyColour == White || MyColour == Black) {
            ResultText = whiteResigned ? "0-1" : "1-0";
            whiteScore = whiteResigned ? 0 : 100;
            panel = whiteResigned ? WhitePlayer.Nick : BlackPlayer.Nick;
        }
        break;
    }
    case 7:
    case 8:
        if (whiteToMove) {
            ResultText = "0-1";
            whiteScore = 0;
            panel = "Ganan Negras por ";
        } else {
            ResultText = "1-0";
            whiteScore = 100;
            panel = "Ganan Blancas por ";
        }
        break;
    case 9:
        break;
    default: // 10: abandoned, no result
        return;
    }
    if (whiteScore >= 0) {
        WhitePlayer.Elo = NewElo(w, b, whiteScore);
        BlackPlayer.Elo = NewElo(b, w, 100 - whiteScore);
    }
    if (reason == 5 || reason == 6) MeteRuido("cobarde2");
    if (GameMode != TGameMode::Replay) {
        if (FBoard->WhiteToMove())
            partida_->AddLine(ResultText);
        else
            partida_->AppendToLastLine(" " + ResultText);
    }
    static const char* const endings[] = {"",
                                          " acuerdo",
                                          " repetición de jugada",
                                          " material insuficiente para dar mate",
                                          " rey ahogado",
                                          " abandona",
                                          " abandona",
                                          " Jaque Mate",
                                          " tiempo",
                                          ""};
    panel += QString::fromUtf8(endings[reason]);
    FPanelTurno->setText(panel);
    if ((reason == 1 || reason == 5 || reason == 6 || reason == 8 || reason == 9) &&
        GameMode != TGameMode::Replay)
        partida_->AppendToLastLine(" {" + panel + "}");
    if (Role != TRole::Observer) {
        if (GameMode == TGameMode::Network) {
            if (MyColour == White)
                Elo = WhitePlayer.Elo;
            else if (MyColour == Black)
                Elo = BlackPlayer.Elo;
        } else if (GameMode == TGameMode::VsComputer) {
            if (MyColour == White)
                ComputerElo = BlackPlayer.Elo;
            else if (MyColour == Black)
                ComputerElo = WhitePlayer.Elo;
        }
    }
    setWindowTitle(MainTitle());
    if (GameMode == TGameMode::Network && Role == TRole::Server && chat_) {
        const QChar sep(0xFE);
        chat_->SendToObservers("/END_GAME" + QString(sep) + panel + sep + ResultText + QChar(0xFF));
    }
    FEloLabelW->setText(QString::number(WhitePlayer.Elo));
    FEloLabelB->setText(QString::number(BlackPlayer.Elo));
    if (reason == 7) ShowMessage(panel);
    if (AutoSavePgn && GameMode != TGameMode::Replay) SavePgnDatabase();
}

void TFrmPrincipal::SavePgnDatabase() {
    // The PGN database writer of the record window takes this place.
}

void TFrmPrincipal::bRendirClick() {
    if (TurnState == 0) return;
    if (GameMode == TGameMode::Network)
        chat_->SendResign("No puedorrr");
    else
        EndGame(5);
}

void TFrmPrincipal::bTablasClick() {
    if (chat_) chat_->SendDrawOffer(QString::fromUtf8("¿Tablas?"));
}

void TFrmPrincipal::FClockWTimeout() {
    if (GameMode == TGameMode::Network) {
        if (MyColour != White) return;
        chat_->SendTimeout("Sacabo er tiempo");
    }
    EndGame(8);
}

void TFrmPrincipal::FClockBTimeout() {
    if (GameMode == TGameMode::Network) {
        if (MyColour != Black) return;
        chat_->SendTimeout("Sacabo er tiempo");
    }
    EndGame(8);
}

// ---------------------------------------------------------------- commands

void TFrmPrincipal::bNuevaPartidaClick() {
    if (partida_ && partida_->Timer1->isActive()) partida_->Timer1->stop();
    if (TurnState != 0) {
        TUiDialogs* d = Dialogs();
        if (!d || !d->AskOkCancel(QString::fromUtf8("¿Interrumpir la partida actual?"))) return;
    }
    EndGame(10);
    if (conexion_) conexion_->close();
    auto* dlg = new TFrmConexion(*this, this);
    conexion_ = dlg;
    if (chat_ && chat_->isVisible()) {
        dlg->cb1->clear();
        if (Role == TRole::Server) {
            for (int i = 0; i < chat_->FListaNick->count(); ++i) {
                const QString n = chat_->FListaNick->item(i)->text();
                if (n != Nick) dlg->cb1->addItem(n);
            }
        } else if (Role == TRole::Client || Role == TRole::Observer) {
            dlg->cb1->addItem(HostNick);
        }
        dlg->cb1->addItem(ComputerName);
        dlg->cb1->addItem(Nick);
        dlg->cb1->setCurrentIndex(0);
        dlg->cb1->setEnabled(dlg->cb1->count() > 0);
    }
    if (MyColour == White) dlg->rbNegras->setChecked(true);
    dlg->rbNegras->setChecked(!dlg->rbBlancas->isChecked());
    SetMainEnabled(false);
    dlg->show();
    const QRect g = frameGeometry();
    dlg->move(g.left() + (g.width() - dlg->width()) / 2, g.top() + 80);
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

void TFrmPrincipal::bAplazarClick() {
    ShowMessage(NotAvailable);
}

void TFrmPrincipal::bConfiguracionClick() {
    // The configuration window opens here once it exists.
}

void TFrmPrincipal::bAyudaClick() {
    ShowMessage(TZugaretSettings::AboutText(env_.DataFolder()));
}

void TFrmPrincipal::SpeedButton1Click() {
    if (GameMode != TGameMode::Replay) return;
    FBoard->SetCustomEngine(false);
    if (FBoard->WhiteToMove())
        FBoard->SetComputerPlaysWhite(true);
    else
        FBoard->SetComputerPlaysBlack(true);
}

void TFrmPrincipal::MenuBoardPopup() {
    menuTablas->setEnabled(bTablas->isEnabled());
    menuRendir->setEnabled(bRendir->isEnabled());
    menuCrear->setEnabled(chat_ && chat_->bCrear->isEnabled());
    menuConectar->setEnabled(chat_ && chat_->bConectar->isEnabled());
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
        if (FBoard->IsLegalMove(SelectedSquare, target)) {
            marca->move(-100, marca->y());
            const Square from = SelectedSquare;
            SelectedSquare = Square::None;
            FBoard->Move(from, target);
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
    if (FBoard->PieceColor(SelectedSquare) == -1) marca->move(-100, marca->y());
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
    PgnFolder = env_.PgnFolder();

    TZugaretSettings s;
    s.Load(env_.IniFileToRead());
    Nick = s.Nick;
    ComputerElo = s.ComputerElo;
    move(s.Left, s.Top);
    resize(s.Width, s.Height);
    FBoard->resize(s.BoardWidth, s.BoardHeight);
    PieceSetFile = s.PieceSetFile;
    LightSquareFile = s.LightSquareFile;
    DarkSquareFile = s.DarkSquareFile;
    PointClick = s.PointClick;
    GameWindowVisible = s.GameWindowVisible;
    ChatHeight = s.ChatHeight;
    WebUrl = s.WebUrl;
    SoundFolder = s.SoundFolder;
    VersionState = s.VersionState;
    Elo = s.Elo;

    if (Nick.isEmpty()) {
        if (TUiDialogs* d = Dialogs())
            Nick = d->InputBox("ZugaretChat", "Escriba su nombre", QString());
    }
    if (Nick.trimmed().isEmpty()) {
        Nick.clear();
        Terminate();
        return;
    }
    setWindowTitle(MainTitle());
    WebUrl = TZugaretSettings::CheckedWebUrl(WebUrl);
    menuPointClick->setChecked(PointClick);
    bPointAndClick->setChecked(PointClick);
    Version = VersionText;
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
}

void TFrmPrincipal::FormClose() {
    if (closed_) return;
    closed_ = true;
    // Every key Save writes is set here; Save keeps the file's other lines.
    TZugaretSettings s;
    s.Nick = Nick;
    s.Elo = Elo;
    s.ComputerElo = ComputerElo;
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
    s.WebUrl = WebUrl;
    s.SoundFolder = SoundFolder;
    s.ChatHeight = chat_ ? chat_->height() : ChatHeight;
    s.GameWindowVisible = partida_ ? partida_->isVisible() : GameWindowVisible;
    QString error;
    if (!s.Save(env_.IniFile(), &error))
        ShowMessage(error.isEmpty() ? QStringLiteral("Error al guardar el ELO")
                                    : QStringLiteral("Error al guardar el ELO") + "\n\r" + error);
}

void TFrmPrincipal::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
    if (OnClosed) OnClosed();
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
    if (!startupDone_ || !chat_ || !chat_->bFijo->isChecked()) return;
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

bool TFrmPrincipal::eventFilter(QObject* watched, QEvent* event) {
    if (watched == panelTablero && event->type() == QEvent::Resize)
        panelTableroResize();
    else if ((watched == chat_ || watched == partida_) &&
             (event->type() == QEvent::Resize || event->type() == QEvent::Move ||
              event->type() == QEvent::Show || event->type() == QEvent::Hide ||
              event->type() == QEvent::WindowStateChange))
        ScheduleIdle();
    return QMainWindow::eventFilter(watched, event);
}
