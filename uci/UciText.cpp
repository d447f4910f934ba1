// Parsing and formatting of UCI lines.
#include "UciText.h"

#include <algorithm>
#include <limits>

namespace {

using Tokens = QList<QByteArrayView>;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

Tokens Split(QByteArrayView line) {
    Tokens t;
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (i < n) {
        while (i < n && IsSpace(line[i]))
            ++i;
        const qsizetype start = i;
        while (i < n && !IsSpace(line[i]))
            ++i;
        if (i > start) t.append(line.sliced(start, i - start));
    }
    return t;
}

// The tokens from..to joined by single spaces, cut at UciMaxText bytes.
QByteArray Join(const Tokens& t, qsizetype from, qsizetype to) {
    QByteArray out;
    for (qsizetype i = from; i < to && i < t.size(); ++i) {
        if (!out.isEmpty()) out += ' ';
        out += t[i];
        if (out.size() >= UciMaxText) return out.left(UciMaxText);
    }
    return out;
}

bool ToInt64(QByteArrayView text, qint64 low, qint64 high, qint64* value) {
    bool ok = false;
    const qint64 v = text.toLongLong(&ok);
    if (!ok || v < low || v > high) return false;
    *value = v;
    return true;
}

// A number field: the token after word, within low..high.
struct NumberReader {
    const Tokens& t;
    qsizetype& i;
    QByteArray& error;

    bool Read(qint64 low, qint64 high, qint64* value) {
        const QByteArrayView word = t[i];
        if (i + 1 >= t.size() || !ToInt64(t[i + 1], low, high, value)) {
            error = "bad or missing number after " + word.toByteArray();
            return false;
        }
        ++i;
        return true;
    }
    bool Read(qint64 low, qint64 high, std::optional<qint64>* value) {
        qint64 v = 0;
        if (!Read(low, high, &v)) return false;
        *value = v;
        return true;
    }
    bool Read(int low, int high, int* value) {
        qint64 v = 0;
        if (!Read(qint64(low), qint64(high), &v)) return false;
        *value = int(v);
        return true;
    }
};

constexpr qint64 kMaxMs = qint64(1) << 40;    // about 35 years
constexpr qint64 kMaxCount = qint64(1) << 53; // nodes, nps
constexpr int kMaxDepth = 1000;

bool IsSquareText(QByteArrayView s) {
    return s.size() == 2 && s[0] >= 'a' && s[0] <= 'h' && s[1] >= '1' && s[1] <= '8';
}

int EngineSquare(QByteArrayView s) {
    return (s[0] - 'a') + 8 * ('8' - s[1]);
}

bool ReadMoves(const Tokens& t, qsizetype from, qsizetype to, QList<QByteArray>* moves,
               QByteArray* error) {
    for (qsizetype i = from; i < to; ++i) {
        if (moves->size() >= UciMaxListItems) {
            *error = "too many moves";
            return false;
        }
        if (!IsUciMoveText(t[i])) {
            *error =
                "not a move: " + t[i].first(std::min<qsizetype>(t[i].size(), 16)).toByteArray();
            return false;
        }
        moves->append(t[i].toByteArray());
    }
    return true;
}

TUciCommand Malformed(QByteArray why) {
    TUciCommand c;
    c.kind = TUciCommandKind::Malformed;
    c.error = std::move(why);
    return c;
}

void ParsePosition(const Tokens& t, qsizetype i, TUciCommand* c) {
    const qsizetype movesAt =
        std::find(t.begin() + i, t.end(), QByteArrayView("moves")) - t.begin();
    if (i >= t.size()) {
        *c = Malformed("position needs startpos or fen");
        return;
    }
    if (t[i] == "startpos") {
        if (i + 1 != movesAt) {
            *c = Malformed("unexpected words after startpos");
            return;
        }
    } else if (t[i] == "fen") {
        const qsizetype fields = movesAt - (i + 1);
        if (fields < 1 || fields > 6) {
            *c = Malformed("a FEN has 1 to 6 fields");
            return;
        }
        c->fen = Join(t, i + 1, movesAt);
    } else {
        *c = Malformed("position needs startpos or fen");
        return;
    }
    if (!ReadMoves(t, movesAt + 1, t.size(), &c->moves, &c->error)) {
        *c = Malformed(c->error);
        return;
    }
    c->kind = TUciCommandKind::Position;
}

void ParseGo(const Tokens& t, qsizetype i, TUciCommand* c) {
    TUciGo& g = c->go;
    QByteArray error;
    NumberReader num{t, i, error};
    for (; i < t.size(); ++i) {
        const QByteArrayView w = t[i];
        bool ok = true;
        if (w == "wtime")
            ok = num.Read(-kMaxMs, kMaxMs, &g.wtime);
        else if (w == "btime")
            ok = num.Read(-kMaxMs, kMaxMs, &g.btime);
        else if (w == "winc")
            ok = num.Read(-kMaxMs, kMaxMs, &g.winc);
        else if (w == "binc")
            ok = num.Read(-kMaxMs, kMaxMs, &g.binc);
        else if (w == "movestogo")
            ok = num.Read(0, 100000, &g.movestogo);
        else if (w == "depth")
            ok = num.Read(1, kMaxDepth, &g.depth);
        else if (w == "nodes")
            ok = num.Read(1, kMaxCount, &g.nodes);
        else if (w == "mate")
            ok = num.Read(1, kMaxDepth, &g.mate);
        else if (w == "movetime")
            ok = num.Read(0, kMaxMs, &g.movetime);
        else if (w == "infinite")
            g.infinite = true;
        else if (w == "ponder")
            g.ponder = true;
        else if (w == "searchmoves") {
            // The moves run until the next word that is no move.
            while (i + 1 < t.size() && IsUciMoveText(t[i + 1])) {
                if (g.searchmoves.size() >= UciMaxListItems) {
                    error = "too many search moves";
                    ok = false;
                    break;
                }
                g.searchmoves.append(t[++i].toByteArray());
            }
        }
        if (!ok) {
            *c = Malformed(error);
            return;
        }
    }
    c->kind = TUciCommandKind::Go;
}

void ParseSetOption(const Tokens& t, qsizetype i, TUciCommand* c) {
    if (i >= t.size() || t[i] != "name") {
        *c = Malformed("setoption needs a name");
        return;
    }
    const qsizetype valueAt =
        std::find(t.begin() + i, t.end(), QByteArrayView("value")) - t.begin();
    c->name = Join(t, i + 1, valueAt);
    if (c->name.isEmpty()) {
        *c = Malformed("setoption needs a name");
        return;
    }
    if (valueAt < t.size()) {
        c->hasValue = true;
        c->value = Join(t, valueAt + 1, t.size());
    }
    c->kind = TUciCommandKind::SetOption;
}

} // namespace

// ---------------------------------------------------------------- moves

bool IsUciMoveText(QByteArrayView text) {
    if (text == "0000") return true;
    if (text.size() != 4 && text.size() != 5) return false;
    if (!IsSquareText(text.first(2)) || !IsSquareText(text.sliced(2, 2))) return false;
    return text.size() == 4 || QByteArrayView("qrbn").contains(text[4]);
}

bool SplitUciMove(QByteArrayView text, int* from, int* to, char* promotion) {
    if (!IsUciMoveText(text) || text == "0000") return false;
    *from = EngineSquare(text.first(2));
    *to = EngineSquare(text.sliced(2, 2));
    *promotion = text.size() == 5 ? text[4] : '\0';
    return true;
}

QByteArray UciMoveText(int from, int to, char promotion) {
    if (from < 0 || from > 63 || to < 0 || to > 63) return "0000";
    QByteArray s;
    s += char('a' + (from & 7));
    s += char('8' - (from >> 3));
    s += char('a' + (to & 7));
    s += char('8' - (to >> 3));
    if (promotion) s += promotion;
    return s;
}

// ---------------------------------------------------------------- GUI to engine

TUciCommand ParseUciCommand(QByteArrayView line) {
    const Tokens t = Split(line);
    TUciCommand c;
    if (t.isEmpty()) return c;
    static const struct {
        const char* word;
        TUciCommandKind kind;
    } kWords[] = {
        {"uci", TUciCommandKind::Uci},           {"debug", TUciCommandKind::Debug},
        {"isready", TUciCommandKind::IsReady},   {"setoption", TUciCommandKind::SetOption},
        {"register", TUciCommandKind::Register}, {"ucinewgame", TUciCommandKind::UciNewGame},
        {"position", TUciCommandKind::Position}, {"go", TUciCommandKind::Go},
        {"stop", TUciCommandKind::Stop},         {"ponderhit", TUciCommandKind::PonderHit},
        {"quit", TUciCommandKind::Quit},
    };
    for (qsizetype i = 0; i < t.size(); ++i) {
        for (const auto& w : kWords) {
            if (t[i] != w.word) continue;
            switch (w.kind) {
            case TUciCommandKind::Position:
                ParsePosition(t, i + 1, &c);
                return c;
            case TUciCommandKind::Go:
                ParseGo(t, i + 1, &c);
                return c;
            case TUciCommandKind::SetOption:
                ParseSetOption(t, i + 1, &c);
                return c;
            case TUciCommandKind::Debug:
                if (i + 1 >= t.size() || (t[i + 1] != "on" && t[i + 1] != "off"))
                    return Malformed("debug needs on or off");
                c.flag = t[i + 1] == "on";
                break;
            default:
                break;
            }
            c.kind = w.kind;
            return c;
        }
    }
    c.kind = TUciCommandKind::Unknown;
    return c;
}

QByteArray FormatUciPosition(const QByteArray& fen, const QList<QByteArray>& moves) {
    QByteArray s = fen.isEmpty() ? QByteArray("position startpos") : "position fen " + fen;
    if (!moves.isEmpty()) s += " moves " + moves.join(' ');
    return s;
}

QByteArray FormatUciGo(const TUciGo& g) {
    QByteArray s = "go";
    auto add = [&s](const char* word, qint64 v) {
        s += ' ' + QByteArray(word) + ' ' + QByteArray::number(v);
    };
    if (g.ponder) s += " ponder";
    if (g.wtime || g.btime) {
        if (g.wtime) add("wtime", *g.wtime);
        if (g.btime) add("btime", *g.btime);
        if (g.winc) add("winc", g.winc);
        if (g.binc) add("binc", g.binc);
    }
    if (g.movestogo) add("movestogo", g.movestogo);
    if (g.depth) add("depth", g.depth);
    if (g.nodes) add("nodes", g.nodes);
    if (g.mate) add("mate", g.mate);
    if (g.movetime) add("movetime", *g.movetime);
    if (g.infinite) s += " infinite";
    if (!g.searchmoves.isEmpty()) s += " searchmoves " + g.searchmoves.join(' ');
    return s;
}

QByteArray FormatUciSetOption(const QByteArray& name, const QByteArray& value) {
    QByteArray s = "setoption name " + name;
    if (!value.isEmpty()) s += " value " + value;
    return s;
}

// ---------------------------------------------------------------- engine to GUI

namespace {

TUciReply MalformedReply(QByteArray why) {
    TUciReply r;
    r.kind = TUciReplyKind::Malformed;
    r.error = std::move(why);
    return r;
}

bool ParseInfo(const Tokens& t, qsizetype i, TUciInfo* info, QByteArray* error) {
    NumberReader num{t, i, *error};
    for (; i < t.size(); ++i) {
        const QByteArrayView w = t[i];
        bool ok = true;
        if (w == "depth")
            ok = num.Read(0, kMaxDepth, &info->depth);
        else if (w == "seldepth")
            ok = num.Read(0, kMaxDepth, &info->seldepth);
        else if (w == "time")
            ok = num.Read(0, kMaxMs, &info->time);
        else if (w == "nodes")
            ok = num.Read(0, kMaxCount, &info->nodes);
        else if (w == "nps")
            ok = num.Read(0, kMaxCount, &info->nps);
        else if (w == "multipv")
            ok = num.Read(1, 1000, &info->multipv);
        else if (w == "currmovenumber")
            ok = num.Read(0, 100000, &info->currmovenumber);
        else if (w == "hashfull")
            ok = num.Read(0, 1000, &info->hashfull);
        else if (w == "currmove") {
            if (i + 1 < t.size() && IsUciMoveText(t[i + 1]))
                info->currmove = t[++i].toByteArray();
            else
                ok = false, *error = "bad currmove";
        } else if (w == "score") {
            if (i + 2 >= t.size() || (t[i + 1] != "cp" && t[i + 1] != "mate")) {
                *error = "score needs cp or mate and a number";
                return false;
            }
            info->mate = t[++i] == "mate";
            ok = num.Read(-1000000, 1000000, &info->score);
            info->hasScore = ok;
            if (ok && i + 1 < t.size() && t[i + 1] == "lowerbound")
                info->bound = TUciBound::Lower, ++i;
            else if (ok && i + 1 < t.size() && t[i + 1] == "upperbound")
                info->bound = TUciBound::Upper, ++i;
        } else if (w == "pv") {
            while (i + 1 < t.size() && IsUciMoveText(t[i + 1])) {
                if (info->pv.size() >= UciMaxListItems) {
                    *error = "too long a pv";
                    return false;
                }
                info->pv.append(t[++i].toByteArray());
            }
        } else if (w == "string") {
            info->string = Join(t, i + 1, t.size());
            return true;
        }
        if (!ok) return false;
    }
    return true;
}

bool ParseOption(const Tokens& t, qsizetype i, TUciOption* o, QByteArray* error) {
    // option name <words> type <t> [default <words>] [min n] [max n] [var <words>]...
    if (i >= t.size() || t[i] != "name") {
        *error = "option needs a name";
        return false;
    }
    static const QByteArrayView kKeys[] = {"type", "default", "min", "max", "var"};
    auto isKey = [](QByteArrayView w) {
        return std::find(std::begin(kKeys), std::end(kKeys), w) != std::end(kKeys);
    };
    qsizetype typeAt = std::find(t.begin() + i, t.end(), QByteArrayView("type")) - t.begin();
    o->name = Join(t, i + 1, typeAt);
    if (o->name.isEmpty() || typeAt + 1 >= t.size()) {
        *error = "option needs a name and a type";
        return false;
    }
    const QByteArrayView type = t[typeAt + 1];
    if (type == "check")
        o->type = TUciOptionType::Check;
    else if (type == "spin")
        o->type = TUciOptionType::Spin;
    else if (type == "combo")
        o->type = TUciOptionType::Combo;
    else if (type == "button")
        o->type = TUciOptionType::Button;
    else if (type == "string")
        o->type = TUciOptionType::String;
    else {
        *error = "unknown option type";
        return false;
    }
    bool hasMin = false, hasMax = false;
    for (qsizetype k = typeAt + 2; k < t.size();) {
        const QByteArrayView key = t[k];
        qsizetype end = k + 1;
        while (end < t.size() && !isKey(t[end]))
            ++end;
        const QByteArray value = Join(t, k + 1, end);
        if (key == "default") {
            // "<empty>" stands for an empty string.
            o->defaultValue = value == "<empty>" ? QByteArray() : value;
        } else if (key == "min" || key == "max") {
            qint64 v = 0;
            if (end != k + 2 || !ToInt64(t[k + 1], -kMaxCount, kMaxCount, &v)) {
                *error = "bad " + key.toByteArray();
                return false;
            }
            (key == "min" ? o->min : o->max) = v;
            (key == "min" ? hasMin : hasMax) = true;
        } else if (key == "var") {
            if (o->vars.size() >= UciMaxListItems) {
                *error = "too many vars";
                return false;
            }
            o->vars.append(value);
        }
        k = end;
    }
    if (o->type == TUciOptionType::Spin && (!hasMin || !hasMax || o->min > o->max)) {
        *error = "a spin needs min <= max";
        return false;
    }
    return true;
}

} // namespace

TUciReply ParseUciReply(QByteArrayView line) {
    const Tokens t = Split(line);
    TUciReply r;
    if (t.isEmpty()) return r;
    for (qsizetype i = 0; i < t.size(); ++i) {
        const QByteArrayView w = t[i];
        if (w == "uciok") {
            r.kind = TUciReplyKind::UciOk;
        } else if (w == "readyok") {
            r.kind = TUciReplyKind::ReadyOk;
        } else if (w == "id") {
            if (i + 1 >= t.size() || (t[i + 1] != "name" && t[i + 1] != "author"))
                return MalformedReply("id needs name or author");
            r.kind = TUciReplyKind::Id;
            r.idField = t[i + 1].toByteArray();
            r.text = Join(t, i + 2, t.size());
        } else if (w == "bestmove") {
            if (i + 1 >= t.size() || !IsUciMoveText(t[i + 1]))
                return MalformedReply("bestmove needs a move");
            r.kind = TUciReplyKind::BestMove;
            r.bestMove = t[i + 1].toByteArray();
            if (i + 3 < t.size() && t[i + 2] == "ponder" && IsUciMoveText(t[i + 3]))
                r.ponderMove = t[i + 3].toByteArray();
        } else if (w == "copyprotection" || w == "registration") {
            r.kind =
                w == "copyprotection" ? TUciReplyKind::CopyProtection : TUciReplyKind::Registration;
            r.text = Join(t, i + 1, i + 2);
        } else if (w == "info") {
            r.kind = TUciReplyKind::Info;
            if (!ParseInfo(t, i + 1, &r.info, &r.error)) return MalformedReply(r.error);
        } else if (w == "option") {
            r.kind = TUciReplyKind::Option;
            if (!ParseOption(t, i + 1, &r.option, &r.error)) return MalformedReply(r.error);
        } else {
            continue;
        }
        return r;
    }
    r.kind = TUciReplyKind::Unknown;
    return r;
}

QByteArray FormatUciInfo(const TUciInfo& info) {
    QByteArray s = "info";
    auto add = [&s](const char* word, qint64 v) {
        s += ' ' + QByteArray(word) + ' ' + QByteArray::number(v);
    };
    if (info.depth >= 0) add("depth", info.depth);
    if (info.seldepth >= 0) add("seldepth", info.seldepth);
    if (info.multipv > 0) add("multipv", info.multipv);
    if (info.hasScore) {
        add(info.mate ? "score mate" : "score cp", info.score);
        if (info.bound == TUciBound::Lower) s += " lowerbound";
        if (info.bound == TUciBound::Upper) s += " upperbound";
    }
    if (info.nodes >= 0) add("nodes", info.nodes);
    if (info.nps >= 0) add("nps", info.nps);
    if (info.time >= 0) add("time", info.time);
    if (info.hashfull >= 0) add("hashfull", info.hashfull);
    if (!info.currmove.isEmpty()) s += " currmove " + info.currmove;
    if (info.currmovenumber > 0) add("currmovenumber", info.currmovenumber);
    if (!info.pv.isEmpty()) s += " pv " + info.pv.join(' ');
    if (!info.string.isEmpty()) s += " string " + info.string;
    return s;
}

QByteArray FormatUciOption(const TUciOption& o) {
    static const char* const kTypes[] = {"check", "spin", "combo", "button", "string"};
    QByteArray s = "option name " + o.name + " type " + kTypes[int(o.type)];
    if (o.type != TUciOptionType::Button)
        s += " default " + (o.defaultValue.isEmpty() && o.type == TUciOptionType::String
                                ? QByteArray("<empty>")
                                : o.defaultValue);
    if (o.type == TUciOptionType::Spin)
        s += " min " + QByteArray::number(o.min) + " max " + QByteArray::number(o.max);
    for (const QByteArray& v : o.vars)
        s += " var " + v;
    return s;
}

QByteArray FormatUciBestMove(const QByteArray& move, const QByteArray& ponder) {
    QByteArray s = "bestmove " + (move.isEmpty() ? QByteArray("0000") : move);
    if (!ponder.isEmpty()) s += " ponder " + ponder;
    return s;
}

QByteArray FormatUciInfoString(QByteArrayView text) {
    QByteArray clean;
    for (char c : text.first(std::min<qsizetype>(text.size(), 200)))
        clean += (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) ? ' ' : c;
    return "info string " + clean.trimmed();
}
