#include "QtSoundOutput.h"

#include <QAudioDevice>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

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

