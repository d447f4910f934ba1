#include "SafeFile.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <csignal>
#include <mutex>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

// Ends a failed write: the reason, false.
bool Fail(QString* why, const QString& reason) {
    if (why) *why = reason;
    return false;
}

} // namespace

void IgnoreFileSizeSignal() {
#ifdef SIGXFSZ
    static std::once_flag once;
    std::call_once(once, [] { std::signal(SIGXFSZ, SIG_IGN); });
#endif
}

bool ReplaceFileContents(const QString& path, const QByteArray& bytes, QString* why) {
    IgnoreFileSizeSignal();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return Fail(why, file.errorString());
    // QSaveFile::commit would rename a file whose buffered bytes never
    // reached the disk: each step is checked here before it may.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return Fail(why, reason);
    }
#ifdef Q_OS_UNIX
    if (::fsync(file.handle()) != 0) {
        const QString reason = qt_error_string(errno);
        file.cancelWriting();
        return Fail(why, reason);
    }
#endif
    if (file.size() != bytes.size()) {
        file.cancelWriting();
        return Fail(why, QStringLiteral("el archivo escrito no tiene el tamaño esperado"));
    }
    if (!file.commit()) return Fail(why, file.errorString());
    return true;
}

bool AppendAll(QFile& file, const QByteArray& bytes, QString* why) {
    IgnoreFileSizeSignal();
    qint64 done = 0;
    while (done < bytes.size()) {
        // A short write says nothing of why; the next one fails with the
        // system's reason.
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) return Fail(why, file.errorString());
        done += n;
    }
    if (!file.flush()) return Fail(why, file.errorString());
    return true;
}
