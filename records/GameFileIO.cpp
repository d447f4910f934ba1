#include "GameFileIO.h"

#include "RecordText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        const QByteArray bytes = JoinRecordLines(lines);
        if (file.write(bytes) == bytes.size() && file.commit()) return true;
    }
    if (error)
        *error = QStringLiteral("No se pudo guardar la partida en %1: %2")
                     .arg(Native(path), file.errorString());
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

    // Lines already there, and whether the last one is ended.
    qsizetype oldLines = 0;
    bool endsOpen = false;
    QFile file(out.FileName);
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly)) return fail(file.errorString());
        const QByteArray old = file.readAll();
        if (file.error() != QFileDevice::NoError) return fail(file.errorString());
        file.close();
        oldLines = CountRecordLines(old);
        endsOpen = !old.isEmpty() && !old.endsWith('\n') && !old.endsWith('\r');
    }

    const QStringList block = PgnDatabaseBlock(header, record);
    QByteArray bytes = JoinRecordLines(block);
    if (endsOpen) bytes.prepend("\r\n");

    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return fail(file.errorString());
    const qint64 oldSize = file.size();
    const bool written = file.write(bytes) == bytes.size();
    QString why = file.errorString();
    file.close();
    if (written && file.error() == QFileDevice::NoError) {
        out.Saved = true;
        out.LineCount = oldLines + block.size();
        if (out.LineCount > PgnDatabaseWarnLines) out.Warning = TooBigWarning(out.FileName);
        return out;
    }
    if (written) why = file.errorString();
    // Whatever part of the block reached the file goes: the old games stay as they were.
    QFile::resize(out.FileName, oldSize);
    return fail(why);
}
