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
    m_saveToDisk = on;
    if (!on) m_openWhenSave = false;
}

void TWNetHTTP::SetOpenWhenSave(bool on) {
    m_openWhenSave = on;
    if (on) m_saveToDisk = true;
}

bool TWNetHTTP::Download(QString* error) {
    if (TrimBlanks(Url).isEmpty()) {
        if (error) *error = QStringLiteral("No se ha especificado una url");
        return false;
    }
    const QString dir = PrepareDir(DownloadDir, m_saveToDisk, ProgramFolder, error);
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
    options.SaveToDisk = m_saveToDisk;
    options.OpenWhenSave = m_openWhenSave;
    options.ShellOpener = ShellOpener;
    options.TimeoutMs = TimeoutMs;
    options.MaxSize = MaxSize;
    auto* fetch = new THiloHTTP(DownloadDir + name, Url, Etiqueta(), Progress(), this);
    fetch->Start(options);
    return true;
}
