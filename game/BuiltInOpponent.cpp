#include "BuiltInOpponent.h"

#include "ChessModel.h"
#include "GameController.h"

QString TBuiltInOpponent::Name() const {
    return QString::fromLatin1(TGameController::ComputerName);
}

int TBuiltInOpponent::Elo() const {
    return game_.ComputerElo();
}

QString TBuiltInOpponent::RecordNote() const {
    return QStringLiteral("{Nivel de ") + Name() + QStringLiteral(": ") +
           QString::number(game_.EngineDepth()) + u'}';
}

void TBuiltInOpponent::TakeSeat(bool white, bool) {
    TChessModel& model = game_.Model();
    model.SetSearchDepth(game_.EngineDepth());
    model.SetCustomEngine(false);
    if (white)
        model.SetComputerPlaysWhite(true);
    else
        model.SetComputerPlaysBlack(true);
}

void TBuiltInOpponent::LeaveSeat() {
    TChessModel& model = game_.Model();
    if (model.ComputerPlaysWhite()) model.SetComputerPlaysWhite(false);
    if (model.ComputerPlaysBlack()) model.SetComputerPlaysBlack(false);
}
