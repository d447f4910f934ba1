#include "SoundCues.h"

#include <QAudioDevice>
#include <QDir>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

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

TQtSoundOutput::TQtSoundOutput() = default;

TQtSoundOutput::~TQtSoundOutput() {
    qDeleteAll(m_effects);
}

void TQtSoundOutput::PlayFile(const QString& wavPath) {
    const QFileInfo info(wavPath);
    if (!info.isFile() || !info.isReadable()) return;
    if (m_noDevice) return;
    if (!m_audioTouched) {
        m_audioTouched = true;
        if (QMediaDevices::defaultAudioOutput().isNull()) {
            m_noDevice = true;
            return;
        }
    }
    const QString key = info.absoluteFilePath();
    QSoundEffect* effect = m_effects.value(key);
    if (!effect) {
        effect = new QSoundEffect;
        effect->setSource(QUrl::fromLocalFile(key));
        m_effects.insert(key, effect);
    }
    if (m_current && m_current != effect) m_current->stop();
    // A file that cannot be decoded ends in QSoundEffect::Error and stays silent.
    if (effect->status() == QSoundEffect::Error) return;
    effect->stop();
    effect->play();
    m_current = effect;
}

void TQtSoundOutput::Stop() {
    if (m_current) m_current->stop();
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
