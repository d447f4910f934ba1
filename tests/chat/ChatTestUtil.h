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

// WaitFor inside a running event loop, as in a program: what is deleted
// later goes as the loop turns.
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
        dialogs.AnswerInput(TQuestion::ConnectAddress, "127.0.0.1");
        Chat().bConectarClick();
        dialogs.Flush(); // the address is typed
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
    const qsizetype reply = raw.got.lastIndexOf(Wire("/VER|"));
    const QByteArray bytes = raw.got.left(reply);
    // What came after the reply waits for the next call.
    raw.got.remove(0, raw.got.indexOf('\xFF', reply) + 1);
    return bytes;
}
