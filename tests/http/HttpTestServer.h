#pragma once
// A small HTTP server for the download tests, answering by hand on a loopback
// ephemeral port: each path gets canned bytes and the connection is closed;
// an answer starting "STALL:" is sent without closing, one starting
// "TRICKLE:" sends its head at once and then its body one byte every 100 ms,
// and an empty answer is none at all (a server that never answers); other
// paths get 404.

#include <QHostAddress>
#include <QMap>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

class THttpTestServer {
public:
    THttpTestServer() {
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            QTcpSocket* s = server_.nextPendingConnection();
            QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] { Request(s); });
            QObject::connect(s, &QTcpSocket::disconnected, s, [this, s] {
                ++Disconnects;
                s->deleteLater();
            });
        });
    }

    static QByteArray Ok(const QByteArray& body, int declaredLength = -1) {
        return "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: " +
               QByteArray::number(declaredLength < 0 ? body.size() : declaredLength) + "\r\n\r\n" +
               body;
    }
    static QByteArray Status(const QByteArray& line, const QByteArray& headers = "") {
        return "HTTP/1.1 " + line + "\r\nConnection: close\r\nContent-Length: 4\r\n" + headers +
               "\r\nnada";
    }

    void Route(const QByteArray& path, const QByteArray& answer) { routes_[path] = answer; }
    QString Url(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path);
    }

    QList<QByteArray> Requests;
    int Disconnects = 0;

private:
    void Request(QTcpSocket* s) {
        QByteArray& head = heads_[s];
        head += s->readAll();
        if (!head.contains("\r\n\r\n")) return;
        Requests << heads_.take(s);
        const QByteArray answer =
            routes_.value(Requests.last().split(' ').value(1), Status("404 Not Found"));
        if (answer.startsWith("TRICKLE:")) return Trickle(s, answer.mid(8));
        s->write(answer.startsWith("STALL:") ? answer.mid(6) : answer);
        if (!answer.isEmpty() && !answer.startsWith("STALL:")) s->disconnectFromHost();
    }

    void Trickle(QTcpSocket* s, const QByteArray& answer) {
        const qsizetype head = answer.indexOf("\r\n\r\n") + 4;
        s->write(answer.left(head));
        auto* timer = new QTimer(s);
        auto rest = std::make_shared<QByteArray>(answer.mid(head));
        QObject::connect(timer, &QTimer::timeout, s, [s, rest] {
            if (rest->isEmpty()) return;
            s->write(rest->left(1));
            rest->remove(0, 1);
        });
        timer->start(100);
    }

    QTcpServer server_;
    QMap<QByteArray, QByteArray> routes_;
    QMap<QTcpSocket*, QByteArray> heads_;
};
