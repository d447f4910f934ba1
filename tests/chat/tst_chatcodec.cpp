// The wire format without sockets: framing (and what it does to text that
// could break it), cutting a message into word and fields,
// reassembly of a connection's reads, and the catalogue's roles and numbers.

#include "ChatCatalogue.h"
#include "ChatCodec.h"
#include "ChatTestUtil.h"

using Bytes = QList<QByteArray>;

class TestChatCodec : public QObject {
    Q_OBJECT
private slots:
    void frame_data();
    void frame();
    void cut_data();
    void cut();
    void reassembly_data();
    void reassembly();
    void catalogue_data();
    void catalogue();
};

void TestChatCodec::frame_data() {
    QTest::addColumn<QString>("word");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("no field") << "/IDENT" << QStringList() << Wire("/IDENT#");
    QTest::newRow("one field") << "/HOLA" << QStringList{"Luis"} << Wire("/HOLA|Luis#");
    QTest::newRow("latin-1") << "/TXT" << QStringList{QStringLiteral("¿Qué? Ñ")}
                             << Wire("/TXT|\xBFQu\xE9? \xD1#");
    QTest::newRow("protocol bytes in a field")
        << "/TXT" << QStringList{QStringLiteral("a\u00FE/KILL\u00FF")} << Wire("/TXT|a?/KILL?#");
    QTest::newRow("beyond latin-1, a surrogate pair as one")
        << "/MSG" << QStringList{"Bea", QStringLiteral("€ \U0001F600!")} << Wire("/MSG|Bea|? ?!#");
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
    QTest::newRow("word only") << Wire("/IDENT") << "/IDENT" << QStringList{""};
    QTest::newRow("lower-case word") << Wire("/txt|hola") << "/TXT" << QStringList{"hola"};
    QTest::newRow("two fields") << Wire("/NICK|Ana|Eva") << "/NICK" << QStringList{"Ana", "Eva"};
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

void TestChatCodec::reassembly_data() {
    QTest::addColumn<Bytes>("reads");
    QTest::addColumn<Bytes>("messages");
    QTest::addColumn<bool>("refused");
    QTest::newRow("two in one read")
        << Bytes{Wire("/A#/B|x#")} << Bytes{"/A", Wire("/B|x")} << false;
    QTest::newRow("cut by the network")
        << Bytes{Wire("/TXT|ho"), Wire("la#")} << Bytes{Wire("/TXT|hola")} << false;
    QTest::newRow("tail waits") << Bytes{Wire("/A#/B")} << Bytes{"/A"} << false;
    const QByteArray big = Wire("/TXT|") + QByteArray(3000, 'x');
    QTest::newRow("3000 bytes in reads of 1024")
        << Bytes{big.left(1024), big.mid(1024, 1024), big.mid(2048) + '\xFF'} << Bytes{big}
        << false;
    const QByteArray limit(TMessageAssembler::MaxPending, 'y');
    QTest::newRow("64 KiB unfinished still waits")
        << Bytes{Wire("/A#"), limit.left(40000), limit.mid(40000)} << Bytes{"/A"} << false;
    QTest::newRow("more than 64 KiB unfinished")
        << Bytes{Wire("/A#"), limit, "z"} << Bytes{"/A"} << true;
}

void TestChatCodec::reassembly() {
    QFETCH(Bytes, reads);
    QFETCH(Bytes, messages);
    QFETCH(bool, refused);
    TMessageAssembler a;
    Bytes got;
    bool ok = true;
    for (const QByteArray& read : reads) {
        if (!(ok = a.Feed(read))) break;
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
    QTest::newRow("chat line on the host") << "/TXT" << S << int(W::HostTxt) << "hola" << -1;
    QTest::newRow("chat line on a client") << "/TXT" << C << int(W::Txt) << "hola" << -1;
    QTest::newRow("version asked of the host")
        << "/VERSION" << S << int(W::HostVersion) << "" << -1;
    QTest::newRow("version asked of an observer") << "/VERSION" << O << int(W::Version) << "" << -1;
    QTest::newRow("private message offline") << "/MSG" << F << -1 << "Ana" << -1;
    QTest::newRow("nothing when offline") << "/TXT" << F << -1 << "" << -1;
    QTest::newRow("greeting not for the host") << "/HOLA" << S << -1 << "" << -1;
    QTest::newRow("kill only on clients") << "/KILL" << S << -1 << "*" << -1;
    QTest::newRow("kill on an observer") << "/KILL" << O << int(W::Kill) << "*" << -1;
    QTest::newRow("whois dropped") << "/WHOIS" << S << -1 << "Ana" << -1;
    QTest::newRow("decline draw") << "/DECLINE_DRAW" << C << int(W::DeclineDraw) << "Ana" << -1;
    QTest::newRow("decline draw offline") << "/DECLINE_DRAW" << F << -1 << "Ana" << -1;
    QTest::newRow("unknown word") << "/NOPE" << S << -1 << "" << -1;
    QTest::newRow("good move") << "/MOV" << C << int(W::Mov) << WireText("3|0|e2e4|*|600") << -1;
    QTest::newRow("move with bad seconds")
        << "/MOB" << O << int(W::Mob) << WireText("3|0|e2e4|*|6m") << 4;
    QTest::newRow("offer with bad minutes")
        << "/NEW_GAME" << S << int(W::NewGame) << WireText("x|0|Ana|1200") << 0;
    QTest::newRow("offer with a signed or too big number")
        << "/ACCEPT_GAME" << S << int(W::AcceptGame) << WireText("5|-1|Ana|99999999999") << 3;
    QTest::newRow("offer with a plus sign")
        << "/NEW_GAME" << C << int(W::NewGame) << WireText("+5|1|Ana|1200") << 0;
    QTest::newRow("offer missing its rating")
        << "/NEW_GAME" << C << int(W::NewGame) << WireText("5|1|Ana") << 3;
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
