#include "ChatCodec.h"

#include "TextUtils.h"

QString WireSafeText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) ++i;
        const char16_t u = c.unicode();
        out += (u == FieldSeparator || u == MessageEnd || u > 0xFF) ? QChar(u'?') : c;
    }
    return out;
}

QByteArray FrameMessage(const char* word, const QStringList& fields) {
    QByteArray out(word);
    for (const QString& field : fields) {
        out += char(FieldSeparator);
        out += WireSafeText(field).toLatin1();
    }
    out += char(MessageEnd);
    return out;
}

QByteArray FrameMessage(const char* word, std::initializer_list<QString> fields) {
    return FrameMessage(word, QStringList(fields));
}

TChatMessage CutMessage(const QByteArray& message) {
    QString rest = QString::fromLatin1(message);
    TChatMessage m;
    SplitFirst(rest, QString(QChar(FieldSeparator)), m.Word);
    m.Word = m.Word.toUpper();
    m.Data = std::move(rest);
    return m;
}

QString TFieldReader::Next() {
    QString first;
    SplitFirst(rest_, QString(QChar(FieldSeparator)), first);
    return first;
}

std::optional<int> NumberWithin(const QString& text, int low, int high) {
    const std::optional<int> n = NumberField(text);
    if (!n || *n < low || *n > high) return std::nullopt;
    return n;
}

std::optional<int> NumberField(const QString& text) {
    const qsizetype digitsFrom = text.startsWith(u'-') ? 1 : 0;
    if (text.size() == digitsFrom) return std::nullopt;
    for (qsizetype i = digitsFrom; i < text.size(); ++i)
        if (text.at(i) < u'0' || text.at(i) > u'9') return std::nullopt;
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok) return std::nullopt;
    return value;
}

bool TMessageAssembler::Feed(const QByteArray& bytes) {
    if (start_ > 0 && start_ * 2 >= buffer_.size()) {
        buffer_.remove(0, start_);
        start_ = 0;
    }
    buffer_.append(bytes);
    const qsizetype lastEnd = bytes.lastIndexOf(char(MessageEnd));
    unfinished_ = lastEnd < 0 ? unfinished_ + bytes.size() : bytes.size() - lastEnd - 1;
    if (unfinished_ > MaxPending) {
        Clear();
        return false;
    }
    return true;
}

std::optional<QByteArray> TMessageAssembler::Take() {
    if (Pending() <= unfinished_) return std::nullopt;
    const qsizetype end = buffer_.indexOf(char(MessageEnd), start_);
    QByteArray message = buffer_.mid(start_, end - start_);
    start_ = end + 1;
    if (start_ == buffer_.size()) {
        buffer_.truncate(0); // keeps the capacity for the next read
        start_ = 0;
    }
    return message;
}

void TMessageAssembler::Clear() {
    buffer_.clear();
    start_ = 0;
    unfinished_ = 0;
}
