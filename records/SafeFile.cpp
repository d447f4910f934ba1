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

// Writes all of bytes to a device opened unbuffered: a short write says
// nothing of why, so the rest is written again, and that write fails with
// the system's reason.
bool WriteAll(QFileDevice& file, const QByteArray& bytes, QString* why) {
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) return Fail(why, file.errorString());
        done += n;
    }
    return true;
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
    // Unbuffered: QSaveFile::commit would rename a file whose buffered bytes
    // never reached the disk, so each write is checked here as it is made.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return Fail(why, file.errorString());
    if (!WriteAll(file, bytes, why)) {
        file.cancelWriting();
        return false;
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
    return WriteAll(file, bytes, why) && (file.flush() || Fail(why, file.errorString()));
}
