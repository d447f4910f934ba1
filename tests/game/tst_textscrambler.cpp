// Rating scrambling: fixed vectors (worked out by hand from the rule, so a
// change of the walk is caught) and the inverse property over every byte.
#include "TextScrambler.h"

#include <QRandomGenerator>
#include <QTest>

class TstEncryptIt : public QObject {
    Q_OBJECT
private slots:
    void knownVectors_data();
    void knownVectors();
    void inverseOverAllBytes();
    void latin1Texts();
};

void TstEncryptIt::knownVectors_data() {
    QTest::addColumn<QByteArray>("plain");
    QTest::addColumn<int>("key");
    QTest::addColumn<QByteArray>("cipherHex");
    QTest::newRow("rating 1215") << QByteArray("01215") << 5817 << QByteArray("26FC006BD0");
    QTest::newRow("rating 1100") << QByteArray("01100") << 5817 << QByteArray("26FC03BEF0");
    QTest::newRow("other key") << QByteArray("Hola ZugaretCHAT") << 1
                               << QByteArray("48495C43F0FFD964DF681928C81FE60E");
    QTest::newRow("empty") << QByteArray() << 5817 << QByteArray();
}

void TstEncryptIt::knownVectors() {
    QFETCH(QByteArray, plain);
    QFETCH(int, key);
    QFETCH(QByteArray, cipherHex);
    const QByteArray cipher = ScrambleText(plain, quint16(key));
    QCOMPARE(cipher.toHex().toUpper(), cipherHex);
    QCOMPARE(UnscrambleText(cipher, quint16(key)), plain);
}

void TstEncryptIt::inverseOverAllBytes() {
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    for (const quint16 key : {quint16(0), quint16(5817), quint16(65535)}) {
        const QByteArray cipher = ScrambleText(all, key);
        QCOMPARE(cipher.size(), all.size());
        QCOMPARE(UnscrambleText(cipher, key), all);
        QVERIFY(cipher != all);
    }
    auto* rng = QRandomGenerator::global();
    for (int i = 0; i < 200; ++i) {
        QByteArray text(int(rng->bounded(1, 64)), '\0');
        for (char& c : text)
            c = char(rng->bounded(256));
        const auto key = quint16(rng->bounded(65536));
        QCOMPARE(UnscrambleText(ScrambleText(text, key), key), text);
    }
    // The wrong key does not give the text back.
    QVERIFY(UnscrambleText(ScrambleText(QByteArray("01215"), 5817), 5818) != "01215");
}

void TstEncryptIt::latin1Texts() {
    const QString nick = QStringLiteral("Peñón ñ");
    const QString cipher = ScrambleText(nick, EloScrambleKey);
    QCOMPARE(cipher.size(), nick.size());
    QCOMPARE(cipher.toLatin1(), ScrambleText(nick.toLatin1(), EloScrambleKey));
    QCOMPARE(UnscrambleText(cipher, EloScrambleKey), nick);
}

QTEST_APPLESS_MAIN(TstEncryptIt)
#include "tst_textscrambler.moc"
