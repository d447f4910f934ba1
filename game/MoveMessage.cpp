#include "MoveMessage.h"

#include "TextUtils.h"

namespace {

bool ReadInt(const QString& field, int& value) {
    bool ok = false;
    const int v = field.toInt(&ok, 10);
    if (ok) value = v;
    return ok;
}

} // namespace

bool TMovimiento::FromText(const QString& Text, TMovimiento& Record, QString* Error) {
    const QString sep{QChar(Separator)};
    QString rest = Text;
    QString parts[5];
    for (QString& part : parts)
        SplitFirst(rest, sep, part);

    TMovimiento read;
    int side = 0;
    const struct {
        int index;
        int* target;
        const char* name;
    } numbers[] = {{0, &read.MoveNumber, "el número de jugada"},
                   {1, &side, "el bando"},
                   {4, &read.Seconds, "los segundos"}};
    for (const auto& n : numbers) {
        if (!ReadInt(parts[n.index], *n.target)) {
            if (Error)
                *Error = QStringLiteral("Jugada ilegible: %1 no es un número (\"%2\")")
                             .arg(QString::fromUtf8(n.name), parts[n.index]);
            return false;
        }
    }
    read.WhiteMoved = side == 0;
    read.Move = parts[2];
    read.Promotion = parts[3].isEmpty() ? QChar(u'*') : parts[3].at(0);
    Record = read;
    return true;
}

QString TMovimiento::ToText() const {
    const QChar sep(Separator);
    return QString::number(MoveNumber) + sep + (WhiteMoved ? u'0' : u'1') + sep + Move + sep +
           Promotion + sep + QString::number(Seconds);
}
