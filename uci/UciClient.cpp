#include "UciClient.h"

#include "UciPosition.h"

#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <algorithm>

namespace {

const TUciOption* FindOption(const QList<TUciOption>& options, QByteArrayView name,
                             TUciOptionType type) {
    for (const TUciOption& o : options)
        if (o.type == type && QByteArrayView(o.name).compare(name, Qt::CaseInsensitive) == 0)
            return &o;
    return nullptr;
}

int Bounded(qint64 value) {
    return int(std::clamp<qint64>(value, -1000000, 1000000));
}

} // namespace

TUciStrength TUciStrength::OfKind(const QList<TUciOption>& options, TKind kind) {
    TUciStrength s;
    const TUciOption* spin = nullptr;
    if (kind == TKind::Elo && FindOption(options, "UCI_LimitStrength", TUciOptionType::Check))
        spin = FindOption(options, "UCI_Elo", TUciOptionType::Spin);
    else if (kind == TKind::Skill)
        spin = FindOption(options, "Skill Level", TUciOptionType::Spin);
    if (spin && spin->min <= spin->max) {
        s.Kind = kind;
        s.Min = Bounded(spin->min);
        s.Max = Bounded(spin->max);
    }
    return s;
}

TUciStrength TUciStrength::Of(const QList<TUciOption>& options) {
    const TUciStrength elo = OfKind(options, TKind::Elo);
    return elo.Kind != TKind::None ? elo : OfKind(options, TKind::Skill);
}

QList<QByteArray> TUciStrength::Commands(int value) const {
    const QByteArray v = QByteArray::number(std::clamp(value, Min, Max));
    switch (Kind) {
    case TKind::Elo:
        return {FormatUciSetOption("UCI_LimitStrength", "true"), FormatUciSetOption("UCI_Elo", v)};
    case TKind::Skill:
        return {FormatUciSetOption("Skill Level", v)};
    case TKind::None:
        break;
    }
    return {};
}

TUciClient::TUciClient(QObject* parent) : QObject(parent) {
    deadline_ = new QTimer(this);
    deadline_->setSingleShot(true);
    connect(deadline_, &QTimer::timeout, this, [this] {
        if (quitting_) {
            if (process_) process_->kill();
            return;
        }
        Fail(deadlineReason_);
    });
}

TUciClient::~TUciClient() {
    if (!process_ || process_->state() == QProcess::NotRunning) return;
    // The process outlives this object until it has been reaped, so that
    // nothing here waits for it.
    process_->disconnect(this);
    process_->setParent(nullptr);
    QProcess* process = process_;
    connect(process, &QProcess::finished, process, &QObject::deleteLater);
    process->kill();
}

QString TUciClient::Program() const {
    return QFileInfo(program_).fileName();
}

void TUciClient::SetOption(const QByteArray& name, const QByteArray& value) {
    wanted_.append({name, value});
}

void TUciClient::Start(const QString& program, const QStringList& arguments) {
    if (started_) return;
    started_ = true;
    program_ = program;
    process_ = new QProcess(this);
    process_->setStandardErrorFile(QProcess::nullDevice());
    connect(process_, &QProcess::readyReadStandardOutput, this, [this] { ReadOutput(); });
    connect(process_, &QProcess::started, this, [this] { Send("uci"); });
    connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            Fail(QString::fromUtf8("No se pudo arrancar el motor %1: %2")
                     .arg(program_, process_->errorString()));
    });
    connect(process_, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        Finished(code, status == QProcess::CrashExit);
    });
    StartDeadline(limits_.HandshakeMs,
                  QString::fromUtf8("El motor %1 no ha contestado al saludo UCI en %2 s")
                      .arg(Program())
                      .arg(limits_.HandshakeMs / 1000.0));
    process_->start(program, arguments, QIODevice::ReadWrite);
}

void TUciClient::StartDeadline(int ms, const QString& reason) {
    deadlineReason_ = reason;
    deadline_->start(std::max(0, ms));
}

void TUciClient::Send(const QByteArray& line) {
    if (!process_ || failed_ || process_->state() != QProcess::Running) return;
    process_->write(line + '\n');
}

void TUciClient::ReadOutput() {
    if (!process_) return;
    pending_ += process_->readAllStandardOutput();
    qsizetype start = 0;
    while (!failed_) {
        const qsizetype end = pending_.indexOf('\n', start);
        if (end < 0) break;
        QByteArray line = pending_.mid(start, end - start);
        start = end + 1;
        if (line.endsWith('\r')) line.chop(1);
        if (line.size() > limits_.MaxLineBytes) {
            Fail(QString::fromUtf8("El motor %1 ha escrito una línea demasiado larga")
                     .arg(Program()));
            return;
        }
        TakeLine(line);
    }
    if (failed_) return;
    pending_.remove(0, start);
    if (pending_.size() > limits_.MaxLineBytes)
        Fail(QString::fromUtf8("El motor %1 ha escrito una línea demasiado larga").arg(Program()));
}

void TUciClient::TakeLine(const QByteArray& line) {
    // Counted since the last go (or the start): a flood ends the conversation.
    if (++linesThisMove_ > limits_.MaxLinesPerMove) {
        Fail(QString::fromUtf8("El motor %1 escribe demasiado").arg(Program()));
        return;
    }
    const TUciReply reply = ParseUciReply(line);
    if (!ready_) {
        HandshakeReply(reply);
        return;
    }
    if (reply.kind == TUciReplyKind::ReadyOk && awaitingReady_) {
        awaitingReady_ = false;
        if (queuedGo_ && !searching_) {
            const TGoRequest request = *std::exchange(queuedGo_, std::nullopt);
            SendGo(request);
        }
        return;
    }
    if (reply.kind == TUciReplyKind::BestMove ||
        (reply.kind == TUciReplyKind::Malformed && reply.error.startsWith("bestmove")))
        TakeBestMove(reply);
}

void TUciClient::HandshakeReply(const TUciReply& reply) {
    switch (reply.kind) {
    case TUciReplyKind::Id:
        if (reply.idField == "name") name_ = reply.text;
        break;
    case TUciReplyKind::Option:
        if (!uciOk_ && options_.size() < limits_.MaxOptions) options_.append(reply.option);
        break;
    case TUciReplyKind::UciOk: {
        if (uciOk_) break;
        uciOk_ = true;
        for (const auto& [name, value] : wanted_)
            if (std::any_of(options_.begin(), options_.end(), [&](const TUciOption& o) {
                    return QByteArrayView(o.name).compare(name, Qt::CaseInsensitive) == 0;
                }))
                Send(FormatUciSetOption(name, value));
        if (strength_)
            for (const QByteArray& line :
                 TUciStrength::OfKind(options_, strengthKind_).Commands(*strength_))
                Send(line);
        Send("isready");
        break;
    }
    case TUciReplyKind::ReadyOk:
        if (!uciOk_) break;
        ready_ = true;
        deadline_->stop();
        emit Ready();
        if (!failed_ && queuedGo_) {
            const TGoRequest request = *std::exchange(queuedGo_, std::nullopt);
            SendGo(request);
        }
        break;
    default:
        break;
    }
}

void TUciClient::Go(const QByteArray& fen, const QList<QByteArray>& moves, const TUciGo& go) {
    if (failed_ || quitting_) return;
    TGoRequest request{fen, moves, go};
    if (!ready_ || searching_ || awaitingReady_) {
        queuedGo_ = request;
        return;
    }
    SendGo(request);
}

void TUciClient::SendGo(const TGoRequest& request) {
    auto position = std::make_unique<TUciPosition>();
    bool legal = request.Fen.isEmpty() || position->SetFen(request.Fen);
    for (const QByteArray& move : request.Moves)
        legal = legal && position->Play(move);
    if (!legal) {
        Fail(QString::fromUtf8("La posición pedida al motor %1 no es válida").arg(Program()));
        return;
    }
    if (newGamePending_) {
        newGamePending_ = false;
        Send("ucinewgame");
        Send("isready");
        awaitingReady_ = true;
        queuedGo_ = request;
        return;
    }
    const bool white = position->WhiteToMove();
    position_ = std::move(position);
    Send(FormatUciPosition(request.Fen, request.Moves));
    Send(FormatUciGo(request.Go));
    searching_ = true;
    cancelled_ = false;
    linesThisMove_ = 0;
    const std::optional<qint64> clock = white ? request.Go.wtime : request.Go.btime;
    const qint64 budget = request.Go.movetime ? *request.Go.movetime
                          : clock             ? std::max<qint64>(0, *clock)
                                              : limits_.NoClockMoveMs;
    StartDeadline(int(std::min<qint64>(budget + limits_.MarginMs, 24 * 3600 * 1000)),
                  QString::fromUtf8("El motor %1 no ha dado su jugada a tiempo").arg(Program()));
}

void TUciClient::TakeBestMove(const TUciReply& reply) {
    if (!searching_) return; // a bestmove nobody asked for
    searching_ = false;
    deadline_->stop();
    if (cancelled_) {
        cancelled_ = false;
        if (queuedGo_) {
            const TGoRequest request = *std::exchange(queuedGo_, std::nullopt);
            SendGo(request);
        }
        return;
    }
    if (reply.kind != TUciReplyKind::BestMove || reply.bestMove == "0000") {
        Fail(QString::fromUtf8("El motor %1 ha dado una jugada mal escrita").arg(Program()));
        return;
    }
    if (!position_ || !position_->Play(reply.bestMove)) {
        Fail(QString::fromUtf8("El motor %1 ha dado una jugada ilegal: %2")
                 .arg(Program(), QString::fromLatin1(reply.bestMove)));
        return;
    }
    emit BestMove(reply.bestMove);
}

void TUciClient::Cancel() {
    queuedGo_.reset();
    if (!searching_ || cancelled_) return;
    cancelled_ = true;
    Send("stop");
    StartDeadline(limits_.MarginMs,
                  QString::fromUtf8("El motor %1 no se ha detenido").arg(Program()));
}

void TUciClient::Quit() {
    if (!process_ || quitting_ || failed_) return;
    quitting_ = true;
    queuedGo_.reset();
    if (searching_) Send("stop");
    Send("quit");
    deadline_->start(limits_.QuitMs);
}

void TUciClient::Finished(int exitCode, bool crashed) {
    deadline_->stop();
    if (quitting_ || failed_) return;
    Fail(crashed ? QString::fromUtf8("El motor %1 se ha caído").arg(Program())
                 : QString::fromUtf8("El motor %1 se ha cerrado (código %2)")
                       .arg(Program())
                       .arg(exitCode));
}

void TUciClient::Fail(const QString& reason) {
    if (failed_) return;
    failed_ = true;
    ready_ = false;
    searching_ = false;
    queuedGo_.reset();
    deadline_->stop();
    if (process_ && process_->state() != QProcess::NotRunning) process_->kill();
    emit Failed(reason);
}
