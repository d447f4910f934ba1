#include "ChatLog.h"

bool TChatLog::Add(const QString& text) {
    const QString line = OneLine(text);
    return Append({line, SegmentLength(line), SegmentColour(line)});
}

bool TChatLog::AddPlain(const QString& text) {
    return Append({OneLine(text), 0, TChatColour{}});
}

bool TChatLog::Append(TChatLogLine line) {
    if (line.Text.trimmed().isEmpty()) return false;
    if (lines_.size() >= MaxLines) lines_.removeFirst();
    lines_.append(std::move(line));
    OnLineAdded(lines_.last());
    return true;
}

void TChatLog::Clear() {
    lines_.clear();
    OnCleared();
}

QStringList TChatLog::Texts() const {
    QStringList out;
    out.reserve(lines_.size());
    for (const TChatLogLine& line : lines_)
        out << line.Text;
    return out;
}

QString TChatLog::OneLine(QString text) {
    for (QChar& ch : text) {
        const char16_t u = ch.unicode();
        if (u == '\n' || u == '\r' || u == 0x2028 || u == 0x2029 || u == 0xFDD0 || u == 0xFDD1)
            ch = QLatin1Char(' ');
    }
    return text;
}

int TChatLog::SegmentLength(const QString& line) {
    const qsizetype gt = line.indexOf(u'>');
    if (gt >= 0) return int(gt + 1);
    if (line.startsWith(QLatin1String("*  /"))) {
        const qsizetype paren = line.indexOf(QLatin1String(" ("));
        return paren < 0 ? 0 : int(paren + 1);
    }
    return int(line.size());
}

TChatColour TChatLog::SegmentColour(const QString& line) {
    if (line.startsWith(QLatin1String("* ZugaretCHAT")) ||
        line.startsWith(QLatin1String("Mensaje de")))
        return {0, 128, 0};
    if (line.startsWith(QLatin1String("*  /"))) return {128, 0, 128};
    if (line.startsWith(u'*')) return {0, 0, 255};
    if (line.startsWith(u'@')) return {128, 0, 128};
    if (line.startsWith(u'#')) return {255, 0, 0};
    if (line.contains(u'>')) return {236, 0, 0};
    return {};
}
