#include "Settings.h"

#include "Players.h"
#include "SafeFile.h"

#include "TextScrambler.h"

#include <QDir>
#include <QFile>

#include <cctype>
#include <optional>

#ifndef ZUGARET_WEB_URL
#error "ZUGARET_WEB_URL, the maker's web address, comes from the build (CMake cache variable)"
#endif

const char* const TZugaretSettings::DefaultWebUrl = ZUGARET_WEB_URL;

namespace {

// The lines of an ini file, kept as they are so that a rewrite changes only
// the keys it sets. Sections and keys compare without regard to case.
class TIniText {
public:
    void Parse(const QByteArray& bytes) {
        QByteArray text = bytes;
        text.replace("\r\n", "\n");
        text.replace('\r', '\n');
        lines_ = QString::fromLatin1(text).split(QLatin1Char('\n'));
        while (!lines_.isEmpty() && lines_.constLast().trimmed().isEmpty())
            lines_.removeLast();
    }

    QByteArray Bytes() const {
        QByteArray out;
        for (const QString& line : lines_) {
            out += line.toLatin1();
            out += "\r\n";
        }
        return out;
    }

    std::optional<QString> Value(const QString& section, const QString& key) const {
        const int at = KeyLine(section, key);
        if (at < 0) return std::nullopt;
        const QString& line = lines_.at(at);
        QString value = line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) &&
            value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2);
        return value;
    }

    void RemoveValue(const QString& section, const QString& key) {
        for (int at = KeyLine(section, key); at >= 0; at = KeyLine(section, key))
            lines_.removeAt(at);
    }

    void SetValue(const QString& section, const QString& key, QString value) {
        // A line break inside a value would start a new key.
        value.replace(QLatin1Char('\r'), QLatin1Char(' '));
        value.replace(QLatin1Char('\n'), QLatin1Char(' '));
        if (value != value.trimmed() ||
            (value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"'))))
            value = QLatin1Char('"') + value + QLatin1Char('"');
        const QString line = key + QLatin1Char('=') + value;
        const int at = KeyLine(section, key);
        if (at >= 0) {
            lines_[at] = line;
            return;
        }
        int header = SectionLine(section);
        if (header < 0) {
            if (!lines_.isEmpty()) lines_.append(QString());
            lines_.append(QLatin1Char('[') + section + QLatin1Char(']'));
            lines_.append(line);
            return;
        }
        // After the last key line of the section (before its trailing blanks).
        int insertAt = header + 1;
        for (int i = header + 1; i < lines_.size() && !IsSectionHeader(lines_.at(i)); ++i)
            if (!lines_.at(i).trimmed().isEmpty()) insertAt = i + 1;
        lines_.insert(insertAt, line);
    }

private:
    static bool IsSectionHeader(const QString& line) {
        const QString t = line.trimmed();
        return t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']'));
    }

    // The first header of section at or after line from; -1 when there is none.
    int SectionLine(const QString& section, int from = 0) const {
        for (int i = from; i < lines_.size(); ++i) {
            const QString t = lines_.at(i).trimmed();
            if (IsSectionHeader(t) &&
                t.mid(1, t.size() - 2).trimmed().compare(section, Qt::CaseInsensitive) == 0)
                return i;
        }
        return -1;
    }

    int KeyLine(const QString& section, const QString& key) const {
        for (int header = SectionLine(section); header >= 0;) {
            int i = header + 1;
            for (; i < lines_.size() && !IsSectionHeader(lines_.at(i)); ++i) {
                const QString& line = lines_.at(i);
                const int eq = line.indexOf(QLatin1Char('='));
                if (eq > 0 && !line.trimmed().startsWith(QLatin1Char(';')) &&
                    line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0)
                    return i;
            }
            // A section may appear twice; look in the later one too.
            header = SectionLine(section, i);
        }
        return -1;
    }

    QStringList lines_;
};

QString ReadText(const TIniText& ini, const char* section, const char* key, const QString& def) {
    return ini.Value(QLatin1String(section), QLatin1String(key)).value_or(def);
}

int ReadInt(const TIniText& ini, const char* section, const char* key, int def) {
    const auto value = ini.Value(QLatin1String(section), QLatin1String(key));
    if (!value) return def;
    bool ok = false;
    const int n = value->toInt(&ok);
    return ok ? n : def;
}

bool ReadFlag(const TIniText& ini, const char* section, const char* key, bool def) {
    return ReadInt(ini, section, key, def ? 1 : 0) != 0;
}

void WriteText(TIniText& ini, const char* section, const char* key, const QString& value) {
    ini.SetValue(QLatin1String(section), QLatin1String(key), value);
}

void WriteInt(TIniText& ini, const char* section, const char* key, int value) {
    WriteText(ini, section, key, QString::number(value));
}

// Reads the existing file if there is one; an unreadable existing file is an error.
bool ReadExisting(const QString& path, TIniText& ini, QString* error) {
    QFile file(path);
    if (!file.exists()) return true;
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("No se pudo leer %1: %2")
                         .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    ini.Parse(file.readAll());
    return true;
}

bool WriteAll(const QString& path, const TIniText& ini, QString* error) {
    QString why;
    if (ReplaceFileContents(path, ini.Bytes(), &why)) return true;
    if (error)
        *error = QStringLiteral("No se pudo guardar la configuración en %1: %2")
                     .arg(QDir::toNativeSeparators(path), why);
    return false;
}

// The rating in "0" + digits, as the stored text unscrambles to.
std::optional<int> EloOfPlain(const QByteArray& plain) {
    if (plain.isEmpty()) return std::nullopt;
    for (const char c : plain)
        if (c < '0' || c > '9') return std::nullopt;
    bool ok = false;
    const int elo = (QByteArray("0") + plain).toInt(&ok);
    if (!ok) return std::nullopt;
    return elo;
}

bool IsHex(const QByteArray& text) {
    if (text.isEmpty() || text.size() % 2 != 0) return false;
    for (const char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

QString EngineKey(const char* key, int n) {
    return QLatin1String(key) + QString::number(n);
}

QList<TEngineConfig> ReadEngines(const TIniText& ini) {
    const QString section = QStringLiteral("Motores");
    QList<TEngineConfig> engines;
    const int count =
        qBound(0, ReadInt(ini, "Motores", "Cuantos", 0), TZugaretSettings::MostEngines);
    for (int n = 1; n <= count; ++n) {
        TEngineConfig e;
        e.Path = ini.Value(section, EngineKey("Ruta", n)).value_or(QString()).trimmed();
        if (e.Path.isEmpty()) continue;
        e.Name = ini.Value(section, EngineKey("Nombre", n)).value_or(QString());
        e.Found = ini.Value(section, EngineKey("Encontrado", n)).value_or(QString()) == u"1";
        const auto strength = ini.Value(section, EngineKey("Fuerza", n));
        if (strength) {
            e.Probed = true;
            const QStringList words = strength->simplified().split(u' ');
            bool minOk = false, maxOk = false;
            const int min = words.value(1).toInt(&minOk);
            const int max = words.value(2).toInt(&maxOk);
            if (words.size() == 3 && minOk && maxOk && min <= max &&
                (words.first() == u"elo" || words.first() == u"nivel")) {
                e.Offered.Kind =
                    words.first() == u"elo" ? TUciStrength::TKind::Elo : TUciStrength::TKind::Skill;
                e.Offered.Min = min;
                e.Offered.Max = max;
            }
        }
        bool ok = false;
        const int value = ini.Value(section, EngineKey("Valor", n)).value_or(QString()).toInt(&ok);
        if (ok && e.Offered.Kind != TUciStrength::TKind::None)
            e.Strength = qBound(e.Offered.Min, value, e.Offered.Max);
        engines.append(e);
    }
    return engines;
}

void WriteEngines(TIniText& ini, const QList<TEngineConfig>& engines) {
    const QString section = QStringLiteral("Motores");
    const int count = int(qMin<qsizetype>(engines.size(), TZugaretSettings::MostEngines));
    WriteInt(ini, "Motores", "Cuantos", count);
    for (int n = 1; n <= count; ++n) {
        const TEngineConfig& e = engines.at(n - 1);
        ini.SetValue(section, EngineKey("Ruta", n), e.Path);
        ini.SetValue(section, EngineKey("Nombre", n), e.Name);
        ini.SetValue(section, EngineKey("Encontrado", n), e.Found ? QStringLiteral("1") : "0");
        QString strength;
        if (e.Offered.Kind == TUciStrength::TKind::None)
            strength = QStringLiteral("ninguna");
        else
            strength = QStringLiteral("%1 %2 %3")
                           .arg(e.Offered.Kind == TUciStrength::TKind::Elo ? "elo" : "nivel")
                           .arg(e.Offered.Min)
                           .arg(e.Offered.Max);
        if (e.Probed)
            ini.SetValue(section, EngineKey("Fuerza", n), strength);
        else
            ini.RemoveValue(section, EngineKey("Fuerza", n));
        ini.SetValue(section, EngineKey("Valor", n),
                     e.Strength ? QString::number(*e.Strength) : QString());
    }
    // The keys of engines removed since the last save go.
    for (int n = count + 1; n <= TZugaretSettings::MostEngines; ++n)
        for (const char* key : {"Ruta", "Nombre", "Encontrado", "Fuerza", "Valor"})
            ini.RemoveValue(section, EngineKey(key, n));
}

} // namespace

bool TZugaretSettings::Load(const QString& path, QString* error) {
    *this = TZugaretSettings();
    QFile file(path);
    if (!file.exists()) {
        if (error) *error = QStringLiteral("No existe %1").arg(QDir::toNativeSeparators(path));
        return false;
    }
    TIniText ini;
    if (!ReadExisting(path, ini, error)) return false;

    Nick = ReadText(ini, "User", "Nick", Nick);
    ComputerElo = BoundedElo(ReadInt(ini, "Plak", "Elo", ComputerElo));
    EngineDepth = qBound(1, ReadInt(ini, "Plak", "Depth", EngineDepth), 8);
    Left = ReadInt(ini, "Config", "Left", Left);
    Width = ReadInt(ini, "Config", "Width", Width);
    Top = ReadInt(ini, "Config", "Top", Top);
    Height = ReadInt(ini, "Config", "Height", Height);
    BoardHeight = ReadInt(ini, "Board", "Height", BoardHeight);
    BoardWidth = ReadInt(ini, "Board", "Width", BoardWidth);
    PieceSetFile = ReadText(ini, "Board", "BmpBoard", PieceSetFile);
    LightSquareFile = ReadText(ini, "Board", "BmpW", LightSquareFile);
    DarkSquareFile = ReadText(ini, "Board", "BmpB", DarkSquareFile);
    PointClick = ReadFlag(ini, "Board", "PointClick", PointClick);
    ShowDestinations = ReadFlag(ini, "Board", "ShowDestinations", ShowDestinations);
    GameWindowVisible = ReadFlag(ini, "Game", "Visible", GameWindowVisible);
    ChatHeight = ReadInt(ini, "Chat", "Height", ChatHeight);
    WebUrl = ReadText(ini, "KorvenWEB", "Url", WebUrl);
    SoundFolder = ReadText(ini, "Sonidos", "Carpeta", SoundFolder);
    VersionState = ReadInt(ini, "Board", "State", VersionState);
    const auto storedElo = ini.Value(QStringLiteral("User"), QStringLiteral("Elo"));
    Elo = storedElo ? BoundedElo(EloFromStored(storedElo->toLatin1())) : DefaultElo;
    if (ini.Value(QStringLiteral("Motores"), QStringLiteral("Cuantos"))) Engines = ReadEngines(ini);
    return true;
}

bool TZugaretSettings::Save(const QString& path, QString* error) const {
    TIniText ini;
    if (!ReadExisting(path, ini, error)) return false;
    WriteText(ini, "User", "Nick", Nick);
    WriteText(ini, "User", "Elo", QString::fromLatin1(StoredElo(Elo)));
    WriteInt(ini, "Plak", "Elo", ComputerElo);
    WriteInt(ini, "Plak", "Depth", EngineDepth);
    WriteInt(ini, "Config", "Left", Left);
    WriteInt(ini, "Config", "Width", Width);
    WriteInt(ini, "Config", "Top", Top);
    WriteInt(ini, "Config", "Height", Height);
    WriteInt(ini, "Board", "Height", BoardHeight);
    WriteInt(ini, "Board", "Width", BoardWidth);
    WriteText(ini, "Board", "BmpBoard", PieceSetFile);
    WriteText(ini, "Board", "BmpW", LightSquareFile);
    WriteText(ini, "Board", "BmpB", DarkSquareFile);
    WriteInt(ini, "Board", "PointClick", PointClick ? 1 : 0);
    WriteInt(ini, "Board", "ShowDestinations", ShowDestinations ? 1 : 0);
    WriteText(ini, "KorvenWEB", "Url", WebUrl);
    WriteText(ini, "Sonidos", "Carpeta", SoundFolder);
    WriteInt(ini, "Chat", "Height", ChatHeight);
    WriteInt(ini, "Game", "Visible", GameWindowVisible ? 1 : 0);
    if (Engines) WriteEngines(ini, *Engines);
    return WriteAll(path, ini, error);
}

bool TZugaretSettings::WriteVersionState(const QString& path, int state, QString* error) {
    TIniText ini;
    if (!ReadExisting(path, ini, error)) return false;
    WriteInt(ini, "Board", "State", state);
    return WriteAll(path, ini, error);
}

QByteArray TZugaretSettings::StoredElo(int elo) {
    return ScrambleText(QByteArray("0") + QByteArray::number(elo), EloScrambleKey)
        .toHex()
        .toUpper();
}

int TZugaretSettings::EloFromStored(const QByteArray& stored) {
    if (IsHex(stored)) {
        if (const auto elo =
                EloOfPlain(UnscrambleText(QByteArray::fromHex(stored), EloScrambleKey)))
            return *elo;
    }
    // The raw scrambled bytes written by older copies of the program.
    if (const auto elo = EloOfPlain(UnscrambleText(stored, EloScrambleKey))) return *elo;
    return DefaultElo;
}

QString TZugaretSettings::CheckedWebUrl(const QString& url) {
    // Secure addresses are kept too; the update check reads them as well.
    const bool web =
        url.contains(QLatin1String("http://")) || url.contains(QLatin1String("https://"));
    if (url == QLatin1String(FormerWebUrl) || !web) return QString::fromLatin1(DefaultWebUrl);
    return url;
}

QString TZugaretSettings::MainTitle(const QString& nick, int elo) {
    return QStringLiteral("Zugaret CHAT! ") + QLatin1String(ZugaretVersion) + QStringLiteral(" [") +
           nick + QLatin1Char(' ') + QString::number(elo) + QStringLiteral(" ELO]");
}

QString TZugaretSettings::AboutText(const QString& dataFolder) {
    const QString br = QStringLiteral("\n\r");
    return QStringLiteral("ZugaretCHAT ") + QLatin1String(ZugaretVersion) + br +
           QStringLiteral("Ajedrez y chat en red") + br + br + QStringLiteral("Web: ") +
           QLatin1String(DefaultWebUrl) + br +
           QStringLiteral("Correo: zugaret@korvenweb.example.org") + br + br +
           QStringLiteral("Configuración y partidas en:") + br +
           QDir::toNativeSeparators(dataFolder) + br;
}
