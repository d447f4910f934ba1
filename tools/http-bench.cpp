// zugaret-http-bench: speed figures of the download component on loopback.
//
//   zugaret-http-bench [kilobytes]   (default 1024)
//
// Serves a binary body of that size from a server in the same process, fetches
// it with TWNetHTTP (one status update per 1024 bytes, a counting activity
// bar), then starts a fetch the server never answers and destroys the
// component under it. Prints one line per figure.
#include "WNetHTTP.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstdio>
#include <cstdlib>

namespace {

class TCountingBar final : public THttpProgressView {
public:
    int Position() const override { return position_; }
    int Maximum() const override { return 100; }
    void SetPosition(int position) override { position_ = position; }
    void StepIt() override {
        ++Steps;
        ++position_;
    }
    long Steps = 0;

private:
    int position_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const long kilobytes = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1024;
    if (kilobytes <= 0 || kilobytes > 1024 * 1024) {
        std::fprintf(stderr, "kilobytes must be from 1 to 1048576\n");
        return 2;
    }
    const QByteArray body(kilobytes * 1024, 'z');
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        QTcpSocket* s = server.nextPendingConnection();
        QObject::connect(s, &QTcpSocket::readyRead, s, [s, &body] {
            const QByteArray request = s->readAll();
            if (request.startsWith("GET /hang")) return;
            s->write("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: " +
                     QByteArray::number(body.size()) + "\r\n\r\n" + body);
            s->disconnectFromHost();
        });
        QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
    });
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(server.serverPort());

    TCountingBar bar;
    auto* http = new TWNetHTTP;
    http->SetProgress(&bar);
    http->Url = base + QStringLiteral("/body.bin");
    qint64 received = 0;
    http->OnRead = [&](THiloHTTP*, const QString&, const QString&, const QStringList&,
                       const QStringList&, const QByteArray& stream) {
        received = stream.size();
        app.quit();
    };
    QElapsedTimer clock;
    clock.start();
    http->Download();
    app.exec();
    const qint64 ns = clock.nsecsElapsed();
    std::printf("fetch %ld KiB: bytes %lld status-updates %ld ms %.1f MB/s %.1f\n", kilobytes,
                static_cast<long long>(received), bar.Steps, static_cast<double>(ns) / 1e6,
                ns > 0 ? static_cast<double>(received) * 1e3 / static_cast<double>(ns) : 0.0);

    http->Url = base + QStringLiteral("/hang.txt");
    http->OnRead = nullptr;
    http->Download();
    for (int i = 0; i < 20; ++i)
        app.processEvents(QEventLoop::AllEvents, 10); // the request reaches the server
    clock.restart();
    delete http;
    std::printf("destroy with a fetch hanging: us %.1f\n",
                static_cast<double>(clock.nsecsElapsed()) / 1e3);
    return received == body.size() ? 0 : 1;
}
