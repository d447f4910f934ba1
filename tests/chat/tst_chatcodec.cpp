// The wire format without sockets: framing (and what it does to text that
// could break it), cutting a message into word, data and fields, numbers,
// reassembly of a connection's reads, and the catalogue's roles.

#include "ChatCatalogue.h"
#include "ChatCodec.h"

#include <QTest>

using Chunks = QList<QByteArray>;

class TestChatCodec : public QObject {
    Q_OBJECT
private slots:
    void frame_data();
    void frame();
    void cut_data();
    void cut();
    void numbers_data();
    void numbers();
    void reassembly_data();
    void reassembly();
    void catalogue_data();
    void catalogue();
};

void TestChatCodec::frame_data() {
    QTest::addColumn<QString>("word");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("no field") << "/IDENT" << QStringList() << QByteArray("/IDENT\xFF");
    QTest::newRow("one field") << "/HOLA" << QStringList{"Luis"} << QByteArray("/HOLA\xFELuis\xFF");
    QTest::newRow("empty fields") << "/X" << QStringList{"", ""} << QByteArray("/X\xFE\xFE\xFF");
    QTest::newRow("latin-1") << "/TXT" << QStringList{QStringLiteral("¿Qué? Ñ")}
                             << QByteArray("/TXT\xFE\xBFQu\xE9? \xD1\xFF");
    QTest::newRow("protocol bytes in a field")
        << "/TXT" << QStringList{QStringLiteral("a\u00FE/KILL\u00FF")}
        << QByteArray("/TXT\xFE"
                      "a?/KILL?\xFF");
    QTest::newRow("beyond latin-1, a surrogate pair as one")
        << "/MSG" << QStringList{QStringLiteral("Bea"), QStringLiteral("€ \U0001F600!")}
        << QByteArray("/MSG\xFE"
                      "Bea\xFE? ?!\xFF");
}

void TestChatCodec::frame() {
    QFETCH(QString, word);
    QFETCH(QStringList, fields);
    QFETCH(QByteArray, bytes);
    QCOMPARE(FrameMessage(word.toLatin1().constData(), fields), bytes);
}

void TestChatCodec::cut_data() {
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("word");
    QTest::addColumn<QStringList>("fields"); // taken with Next until the rest is empty
    QTest::newRow("word only") << QByteArray("/IDENT") << "/IDENT" << QStringList{""};
    QTest::newRow("lower-case word") << QByteArray("/txt\xFEhola") << "/TXT" << QStringList{"hola"};
    QTest::newRow("two fields") << QByteArray("/NICK\xFE"
                                              "Ana\xFE"
                                              "Eva")
                                << "/NICK" << QStringList{"Ana", "Eva"};
    QTest::newRow("missing field") << QByteArray("/X\xFE") << "/X" << QStringList{""};
    QTest::newRow("empty") << QByteArray() << "" << QStringList{""};
}

void TestChatCodec::cut() {
    QFETCH(QByteArray, message);
    QFETCH(QString, word);
    QFETCH(QStringList, fields);
    const TChatMessage m = CutMessage(message);
    QCOMPARE(m.Word, word);
    TFieldReader reader(m.Data);
    QStringList got;
    do
        got << reader.Next();
    while (!reader.Rest().isEmpty());
    QCOMPARE(got, fields);
    QCOMPARE(reader.Next(), QString()); // past the end
}

void TestChatCodec::numbers_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value"); // -999 for none
    QTest::newRow("plain") << "1439" << 1439;
    QTest::newRow("negative") << "-3" << -3;
    QTest::newRow("empty") << "" << -999;
    QTest::newRow("minus only") << "-" << -999;
    QTest::newRow("blank") << " 1" << -999;
    QTest::newRow("plus") << "+1" << -999;
    QTest::newRow("letters") << "1x" << -999;
    QTest::newRow("too big") << "99999999999" << -999;
}

void TestChatCodec::numbers() {
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(NumberField(text).value_or(-999), value);
}

void TestChatCodec::reassembly_data() {
    QTest::addColumn<Chunks>("reads");
    QTest::addColumn<QList<QByteArray>>("messages");
    QTest::addColumn<bool>("refused");
    QTest::newRow("two in one read") << Chunks{"/A\xFF/B\xFE"
                                               "x\xFF"}
                                     << QList<QByteArray>{"/A", "/B\xFEx"} << false;
    QTest::newRow("cut by the network")
        << Chunks{"/TXT\xFEho", "la\xFF"} << QList<QByteArray>{"/TXT\xFEhola"} << false;
    QTest::newRow("end byte alone") << Chunks{"/A", "\xFF"} << QList<QByteArray>{"/A"} << false;
    QTest::newRow("tail waits") << Chunks{"/A\xFF/B"} << QList<QByteArray>{"/A"} << false;
    const QByteArray big = "/TXT\xFE" + QByteArray(3000, 'x');
    QTest::newRow("3000 bytes in reads of 1024")
        << Chunks{big.left(1024), big.mid(1024, 1024), big.mid(2048) + "\xFF"}
        << QList<QByteArray>{big} << false;
    const QByteArray limit(TMessageAssembler::MaxPending, 'y');
    QTest::newRow("64 KiB unfinished still waits")
        << Chunks{"/A\xFF", limit.left(40000), limit.mid(40000)} << QList<QByteArray>{"/A"}
        << false;
    QTest::newRow("more than 64 KiB unfinished")
        << Chunks{"/A\xFF", limit, "z"} << QList<QByteArray>{"/A"} << true;
}

void TestChatCodec::reassembly() {
    QFETCH(Chunks, reads);
    QFETCH(QList<QByteArray>, messages);
    QFETCH(bool, refused);
    TMessageAssembler a;
    QList<QByteArray> got;
    bool ok = true;
    for (const QByteArray& read : reads) {
        ok = a.Feed(read);
        if (!ok) break;
        while (const auto m = a.Take())
            got << *m;
    }
    QCOMPARE(got, messages);
    QCOMPARE(!ok, refused);
    if (refused) QCOMPARE(a.Pending(), 0);
}

void TestChatCodec::catalogue_data() {
    QTest::addColumn<QString>("word");
    QTest::addColumn<int>("role");
    QTest::addColumn<int>("handler"); // -1: dropped
    QTest::addColumn<QString>("data");
    QTest::addColumn<int>("malformed");
    using W = TChatWord;
    const int S = int(TRole::Server), C = int(TRole::Client), O = int(TRole::Observer),
              F = int(TRole::Offline);
    QTest::newRow("chat line on the host") << "/TXT" << S << int(W::Txt) << "hola" << -1;
    QTest::newRow("nothing when offline") << "/TXT" << F << -1 << "" << -1;
    QTest::newRow("greeting not for the host") << "/HOLA" << S << -1 << "" << -1;
    QTest::newRow("kill only on clients") << "/KILL" << S << -1 << "*" << -1;
    QTest::newRow("kill on an observer") << "/KILL" << O << int(W::Kill) << "*" << -1;
    QTest::newRow("help asked of a client") << "/HELP" << C << -1 << "" << -1;
    QTest::newRow("whois dropped") << "/WHOIS" << S << -1 << "Ana" << -1;
    QTest::newRow("decline draw dropped") << "/DECLINE_DRAW" << C << -1 << "Ana" << -1;
    QTest::newRow("reserved kick") << "/KICK" << C << -1 << "" << -1;
    QTest::newRow("unknown word") << "/NOPE" << S << -1 << "" << -1;
    QTest::newRow("position only for observers") << "/GAMEPOS" << C << -1 << "" << -1;
    QTest::newRow("good move") << "/MOV" << C << int(W::Mov)
                               << QStringLiteral("3\u00FE"
                                                 "0\u00FEe2e4\u00FE*\u00FE600")
                               << -1;
    QTest::newRow("move with bad seconds") << "/MOB" << O << int(W::Mob)
                                           << QStringLiteral("3\u00FE"
                                                             "0\u00FEe2e4\u00FE*\u00FE6m")
                                           << 4;
    QTest::newRow("offer with bad minutes") << "/NEW_GAME" << S << int(W::NewGame)
                                            << QStringLiteral("x\u00FE"
                                                              "0\u00FE"
                                                              "Ana\u00FE"
                                                              "1200")
                                            << 0;
    QTest::newRow("offer missing its rating") << "/NEW_GAME" << C << int(W::NewGame)
                                              << QStringLiteral("5\u00FE"
                                                                "1\u00FE"
                                                                "Ana")
                                              << 3;
}

void TestChatCodec::catalogue() {
    QFETCH(QString, word);
    QFETCH(int, role);
    QFETCH(int, handler);
    QFETCH(QString, data);
    QFETCH(int, malformed);
    const TCatalogueRow* row = FindCatalogueRow(word, TRole(role));
    QCOMPARE(row ? int(row->Id) : -1, handler);
    if (row) QCOMPARE(MalformedField(*row, data), malformed);
    // One row at most per word and role.
    for (const TCatalogueRow* a = CatalogueBegin(); a != CatalogueEnd(); ++a)
        for (const TCatalogueRow* b = a + 1; b != CatalogueEnd(); ++b)
            QVERIFY(qstrcmp(a->Word, b->Word) != 0 || (a->Roles & b->Roles) == 0);
}

QTEST_GUILESS_MAIN(TestChatCodec)
#include "tst_chatcodec.moc"
