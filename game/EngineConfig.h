#pragma once
// The external UCI engines the user can play: as configured (the ini file's
// [Motores] section, the configuration window's "Motores" page), as found on
// the system, and as learnt by asking the engine itself (TEngineProbe).
//
// What must stay true:
//  - an engine found on the system is listed while its file is there, once,
//    and is not removed by the user; one added by path stays until removed;
//  - a probe reports once, from the event loop, and leaves no process behind.

#include "UciClient.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

struct TEngineConfig {
    QString Path;
    QString Name; // empty: the file's name
    QStringList Arguments;
    QList<QPair<QByteArray, QByteArray>> Options;
    bool Found = false;          // found on the system, not added by the user
    bool Probed = false;         // Offered and Name come from the engine itself
    TUciStrength Offered;        // how its strength can be limited
    std::optional<int> Strength; // the chosen value (Offered's units); none: full strength

    QString ShownName() const;
    // "Elo 1320–3190", "nivel 0–20", "sin ajuste de fuerza", or "sin comprobar".
    QString StrengthText() const;
};

// Where engines are looked for on the system.
QStringList EngineSearchPaths();
// Drops found engines whose file is gone and adds those of paths (executable
// files) not listed yet, as found engines.
void MergeFoundEngines(QList<TEngineConfig>& engines, const QStringList& paths);
// Why path cannot be added as an engine ("" when it can): no executable
// file, a name the settings file cannot hold (not Latin-1), already listed.
QString EngineRefusal(const QList<TEngineConfig>& engines, const QString& path);

// Starts an engine, reads its name and options, and quits it.
class TEngineProbe : public QObject {
    Q_OBJECT
public:
    TEngineProbe(const TEngineConfig& config, QObject* parent = nullptr);
    void Start();
    TUciClient& Client() { return *client_; }
    // The config with Probed, Offered and (when empty) Name filled in.
    std::function<void(const TEngineConfig& probed)> OnDone;
    std::function<void(const QString& reason)> OnFailed;

private:
    TEngineConfig config_;
    TUciClient* client_ = nullptr;
    bool reported_ = false;
};
