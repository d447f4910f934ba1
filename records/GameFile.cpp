#include "GameFile.h"

#include "RecordText.h"
#include "ReplayBoard.h"

namespace {

bool IsBlank(const QString& line) {
    for (const QChar c : line)
        if (!c.isSpace()) return false;
    return true;
}

// Walks one line of movetext: whether a {...} comment is still open at its
// end, and the result markers met outside comments.
bool ScanLine(const QString& line, bool inComment, QStringList* results) {
    const qsizetype n = line.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = line[i];
        if (inComment) {
            const qsizetype close = line.indexOf(u'}', i);
            if (close < 0) return true;
            inComment = false;
            i = close + 1;
        } else if (c == u'{') {
            inComment = true;
            ++i;
        } else if (c == u';') {
            return false;
        } else if (c.isSpace()) {
            ++i;
        } else {
            const qsizetype start = i;
            while (i < n && !line[i].isSpace() && line[i] != u'{' && line[i] != u';')
                ++i;
            if (results) {
                const QString token = line.mid(start, i - start);
                if (IsResultMarker(token)) results->append(token);
            }
        }
    }
    return inComment;
}

bool IsLongFormMove(const QString& token) {
    const qsizetype i = !token.isEmpty() && QStringLiteral("PNBRQK").contains(token[0]) ? 1 : 0;
    if (token.size() < i + 4) return false;
    auto file = [](QChar c) { return c >= u'a' && c <= u'h'; };
    auto rank = [](QChar c) { return c >= u'1' && c <= u'8'; };
    return file(token[i]) && rank(token[i + 1]) && file(token[i + 2]) && rank(token[i + 3]);
}

enum class TFirstMove { None, Own, Standard };

// What the first move of a movetext line says about the game's notation.
TFirstMove FirstMoveForm(const QString& line) {
    const qsizetype dot = line.indexOf(u'.');
    if (dot < 1 || dot > 3) return TFirstMove::None;
    for (qsizetype i = 0; i < dot; ++i)
        if (!line[i].isDigit()) return TFirstMove::None;
    // "40... Pe7e5": Black's move after a position; the dots and blank go.
    qsizetype start = dot + 1;
    while (start < line.size() && line[start] == u'.')
        ++start;
    if (start > dot + 1)
        while (start < line.size() && line[start] == u' ')
            ++start;
    const QString rest = line.mid(start);
    const QString token = rest.left(rest.indexOf(u' '));
    if (token.startsWith(QLatin1String("O-O")) || token.startsWith(QLatin1String("0-0")))
        return TFirstMove::None;
    return IsLongFormMove(token) ? TFirstMove::Own : TFirstMove::Standard;
}

QString OrUnknown(const QString& text) {
    return text.isEmpty() ? QStringLiteral("?") : text;
}

QString MoveError(int number, bool white, const QString& why) {
    return QStringLiteral("jugada %1%2 %3")
        .arg(number)
        .arg(QLatin1String(white ? "." : "..."), why);
}

// Plays replay-form moves from the initial position, naming each in SAN.
bool SansOfReplayMoves(const QStringList& moves, const QString& startFen, TReplayBoard& board,
                       QStringList* sans, QString* error) {
    if (!board.Reset(startFen, error)) return false;
    for (const QString& move : moves) {
        const int number = board.CurrentMove();
        const bool white = board.WhiteToMove();
        QString san, why;
        if (!board.PlayReplayMove(move, &san, &why)) {
            if (error) *error = MoveError(number, white, why);
            return false;
        }
        sans->append(san);
    }
    return true;
}

void SetElo(TPgnTags& tags, const char* name, int elo) {
    if (elo > 0) SetPgnTag(tags, QLatin1String(name), QString::number(elo));
}

} // namespace

QString TGameIndexEntry::Text() const {
    return QStringLiteral("%1 – %2, %3, %4")
        .arg(OrUnknown(White), OrUnknown(Black), OrUnknown(Result), OrUnknown(Date));
}

TGameFile TGameFile::FromBytes(const QByteArray& bytes, const QString& fileName) {
    TGameFile f;
    f.bytes_ = bytes;
    f.utf8_ = IsUtf8GameFile(bytes);
    if (f.utf8_) f.bytes_.remove(0, GameFileTextStart(bytes));
    f.kibraq_ = fileName.toUpper().endsWith(QLatin1String(".ICG"));
    f.BuildIndex();
    return f;
}

TGameFile TGameFile::FromLines(const QStringList& lines, bool kibraq) {
    TGameFile f;
    // Lines may hold what Latin-1 cannot (from a UTF-8 file): kept as UTF-8.
    for (const QString& line : lines) {
        f.bytes_ += line.toUtf8();
        f.bytes_ += "\r\n";
    }
    f.utf8_ = true;
    f.kibraq_ = kibraq;
    f.BuildIndex();
    return f;
}

QStringList TGameFile::GameLines(qsizetype game) const {
    if (game < 0 || game >= index_.size()) return {};
    const TGameIndexEntry& e = index_[game];
    TRecordLineReader reader(bytes_, e.FirstByte, e.FirstByte + e.ByteCount, utf8_);
    QStringList lines;
    QString line;
    int blanks = 0;
    while (lines.size() <= MostGameLines && reader.Next(line)) {
        blanks = IsBlank(line) ? blanks + 1 : 0;
        if (blanks <= 2) lines << line;
    }
    return lines;
}

bool TGameFile::TakeLines(qsizetype game, QStringList* lines, QString* error) const {
    *lines = GameLines(game);
    if (lines->size() <= MostGameLines) return true;
    lines->clear();
    if (error)
        *error =
            QStringLiteral("la partida %1 tiene más de %2 líneas").arg(game + 1).arg(MostGameLines);
    return false;
}

void TGameFile::BuildIndex() {
    index_.clear();
    const qsizetype size = bytes_.size();
    TRecordLineReader reader(bytes_, 0, -1, utf8_);
    QString line;
    bool found = false;
    while (!found && reader.Next(line))
        found = !IsBlank(line);
    if (!found) return;
    const qsizetype first = reader.LineStart();

    if (kibraq_) {
        index_ << TGameIndexEntry{first, size - first, TGameKind::Kibraq, {}, {}, {}, {}};
        const TOpenedGame g = ReadKibraqGame(GameLines(0), QDate());
        TGameIndexEntry& e = index_.last();
        e.White = g.White.value_or(QString());
        e.Black = g.Black.value_or(QString());
        e.Result = g.Result;
        return;
    }

    // Cut: a tag line after moves or comments starts the next game, and so
    // does a line of moves after a result marker.
    qsizetype start = first;
    bool body = false, inComment = false, ended = false;
    QStringList results;
    do {
        const qsizetype at = reader.LineStart();
        if (!inComment && LooksLikeTagLine(line)) {
            if (body) {
                IndexGame(start, at);
                start = at;
                body = false;
                ended = false;
            }
            continue;
        }
        if (!inComment && (IsBlank(line) || line.startsWith(u'%'))) continue;
        if (!inComment && ended && !QStringLiteral("{;%").contains(line.trimmed().front())) {
            IndexGame(start, at);
            start = at;
            ended = false;
        }
        body = true;
        results.clear();
        inComment = ScanLine(line, inComment, &results);
        ended = ended || !results.isEmpty();
    } while (reader.Next(line));
    IndexGame(start, size);
}

void TGameFile::IndexGame(qsizetype from, qsizetype to) {
    TGameIndexEntry e;
    e.FirstByte = from;
    e.ByteCount = to - from;
    QString tagResult, event;
    bool fen = false;
    TFirstMove form = TFirstMove::None;
    QStringList results;
    bool inComment = false;
    TRecordLineReader reader(bytes_, from, to, utf8_);
    QString line;
    while (reader.Next(line)) {
        TTagLine tag;
        if (!inComment && LooksLikeTagLine(line)) {
            if (!ReadTagLine(line, &tag)) continue;
            if (tag.Name == QLatin1String("White") && e.White.isEmpty())
                e.White = tag.Value;
            else if (tag.Name == QLatin1String("Black") && e.Black.isEmpty())
                e.Black = tag.Value;
            else if (tag.Name == QLatin1String("Result") && tagResult.isEmpty())
                tagResult = tag.Value;
            else if (tag.Name == QLatin1String("Date") && e.Date.isEmpty())
                e.Date = tag.Value;
            else if (tag.Name == QLatin1String("Event") && event.isEmpty())
                event = tag.Value;
            else if (tag.Name == QLatin1String("FEN"))
                fen = true;
            continue;
        }
        if (!inComment && line.startsWith(u'%')) continue;
        if (!inComment && form == TFirstMove::None) form = FirstMoveForm(line);
        inComment = ScanLine(line, inComment, &results);
    }
    const bool ownEvent =
        event == QLatin1String("ZugaretCHAT") || event == QLatin1String("Zugaret CHAT!");
    const bool own = !fen && (form == TFirstMove::Own || (form == TFirstMove::None && ownEvent));
    e.Kind = own ? TGameKind::Own : TGameKind::Standard;
    const bool tagValid = IsResultMarker(tagResult);
    if (own)
        e.Result = !results.isEmpty() ? results.last() : tagValid ? tagResult : QStringLiteral("*");
    else
        e.Result = tagValid             ? tagResult
                   : !results.isEmpty() ? results.first()
                                        : QStringLiteral("*");
    index_ << e;
}

TOpenedGame TGameFile::Read(qsizetype game, const QDate& today) const {
    TOpenedGame g;
    if (game < 0 || game >= index_.size()) {
        g.Error = QStringLiteral("El archivo no contiene la partida %1").arg(game + 1);
        return g;
    }
    QStringList lines;
    if (!TakeLines(game, &lines, &g.Error)) return g;
    switch (index_[game].Kind) {
    case TGameKind::Kibraq:
        return ReadKibraqGame(lines, today);
    case TGameKind::Own:
        return ReadOwnGame(lines);
    case TGameKind::Standard:
        break;
    }
    const TPgnMovetext movetext = ReadPgnMovetext(lines);
    TReplayBoard board;
    TStandardGame standard;
    QStringList moves;
    QString why;
    if (!ReplayPgnMovetext(movetext, board, &standard, &moves, &why)) {
        g.Error = why;
        return g;
    }
    g.Lines = lines;
    g.ReplayMoves = moves;
    for (const auto& [name, value] : movetext.Tags) {
        if (name == QLatin1String("White") && !g.White)
            g.White = value;
        else if (name == QLatin1String("Black") && !g.Black)
            g.Black = value;
    }
    g.Result = standard.Result;
    g.Date = PgnTag(movetext.Tags, QStringLiteral("Date"));
    g.WhiteElo = PgnTag(movetext.Tags, QStringLiteral("WhiteElo")).toInt();
    g.BlackElo = PgnTag(movetext.Tags, QStringLiteral("BlackElo")).toInt();
    g.StartFen = standard.StartFen;
    return g;
}

bool TGameFile::ToStandard(qsizetype game, TReplayBoard& board, TStandardGame* out,
                           QString* error) const {
    if (game < 0 || game >= index_.size()) {
        if (error) *error = QStringLiteral("El archivo no contiene la partida %1").arg(game + 1);
        return false;
    }
    const TGameIndexEntry& e = index_[game];
    QStringList lines;
    if (!TakeLines(game, &lines, error)) return false;
    if (e.Kind == TGameKind::Standard)
        return ReplayPgnMovetext(ReadPgnMovetext(lines), board, out, nullptr, error);

    const TOpenedGame g = Read(game, QDate());
    if (!g.Opened()) {
        if (error) *error = g.Error;
        return false;
    }
    TStandardGame s;
    s.StartFen = g.StartFen;
    if (!SansOfReplayMoves(g.ReplayMoves, g.StartFen, board, &s.Sans, error)) return false;
    QString event = QStringLiteral("Kibraq Match");
    if (e.Kind == TGameKind::Own) {
        event.clear();
        for (const QString& line : lines) {
            TTagLine tag;
            if (LooksLikeTagLine(line) && ReadTagLine(line, &tag) &&
                tag.Name == QLatin1String("Event")) {
                event = tag.Value;
                break;
            }
        }
    }
    s.Result = e.Result;
    s.Tags = {{QStringLiteral("Event"), OrUnknown(event)},
              {QStringLiteral("Site"), QStringLiteral("?")},
              {QStringLiteral("Date"),
               e.Kind == TGameKind::Own ? StandardDateOf(g.Date) : QStringLiteral("????.??.??")},
              {QStringLiteral("Round"), QStringLiteral("?")},
              {QStringLiteral("White"), OrUnknown(g.White.value_or(QString()))},
              {QStringLiteral("Black"), OrUnknown(g.Black.value_or(QString()))},
              {QStringLiteral("Result"), s.Result}};
    SetElo(s.Tags, "WhiteElo", g.WhiteElo);
    SetElo(s.Tags, "BlackElo", g.BlackElo);
    if (out) *out = s;
    return true;
}

bool StandardGameOfRecord(const TRecordHeader& header, const QStringList& record,
                          TReplayBoard& board, TStandardGame* out, QString* error) {
    // A record opened from a file is converted as that file's game: one that
    // begins with a header, or one in standard notation (a file from another
    // program need not carry an Event tag).
    QStringList moves;
    TStandardGame s;
    for (const QString& line : record) {
        const QString fen = PositionOfLine(line);
        if (!fen.isEmpty() && moves.isEmpty() && s.StartFen.isEmpty()) s.StartFen = fen;
        OwnMoveLineMoves(line, &moves);
    }
    if (!record.isEmpty() &&
        (moves.isEmpty() || record.first().contains(QLatin1String("[Event")))) {
        const TGameFile file = TGameFile::FromLines(record);
        if (record.first().contains(QLatin1String("[Event")) ||
            (file.Count() == 1 && file.Index().first().Kind == TGameKind::Standard))
            return file.ToStandard(0, board, out, error);
    }
    if (!SansOfReplayMoves(moves, s.StartFen, board, &s.Sans, error)) return false;
    s.Result = IsResultMarker(header.ResultText) ? header.ResultText : QStringLiteral("*");
    s.Tags = {{QStringLiteral("Event"), QStringLiteral("ZugaretCHAT")},
              {QStringLiteral("Site"), QStringLiteral("?")},
              {QStringLiteral("Date"), header.Date.isValid()
                                           ? header.Date.toString(QStringLiteral("yyyy.MM.dd"))
                                           : QStringLiteral("????.??.??")},
              {QStringLiteral("Round"), QStringLiteral("?")},
              {QStringLiteral("White"), OrUnknown(header.WhiteNick)},
              {QStringLiteral("Black"), OrUnknown(header.BlackNick)},
              {QStringLiteral("Result"), s.Result}};
    SetElo(s.Tags, "WhiteElo", header.WhiteElo);
    SetElo(s.Tags, "BlackElo", header.BlackElo);
    if (out) *out = s;
    return true;
}
