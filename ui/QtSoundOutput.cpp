#include "QtSoundOutput.h"

#include <QAudioDevice>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

TQtSoundOutput::TQtSoundOutput() = default;

TQtSoundOutput::~TQtSoundOutput() {
    qDeleteAll(effects_);
}

void TQtSoundOutput::PlayFile(const QString& wavPath) {
    const QFileInfo info(wavPath);
    if (!info.isFile() || !info.isReadable()) return;
    if (noDevice_) return;
    if (!audioTouched_) {
        audioTouched_ = true;
        if (QMediaDevices::defaultAudioOutput().isNull()) {
            noDevice_ = true;
            return;
        }
    }
    const QString key = info.absoluteFilePath();
    QSoundEffect* effect = effects_.value(key);
    if (!effect) {
        effect = new QSoundEffect;
        effect->setSource(QUrl::fromLocalFile(key));
        effects_.insert(key, effect);
    }
    if (current_ && current_ != effect) current_->stop();
    // A file that cannot be decoded ends in QSoundEffect::Error and stays silent.
    if (effect->status() == QSoundEffect::Error) return;
    effect->stop();
    effect->play();
    current_ = effect;
}

void TQtSoundOutput::Stop() {
    if (current_) current_->stop();
}
