#pragma once
// The rules keeper of the board: the whole state of the game being shown
// (squares, side to move, castling rights, en passant square, move number,
// the history of positions reached), the rules of chess, the board's events
// and the control of its engine worker.
//
// TChessModel needs no display. The board widget TChessBrd owns one and
// publishes its interface; it learns what to repaint through TBoardViewHooks.
// Headless owners (tests, console tools) simply leave the hooks unset.
//
// A move is made in two steps: ApplyMove changes the position and returns
// what the move did (TMoveOutcome), touching neither the view nor any
// listener; DoMove then shows it on the view and raises the board's signals
// from that value, in their fixed order. Perft and anything that only walks
// the rules use the first step alone.
//
// What must stay true:
//  - every operation that changes the position calls StopThinking() first,
//    so no answer of a search of the old position is ever played; the
//    engine worker searches a copy and is never waited for;
//  - an illegal move, a malformed FEN or an out-of-range GotoMove changes
//    nothing and raises nothing; no input reaches outside the tables;
//  - events of one move fire in the fixed order documented at DoMove(),
//    once the whole move has been made (their listeners see the position
//    reached); ApplyMove raises nothing and draws nothing;
//  - the history holds every position from the first recorded one to the
//    last recorded one, each with its side to move; it grows with the game.

#include "ChessThread.h"
#include "Square.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QThread;

// Callbacks that answer the model (a signal cannot): the letter a pawn
// becomes, asked before the move is made; a custom engine's move.
using TPromotionChoice = std::function<void(Square oldSq, Square newSq, char& newPiece)>;
using TThinkEvent = std::function<void(Square& oldSq, Square& newSq)>;

// What the model asks of the view that draws it. All calls come on the UI thread.
class TBoardViewHooks {
public:
    virtual ~TBoardViewHooks() = default;
    virtual void RepaintSquare(Square s) = 0; // draw one square with its content
    virtual void EraseSquare(Square s) = 0;   // draw one square without its piece (a move starts)
    virtual void RepaintAll() = 0;            // full repaint of the control
    virtual void PaintGridLines() = 0;        // redraw the grid over the squares
    virtual bool AnimateMovesEnabled() const = 0;
    // Shows the piece now standing on to travelling there from from; called
    // once the move has been made, and returns at once.
    virtual void AnimateMove(Square from, Square to) = 0;
};

// Engine worker priority, as the host names it.
enum class TThreadPriority {
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical
};

// One history entry: a position reached, with its castling rights and en passant square.
// Its side to move is given by the slot it sits in. repetitionEp is the en passant
// square only when a legal en passant capture exists there, else None: two entries
// are the same position when squares, castling rights and repetitionEp agree.
struct MoveInfo {
    std::array<char, 64> squares{};
    CastleSet castling = 0;
    Square enPassant = Square::None;
    Square repetitionEp = Square::None;
    // The move that reached this position; None, None where the history starts.
    Square movedFrom = Square::None;
    Square movedTo = Square::None;
    char movedPiece = ' '; // the piece that made that move, as it stood on movedFrom
    bool recorded = false; // written since the game started
};

// What one legal move did to the position: everything its events tell.
struct TMoveOutcome {
    Square From = Square::None, To = Square::None; // as played (castling: the king's)
    char Piece = ' ';                              // the piece that moved, as it stood on From
    char Captured = ' ';                           // what stood on To, or a blank
    char Promoted = 0;                             // the letter placed on To (lower case), or 0
    char EnPassantPawn = 0;                        // the pawn taken en passant, or 0
    Square EnPassantTaken = Square::None;          // where that pawn stood
    Square RookFrom = Square::None, RookTo = Square::None; // the castling rook
    bool Check = false;            // a king stands attacked in the position reached
    bool CanMove = true;           // the side now to move has a legal move
    bool NoMatingMaterial = false; // both sides' material totals below 5
    bool Threefold = false;        // the position reached stands for the third time
    bool Castled() const { return RookFrom != Square::None; }
    bool Mate() const { return Check && !CanMove; }
    bool StaleMate() const { return !Check && !CanMove; }
    bool Draw() const { return StaleMate() || NoMatingMaterial || Threefold; }
};

class TChessModel : public QObject {
    Q_OBJECT
public:
    explicit TChessModel(QObject* parent = nullptr);
    ~TChessModel() override;

    TChessModel(const TChessModel&) = delete;
    TChessModel& operator=(const TChessModel&) = delete;

    static const char* const InitialPosition; // 64 characters

    // ---- position and its text forms ----
    QString Position() const;              // 64-character position string
    void SetPosition(const QString& text); // never rejects; see the rules of the text
    bool WhiteToMove() const { return whiteToMove_; }
    void SetWhiteToMove(bool white);
    CastleSet CastlingAllowed() const { return castling_; }
    void SetCastlingAllowed(CastleSet rights);
    Square EnPassant() const { return enPassant_; }
    void SetEnPassant(Square s); // only ranks 6 and 3 are accepted
    int CurrentMove() const { return currentMove_; }
    // Content of a square: a piece letter or a blank; blank for None.
    char PieceAt(Square s) const { return IsOnBoard(s) ? squares_[Ord(s)] : ' '; }
    // 1 White piece, 0 Black piece, -1 empty or None.
    int PieceColor(Square s) const;
    // The 65 board characters (None entry first) and a terminating NUL.
    const char* Squares() const { return squares_.data(); }

    // The move that reached the position on the board, as played (for castling
    // the king's squares). None, None where the history starts and after
    // Position was written; GotoMove brings back the move of the entry it goes to.
    Square LastMoveFrom() const { return lastFrom_; }
    Square LastMoveTo() const { return lastTo_; }
    // The piece that made that move, as it stood before it (a promoted
    // pawn's "P"); a blank where no move led to the position.
    char LastMovedPiece() const { return lastPiece_; }

    // Forsyth-Edwards Notation of the whole state.
    QString Fen() const;
    // Half-moves since the last capture or pawn move: counted back through
    // the history, plus the clock the history started with (a FEN's).
    int HalfMoveClock() const;
    // Sets squares, side, castling, en passant and move number and starts a
    // fresh history there. A malformed text changes nothing: false and a
    // readable reason in *error.
    bool SetFen(const QString& fen, QString* error = nullptr);

    // ---- history ----
    void NewGame(); // ResetPosition, then a full repaint
    // Initial position, White to move, move 1, all rights; the history starts
    // over there (its first entry is recorded at once). No repaint.
    void ResetPosition();
    // Back (or forward) to a recorded position between the first and the last
    // recorded one; repaints the squares that change. No events, no engine restart.
    bool GotoMove(int moveNumber, bool whiteToMove);
    bool TakeBack();       // one half-move back through GotoMove
    void RecordPosition(); // writes the entry (CurrentMove, side to move)

    // ---- rules ----
    bool IsLegalMove(Square oldSq, Square newSq) const;
    // The public way to play a move: StopThinking, DoMove, clear the engine
    // stop mark, RequestComputerMove. Returns what DoMove returned.
    bool Move(Square oldSq, Square newSq);
    // Plays a legal move; false and no effect (but the game-over mark cleared)
    // otherwise. A promotion's letter is asked of PromotionChoice first
    // (offered PromotionLetter(), and kept as the next one offered). Then the
    // move is made whole (ApplyMove), shown on the view (from erased, the
    // pieces that changed repainted, the move animated unless it is the drop
    // just made) and announced: OnLegalMove, OnCapture (a piece was on to),
    // OnPromotion (the letter placed), OnCapture for a pawn taken en passant,
    // OnCastle, OnCheck and OnMate or OnStaleMate, OnNoMatingMaterial,
    // OnThreefoldPosition, OnDraw (any of the three draws), OnPaint. The
    // game-over mark is set just before OnMate or OnDraw, and only when that
    // signal has a listener.
    bool DoMove(Square oldSq, Square newSq);
    // The rules' half of a move: plays a legal move (promoting to letter:
    // q, r, b or n, anything else a queen) on the squares, side, move number,
    // castling rights, en passant square and history, and returns what it
    // did. No view, no signal, no engine stop, the promotion letter kept.
    // Nothing when the move is illegal.
    std::optional<TMoveOutcome> ApplyMove(Square oldSq, Square newSq, char letter);
    bool HasLegalMove() const; // false as well once the position is repeated
    // The current history entry equals two earlier entries with the same side
    // to move (squares, castling rights, an en passant capture really possible).
    bool IsThreefoldRepetition() const;
    // Whether that colour's king would be attacked with the piece on oldSq
    // moved to newSq (a pawn taken en passant leaves the board too); with
    // oldSq == newSq, whether it is attacked now. No king: false.
    bool KingAttackedAfter(int colour, Square oldSq, Square newSq) const;
    bool GameOverMark() const { return gameOver_; }
    // Letter offered first to OnPromotion, kept in lower case; "q" at creation.
    // Only q, r, b and n (either case) are taken; anything else leaves it unchanged.
    char PromotionLetter() const { return promotionLetter_; }
    void SetPromotionLetter(char c);

    // Leaf count of the move tree depth plies deep (perft), played with
    // IsLegalMove, ApplyMove and a silent step back; a promotion counts once
    // per piece. Nothing is shown or raised; the position, the history
    // markers and the promotion letter are as before afterwards.
    std::uint64_t Perft(int depth);

    // Drag and drop bookkeeping of the view: a move that matches the last
    // drop is not animated.
    void SetDragSource(Square s) { dragSource_ = s; }
    void SetDropTarget(Square s) { dropTarget_ = s; }
    Square DragSource() const { return dragSource_; }
    Square DropTarget() const { return dropTarget_; }

    void SetViewHooks(TBoardViewHooks* view) { view_ = view; }

    // ---- callbacks (an unassigned one is skipped) ----
    // Asked for a promotion's letter before the move is made.
    TPromotionChoice PromotionChoice;
    // A custom engine's move for the side to move (both None: none).
    TThinkEvent OnCalculateMove;

signals:
    // ---- the board's events, raised by DoMove in this order ----
    void OnLegalMove(Square oldSq, Square newSq);
    void OnCapture(Square oldSq, Square newSq, char capturedPiece);
    void OnPromotion(Square oldSq, Square newSq, char newPiece); // the letter placed
    void OnCastle(Square oldSq, Square newSq);
    void OnCheck(Square oldSq, Square newSq);
    void OnMate(Square oldSq, Square newSq);
    void OnStaleMate(Square oldSq, Square newSq);
    void OnNoMatingMaterial();
    void OnThreefoldPosition();
    void OnDraw();
    // At the end of every move, and (raised by the board widget) at the
    // start of every paint.
    void OnPaint();
    // A custom engine's move the board refused.
    void OnCalculationFailed(Square oldSq, Square newSq);

public:
    // ---- engine control ----
    // Ends the current search: its answer, whenever it comes, is dropped.
    // Never waits for the worker.
    void StopThinking();
    // Starts a search when the computer plays the side to move (the built-in
    // engine; a search under way is superseded), or asks the host
    // (CustomEngine).
    void RequestComputerMove();
    // The message hook: the view calls it after each event it handles (a
    // headless owner when it likes). It takes up a computer move nobody
    // asked for: after a host's DoMove, or a custom engine's failed answer.
    void MessageHook();

    bool ComputerPlaysWhite() const { return computerWhite_; }
    void SetComputerPlaysWhite(bool on);
    bool ComputerPlaysBlack() const { return computerBlack_; }
    void SetComputerPlaysBlack(bool on);
    int SearchDepth() const { return searchDepth_; }
    // The engine's level, 1..8 (EngineLevel.h; level n searches n plies).
    void SetSearchDepth(int depth); // kept within 1..8
    TThreadPriority ThinkingPriority() const { return priority_; }
    void SetThinkingPriority(TThreadPriority p);
    bool CustomEngine() const { return customEngine_; }
    void SetCustomEngine(bool on) { customEngine_ = on; }
    // A search of the built-in engine is current: its move is still to come.
    bool Thinking() const { return searchId_ != 0; }
    bool EngineStopMark() const { return engineStopped_; }

private:
    bool PieceMayMove(int from, int to) const; // movement rule of the piece on from
    bool CastlingMayMove(int from, int to) const;
    // IsLegalMove without the range, side and repetition tests.
    bool MoveAllowed(int from, int to) const;
    bool AnyLegalMove() const;          // HasLegalMove without the repetition rule
    Square CapturableEnPassant() const; // EnPassant when a legal capture there exists
    static bool KingAttacked(const char* squares, int colour);
    // ApplyMove without the legality test.
    TMoveOutcome ApplyLegalMove(int from, int to, char letter);
    // The letter the pawn of a promotion becomes: PromotionChoice's, kept.
    char ChosenPromotion(Square oldSq, Square newSq);
    // The view's part of a move made, then its signals in their order.
    void ShowMove(const TMoveOutcome& move);
    void AnnounceMove(const TMoveOutcome& move);
    // GotoMove's change of the state, without the engine stop and the view.
    bool RestoreEntry(int moveNumber, bool whiteToMove);
    static bool SameEntry(const MoveInfo& a, const MoveInfo& b);
    // The history starts over at the current position, its first and last entry.
    void StartHistory();
    MoveInfo& Entry(int moveNumber, bool whiteToMove);
    const MoveInfo* FindEntry(int moveNumber, bool whiteToMove) const;
    void RepaintSquare(Square s);
    void PaintGridLines();
    std::uint64_t PerftFrom(int depth);
    // Engine worker disposal (start of the destructor); it lives with the
    // engine control. The worker's thread starts at the first search.
    void ShutDownEngine();
    void StartSearch();
    // The worker's answer, on the board's thread.
    void EngineMoveFound(quint64 id, TEngineMove move);
    // What the search of the position on the board would be handed.
    TEngineJob SearchJob() const;

    // game state
    int currentMove_ = 1;
    Square enPassant_ = Square::None;
    std::array<char, 66> squares_{}; // None..H1 and a NUL
    CastleSet castling_ = AllCastling;
    bool whiteToMove_ = true;
    int firstMove_ = 1, lastMove_ = 1;
    bool firstWhite_ = true, lastWhite_ = true;
    int historyBase_ = 1;    // move number of history_ row 0
    int startHalfMoves_ = 0; // the half-move clock at the first history entry
    std::vector<std::array<MoveInfo, 2>>
        history_; // row n - historyBase_: [0] White to move, [1] Black

    bool gameOver_ = false;
    char promotionLetter_ = 'q';
    Square dragSource_ = Square::None;
    Square dropTarget_ = Square::None;
    Square lastFrom_ = Square::None, lastTo_ = Square::None;
    char lastPiece_ = ' ';
    TBoardViewHooks* view_ = nullptr;

    // engine control
    bool engineStopped_ = true;
    // Set by StopThinking, cleared by RequestComputerMove: after a stop the
    // engine does not go on by itself.
    bool engineAborted_ = true;
    bool askingHost_ = false; // OnCalculateMove is running
    bool computerWhite_ = false;
    bool computerBlack_ = false;
    int searchDepth_ = 1;
    TThreadPriority priority_ = TThreadPriority::tpNormal;
    bool customEngine_ = false;
    QThread* engineThread_ = nullptr; // started at the first search
    TChessThread* worker_ = nullptr;  // lives on engineThread_
    quint64 searchId_ = 0;            // the current search; 0 none
    quint64 lastSearchId_ = 0;
    std::shared_ptr<std::atomic<bool>> searchStop_; // the current search's stop flag
    // The position of the last search, and whether it ended without a move
    // played: the message hook does not search that position again.
    TEngineJob lastJob_;
    bool lastSearchFruitless_ = false;
};
