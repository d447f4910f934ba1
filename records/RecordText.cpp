#include "RecordText.h"

#include <QStringDecoder>

#include <algorithm>
#include <utility>

namespace {

const QString UnknownDate = QStringLiteral("????.??.??");

bool AllDigits(const QString& s) {
    if (s.isEmpty()) return false;
    for (const QChar c : s)
        if (c < u'0' || c > u'9') return false;
    return true;
}

bool AllQuestionMarks(const QString& s) {
    if (s.isEmpty()) return false;
    for (const QChar c : s)
        if (c != u'?') return false;
    return true;
}

QString TwoDigits(int n) {
    return QStringLiteral("%1").arg(n, 2, 10, QChar(u'0'));
}

QString StandardOf(int year, int month, int day) {
    if (!QDate::isValid(year, month, day)) return UnknownDate;
    return QStringLiteral("%1.%2.%3")
        .arg(year, 4, 10, QChar(u'0'))
        .arg(TwoDigits(month), TwoDigits(day));
}

// Year first, each part digits or question marks: "2024.03.25", "2024.??.??".
QString YearFirst(const QString& y, const QString& m, const QString& d) {
    const bool yKnown = y.size() == 4 && AllDigits(y);
    const bool mKnown = m.size() <= 2 && AllDigits(m);
    const bool dKnown = d.size() <= 2 && AllDigits(d);
    if (yKnown && mKnown && dKnown) return StandardOf(y.toInt(), m.toInt(), d.toInt());
    if (!yKnown && !(y.size() == 4 && AllQuestionMarks(y))) return UnknownDate;
    if (!mKnown && !(m.size() == 2 && AllQuestionMarks(m))) return UnknownDate;
    if (!dKnown && !(d.size() == 2 && AllQuestionMarks(d))) return UnknownDate;
    const int month = mKnown ? m.toInt() : 0;
    const int day = dKnown ? d.toInt() : 0;
    if (mKnown && (month < 1 || month > 12)) return UnknownDate;
    if (dKnown && (day < 1 || day > 31)) return UnknownDate;
    return y + u'.' + (mKnown ? TwoDigits(month) : m) + u'.' + (dKnown ? TwoDigits(day) : d);
}

} // namespace

TRecordLineReader::TRecordLineReader(const QByteArray& bytes, qsizetype from, qsizetype to,
                                     bool utf8)
    : data_(bytes.constData()), pos_(qBound(qsizetype(0), from, bytes.size())),
      end_(to < 0 ? bytes.size() : qBound(pos_, to, bytes.size())), lineStart_(pos_), utf8_(utf8) {}

bool TRecordLineReader::Next(QString& line) {
    if (pos_ >= end_) return false;
    lineStart_ = pos_;
    qsizetype i = pos_;
    while (i < end_ && data_[i] != '\r' && data_[i] != '\n')
        ++i;
    line = utf8_ ? QString::fromUtf8(data_ + pos_, i - pos_)
                 : QString::fromLatin1(data_ + pos_, i - pos_);
    if (i < end_ && data_[i] == '\r' && i + 1 < end_ && data_[i + 1] == '\n') ++i;
    pos_ = i < end_ ? i + 1 : i;
    return true;
}

QStringList SplitRecordLines(const QByteArray& bytes) {
    QStringList lines;
    TRecordLineReader reader(bytes);
    QString line;
    while (reader.Next(line))
        lines << line;
    return lines;
}

bool IsUtf8GameFile(const QByteArray& bytes) {
    const bool ascii =
        std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) == 0; });
    return !ascii && QByteArrayView(bytes).isValidUtf8();
}

qsizetype GameFileTextStart(const QByteArray& bytes) {
    return bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
}

qsizetype CountRecordLines(const QByteArray& bytes) {
    const char* p = bytes.constData();
    const qsizetype n = bytes.size();
    qsizetype count = 0, start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char c = p[i];
        if (c != '\r' && c != '\n') continue;
        ++count;
        if (c == '\r' && i + 1 < n && p[i + 1] == '\n') ++i;
        start = i + 1;
    }
    return start < n ? count + 1 : count;
}

QByteArray JoinRecordLines(const QStringList& lines) {
    QByteArray out;
    qsizetype size = 0;
    for (const QString& line : lines)
        size += line.size() + 2;
    out.reserve(size);
    for (const QString& line : lines) {
        out += line.toLatin1();
        out += "\r\n";
    }
    return out;
}

QString RecordDateText(const QDate& date) {
    return date.toString(QStringLiteral("dd/MM/yyyy"));
}

QString StandardDateOf(const QString& text) {
    const QString t = text.trimmed();
    QStringList parts;
    QString part;
    for (const QChar c : t) {
        if (c == u'.' || c == u'/' || c == u'-') {
            parts << part;
            part.clear();
        } else {
            part += c;
        }
    }
    parts << part;
    if (parts.size() != 3) return UnknownDate;
    if (parts[0].size() == 4) return YearFirst(parts[0], parts[1], parts[2]);

    for (const QString& p : parts)
        if (!AllDigits(p)) return UnknownDate;
    if (parts[0].size() > 2 || parts[1].size() > 2) return UnknownDate;
    int day = parts[0].toInt(), month = parts[1].toInt();
    int year = parts[2].toInt();
    if (parts[2].size() == 2)
        year += year >= 70 ? 1900 : 2000;
    else if (parts[2].size() != 4)
        return UnknownDate;
    if (month > 12 && day <= 12) std::swap(day, month);
    return StandardOf(year, month, day);
}

bool HasControlCharacter(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) return true;
    return false;
}

bool IsResultMarker(const QString& token) {
    return token == QLatin1String("1-0") || token == QLatin1String("0-1") ||
           token == QLatin1String("1/2-1/2") || token == QLatin1String("*");
}

bool LooksLikeTagLine(const QString& line) {
    for (const QChar c : line) {
        if (c == u' ' || c == u'\t') continue;
        return c == u'[';
    }
    return false;
}

bool ReadTagLine(const QString& line, TTagLine* tag) {
    const qsizetype n = line.size();
    qsizetype i = 0;
    while (i < n && (line[i] == u' ' || line[i] == u'\t'))
        ++i;
    if (i >= n || line[i] != u'[') return false;
    ++i;
    while (i < n && (line[i] == u' ' || line[i] == u'\t'))
        ++i;
    const qsizetype nameStart = i;
    while (i < n && line[i] != u' ' && line[i] != u'\t' && line[i] != u'"' && line[i] != u']')
        ++i;
    if (i == nameStart) return false;
    TTagLine t;
    t.Name = line.mid(nameStart, i - nameStart);
    while (i < n && (line[i] == u' ' || line[i] == u'\t'))
        ++i;
    if (i < n && line[i] == u'"') {
        t.Quoted = true;
        for (++i; i < n && line[i] != u'"'; ++i) {
            if (line[i] == u'\\' && i + 1 < n) ++i;
            t.Value += line[i];
        }
    } else {
        qsizetype end = line.lastIndexOf(u']');
        if (end < i) end = n;
        t.Value = line.mid(i, end - i).trimmed();
    }
    if (tag) *tag = t;
    return true;
}

QString EscapedTagValue(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        if (c == u'"' || c == u'\\')
            out += u'\\';
        else if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
            out += u' ';
            continue;
        }
        out += c;
    }
    return out;
}

QString PositionLine(const QString& fen) {
    return QString::fromUtf8("{Posición: ") + fen.trimmed() + u'}';
}

QString PositionOfLine(const QString& line) {
    const QString prefix = QString::fromUtf8("{Posición: ");
    const QString t = line.trimmed();
    if (!t.startsWith(prefix) || !t.endsWith(u'}')) return QString();
    return t.mid(prefix.size(), t.size() - prefix.size() - 1).trimmed();
}
