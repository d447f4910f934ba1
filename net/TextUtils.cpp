#include "TextUtils.h"

#include <QDir>

void SplitFirst(QString& Rest, const QString& Separator, QString& First) {
    const QString sep = Separator.isEmpty() ? QStringLiteral(" ") : Separator;
    const qsizetype p = Rest.indexOf(sep);
    if (p < 0) {
        First = Rest;
        Rest.clear();
        return;
    }
    First = Rest.left(p);
    Rest = Rest.mid(p + sep.size());
}

QString ReplaceAll(const QString& Text, const QString& Old, const QString& New) {
    if (Old.isEmpty()) return Text; // QString::replace would put New between every character
    return QString(Text).replace(Old, New);
}

namespace {
// "scheme:" at the start, the scheme at least two characters long so that a
// drive letter ("C:\…") stays a path.
bool HasScheme(const QString& name) {
    const qsizetype colon = name.indexOf(QLatin1Char(':'));
    if (colon < 2 || !name.at(0).isLetter() || name.at(0).unicode() > 127) return false;
    for (qsizetype i = 1; i < colon; ++i) {
        const QChar c = name.at(i);
        if (c.unicode() > 127 || !(c.isLetterOrNumber() || c == QLatin1Char('+') ||
                                   c == QLatin1Char('.') || c == QLatin1Char('-')))
            return false;
    }
    return true;
}
} // namespace

QUrl ShellTarget(const QString& FileName, const QString& Folder) {
    const QString name = FileName.trimmed();
    if (HasScheme(name)) return QUrl(name, QUrl::TolerantMode);
    if (name.startsWith(QLatin1String("www."), Qt::CaseInsensitive))
        return QUrl(QStringLiteral("http://") + name, QUrl::TolerantMode);
    if (!Folder.isEmpty() && QDir::isRelativePath(name))
        return QUrl::fromLocalFile(QDir(Folder).filePath(name));
    return QUrl::fromLocalFile(name);
}
