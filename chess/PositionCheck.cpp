#include "PositionCheck.h"

#include "ChessModel.h"

namespace {

bool Refuse(QString* reason, const QString& why) {
    if (reason) *reason = why;
    return false;
}

} // namespace

bool IsPlayablePosition(const TChessModel& model, QString* reason) {
    int kings[2] = {0, 0}, pieces[2] = {0, 0}, pawns[2] = {0, 0};
    bool pawnOnEdge = false;
    for (int i = 1; i <= 64; ++i) {
        const Square s = ToSquare(i);
        const int colour = model.PieceColor(s);
        if (colour < 0) continue;
        const char letter = model.PieceAt(s);
        ++pieces[colour];
        if (letter == 'K' || letter == 'k') ++kings[colour];
        if (letter == 'P' || letter == 'p') {
            ++pawns[colour];
            if (RankOf(s) == 1 || RankOf(s) == 8) pawnOnEdge = true;
        }
    }
    if (kings[0] != 1 || kings[1] != 1)
        return Refuse(reason, QStringLiteral("Cada bando debe tener exactamente un rey"));
    if (pieces[0] > 16 || pieces[1] > 16)
        return Refuse(reason, QStringLiteral("Un bando tiene más de 16 piezas"));
    if (pawns[0] > 8 || pawns[1] > 8)
        return Refuse(reason, QStringLiteral("Un bando tiene más de 8 peones"));
    if (pawnOnEdge)
        return Refuse(reason, QStringLiteral("Hay un peón en la primera o en la octava fila"));
    // With both squares the same, KingAttackedAfter asks about the position as it stands.
    const int waiting = model.WhiteToMove() ? 0 : 1;
    if (model.KingAttackedAfter(waiting, Square::A8, Square::A8))
        return Refuse(reason, QStringLiteral("El bando que no mueve está en jaque"));
    if (reason) reason->clear();
    return true;
}

bool IsPlayableFen(const QString& fen, QString* reason) {
    TChessModel scratch;
    QString why;
    if (!scratch.SetFen(fen, &why)) return Refuse(reason, QStringLiteral("FEN no válido: ") + why);
    return IsPlayablePosition(scratch, reason);
}
