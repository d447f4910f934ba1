// The fuzz targets' own main when they are built without libFuzzer (g++, the
// tests of every build): each file of a seed corpus is run as it is, then a
// fixed number of inputs made from them by random mutations. The same seed
// gives the same inputs, so a failure found here is found again.
//
//   fuzz_<target> CORPUS_DIR [--runs N] [--seed S]
//
// A broken invariant aborts the run from inside the target; the exit status
// is then not 0. Built with -DZUGARET_LIBFUZZER=ON under clang, the targets
// get libFuzzer's main instead (see README, "Fuzzing").

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

using TBytes = std::vector<uint8_t>;

// xorshift64*: small, and the same everywhere.
class TRandom {
public:
    explicit TRandom(uint64_t seed) : state_(seed ? seed : 0x9E3779B97F4A7C15ULL) {}
    uint64_t Next() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 0x2545F4914F6CDD1DULL;
    }
    size_t Below(size_t n) { return n == 0 ? 0 : size_t(Next() % n); }

private:
    uint64_t state_;
};

// Words and bytes both targets' formats are made of.
const char* const Tokens[] = {"\xFE",
                              "\xFF",
                              "/IDENT\xFE",
                              "/TXT\xFE",
                              "/NICK\xFE",
                              "/MSG\xFE",
                              "/LIST\xFF",
                              "/VERSION\xFF",
                              "/VER\xFE",
                              "/DNS\xFE",
                              "/NEW_GAME\xFE"
                              "5\xFE"
                              "1\xFE",
                              "/ACCEPT_GAME\xFE"
                              "5\xFE"
                              "0\xFE",
                              "/DECLINE_GAME\xFE",
                              "/MOV\xFE"
                              "1\xFE"
                              "1\xFE"
                              "e7e5\xFE*\xFE",
                              "/MOB\xFE",
                              "/DRAW\xFE",
                              "/ACCEPT_DRAW\xFE",
                              "/RESIGN\xFE",
                              "/TIMEOUT\xFE",
                              "/MIRAR\xFE",
                              "/GAMEPOS\xFE",
                              "/END_GAME\xFE",
                              "/HELP\xFF",
                              "86399",
                              "1200",
                              "4000",
                              "-1",
                              "2147483648",
                              " > ",
                              "\xA0",
                              "<img src=\"/dev/zero\">",
                              "[Event \"",
                              "[FEN \"",
                              "[White \"",
                              "\"]\n",
                              "1-0",
                              "0-1",
                              "1/2-1/2",
                              " *",
                              "{",
                              "}",
                              ";",
                              "%",
                              "\r\n",
                              "\n",
                              "\r",
                              "1.Pe2e4 Pe7e5",
                              "1. e4 e5 2. Nf3",
                              "O-O",
                              "=Q",
                              "{Posici\xF3n: ",
                              "8/8/8/8/8/8/8/8 w - - 0 1",
                              "\0"};

constexpr size_t MostInput = 256 * 1024;

void Mutate(TBytes& b, const std::vector<TBytes>& corpus, TRandom& r) {
    const size_t pos = r.Below(b.size() + 1);
    switch (r.Below(9)) {
    case 0:
        if (!b.empty()) b[r.Below(b.size())] ^= uint8_t(1u << r.Below(8));
        break;
    case 1:
        if (!b.empty()) b[r.Below(b.size())] = uint8_t(r.Next());
        break;
    case 2:
        b.insert(b.begin() + long(pos), uint8_t(r.Next()));
        break;
    case 3: {
        const char* t = Tokens[r.Below(std::size(Tokens))];
        const size_t n = std::max<size_t>(std::strlen(t), 1); // "\0" is one byte
        b.insert(b.begin() + long(pos), t, t + n);
        break;
    }
    case 4:
        if (!b.empty()) {
            const size_t from = r.Below(b.size());
            const size_t n = 1 + r.Below(std::min<size_t>(b.size() - from, 64));
            b.erase(b.begin() + long(from), b.begin() + long(from + n));
        }
        break;
    case 5:
        if (!b.empty()) {
            const size_t from = r.Below(b.size());
            const size_t n = 1 + r.Below(std::min<size_t>(b.size() - from, 256));
            const TBytes piece(b.begin() + long(from), b.begin() + long(from + n));
            b.insert(b.begin() + long(r.Below(b.size() + 1)), piece.begin(), piece.end());
        }
        break;
    case 6: {
        const TBytes& other = corpus[r.Below(corpus.size())];
        if (other.empty()) break;
        const size_t from = r.Below(other.size());
        const size_t n = 1 + r.Below(other.size() - from);
        b.insert(b.begin() + long(pos), other.begin() + long(from), other.begin() + long(from + n));
        break;
    }
    case 7:
        if (!b.empty()) { // a piece many times over: long lines, long runs
            const size_t from = r.Below(b.size());
            const size_t n = 1 + r.Below(std::min<size_t>(b.size() - from, 16));
            const TBytes piece(b.begin() + long(from), b.begin() + long(from + n));
            const size_t times = 1 + r.Below(4000);
            TBytes run;
            for (size_t i = 0; i < times && run.size() < MostInput; ++i)
                run.insert(run.end(), piece.begin(), piece.end());
            b.insert(b.begin() + long(from), run.begin(), run.end());
        }
        break;
    default:
        b.resize(r.Below(b.size() + 1)); // cut off
        break;
    }
    if (b.size() > MostInput) b.resize(MostInput);
}

} // namespace

int main(int argc, char** argv) {
    std::string folder;
    long runs = 300;
    uint64_t seed = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc)
            runs = std::atol(argv[++i]);
        else if (arg == "--seed" && i + 1 < argc)
            seed = std::strtoull(argv[++i], nullptr, 10);
        else
            folder = arg;
    }
    std::vector<TBytes> corpus;
    if (!folder.empty()) {
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.is_regular_file()) files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        for (const auto& path : files) {
            std::ifstream in(path, std::ios::binary);
            corpus.emplace_back(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
        }
    }
    if (corpus.empty()) corpus.emplace_back();
    for (const TBytes& input : corpus)
        LLVMFuzzerTestOneInput(input.data(), input.size());
    TRandom random(seed);
    for (long run = 0; run < runs; ++run) {
        TBytes input = corpus[random.Below(corpus.size())];
        for (size_t m = 1 + random.Below(8); m > 0; --m)
            Mutate(input, corpus, random);
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    std::printf("%zu seeds and %ld mutated inputs run, seed %llu\n", corpus.size(), runs,
                static_cast<unsigned long long>(seed));
    return 0;
}
