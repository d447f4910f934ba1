#include "Square.h"

Square TextToSquare(const QString& text) {
    if (text.size() != 2) return Square::None;
    const char16_t f = text.at(0).toLower().unicode();
    const char16_t r = text.at(1).unicode();
    if (f < u'a' || f > u'h' || r < u'1' || r > u'8') return Square::None;
    return SquareOf(f - u'a' + 1, r - u'0');
}

QString SquareToText(Square s) {
    if (!IsOnBoard(s)) return QStringLiteral("--");
    const char text[2] = {static_cast<char>('a' + FileOf(s) - 1),
                          static_cast<char>('0' + RankOf(s))};
    return QString::fromLatin1(text, 2);
}

std::optional<TMoveSquares> ParseMoveText(const QString& text) {
    if (text.size() != 4 && text.size() != 5) return std::nullopt;
    TMoveSquares move;
    move.From = TextToSquare(text.left(2));
    move.To = TextToSquare(text.mid(2, 2));
    if (move.From == Square::None || move.To == Square::None) return std::nullopt;
    if (text.size() == 5) move.Promotion = text.at(4);
    return move;
}
