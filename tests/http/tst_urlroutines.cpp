// The download component's text routines: the parts of a URL (with their odd
// cases), the local names, text lines, and the links a page names.

#include "UrlRoutines.h"

#include <QTest>

class TstUrlRoutines : public QObject {
    Q_OBJECT
private slots:
    void routines_data();
    void routines();
    void links_data();
    void links();
};

namespace {

QString Apply(const QString& routine, const QString& input) {
    if (routine == "LastCharPos") return QString::number(LastCharPos(input, '/'));
    if (routine == "UrlProtocol") return UrlProtocol(input);
    if (routine == "UrlHost") return UrlHost(input);
    if (routine == "UrlDir") return UrlDir(input);
    if (routine == "UrlFileName") return UrlFileName(input);
    if (routine == "ParentPath") return ParentPath(input);
    if (routine == "TrimBlanks") return TrimBlanks(input);
    if (routine == "PrepareDir") return PrepareDir(input, false, "/opt/zug/");
    if (routine == "IsTextResource") return IsTextResource(input) ? "text" : "binary";
    const QStringList lines = SplitLines(input);
    return QString::number(lines.size()) + ":" + lines.join('|');
}

} // namespace

void TstUrlRoutines::routines_data() {
    QTest::addColumn<QString>("routine");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    const QList<QStringList> rows = {
        {"LastCharPos", "a/b/c", "4"},
        {"LastCharPos", "abc", "0"},
        {"UrlProtocol", "http://h/zugaret.txt", "http://"},
        {"UrlProtocol", "h/zugaret.txt", ""},
        {"UrlProtocol", "   ", ""},
        {"UrlProtocol", "a://b://c", "a://"},
        {"UrlHost", "http://www.x.org/a/b.htm", "www.x.org"},
        {"UrlHost", "http://host", "host"},
        {"UrlHost", "http:///abs", "/abs"},
        {"UrlDir", "http://h/a/b/c.htm", "a/b"},
        {"UrlDir", "http://h/a/b", "a/b"},
        {"UrlDir", "http://h/a/b/", "a/b"},
        {"UrlDir", "http://h/", ""},
        {"UrlDir", "http://h/c.htm", ""},
        {"UrlDir", "http://host", "host"},
        {"UrlDir", "http://www.x.com", ""},
        {"UrlDir", "http://h/a.x/b", "a.x"},
        {"UrlFileName", "http://h/zugaret.txt", "zugaret.txt"},
        {"UrlFileName", "http://h/", "index.htm"},
        {"UrlFileName", "http://h", "index.htm"},
        {"UrlFileName", "http://h/a/doc", "doc.htm"},
        {"UrlFileName", "http://h/a/doc/", "doc.htm"},
        {"UrlFileName", "http://h/a//", "index.htm"},
        {"UrlFileName", "http://h/x.y:z", "x.y:z.htm"},
        {"UrlFileName", "http://h/a.b\\c", "a.b\\c.htm"},
        {"ParentPath", "x/y", "x"},
        {"ParentPath", "x/y/", "x/y"},
        {"ParentPath", "x", ""},
        {"TrimBlanks", "\t x \r\x01", "x"},
        {"PrepareDir", "", "/opt/zug/"},
        {"PrepareDir", "  ", "/opt/zug/"},
        {"PrepareDir", "descargas", "/opt/zug/descargas/"},
        {"PrepareDir", "/tmp/d", "/tmp/d/"},
        {"PrepareDir", "/tmp/d/", "/tmp/d/"},
        {"IsTextResource", "/p/zugaret.txt", "text"},
        {"IsTextResource", "/p/INDEX.HTML", "text"},
        {"IsTextResource", "/p/a.js", "text"},
        {"IsTextResource", "/p/a.asp", "text"},
        {"IsTextResource", "/p/a.css", "text"},
        {"IsTextResource", "/p/a.txt.gz", "binary"},
        {"IsTextResource", "/p/a.png", "binary"},
        {"SplitLines", "a\nb\n", "2:a|b"},
        {"SplitLines", "a\r\nb", "2:a|b"},
        {"SplitLines", "a\r\rb\n\r", "4:a||b|"},
        {"SplitLines", "", "0:"},
    };
    for (const QStringList& r : rows) {
        QString name = r[0] + " " + r[1];
        name.replace("\r", "\\r").replace("\n", "\\n").replace("\t", "\\t").replace("\x01", "^A");
        QTest::newRow(qPrintable(name)) << r[0] << r[1] << r[2];
    }
}

void TstUrlRoutines::routines() {
    QFETCH(QString, routine);
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(Apply(routine, input), expected);
}

void TstUrlRoutines::links_data() {
    QTest::addColumn<QStringList>("body");
    QTest::addColumn<QStringList>("links");
    const QString d = "http://h/x/y/";
    QTest::newRow("rooted") << QStringList{"<a href=\"/top.htm\">"}
                            << QStringList{"http://h/top.htm"};
    QTest::newRow("relative") << QStringList{"<img src=\"v.gif\">"} << QStringList{d + "v.gif"};
    QTest::newRow("parent") << QStringList{"<a href=\"../up.htm\">"}
                            << QStringList{"http://h/x/up.htm"};
    QTest::newRow("kept as they are")
        << QStringList{"<a href=\"mailto:ana@x.org\"> <a href='javascript:go()'>",
                       "<a href=\"http://otro.org/z\">"}
        << QStringList{"http://otro.org/z", "javascript:go()", "mailto:ana@x.org"};
    QTest::newRow("anchor loses its quote")
        << QStringList{"<a href=\"a.htm#top\">"} << QStringList{};
    QTest::newRow("once, sorted, first kept")
        << QStringList{"href=\"B.htm\" href=\"a.htm\" HREF=\"b.HTM\" code='c.class'"}
        << QStringList{d + "a.htm", d + "B.htm", d + "c.class"};
    QTest::newRow("too short or empty") << QStringList{"href= href=x src=\"\" sr"} << QStringList{};
    QTest::newRow("a line break is no blank")
        << QStringList{"<a", "href=\"n.htm\">"} << QStringList{};
    QTest::newRow("empty page") << QStringList{} << QStringList{};
}

void TstUrlRoutines::links() {
    QFETCH(QStringList, body);
    QFETCH(QStringList, links);
    QCOMPARE(ExtractLinks(body, "http://h/x/y/p.htm"), links);
}

QTEST_GUILESS_MAIN(TstUrlRoutines)
#include "tst_urlroutines.moc"
