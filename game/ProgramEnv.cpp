#include "ProgramEnv.h"

#include "Settings.h"
#include "SoundCues.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {

QString WithSlash(const QString& folder) {
    QString f = QDir::fromNativeSeparators(QDir(folder).absolutePath());
    if (!f.endsWith(QLatin1Char('/'))) f += QLatin1Char('/');
    return f;
}

} // namespace

TProgramEnv::TProgramEnv() : TProgramEnv(RunningProgramFolder()) {}

TProgramEnv::TProgramEnv(const QString& programFolder, quint16 chatPort)
    : programFolder_(WithSlash(programFolder)), chatPort_(chatPort) {
    const QString installed = InstalledResourceFolder(programFolder_);
    resourceFolder_ = installed.isEmpty() ? programFolder_ : installed;
    dataFolder_ = installed.isEmpty() ? ChooseDataFolder(programFolder_) : UserDataFolder();
}

TProgramEnv::TProgramEnv(const QString& programFolder, const QString& dataFolder, quint16 chatPort)
    : programFolder_(WithSlash(programFolder)), dataFolder_(WithSlash(dataFolder)),
      chatPort_(chatPort) {
    const QString installed = InstalledResourceFolder(programFolder_);
    resourceFolder_ = installed.isEmpty() ? programFolder_ : installed;
    QDir().mkpath(dataFolder_);
}

QString TProgramEnv::IniFile() const {
    return dataFolder_ + QLatin1String(SettingsFileName);
}

QString TProgramEnv::IniFileToRead() const {
    const QString own = IniFile();
    if (QFileInfo::exists(own) || WritesBesideProgram()) return own;
    const QString shipped = programFolder_ + QLatin1String(SettingsFileName);
    return QFileInfo::exists(shipped) ? shipped : own;
}

QString TProgramEnv::PgnFolder() const {
    return dataFolder_ + QStringLiteral("Png/");
}

QString TProgramEnv::SoundFile(const QString& soundFolder, const QString& cue) const {
    return CueFilePath(resourceFolder_, soundFolder, cue);
}

void TProgramEnv::PlayCue(const QString& soundFolder, const QString& cue) const {
    ::PlayCue(sound_, resourceFolder_, soundFolder, cue);
}

QString TProgramEnv::RunningProgramFolder() {
    if (QCoreApplication::instance()) return WithSlash(QCoreApplication::applicationDirPath());
    return WithSlash(QDir::currentPath());
}

bool TProgramEnv::FolderIsWritable(const QString& folder) {
    if (!QFileInfo(folder).isDir()) return false;
    // Asking for permissions is not enough (read-only mounts, ACLs): try it.
    QTemporaryFile probe(WithSlash(folder) + QStringLiteral(".zugaret-probe-XXXXXX"));
    return probe.open();
}

QString TProgramEnv::InstalledResourceFolder(const QString& programFolder) {
    const QString beside = WithSlash(programFolder);
    if (QFileInfo(beside + QStringLiteral("sonidos")).isDir()) return {};
    const QString share = WithSlash(beside + InstalledResourcePath());
    return QFileInfo(share + QStringLiteral("sonidos")).isDir() ? share : QString();
}

QString TProgramEnv::ChooseDataFolder(const QString& programFolder) {
    if (FolderIsWritable(programFolder)) return programFolder;
    return UserDataFolder();
}

QString TProgramEnv::UserDataFolder() {
    QString appData = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (appData.isEmpty()) appData = QDir::homePath() + QStringLiteral("/.zugaretchat");
    QDir().mkpath(appData);
    return WithSlash(appData);
}
