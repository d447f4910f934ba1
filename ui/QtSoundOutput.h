#pragma once

#include "SoundCues.h"

#include <QHash>

class QSoundEffect;

// Qt Multimedia player. Nothing of Qt Multimedia is created before the first
// file that exists is played, so programs that never play (or only miss
// files) never touch the audio device. Loaded effects are kept per file so a
// cue plays at once the second time.
class TQtSoundOutput final : public TSoundOutput {
public:
    TQtSoundOutput();
    ~TQtSoundOutput() override;
    TQtSoundOutput(const TQtSoundOutput&) = delete;
    TQtSoundOutput& operator=(const TQtSoundOutput&) = delete;

    void PlayFile(const QString& wavPath) override;
    void Stop() override;

    // True once an audio object has been created (for tests of the laziness).
    bool AudioTouched() const { return audioTouched_; }

private:
    bool audioTouched_ = false;
    bool noDevice_ = false;
    QHash<QString, QSoundEffect*> effects_; // owned
    QSoundEffect* current_ = nullptr;
};
