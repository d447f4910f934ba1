// The toolkit's standard buttons speak Spanish like the rest of the program.
#include "Translations.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

class TstTranslations : public QObject {
    Q_OBJECT
private slots:
    void standardButtonsInSpanish();
};

void TstTranslations::standardButtonsInSpanish() {
    QVERIFY(InstallSpanishToolkitTexts(*qApp));
    auto shown = [](QAbstractButton* b) { return b->text().remove(QLatin1Char('&')); };
    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QCOMPARE(shown(box.button(QDialogButtonBox::Ok)), QString("Aceptar"));
    QCOMPARE(shown(box.button(QDialogButtonBox::Cancel)), QString("Cancelar"));
    QMessageBox question(QMessageBox::Question, "ZugaretCHAT", "?",
                         QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(shown(question.button(QMessageBox::Yes)), QString::fromUtf8("Sí"));
    QCOMPARE(shown(question.button(QMessageBox::No)), QString("No"));
}

QTEST_MAIN(TstTranslations)
#include "tst_translations.moc"
