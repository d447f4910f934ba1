// The main window's settings, start-up and shut-down, and the placing of
// itself and of the docked chat and record windows.
#include "MainWindow.h"

#include "BoardWidget.h"
#include "ChatSession.h"
#include "ChatWindow.h"
#include "GameQuestions.h"
#include "HeadlessProgram.h"
#include "ProgramEnv.h"
#include "RecordWindow.h"
#include "Settings.h"
#include "UiDialogs.h"
#include "WindowPlacement.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>

namespace {
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
} // namespace

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
