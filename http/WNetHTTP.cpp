#include "WNetHTTP.h"

#include "UrlRoutines.h"

#include <QCoreApplication>
#include <QDir>

TWNetHTTP::TWNetHTTP(QObject* parent) : QObject(parent) {
    ProgramFolder =
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    if (!ProgramFolder.endsWith(QLatin1Char('/'))) ProgramFolder += QLatin1Char('/');
}

TWNetHTTP::~TWNetHTTP() = default;

void TWNetHTTP::SetSaveToDisk(bool on) {
    saveToDisk_ = on;
    if (!on) openWhenSave_ = false;
}

void TWNetHTTP::SetOpenWhenSave(bool on) {
    openWhenSave_ = on;
    if (on) saveToDisk_ = true;
}

bool TWNetHTTP::Download(QString* error) {
    if (TrimBlanks(Url).isEmpty()) {
        if (error) *error = QStringLiteral("No se ha especificado una url");
        return false;
    }
    const QString dir = PrepareDir(DownloadDir, saveToDisk_, ProgramFolder, error);
    if (dir.isEmpty()) return false;
    DownloadDir = dir;
    QString name = UrlFileName(Url);
    // "." and ".." would name a folder, not a file in DownloadDir.
    if (TrimBlanks(name).isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = QStringLiteral("index.htm");
    if (UrlProtocol(Url).isEmpty()) Url = QStringLiteral("http://") + Url;

    THttpFetchOptions options;
    options.OnError = OnError;
    options.OnRead = OnRead;
    options.SaveToDisk = saveToDisk_;
    options.OpenWhenSave = openWhenSave_;
    options.ShellOpener = ShellOpener;
    options.TimeoutMs = TimeoutMs;
    options.DeadlineMs = DeadlineMs;
    options.MaxSize = MaxSize;
    auto* fetch = new THiloHTTP(DownloadDir + name, Url, Etiqueta(), Progress(), this);
    fetch->Start(options);
    return true;
}
