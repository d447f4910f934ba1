#include "UpdateCheck.h"

#include "UrlRoutines.h"
#include "WNetHTTP.h"

#include <QUrl>

namespace {

// News lines from index 2 on that carry the marker.
QStringList NewsLines(const QStringList& lines, const QString& marker) {
    QStringList news;
    for (qsizetype i = 2; i < lines.size(); ++i)
        if (lines.at(i).contains(marker)) news << lines.at(i);
    return news;
}

} // namespace

bool IsWebAddress(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() <= 0x20 || c.unicode() == 0x7F) return false;
    if (!text.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) &&
        !text.startsWith(QLatin1String("https://"), Qt::CaseInsensitive))
        return false;
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
           !url.host().isEmpty();
}

QString OutdatedWarning(const QString& newestVersion) {
    const QString br = QStringLiteral("\n\r");
    return QStringLiteral("¡¡ ATENCION !! ") + br +
           QStringLiteral("Esta versión de ZugaretChat es demasiado antigua") + br +
           QStringLiteral("Le recomiendo que consiga la versión ") + newestVersion + br +
           QStringLiteral("para evitar problemas de incompatibilidad al jugar con") + br +
           QStringLiteral("jugadores que tenga la última versión") + br;
}

TUpdateOutcome DecideUpdate(const QStringList& lines, const QString& version,
                            const QString& webUrl) {
    TUpdateOutcome outcome;
    if (lines.size() < 2) return outcome;
    outcome.Handled = true;
    QString web = webUrl;
    const QString address = TrimBlanks(lines.at(1));
    if (lines.size() > 2 && IsWebAddress(address)) {
        outcome.NewWebUrl = address;
        web = address;
    }
    const QString newest = TrimBlanks(lines.at(0));
    outcome.Outdated = newest != version;
    if (outcome.Outdated) {
        outcome.VersionState = 2;
        outcome.PlayEntrar = true;
        outcome.Warning = OutdatedWarning(newest);
        if (IsWebAddress(web)) outcome.OpenAddress = web;
        outcome.ChatLines = NewsLines(lines, QStringLiteral("$>"));
    } else {
        outcome.VersionState = 1;
        outcome.ChatLines << QLatin1String(TUpdateCheck::UpToDateLine);
        outcome.ChatLines += NewsLines(lines, QStringLiteral("*>"));
    }
    return outcome;
}

TUpdateCheckHost::~TUpdateCheckHost() = default;

TUpdateCheck::TUpdateCheck(TUpdateCheckHost& host, const QString& version, QObject* parent)
    : QObject(parent), host_(host), version_(version), http_(new TWNetHTTP(this)) {
    http_->MaxSize = MaxVersionFileSize;
    http_->OnRead = [this](THiloHTTP*, const QString&, const QString&, const QStringList& body,
                           const QStringList&, const QByteArray&) { WNetHTTP1Read(body); };
    http_->OnError = [this](THiloHTTP*, const QString&) { WNetHTTP1Error(); };
}

TUpdateCheck::~TUpdateCheck() = default;

void TUpdateCheck::SetProgress(THttpProgressView* progress) {
    http_->SetProgress(progress);
}

bool TUpdateCheck::Start() {
    if (started_) return false;
    started_ = true;
    host_.AddChatLine(QLatin1String(SearchLine));
    http_->Url = host_.WebUrl() + QLatin1String(VersionFileName);
    http_->Download();
    return true;
}

void TUpdateCheck::WNetHTTP1Read(const QStringList& body) {
    const TUpdateOutcome outcome = DecideUpdate(body, version_, host_.WebUrl());
    if (!outcome.Handled) return;
    if (outcome.NewWebUrl) host_.SetWebUrl(*outcome.NewWebUrl);
    host_.WriteVersionState(outcome.VersionState);
    if (outcome.Outdated) {
        if (outcome.PlayEntrar) host_.PlayCue(QStringLiteral("entrar"));
        // The page opens once the warning has been read.
        std::function<void()> then;
        if (!outcome.OpenAddress.isEmpty())
            then = [&host = host_, address = outcome.OpenAddress] { host.OpenUrl(address); };
        host_.ShowMessage(outcome.Warning, std::move(then));
    }
    for (const QString& line : outcome.ChatLines)
        host_.AddChatLine(line);
}

void TUpdateCheck::WNetHTTP1Error() {
    host_.AddChatLine(QLatin1String(ErrorLine));
}
