#pragma once
// Helpers shared by the board rules tests: playing a move list and recording
// the board's events as text lines.

#include "ChessModel.h"

#include <QStringList>

#include <memory>
#include <utility>

// Plays space-separated moves ("e2e4 e7e5") with Move; false at the first refused one.
inline bool PlayMoves(TChessModel& board, const QString& moves) {
    for (const QString& m : moves.split(u' ', Qt::SkipEmptyParts))
        if (m.size() != 4 || !board.Move(TextToSquare(m.left(2)), TextToSquare(m.mid(2))))
            return false;
    return true;
}

inline QString MoveText(Square a, Square b) {
    return SquareToText(a) + SquareToText(b);
}

// Every event of the board as one line: "LegalMove e4d5", "Capture e4d5 p", "Draw" ...
// promoteTo, when set, is the letter the promotion handler hands back.
struct EventLog {
    QStringList lines;
    char promoteTo = 0;

    void Attach(TChessModel& b) {
        auto move = [this](const char* name) {
            return [this, name](Square a, Square c) {
                lines << QStringLiteral("%1 %2").arg(QLatin1String(name), MoveText(a, c));
            };
        };
        auto note = [this](const char* name) {
            return [this, name] { lines << QLatin1String(name); };
        };
        b.OnLegalMove = move("LegalMove");
        b.OnCastle = move("Castle");
        b.OnCheck = move("Check");
        b.OnMate = move("Mate");
        b.OnStaleMate = move("StaleMate");
        b.OnCapture = [this](Square a, Square c, char piece) {
            lines << QStringLiteral("Capture %1 %2").arg(MoveText(a, c), QChar::fromLatin1(piece));
        };
        b.OnPromotion = [this](Square a, Square c, char& piece) {
            lines
                << QStringLiteral("Promotion %1 %2").arg(MoveText(a, c), QChar::fromLatin1(piece));
            if (promoteTo) piece = promoteTo;
        };
        b.OnNoMatingMaterial = note("NoMatingMaterial");
        b.OnThreefoldPosition = note("ThreefoldPosition");
        b.OnDraw = note("Draw");
        b.OnPaint = note("Paint");
    }
    QStringList Take() { return std::exchange(lines, {}); }
};

inline std::unique_ptr<TChessModel> BoardFromFen(const char* fen) {
    auto b = std::make_unique<TChessModel>();
    QString error;
    if (!b->SetFen(QString::fromLatin1(fen), &error))
        qFatal("bad test FEN %s: %s", fen, qPrintable(error));
    return b;
}
