// Square names: reading any text safely and writing every square.
#include "Square.h"

#include <QTest>

class TstSquare : public QObject {
    Q_OBJECT
private slots:
    void textToSquare_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("square");
        QTest::newRow("h1") << "h1" << 64;
        QTest::newRow("a8") << "a8" << 1;
        QTest::newRow("upper E4") << "E4" << Ord(Square::E4);
        QTest::newRow("mixed H8") << "H8" << 8;
        QTest::newRow("file i") << "i1" << 0;
        QTest::newRow("rank 0") << "a0" << 0;
        QTest::newRow("rank 9") << "a9" << 0;
        QTest::newRow("one char") << "e" << 0;
        QTest::newRow("three chars") << "e44" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("reversed") << "4e" << 0;
        QTest::newRow("leading blank") << " e4" << 0;
        QTest::newRow("NUL") << QString(QChar(0)) + u'4' << 0;
        QTest::newRow("non-Latin") << QString::fromUtf8("\xd0\xb0"
                                                        "4")
                                   << 0;
        QTest::newRow("fullwidth a") << QString::fromUtf8("\xef\xbd\x81"
                                                          "1")
                                     << 0;
    }
    void textToSquare() {
        QFETCH(QString, text);
        QFETCH(int, square);
        QCOMPARE(Ord(TextToSquare(text)), square);
    }

    void squareToText() {
        QCOMPARE(SquareToText(Square::A8), QStringLiteral("a8"));
        QCOMPARE(SquareToText(Square::H1), QStringLiteral("h1"));
        QCOMPARE(SquareToText(Square::None), QStringLiteral("--"));
        QCOMPARE(SquareToText(static_cast<Square>(65)), QStringLiteral("--"));
        QCOMPARE(SquareToText(static_cast<Square>(255)), QStringLiteral("--"));
        for (int s = 1; s <= 64; ++s) {
            const QString t = SquareToText(ToSquare(s));
            QCOMPARE(Ord(TextToSquare(t)), s);
            QCOMPARE(Ord(TextToSquare(t.toUpper())), s);
        }
    }
};

QTEST_GUILESS_MAIN(TstSquare)
#include "tst_square.moc"
