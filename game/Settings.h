#pragma once

#include "EngineConfig.h"
#include "SoundCues.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The program's version text, shown in titles and compared by the update check.
inline constexpr const char* ZugaretVersion = "2.01";
// Name of the settings file in the data folder.
inline constexpr const char* SettingsFileName = "ZuzPlak.ini";

// The user's settings as kept in "ZuzPlak.ini": identity and ratings, the main
// window's place and size, the board's size and pictures, the sound set, the
// maker's web address and the outcome of the last update check.
//
// Load never fails the program: a missing or unreadable file, a missing key or
// a value that is not a number gives the default of that key, and a stored
// rating that does not unscramble to a number gives 1100. Save rewrites the
// keys the program owns and keeps every other line of the file (Board/State,
// which only the update check writes, and anything a user added); it writes a
// new file beside the old one and renames it, so a failed save leaves the old
// file whole and is reported, never lost silently.
//
// The file is standard ini text in Latin-1: "[Section]" lines, "Key=Value"
// lines, integers in decimal, flags "1"/"0" (any non-zero integer reads as
// true). Sections and keys match without regard to case. A value with blanks
// at either end is written in double quotes, which reading takes off. The
// scrambled rating is written as the hexadecimal digits of its bytes; a raw
// scrambled value left by an older copy of the program is still read.
class TZugaretSettings {
public:
    static constexpr int DefaultElo = 1100;
    static constexpr int DefaultComputerElo = 1200;
    static constexpr int DefaultEngineDepth = 5;
    // The maker's web address (set by the build: ZUGARET_WEB_URL), and the
    // former one replaced by it at start-up.
    static const char* const DefaultWebUrl;
    static constexpr const char* FormerWebUrl = "http://korven.example.net/zugaret";

    // [User]
    QString Nick;
    int Elo = DefaultElo;
    // [Plak]
    int ComputerElo = DefaultComputerElo;
    int EngineDepth = DefaultEngineDepth; // Depth: plies the engine searches, 1..8
    // [Config]: the main window
    int Left = 304;
    int Top = 169;
    int Width = 352;
    int Height = 454;
    // [Board]
    int BoardHeight = 334;
    int BoardWidth = 334;
    QString PieceSetFile;    // BmpBoard
    QString LightSquareFile; // BmpW
    QString DarkSquareFile;  // BmpB
    bool PointClick = true;
    bool ShowDestinations = true; // the board marks where a chosen piece may go
    int VersionState = 1;         // State: read here, written only by WriteVersionState
    // [Game]
    bool GameWindowVisible = true; // Visible
    // [Chat]
    int ChatHeight = 150; // Height
    // [KorvenWEB]
    QString WebUrl = QString::fromLatin1(DefaultWebUrl); // Url
    // [Sonidos]
    QString SoundFolder = QString::fromLatin1(SoundFolderTarambo); // Carpeta
    // [Motores]: Cuantos, then for each engine n from 1: Ruta<n>, Nombre<n>,
    // Encontrado<n>, Fuerza<n> ("elo MIN MAX", "nivel MIN MAX", "ninguna";
    // missing: not asked yet) and Valor<n> (the chosen strength; empty: full).
    // Save leaves the section as it is when Engines is not set.
    static constexpr int MostEngines = 32;
    std::optional<QList<TEngineConfig>> Engines;

    // Reads path into this object, every key falling back to its default.
    // Returns false (and why in error) when the file is missing or cannot be
    // read; the values are then all defaults.
    bool Load(const QString& path, QString* error = nullptr);
    // Writes every key of the object except Board/State. Returns false and a
    // Spanish reason in error when the file cannot be written.
    bool Save(const QString& path, QString* error = nullptr) const;

    // Writes Board/State alone (the update check), keeping the rest of the file.
    static bool WriteVersionState(const QString& path, int state, QString* error = nullptr);

    // The stored form of a rating: the hex digits of
    // ScrambleText("0" + rating, EloScrambleKey).
    static QByteArray StoredElo(int elo);
    // The rating of a stored value (hex, or raw scrambled bytes); 1100 when
    // it does not unscramble to a non-negative number.
    static int EloFromStored(const QByteArray& stored);

    // The web address to use: url, unless it is the former address or holds
    // neither "http://" nor "https://", in which case the default address.
    static QString CheckedWebUrl(const QString& url);

    // "Zugaret CHAT! 2.01 [" + nick + " " + elo + " ELO]"
    static QString MainTitle(const QString& nick, int elo);
    // The about message (lines separated by "\n\r"), naming the folder where
    // the settings and the games are written.
    static QString AboutText(const QString& dataFolder);
};
