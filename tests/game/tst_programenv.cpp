// The program environment: folders end in "/", the data folder is the
// program folder when that is writable and elsewhere when it is not, and two
// programs in one process keep apart.
#include "ProgramEnv.h"
#include "UiDialogs.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class TstProgramEnv : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void writableProgramFolder();
    void readOnlyProgramFolder();
    void twoPrograms();
};

void TstProgramEnv::initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
}

void TstProgramEnv::writableProgramFolder() {
    QTemporaryDir dir;
    const TProgramEnv env(dir.path());
    QCOMPARE(env.ProgramFolder(), dir.path() + QLatin1Char('/'));
    QVERIFY(env.WritesBesideProgram());
    QCOMPARE(env.IniFile(), dir.path() + QStringLiteral("/ZuzPlak.ini"));
    QCOMPARE(env.IniFileToRead(), env.IniFile());
    QCOMPARE(env.PgnFolder(), dir.path() + QStringLiteral("/Png/"));
    QCOMPARE(env.ChatPort(), quint16(12121));
    QVERIFY(QDir(dir.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                .isEmpty()); // the probe leaves nothing behind
}

void TstProgramEnv::readOnlyProgramFolder() {
    // A program folder that cannot be written to: a missing one stands in,
    // since permissions do not stop root.
    QTemporaryDir dir;
    const QString gone = dir.filePath(QStringLiteral("gone"));
    QVERIFY(!TProgramEnv::FolderIsWritable(gone));
    const TProgramEnv env(gone);
    QVERIFY(!env.WritesBesideProgram());
    QVERIFY(TProgramEnv::FolderIsWritable(env.DataFolder()));
    QVERIFY(env.DataFolder().endsWith(QLatin1Char('/')));
    QCOMPARE(env.SoundFile(QStringLiteral("sonidos/tarambo/"), QStringLiteral("msg")),
             gone + QStringLiteral("/sonidos/tarambo/msg.wav"));

    // An ini shipped beside the program is read until the user's own exists.
    QTemporaryDir shippedDir;
    TProgramEnv split(shippedDir.path(), dir.filePath(QStringLiteral("data")));
    QCOMPARE(split.IniFileToRead(), split.IniFile());
    QFile shipped(shippedDir.filePath(QStringLiteral("ZuzPlak.ini")));
    QVERIFY(shipped.open(QIODevice::WriteOnly));
    shipped.close();
    QCOMPARE(split.IniFileToRead(), shipped.fileName());
    QFile own(split.IniFile());
    QVERIFY(own.open(QIODevice::WriteOnly));
    own.close();
    QCOMPARE(split.IniFileToRead(), split.IniFile());
}

void TstProgramEnv::twoPrograms() {
    QTemporaryDir a, b;
    TScriptedDialogs dialogsA, dialogsB;
    TProgramEnv envA(a.path(), 0), envB(b.path(), 40001);
    envA.SetDialogs(&dialogsA);
    envB.SetDialogs(&dialogsB);
    QVERIFY(envA.IniFile() != envB.IniFile());
    QCOMPARE(envB.ChatPort(), quint16(40001));
    envA.Dialogs()->ShowMessage(QStringLiteral("hola"));
    QCOMPARE(dialogsA.Messages(), QStringList{QStringLiteral("hola")});
    QVERIFY(dialogsB.Log().isEmpty());
    QVERIFY(envB.Sound() == nullptr);
}

QTEST_APPLESS_MAIN(TstProgramEnv)
#include "tst_programenv.moc"
