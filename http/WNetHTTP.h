#pragma once
// TWNetHTTP: the download component. Download starts one background fetch of
// Url (a THiloHTTP) and returns at once; the outcome reaches the owner as
// OnRead or OnError from the event loop of the component's thread, and the
// progress shows on the optional status line (Etiqueta) and activity bar
// (Progress).
//
// What must stay true:
// - OpenWhenSave implies SaveToDisk (each setter keeps it so);
// - Download refuses (false and a Spanish reason, nothing started) a blank Url
//   and, with SaveToDisk, a download folder it cannot create; otherwise it
//   rewrites DownloadDir in normalised form, puts "http://" in front of a Url
//   that names no protocol, and starts a fetch; fetches under way are neither
//   stopped nor awaited by a new one;
// - the fetches are children of the component: destroying it ends them at
//   once, without events or view calls, however long the server keeps silent;
// - a view set here and destroyed later is simply no longer used.

#include "HttpStatusView.h"
#include "WNetThread.h"

#include <QObject>
#include <QString>

class TWNetHTTP : public QObject {
    Q_OBJECT
public:
    explicit TWNetHTTP(QObject* parent = nullptr);
    ~TWNetHTTP() override;

    // Resource to fetch.
    QString Url;
    // Folder the result is saved in (relative to ProgramFolder unless absolute).
    QString DownloadDir;
    // Base of a relative DownloadDir: the folder of the running program
    // unless the owner sets another (absolute).
    QString ProgramFolder;

    bool SaveToDisk() const { return saveToDisk_; }
    // False also clears OpenWhenSave.
    void SetSaveToDisk(bool on);
    bool OpenWhenSave() const { return openWhenSave_; }
    // True also sets SaveToDisk.
    void SetOpenWhenSave(bool on);

    // Status line and activity bar, not owned; null when absent or destroyed.
    THttpStatusLabel* Etiqueta() const { return label_.Get(); }
    void SetEtiqueta(THttpStatusLabel* label) { label_ = THttpViewRef<THttpStatusLabel>(label); }
    THttpProgressView* Progress() const { return progress_.Get(); }
    void SetProgress(THttpProgressView* progress) {
        progress_ = THttpViewRef<THttpProgressView>(progress);
    }

    TEventoError OnError;
    TEventoRead OnRead;
    // Opens a saved file when OpenWhenSave is set; nothing is opened without one.
    TShellOpener ShellOpener;
    // No answer, or no further byte, for this long fails a fetch.
    int TimeoutMs = HttpDefaultTimeoutMs;
    // A fetch not finished this long after it started fails.
    int DeadlineMs = HttpDefaultDeadlineMs;
    // Bodies longer than this fail; 0 means no limit.
    qint64 MaxSize = 0;

    // Starts one fetch (see above). False and the reason in error when refused:
    // "No se ha especificado una url" or "No se pudo crear el directorio " + folder.
    bool Download(QString* error = nullptr);

private:
    bool saveToDisk_ = false;
    bool openWhenSave_ = false;
    THttpViewRef<THttpStatusLabel> label_;
    THttpViewRef<THttpProgressView> progress_;
};
