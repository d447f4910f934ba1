#include "TextScrambler.h"

namespace {

// One step of the state: k := (c + k) * 48179 + 31607 modulo 65536.
quint16 NextKey(quint16 k, quint8 scrambled) {
    return static_cast<quint16>((static_cast<quint32>(scrambled) + k) * 48179u + 31607u);
}

} // namespace

QByteArray ScrambleText(const QByteArray& plain, quint16 key) {
    QByteArray out(plain.size(), '\0');
    quint16 k = key;
    for (qsizetype i = 0; i < plain.size(); ++i) {
        const auto c = static_cast<quint8>(static_cast<quint8>(plain[i]) ^ (k >> 8));
        out[i] = static_cast<char>(c);
        k = NextKey(k, c);
    }
    return out;
}

QByteArray UnscrambleText(const QByteArray& cipher, quint16 key) {
    QByteArray out(cipher.size(), '\0');
    quint16 k = key;
    for (qsizetype i = 0; i < cipher.size(); ++i) {
        const auto c = static_cast<quint8>(cipher[i]);
        out[i] = static_cast<char>(c ^ (k >> 8));
        k = NextKey(k, c);
    }
    return out;
}

QString ScrambleText(const QString& plain, quint16 key) {
    return QString::fromLatin1(ScrambleText(plain.toLatin1(), key));
}

QString UnscrambleText(const QString& cipher, quint16 key) {
    return QString::fromLatin1(UnscrambleText(cipher.toLatin1(), key));
}
