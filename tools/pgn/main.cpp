// zugaret-pgn FILE...: every game of the files, in file order, as standard
// PGN on stdout (Latin-1). Own game files, the PGN database, Kibraq ".icg"
// files and standard PGN are read. A game that cannot be read is named on
// stderr with the reason and the others are still written; the exit status
// is then 1 (0 when every game was read, 2 without files).
#include "GameFile.h"
#include "GameFileIO.h"
#include "ReplayBoard.h"
#include "StandardPgn.h"

#include <QFile>

#include <cstdio>

namespace {

void Complain(const QString& text) {
    const QByteArray bytes = (text + u'\n').toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: zugaret-pgn FILE...\n");
        return 2;
    }
    TReplayBoard board;
    bool allRead = true;
    for (int a = 1; a < argc; ++a) {
        const QString path = QFile::decodeName(argv[a]);
        QByteArray bytes;
        QString error;
        if (!ReadGameFileBytes(path, &bytes, &error)) {
            Complain(error);
            allRead = false;
            continue;
        }
        const TGameFile file = TGameFile::FromBytes(bytes, path);
        if (file.Count() == 0) {
            Complain(path + QStringLiteral(": no contiene ninguna partida"));
            allRead = false;
        }
        for (qsizetype i = 0; i < file.Count(); ++i) {
            TStandardGame game;
            if (!file.ToStandard(i, board, &game, &error)) {
                Complain(QStringLiteral("%1: partida %2 (%3): %4")
                             .arg(path)
                             .arg(i + 1)
                             .arg(file.Index()[i].Text(), error));
                allRead = false;
                continue;
            }
            const QByteArray text = WriteStandardPgn(game).join(u'\n').toLatin1() + '\n';
            std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout);
        }
    }
    std::fflush(stdout);
    return allRead ? 0 : 1;
}
