#include "OwnGameFormat.h"

#include "RecordText.h"

namespace {

const char* const NoGameError = "El archivo no contiene ninguna partida";

QStringList HeaderLines(const char* event, const TRecordHeader& h) {
    return {QStringLiteral("[Event \"%1\"]").arg(QLatin1String(event)),
            QStringLiteral("[Date \"%1\"]").arg(RecordDateText(h.Date)),
            QStringLiteral("[White \"%1\"]").arg(h.WhiteNick),
            QStringLiteral("[Black \"%1\"]").arg(h.BlackNick),
            QStringLiteral("[Result \"%1\"]").arg(h.ResultText),
            QString(),
            QStringLiteral("{ Blancas:%1 Elo:%2 }").arg(h.WhiteNick).arg(h.WhiteElo),
            QStringLiteral("{ Negras:%1 Elo:%2 }").arg(h.BlackNick).arg(h.BlackElo)};
}

bool IsBlank(const QString& line) {
    for (const QChar c : line)
        if (!c.isSpace()) return false;
    return true;
}

// The lines from the first one that is not blank.
QStringList WithoutLeadingBlankLines(const QStringList& lines) {
    qsizetype first = 0;
    while (first < lines.size() && IsBlank(lines[first]))
        ++first;
    return lines.mid(first);
}

QString FirstWord(const QString& text) {
    qsizetype start = 0;
    while (start < text.size() && text[start] == u' ')
        ++start;
    const qsizetype end = text.indexOf(u' ', start);
    return text.mid(start, end < 0 ? -1 : end - start);
}

// The replay form of one token of a move line; empty when it gives no move.
QString TokenMove(const QString& token, bool white) {
    if (token.isEmpty()) return {};
    const QChar c = token[0];
    const bool pieceLetter = QStringLiteral("BKNPQR").contains(c);
    if (!pieceLetter && c != u'O' && !(c >= u'a' && c <= u'h')) return {};
    QString core = token;
    while (core.endsWith(u'+') || core.endsWith(u'#'))
        core.chop(1);
    if (core == QLatin1String("O-O")) return QLatin1String(white ? "E1G1" : "E8G8");
    if (core == QLatin1String("O-O-O")) return QLatin1String(white ? "E1C1" : "E8C8");
    QString promotion;
    const qsizetype eq = token.indexOf(u'=');
    if (eq >= 0 && eq + 1 < token.size()) promotion = token[eq + 1];
    const QString squares = pieceLetter ? token.mid(1, 4) : token.left(4);
    return (squares + promotion).toUpper();
}

// The nick of an own tag line [White "nick"] (tag name exactly White or Black).
std::optional<QString> OwnNick(const QString& line, const QString& tagName) {
    const qsizetype q1 = line.indexOf(u'"');
    if (q1 < 0 || line.left(q1).trimmed() != u'[' + tagName) return std::nullopt;
    const qsizetype q2 = line.indexOf(u'"', q1 + 1);
    if (q2 < 0) return std::nullopt;
    return line.mid(q1 + 1, q2 - q1 - 1);
}

// The text between the quote number first (0-based) and the next one.
std::optional<QString> Quoted(const QString& line, int first) {
    qsizetype open = -1;
    for (int i = 0; i <= first; ++i) {
        open = line.indexOf(u'"', open + 1);
        if (open < 0) return std::nullopt;
    }
    const qsizetype close = line.indexOf(u'"', open + 1);
    if (close < 0) return std::nullopt;
    return line.mid(open + 1, close - open - 1);
}

} // namespace

QStringList OwnGameFileLines(const TRecordHeader& header, const QStringList& record) {
    if (!record.isEmpty() && record.first().contains(QLatin1String("[Event"))) return record;
    return HeaderLines("ZugaretCHAT", header) + record;
}

QStringList PgnDatabaseBlock(const TRecordHeader& header, const QStringList& record) {
    return HeaderLines("Zugaret CHAT!", header) + record + QStringList{QString(), QString()};
}

bool OwnMoveLineMoves(const QString& line, QStringList* moves) {
    const qsizetype dot = line.indexOf(u'.');
    if (dot < 1 || dot > 3) return false;
    for (qsizetype i = 0; i < dot; ++i)
        if (line[i] < u'0' || line[i] > u'9') return false;
    const QString rest = line.mid(dot + 1);
    const qsizetype blank = rest.indexOf(u' ');
    const QString white = blank < 0 ? rest : rest.left(blank);
    const QString black = blank < 0 ? QString() : FirstWord(rest.mid(blank + 1));
    for (const QString& m : {TokenMove(white, true), TokenMove(black, false)})
        if (!m.isEmpty() && moves) moves->append(m);
    return true;
}

TOpenedGame ReadOwnGame(const QStringList& lines) {
    TOpenedGame game;
    const QStringList body = WithoutLeadingBlankLines(lines);
    if (body.isEmpty()) {
        game.Error = QString::fromUtf8(NoGameError);
        return game;
    }
    game.Lines = body;
    for (const QString& line : body) {
        if (LooksLikeTagLine(line)) {
            if (!game.White) game.White = OwnNick(line, QStringLiteral("White"));
            if (!game.Black) game.Black = OwnNick(line, QStringLiteral("Black"));
            TTagLine tag;
            if (ReadTagLine(line, &tag)) {
                if (tag.Name == QLatin1String("Result") && game.Result.isEmpty())
                    game.Result = tag.Value;
                else if (tag.Name == QLatin1String("Date") && game.Date.isEmpty())
                    game.Date = tag.Value;
            }
            continue;
        }
        if (line.startsWith(u'{')) {
            const QString fen = PositionOfLine(line);
            if (!fen.isEmpty() && game.StartFen.isEmpty() && game.ReplayMoves.isEmpty()) {
                if (HasControlCharacter(fen)) {
                    TOpenedGame refused;
                    refused.Error = QStringLiteral("posición inicial no válida: contiene "
                                                   "caracteres de control");
                    return refused;
                }
                game.StartFen = fen;
            }
            if (const auto elo = CommentElo(line, true)) game.WhiteElo = *elo;
            if (const auto elo = CommentElo(line, false)) game.BlackElo = *elo;
            continue;
        }
        OwnMoveLineMoves(line, &game.ReplayMoves);
    }
    return game;
}

TOpenedGame ReadKibraqGame(const QStringList& lines, const QDate& today) {
    TOpenedGame game;
    const QStringList body = WithoutLeadingBlankLines(lines);
    if (body.isEmpty()) {
        game.Error = QString::fromUtf8(NoGameError);
        return game;
    }
    const QString& header = body.first();
    const QChar first = header[0];
    game.Result = first == u'1'   ? QStringLiteral("1-0")
                  : first == u'2' ? QStringLiteral("0-1")
                                  : QStringLiteral("1/2-1/2");
    game.White = Quoted(header, 0);
    game.Black = Quoted(header, 2);
    game.Lines = {QStringLiteral("[Event \"Kibraq") + QChar(0xA0) + QStringLiteral("Match\"]"),
                  QStringLiteral("[Date \"%1\"]").arg(RecordDateText(today)),
                  QStringLiteral("[White \"%1\"]").arg(game.White.value_or(QStringLiteral("?"))),
                  QStringLiteral("[Black \"%1\"]").arg(game.Black.value_or(QStringLiteral("?"))),
                  QStringLiteral("[Result \"%1\"]").arg(game.Result),
                  QString()};

    int number = 1;
    bool whiteToMove = true;
    QString pending; // White's half of the current move line
    bool anyMove = false;
    for (qsizetype i = 1; i < body.size(); ++i) {
        const QString& line = body[i];
        const QString trimmed = line.trimmed();
        if (line.size() < 5 || trimmed.isEmpty()) continue;
        QString move = line.mid(1, 4);
        for (const int f : {0, 2})
            if (move[f] >= u'1' && move[f] <= u'8')
                move[f] = QChar(u'A' + (move[f].unicode() - u'1'));
        const QString promotion = trimmed.size() == 7 ? QString(trimmed[5]).toUpper() : QString();
        game.ReplayMoves << (move + promotion).toUpper();
        QString text = move.toLower();
        if (!promotion.isEmpty()) text += u'=' + promotion;
        if (whiteToMove) {
            pending = QString::number(number) + u'.' + text;
        } else {
            game.Lines << pending + u' ' + text;
            pending.clear();
            ++number;
        }
        whiteToMove = !whiteToMove;
        anyMove = true;
    }
    // A last White move without its answer still belongs to the record.
    if (!pending.isEmpty()) game.Lines << pending;
    if (anyMove)
        game.Lines.last() += u' ' + game.Result;
    else
        game.Lines << game.Result;
    game.Lines << QString();
    return game;
}

std::optional<int> CommentElo(const QString& line, bool white) {
    const QString t = line.trimmed();
    const QLatin1String prefix(white ? "{ Blancas:" : "{ Negras:");
    if (!t.startsWith(prefix) || !t.endsWith(u'}')) return std::nullopt;
    const QString inner = t.mid(prefix.size(), t.size() - prefix.size() - 1).trimmed();
    const qsizetype at = inner.lastIndexOf(QLatin1String("Elo:"));
    if (at < 0) return std::nullopt;
    bool ok = false;
    const int elo = inner.mid(at + 4).trimmed().toInt(&ok);
    if (!ok || elo < 0) return std::nullopt;
    return elo;
}
