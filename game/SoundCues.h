#pragma once

#include <QString>
#include <QStringList>

// Names of the sound cues. Every sound set (a folder of wave files) holds one
// "<name>.wav" per cue; the main window's MeteRuido picks the cue by event.
inline constexpr const char* SoundCueNames[] = {
    "nueva",      "mover",    "jaque",       "mate",    "ahogado", "ilegal",
    "repeticion", "tablas",   "enroque",     "nojaque", "cobarde", "cobarde2",
    "entrar",     "conectar", "desconectar", "salir",   "msg"};

// The two sound sets offered by the configuration window; folders relative
// to the program folder, forward slashes, trailing slash.
inline constexpr const char* SoundFolderTarambo = "sonidos/tarambo/";
inline constexpr const char* SoundFolderZelbo = "sonidos/zelbo/";

// The wave file of a cue: programFolder + soundFolder + cue + ".wav".
// A sound folder without its trailing slash still names the folder, and an
// absolute sound folder is used as it stands.
QString CueFilePath(const QString& programFolder, const QString& soundFolder, const QString& cue);

// Where a program's sound cues go. Play returns at once; a new file cuts off
// the one still playing; a missing or unplayable file, or a machine without
// an audio device, is silent and reports nothing. Windows hold a non-owning
// pointer (TProgramEnv::Sound) so tests can hand in TRecordingSound.
class TSoundOutput {
public:
    virtual ~TSoundOutput();
    virtual void PlayFile(const QString& wavPath) = 0;
    // Cuts off whatever is playing.
    virtual void Stop() {}
};

// Plays cue from the sound set soundFolder of the program in programFolder.
// A null output is silent (a program without sound).
void PlayCue(TSoundOutput* output, const QString& programFolder, const QString& soundFolder,
             const QString& cue);

// Test double: remembers every file asked for, whether it exists or not.
class TRecordingSound final : public TSoundOutput {
public:
    void PlayFile(const QString& wavPath) override;
    void Stop() override { ++StopCount; }

    // The cue names (file names without ".wav") in the order played.
    QStringList Cues() const;
    void Clear() { Files.clear(); }

    QStringList Files;
    int StopCount = 0;
};
