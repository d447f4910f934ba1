#pragma once
// A small HTTP server for the download tests, answering by hand on a loopback
// ephemeral port: each path gets canned bytes and the connection is closed;
// an answer starting "STALL:" is sent without closing, and an empty answer
// is none at all (a server that never answers); other paths get 404.

#include <QHostAddress>
#include <QMap>
#include <QTcpServer>
#include <QTcpSocket>

class THttpTestServer {
public:
    THttpTestServer() {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            QTcpSocket* s = m_server.nextPendingConnection();
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

    void Route(const QByteArray& path, const QByteArray& answer) { m_routes[path] = answer; }
    QString Url(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
    }

    QList<QByteArray> Requests;
    int Disconnects = 0;

private:
    void Request(QTcpSocket* s) {
        QByteArray& head = m_heads[s];
        head += s->readAll();
        if (!head.contains("\r\n\r\n")) return;
        Requests << m_heads.take(s);
        const QByteArray answer =
            m_routes.value(Requests.last().split(' ').value(1), Status("404 Not Found"));
        s->write(answer.startsWith("STALL:") ? answer.mid(6) : answer);
        if (!answer.isEmpty() && !answer.startsWith("STALL:")) s->disconnectFromHost();
    }

    QTcpServer m_server;
    QMap<QByteArray, QByteArray> m_routes;
    QMap<QTcpSocket*, QByteArray> m_heads;
};
