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
// promoteTo, when set, is the letter the promotion choice hands back;
// offered is the letter the board offered it last.
struct EventLog {
    QStringList lines;
    char promoteTo = 0;
    char offered = 0;

    void Attach(TChessModel& b) {
        auto move = [this](const char* name) {
            return [this, name](Square a, Square c) {
                lines << QStringLiteral("%1 %2").arg(QLatin1String(name), MoveText(a, c));
            };
        };
        auto note = [this](const char* name) {
            return [this, name] { lines << QLatin1String(name); };
        };
        QObject::connect(&b, &TChessModel::OnLegalMove, move("LegalMove"));
        QObject::connect(&b, &TChessModel::OnCastle, move("Castle"));
        QObject::connect(&b, &TChessModel::OnCheck, move("Check"));
        QObject::connect(&b, &TChessModel::OnMate, move("Mate"));
        QObject::connect(&b, &TChessModel::OnStaleMate, move("StaleMate"));
        QObject::connect(&b, &TChessModel::OnCapture, [this](Square a, Square c, char piece) {
            lines << QStringLiteral("Capture %1 %2").arg(MoveText(a, c), QChar::fromLatin1(piece));
        });
        QObject::connect(&b, &TChessModel::OnPromotion, [this](Square a, Square c, char piece) {
            lines
                << QStringLiteral("Promotion %1 %2").arg(MoveText(a, c), QChar::fromLatin1(piece));
        });
        b.PromotionChoice = [this](Square, Square, char& piece) {
            offered = piece;
            if (promoteTo) piece = promoteTo;
        };
        QObject::connect(&b, &TChessModel::OnNoMatingMaterial, note("NoMatingMaterial"));
        QObject::connect(&b, &TChessModel::OnThreefoldPosition, note("ThreefoldPosition"));
        QObject::connect(&b, &TChessModel::OnDraw, note("Draw"));
        QObject::connect(&b, &TChessModel::OnPaint, note("Paint"));
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
