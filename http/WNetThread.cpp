#include "WNetThread.h"

#include "UrlRoutines.h"

#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTimer>
#include <QUrl>

namespace {

// Counts the reply signals being handled, so that a fetch destroyed from
// inside one (a view's call) leaves the reply to the event loop.
class TReplySignalScope {
public:
    explicit TReplySignalScope(int& depth) : m_depth(depth) { ++m_depth; }
    ~TReplySignalScope() { --m_depth; }
    TReplySignalScope(const TReplySignalScope&) = delete;
    TReplySignalScope& operator=(const TReplySignalScope&) = delete;

private:
    int& m_depth;
};

bool IsWebScheme(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

} // namespace

QString THiloHTTP::ReadingStatus(int reads, const QString& url) {
    const qint64 kb = static_cast<qint64>(reads) * 1024 / 1000;
    return QStringLiteral("Leyendo: ") + QString::number(kb) + QStringLiteral(" Kb. [") + url +
           QLatin1Char(']');
}

THiloHTTP::THiloHTTP(const QString& localPath, const QString& url, THttpStatusLabel* label,
                     THttpProgressView* progress, QObject* parent)
    : QObject(parent), m_url(url), m_localPath(localPath), m_status(QLatin1String(StatusInactive)),
      m_binary(!IsTextResource(localPath)), m_label(label), m_progress(progress) {
    if (THttpStatusLabel* l = m_label.Get()) l->SetStatusColour(THttpStatusColour::LightGrey);
    ShowStatus();
}

THiloHTTP::~THiloHTTP() {
    if (!m_reply) return;
    disconnect(m_reply, nullptr, this, nullptr);
    m_reply->abort();
    if (m_inReplySignal > 0) {
        // The reply is on the stack: let the event loop free it.
        m_manager->setParent(nullptr);
        m_manager->deleteLater();
    }
}

void THiloHTTP::Start(const THttpFetchOptions& options) {
    m_options = options;
    const QUrl url(m_url);
    if (!url.isValid() || !IsWebScheme(url) || url.host().isEmpty()) {
        Conclude(StatusIncomplete);
        return;
    }
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(AgentName));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(MaxRedirects);
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    m_timer->setInterval(m_options.TimeoutMs);
    connect(m_timer, &QTimer::timeout, this, &THiloHTTP::TimedOut);
    m_manager = new QNetworkAccessManager(this);
    m_reply = m_manager->get(request);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &THiloHTTP::ReplyMetaData);
    connect(m_reply, &QNetworkReply::readyRead, this, &THiloHTTP::ReplyReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &THiloHTTP::ReplyFinished);
    m_timer->start();
}

void THiloHTTP::ReplyMetaData() {
    if (m_concluded) return;
    m_timer->start();
    const QVariant code = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!code.isValid() || code.toInt() < 400) return;
    // An error page is not the resource: the fetch fails without reading it.
    TReplySignalScope scope(m_inReplySignal);
    m_httpError = true;
    m_reply->abort();
    if (!m_concluded) ReplyFinished();
}

void THiloHTTP::ReplyReadyRead() {
    if (m_concluded) return;
    m_timer->start();
    if (m_httpError) return;
    TReplySignalScope scope(m_inReplySignal);
    ReadPieces(false);
}

void THiloHTTP::ReplyFinished() {
    if (m_concluded) return;
    QPointer<THiloHTTP> self(this);
    TReplySignalScope scope(m_inReplySignal);
    m_timer->stop();
    const bool answered = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    if (m_tooLarge || m_httpError) return Conclude(StatusError);
    if (m_reply->error() != QNetworkReply::NoError)
        return Conclude(answered ? StatusError : StatusIncomplete);
    ReadPieces(true);
    if (!self || m_concluded) return;
    if (m_tooLarge) return Conclude(StatusError);
    if (!m_binary) {
        m_body = SplitLines(m_text);
        m_text.clear();
        for (const QString& line : std::as_const(m_body)) {
            m_stream += line.toLatin1();
            m_stream += "\r\n";
        }
    }
    Conclude(m_stream.isEmpty() ? StatusIncomplete : StatusComplete);
}

void THiloHTTP::TimedOut() {
    if (m_concluded || !m_reply) return;
    m_timedOut = true;
    m_reply->abort();
    if (!m_concluded) ReplyFinished();
}

void THiloHTTP::ReadPieces(bool toEnd) {
    QPointer<THiloHTTP> self(this);
    while (self && !m_concluded && !m_tooLarge) {
        const qint64 waiting = m_reply->bytesAvailable();
        if (waiting >= PieceSize || (toEnd && waiting > 0)) {
            ReadPiece();
        } else {
            if (toEnd) ReadPiece(); // the read that finds nothing
            return;
        }
    }
}

void THiloHTTP::ReadPiece() {
    QPointer<THiloHTTP> self(this);
    ++m_reads;
    m_status = ReadingStatus(m_reads, m_url);
    ShowStatus();
    if (!self) return;
    const QByteArray piece = m_reply->read(PieceSize);
    m_rawBytes += piece.size();
    if (m_options.MaxSize > 0 && m_rawBytes > m_options.MaxSize) {
        m_tooLarge = true;
        if (!m_reply->isFinished()) m_reply->abort();
        return;
    }
    if (m_binary) {
        m_stream += piece;
    } else {
        const qsizetype zero = piece.indexOf('\0');
        m_text += QString::fromLatin1(zero < 0 ? piece : piece.left(zero));
    }
}

void THiloHTTP::Conclude(const char* status) {
    if (m_concluded) return;
    m_concluded = true;
    if (m_timer) m_timer->stop();
    m_status = QLatin1String(status);
    QMetaObject::invokeMethod(this, &THiloHTTP::Finish, Qt::QueuedConnection);
}

void THiloHTTP::Finish() {
    QPointer<THiloHTTP> self(this);
    ShowStatus();
    if (self) deleteLater();
}

void THiloHTTP::SaveResult() {
    QSaveFile file(m_localPath);
    const bool saved =
        file.open(QIODevice::WriteOnly) && file.write(m_stream) == m_stream.size() && file.commit();
    if (!saved) {
        m_saveError = QStringLiteral("Error al guardar el archivo: ") + m_localPath;
        return;
    }
    if (m_options.OpenWhenSave && QFileInfo::exists(m_localPath) && m_options.ShellOpener) {
        const TShellOpener open = m_options.ShellOpener;
        open(m_localPath);
    }
}

void THiloHTTP::ShowStatus() {
    // Views and handlers get copies; after each call the fetch checks that it
    // still exists before it reads anything of its own again.
    QPointer<THiloHTTP> self(this);
    const QString status = m_status;
    if (status == QLatin1String(StatusComplete)) {
        if (THttpStatusLabel* l = m_label.Get()) l->SetStatusColour(THttpStatusColour::LightGrey);
        if (!self) return;
        if (THttpProgressView* p = m_progress.Get()) p->SetPosition(0);
        if (!self) return;
        if (m_options.OnRead) {
            const TEventoRead onRead = m_options.OnRead;
            const QString path = m_localPath;
            const QStringList body = m_body;
            const QStringList links = ExtractLinks(m_body, m_url);
            const QByteArray stream = m_stream;
            onRead(this, path, status, body, links, stream);
            if (!self) return;
        }
        if (m_options.SaveToDisk) {
            SaveResult();
            if (!self) return;
        }
    } else if (status == QLatin1String(StatusError)) {
        if (THttpStatusLabel* l = m_label.Get()) l->SetStatusColour(THttpStatusColour::Red);
        if (!self) return;
        if (m_options.OnError) {
            const TEventoError onError = m_options.OnError;
            onError(this, QStringLiteral("No se pudo leer ") + m_url);
            if (!self) return;
        }
    } else {
        if (THttpStatusLabel* l = m_label.Get()) l->SetStatusColour(THttpStatusColour::Yellow);
        if (!self) return;
        if (THttpProgressView* p = m_progress.Get()) {
            if (p->Position() >= p->Maximum()) p->SetPosition(0);
            if (!self) return;
            if ((p = m_progress.Get())) p->StepIt();
            if (!self) return;
        }
    }
    const QString saveError = m_saveError;
    if (THttpStatusLabel* l = m_label.Get()) l->SetStatusText(status);
    if (saveError.isEmpty() || !self) return;
    // A failed save is shown where the fetch shows everything else.
    if (THttpStatusLabel* l = m_label.Get()) l->SetStatusColour(THttpStatusColour::Red);
    if (!self) return;
    if (THttpStatusLabel* l = m_label.Get()) l->SetStatusText(saveError);
}
