#pragma once
// TGameController: the game without widgets. It keeps the state of the game
// (who plays which colour, what kind of game runs, whose turn it is, the
// players and ratings, the result), reacts to the board's events after every
// move (the game record, the clocks, the turn, the move messages, captured
// pieces, the end of the game), and offers the operations with which the
// chat, the record window and the new-game dialog start games, play
// received moves and end games. EndGame is the single way a game finishes.
//
// It works on a TChessModel it does not own (the board widget's, or one of
// its own owner's when there are no windows), owns the two clocks and the
// record, asks the user through the environment's dialogs and plays cues
// through its sound output. The views (main window, record window, chat
// window) learn what changed through the events below and read the state;
// the network is reached through TGameNetwork.
//
// What must stay true:
//  - TurnState is None exactly when no game is in progress; EndGame with a
//    reason other than Abandoned on a running game sets it to None, a
//    second EndGame only repeats its first step;
//  - NewGameAllowed is false from BeginGame to EndGame;
//  - the record is written in every mode but Replay;
//  - a game that ends with a result is appended to the user's PGN database
//    (when AutoSavePgn is on and it is no replay); a failed append is shown
//    and changes neither the result nor the ratings;
//  - MoveSerial numbers the move messages this program sends, one per move;
//  - a received move never gives its mover more time than the mover's clock
//    held when that move's turn began;
//  - a finished game stays finished: no move received afterwards and no
//    engine move reopens it or is sent on;
//  - a local promotion's piece is chosen before its move is played (the
//    board's letter); nothing is asked while the move's events run;
//  - a game is never set up, nor a move taken back, while a move is half
//    played: no handler of a move's events waits for the user, so nothing
//    else runs until the move is whole.
//
// Everything runs on the thread of the event loop; no locks.

#include "ChessClock.h"
#include "EngineOpponent.h"
#include "GamePlayers.h"
#include "GameResult.h"
#include "MoveMessage.h"
#include "OwnGameFormat.h"
#include "Players.h"
#include "Square.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <vector>

class TEngineOpponent;
class TChessModel;
class TProgramEnv;
class TZugaretSettings;

// What the turn panel shows.
struct TTurnPanel {
    enum class TKind { Blank, WhiteToMove, BlackToMove, Ended };
    QString Text;
    TKind Kind = TKind::Blank;
};

// The captured pieces shown beside the record: how many of each piece of
// each side (a queen once, the others at most twice; pawns are not shown).
struct TCapturedPieces {
    // Index: 0 queen, 1 rook, 2 knight, 3 bishop.
    std::array<int, 4> White{}; // White's pieces taken
    std::array<int, 4> Black{}; // Black's pieces taken
    static constexpr std::array<int, 4> Most{1, 2, 2, 2};
    bool operator==(const TCapturedPieces&) const = default;
};

// The state of the host's game as an observer takes it over.
struct TObservedGame {
    TPlayer White;
    TPlayer Black;
    int WhiteSeconds = 0;
    int BlackSeconds = 0;
    bool BlackToMove = false;
    QString Position; // 64 characters
    // The host's move serial: the number its next move message carries
    // (one per half-move, the first move of a game being 1; 0 before any game).
    int MoveSerial = 0;

    // The position as FEN: the move number from the serial, castling rights
    // where king and rook still stand on their squares, no en passant square.
    // Empty for the initial position with White to move: a game from its start.
    QString Fen() const;
};

class TGameController : public QObject {
    Q_OBJECT
public:
    // The fixed nick of the built-in opponent.
    static constexpr const char* ComputerName = "ZuzPlak";
    // The promotion question (UTF-8): the board's chooser shows it; a local
    // player's piece is chosen before the move is played.
    static constexpr const char* PromotionCaption = "Promoci\u00f3n pe\u00f3n";
    static constexpr const char* PromotionPrompt =
        "Elige una pieza: D-Dama T-Torre A-Alfil C-Caballo";
    // Plies the built-in engine searches unless the user chose otherwise.
    static constexpr int EngineSearchDepth = 5;

    TGameController(TChessModel& model, TProgramEnv& env, QObject* parent = nullptr);
    ~TGameController() override;
    TGameController(const TGameController&) = delete;
    TGameController& operator=(const TGameController&) = delete;

    TChessModel& Model() const { return model_; }
    TProgramEnv& Env() const { return env_; }
    void SetNetwork(TGameNetwork* network) { network_ = network; }
    TGameNetwork* Network() const { return network_; }

    // ---- settings ----
    // Takes the game's part of the settings: nick, ratings, sound set,
    // update state; the PGN folder comes from the environment.
    void LoadSettings(const TZugaretSettings& settings);
    // Writes the game's part back.
    void SaveSettings(TZugaretSettings& settings) const;

    // ---- state ----
    QString Nick() const { return nick_; }
    void SetNick(const QString& nick);
    QString HostNick() const { return hostNick_; }
    void SetHostNick(const QString& nick) { hostNick_ = nick; }
    int Elo() const { return elo_; }
    int ComputerElo() const { return computerElo_; }
    // The engine's level: plies it searches in games against it, 1..8.
    int EngineDepth() const { return engineDepth_; }
    void SetEngineDepth(int depth) { engineDepth_ = qBound(1, depth, 8); }
    TRole Role() const { return role_; }
    void SetRole(TRole role) { role_ = role; }
    TColour MyColour() const { return myColour_; }
    TGameMode GameMode() const { return ModeOf(kind_); }
    TTurn TurnState() const { return turn_; }
    bool GameInProgress() const { return turn_ != TTurn::None; }
    const TPlayer& WhitePlayer() const { return whitePlayer_; }
    const TPlayer& BlackPlayer() const { return blackPlayer_; }
    QString ResultText() const { return resultText_; }
    int MoveSerial() const { return moveSerial_; }
    QChar PromotionPiece() const { return promotionPiece_; }
    void SetPromotionPiece(QChar piece) { promotionPiece_ = piece; }
    bool CheckPending() const { return checkPending_; }
    Square CheckSquare() const { return checkSquare_; }
    bool AutoSavePgn() const { return autoSavePgn_; }
    void SetAutoSavePgn(bool on) { autoSavePgn_ = on; }
    QString PgnFolder() const { return pgnFolder_; }
    int VersionState() const { return versionState_; }
    QString SoundFolder() const { return soundFolder_; }
    void SetSoundFolder(const QString& folder) { soundFolder_ = folder; }
    // The maker's web address (the update check reads it and may move it).
    QString WebUrl() const { return webUrl_; }
    void SetWebUrl(const QString& url) { webUrl_ = url; }
    // The program's version text, "2.01".
    static QString Version();

    // ---- what the views show ----
    const TTurnPanel& Panel() const { return panel_; }
    // The main window's title: the record's caption during a game, else
    // "Zugaret CHAT! 2.01 [" + Nick + " " + Elo + " ELO]".
    QString Title() const { return title_; }
    QString MainTitle() const;
    // Replaces every occurrence of oldText in the title by newText (the
    // user's nick changed in the chat).
    void ReplaceInTitle(const QString& oldText, const QString& newText);
    // The record window's caption: the current move pair.
    QString RecordCaption() const { return caption_; }
    // The game record, one line per full move ("1.Pe2e4 Pe7e5").
    const QStringList& Record() const { return record_; }
    const TCapturedPieces& Captured() const { return captured_; }
    // How the end of the last game was announced: the panel's text and, in a
    // game of the user's, the rating change that counts ("Ana 1100 → 1119
    // (+19)") or that the user's rating does not change.
    QString LastEndAnnouncement() const { return endAnnouncement_; }
    // "Elo anterior " + the rating before the last game, once one ended.
    QString EloHint(TColour side) const { return side == TColour::White ? eloHintW_ : eloHintB_; }
    bool NewGameAllowed() const { return newGameAllowed_; }
    bool DrawOfferAllowed() const { return drawAllowed_; }
    bool ResignAllowed() const { return resignAllowed_; }
    // The local user may move pieces on the board (the board's NoMover is
    // the opposite); the board accepts input at all.
    bool LocalMayMove() const { return localMayMove_; }
    bool BoardActive() const { return boardActive_; }
    TRelojChess& ClockW() { return clockW_; }
    TRelojChess& ClockB() { return clockB_; }

    // ---- operations ----
    // Ends the game in progress.
    void EndGame(TEndReason reason);
    // Plays a move given as "e2e4" with an optional fifth promotion letter,
    // received from the network or stepped in a replay.
    void ApplyRemoteMove(const QString& text);
    void MeteRuido(const QString& name) const;

    // A game against the engine or for two at this board, as the new-game
    // dialog sets it up: players, colour, both clocks at minutes, start.
    // The engine is the built-in one.
    void StartLocalGame(TGameMode mode, bool userPlaysWhite, int minutes);
    // A game against engine (null: the built-in one), as StartLocalGame.
    void StartEngineGame(std::shared_ptr<TEngineOpponent> engine, bool userPlaysWhite, int minutes);
    // The engine of the current or last game against an engine.
    TEngineOpponent& EngineOpponent() const { return *opponent_; }
    // The engine opponent cannot go on: the game in progress against it ends
    // as its loss, the reason in the panel and the record.
    void EngineFailed(const QString& reason);
    // An agreed network game: this side plays White or Black against
    // opponent, both clocks at minutes, Network mode, start.
    void SetUpNetworkGame(bool userPlaysWhite, const TPlayer& opponent, int minutes);
    // A game against the engine or at one board from a position given as
    // FEN (the board's pop-up menu pastes one): the kind of the last game at
    // this board is kept (at one board when there was none), the user plays
    // the side to move, both clocks at minutes; the record's first line
    // names the position (PositionLine, records/RecordText.h). Refused, with
    // a reason and nothing changed, in a network game in progress, while
    // observing, and for a position that is malformed or cannot arise in a game.
    bool StartFromPosition(const QString& fen, int minutes, QString* reason = nullptr);

    // A "/MOV" from the opponent: the mover's clock from its seconds, the
    // other clock started, the move played. Only in a network game in
    // progress, and only a move that is legal here with the mover to move;
    // false, and nothing changed, otherwise.
    bool ReceiveMove(const TMovimiento& move);
    // A "/GAMEPOS": this observer takes over the host's game.
    void ObserveGame(const TObservedGame& game);
    // A "/END_GAME": the observed game ends with the host's texts.
    void EndObservedGame(const QString& panelText, const QString& resultText);
    // The opponent's connection was lost during a network game: the game
    // stops at once, without a result or a rating change (clocks stopped, no
    // more moves sent or accepted, the record gets "*" and the reason); the
    // host tells its observers the game ended. False when no network game
    // was in progress.
    bool InterruptNetworkGame();
    static QString InterruptedText();

    // Takes back the last move of a game against the engine or at one board
    // (against the engine: its reply and the user's move), with the record,
    // the clocks' turn, the captured pieces and the move serial as they were.
    // False, and nothing changed, where it is not offered: network games,
    // replays, no game in progress, nothing to take back.
    bool TakeBack();
    bool TakeBackAllowed() const;

    // The commands of the main window.
    void Resign();
    // Gives up the game in progress for another one or a replay: a network
    // game this side plays is resigned, so its opponent learns it is over;
    // any other game is abandoned without a result.
    void AbandonGame();
    // This side plays a network game in progress (not as an observer).
    bool PlaysNetworkGame() const;
    void OfferDraw();
    void FClockWTimeout();
    void FClockBTimeout();

    // Replay: the moves of the opened game ("E2E4", "E7E8Q") and the number,
    // counted from 1, of the next one to play.
    QStringList ReplayMoves;
    int ReplayCursor = 1;
    void ReplayForward();
    void ReplayBack();
    // Sets up the replay of a game opened from a file: its record and moves,
    // the players it names (a nick it does not name stays) with ratings 0,
    // both clocks at 23:59:59, cursor 1, Replay mode, then BeginGame; the
    // board starts from the game's FEN when it has one. A game in progress
    // is abandoned first. False, and nothing changed, for a game that was
    // not opened.
    bool OpenReplay(const TOpenedGame& game);

    // What a saved record's header says of the current game: the players
    // and their ratings, today's date, and the result ("*" while a game is
    // being played or when the last one was abandoned).
    TRecordHeader RecordHeader() const;

    // ---- board events (wired to the model by the constructor) ----
    void FBoardLegalMove(Square oldSq, Square newSq);
    void FBoardCapture(Square oldSq, Square newSq, char captured);
    // The piece a pawn of the side to move becomes, asked before its move.
    char ChoosePromotion(char offered);
    void FBoardPromotion(Square oldSq, Square newSq, char newPiece);
    void FBoardCastle();
    void FBoardCheck(Square oldSq, Square newSq);
    void FBoardMate();
    void FBoardStaleMate();
    void FBoardNoMatingMaterial();
    void FBoardThreefoldPosition();
    void FBoardDraw();

signals:
    // ---- events for the views (Qt signals: a view's connections go with
    // it, or with the controller) ----
    void OnPanelChanged();
    void OnRecordChanged();
    void OnTitleChanged();    // Title or RecordCaption
    void OnPlayersChanged();  // the players and their ratings shown
    void OnCommandsChanged(); // new game, draw, resign, board input
    void OnCapturedChanged();
    void OnGameStarted();
    void OnGameEnded();
    // The user's colour should be at the bottom of the board.
    void OnShowColourAtBottom(TColour colour);
    // A move was played on the board, by any means.
    void OnMovePlayed(Square from, Square to);

private:
    // One side of a game as it is chosen: shown as, played by.
    struct TSeat {
        TPlayer Shown;
        std::shared_ptr<TGamePlayer> Player;
    };
    // Starting: the players are chosen, then every game begins the same way.
    void ChoosePlayers(TMatchKind kind, TColour myColour, const TSeat& white, const TSeat& black);
    void BeginGame();
    void StartRecord();
    void SetUpBoard();
    void SetLocalMayMove(bool allowed);
    void SetRecord(const QStringList& lines);
    void TakeBackOneMove();
    TGamePlayer& PlayerOf(bool white) const { return white ? *white_ : *black_; }
    // Moves: the record's line, telling the players.
    void WriteMove(const QString& moveText, bool whiteToMove);
    void TellMove(Square oldSq, Square newSq);
    void SideRanOut(bool white);
    void SetTurnPanel(TTurn turn);
    void SetPanel(const QString& text, TTurnPanel::TKind kind);
    void SetTitle(const QString& title);
    void SetCaption(const QString& caption);
    void AddRecordLine(const QString& line);
    void AppendToLastRecordLine(const QString& text);
    void SetCommands(bool newGame, bool draw, bool resign);
    void SetBoardActive(bool active);
    void ShowPlayers();
    void ClearCaptured();
    TMovimiento MoveRecord(Square oldSq, Square newSq) const;
    void SavePgnDatabase();
    // The steps of EndGame.
    void StopPlay();
    TEndFacts EndFacts(TEndReason reason, bool whiteToMove) const;
    void RecordResult(const TGameResult& result);
    void RecordEndComment(const TGameResult& result);
    void StoreRating(const TGameResult& result);
    void TellObservers(const TGameResult& result);
    void Announce(const QString& text);
    // A game is played (every kind but a replay): the record is written,
    // the clocks run, no new game begins meanwhile.
    bool IsPlayed() const;
    void ShowMessage(const QString& text) const;
    void StartLocalGameWith(std::shared_ptr<TEngineOpponent> engine, TGameMode mode,
                            bool userPlaysWhite, int minutes);

    TChessModel& model_;
    TProgramEnv& env_;
    TGameNetwork* network_ = nullptr;
    TRelojChess clockW_;
    TRelojChess clockB_;

    QString nick_;
    QString hostNick_;
    int elo_ = 1100;
    int computerElo_ = 1200;
    int engineDepth_ = EngineSearchDepth;
    TRole role_ = TRole::Offline;
    TColour myColour_ = TColour::None;
    TMatchKind kind_ = TMatchKind::Network;
    // Who moves for each side of the current or last game.
    std::shared_ptr<TGamePlayer> white_ = std::make_shared<TUserPlayer>(true);
    std::shared_ptr<TGamePlayer> black_ = std::make_shared<TUserPlayer>(true);
    TTurn turn_ = TTurn::None;
    TPlayer whitePlayer_;
    TPlayer blackPlayer_;
    QString resultText_;
    // The result the current record ends with (its file's, for a replay);
    // empty while the game is played or when it was abandoned.
    QString recordResult_;
    int moveSerial_ = 0;
    bool pendingPromotion_ = false;
    QChar promotionPiece_ = u'*';
    bool checkPending_ = false;
    Square checkSquare_ = Square::None;
    bool autoSavePgn_ = true;
    QString pgnFolder_;
    int versionState_ = 1;
    QString soundFolder_;
    QString webUrl_;

    TTurnPanel panel_;
    QString endAnnouncement_;
    QString title_;
    QString caption_;
    QStringList record_;
    TCapturedPieces captured_;
    QString eloHintW_;
    QString eloHintB_;
    bool newGameAllowed_ = true;
    bool drawAllowed_ = false;
    bool resignAllowed_ = false;
    bool localMayMove_ = true;
    bool boardActive_ = true;

    // What a move changes beyond the board, as it was before each move of
    // the game: what a take-back puts back.
    struct TBeforeMove {
        QStringList Record;
        QString Caption;
        TCapturedPieces Captured;
        int MoveSerial = 0;
        bool CheckPending = false;
        Square CheckSquare = Square::None;
    };
    std::vector<TBeforeMove> beforeMoves_;
    // The engine that plays against the user (the built-in one unless a
    // game against another was started) and why it failed.
    std::shared_ptr<TEngineOpponent> builtIn_;
    std::shared_ptr<TEngineOpponent> opponent_;
    QString engineFailure_;
    // An observed game's end as its host announced it.
    QString announcedPanel_;
    QString announcedResult_;
    // The position the game being started begins from (empty: the initial one).
    QString startFen_;
};
