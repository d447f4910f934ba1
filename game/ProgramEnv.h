#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

class TUiDialogs;
class TSoundOutput;

// Everything of one running program that would otherwise be global: where it
// lives, where it writes, which chat port it uses, and the dialogs and sound
// output its windows talk through. The shipped program builds one from
// main(); tests build two or three in one process, each over its own
// temporary folder, port, scripted dialogs and recording sound.
//
// The data folder is decided once, when the environment is built: the
// program folder if a file can be created there, else the per-user
// application data folder. An installed program (its sounds not beside it
// but in <prefix>/share/zugaret/, see InstalledResourceFolder) always writes
// to the per-user folder and reads what it ships from the share folder.
// Nothing changes the folders afterwards, so the ini file and the PGN
// database read at start-up are the ones written at shut-down.
// Folders are absolute and end with "/". Dialogs and sound are not owned and
// may be null (a null sound output is a silent program).
class TProgramEnv {
public:
    static constexpr quint16 DefaultChatPort = 12121;

    // Program folder = the folder of the running program file; data folder
    // decided as above.
    TProgramEnv();
    // A program living in programFolder; data folder decided as above.
    explicit TProgramEnv(const QString& programFolder, quint16 chatPort = DefaultChatPort);
    // Both folders given (tests); dataFolder is created if missing.
    TProgramEnv(const QString& programFolder, const QString& dataFolder,
                quint16 chatPort = DefaultChatPort);

    // Folder of the program file.
    QString ProgramFolder() const { return programFolder_; }
    // Folder of what the program ships, sonidos/ and imagenes/: the program
    // folder, or the share folder of an installed program.
    QString ResourceFolder() const { return resourceFolder_; }
    bool Installed() const { return resourceFolder_ != programFolder_; }
    // Folder written to: ZuzPlak.ini and Png/.
    QString DataFolder() const { return dataFolder_; }
    bool WritesBesideProgram() const { return dataFolder_ == programFolder_; }

    // The settings file written at shut-down: DataFolder + "ZuzPlak.ini".
    QString IniFile() const;
    // The settings file to read at start-up: IniFile() when it exists, else
    // one shipped beside the program (when the data folder is elsewhere).
    QString IniFileToRead() const;
    // The PGN database folder: DataFolder + "Png/".
    QString PgnFolder() const;
    // The wave file of a cue of the sound set soundFolder (relative to the
    // resource folder).
    QString SoundFile(const QString& soundFolder, const QString& cue) const;

    quint16 ChatPort() const { return chatPort_; }

    TUiDialogs* Dialogs() const { return dialogs_; }
    void SetDialogs(TUiDialogs* dialogs) { dialogs_ = dialogs; }
    TSoundOutput* Sound() const { return sound_; }
    void SetSound(TSoundOutput* sound) { sound_ = sound; }

    // Where external engines are looked for (EngineConfig.h); none unless set,
    // so that a program built by a test finds none.
    QStringList EngineSearchPaths() const { return engineSearchPaths_; }
    void SetEngineSearchPaths(const QStringList& paths) { engineSearchPaths_ = paths; }

    // Plays a cue of soundFolder through Sound(); silent when there is none.
    void PlayCue(const QString& soundFolder, const QString& cue) const;

    // The folder of the running program file, with a trailing "/".
    static QString RunningProgramFolder();
    // True if a file can be created (and removed again) in folder.
    static bool FolderIsWritable(const QString& folder);
    // The share folder of a program installed in programFolder (sonidos/ is
    // there and not beside the program), with a trailing "/"; empty when the
    // program is not installed.
    static QString InstalledResourceFolder(const QString& programFolder);
    // Where the share folder lies from the program's folder once installed
    // ("../share/zugaret" for the usual layout).
    static QString InstalledResourcePath() { return QStringLiteral(ZUGARET_INSTALLED_DATA_DIR); }

private:
    static QString ChooseDataFolder(const QString& programFolder);
    static QString UserDataFolder();

    QString programFolder_;
    QString resourceFolder_;
    QString dataFolder_;
    quint16 chatPort_ = DefaultChatPort;
    TUiDialogs* dialogs_ = nullptr;
    TSoundOutput* sound_ = nullptr;
    QStringList engineSearchPaths_;
};
