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
    explicit TReplySignalScope(int& depth) : depth_(depth) { ++depth_; }
    ~TReplySignalScope() { --depth_; }
    TReplySignalScope(const TReplySignalScope&) = delete;
    TReplySignalScope& operator=(const TReplySignalScope&) = delete;

private:
    int& depth_;
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
    : QObject(parent), url_(url), localPath_(localPath), status_(QLatin1String(StatusInactive)),
      binary_(!IsTextResource(localPath)), label_(label), progress_(progress) {
    if (THttpStatusLabel* l = label_.Get()) l->SetStatusColour(THttpStatusColour::LightGrey);
    ShowStatus();
}

THiloHTTP::~THiloHTTP() {
    if (!reply_) return;
    disconnect(reply_, nullptr, this, nullptr);
    reply_->abort();
    if (inReplySignal_ > 0) {
        // The reply is on the stack: let the event loop free it.
        manager_->setParent(nullptr);
        manager_->deleteLater();
    }
}

void THiloHTTP::Start(const THttpFetchOptions& options) {
    options_ = options;
    const QUrl url(url_);
    if (!url.isValid() || !IsWebScheme(url) || url.host().isEmpty()) {
        Conclude(StatusIncomplete);
        return;
    }
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(AgentName));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(MaxRedirects);
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    timer_->setInterval(options_.TimeoutMs);
    connect(timer_, &QTimer::timeout, this, &THiloHTTP::TimedOut);
    deadline_ = new QTimer(this);
    deadline_->setSingleShot(true);
    deadline_->setInterval(options_.DeadlineMs);
    connect(deadline_, &QTimer::timeout, this, &THiloHTTP::TimedOut);
    manager_ = new QNetworkAccessManager(this);
    reply_ = manager_->get(request);
    connect(reply_, &QNetworkReply::metaDataChanged, this, &THiloHTTP::ReplyMetaData);
    connect(reply_, &QNetworkReply::readyRead, this, &THiloHTTP::ReplyReadyRead);
    connect(reply_, &QNetworkReply::finished, this, &THiloHTTP::ReplyFinished);
    timer_->start();
    deadline_->start();
}

void THiloHTTP::ReplyMetaData() {
    if (concluded_) return;
    timer_->start();
    const QVariant code = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!code.isValid() || code.toInt() < 400) return;
    // An error page is not the resource: the fetch fails without reading it.
    TReplySignalScope scope(inReplySignal_);
    httpError_ = true;
    reply_->abort();
    if (!concluded_) ReplyFinished();
}

void THiloHTTP::ReplyReadyRead() {
    if (concluded_) return;
    timer_->start();
    if (httpError_) return;
    TReplySignalScope scope(inReplySignal_);
    ReadPieces(false);
}

void THiloHTTP::ReplyFinished() {
    if (concluded_) return;
    QPointer<THiloHTTP> self(this);
    TReplySignalScope scope(inReplySignal_);
    timer_->stop();
    const bool answered = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    if (tooLarge_ || httpError_) return Conclude(StatusError);
    if (reply_->error() != QNetworkReply::NoError)
        return Conclude(answered ? StatusError : StatusIncomplete);
    ReadPieces(true);
    if (!self || concluded_) return;
    if (tooLarge_) return Conclude(StatusError);
    if (!binary_) {
        body_ = SplitLines(text_);
        text_.clear();
        for (const QString& line : std::as_const(body_)) {
            stream_ += line.toLatin1();
            stream_ += "\r\n";
        }
    }
    Conclude(stream_.isEmpty() ? StatusIncomplete : StatusComplete);
}

void THiloHTTP::TimedOut() {
    if (concluded_ || !reply_) return;
    timedOut_ = true;
    reply_->abort();
    if (!concluded_) ReplyFinished();
}

void THiloHTTP::ReadPieces(bool toEnd) {
    QPointer<THiloHTTP> self(this);
    while (self && !concluded_ && !tooLarge_) {
        const qint64 waiting = reply_->bytesAvailable();
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
    ++reads_;
    status_ = ReadingStatus(reads_, url_);
    ShowStatus();
    if (!self) return;
    const QByteArray piece = reply_->read(PieceSize);
    rawBytes_ += piece.size();
    if (options_.MaxSize > 0 && rawBytes_ > options_.MaxSize) {
        tooLarge_ = true;
        if (!reply_->isFinished()) reply_->abort();
        return;
    }
    if (binary_) {
        stream_ += piece;
    } else {
        const qsizetype zero = piece.indexOf('\0');
        text_ += QString::fromLatin1(zero < 0 ? piece : piece.left(zero));
    }
}

void THiloHTTP::Conclude(const char* status) {
    if (concluded_) return;
    concluded_ = true;
    if (timer_) timer_->stop();
    if (deadline_) deadline_->stop();
    status_ = QLatin1String(status);
    QMetaObject::invokeMethod(this, &THiloHTTP::Finish, Qt::QueuedConnection);
}

void THiloHTTP::Finish() {
    QPointer<THiloHTTP> self(this);
    ShowStatus();
    if (self) deleteLater();
}

void THiloHTTP::SaveResult() {
    QSaveFile file(localPath_);
    const bool saved = file.open(QIODevice::WriteOnly) && file.write(stream_) == stream_.size() &&
                       file.flush() && file.commit();
    if (!saved) {
        saveError_ = QStringLiteral("Error al guardar el archivo: ") + localPath_;
        return;
    }
    if (options_.OpenWhenSave && QFileInfo::exists(localPath_) && options_.ShellOpener) {
        const TShellOpener open = options_.ShellOpener;
        open(localPath_);
    }
}

void THiloHTTP::ShowStatus() {
    // Views and handlers get copies; after each call the fetch checks that it
    // still exists before it reads anything of its own again.
    QPointer<THiloHTTP> self(this);
    const QString status = status_;
    if (status == QLatin1String(StatusComplete)) {
        if (THttpStatusLabel* l = label_.Get()) l->SetStatusColour(THttpStatusColour::LightGrey);
        if (!self) return;
        if (THttpProgressView* p = progress_.Get()) p->SetPosition(0);
        if (!self) return;
        if (options_.OnRead) {
            const TEventoRead onRead = options_.OnRead;
            const QString path = localPath_;
            const QStringList body = body_;
            const QStringList links = ExtractLinks(body_, url_);
            const QByteArray stream = stream_;
            onRead(this, path, status, body, links, stream);
            if (!self) return;
        }
        if (options_.SaveToDisk) {
            SaveResult();
            if (!self) return;
        }
    } else if (status == QLatin1String(StatusError)) {
        if (THttpStatusLabel* l = label_.Get()) l->SetStatusColour(THttpStatusColour::Red);
        if (!self) return;
        if (options_.OnError) {
            const TEventoError onError = options_.OnError;
            onError(this, QStringLiteral("No se pudo leer ") + url_);
            if (!self) return;
        }
    } else {
        if (THttpStatusLabel* l = label_.Get()) l->SetStatusColour(THttpStatusColour::Yellow);
        if (!self) return;
        if (THttpProgressView* p = progress_.Get()) {
            if (p->Position() >= p->Maximum()) p->SetPosition(0);
            if (!self) return;
            if ((p = progress_.Get())) p->StepIt();
            if (!self) return;
        }
    }
    const QString saveError = saveError_;
    if (THttpStatusLabel* l = label_.Get()) l->SetStatusText(status);
    if (saveError.isEmpty() || !self) return;
    // A failed save is shown where the fetch shows everything else.
    if (THttpStatusLabel* l = label_.Get()) l->SetStatusColour(THttpStatusColour::Red);
    if (!self) return;
    if (THttpStatusLabel* l = label_.Get()) l->SetStatusText(saveError);
}
