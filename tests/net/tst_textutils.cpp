// Text utilities: field cutting as the protocol and files use it, replacing,
// and where the shell is pointed.

#include "TextUtils.h"

#include <QTest>

class TstTextUtils : public QObject {
    Q_OBJECT

private slots:
    void splitFirst_data();
    void splitFirst();
    void splitFirstTakesFieldsUntilEmpty();
    void replaceAll_data();
    void replaceAll();
    void shellTarget_data();
    void shellTarget();
    void latin1RoundTrip();
};

#define FE QString(QChar(0xFE))
#define FF QString(QChar(0xFF))

void TstTextUtils::splitFirst_data() {
    QTest::addColumn<QString>("rest");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("restAfter");

    QTest::newRow("0xFE") << "uno" + FE + "dos" + FE << FE << "uno"
                          << "dos" + FE;
    QTest::newRow("0xFF keeps 0xFE fields")
        << "/MOV" + FE + "1" + FF + "/TXT" << FF << "/MOV" + FE + "1"
        << "/TXT";
    QTest::newRow("empty separator is a blank") << "/msg ana hola que tal"
                                                << ""
                                                << "/msg"
                                                << "ana hola que tal";
    QTest::newRow("no separator") << "entero" << FE << "entero"
                                  << "";
    QTest::newRow("empty text") << "" << FE << ""
                                << "";
    QTest::newRow("separator first") << FE + "x" << FE << ""
                                     << "x";
    QTest::newRow("separator last") << "x" + FE << FE << "x"
                                    << "";
    QTest::newRow("two blanks give an empty part") << "a  b"
                                                   << " "
                                                   << "a"
                                                   << " b";
    QTest::newRow("several characters skip the whole separator") << "a<->b<->c"
                                                                 << "<->"
                                                                 << "a"
                                                                 << "b<->c";
}

void TstTextUtils::splitFirst() {
    QFETCH(QString, rest);
    QFETCH(QString, separator);
    QFETCH(QString, first);
    QFETCH(QString, restAfter);
    QString out = QStringLiteral("stale");
    SplitFirst(rest, separator, out);
    QCOMPARE(out, first);
    QCOMPARE(rest, restAfter);
}

void TstTextUtils::splitFirstTakesFieldsUntilEmpty() {
    QString rest = "uno" + FE + "dos" + FE;
    QString a, b;
    SplitFirst(rest, FE, a);
    SplitFirst(rest, FE, b);
    QCOMPARE(a, QStringLiteral("uno"));
    QCOMPARE(b, QStringLiteral("dos"));
    QVERIFY(rest.isEmpty());

    // Long remainders are kept whole.
    rest = "x" + FE + QString(100000, QLatin1Char('y'));
    SplitFirst(rest, FE, a);
    QCOMPARE(rest.size(), 100000);
}

void TstTextUtils::replaceAll_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("oldText");
    QTest::addColumn<QString>("newText");
    QTest::addColumn<QString>("result");

    QTest::newRow("nick by nick plus digit") << "Pepe [1.2.3.4] Pepe vs Pepe"
                                             << "Pepe"
                                             << "Pepe2"
                                             << "Pepe2 [1.2.3.4] Pepe2 vs Pepe2";
    QTest::newRow("empty new deletes") << "a-b-c-"
                                       << "-"
                                       << ""
                                       << "abc";
    QTest::newRow("empty old changes nothing") << "abc"
                                               << ""
                                               << "X"
                                               << "abc";
    QTest::newRow("case counts") << "Ana ana"
                                 << "ana"
                                 << "Eva"
                                 << "Ana Eva";
    QTest::newRow("adjacent occurrences") << "aaaa"
                                          << "aa"
                                          << "b"
                                          << "bb";
    QTest::newRow("new brings in old") << "ab"
                                       << "a"
                                       << "aa"
                                       << "aab";
    QTest::newRow("not present") << "hola"
                                 << "x"
                                 << "y"
                                 << "hola";
}

void TstTextUtils::replaceAll() {
    QFETCH(QString, text);
    QFETCH(QString, oldText);
    QFETCH(QString, newText);
    QFETCH(QString, result);
    QCOMPARE(ReplaceAll(text, oldText, newText), result);
}

void TstTextUtils::shellTarget_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QUrl>("url");

    QTest::newRow("web address") << "http://example.com/zugaret.htm"
                                 << "" << QUrl("http://example.com/zugaret.htm");
    QTest::newRow("mail") << "mailto:a@example.com"
                          << "" << QUrl("mailto:a@example.com");
    QTest::newRow("www without scheme") << "www.example.com"
                                        << "" << QUrl("http://www.example.com");
    QTest::newRow("absolute path") << "/tmp/partida.gam"
                                   << "/home" << QUrl::fromLocalFile("/tmp/partida.gam");
    QTest::newRow("relative path in folder")
        << "Png/ana.pgn"
        << "/srv/zugaret" << QUrl::fromLocalFile("/srv/zugaret/Png/ana.pgn");
    QTest::newRow("path with colon later") << "/tmp/a:b.txt"
                                           << "" << QUrl::fromLocalFile("/tmp/a:b.txt");
    QTest::newRow("path with blanks and hash")
        << "/tmp/mi partida #1.gam"
        << "" << QUrl::fromLocalFile("/tmp/mi partida #1.gam");
}

void TstTextUtils::shellTarget() {
    QFETCH(QString, fileName);
    QFETCH(QString, folder);
    QFETCH(QUrl, url);
    QCOMPARE(ShellTarget(fileName, folder), url);
}

void TstTextUtils::latin1RoundTrip() {
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    const QString text = FromLatin1Bytes(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(text.at(0xFE), QChar(0xFE));
    QCOMPARE(ToLatin1Bytes(text), all);
    QCOMPARE(ToLatin1Bytes(QStringLiteral("Dirección")), QByteArray("Direcci\xF3n"));
}

QTEST_GUILESS_MAIN(TstTextUtils)
#include "tst_textutils.moc"
