#pragma once
// A small HTTP server for the download tests, answering by hand on a loopback
// ephemeral port: each path gets canned bytes and the connection is closed;
// an answer starting "STALL:" is sent without closing; a held path gets its
// answer only at Release (never, for a server that never answers).

#include <QHostAddress>
#include <QMap>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

class THttpTestServer {
public:
    THttpTestServer() {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection()) {
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] { Request(s); });
                QObject::connect(s, &QTcpSocket::disconnected, s, [this, s] {
                    ++Disconnects;
                    s->deleteLater();
                });
            }
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

    void Route(const QByteArray& path, const QByteArray& answer) { m_routes[path] = answer; }
    void Hold(const QByteArray& path) { m_held[path] = nullptr; }
    void Release(const QByteArray& path, const QByteArray& answer) {
        if (QTcpSocket* s = m_held.take(path)) Answer(s, answer);
    }
    QString Url(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
    }
    bool IsHeld(const QByteArray& path) const { return !m_held.value(path).isNull(); }

    QList<QByteArray> Requests;
    int Disconnects = 0;

private:
    void Request(QTcpSocket* s) {
        QByteArray& head = m_heads[s];
        head += s->readAll();
        if (!head.contains("\r\n\r\n")) return;
        Requests << head;
        const QByteArray path = head.split(' ').value(1);
        if (m_held.contains(path))
            m_held[path] = s;
        else
            Answer(s, m_routes.value(path, Status("404 Not Found")));
        m_heads.remove(s);
    }
    static void Answer(QTcpSocket* s, const QByteArray& answer) {
        if (answer.startsWith("STALL:")) {
            s->write(answer.mid(6));
            return;
        }
        s->write(answer);
        s->disconnectFromHost();
    }

    QTcpServer m_server;
    QMap<QByteArray, QByteArray> m_routes;
    QMap<QByteArray, QPointer<QTcpSocket>> m_held;
    QMap<QTcpSocket*, QByteArray> m_heads;
};
