// The dialogs interface: how "\n\r" texts and "|" filters reach the screen,
// the scripted double that window tests rely on (queue, log, unexpected
// questions), and the real dialogs answered on the offscreen platform.
#include "QtDialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

// Runs handle on the next modal dialog once it is showing.
void OnNextModal(std::function<void(QWidget*)> handle) {
    QTimer::singleShot(0, qApp, [handle] {
        if (QWidget* w = QApplication::activeModalWidget())
            handle(w);
        else
            OnNextModal(handle);
    });
}

} // namespace

class TstUiDialogs : public QObject {
    Q_OBJECT
private slots:
    void displayText_data();
    void displayText();
    void fileFilter_data();
    void fileFilter();
    void scriptedAnswersInOrder();
    void scriptedUnexpected();
    void realMessageAndQuestion();
    void realInputQuery();
};

void TstUiDialogs::displayText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("LF CR") << "a\n\rb"
                           << "a\nb";
    QTest::newRow("CR LF") << "a\r\nb"
                           << "a\nb";
    QTest::newRow("two breaks") << "a\n\r\n\rb"
                                << "a\n\nb";
    QTest::newRow("LF then LF CR") << "a\n\n\rb"
                                   << "a\n\nb";
    QTest::newRow("lone CR") << "a\rb"
                             << "a\nb";
    QTest::newRow("trailing") << QString::fromUtf8("¡¡ ATENCION !! \n\rúltima\n\r")
                              << QString::fromUtf8("¡¡ ATENCION !! \núltima\n");
    QTest::newRow("plain") << "Opción no disponible, de momento..."
                           << "Opción no disponible, de momento...";
}

void TstUiDialogs::displayText() {
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(DisplayText(text), shown);
}

void TstUiDialogs::fileFilter_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("qt");
    QTest::newRow("save") << "Partida Zugaret CHAT|*.gam|Archivo PGN|*.pgn|Todos los archivos|*.*"
                          << "Partida Zugaret CHAT (*.gam);;Archivo PGN (*.pgn);;"
                             "Todos los archivos (*.*)";
    QTest::newRow("several patterns") << "Imágenes|*.bmp;*.png"
                                      << "Imágenes (*.bmp *.png)";
    QTest::newRow("odd piece left out") << "A|*.a|B"
                                        << "A (*.a)";
    QTest::newRow("empty") << ""
                           << "";
}

void TstUiDialogs::fileFilter() {
    QFETCH(QString, filter);
    QFETCH(QString, qt);
    QCOMPARE(QtFileFilter(filter), qt);
}

void TstUiDialogs::scriptedAnswersInOrder() {
    TScriptedDialogs d;
    d.AnswerInput(QStringLiteral("ana"), QStringLiteral("ZugaretChat"));
    d.AnswerNo();
    d.CancelInput();
    d.AnswerSaveFile(QStringLiteral("/tmp/x.gam"));
    d.AnswerOpenPicture(QStringLiteral("/tmp/p.bmp"));

    d.ShowMessage(QStringLiteral("uno\n\rdos")); // takes no answer
    QCOMPARE(
        d.InputQuery(QStringLiteral("ZugaretChat"), QStringLiteral("Escriba su nombre"), QString()),
        std::optional<QString>(QStringLiteral("ana")));
    QVERIFY(!d.AskOkCancel(QStringLiteral("¿Interrumpir la partida actual?")));
    QCOMPARE(
        d.InputBox(QStringLiteral("Promoción peón"), QStringLiteral("Elije"), QStringLiteral("D")),
        QStringLiteral("D")); // cancelled box gives the default
    TFileDialogRequest save{QStringLiteral("Guardar"), QString(), QStringLiteral("sin titulo"),
                            QStringLiteral("A|*.gam"), QStringLiteral("gam")};
    QCOMPARE(d.SaveFileName(save), QStringLiteral("/tmp/x.gam"));
    QCOMPARE(d.OpenPictureName({}), QStringLiteral("/tmp/p.bmp"));
    QCOMPARE(d.PendingAnswers(), 0);
    QVERIFY(!d.HasUnexpected());

    const QList<TDialogRecord>& log = d.Log();
    QCOMPARE(log.size(), 6);
    QCOMPARE(log[0].Kind, TDialogKind::Message);
    QCOMPARE(log[0].Text, QStringLiteral("uno\n\rdos")); // logged as the program wrote it
    QCOMPARE(log[1].Caption, QStringLiteral("ZugaretChat"));
    QCOMPARE(log[1].Text, QStringLiteral("Escriba su nombre"));
    QCOMPARE(log[2].Buttons, TQuestionButtons::OkCancel);
    QCOMPARE(log[2].Answer, QStringLiteral("no"));
    QCOMPARE(log[3].DefaultText, QStringLiteral("D"));
    QCOMPARE(log[3].Answer, QStringLiteral("<cancel>"));
    QCOMPARE(log[4].Kind, TDialogKind::SaveFile);
    QCOMPARE(log[4].DefaultText, QStringLiteral("sin titulo"));
    QCOMPARE(d.Messages(), QStringList{QStringLiteral("uno\n\rdos")});
}

void TstUiDialogs::scriptedUnexpected() {
    TScriptedDialogs d;
    // Nothing prepared: No, cancelled input, cancelled file dialog.
    QVERIFY(!d.AskYesNo(QStringLiteral("¿Seguro?")));
    QVERIFY(!d.InputQuery(QStringLiteral("c"), QStringLiteral("p"), QStringLiteral("x")));
    QVERIFY(d.OpenFileName({}).isEmpty());
    QCOMPARE(d.UnexpectedDialogs().size(), 3);

    // The wrong kind or caption in front: unexpected, and the answer waits.
    d.ClearLog();
    d.AnswerYes(QStringLiteral("Esperada"));
    QVERIFY(!d.InputQuery(QStringLiteral("Otra"), QStringLiteral("p"), QString()));
    QVERIFY(!d.AskYesNo(QStringLiteral("t"), QStringLiteral("Otra")));
    QCOMPARE(d.PendingAnswers(), 1);
    QVERIFY(d.AskYesNo(QStringLiteral("t"), QStringLiteral("Esperada")));
    QCOMPARE(d.PendingAnswers(), 0);
    QCOMPARE(d.UnexpectedDialogs().size(), 2);
    QCOMPARE(d.UnexpectedDialogs().at(1).Caption, QStringLiteral("Otra"));

    // Configured defaults.
    d.SetUnexpectedAnswers(true, QStringLiteral("auto"), QStringLiteral("/tmp/f"));
    QVERIFY(d.AskOkCancel(QStringLiteral("t")));
    QCOMPARE(d.InputBox(QStringLiteral("c"), QStringLiteral("p"), QStringLiteral("x")),
             QStringLiteral("auto"));
    QCOMPARE(d.SaveFileName({}), QStringLiteral("/tmp/f"));
    QCOMPARE(d.UnexpectedDialogs().size(), 5);
}

void TstUiDialogs::realMessageAndQuestion() {
    QWidget owner;
    TQtDialogs d(&owner);
    QString shown, caption;
    OnNextModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        QVERIFY(box);
        shown = box->text();
        caption = box->windowTitle();
        box->accept();
    });
    d.ShowMessage(QStringLiteral("uno\n\rdos\n\r"), QStringLiteral("Aviso"), TMessageKind::Warning);
    QCOMPARE(shown, QStringLiteral("uno\ndos\n"));
    QCOMPARE(caption, QStringLiteral("Aviso"));

    for (const bool ok : {true, false}) {
        OnNextModal([ok](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            QVERIFY(box);
            QVERIFY(box->button(QMessageBox::Ok) && box->button(QMessageBox::Cancel));
            box->button(ok ? QMessageBox::Ok : QMessageBox::Cancel)->click();
        });
        QCOMPARE(d.AskOkCancel(QStringLiteral("¿Interrumpir la partida actual?")), ok);
    }
    OnNextModal([](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        QVERIFY(box && box->button(QMessageBox::Yes));
        box->button(QMessageBox::Yes)->click();
    });
    QVERIFY(d.AskYesNo(QStringLiteral("¿Seguro?")));
}

void TstUiDialogs::realInputQuery() {
    TQtDialogs d;
    QString preset;
    OnNextModal([&](QWidget* w) {
        auto* box = qobject_cast<QInputDialog*>(w);
        QVERIFY(box);
        preset = box->textValue();
        box->setTextValue(QStringLiteral("C"));
        box->accept();
    });
    QCOMPARE(d.InputQuery(QStringLiteral("Promoción peón"), QStringLiteral("Elije"),
                          QStringLiteral("D")),
             std::optional<QString>(QStringLiteral("C")));
    QCOMPARE(preset, QStringLiteral("D"));

    OnNextModal([](QWidget* w) { w->close(); });
    QCOMPARE(
        d.InputBox(QStringLiteral("Promoción peón"), QStringLiteral("Elije"), QStringLiteral("D")),
        QStringLiteral("D"));
}

QTEST_MAIN(TstUiDialogs)
#include "tst_uidialogs.moc"
