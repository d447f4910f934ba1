#pragma once
// THiloHTTP: one fetch of the download component TWNetHTTP. It reads the
// resource in pieces of 1024 bytes, shows its progress on the optional status
// line and activity bar, and at the end hands the result to the owner's
// handlers, saves it and opens the saved file when asked to. Text resources
// (by the extension of the local path) are split into lines and delivered
// with CR LF after every line; anything else is delivered byte for byte.
//
// The transfer runs on Qt Network's own thread; this object lives on the
// thread of its component and is driven by that thread's event loop, so the
// views, the handlers and the shell opener are only ever called there.
//
// What must stay true:
// - status texts of one fetch, in order: "Inactivo", one "Leyendo: n Kb. [url]"
//   per piece read (the last read, which finds nothing, included), then one of
//   "Completo", "Error: Imcompleto" or "Error"; every status reaches the views
//   through ShowStatus, the one place that touches them and the handlers;
// - a fetch that was never answered (no connection, no response within the
//   time-out, a scheme other than http or https) or that delivered nothing ends
//   with "Error: Imcompleto" and raises no event; one that failed after the
//   server answered (an HTTP error status, a connection lost before the end of
//   the body, a stall past the time-out, a fetch past its deadline, more
//   than MaxSize bytes, too many redirects) ends with "Error" and OnError;
//   only a whole body is "Completo";
// - no fetch outlives DeadlineMs: the deadline counts from Start, whatever
//   the server sends meanwhile;
// - the handlers run from the event loop, never from inside the network
//   reply's own signals, and receive copies of the result, so a handler may
//   destroy the component (and with it this fetch) while it runs;
// - the fetch is a child of its component: destroying the component ends the
//   fetch at once, and nothing of it is called afterwards; a view destroyed
//   while the fetch runs is not called afterwards either;
// - a finished fetch frees itself.

#include "HttpStatusView.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;
class THiloHTTP;

// Sender, "No se pudo leer " + url.
using TEventoError = std::function<void(THiloHTTP* Sender, const QString& msg)>;
// Sender, local path, final status ("Completo"), lines of a text resource
// (empty for a binary one), the links in those lines, the raw result.
using TEventoRead = std::function<void(THiloHTTP* Sender, const QString& filename,
                                       const QString& msg, const QStringList& body,
                                       const QStringList& links, const QByteArray& stream)>;
// Opens a saved file with the user's associated program.
using TShellOpener = std::function<void(const QString& fileName)>;

// No answer, or no further byte, for this long fails a fetch.
inline constexpr int HttpDefaultTimeoutMs = 20000;
// A fetch not finished this long after it started fails, however steadily
// its bytes trickle in.
inline constexpr int HttpDefaultDeadlineMs = 60000;

// What a fetch is told when it starts; fixed from then on.
struct THttpFetchOptions {
    TEventoError OnError;
    TEventoRead OnRead;
    bool SaveToDisk = false;
    bool OpenWhenSave = false;
    TShellOpener ShellOpener;
    int TimeoutMs = HttpDefaultTimeoutMs;
    int DeadlineMs = HttpDefaultDeadlineMs;
    // A body longer than this fails the fetch; 0 means no limit.
    qint64 MaxSize = 0;
};

class THiloHTTP : public QObject {
    Q_OBJECT
public:
    static constexpr int PieceSize = 1024;
    static constexpr int MaxRedirects = 5;
    static constexpr const char* AgentName = "WNetHttp 1.0 (Forotrex)";

    static constexpr const char* StatusInactive = "Inactivo";
    static constexpr const char* StatusComplete = "Completo";
    static constexpr const char* StatusIncomplete = "Error: Imcompleto";
    static constexpr const char* StatusError = "Error";
    // "Leyendo: " + (reads x 1024 div 1000) + " Kb. [" + url + "]"
    static QString ReadingStatus(int reads, const QString& url);

    // Shows "Inactivo" at once (light grey, then yellow, one step of the bar).
    // The views may be null.
    THiloHTTP(const QString& localPath, const QString& url, THttpStatusLabel* label,
              THttpProgressView* progress, QObject* parent);
    ~THiloHTTP() override;

    // Starts the transfer; every later status comes from the event loop.
    void Start(const THttpFetchOptions& options);

    QString Url() const { return url_; }
    QString Status() const { return status_; }
    // Pieces read so far (the final empty read included).
    int Reads() const { return reads_; }

private:
    void ShowStatus();
    void ReplyMetaData();
    void ReplyReadyRead();
    void ReplyFinished();
    void TimedOut();
    // Reads the pieces that are whole, or with toEnd everything left and the
    // final empty read.
    void ReadPieces(bool toEnd);
    void ReadPiece();
    // Sets the final status and shows it from the event loop.
    void Conclude(const char* status);
    void Finish();
    void SaveResult();

    QString url_;
    QString localPath_;
    QString status_;
    bool binary_ = true;
    THttpViewRef<THttpStatusLabel> label_;
    THttpViewRef<THttpProgressView> progress_;
    THttpFetchOptions options_;

    QNetworkAccessManager* manager_ = nullptr; // child
    QPointer<QNetworkReply> reply_;            // child of manager_
    QTimer* timer_ = nullptr;                  // child: the idle time-out
    QTimer* deadline_ = nullptr;               // child: the whole fetch's
    int inReplySignal_ = 0;
    bool concluded_ = false;
    bool timedOut_ = false;
    bool tooLarge_ = false;
    bool httpError_ = false; // the server answered with a status of 400 or more

    int reads_ = 0;
    qint64 rawBytes_ = 0;
    QString text_; // text mode: the pieces, each up to its first zero byte
    QStringList body_;
    QByteArray stream_;
    QString saveError_;
};
