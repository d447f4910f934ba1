// Moves: the board's events after each move, whoever made it, received and
// replayed moves, taking moves back.

#include "GameController.h"

#include "ChessModel.h"

#include <algorithm>

namespace {
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

// The record's text of a move: the piece's letter, both squares; castling
// as "O-O" / "O-O-O".
QString MoveText(QChar piece, Square oldSq, Square newSq) {
    const QString text = QString(piece) + SquareToText(oldSq) + SquareToText(newSq);
    if (text == u"Ke1g1" || text == u"Ke8g8") return QStringLiteral("O-O");
    if (text == u"Ke1c1" || text == u"Ke8c8") return QStringLiteral("O-O-O");
    return text;
}
} // namespace

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

void TGameController::TellMove(Square oldSq, Square newSq) {
    const TMovimiento move = MoveRecord(oldSq, newSq);
    white_->MovePlayed(move, move.WhiteMoved);
    black_->MovePlayed(move, !move.WhiteMoved);
    // A numbered move's letter went with its message; elsewhere the user's
    // last choice stays for the engine's next promotion.
    if (white_->NumbersMoves() || black_->NumbersMoves()) {
        ++moveSerial_;
        promotionPiece_ = u'*';
    }
}

void TGameController::FBoardLegalMove(Square oldSq, Square newSq) {
    beforeMoves_.push_back(
        {record_, caption_, captured_, moveSerial_, checkPending_, checkSquare_});
    OnMovePlayed(oldSq, newSq);
    MeteRuido("mover");
    const bool whiteToMove = model_.WhiteToMove();
    const TGamePlayer& next = PlayerOf(whiteToMove);
    SetCommands(newGameAllowed_, next.OwnSeat(), resignAllowed_);

    const QChar piece = QChar::fromLatin1(model_.LastMovedPiece()).toUpper();
    if (piece == u'R' && checkPending_) {
        MeteRuido(newSq == checkSquare_ ? "nojaque" : "cobarde");
        checkPending_ = false;
    }
    // A pawn on the last rank is told of once it has become its piece.
    pendingPromotion_ = piece == u'P' && (RankOf(newSq) == 8 || RankOf(newSq) == 1);
    WriteMove(MoveText(piece, oldSq, newSq), whiteToMove);
    if (IsPlayed()) (whiteToMove ? clockW_ : clockB_).Start();
    (whiteToMove ? clockB_ : clockW_).Stop();
    turn_ = whiteToMove ? TTurn::White : TTurn::Black;
    SetTurnPanel(turn_);
    SetLocalMayMove(next.AtThisBoard());
    if (!pendingPromotion_) TellMove(oldSq, newSq);
}

void TGameController::WriteMove(const QString& moveText, bool whiteToMove) {
    if (!whiteToMove) {
        const QString line = QString::number(model_.CurrentMove()) + u'.' + moveText;
        if (IsPlayed()) AddRecordLine(line);
        SetCaption(line);
        return;
    }
    // Black's move joins White's line; a game begun from a position with
    // Black to move has none yet, and Black's move gets a line of its own.
    const bool ownLine = record_.isEmpty() || record_.last().startsWith(u'{');
    if (ownLine) {
        const QString line =
            QString::number(model_.CurrentMove() - 1) + QStringLiteral("... ") + moveText;
        if (IsPlayed()) AddRecordLine(line);
        SetCaption(line);
    } else {
        if (IsPlayed()) AppendToLastRecordLine(u' ' + moveText);
        SetCaption(caption_ + u' ' + moveText);
    }
}

void TGameController::ApplyRemoteMove(const QString& text) {
    // Only a side whose moves come from outside takes them: a network
    // game's opponent or an observed game's players while the game is in
    // progress, a replay at any time. One that crossed the end of the game
    // on its way (the opponent moved while this side resigned, agreed a draw
    // or ran out of time) would start the clocks of the finished game again;
    // one of the last opponent, or of the host's game to a former observer,
    // arriving during a game at this board would be played in it.
    if (!PlayerOf(model_.WhiteToMove()).TakesOutsideMoves(turn_ != TTurn::None)) return;
    if (text.size() == 5) promotionPiece_ = text.at(4).toUpper();
    if (text.size() != 4 && text.size() != 5) return;
    // A refused move leaves the local user's permission as it was: it is
    // still the sender's turn, and the user must not move its pieces.
    if (const std::optional<TMoveSquares> move = ParseMoveText(text))
        model_.Move(move->From, move->To);
    else if (network_)
        network_->LogPlainLine(
            OneLine(QStringLiteral("*Error 53: ") + text.left(4).toUpper() + u'*'));
}

bool TGameController::ReceiveMove(const TMovimiento& move) {
    // Checked against the game in progress before anything changes: a move
    // of a finished game, of a side that does not play over the network or
    // not legal here moves no clock.
    if (turn_ == TTurn::None || !PlayerOf(model_.WhiteToMove()).PlaysOverNetwork()) return false;
    const QString text = move.Move;
    if (text.size() != 4) return false;
    const std::optional<TMoveSquares> squares = ParseMoveText(text);
    if (!squares) {
        ApplyRemoteMove(text); // its error line
        return false;
    }
    if (move.WhiteMoved != model_.WhiteToMove() || !model_.IsLegalMove(squares->From, squares->To))
        return false;
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

char TGameController::ChoosePromotion(char offered) {
    // Asked before the move: the side to move promotes.
    if (PlayerOf(model_.WhiteToMove()).AtThisBoard()) {
        // The local player chose the piece before the move was played (the
        // board's chooser, or the letter kept from the last choice): it is
        // the letter the board offers.
        const int pos = QStringLiteral("qrbn").indexOf(QChar::fromLatin1(offered).toLower());
        promotionPiece_ = pos < 0 ? QChar(u'Q') : QStringLiteral("QRBN").at(pos);
    }
    const QChar letter = promotionPiece_.toUpper();
    return QStringLiteral("QRNB").contains(letter) ? letter.toLatin1() : 'Q';
}

void TGameController::FBoardPromotion(Square oldSq, Square newSq, char newPiece) {
    // The record names the piece the pawn became ("=Q" when no letter was chosen).
    const QString mark = u'=' + QString(QChar::fromLatin1(newPiece).toUpper());
    if (IsPlayed()) AppendToLastRecordLine(mark);
    SetCaption(caption_ + mark);
    pendingPromotion_ = false;
    TellMove(oldSq, newSq);
}

void TGameController::FBoardCapture(Square, Square, char captured) {
    const int index = CapturedIndex(captured);
    if (index < 0) return;
    const bool white = captured >= 'A' && captured <= 'Z';
    int& count = white ? captured_.White[index] : captured_.Black[index];
    if (count >= TCapturedPieces::Most[index]) return;
    ++count;
    OnCapturedChanged();
}

void TGameController::FBoardCastle() {
    MeteRuido("enroque");
}

void TGameController::FBoardCheck(Square, Square newSq) {
    checkSquare_ = newSq;
    checkPending_ = true;
    if (IsPlayed()) AppendToLastRecordLine(QStringLiteral("+"));
    MeteRuido("jaque");
}

void TGameController::FBoardMate() {
    if (IsPlayed()) AppendToLastRecordLine(QStringLiteral("+"));
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
    return turn_ != TTurn::None && white_->TakesBackMoves() && black_->TakesBackMoves() &&
           !beforeMoves_.empty();
}

bool TGameController::TakeBack() {
    // Not from inside a move's own events (a key pressed while its mate
    // message is open).
    if (!TakeBackAllowed()) return false;
    // The engine is stopped first and given its side back only once the
    // position, the record and the turn are whole again: it never searches
    // a half-restored game, and a move it finds for the position taken back
    // is dropped.
    const bool engineWhite = !white_->AtThisBoard();
    const bool engineBlack = !black_->AtThisBoard();
    if (engineWhite) white_->Unseat();
    if (engineBlack) black_->Unseat();
    if (!TakeBackAllowed()) return false; // that move ended the game
    // Against the engine the user gets the move back: the engine's reply
    // and the user's move go, or the user's move alone while the engine is
    // still thinking.
    const bool engineToMove = model_.WhiteToMove() ? engineWhite : engineBlack;
    int plies = 1;
    if ((engineWhite || engineBlack) && !engineToMove && beforeMoves_.size() >= 2) plies = 2;
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
    OnRecordChanged();
    OnCapturedChanged();
    caption_ = before.Caption;
    SetTitle(caption_.isEmpty() ? MainTitle() : caption_);
    const bool white = model_.WhiteToMove();
    turn_ = white ? TTurn::White : TTurn::Black;
    SetTurnPanel(turn_);
    (white ? clockW_ : clockB_).Start();
    (white ? clockB_ : clockW_).Stop();
    SetLocalMayMove(PlayerOf(white).AtThisBoard());
    SetCommands(false, PlayerOf(white).OwnSeat(), resignAllowed_);
    if (engineWhite) white_->Seat(true, false);
    if (engineBlack) black_->Seat(false, false);
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
