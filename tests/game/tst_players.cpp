// The move record's text form (byte for byte, since it travels between
// copies of the program) and the rating rule.

#include "MoveMessage.h"
#include "Players.h"

#include <QTest>

#include <limits>

class TstWeapon : public QObject {
    Q_OBJECT

private slots:
    void moveRecordReadsAndWritesBack_data();
    void moveRecordReadsAndWritesBack();
    void moveRecordFieldsSurviveWriting();
    void unreadableMoveRecord_data();
    void unreadableMoveRecord();
    void emptyPromotionReadsAsNone();
    void newElo_data();
    void newElo();
    void roundHalfEven_data();
    void roundHalfEven();
};

static QString Fields(const QByteArray& latin1) {
    return QString::fromLatin1(latin1);
}

void TstWeapon::moveRecordReadsAndWritesBack_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("whiteMoved");
    QTest::addColumn<QString>("move");
    QTest::addColumn<QChar>("promotion");
    QTest::addColumn<int>("seconds");

    QTest::newRow("black reply") << QByteArray("3\xFE"
                                               "1\xFE"
                                               "e7e5\xFE*\xFE"
                                               "880")
                                 << 3 << false << "e7e5" << QChar('*') << 880;
    QTest::newRow("white first move") << QByteArray("1\xFE"
                                                    "0\xFE"
                                                    "e2e4\xFE*\xFE"
                                                    "899")
                                      << 1 << true << "e2e4" << QChar('*') << 899;
    QTest::newRow("promotion") << QByteArray("57\xFE"
                                             "0\xFE"
                                             "a7a8\xFEQ\xFE"
                                             "0")
                               << 57 << true << "a7a8" << QChar('Q') << 0;
}

void TstWeapon::moveRecordReadsAndWritesBack() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, number);
    QFETCH(bool, whiteMoved);
    QFETCH(QString, move);
    QFETCH(QChar, promotion);
    QFETCH(int, seconds);

    TMovimiento m;
    QString error;
    QVERIFY2(TMovimiento::FromText(Fields(bytes), m, &error), qPrintable(error));
    QCOMPARE(m.MoveNumber, number);
    QCOMPARE(m.WhiteMoved, whiteMoved);
    QCOMPARE(m.Move, move);
    QCOMPARE(m.Promotion, promotion);
    QCOMPARE(m.Seconds, seconds);
    QCOMPARE(m.ToText().toLatin1(), bytes);
}

void TstWeapon::moveRecordFieldsSurviveWriting() {
    TMovimiento m;
    m.MoveNumber = 120;
    m.WhiteMoved = false;
    m.Move = "h2h1";
    m.Promotion = 'N';
    m.Seconds = 3599;
    TMovimiento back;
    QVERIFY(TMovimiento::FromText(m.ToText(), back));
    QCOMPARE(back.MoveNumber, 120);
    QCOMPARE(back.WhiteMoved, false);
    QCOMPARE(back.Move, QStringLiteral("h2h1"));
    QCOMPARE(back.Promotion, QChar('N'));
    QCOMPARE(back.Seconds, 3599);
}

void TstWeapon::unreadableMoveRecord_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("number not numeric") << QByteArray("x\xFE"
                                                      "0\xFE"
                                                      "e2e4\xFE*\xFE"
                                                      "899");
    QTest::newRow("side not numeric") << QByteArray("1\xFE"
                                                    "w\xFE"
                                                    "e2e4\xFE*\xFE"
                                                    "899");
    QTest::newRow("seconds not numeric") << QByteArray("1\xFE"
                                                       "0\xFE"
                                                       "e2e4\xFE*\xFE"
                                                       "8:99");
    QTest::newRow("seconds missing") << QByteArray("1\xFE"
                                                   "0\xFE"
                                                   "e2e4\xFE*");
    QTest::newRow("empty text") << QByteArray();
    QTest::newRow("only separators") << QByteArray("\xFE\xFE\xFE\xFE");
}

void TstWeapon::unreadableMoveRecord() {
    QFETCH(QByteArray, bytes);
    TMovimiento m;
    m.MoveNumber = 7;
    m.Move = "g1f3";
    QString error;
    QVERIFY(!TMovimiento::FromText(Fields(bytes), m, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(m.MoveNumber, 7); // untouched
    QCOMPARE(m.Move, QStringLiteral("g1f3"));
    QVERIFY(!TMovimiento::FromText(Fields(bytes), m)); // no error text wanted
}

void TstWeapon::emptyPromotionReadsAsNone() {
    TMovimiento m;
    QVERIFY(TMovimiento::FromText(Fields("4\xFE"
                                         "1\xFE"
                                         "d7d5\xFE\xFE"
                                         "870"),
                                  m));
    QCOMPARE(m.Promotion, QChar('*'));
    QCOMPARE(m.Seconds, 870);
    QCOMPARE(m.Move, QStringLiteral("d7d5"));
}

void TstWeapon::newElo_data() {
    QTest::addColumn<int>("own");
    QTest::addColumn<int>("opponent");
    QTest::addColumn<int>("score");
    QTest::addColumn<int>("result");

    QTest::newRow("equal, win") << 1200 << 1200 << 100 << 1215;
    QTest::newRow("equal, loss") << 1200 << 1200 << 0 << 1185;
    QTest::newRow("1500 beats 1000") << 1500 << 1000 << 100 << 1506;
    QTest::newRow("2200 draw") << 2200 << 2200 << 50 << 2200;
    QTest::newRow("never below 0") << 10 << 10 << 0 << 0;
    QTest::newRow("K 10 at 2399") << 2399 << 2399 << 100 << 2404;
    QTest::newRow("K 20 at 2400") << 2400 << 2400 << 100 << 2410;
    QTest::newRow("K 30 below 2000") << 1999 << 1999 << 100 << 2014;
    QTest::newRow("1800 vs 1000 counts as 1550, win") << 1800 << 1000 << 100 << 1806;
    QTest::newRow("1800 vs 1000 counts as 1550, loss") << 1800 << 1000 << 0 << 1776;
    QTest::newRow("stronger opponent not limited") << 1000 << 1800 << 100 << 1030;
    // K 25: a win is worth 12.5 and a loss -12.5, both to the even neighbour.
    QTest::newRow("half to even, win") << 2100 << 2100 << 100 << 2112;
    QTest::newRow("half to even, loss") << 2100 << 2100 << 0 << 2088;
    // 2010 / 20 = 100.5 rounds to 100, so K stays 30.
    QTest::newRow("K from a halved quotient") << 2010 << 2010 << 100 << 2025;
    // Absurd inputs (a rating from a hostile peer) give defined results.
    constexpr int intMin = std::numeric_limits<int>::min();
    constexpr int intMax = std::numeric_limits<int>::max();
    QTest::newRow("opponent INT_MIN, draw") << 1 << intMin << 50 << 0;
    QTest::newRow("own INT_MAX, win") << intMax << 0 << 100 << intMax;
    QTest::newRow("own INT_MIN, loss") << intMin << intMax << 0 << 0;
    QTest::newRow("score INT_MAX") << 1200 << 1200 << intMax << 644246279;
    QTest::newRow("score INT_MIN") << 1200 << 1200 << intMin << 0;
}

void TstWeapon::newElo() {
    QFETCH(int, own);
    QFETCH(int, opponent);
    QFETCH(int, score);
    QFETCH(int, result);
    QCOMPARE(NewElo(own, opponent, score), result);
}

void TstWeapon::roundHalfEven_data() {
    QTest::addColumn<double>("x");
    QTest::addColumn<long long>("rounded");
    QTest::newRow("0.5") << 0.5 << 0LL;
    QTest::newRow("1.5") << 1.5 << 2LL;
    QTest::newRow("2.5") << 2.5 << 2LL;
    QTest::newRow("-0.5") << -0.5 << 0LL;
    QTest::newRow("-1.5") << -1.5 << -2LL;
    QTest::newRow("-2.5") << -2.5 << -2LL;
    QTest::newRow("2.49") << 2.49 << 2LL;
    QTest::newRow("-2.51") << -2.51 << -3LL;
}

void TstWeapon::roundHalfEven() {
    QFETCH(double, x);
    QFETCH(long long, rounded);
    QCOMPARE(RoundHalfEven(x), rounded);
}

QTEST_GUILESS_MAIN(TstWeapon)
#include "tst_players.moc"
