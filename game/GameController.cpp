#include "GameController.h"

#include "BuiltInOpponent.h"
#include "ChessModel.h"
#include "GameFileIO.h"
#include "GameResult.h"
#include "PositionCheck.h"
#include "ProgramEnv.h"
#include "RecordText.h"
#include "Settings.h"
#include "TextUtils.h"
#include "UiDialogs.h"

#include <QDate>
#include <QMetaObject>

#include <algorithm>

#include <utility>

namespace {
const QString OutdatedWarning = QString::fromUtf8(
    "¡¡ ATENCION !! \n\rEsta versión de ZugaretChat es demasiado antigua\n\r"
    "Le recomiendo que se actualize a la última versión\n\r"
    "para evitar problemas de incompatibilidad al jugar con\n\rotros jugadores.\n\r");

// Index of a captured piece's letter in TCapturedPieces (-1: not shown).
int CapturedIndex(char letter) {
    switch (letter) {
    case 'Q':
    case 'q':
        return 0;
    case 'R':
    case 'r':
        return 1;
    case 'N':
    case 'n':
        return 2;
    case 'B':
    case 'b':
        return 3;
    default:
        return -1;
    }
}

// One line of the chat log: breaks and other control characters a peer's
// text may carry become blanks.
QString OneLine(QString text) {
    for (QChar& ch : text)
        if (ch.category() == QChar::Other_Control || ch == QChar::LineSeparator ||
            ch == QChar::ParagraphSeparator)
            ch = u' ';
    return text;
}
} // namespace

QString TObservedGame::Fen() const {
    if (Position.size() != 64) return QString();
    static const QString initial = QString::fromLatin1(TChessModel::InitialPosition);
    if (!BlackToMove && Position == initial) return QString();
    QString fen;
    for (int rank = 0; rank < 8; ++rank) {
        int empty = 0;
        for (const QChar c : Position.mid(rank * 8, 8)) {
            if (c == u' ') {
                ++empty;
                continue;
            }
            if (empty) fen += QString::number(empty);
            empty = 0;
            fen += c;
        }
        if (empty) fen += QString::number(empty);
        if (rank < 7) fen += u'/';
    }
    auto at = [this](int index, char piece) { return Position.at(index) == QLatin1Char(piece); };
    QString castling;
    if (at(60, 'K') && at(63, 'R')) castling += u'K';
    if (at(60, 'K') && at(56, 'R')) castling += u'Q';
    if (at(4, 'k') && at(7, 'r')) castling += u'k';
    if (at(4, 'k') && at(0, 'r')) castling += u'q';
    const int halfMovesPlayed = qMax(0, MoveSerial - 1);
    return fen + (BlackToMove ? QStringLiteral(" b ") : QStringLiteral(" w ")) +
           (castling.isEmpty() ? QStringLiteral("-") : castling) + QStringLiteral(" - 0 ") +
           QString::number(halfMovesPlayed / 2 + 1);
}

TGameController::TGameController(TChessModel& model, TProgramEnv& env, QObject* parent)
    : QObject(parent), model_(model), env_(env) {
    pgnFolder_ = env_.PgnFolder();
    soundFolder_ = TZugaretSettings().SoundFolder;
    webUrl_ = TZugaretSettings().WebUrl;
    clockW_.SetMinutos(1);
    clockW_.SetAlert(6);
    clockB_.SetMinutos(1);
    clockB_.SetAlert(6);
    clockW_.OnTimeout = [this](TRelojChess*) { FClockWTimeout(); };
    clockB_.OnTimeout = [this](TRelojChess*) { FClockBTimeout(); };
    // The engine's strength: five plies, with the quiescence search after them.
    model_.SetSearchDepth(EngineSearchDepth);
    builtIn_ = std::make_shared<TBuiltInOpponent>(*this);
    opponent_ = builtIn_;

    model_.OnLegalMove = [this](Square o, Square n) { FBoardLegalMove(o, n); };
    model_.OnCapture = [this](Square o, Square n, char c) { FBoardCapture(o, n, c); };
    model_.OnPromotion = [this](Square o, Square n, char& p) { FBoardPromotion(o, n, p); };
    model_.OnCastle = [this](Square, Square) { FBoardCastle(); };
    model_.OnCheck = [this](Square o, Square n) { FBoardCheck(o, n); };
    model_.OnMate = [this](Square, Square) { FBoardMate(); };
    model_.OnStaleMate = [this](Square, Square) { FBoardStaleMate(); };
    model_.OnNoMatingMaterial = [this] { FBoardNoMatingMaterial(); };
    model_.OnThreefoldPosition = [this] { FBoardThreefoldPosition(); };
    model_.OnDraw = [this] { FBoardDraw(); };

    title_ = MainTitle();
}

TGameController::~TGameController() {
    // No move of the engine may reach a controller that is going away:
    // its events are cut first, then the engine is stopped.
    model_.OnLegalMove = nullptr;
    model_.OnCapture = nullptr;
    model_.OnPromotion = nullptr;
    model_.OnCastle = nullptr;
    model_.OnCheck = nullptr;
    model_.OnMate = nullptr;
    model_.OnStaleMate = nullptr;
    model_.OnNoMatingMaterial = nullptr;
    model_.OnThreefoldPosition = nullptr;
    model_.OnDraw = nullptr;
    clockW_.OnTimeout = nullptr;
    clockB_.OnTimeout = nullptr;
    opponent_->OnFailure = nullptr;
    opponent_->LeaveSeat();
    model_.SetComputerPlaysWhite(false);
    model_.SetComputerPlaysBlack(false);
    model_.StopThinking();
}

QString TGameController::Version() {
    return QString::fromLatin1(ZugaretVersion);
}

QString TGameController::MainTitle() const {
    return TZugaretSettings::MainTitle(nick_, elo_);
}

void TGameController::ReplaceInTitle(const QString& oldText, const QString& newText) {
    SetTitle(ReplaceAll(title_, oldText, newText));
}

// ---------------------------------------------------------------- settings

void TGameController::LoadSettings(const TZugaretSettings& settings) {
    nick_ = settings.Nick;
    elo_ = settings.Elo;
    computerElo_ = settings.ComputerElo;
    engineDepth_ = qBound(1, settings.EngineDepth, 8);
    versionState_ = settings.VersionState;
    soundFolder_ = settings.SoundFolder;
    webUrl_ = TZugaretSettings::CheckedWebUrl(settings.WebUrl);
    pgnFolder_ = env_.PgnFolder();
    SetTitle(MainTitle());
}

void TGameController::SaveSettings(TZugaretSettings& settings) const {
    settings.Nick = nick_;
    settings.Elo = elo_;
    settings.ComputerElo = computerElo_;
    settings.EngineDepth = engineDepth_;
    settings.SoundFolder = soundFolder_;
    settings.WebUrl = webUrl_;
}

void TGameController::SetNick(const QString& nick) {
    const bool showsMainTitle = title_ == MainTitle();
    nick_ = nick;
    if (showsMainTitle) SetTitle(MainTitle());
}

// ---------------------------------------------------------------- view state

void TGameController::SetPanel(const QString& text, TTurnPanel::TKind kind) {
    panel_.Text = text;
    panel_.Kind = kind;
    Raise(OnPanelChanged);
}

void TGameController::SetTurnPanel(TTurn turn) {
    if (turn == TTurn::White)
        SetPanel(QStringLiteral("Juegan Blancas"), TTurnPanel::TKind::WhiteToMove);
    else
        SetPanel(QStringLiteral("Juegan Negras"), TTurnPanel::TKind::BlackToMove);
}

void TGameController::SetTitle(const QString& title) {
    title_ = title;
    Raise(OnTitleChanged);
}

void TGameController::SetCaption(const QString& caption) {
    // The main window's title takes the record's caption.
    caption_ = caption;
    SetTitle(caption_);
}

void TGameController::AddRecordLine(const QString& line) {
    record_.append(line);
    Raise(OnRecordChanged);
}

void TGameController::AppendToLastRecordLine(const QString& text) {
    // An empty record has no last line yet: the text starts one.
    if (record_.isEmpty())
        record_.append(text);
    else
        record_.last() += text;
    Raise(OnRecordChanged);
}

void TGameController::SetRecord(const QStringList& lines) {
    record_ = lines;
    Raise(OnRecordChanged);
}

void TGameController::SetCommands(bool newGame, bool draw, bool resign) {
    newGameAllowed_ = newGame;
    drawAllowed_ = draw;
    resignAllowed_ = resign;
    Raise(OnCommandsChanged);
}

void TGameController::SetBoardActive(bool active) {
    boardActive_ = active;
    Raise(OnCommandsChanged);
}

void TGameController::SetLocalMayMove(bool allowed) {
    localMayMove_ = allowed;
    Raise(OnCommandsChanged);
}

void TGameController::ShowPlayers() {
    Raise(OnPlayersChanged);
}

void TGameController::ClearCaptured() {
    captured_ = TCapturedPieces();
    Raise(OnCapturedChanged);
}

void TGameController::MeteRuido(const QString& name) const {
    env_.PlayCue(soundFolder_, name);
}

void TGameController::ShowMessage(const QString& text) const {
    if (TUiDialogs* d = env_.Dialogs()) d->ShowMessage(text);
}

void TGameController::StartLocalGame(TGameMode mode, bool userPlaysWhite, int minutes) {
    StartLocalGameWith(builtIn_, mode, userPlaysWhite, minutes);
}

void TGameController::StartEngineGame(std::shared_ptr<TEngineOpponent> engine, bool userPlaysWhite,
                                      int minutes) {
    StartLocalGameWith(engine ? std::move(engine) : builtIn_, TGameMode::VsComputer, userPlaysWhite,
                       minutes);
}

void TGameController::StartLocalGameWith(std::shared_ptr<TEngineOpponent> engine, TGameMode mode,
                                         bool userPlaysWhite, int minutes) {
    const bool computer = mode == TGameMode::VsComputer;
    if (computer && engine != opponent_) {
        // The last engine leaves with its game.
        if (turn_ != TTurn::None) EndGame(TEndReason::Abandoned);
        opponent_->LeaveSeat();
        opponent_->OnFailure = nullptr;
        opponent_ = engine;
        opponent_->OnFailure = [this](const QString& reason) { EngineFailed(reason); };
    }
    gameMode_ = computer ? TGameMode::VsComputer : TGameMode::LocalTwoPlayers;
    const TPlayer own{nick_, elo_};
    const TPlayer other = computer ? TPlayer{opponent_->Name(), opponent_->Elo()}
                                   : TPlayer{nick_ + QStringLiteral(" 2"), elo_};
    whitePlayer_ = userPlaysWhite ? own : other;
    blackPlayer_ = userPlaysWhite ? other : own;
    myColour_ = userPlaysWhite ? TColour::White : TColour::Black;
    clockW_.SetTime(minutes, 0);
    clockB_.SetTime(minutes, 0);
    StartGame();
}

void TGameController::SetUpNetworkGame(bool userPlaysWhite, const TPlayer& opponent, int minutes) {
    const TPlayer own{nick_, elo_};
    whitePlayer_ = userPlaysWhite ? own : opponent;
    blackPlayer_ = userPlaysWhite ? opponent : own;
    myColour_ = userPlaysWhite ? TColour::White : TColour::Black;
    clockW_.SetTime(minutes, 0);
    clockB_.SetTime(minutes, 0);
    gameMode_ = TGameMode::Network;
    StartGame();
}

void TGameController::ObserveGame(const TObservedGame& game) {
    whitePlayer_ = game.White;
    blackPlayer_ = game.Black;
    // A new game clears the clocks' hours: a move message carries none.
    clockW_.SetTime(game.WhiteSeconds / 60, game.WhiteSeconds % 60);
    clockB_.SetTime(game.BlackSeconds / 60, game.BlackSeconds % 60);
    // An observer follows a network game, whatever it played before.
    gameMode_ = TGameMode::Network;
    // A game joined after its start goes on from the host's position and
    // move number; its record names that position, so it replays.
    const QString fen = game.Fen();
    startFen_ = !fen.isEmpty() && IsPlayableFen(fen) ? fen : QString();
    StartGame();
    startFen_.clear();
    SetLocalMayMove(false);
    if (!fen.isEmpty() && model_.Fen() != fen) {
        // A position no game can reach is shown as it came, unrecorded.
        model_.SetPosition(game.Position);
        model_.SetWhiteToMove(!game.BlackToMove);
    }
    const bool white = !game.BlackToMove;
    (white ? clockW_ : clockB_).Start();
    (white ? clockB_ : clockW_).Stop();
    turn_ = white ? TTurn::White : TTurn::Black;
    SetTurnPanel(turn_);
}

bool TGameController::StartFromPosition(const QString& fen, int minutes, QString* reason) {
    auto refuse = [reason](const QString& why) {
        if (reason) *reason = why;
        return false;
    };
    if (role_ == TRole::Observer || (gameMode_ == TGameMode::Network && turn_ != TTurn::None))
        return refuse(
            QString::fromUtf8("No se puede poner una posición durante una partida en red"));
    QString why;
    if (!IsPlayableFen(fen, &why)) return refuse(why);
    const TGameMode mode =
        gameMode_ == TGameMode::VsComputer ? TGameMode::VsComputer : TGameMode::LocalTwoPlayers;
    // The FEN is well formed: its second field names the side to move.
    const bool whiteToMove = fen.simplified().section(u' ', 1, 1) != u"b";
    EndGame(TEndReason::Abandoned);
    startFen_ = fen.trimmed();
    StartLocalGameWith(opponent_, mode, whiteToMove, minutes);
    startFen_.clear();
    if (reason) reason->clear();
    return true;
}

QString TGameController::InterruptedText() {
    return QString::fromUtf8("Partida interrumpida: se perdió la conexión");
}

bool TGameController::InterruptNetworkGame() {
    if (gameMode_ != TGameMode::Network || turn_ == TTurn::None || role_ == TRole::Observer)
        return false;
    // Like an abandon, but the panel (already when the game's end is
    // raised), the record and the observers learn why.
    const QString panel = InterruptedText();
    SetPanel(panel, TTurnPanel::TKind::Ended);
    EndGame(TEndReason::Abandoned);
    AppendToLastRecordLine(QStringLiteral(" * {") + panel + u'}');
    if (role_ == TRole::Server && network_) network_->SendEndGame(panel, QStringLiteral("*"));
    return true;
}

void TGameController::EndObservedGame(const QString& panelText, const QString& resultText) {
    SetPanel(panelText, TTurnPanel::TKind::Ended);
    announcedPanel_ = panelText;
    announcedResult_ = resultText;
    clockW_.Stop();
    clockB_.Stop();
    EndGame(TEndReason::ObservedEnd);
}

// ---------------------------------------------------------------- games

void TGameController::StartGame() {
    if (versionState_ == 2) {
        MeteRuido("entrar");
        ShowMessage(OutdatedWarning);
    }
    // The engine of the game shown so far is switched off before anything of
    // the new game is set: a move it still finds for the old game is dropped.
    model_.SetComputerPlaysWhite(false);
    model_.SetComputerPlaysBlack(false);
    opponent_->LeaveSeat();
    SetCommands(false, drawAllowed_, resignAllowed_);
    MeteRuido("nueva");
    ClearCaptured();
    // Nothing of the last game's moves stays in the titles.
    caption_.clear();
    SetTitle(MainTitle());
    // The callers set the clocks with SetTime, which clears the hours before
    // the minutes; clearing them again here would cut a game of 60 minutes
    // or more down to its minutes past the hour.
    SetBoardActive(false); // a drag under way is dropped
    SetBoardActive(true);
    turn_ = TTurn::White;
    if (myColour_ != TColour::None) OnShowColourAtBottom(myColour_);
    bool draw = myColour_ == TColour::White;
    bool resign = true;
    if (role_ == TRole::Server || role_ == TRole::Client) {
        if (myColour_ == TColour::White) {
            moveSerial_ = 1;
            whitePlayer_ = {nick_, elo_};
        } else if (myColour_ == TColour::Black) {
            moveSerial_ = 1;
            blackPlayer_ = {nick_, elo_};
        }
    } else if (role_ == TRole::Observer) {
        resign = false;
        draw = false;
    }
    // A replay is no game: nothing acts on it, the clocks stand still, and
    // a new game may begin at any time.
    const bool replay = gameMode_ == TGameMode::Replay;
    SetCommands(replay, draw && !replay, resign && !replay);
    clockB_.Stop();
    if (!replay) clockW_.Start();
    beforeMoves_.clear();
    if (gameMode_ != TGameMode::Replay) {
        record_.clear();
        // The record names the engine's level it was played against.
        if (gameMode_ == TGameMode::VsComputer) record_.append(opponent_->RecordNote());
        recordResult_.clear();
        Raise(OnRecordChanged);
    }
    ShowPlayers();
    // The new position comes before the engine is given a side, so that its
    // first search is of the new game. A game begun from a position starts
    // there, with its side to move.
    if (startFen_.isEmpty()) {
        model_.NewGame();
    } else {
        model_.SetFen(startFen_);
        record_.append(PositionLine(startFen_));
        Raise(OnRecordChanged);
    }
    const bool whiteFirst = model_.WhiteToMove();
    const bool userFirst = myColour_ == (whiteFirst ? TColour::White : TColour::Black);
    if (!whiteFirst) {
        clockW_.Stop();
        if (!replay) clockB_.Start();
        turn_ = TTurn::Black;
    }
    SetTurnPanel(turn_);
    switch (gameMode_) {
    case TGameMode::Network:
        SetLocalMayMove(userFirst);
        break;
    case TGameMode::VsComputer:
        moveSerial_ = 1;
        SetLocalMayMove(userFirst);
        opponent_->TakeSeat(myColour_ != TColour::White, true);
        break;
    case TGameMode::LocalTwoPlayers:
        moveSerial_ = 1;
        SetLocalMayMove(true);
        break;
    case TGameMode::Replay:
        model_.SetComputerPlaysWhite(false);
        model_.SetComputerPlaysBlack(false);
        moveSerial_ = 1;
        break;
    }
    Raise(OnGameStarted);
    if (whiteFirst ? model_.ComputerPlaysWhite() : model_.ComputerPlaysBlack())
        model_.RequestComputerMove();
}

bool TGameController::LocalToMove() const {
    if ((role_ == TRole::Observer || role_ == TRole::Offline) && gameMode_ != TGameMode::VsComputer)
        return false;
    return (model_.WhiteToMove() ? whitePlayer_.Nick : blackPlayer_.Nick) == nick_;
}

TMovimiento TGameController::MoveRecord(Square oldSq, Square newSq) const {
    TMovimiento m;
    m.MoveNumber = moveSerial_;
    m.WhiteMoved = !model_.WhiteToMove();
    m.Move = SquareToText(oldSq) + SquareToText(newSq);
    m.Promotion = promotionPiece_;
    const TRelojChess& mover = model_.WhiteToMove() ? clockB_ : clockW_;
    m.Seconds = mover.MessageSeconds();
    return m;
}

void TGameController::SendMove(Square oldSq, Square newSq, bool fromLocalPlayer) {
    const TMovimiento move = MoveRecord(oldSq, newSq);
    if (network_) network_->SendMove(move, fromLocalPlayer);
    ++moveSerial_;
}

void TGameController::FBoardLegalMove(Square oldSq, Square newSq) {
    beforeMoves_.push_back(
        {record_, caption_, captured_, moveSerial_, checkPending_, checkSquare_});
    OnMovePlayed(oldSq, newSq);
    MeteRuido("mover");
    const bool whiteToMove = model_.WhiteToMove();
    const bool replay = gameMode_ == TGameMode::Replay;
    const bool localToMove = LocalToMove() && !replay;
    SetCommands(newGameAllowed_, localToMove, resignAllowed_);

    const QChar piece = QChar::fromLatin1(model_.PieceAt(newSq)).toUpper();
    if (piece == u'R' && checkPending_) {
        MeteRuido(newSq == checkSquare_ ? "nojaque" : "cobarde");
        checkPending_ = false;
    }
    QString moveText = QString(piece) + SquareToText(oldSq) + SquareToText(newSq);
    if (moveText == u"Ke1g1" || moveText == u"Ke8g8")
        moveText = QStringLiteral("O-O");
    else if (moveText == u"Ke1c1" || moveText == u"Ke8c8")
        moveText = QStringLiteral("O-O-O");
    if (gameMode_ == TGameMode::Network && piece == u'P')
        pendingPromotion_ = RankOf(newSq) == 8 || RankOf(newSq) == 1;

    if (whiteToMove) {
        // Black's move joins White's line; a game begun from a position with
        // Black to move has none yet, and Black's move gets a line of its own.
        const bool ownLine = record_.isEmpty() || record_.last().startsWith(u'{');
        if (ownLine) {
            const QString line =
                QString::number(model_.CurrentMove() - 1) + QStringLiteral("... ") + moveText;
            if (gameMode_ != TGameMode::Replay) AddRecordLine(line);
            SetCaption(line);
        } else {
            if (gameMode_ != TGameMode::Replay) AppendToLastRecordLine(u' ' + moveText);
            SetCaption(caption_ + u' ' + moveText);
        }
        if (!replay) clockW_.Start();
        clockB_.Stop();
        SetTurnPanel(TTurn::White);
        turn_ = TTurn::White;
    } else {
        const QString line = QString::number(model_.CurrentMove()) + u'.' + moveText;
        if (gameMode_ != TGameMode::Replay) AddRecordLine(line);
        SetCaption(line);
        if (!replay) clockB_.Start();
        clockW_.Stop();
        SetTurnPanel(TTurn::Black);
        turn_ = TTurn::Black;
    }
    if (gameMode_ == TGameMode::VsComputer) SetLocalMayMove(localToMove);
    if (gameMode_ == TGameMode::Network && !pendingPromotion_) {
        SetLocalMayMove(localToMove);
        SendMove(oldSq, newSq, !localToMove);
    }
}

void TGameController::ApplyRemoteMove(const QString& text) {
    // Received moves belong to a network game in progress. One that crossed
    // the end of the game on its way (the opponent moved while this side
    // resigned, agreed a draw or ran out of time) would start the clocks of
    // the finished game again and end it a second time; one of the last
    // opponent, or of the host's game to a former observer, arriving during
    // a game at this board would be played in it. A replay steps through its
    // moves whether or not its end has been shown.
    if (gameMode_ != TGameMode::Replay && (gameMode_ != TGameMode::Network || turn_ == TTurn::None))
        return;
    QString move = text;
    if (move.size() == 5) {
        promotionPiece_ = move.at(4).toUpper();
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
        if (model_.Move(fromSq, toSq)) SetLocalMayMove(role_ != TRole::Observer);
    } else if (network_) {
        network_->LogPlainLine(OneLine(QStringLiteral("*Error 53: ") + from + to + u'*'));
    }
}

bool TGameController::ReceiveMove(const TMovimiento& move) {
    // Checked against the game in progress before anything changes: a move
    // of a finished game, of the wrong side or not legal here moves no clock.
    if (gameMode_ != TGameMode::Network || turn_ == TTurn::None) return false;
    const QString text = move.Move;
    if (text.size() != 4) return false;
    const Square fromSq = TextToSquare(text.left(2));
    const Square toSq = TextToSquare(text.mid(2, 2));
    if (fromSq == Square::None || toSq == Square::None) {
        ApplyRemoteMove(text); // its error line
        return false;
    }
    if (move.WhiteMoved != model_.WhiteToMove() || !model_.IsLegalMove(fromSq, toSq)) return false;
    TRelojChess& mover = move.WhiteMoved ? clockW_ : clockB_;
    TRelojChess& other = move.WhiteMoved ? clockB_ : clockW_;
    // The message carries no hours; those the clock shows now stay.
    const int most = mover.RemainingAtStart() - mover.Horas() * 3600;
    if (!mover.SetFromMessageSeconds(std::min(move.Seconds, std::max(0, most)))) return false;
    promotionPiece_ = move.Promotion;
    mover.Stop();
    other.Start();
    ApplyRemoteMove(text);
    return true;
}

void TGameController::FBoardPromotion(Square oldSq, Square newSq, char& newPiece) {
    bool localPromoter;
    if (gameMode_ == TGameMode::LocalTwoPlayers)
        localPromoter = true;
    else if ((role_ == TRole::Observer || role_ == TRole::Offline) &&
             gameMode_ != TGameMode::VsComputer)
        localPromoter = false;
    else
        localPromoter = (model_.WhiteToMove() ? blackPlayer_.Nick : whitePlayer_.Nick) == nick_;

    auto pieceOf = [](QChar promotion) {
        const QChar letter = promotion.toUpper();
        return QStringLiteral("QRNB").contains(letter) ? letter.toLatin1() : 'Q';
    };
    if (localPromoter) {
        // The local player chose the piece before the move was played (the
        // board's chooser, or the letter kept from the last choice): it is
        // the letter the board offers.
        const int pos = QStringLiteral("qrbn").indexOf(QChar::fromLatin1(newPiece).toLower());
        promotionPiece_ = pos < 0 ? QChar(u'Q') : QStringLiteral("QRBN").at(pos);
        SetLocalMayMove(gameMode_ == TGameMode::LocalTwoPlayers);
    }
    newPiece = pieceOf(promotionPiece_);

    // The record names the piece the pawn became ("=Q" when no letter was chosen).
    const QString mark = u'=' + QString(QChar::fromLatin1(newPiece));
    if (gameMode_ != TGameMode::Replay) AppendToLastRecordLine(mark);
    SetCaption(caption_ + mark);
    pendingPromotion_ = false;
    if (gameMode_ == TGameMode::Network) {
        const TMovimiento move = MoveRecord(oldSq, newSq);
        promotionPiece_ = u'*';
        if (network_) network_->SendMove(move, localPromoter);
        ++moveSerial_;
    }
}

void TGameController::FBoardCapture(Square, Square, char captured) {
    const int index = CapturedIndex(captured);
    if (index < 0) return;
    const bool white = captured >= 'A' && captured <= 'Z';
    int& count = white ? captured_.White[index] : captured_.Black[index];
    if (count >= TCapturedPieces::Most[index]) return;
    ++count;
    Raise(OnCapturedChanged);
}

void TGameController::FBoardCastle() {
    MeteRuido("enroque");
}

void TGameController::FBoardCheck(Square, Square newSq) {
    checkSquare_ = newSq;
    checkPending_ = true;
    if (gameMode_ != TGameMode::Replay) AppendToLastRecordLine(QStringLiteral("+"));
    MeteRuido("jaque");
}

void TGameController::FBoardMate() {
    if (gameMode_ != TGameMode::Replay) AppendToLastRecordLine(QStringLiteral("+"));
    EndGame(TEndReason::Mate);
    MeteRuido("mate");
}

void TGameController::FBoardStaleMate() {
    EndGame(TEndReason::StaleMate);
    MeteRuido("ahogado");
}

void TGameController::FBoardNoMatingMaterial() {
    EndGame(TEndReason::NoMatingMaterial);
    MeteRuido("ilegal");
}

void TGameController::FBoardThreefoldPosition() {
    EndGame(TEndReason::Repetition);
    MeteRuido("repeticion");
}

void TGameController::FBoardDraw() {
    EndGame(TEndReason::BoardDraw);
    MeteRuido("tablas");
}

bool TGameController::TakeBackAllowed() const {
    return turn_ != TTurn::None &&
           (gameMode_ == TGameMode::VsComputer || gameMode_ == TGameMode::LocalTwoPlayers) &&
           !beforeMoves_.empty();
}

bool TGameController::TakeBack() {
    // Not from inside a move's own events (a key pressed while its mate
    // message is open).
    if (!TakeBackAllowed()) return false;
    // The engine is stopped first and given its side back only once the
    // position, the record and the turn are whole again: it never searches
    // a half-restored game, and a move it finds for the position taken back
    // is dropped. An engine of another process plays the colour the user
    // does not.
    const bool external = gameMode_ == TGameMode::VsComputer && opponent_ != builtIn_;
    const bool engineWhite =
        model_.ComputerPlaysWhite() || (external && myColour_ != TColour::White);
    const bool engineBlack =
        model_.ComputerPlaysBlack() || (external && myColour_ == TColour::White);
    model_.SetComputerPlaysWhite(false);
    model_.SetComputerPlaysBlack(false);
    if (external) opponent_->LeaveSeat();
    if (!TakeBackAllowed()) return false; // that move ended the game
    auto computerToMove = [&] { return model_.WhiteToMove() ? engineWhite : engineBlack; };
    // Against the engine the user gets the move back: the engine's reply
    // and the user's move go, or the user's move alone while the engine is
    // still thinking.
    int plies = 1;
    if (gameMode_ == TGameMode::VsComputer && !computerToMove() && beforeMoves_.size() >= 2)
        plies = 2;
    TBeforeMove before;
    for (int i = 0; i < plies; ++i) {
        if (beforeMoves_.empty() || !model_.TakeBack()) break;
        before = beforeMoves_.back();
        beforeMoves_.pop_back();
    }
    record_ = before.Record;
    captured_ = before.Captured;
    moveSerial_ = before.MoveSerial;
    checkPending_ = before.CheckPending;
    checkSquare_ = before.CheckSquare;
    Raise(OnRecordChanged);
    Raise(OnCapturedChanged);
    caption_ = before.Caption;
    SetTitle(caption_.isEmpty() ? MainTitle() : caption_);
    const bool white = model_.WhiteToMove();
    turn_ = white ? TTurn::White : TTurn::Black;
    SetTurnPanel(turn_);
    (white ? clockW_ : clockB_).Start();
    (white ? clockB_ : clockW_).Stop();
    const bool userToMove = gameMode_ == TGameMode::LocalTwoPlayers || !computerToMove();
    SetLocalMayMove(userToMove);
    SetCommands(false, LocalToMove(), resignAllowed_);
    if (external) {
        opponent_->TakeSeat(engineWhite, false);
    } else {
        model_.SetComputerPlaysWhite(engineWhite);
        model_.SetComputerPlaysBlack(engineBlack);
    }
    return true;
}

void TGameController::TakeBackOneMove() {
    model_.TakeBack();
}

void TGameController::ReplayForward() {
    if (ReplayMoves.isEmpty()) return;
    if (ReplayCursor < 1) ReplayCursor = 1;
    if (ReplayCursor <= ReplayMoves.size()) {
        // The cursor moves on before the move is played: the move's events
        // may open a message box, and an animation step handled meanwhile
        // must not play the same entry twice.
        const QString move = ReplayMoves.at(ReplayCursor - 1);
        ++ReplayCursor;
        ApplyRemoteMove(move);
    }
}

void TGameController::ReplayBack() {
    if (ReplayMoves.isEmpty()) return;
    if (ReplayCursor > ReplayMoves.size() + 1) ReplayCursor = ReplayMoves.size() + 1;
    TakeBackOneMove();
    if (ReplayCursor > 0) --ReplayCursor;
}

bool TGameController::OpenReplay(const TOpenedGame& game) {
    if (!game.Opened()) return false;
    if (turn_ != TTurn::None) EndGame(TEndReason::Abandoned);
    gameMode_ = TGameMode::Replay;
    record_ = game.Lines;
    Raise(OnRecordChanged);
    const TPlayer white{game.White.value_or(whitePlayer_.Nick), 0};
    const TPlayer black{game.Black.value_or(blackPlayer_.Nick), 0};
    whitePlayer_ = white;
    blackPlayer_ = black;
    recordResult_ = game.Result;
    for (TRelojChess* clock : {&clockW_, &clockB_}) {
        clock->SetTime(59, 59);
        clock->SetHoras(23);
    }
    ReplayMoves = game.ReplayMoves;
    ReplayCursor = 1;
    StartGame();
    // Connected to a chat, StartGame puts the user's nick on the user's
    // colour; the players of a replay are those of the file.
    if (whitePlayer_.Nick != white.Nick || blackPlayer_.Nick != black.Nick ||
        whitePlayer_.Elo != 0 || blackPlayer_.Elo != 0) {
        whitePlayer_ = white;
        blackPlayer_ = black;
        ShowPlayers();
    }
    if (!game.StartFen.isEmpty() && model_.SetFen(game.StartFen) && !model_.WhiteToMove()) {
        turn_ = TTurn::Black;
        SetTurnPanel(TTurn::Black);
    }
    return true;
}

// ---------------------------------------------------------------- game end

void TGameController::EndGame(TEndReason reason) {
    // The side to move when the game ended: the loser of a mate or a time-out.
    const bool whiteToMove = model_.WhiteToMove();
    StopPlay();
    if (turn_ == TTurn::None) return;
    turn_ = TTurn::None;
    SetCommands(true, false, false);
    SetLocalMayMove(false);
    const TGameResult result = GameResult(EndFacts(reason, whiteToMove));
    eloHintW_ = QStringLiteral("Elo anterior ") + QString::number(whitePlayer_.Elo);
    eloHintB_ = QStringLiteral("Elo anterior ") + QString::number(blackPlayer_.Elo);
    SetPanel(panel_.Text, TTurnPanel::TKind::Ended);
    if (!result.Ends) {
        Raise(OnGameEnded);
        return;
    }
    resultText_ = result.ResultText;
    whitePlayer_.Elo = result.NewWhiteElo;
    blackPlayer_.Elo = result.NewBlackElo;
    if (result.Cowardice) MeteRuido("cobarde2");
    RecordResult(result);
    SetPanel(result.PanelText, TTurnPanel::TKind::Ended);
    RecordEndComment(result);
    StoreRating(result);
    SetTitle(MainTitle());
    TellObservers(result);
    ShowPlayers();
    Raise(OnGameEnded);
    // The game is on disk before the announcement waits for the user.
    if (autoSavePgn_ && Records()) SavePgnDatabase();
    Announce(result.Announcement);
}

void TGameController::StopPlay() {
    SetCommands(true, drawAllowed_, resignAllowed_);
    SetBoardActive(false);
    model_.SetCustomEngine(false);
    // The engine has no game to play any more: a move it would still make
    // after a resignation or a time-out would change the finished record.
    // Stopping it drops whatever it still finds.
    if (model_.ComputerPlaysWhite()) model_.SetComputerPlaysWhite(false);
    if (model_.ComputerPlaysBlack()) model_.SetComputerPlaysBlack(false);
    opponent_->LeaveSeat();
    clockW_.Stop();
    clockB_.Stop();
}

TEndFacts TGameController::EndFacts(TEndReason reason, bool whiteToMove) const {
    TEndFacts f;
    f.Reason = reason;
    f.Kind = Kind();
    f.MyColour = myColour_;
    f.WhiteToMove = whiteToMove;
    f.White = whitePlayer_;
    f.Black = blackPlayer_;
    f.UserNick = nick_;
    f.OpponentName = opponent_->Name();
    f.EngineKeepsRating = opponent_->KeepsRating();
    f.EngineFailure = engineFailure_;
    f.AnnouncedPanel = announcedPanel_;
    f.AnnouncedResult = announcedResult_;
    return f;
}

void TGameController::RecordResult(const TGameResult& result) {
    if (!Records()) return;
    recordResult_ = result.ResultText;
    if (model_.WhiteToMove())
        AddRecordLine(result.ResultText);
    else
        AppendToLastRecordLine(u' ' + result.ResultText);
}

void TGameController::RecordEndComment(const TGameResult& result) {
    if (result.RecordComment && Records())
        AppendToLastRecordLine(QStringLiteral(" {") + result.PanelText + u'}');
}

void TGameController::StoreRating(const TGameResult& result) {
    const bool white = myColour_ == TColour::White;
    if (result.Stored == TStoredRating::User)
        elo_ = white ? result.NewWhiteElo : result.NewBlackElo;
    else if (result.Stored == TStoredRating::Computer)
        computerElo_ = white ? result.NewBlackElo : result.NewWhiteElo;
}

void TGameController::TellObservers(const TGameResult& result) {
    if (gameMode_ == TGameMode::Network && role_ == TRole::Server && network_)
        network_->SendEndGame(result.PanelText, result.ResultText);
}

void TGameController::Announce(const QString& text) {
    endAnnouncement_ = text;
    // Shown from the event loop: the end may come from inside a socket's
    // read (a received move, a resignation), where a message box's own loop
    // could free that very socket.
    QMetaObject::invokeMethod(
        this, [this, text] { ShowMessage(text); }, Qt::QueuedConnection);
}

TMatchKind TGameController::Kind() const {
    switch (gameMode_) {
    case TGameMode::VsComputer:
        return TMatchKind::Engine;
    case TGameMode::LocalTwoPlayers:
        return TMatchKind::OneBoard;
    case TGameMode::Replay:
        return TMatchKind::Replay;
    case TGameMode::Network:
        break;
    }
    return role_ == TRole::Observer ? TMatchKind::Observed : TMatchKind::Network;
}

bool TGameController::Records() const {
    return Kind() != TMatchKind::Replay;
}

TRecordHeader TGameController::RecordHeader() const {
    TRecordHeader h;
    h.WhiteNick = whitePlayer_.Nick;
    h.WhiteElo = whitePlayer_.Elo;
    h.BlackNick = blackPlayer_.Nick;
    h.BlackElo = blackPlayer_.Elo;
    h.ResultText = recordResult_.isEmpty() ? QStringLiteral("*") : recordResult_;
    h.Date = QDate::currentDate();
    return h;
}

void TGameController::SavePgnDatabase() {
    const TDatabaseSave save = AppendToPgnDatabase(pgnFolder_, nick_, RecordHeader(), record_);
    TUiDialogs* d = env_.Dialogs();
    if (!d) return;
    if (!save.Saved)
        d->ShowMessage(save.Error, QString(), TMessageKind::Error);
    else if (!save.Warning.isEmpty())
        d->ShowMessage(save.Warning, QString(), TMessageKind::Warning);
}

void TGameController::Resign() {
    if (turn_ == TTurn::None || gameMode_ == TGameMode::Replay) return;
    if (gameMode_ == TGameMode::Network && network_)
        network_->SendResign(QStringLiteral("No puedorrr"));
    EndGame(TEndReason::OwnResignation);
}

bool TGameController::PlaysNetworkGame() const {
    return gameMode_ == TGameMode::Network && turn_ != TTurn::None && myColour_ != TColour::None &&
           (role_ == TRole::Server || role_ == TRole::Client);
}

void TGameController::AbandonGame() {
    if (PlaysNetworkGame())
        Resign();
    else
        EndGame(TEndReason::Abandoned);
}

void TGameController::OfferDraw() {
    if (gameMode_ == TGameMode::Replay) return;
    if (network_) network_->SendDrawOffer(QString::fromUtf8("¿Tablas?"));
}

void TGameController::EngineFailed(const QString& reason) {
    if (gameMode_ != TGameMode::VsComputer || turn_ == TTurn::None) return;
    engineFailure_ = reason;
    EndGame(TEndReason::EngineFailure);
}

void TGameController::FClockWTimeout() {
    if (gameMode_ == TGameMode::Network) {
        if (myColour_ != TColour::White) return;
        if (network_) network_->SendTimeout(QStringLiteral("Sacabo er tiempo"));
    }
    EndGame(TEndReason::Time);
}

void TGameController::FClockBTimeout() {
    if (gameMode_ == TGameMode::Network) {
        if (myColour_ != TColour::Black) return;
        if (network_) network_->SendTimeout(QStringLiteral("Sacabo er tiempo"));
    }
    EndGame(TEndReason::Time);
}
