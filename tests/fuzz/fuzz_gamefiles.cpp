// Fuzz target: the game-file readers. Each input is a file's bytes, read as
// the record window's "Abrir" and zugaret-pgn read them; an input that
// starts with the byte 0x01 is the rest read as a Kibraq ".icg" file.
//
// Invariants checked for every input:
//  - every game of the index lies inside the file, in file order;
//  - a game either opens, or fails with a reason and no moves;
//  - an opened game's moves replay from its position, and that position
//    holds no control character;
//  - a game written as standard PGN reads back as one game with the same
//    position and the same moves (nothing is written that no reader accepts).

#include "FuzzCheck.h"
#include "GameFile.h"
#include "RecordText.h"
#include "ReplayBoard.h"
#include "StandardPgn.h"

namespace {

// The games read of one input, at most: the index covers them all.
constexpr qsizetype MostGamesRead = 8;

void CheckRoundTrip(const TStandardGame& game) {
    const QByteArray text = WriteStandardPgn(game).join(u'\n').toLatin1();
    const TGameFile again = TGameFile::FromBytes(text, QStringLiteral("again.pgn"));
    FUZZ_CHECK(again.Count() == 1, "a written game does not read back as one game");
    TReplayBoard board;
    TStandardGame read;
    QString error;
    FUZZ_CHECK(again.ToStandard(0, board, &read, &error), "a written game does not read back");
    FUZZ_CHECK(read.Sans == game.Sans, "a written game reads back with other moves");
    FUZZ_CHECK(read.StartFen == game.StartFen, "a written game reads back from another position");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const bool kibraq = size > 0 && data[0] == 1;
    const QByteArray bytes(reinterpret_cast<const char*>(data) + (kibraq ? 1 : 0),
                           qsizetype(size) - (kibraq ? 1 : 0));
    const TGameFile file = TGameFile::FromBytes(bytes, kibraq ? "k.icg" : "x.pgn");
    qsizetype end = 0;
    for (const TGameIndexEntry& e : file.Index()) {
        FUZZ_CHECK(e.FirstByte >= end && e.ByteCount >= 0 &&
                       e.FirstByte + e.ByteCount <= bytes.size(),
                   "a game outside the file or out of order");
        end = e.FirstByte + e.ByteCount;
    }
    TReplayBoard board;
    for (qsizetype i = 0; i < std::min(file.Count(), MostGamesRead); ++i) {
        const TOpenedGame game = file.Read(i);
        if (!game.Opened()) {
            FUZZ_CHECK(game.ReplayMoves.isEmpty(), "a game failed half read");
        } else {
            FUZZ_CHECK(!HasControlCharacter(game.StartFen), "a position with a control character");
        }
        TStandardGame standard;
        QString error;
        if (file.ToStandard(i, board, &standard, &error))
            CheckRoundTrip(standard);
        else
            FUZZ_CHECK(!error.isEmpty(), "a game refused without a reason");
    }
    return 0;
}
