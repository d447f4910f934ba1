#pragma once
// The built-in engine's board, move generator and search, without any thread.
//
// TEngineSearch keeps its own board (a colour and a piece code per square,
// walked through a 10 x 12 mailbox), generates pseudo-legal moves into one
// fixed move list, makes and takes them back against an undo stack, and runs
// an iterative-deepening alpha-beta search with a quiescence search, a
// history heuristic and principal-variation ordering. The static evaluation
// lives in EngineEval.cpp.
//
// Engine squares run 0 (a8) ... 63 (h1), the order of Square minus one, so
// White moves towards lower numbers. Colours: 0 White, 1 Black, 6 empty.
// Piece codes: 0 pawn, 1 knight, 2 bishop, 3 rook, 4 queen, 5 king, 6 empty.
//
// What must stay true:
//  - nothing is allocated once the object exists; every table is a fixed
//    array inside it, so one object serves one search at a time and several
//    objects may search side by side in different threads;
//  - ply never reaches MaxPly and the move list never passes MoveStack
//    entries, whatever position was loaded (odd positions are guarded, not
//    trusted);
//  - after a finished Think, Go, Perft or a balanced MakeMove/TakeBackMove
//    pair, the board is exactly as it was loaded;
//  - a Go with a depth only searches exactly as Think(depth): the same nodes
//    in the same order (the suite's "Bench" count); node limits and root
//    noise change nothing else;
//  - after Go, the PV is that of the deepest iteration that finished, never
//    half a line of a stopped one.

#include <atomic>
#include <cstdint>

// One move of the engine: squares, promotion piece and kind, four bytes.
struct TEngineMove {
    std::uint8_t from = 0;
    std::uint8_t to = 0;
    std::uint8_t promote = 0; // piece code of a promotion, else 0
    std::uint8_t bits = 0;    // the Flag* bits below

    // The null move (from and to alike) stands for "no move".
    bool IsNull() const { return from == to; }
    bool operator==(const TEngineMove&) const = default;
};

// What one search may spend and how freely it chooses: the limits of a
// level (see EngineLevel.h) or of a UCI "go". A search with only a depth is
// exactly Think(depth).
struct TSearchLimits {
    int depth = 1;               // deepest iteration, 1 .. MaxDepth
    std::uint64_t nodes = 0;     // stop once this many nodes are searched; 0: no limit
    int rootNoise = 0;           // each root move's score gets a bonus of 0 .. rootNoise
    std::uint32_t noiseSeed = 0; // chooses the bonuses (fixed for the whole search)
};

class TEngineSearch;

// Told by the searching thread how a search goes.
class TSearchListener {
public:
    virtual ~TSearchListener() = default;
    // An iteration finished: its depth and score; the search's PV and node
    // count are those of this iteration.
    virtual void IterationDone(const TEngineSearch& search, int depth, int score) = 0;
    // Whether to start the iteration of that depth (a clock's soft limit).
    virtual bool StartIteration(int depth) {
        (void)depth;
        return true;
    }
};

// A move in the move list with the score that orders it.
struct TEngineMoveEntry {
    TEngineMove m;
    std::int32_t score = 0; // ordering score: PV, then captures and promotions, then history
};

class TEngineSearch {
public:
    static constexpr int White = 0, Black = 1, Empty = 6;
    static constexpr int Pawn = 0, Knight = 1, Bishop = 2, Rook = 3, Queen = 4, King = 5;
    static constexpr int MaxPly = 64;
    static constexpr int MoveStack = 4096;
    // Moves that leave no room for the next ply's list are not searched deeper.
    static constexpr int MoveRoom = 320;
    static constexpr int FlagCapture = 1, FlagCastle = 2, FlagEnPassant = 4, FlagPawnDouble = 8,
                         FlagPawn = 16, FlagPromote = 32;
    static constexpr int Infinity = 10000; // root window; a mate at ply n scores -Infinity + n
    // Window, and mate score base, of the second root search of a position
    // evaluated beyond the root window (material alone stays below 40 000).
    static constexpr int WideWindow = 1000000;
    // Deepest iteration a search may ask for (check extensions need the rest of MaxPly).
    static constexpr int MaxDepth = 40;

    TEngineSearch();
    TEngineSearch(const TEngineSearch&) = delete;
    TEngineSearch& operator=(const TEngineSearch&) = delete;

    // ---- position ----
    // Loads the board from 64 board characters (a8 ... h1; "PNBRQK" White,
    // "pnbrqk" Black, anything else empty). Castling rights are kept only where
    // the king and the rook stand on their home squares; the en passant square
    // (engine square, -1 for none) only when it lies behind an enemy pawn that
    // has just made its double step, so the engine never plans a move the board
    // would refuse and never puts back a pawn that was not there.
    void Load(const char* squares64, bool whiteToMove, int castleRights, int epSquare);
    // Loads the first four fields of a FEN text; false (board unchanged) when malformed.
    bool LoadFen(const char* fen);

    int Side() const { return side_; }
    int Castle() const { return castle_; }
    int EpSquare() const { return ep_; }
    int Ply() const { return ply_; }
    int ColourAt(int sq) const { return colour_[sq]; }
    int PieceAt(int sq) const { return piece_[sq]; }

    // ---- moves ----
    // Pseudo-legal moves of the side to move, appended as this ply's range of the move list.
    void Generate();
    // Captures, promotions by a pawn step and en passant captures only.
    void GenerateCaptures();
    // Plays a move; refuses (false, nothing changed) a castling through check
    // or a move that leaves the mover's king attacked.
    bool MakeMove(TEngineMove m);
    void TakeBackMove();
    bool InCheck(int colour) const;
    bool Attacked(int sq, int byColour) const;
    const TEngineMoveEntry* MovesBegin() const { return moveList_ + firstMove_[ply_]; }
    const TEngineMoveEntry* MovesEnd() const { return moveList_ + firstMove_[ply_ + 1]; }

    // Leaf count of the tree depth plies deep, played with Generate, MakeMove
    // and TakeBackMove; a promotion counts once per piece.
    std::uint64_t Perft(int depth);

    // ---- search ----
    // A search stops as soon as *flag is true (checked at every node);
    // nullptr means it is never stopped.
    void SetAbortFlag(const std::atomic<bool>* flag) { abort_ = flag; }
    // One complete search of the loaded position, iterative deepening from 1
    // to depth plies. True with the best move in *best and its score when a
    // legal move exists; false when there is none or the search was stopped.
    bool Think(int depth, TEngineMove* best = nullptr, int* score = nullptr);
    // A search within limits. Stopped (abort flag or node limit) after its
    // first iteration, it still answers with the move of the deepest
    // iteration that finished; stopped before, with the first legal move.
    // False only when there is no legal move. The listener may be null.
    bool Go(const TSearchLimits& limits, TSearchListener* listener, TEngineMove* best,
            int* score = nullptr);
    // Moves to mate of a score of the last finished iteration: n > 0 the side
    // to move mates in n, n < 0 it is mated in -n, 0 no mate seen.
    int MateIn(int score) const;
    // Search and Quiesce calls of the last Think.
    std::uint64_t Nodes() const { return nodes_; }
    // Principal variation of the root after the last Think or Go; during a
    // Go, in IterationDone, the line of the iteration just finished.
    int PvLength() const { return pvLength_[0]; }
    TEngineMove PvMove(int i) const { return pv_[0][i]; }

    // ---- evaluation (EngineEval.cpp) ----
    // Rebuilds the piece-square values from the material and the kings'
    // files of the board as it stands; Think calls it once at the root.
    void InitEvaluation();
    // Score of the board for the side to move, with the values of the last InitEvaluation.
    int Evaluate() const;
    // The piece-square value (material included) InitEvaluation gave that piece there.
    int PieceSquareValue(int colour, int piece, int sq) const {
        return pieceSquare_[colour][piece][sq];
    }

private:
    struct Undo {
        TEngineMove m;
        std::uint8_t capture;
        std::uint8_t castle;
        std::int8_t ep;
    };

    void AddMove(int from, int to, int bits);
    void AddPromotions(int from, int to, int bits);
    void GenerateEnPassant();
    void GeneratePieceMoves(int sq, int piece, bool capturesOnly);
    // The moves of the side's pieces and pawns, without castling and en passant.
    void GenerateOwnMoves(bool capturesOnly);
    int Search(int alpha, int beta, int depth);
    int Quiesce(int alpha, int beta);
    void SortPV();
    void PickMove(int i);
    void UpdatePv(const TEngineMove& m);
    bool Aborted() const {
        return nodes_ >= nodeLimit_ || (abort_ && abort_->load(std::memory_order_relaxed));
    }
    // Iterative deepening; false when stopped before the first iteration finished.
    bool Deepen(const TSearchLimits& limits, TSearchListener* listener, int* result);
    // The bonus of a root move under the search's noise.
    int RootBonus(const TEngineMove& m) const;
    // The root of a search with noise: each move searched with a window
    // whose floor is the best so far less the move's bonus; the best score
    // plus bonus chosen.
    int SearchNoisyRoot(int alpha, int beta, int depth);
    int KingSquare(int colour) const;
    void Put(int sq, int colour, int piece);
    void Clear(int sq);
    void MovePiece(int from, int to);
    // Rebuilds the running terms from the board (EngineEval.cpp).
    void RecountBoardTerms();
    // Whether a slider of colour by now reaches king through the line from king across from.
    bool LineOpened(int king, int from, int by) const;
    void FindKings();

    // evaluation data (EngineEval.cpp); pieceSquare_ has a row for "empty"
    // so that the running sums never need a test for it.
    std::int32_t pieceSquare_[2][7][64];
    // Running terms of the board: piece-square sums, pawns per file (index 1
    // is the a-file, 0 and 9 stay empty), the squares of each piece code per
    // colour and of each colour (bit n for engine square n).
    std::int32_t psq_[2] = {0, 0};
    std::int32_t pawnsOnFile_[2][10];
    std::uint64_t pieceBits_[2][6];
    std::uint64_t colourBits_[2] = {0, 0};

    // board
    std::uint8_t colour_[64];
    std::uint8_t piece_[64];
    int side_ = White, xside_ = Black;
    int castle_ = 0;
    int ep_ = -1;
    int ply_ = 0;
    // King square per colour, -1 for none; kept up to date by MakeMove and
    // TakeBackMove. With more than one king of a colour on the board
    // (possible through a position text) the first one is searched instead.
    int kingSq_[2] = {-1, -1};
    bool manyKings_ = false;
    // Per ply: whether the side to move is in check there (1, 0), -1 not known yet.
    std::int8_t checkCache_[MaxPly + 1];

    TEngineMoveEntry moveList_[MoveStack];
    int firstMove_[MaxPly + 1];
    std::int32_t history_[64][64];
    Undo undo_[MaxPly];
    TEngineMove pv_[MaxPly][MaxPly];
    int pvLength_[MaxPly];
    bool followPv_ = false;
    int mateBase_ = Infinity;  // a mate at ply n scores -mateBase_ + n
    int previousPvLength_ = 0; // length of the line SortPV follows
    std::uint64_t nodes_ = 0;
    std::uint64_t nodeLimit_ = UINT64_MAX;
    int rootNoise_ = 0;
    std::uint32_t noiseSeed_ = 0;
    int lastMateBase_ = Infinity; // mate base of the last finished iteration
    // The line of the deepest finished iteration of the last Go.
    TEngineMove bestLine_[MaxPly];
    int bestLineLength_ = 0;
    const std::atomic<bool>* abort_ = nullptr;
};
