#include "StandardPgn.h"

#include "RecordText.h"
#include "ReplayBoard.h"

#include <algorithm>
#include <utility>

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

// The NAG of a move mark ("!?" is $5); empty for anything else.
QString NagOfMark(const QString& mark) {
    static const char* const marks[] = {"!", "?", "!!", "??", "!?", "?!"};
    for (int i = 0; i < 6; ++i)
        if (mark == QLatin1String(marks[i])) return u'$' + QString::number(i + 1);
    return {};
}

// The "!"/"?" marks a move token ends with.
QString TrailingMarks(const QString& token) {
    qsizetype i = token.size();
    while (i > 0 && (token[i - 1] == u'!' || token[i - 1] == u'?'))
        --i;
    return token.mid(i);
}

bool IsNag(const QString& token) {
    return token.size() > 1 && token.size() <= 4 && token.startsWith(u'$') &&
           std::all_of(token.begin() + 1, token.end(), [](QChar c) { return c.isDigit(); });
}

QString CommentUnit(const QString& text) {
    QString inside = text.simplified();
    inside.remove(u'}');
    return inside.isEmpty() ? QString() : u'{' + inside + u'}';
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

namespace {

// Reads the movetext of one game line by line: the main line's moves, their
// comments, NAGs and variations (kept as written), and the result.
class TMovetextReader {
public:
    TMovetextReader() { out_.Annotations.append(QStringList()); }

    void ReadLine(const QString& line) {
        if (!inComment_ && variation_ == 0) {
            if (LooksLikeTagLine(line)) {
                TTagLine tag;
                if (ReadTagLine(line, &tag)) out_.Tags.append({tag.Name, tag.Value});
                return;
            }
            if (line.startsWith(u'%')) return;
        }
        if (ended_) return;
        const qsizetype n = line.size();
        qsizetype i = 0;
        while (i < n && !ended_) {
            if (inComment_) {
                if (!ReadCommentPart(line, i)) break;
                continue;
            }
            const QChar c = line[i];
            if (c == u';') {
                RestOfLineComment(line.mid(i + 1));
                break;
            }
            if (c == u'{') {
                inComment_ = true;
                if (variation_ > 0) variationText_ += u'{';
                ++i;
            } else if (c == u'(' || c == u')') {
                VariationMark(c);
                ++i;
            } else if (IsDelimiter(c)) {
                if (variation_ > 0) variationText_ += u' ';
                ++i;
            } else {
                const qsizetype start = i;
                while (i < n && !IsDelimiter(line[i]))
                    ++i;
                Token(line.mid(start, i - start));
            }
        }
        if (variation_ > 0 && !inComment_) variationText_ += u' ';
    }

    TPgnMovetext Finish() {
        if (inComment_ && variation_ == 0) Note(CommentUnit(comment_));
        return std::move(out_);
    }

private:
    void Note(const QString& unit) {
        if (!unit.isEmpty()) out_.Annotations.last() << unit;
    }

    // The part of a brace comment from i to its end or the line's; false when
    // the comment goes on on the next line.
    bool ReadCommentPart(const QString& line, qsizetype& i) {
        const qsizetype close = line.indexOf(u'}', i);
        const QString part = line.mid(i, close < 0 ? line.size() - i : close - i);
        if (variation_ > 0)
            variationText_ += part + (close < 0 ? QStringLiteral(" ") : QStringLiteral("}"));
        else
            comment_ += part + u' ';
        if (close < 0) return false;
        inComment_ = false;
        if (variation_ == 0) Note(CommentUnit(std::exchange(comment_, QString())));
        i = close + 1;
        return true;
    }

    void RestOfLineComment(const QString& text) {
        const QString unit = CommentUnit(text);
        if (variation_ > 0)
            variationText_ += unit + u' ';
        else
            Note(unit);
    }

    void VariationMark(QChar c) {
        if (c == u'(') {
            if (variation_++ == 0) variationText_.clear();
            variationText_ += u'(';
            return;
        }
        if (variation_ == 0) return;
        variationText_ += u')';
        if (--variation_ > 0) return;
        QString unit = variationText_.simplified();
        unit.replace(QLatin1String("( "), QLatin1String("("));
        unit.replace(QLatin1String(" )"), QLatin1String(")"));
        Note(unit);
    }

    void Token(const QString& token) {
        if (variation_ > 0) {
            variationText_ += token;
            return;
        }
        if (token.startsWith(u'$')) {
            if (IsNag(token)) Note(token);
            return;
        }
        if (OnlyAnnotation(token)) {
            Note(NagOfMark(token));
            return;
        }
        if (token == QLatin1String("e.p.")) return;
        if (IsResultMarker(token)) {
            out_.Termination = token;
            ended_ = true;
            return;
        }
        const QString move = WithoutMoveNumber(token);
        if (!move.isEmpty() && !OnlyAnnotation(move)) {
            out_.Moves << move;
            out_.Annotations.append(QStringList());
            Note(NagOfMark(TrailingMarks(move)));
        }
    }

    TPgnMovetext out_;
    bool inComment_ = false;
    int variation_ = 0; // depth of the variation being read
    bool ended_ = false;
    QString comment_;       // a comment of the main line being read
    QString variationText_; // the variation being read, as written
};

} // namespace

TPgnMovetext ReadPgnMovetext(const QStringList& lines) {
    TMovetextReader reader;
    for (const QString& line : lines)
        reader.ReadLine(line);
    return reader.Finish();
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
    if (movetext.Annotations.size() == movetext.Moves.size() + 1)
        g.Annotations = movetext.Annotations;
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
    const bool annotated = game.Annotations.size() == game.Sans.size() + 1;
    QStringList units;
    // Comments and variations break between words, like the movetext; a
    // Black move after one of them gets its number again.
    auto annotate = [&](qsizetype entry) {
        bool interrupts = false;
        if (!annotated) return false;
        for (const QString& unit : game.Annotations[entry]) {
            units << unit.split(u' ', Qt::SkipEmptyParts);
            interrupts = interrupts || !unit.startsWith(u'$');
        }
        return interrupts;
    };
    bool interrupted = annotate(0);
    for (qsizetype i = 0; i < game.Sans.size(); ++i) {
        if (white)
            units << QStringLiteral("%1. %2").arg(number).arg(game.Sans[i]);
        else if (i == 0 || interrupted)
            units << QStringLiteral("%1... %2").arg(number).arg(game.Sans[i]);
        else
            units << game.Sans[i];
        if (!white) ++number;
        white = !white;
        interrupted = annotate(i + 1);
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
