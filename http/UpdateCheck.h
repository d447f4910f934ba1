#pragma once
// The once-per-run update check: the version file at WebUrl + "/zugaret.txt"
// names the newest version (line 0), may move the web address (line 1) and
// carries news lines for the chat log (line 2 on: "$>" shown when this copy is
// outdated, "*>" when it is up to date).
//
// DecideUpdate is the whole decision, without side effects; TUpdateCheck runs
// the fetch once and carries the decision out through TUpdateCheckHost, which
// the chat window implements (chat log, sound cue, message box, shell, the
// ini's Board/State and the running program's WebUrl).
//
// What must stay true:
// - a file of fewer than 2 lines changes nothing and says nothing;
// - the version file comes over plain HTTP, so nothing in it can make the
//   program open anything but a web page: a new address is taken only when it
//   is an absolute http:// or https:// URL with a host (IsWebAddress), and the
//   shell is asked to open an address only when it is one;
// - the check starts at most once per TUpdateCheck (once per run).

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

#include <optional>

class THiloHTTP;
class THttpProgressView;
class TWNetHTTP;

// True for an absolute "http://" or "https://" URL with a host and nothing
// the URL syntax does not allow (no blanks, no control characters).
bool IsWebAddress(const QString& text);

// What a completed version file asks for, in the order TUpdateCheck does it.
struct TUpdateOutcome {
    bool Handled = false;             // false: the file had fewer than 2 lines
    bool Outdated = false;            // line 0 (trimmed) differs from the version
    std::optional<QString> NewWebUrl; // line 1, when it moves the address
    int VersionState = 0;             // 1 up to date, 2 outdated
    bool PlayEntrar = false;          // the "entrar" cue, when outdated
    QString Warning;                  // message box text, when outdated
    QString OpenAddress;              // web page to open, or empty
    QStringList ChatLines;            // lines for the chat log, in order
};

// The "¡¡ ATENCION !!" warning naming the newest version, lines broken by
// "\n\r" (line feed, then carriage return), a break after the last line too.
QString OutdatedWarning(const QString& newestVersion);

// The decision for the lines of a version file, the program's version text
// and the current web address.
TUpdateOutcome DecideUpdate(const QStringList& lines, const QString& version,
                            const QString& webUrl);

// What the update check does to the program; the chat window implements it.
class TUpdateCheckHost {
public:
    virtual ~TUpdateCheckHost();
    virtual void AddChatLine(const QString& line) = 0;
    // MeteRuido(cue).
    virtual void PlayCue(const QString& cue) = 0;
    // A message box; onClosed runs once the user has closed it (never
    // after the host has gone).
    virtual void ShowMessage(const QString& text, std::function<void()> onClosed) = 0;
    // OpenWithShell(url): only ever called with an IsWebAddress address.
    virtual void OpenUrl(const QString& url) = 0;
    // Board/State in the ini file (TZugaretSettings::WriteVersionState); a
    // failure is the host's to report, the check goes on.
    virtual void WriteVersionState(int state) = 0;
    virtual QString WebUrl() const = 0;
    virtual void SetWebUrl(const QString& url) = 0;
};

// Runs the update check once through its own TWNetHTTP.
class TUpdateCheck : public QObject {
    Q_OBJECT
public:
    static constexpr const char* SearchLine =
        "* ZugaretCHAT > Buscando nuevas versiones en KorvenWEB ...";
    static constexpr const char* UpToDateLine =
        "* ZugaretCHAT > No hay actualizaciones disponibles.";
    static constexpr const char* ErrorLine = "* ZugaretCHAT > Error buscando nuevas versiones.";
    static constexpr const char* VersionFileName = "/zugaret.txt";
    // A version file is a few lines; anything much longer is not one.
    static constexpr qint64 MaxVersionFileSize = 64 * 1024;

    // version: the program's version text. The host is not owned and must
    // outlive this object (the chat window owns both).
    TUpdateCheck(TUpdateCheckHost& host, const QString& version, QObject* parent = nullptr);
    ~TUpdateCheck() override;

    // StartUpdateCheck: the search line, then the fetch of WebUrl +
    // "/zugaret.txt". False (and nothing done) when it already started.
    bool Start();
    bool Started() const { return started_; }

    // The chat window's progress bar (not owned; may be null).
    void SetProgress(THttpProgressView* progress);
    // The download component (tests shorten its time-out).
    TWNetHTTP& Http() { return *http_; }

private:
    // The download's OnRead (only the lines are used) and OnError.
    void WNetHTTP1Read(const QStringList& body);
    void WNetHTTP1Error();

    TUpdateCheckHost& host_;
    QString version_;
    TWNetHTTP* http_ = nullptr; // child
    bool started_ = false;
};
