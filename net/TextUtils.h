#pragma once
// Small text routines shared by the chat, the move record, the game files and
// the update check.
//
// Inside the program every text is a QString; on the wire and in files the
// texts are Latin-1 bytes, one character per byte, so the protocol's bytes
// 0xFE and 0xFF are the characters U+00FE and U+00FF here.

#include <QByteArray>
#include <QString>
#include <QUrl>

// Cuts the first field off Rest: First receives the text before the first
// Separator and Rest keeps what follows the separator. Without a separator the
// whole of Rest goes to First and Rest becomes empty. An empty Separator means
// a single blank.
void SplitFirst(QString& Rest, const QString& Separator, QString& First);

// Text with every occurrence of Old that stands in Text replaced by New; text
// brought in by New is never searched again. An empty Old changes nothing.
QString ReplaceAll(const QString& Text, const QString& Old, const QString& New);

// Where OpenWithShell sends FileName: an address with a scheme ("http://…",
// "mailto:…") or starting with "www." as a URL, anything else as a local file,
// relative paths taken from Folder when one is given.
QUrl ShellTarget(const QString& FileName, const QString& Folder = QString());

// Conversions at the wire and file boundary: one byte per character. Characters
// beyond Latin-1 become "?".
inline QByteArray ToLatin1Bytes(const QString& text) {
    return text.toLatin1();
}
inline QString FromLatin1Bytes(const QByteArray& bytes) {
    return QString::fromLatin1(bytes);
}
