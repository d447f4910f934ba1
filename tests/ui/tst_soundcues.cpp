// Sound cues: the path of a cue, silence for missing files without touching
// the audio device, the recording fake, and the shipped sound sets (one
// short wave file per cue in each).
#include "ProgramEnv.h"
#include "QtSoundOutput.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

class TstSoundCues : public QObject {
    Q_OBJECT
private slots:
    void cuePath_data();
    void cuePath();
    void missingFilesAreSilent();
    void recordingFake();
    void shippedSets_data();
    void shippedSets();
};

void TstSoundCues::cuePath_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("path");
    QTest::newRow("zelbo move") << "/opt/zug/"
                                << "sonidos/zelbo/"
                                << "/opt/zug/sonidos/zelbo/mover.wav";
    QTest::newRow("program folder without slash") << "/opt/zug"
                                                  << "sonidos/tarambo/"
                                                  << "/opt/zug/sonidos/tarambo/mover.wav";
    QTest::newRow("set without slash") << "/opt/zug/"
                                       << "sonidos/zelbo"
                                       << "/opt/zug/sonidos/zelbo/mover.wav";
    QTest::newRow("absolute set") << "/opt/zug/"
                                  << "/home/ana/ruidos/"
                                  << "/home/ana/ruidos/mover.wav";
    QTest::newRow("empty set") << "/opt/zug/"
                               << ""
                               << "/opt/zug/mover.wav";
}

void TstSoundCues::cuePath() {
    QFETCH(QString, program);
    QFETCH(QString, folder);
    QFETCH(QString, path);
    QCOMPARE(CueFilePath(program, folder, QStringLiteral("mover")), path);
    const TProgramEnv env(program, QDir::tempPath());
    QCOMPARE(env.SoundFile(folder, QStringLiteral("mover")),
             CueFilePath(env.ProgramFolder(), folder, QStringLiteral("mover")));
}

void TstSoundCues::missingFilesAreSilent() {
    QTemporaryDir dir;
    TQtSoundOutput out;
    out.PlayFile(dir.filePath(QStringLiteral("sonidos/tarambo/mover.wav")));
    out.PlayFile(dir.path()); // a folder is no sound either
    out.PlayFile(QString());
    out.Stop();
    QVERIFY(!out.AudioTouched());
    PlayCue(nullptr, dir.path(), QStringLiteral("sonidos/tarambo/"), QStringLiteral("mover"));
}

void TstSoundCues::recordingFake() {
    TRecordingSound sound;
    TProgramEnv env(QStringLiteral("/opt/zug"), QDir::tempPath());
    env.PlayCue(QStringLiteral("sonidos/tarambo/"), QStringLiteral("nueva")); // no output yet
    env.SetSound(&sound);
    env.PlayCue(QStringLiteral("sonidos/zelbo/"), QStringLiteral("mover"));
    env.PlayCue(QStringLiteral("sonidos/zelbo/"), QStringLiteral("jaque"));
    PlayCue(&sound, env.ProgramFolder(), QStringLiteral("sonidos/zelbo/"), QStringLiteral("mate"));
    QCOMPARE(sound.Cues(), QStringList({"mover", "jaque", "mate"}));
    QCOMPARE(sound.Files.first(), QStringLiteral("/opt/zug/sonidos/zelbo/mover.wav"));
    sound.Clear();
    QVERIFY(sound.Cues().isEmpty());
}

void TstSoundCues::shippedSets_data() {
    QTest::addColumn<QString>("set");
    QTest::addColumn<QString>("cue");
    for (const char* set : {SoundFolderTarambo, SoundFolderZelbo})
        for (const char* cue : SoundCueNames)
            QTest::addRow("%s%s", set, cue) << QString::fromLatin1(set) << QString::fromLatin1(cue);
}

// Each file is a plain PCM wave (what every audio back end plays), mono or
// stereo, and short enough that a cue is over before the next move.
void TstSoundCues::shippedSets() {
    QFETCH(QString, set);
    QFETCH(QString, cue);
    const QString path =
        QFINDTESTDATA(QStringLiteral("../../") + set + cue + QStringLiteral(".wav"));
    QVERIFY2(!path.isEmpty(), qPrintable(set + cue));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray data = file.readAll();
    QVERIFY(data.size() > 44);
    QCOMPARE(data.left(4), QByteArray("RIFF"));
    QCOMPARE(data.mid(8, 8), QByteArray("WAVEfmt "));
    const auto* p = reinterpret_cast<const uchar*>(data.constData());
    QCOMPARE(qFromLittleEndian<quint16>(p + 20), quint16(1)); // PCM
    const quint16 channels = qFromLittleEndian<quint16>(p + 22);
    const quint32 rate = qFromLittleEndian<quint32>(p + 24);
    const quint32 bytesPerSecond = qFromLittleEndian<quint32>(p + 28);
    QVERIFY(channels == 1 || channels == 2);
    QVERIFY(rate >= 8000 && rate <= 48000);
    QVERIFY(bytesPerSecond > 0);
    const double seconds = double(data.size() - 44) / bytesPerSecond;
    QVERIFY2(seconds > 0.05 && seconds < 2.0, qPrintable(QString::number(seconds)));
}

QTEST_APPLESS_MAIN(TstSoundCues)
#include "tst_soundcues.moc"
