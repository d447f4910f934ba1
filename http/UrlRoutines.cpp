#include "UrlRoutines.h"

#include <QDir>
#include <QFileInfo>

namespace {

bool IsBlankChar(QChar c) {
    return c.unicode() <= 0x20;
}

// url without the protocol UrlProtocol finds.
QString WithoutProtocol(const QString& url) {
    return url.mid(UrlProtocol(url).size());
}

QString WithSlash(const QString& folder) {
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

// The part of a link word between its quotes, as step 5 of the link rules
// takes it: after the first "=", the first character is the quote.
QString QuotedValue(QString word) {
    const int eq = word.indexOf(QLatin1Char('='));
    if (eq >= 0) word = word.mid(eq + 1);
    if (word.isEmpty()) return QString();
    const QChar quote = word.at(0);
    word.remove(0, 1);
    const int close = word.indexOf(quote);
    return close < 0 ? QString() : word.left(close);
}

} // namespace

QString TrimBlanks(const QString& text) {
    int first = 0;
    int last = static_cast<int>(text.size()) - 1;
    while (first <= last && IsBlankChar(text.at(first)))
        ++first;
    while (last >= first && IsBlankChar(text.at(last)))
        --last;
    return text.mid(first, last - first + 1);
}

int LastCharPos(const QString& text, QChar c) {
    return static_cast<int>(text.lastIndexOf(c)) + 1;
}

QString TextExtension(const QString& text) {
    const qsizetype dot = text.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) return QString();
    const QString ext = text.mid(dot);
    if (ext.contains(QLatin1Char('\\')) || ext.contains(QLatin1Char(':'))) return QString();
    return ext;
}

QString UrlProtocol(const QString& url) {
    if (TrimBlanks(url).isEmpty()) return QString();
    const qsizetype at = url.indexOf(QLatin1String("://"));
    return at < 0 ? QString() : url.left(at + 3);
}

QString UrlHost(const QString& url) {
    const QString rest = WithoutProtocol(url);
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    return slash >= 1 ? rest.left(slash) : rest;
}

QString UrlDir(const QString& url) {
    QString rest = WithoutProtocol(url);
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    if (slash >= 0) rest = rest.mid(slash + 1);
    if (!rest.isEmpty() && TextExtension(rest).isEmpty() && !rest.endsWith(QLatin1Char('/')))
        rest += QLatin1Char('/');
    const qsizetype last = rest.lastIndexOf(QLatin1Char('/'));
    return last < 0 ? QString() : rest.left(last);
}

QString UrlFileName(const QString& url) {
    QString rest = WithoutProtocol(url);
    if (rest.endsWith(QLatin1Char('/'))) rest.chop(1);
    const qsizetype last = rest.lastIndexOf(QLatin1Char('/'));
    QString name = last < 0 ? QString() : rest.mid(last + 1);
    if (name.isEmpty()) name = QStringLiteral("index.htm");
    if (TextExtension(name).isEmpty()) name += QLatin1String(".htm");
    return name;
}

QString ParentPath(const QString& path) {
    const qsizetype last = path.lastIndexOf(QLatin1Char('/'));
    return last < 0 ? QString() : path.left(last);
}

QString PrepareDir(const QString& dir, bool create, const QString& programFolder, QString* error) {
    QString folder = dir;
    if (TrimBlanks(folder).isEmpty())
        folder = programFolder;
    else if (QDir::isRelativePath(folder))
        folder = WithSlash(programFolder) + folder;
    folder = WithSlash(folder);
    if (create && !QFileInfo(folder).isDir() && !QDir().mkdir(folder)) {
        if (error) *error = QStringLiteral("No se pudo crear el directorio ") + folder;
        return QString();
    }
    return folder;
}

bool IsTextResource(const QString& localPath) {
    static const char* const textExtensions[] = {".HTM", ".HTML", ".ASP", ".TXT", ".JS", ".CSS"};
    const QString ext = TextExtension(localPath).toUpper();
    for (const char* text : textExtensions)
        if (ext == QLatin1String(text)) return true;
    return false;
}

QStringList SplitLines(const QString& text) {
    QStringList lines;
    const qsizetype n = text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n')) continue;
        lines << text.mid(start, i - start);
        if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n')) ++i;
        start = i + 1;
    }
    if (start < n) lines << text.mid(start);
    return lines;
}

bool AddSortedUnique(QStringList& list, const QString& value) {
    qsizetype low = 0;
    qsizetype high = list.size();
    while (low < high) {
        const qsizetype mid = (low + high) / 2;
        const int order = QString::compare(list.at(mid), value, Qt::CaseInsensitive);
        if (order == 0) return false;
        if (order < 0)
            low = mid + 1;
        else
            high = mid;
    }
    list.insert(low, value);
    return true;
}

QStringList ExtractLinks(const QStringList& body, const QString& url) {
    QStringList links;
    const QString protocol = UrlProtocol(url);
    const QString host = UrlHost(url);
    const QString dir = UrlDir(url);
    const QString site = protocol + host + QLatin1Char('/');
    QString work = body.join(QLatin1String("\r\n"));
    do {
        QString word;
        const qsizetype blank = work.indexOf(QLatin1Char(' '));
        if (blank < 0) {
            word = work;
            work.clear();
        } else {
            word = work.left(blank);
            work.remove(0, blank + 1);
        }
        if (TrimBlanks(word).size() < 2) continue;
        const QString upper = word.toUpper();
        if (!upper.startsWith(QLatin1String("SRC")) && !upper.startsWith(QLatin1String("HREF")) &&
            !upper.startsWith(QLatin1String("CODE")))
            continue;
        const qsizetype hash = word.indexOf(QLatin1Char('#'));
        if (hash >= 0) word.truncate(hash);
        QString value = QuotedValue(word);
        if (value.size() < 2) continue;
        if (value.startsWith(QLatin1Char('/')))
            value = site + value.mid(1);
        else if (value.startsWith(QLatin1String("../")))
            value = site + ParentPath(dir) + QLatin1Char('/') + value.mid(3);
        else if (!value.startsWith(QLatin1String("javascript:")) &&
                 !value.startsWith(QLatin1String("mailto:")) &&
                 (protocol.isEmpty() || !value.contains(protocol)))
            value = site + dir + QLatin1Char('/') + value;
        AddSortedUnique(links, value);
    } while (work.size() >= 2);
    return links;
}
