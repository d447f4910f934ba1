#include "Weapon.h"

#include "TextUtils.h"

#include <cmath>

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

long long RoundHalfEven(double x) {
    const double lower = std::floor(x);
    const double diff = x - lower;
    double r;
    if (diff < 0.5)
        r = lower;
    else if (diff > 0.5)
        r = lower + 1.0;
    else
        r = std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
    return static_cast<long long>(r);
}

int NewElo(int Own, int Opponent, int Score) {
    if (Own - Opponent > 250) Opponent = Own - 250;
    int k;
    if (Own < 2000)
        k = 30;
    else if (Own >= 2400)
        k = 20;
    else
        k = 130 - static_cast<int>(RoundHalfEven(Own / 20.0));
    const double expected = 1.0 / (1.0 + std::pow(10.0, (Opponent - Own) / 400.0));
    const long long result = Own + RoundHalfEven(k * (Score / 100.0 - expected));
    return result < 0 ? 0 : static_cast<int>(result);
}
