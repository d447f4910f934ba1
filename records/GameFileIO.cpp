#include "GameFileIO.h"

#include "RecordText.h"
#include "SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString TooBigWarning(const QString& fileName) {
    const QString br = QStringLiteral("\n\r");
    return QString::fromUtf8("         ¡¡ATENCION!!") + br + QStringLiteral("La base de datos ") +
           fileName + br + QStringLiteral("ya es demasiado grande. Deberia considerar la") + br +
           QStringLiteral("posibilidad de guardarla en otra carpeta para") + br +
           QString::fromUtf8("facilitar la función de autoguardado");
}

// What the end of the database says before a game is appended: its lines,
// counted only until they pass the warning's threshold (a big database is
// not read whole on every game's end), and whether its last line is ended.
struct TDatabaseEnd {
    qsizetype Lines = 0;
    bool EndsOpen = false;
};

bool ReadDatabaseEnd(QFile& file, TDatabaseEnd* end) {
    constexpr qint64 Chunk = 64 * 1024;
    bool lastWasCr = false;
    qsizetype lines = 0;
    bool open = false; // bytes after the last line end
    while (lines <= PgnDatabaseWarnLines) {
        const QByteArray chunk = file.read(Chunk);
        if (chunk.isEmpty()) break;
        for (const char c : chunk) {
            if (c == '\n' && lastWasCr) {
                lastWasCr = false;
                continue;
            }
            lastWasCr = c == '\r';
            if (c == '\r' || c == '\n') {
                ++lines;
                open = false;
            } else {
                open = true;
            }
        }
    }
    if (file.error() != QFileDevice::NoError) return false;
    end->Lines = open ? lines + 1 : lines;
    if (file.size() > 0) {
        if (!file.seek(file.size() - 1)) return false;
        const QByteArray last = file.read(1);
        if (last.size() != 1) return false;
        end->EndsOpen = last != "\n" && last != "\r";
    }
    return true;
}

} // namespace

bool ReadGameFileBytes(const QString& path, QByteArray* bytes, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("No se pudo leer %1: %2").arg(Native(path), file.errorString());
        return false;
    }
    if (file.size() > MaxGameFileBytes) {
        if (error)
            *error = QStringLiteral("No se pudo leer %1: el archivo es demasiado grande")
                         .arg(Native(path));
        return false;
    }
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = QStringLiteral("No se pudo leer %1: %2").arg(Native(path), file.errorString());
        return false;
    }
    if (bytes) *bytes = data;
    return true;
}

bool SaveRecordLines(const QString& path, const QStringList& lines, QString* error) {
    QString why;
    if (ReplaceFileContents(path, JoinRecordLines(lines), &why)) return true;
    if (error)
        *error = QStringLiteral("No se pudo guardar la partida en %1: %2").arg(Native(path), why);
    return false;
}

bool SaveOwnGameFile(const QString& path, const TRecordHeader& header, const QStringList& record,
                     QString* error) {
    return SaveRecordLines(path, OwnGameFileLines(header, record), error);
}

QString PgnDatabaseFile(const QString& pgnFolder, const QString& nick) {
    QString name = nick;
    for (QChar& c : name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || QStringLiteral("/\\:*?\"<>|").contains(c))
            c = u'_';
    QString folder = pgnFolder;
    if (!folder.isEmpty() && !folder.endsWith(u'/')) folder += u'/';
    return folder + name + QStringLiteral(".pgn");
}

TDatabaseSave AppendToPgnDatabase(const QString& pgnFolder, const QString& nick,
                                  const TRecordHeader& header, const QStringList& record) {
    TDatabaseSave out;
    out.FileName = PgnDatabaseFile(pgnFolder, nick);
    if (!QFileInfo(pgnFolder).isDir() && !QDir().mkdir(pgnFolder)) {
        out.Error = QStringLiteral("No se pudo crear el directorio PNG");
        return out;
    }
    auto fail = [&out](const QString& why) {
        out.Error = QStringLiteral("No se pudo guardar la partida en la base de datos %1: %2")
                        .arg(Native(out.FileName), why);
        return out;
    };

    TDatabaseEnd end;
    QFile file(out.FileName);
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly) || !ReadDatabaseEnd(file, &end))
            return fail(file.errorString());
        file.close();
    }

    const QStringList block = PgnDatabaseBlock(header, record);
    QByteArray bytes = JoinRecordLines(block);
    if (end.EndsOpen) bytes.prepend("\r\n");

    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return fail(file.errorString());
    const qint64 oldSize = file.size();
    QString why;
    bool written = AppendAll(file, bytes, &why);
    file.close();
    if (written && file.error() != QFileDevice::NoError) {
        written = false;
        why = file.errorString();
    }
    if (written) {
        out.Saved = true;
        out.LineCount = end.Lines + block.size();
        if (out.LineCount > PgnDatabaseWarnLines) out.Warning = TooBigWarning(out.FileName);
        return out;
    }
    // Whatever part of the block reached the file goes: the old games stay as they were.
    QFile::resize(out.FileName, oldSize);
    return fail(why);
}
