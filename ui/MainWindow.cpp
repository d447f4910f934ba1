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
} // namespace

TFrmPrincipal::TFrmPrincipal(THeadlessProgram& program, QWidget* parent)
    : QMainWindow(parent), program_(program), env_(program.Env()), game_(program.Game()) {
    setObjectName("FrmPrincipal");
    central_ = new QWidget(this);
    central_->setObjectName("PanelPrincipal");
    setCentralWidget(central_);
    CreateActions();
    QLayout* tools = BuildToolBar();
    BuildStrips();
    BuildBoardPanel();
    BuildTurnPanel();
    BuildLayout(tools);
    BuildBoardMenu();
    ConnectCommands();
    resize(352, 454);
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
    if (chat_) connect(chat_, &QObject::destroyed, this, [this] { chat_ = nullptr; });
    if (partida_) connect(partida_, &QObject::destroyed, this, [this] { partida_ = nullptr; });
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
    // Cancelled, nothing is played and nothing stays picked.
    connect(chooser, &TPromotionChooser::cancelled, FBoard, [this] {
        FBoard->AnswerPromotion(0);
        ClearSelection();
    });
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
    actNuevaPartida->setEnabled(g.NewGameAllowed());
    menuTablas->setEnabled(g.DrawOfferAllowed());
    menuRendir->setEnabled(g.ResignAllowed());
    actDeshacer->setEnabled(g.TakeBackAllowed());
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
        QStringList opponents = program_.Chat().Opponents();
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

void TFrmPrincipal::bPointAndClickClick() {
    menuPointClick->trigger();
}

void TFrmPrincipal::menuPointClickClick() {
    PointClick = menuPointClick->isChecked();
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

void TFrmPrincipal::ShowChatCommands() {
    menuCrear->setEnabled(chat_ && chat_->CreateEnabled());
    menuConectar->setEnabled(chat_ && chat_->ConnectEnabled());
}

void TFrmPrincipal::MenuBoardPopup() {
    ShowChatCommands();
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
