#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The rating kept in "ZuzPlak.ini" is scrambled so that it is not edited by
// hand: a byte-wise XOR with a 16-bit state that advances with every
// scrambled byte. Both directions update the state with the scrambled byte,
// which is what makes UnscrambleText(ScrambleText(t, k), k) == t for every
// byte string and key. The output has the length of the input and its bytes
// take any value 0..255, so callers that store it in text files must encode it.

// The key of the stored user rating (section User, key Elo).
inline constexpr quint16 EloScrambleKey = 5817;

QByteArray ScrambleText(const QByteArray& plain, quint16 key);
QByteArray UnscrambleText(const QByteArray& cipher, quint16 key);

// The same over texts whose characters are Latin-1 (one character per byte);
// characters beyond Latin-1 are taken as "?" as they would be in a file.
QString ScrambleText(const QString& plain, quint16 key);
QString UnscrambleText(const QString& cipher, quint16 key);
