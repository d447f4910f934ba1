#pragma once
// Participants of a chat on loopback for the session tests: whole programs
// without windows, each over its own folder, scripted dialogs and recording
// sound; and a raw connection that sends and sees the bytes themselves.

#include "ChatSession.h"
#include "HeadlessProgram.h"
#include "ProgramEnv.h"
#include "SoundCues.h"
#include "TcpSockets.h"
#include "UiDialogs.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <memory>

// Protocol bytes written readably: "|" stands for 0xFE, "#" for 0xFF.
inline QByteArray Wire(const char* text) {
    QByteArray bytes(text);
    bytes.replace('|', '\xFE').replace('#', '\xFF');
    return bytes;
}
inline QString WireText(const char* text) {
    return QString::fromLatin1(Wire(text));
}

// QTest::qWaitFor without its 10 ms naps: these peers answer within microseconds.
template <typename TReady> bool WaitFor(TReady ready, int ms = 5000) {
    const QDeadlineTimer deadline(ms);
    while (!ready()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::usleep(50);
    }
    return true;
}

// Answers like TScriptedDialogs, but as a real modal dialog does: the event
// loop runs (sockets, timers, deferred deletes) for a while before the
// answer comes back.
class TModalDialogs final : public TUiDialogs {
public:
    explicit TModalDialogs(TScriptedDialogs& answers, int ms = 300) : answers_(answers), ms_(ms) {}
    void ShowMessage(const QString& text, const QString& caption, TMessageKind kind) override {
        Wait();
        answers_.ShowMessage(text, caption, kind);
    }
    bool Ask(const QString& text, const QString& caption, TQuestionButtons buttons) override {
        Wait();
        return answers_.Ask(text, caption, buttons);
    }
    std::optional<QString> InputQuery(const QString& caption, const QString& prompt,
                                      const QString& defaultText) override {
        Wait();
        return answers_.InputQuery(caption, prompt, defaultText);
    }
    QString OpenFileName(const TFileDialogRequest& r) override { return answers_.OpenFileName(r); }
    QString SaveFileName(const TFileDialogRequest& r) override { return answers_.SaveFileName(r); }
    QString OpenPictureName(const TFileDialogRequest& r) override {
        return answers_.OpenPictureName(r);
    }
    std::optional<int> ChooseItem(const QString& caption, const QString& prompt,
                                  const QStringList& items, int preselected) override {
        Wait();
        return answers_.ChooseItem(caption, prompt, items, preselected);
    }
    int Open() const { return open_; }

private:
    void Wait() {
        ++open_;
        QEventLoop loop;
        QTimer::singleShot(ms_, &loop, &QEventLoop::quit);
        loop.exec();
        --open_;
    }
    TScriptedDialogs& answers_;
    int ms_;
    int open_ = 0;
};

// WaitFor inside a running event loop, as in a program: a dialog opened
// meanwhile runs a nested loop, and what is deleted later inside it goes then.
template <typename TReady> bool RunLoopUntil(TReady ready, int ms = 5000) {
    QEventLoop loop;
    QTimer poll;
    const QDeadlineTimer deadline(ms);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (ready() || deadline.hasExpired()) loop.quit();
    });
    poll.start(1);
    loop.exec();
    return ready();
}

// The update check of these programs asks a port where nothing listens.
inline const QByteArray QuietIni = "[KorvenWEB]\r\nUrl=http://127.0.0.1:9/zugaret\r\n";

struct TPeer {
    QTemporaryDir dir;
    TScriptedDialogs dialogs;
    TRecordingSound sound;
    std::unique_ptr<TProgramEnv> env;
    std::unique_ptr<THeadlessProgram> program;

    explicit TPeer(const QString& nick, const QByteArray& ini = QuietIni) {
        QFile file(dir.path() + "/ZuzPlak.ini");
        file.open(QIODevice::WriteOnly);
        file.write("[User]\r\nNick=" + nick.toLatin1() + "\r\n" + ini);
        file.close();
        env = std::make_unique<TProgramEnv>(dir.path(), dir.path(), 0);
        env->SetDialogs(&dialogs);
        env->SetSound(&sound);
        program = std::make_unique<THeadlessProgram>(*env);
    }
    TChatSession& Chat() const { return program->Chat(); }
    TGameController& Game() const { return program->Game(); }
    QStringList Log() const { return Chat().Log().Texts(); }
    QString Port() const { return Chat().Server().LocalPort(Chat().Server().SocketHandle()); }

    bool Host() {
        Chat().bCrearClick();
        return Game().Role() == TRole::Server;
    }
    // Joins host's chat and waits until the host's welcome has arrived.
    bool Join(const TPeer& host, bool wait = true) {
        Chat().ChatPort = host.Port();
        dialogs.AnswerInput("127.0.0.1", "Unirse a una partida");
        Chat().bConectarClick();
        if (!wait) return true;
        return WaitFor([this] { return Chat().Registered(); });
    }
    bool Type(const QString& line) { return program->Type(line); }
};

// A connection that deals in bytes.
struct TRawPeer {
    QTcpSocket socket;
    QByteArray got;

    TRawPeer() {
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] { got += socket.readAll(); });
    }
    bool Connect(const QString& port) {
        socket.connectToHost(QHostAddress::LocalHost, port.toUShort());
        if (!socket.waitForConnected(5000)) return false;
        socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        return true;
    }
    void Send(const QByteArray& bytes) {
        socket.write(bytes);
        socket.flush();
    }
    // Waits until the bytes received hold bytes.
    bool Sees(const QByteArray& bytes) {
        return WaitFor([&] { return got.contains(bytes); });
    }
    // Connects and registers as nick.
    bool Register(const QString& port, const QByteArray& nick) {
        return Connect(port) && Sees(Wire("/IDENT#")) &&
               (Send(Wire("/IDENT|") + nick + '\xFF'), true) && Sees(Wire("/LIST|"));
    }
};

// What a registered connection was sent until now: the reply to a
// "/VERSION" asked last proves that everything sent before it has been
// handled.
inline QByteArray Settle(TRawPeer& raw) {
    raw.Send(Wire("/VERSION#"));
    if (!WaitFor([&] { return raw.got.contains(Wire("/VER|")) && raw.got.endsWith('\xFF'); }))
        return "<no reply>";
    const QByteArray bytes = raw.got.left(raw.got.lastIndexOf(Wire("/VER|")));
    raw.got.clear();
    return bytes;
}
