// A scripted UCI engine for the tests of the external-engine opponent. It
// speaks enough UCI for a GUI and misbehaves on request. The script is its
// arguments, or, when it has none, the words of ZUGARET_FAKE_UCI:
//   --name NAME        the name it gives (default "Fake")
//   --strength elo|skill|none   the strength options it offers (default elo:
//                      UCI_LimitStrength, UCI_Elo 1000-2800 and Skill Level 0-20)
//   --silent           never answers "uci"
//   --crash-at N       aborts at the N-th "go" (1: the first)
//   --exit-at N        exits normally at the N-th "go"
//   --stall-at N       never answers the N-th "go", not even its "stop"
//   --illegal-at N     answers the N-th "go" with a move no position allows
//   --garbage-at N     answers the N-th "go" with a bestmove that is no move
//   --long-line-at N   answers the N-th "go" with 100 kB and no line break
//   --flood-at N       answers the N-th "go" with endless info lines
//   --delay-ms MS      waits that long before each bestmove
//   --log FILE         appends every line received to FILE
// Otherwise it plays the first legal move of the position it was given.
#include "EngineSearch.h"
#include "UciPosition.h"
#include "UciText.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<std::string> Script(int argc, char** argv) {
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i)
        words.emplace_back(argv[i]);
    if (words.empty()) {
        if (const char* env = std::getenv("ZUGARET_FAKE_UCI")) {
            std::istringstream in(env);
            for (std::string w; in >> w;)
                words.push_back(w);
        }
    }
    return words;
}

void Say(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::string FirstLegalMove(const TUciPosition& position) {
    TEngineSearch e;
    position.LoadInto(e);
    e.Generate();
    std::vector<TEngineMove> moves;
    for (const TEngineMoveEntry* entry = e.MovesBegin(); entry != e.MovesEnd(); ++entry)
        moves.push_back(entry->m);
    for (const TEngineMove& m : moves) {
        if (!e.MakeMove(m)) continue;
        e.TakeBackMove();
        const bool promotes = (m.bits & TEngineSearch::FlagPromote) != 0;
        return UciMoveText(m.from, m.to, promotes ? " nbrq"[m.promote] : '\0').toStdString();
    }
    return "0000";
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> words = Script(argc, argv);
    std::map<std::string, std::string> opt;
    bool silent = false;
    for (size_t i = 0; i < words.size(); ++i) {
        if (words[i] == "--silent")
            silent = true;
        else if (i + 1 < words.size())
            opt.emplace(words[i], words[i + 1]), ++i;
    }
    auto at = [&](const char* name) { return opt.count(name) ? std::atoi(opt[name].c_str()) : 0; };
    const std::string name = opt.count("--name") ? opt["--name"] : "Fake";
    const std::string strength = opt.count("--strength") ? opt["--strength"] : "elo";
    std::ofstream log;
    if (opt.count("--log")) log.open(opt["--log"], std::ios::app);

    TUciPosition position;
    int goes = 0;
    for (std::string line; std::getline(std::cin, line);) {
        if (log.is_open()) log << line << std::endl;
        const TUciCommand c = ParseUciCommand(QByteArray::fromStdString(line));
        switch (c.kind) {
        case TUciCommandKind::Uci:
            if (silent) break;
            Say("id name " + name);
            Say("id author ZugaretCHAT tests");
            Say("option name Hash type spin default 16 min 1 max 1024");
            if (strength == "elo") {
                Say("option name UCI_LimitStrength type check default false");
                Say("option name UCI_Elo type spin default 2800 min 1000 max 2800");
            }
            if (strength != "none")
                Say("option name Skill Level type spin default 20 min 0 max 20");
            Say("uciok");
            break;
        case TUciCommandKind::IsReady:
            Say("readyok");
            break;
        case TUciCommandKind::Position:
            if (c.fen.isEmpty())
                position.SetStart();
            else
                position.SetFen(c.fen);
            for (const QByteArray& m : c.moves)
                position.Play(m);
            break;
        case TUciCommandKind::Go: {
            ++goes;
            if (goes == at("--crash-at")) std::abort();
            if (goes == at("--exit-at")) return 3;
            if (goes == at("--stall-at")) break;
            if (goes == at("--long-line-at")) {
                const std::string big(100000, 'x');
                std::fwrite(big.data(), 1, big.size(), stdout);
                std::fflush(stdout);
                break;
            }
            if (goes == at("--flood-at")) {
                for (;;)
                    Say("info depth 1 score cp 0 nodes 1 pv e2e4");
            }
            if (const int ms = at("--delay-ms"))
                std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            if (goes == at("--illegal-at"))
                Say("bestmove e2e5");
            else if (goes == at("--garbage-at"))
                Say("bestmove zz99");
            else
                Say("bestmove " + FirstLegalMove(position));
            break;
        }
        case TUciCommandKind::Quit:
            return 0;
        default:
            break;
        }
    }
    return 0;
}
