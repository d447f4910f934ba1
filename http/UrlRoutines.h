#pragma once
// Text routines of the download component: the parts of a URL, the local
// folder and file name a download is saved under, the lines of a text
// resource and the links a page names.
//
// They work on the texts as they stand, without parsing or decoding a URL,
// so a page and its links read the same way on every copy of the program.
// Positions are 1-based where a routine returns one.
//
// What must stay true:
// - the extension of a text is the part from its last "." onwards, empty when
//   there is no "." or when a "\" or ":" follows the last "." ("/" is not a
//   delimiter here: "a.x/b" has the extension ".x/b");
// - UrlFileName always ends with an extension, so a local path made from it
//   decides the text/binary mode from the resource's own name;
// - ExtractLinks returns each link once, equal but for letter case counting
//   as one (the first found stays), in case-insensitive sorted order.

#include <QString>
#include <QStringList>

// Blanks as the program trims them: every character up to U+0020 at either end.
QString TrimBlanks(const QString& text);

// 1-based position of the last occurrence of c in text, 0 if none.
int LastCharPos(const QString& text, QChar c);

// The extension of text as described above, with its leading ".".
QString TextExtension(const QString& text);

// "" for a blank url; otherwise the text up to and including the first "://"
// ("http://"), or "" when there is none.
QString UrlProtocol(const QString& url);
// url without its protocol, then the text before the first "/" when that "/"
// is at position 2 or later, else the whole remainder.
QString UrlHost(const QString& url);
// url without its protocol, then the text after the first "/" (the whole
// remainder without one); a "/" appended when that is not empty, has no
// extension and does not end in "/"; the result is the text before its last
// "/" ("" without one). "http://h/a/b/c.htm" gives "a/b".
QString UrlDir(const QString& url);
// url without its protocol and one trailing "/"; the text after the last "/",
// or "index.htm" when there is none or nothing is left; ".htm" appended when
// the result has no extension.
QString UrlFileName(const QString& url);
// path up to its last "/", that "/" excluded; "" when there is none.
QString ParentPath(const QString& path);

// The download folder in normalised form: a blank dir is programFolder; a
// relative one is taken from programFolder; a "/" is appended unless the text
// ends in one. With create, a folder that does not exist is made (one level,
// no missing parents); when that fails the result is empty and error holds
// "No se pudo crear el directorio " + folder. programFolder is absolute.
QString PrepareDir(const QString& dir, bool create, const QString& programFolder,
                   QString* error = nullptr);

// True when a local path names a resource read as text: its extension,
// upper-cased, is ".HTM", ".HTML", ".ASP", ".TXT", ".JS" or ".CSS".
bool IsTextResource(const QString& localPath);

// The lines of a text; a line ends at CR, LF or the pair CR LF, and a last
// line without an end is a line too ("a\nb\n" and "a\r\nb" both give a, b).
QStringList SplitLines(const QString& text);

// Inserts value into a list kept in case-insensitive order unless a value
// equal to it but for letter case is there already. True when it was added.
bool AddSortedUnique(QStringList& list, const QString& value);

// The src, href and code values named in a page's lines, made absolute
// against the page's url; sorted and unique as AddSortedUnique keeps them.
QStringList ExtractLinks(const QStringList& body, const QString& url);
