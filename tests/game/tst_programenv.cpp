// The program environment: folders end in "/", the data folder is the
// program folder when that is writable and elsewhere when it is not, and two
// programs in one process keep apart.
#include "ProgramEnv.h"
#include "UiDialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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
    void installedOrBuildTree_data();
    void installedOrBuildTree();
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

void TstProgramEnv::installedOrBuildTree_data() {
    QTest::addColumn<bool>("soundsBeside");
    QTest::addColumn<bool>("soundsShared");
    QTest::addColumn<bool>("installed");
    QTest::newRow("build tree") << true << false << false;
    QTest::newRow("installed") << false << true << true;
    QTest::newRow("build tree beside an installed copy") << true << true << false;
    QTest::newRow("a bare program") << false << false << false;
}

void TstProgramEnv::installedOrBuildTree() {
    QFETCH(bool, soundsBeside);
    QFETCH(bool, soundsShared);
    QFETCH(bool, installed);
    QTemporaryDir prefix;
    const QString bin = prefix.filePath(QStringLiteral("bin"));
    const QString share =
        QDir::cleanPath(bin + QLatin1Char('/') + TProgramEnv::InstalledResourcePath()) +
        QLatin1Char('/');
    QVERIFY(QDir().mkpath(bin));
    if (soundsBeside) QVERIFY(QDir().mkpath(bin + QStringLiteral("/sonidos/tarambo")));
    if (soundsShared) QVERIFY(QDir().mkpath(share + QStringLiteral("sonidos/tarambo")));
    const TProgramEnv env(bin);
    QCOMPARE(env.Installed(), installed);
    // An installed program never writes beside itself, even where it could
    // (root and /usr/bin): its settings and games go to the user's folder.
    QCOMPARE(env.WritesBesideProgram(), !installed);
    QCOMPARE(env.ResourceFolder(), installed ? share : bin + QLatin1Char('/'));
    QCOMPARE(env.SoundFile(QStringLiteral("sonidos/tarambo/"), QStringLiteral("mover")),
             env.ResourceFolder() + QStringLiteral("sonidos/tarambo/mover.wav"));
    if (installed) {
        QVERIFY(!env.DataFolder().startsWith(prefix.path()));
        QVERIFY(TProgramEnv::FolderIsWritable(env.DataFolder()));
    }
    QVERIFY(!QFileInfo::exists(bin + QStringLiteral("/ZuzPlak.ini")));
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
