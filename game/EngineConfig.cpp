#include "EngineConfig.h"

#include <QFileInfo>
#include <QTimer>

#include <algorithm>

namespace {
// A name fit for the record, the PGN tags and the lists: printable, no
// quotes, brackets or braces, at most 40 characters.
QString SafeName(const QString& text) {
    QString name;
    for (const QChar c : text)
        name += c.isPrint() && !QStringLiteral("\"\\[]{}").contains(c) ? c : QChar(u' ');
    return name.simplified().left(40).trimmed();
}
} // namespace

QString TEngineConfig::ShownName() const {
    const QString name = SafeName(Name);
    if (!name.isEmpty()) return name;
    const QString file = SafeName(QFileInfo(Path).fileName());
    return file.isEmpty() ? QStringLiteral("Motor") : file;
}

QString TEngineConfig::StrengthText() const {
    if (!Probed) return QStringLiteral("sin comprobar");
    switch (Offered.Kind) {
    case TUciStrength::TKind::Elo:
        return QString::fromUtf8("Elo %1–%2").arg(Offered.Min).arg(Offered.Max);
    case TUciStrength::TKind::Skill:
        return QString::fromUtf8("nivel %1–%2").arg(Offered.Min).arg(Offered.Max);
    case TUciStrength::TKind::None:
        break;
    }
    return QStringLiteral("sin ajuste de fuerza");
}

QStringList EngineSearchPaths() {
    return {QStringLiteral("/usr/games/stockfish"), QStringLiteral("/usr/bin/stockfish")};
}

void MergeFoundEngines(QList<TEngineConfig>& engines, const QStringList& paths) {
    engines.removeIf(
        [](const TEngineConfig& e) { return e.Found && !QFileInfo(e.Path).isExecutable(); });
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (!info.isFile() || !info.isExecutable()) continue;
        const QString canonical = info.canonicalFilePath();
        const bool listed =
            std::any_of(engines.begin(), engines.end(), [&](const TEngineConfig& e) {
                return e.Path == path || QFileInfo(e.Path).canonicalFilePath() == canonical;
            });
        if (listed) continue;
        TEngineConfig found;
        found.Path = path;
        found.Found = true;
        engines.append(found);
    }
}

QString EngineRefusal(const QList<TEngineConfig>& engines, const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile() || !info.isExecutable())
        return QString::fromUtf8("%1 no es un programa que se pueda ejecutar").arg(path);
    if (QString::fromLatin1(path.toLatin1()) != path)
        return QString::fromUtf8(
                   "La ruta %1 tiene caracteres que el archivo de configuración no puede guardar")
            .arg(path);
    const QString canonical = info.canonicalFilePath();
    for (const TEngineConfig& e : engines)
        if (QFileInfo(e.Path).canonicalFilePath() == canonical)
            return QString::fromUtf8("El motor %1 ya está en la lista").arg(e.ShownName());
    return QString();
}

TEngineProbe::TEngineProbe(const TEngineConfig& config, QObject* parent)
    : QObject(parent), config_(config) {
    client_ = new TUciClient(this);
    connect(client_, &TUciClient::Ready, this, [this] {
        if (reported_) return;
        reported_ = true;
        config_.Probed = true;
        config_.Offered = TUciStrength::Of(client_->Options());
        if (config_.Name.trimmed().isEmpty() && !client_->EngineName().trimmed().isEmpty())
            config_.Name = SafeName(QString::fromLatin1(client_->EngineName()));
        client_->Quit();
        const TEngineConfig probed = config_;
        QTimer::singleShot(0, this, [this, probed] {
            if (OnDone) OnDone(probed);
        });
    });
    connect(client_, &TUciClient::Failed, this, [this](const QString& reason) {
        if (reported_) return;
        reported_ = true;
        QTimer::singleShot(0, this, [this, reason] {
            if (OnFailed) OnFailed(reason);
        });
    });
}

void TEngineProbe::Start() {
    client_->Start(config_.Path, config_.Arguments);
}
