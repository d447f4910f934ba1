#include "StandardPgn.h"

#include "RecordText.h"
#include "ReplayBoard.h"

namespace {

constexpr qsizetype MaxLineLength = 79;

bool IsSpace(QChar c) {
    return c == u' ' || c == u'\t' || c.unicode() < 0x20;
}

bool IsDelimiter(QChar c) {
    return IsSpace(c) || c == u'{' || c == u'}' || c == u'(' || c == u')' || c == u';';
}

bool OnlyAnnotation(const QString& token) {
    for (const QChar c : token)
        if (c != u'!' && c != u'?') return false;
    return true;
}

bool IsCastlingWithZeros(const QString& token) {
    QString t = token;
    while (!t.isEmpty() && QStringLiteral("+#!?").contains(t.back()))
        t.chop(1);
    return t == QLatin1String("0-0") || t == QLatin1String("0-0-0");
}

// "12." and "12..." are numbers; "1.e4" holds a number and a move.
QString WithoutMoveNumber(const QString& token) {
    if (IsCastlingWithZeros(token)) return token;
    qsizetype i = 0;
    while (i < token.size() && token[i].isDigit())
        ++i;
    const qsizetype digits = i;
    while (i < token.size() && token[i] == u'.')
        ++i;
    if (digits > 0 && i == digits) return token; // digits without a dot: not a number
    return token.mid(i);
}

} // namespace

QString PgnTag(const TPgnTags& tags, const QString& name) {
    for (const auto& [key, value] : tags)
        if (key == name) return value;
    return {};
}

void SetPgnTag(TPgnTags& tags, const QString& name, const QString& value) {
    for (auto& tag : tags)
        if (tag.first == name) {
            tag.second = value;
            return;
        }
    tags.append({name, value});
}

TPgnMovetext ReadPgnMovetext(const QStringList& lines) {
    TPgnMovetext out;
    bool inComment = false;
    int variation = 0;
    bool ended = false;
    for (const QString& line : lines) {
        if (!inComment && variation == 0) {
            if (LooksLikeTagLine(line)) {
                TTagLine tag;
                if (ReadTagLine(line, &tag)) out.Tags.append({tag.Name, tag.Value});
                continue;
            }
            if (line.startsWith(u'%')) continue;
        }
        if (ended) continue;
        const qsizetype n = line.size();
        qsizetype i = 0;
        while (i < n && !ended) {
            const QChar c = line[i];
            if (inComment) {
                const qsizetype close = line.indexOf(u'}', i);
                if (close < 0) break;
                inComment = false;
                i = close + 1;
                continue;
            }
            if (c == u';') break;
            if (c == u'{') {
                inComment = true;
                ++i;
                continue;
            }
            if (c == u'(' || c == u')') {
                if (c == u'(')
                    ++variation;
                else if (variation > 0)
                    --variation;
                ++i;
                continue;
            }
            if (IsDelimiter(c)) {
                ++i;
                continue;
            }
            const qsizetype start = i;
            while (i < n && !IsDelimiter(line[i]))
                ++i;
            if (variation > 0) continue;
            const QString token = line.mid(start, i - start);
            if (token.startsWith(u'$') || OnlyAnnotation(token) || token == QLatin1String("e.p."))
                continue;
            if (IsResultMarker(token)) {
                out.Termination = token;
                ended = true;
                continue;
            }
            const QString move = WithoutMoveNumber(token);
            if (!move.isEmpty() && !OnlyAnnotation(move)) out.Moves << move;
        }
    }
    return out;
}

bool ReplayPgnMovetext(const TPgnMovetext& movetext, TReplayBoard& board, TStandardGame* game,
                       QStringList* replayMoves, QString* error) {
    const QString fen = PgnTag(movetext.Tags, QStringLiteral("FEN"));
    QString why;
    if (!board.Reset(fen, &why)) {
        if (error) *error = why;
        return false;
    }
    TStandardGame g;
    g.Tags = movetext.Tags;
    g.StartFen = fen.trimmed();
    QStringList replay;
    for (const QString& token : movetext.Moves) {
        const int number = board.CurrentMove();
        const bool white = board.WhiteToMove();
        QString move, san;
        if (!board.PlaySan(token, &move, &san, &why)) {
            if (error)
                *error = QStringLiteral("jugada %1%2 %3")
                             .arg(number)
                             .arg(QLatin1String(white ? "." : "..."), why);
            return false;
        }
        g.Sans << san;
        replay << move;
    }
    const QString tagResult = PgnTag(g.Tags, QStringLiteral("Result"));
    g.Result = IsResultMarker(tagResult)              ? tagResult
               : IsResultMarker(movetext.Termination) ? movetext.Termination
                                                      : QStringLiteral("*");
    if (game) *game = g;
    if (replayMoves) *replayMoves = replay;
    return true;
}

QStringList WriteStandardPgn(const TStandardGame& game) {
    QStringList out;
    const QString result = IsResultMarker(game.Result) ? game.Result : QStringLiteral("*");
    static const char* const roster[] = {"Event", "Site",  "Date",  "Round",
                                         "White", "Black", "Result"};
    for (const char* name : roster) {
        const QString key = QLatin1String(name);
        QString value = PgnTag(game.Tags, key);
        if (key == QLatin1String("Result"))
            value = result;
        else if (value.isEmpty())
            value =
                key == QLatin1String("Date") ? QStringLiteral("????.??.??") : QStringLiteral("?");
        out << QStringLiteral("[%1 \"%2\"]").arg(key, EscapedTagValue(value));
    }
    TPgnTags rest;
    for (const auto& tag : game.Tags) {
        bool inRoster = false;
        for (const char* name : roster)
            inRoster = inRoster || tag.first == QLatin1String(name);
        if (!inRoster) rest.append(tag);
    }
    if (!game.StartFen.isEmpty()) {
        SetPgnTag(rest, QStringLiteral("SetUp"), QStringLiteral("1"));
        SetPgnTag(rest, QStringLiteral("FEN"), game.StartFen);
    }
    for (const auto& [key, value] : rest) {
        QString name = key;
        name.remove(u'"').remove(u']').remove(u' ');
        if (!name.isEmpty()) out << QStringLiteral("[%1 \"%2\"]").arg(name, EscapedTagValue(value));
    }
    out << QString();

    int number = 1;
    bool white = true;
    if (!game.StartFen.isEmpty()) {
        const QStringList fields = game.StartFen.simplified().split(u' ');
        white = fields.value(1) != QLatin1String("b");
        const int n = fields.value(5).toInt();
        if (n > 0) number = n;
    }
    QStringList units;
    for (qsizetype i = 0; i < game.Sans.size(); ++i) {
        if (white)
            units << QStringLiteral("%1. %2").arg(number).arg(game.Sans[i]);
        else if (i == 0)
            units << QStringLiteral("%1... %2").arg(number).arg(game.Sans[i]);
        else
            units << game.Sans[i];
        if (!white) ++number;
        white = !white;
    }
    units << result;
    QString line;
    for (const QString& unit : units) {
        if (!line.isEmpty() && line.size() + 1 + unit.size() > MaxLineLength) {
            out << line;
            line.clear();
        }
        if (!line.isEmpty()) line += u' ';
        line += unit;
    }
    out << line << QString();
    return out;
}
