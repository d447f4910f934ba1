#include "SoundCues.h"

#include <QDir>
#include <QFileInfo>

QString CueFilePath(const QString& programFolder, const QString& soundFolder, const QString& cue) {
    QString folder = soundFolder;
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')) &&
        !folder.endsWith(QLatin1Char('\\')))
        folder += QLatin1Char('/');
    const QString relative = folder + cue + QStringLiteral(".wav");
    if (QDir::isAbsolutePath(relative)) return relative;
    QString base = programFolder;
    if (!base.isEmpty() && !base.endsWith(QLatin1Char('/'))) base += QLatin1Char('/');
    return base + relative;
}

TSoundOutput::~TSoundOutput() = default;

void PlayCue(TSoundOutput* output, const QString& programFolder, const QString& soundFolder,
             const QString& cue) {
    if (output) output->PlayFile(CueFilePath(programFolder, soundFolder, cue));
}

void TRecordingSound::PlayFile(const QString& wavPath) {
    Files.append(wavPath);
}

QStringList TRecordingSound::Cues() const {
    QStringList cues;
    for (const QString& file : Files) {
        QString name = QFileInfo(file).fileName();
        if (name.endsWith(QStringLiteral(".wav"), Qt::CaseInsensitive)) name.chop(4);
        cues.append(name);
    }
    return cues;
}
