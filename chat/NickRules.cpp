#include "NickRules.h"

#include "ChatCodec.h"

namespace {

bool NickCharacter(QChar c) {
    const char16_t u = c.unicode();
    if (u == u' ') return true;
    if (u > 0xFF || u == FieldSeparator || u == MessageEnd) return false;
    return c.isPrint() && !c.isSpace();
}

} // namespace

bool IsAcceptableNick(const QString& nick) {
    if (nick.isEmpty() || nick.size() > MostNickLength) return false;
    if (nick.front() == u' ' || nick.back() == u' ') return false;
    for (const QChar c : nick)
        if (!NickCharacter(c)) return false;
    return !nick.contains(QLatin1String("  ")) && !nick.contains(QLatin1String(" >")) &&
           !nick.contains(QLatin1String("> "));
}

bool SameNick(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString SaneNick(const QString& nick) {
    QString out = WireSafeText(nick);
    for (QChar& c : out)
        if (!NickCharacter(c)) c = u' ';
    out = out.simplified();
    while (out.contains(QLatin1String(" >")) || out.contains(QLatin1String("> "))) {
        out.replace(QLatin1String(" >"), QLatin1String(">"));
        out.replace(QLatin1String("> "), QLatin1String(">"));
    }
    out = out.left(MostNickLength).trimmed();
    return IsAcceptableNick(out) ? out : QString();
}

QString Clipped(const QString& text, qsizetype most) {
    return text.size() <= most ? text : text.left(most);
}
