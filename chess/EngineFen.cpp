// The engine's own reading of a position in Forsyth-Edwards notation.
#include "EngineSearch.h"

#include <cstring>

bool TEngineSearch::LoadFen(const char* fen) {
    char squares[64];
    std::memset(squares, ' ', sizeof squares);
    const char* p = fen;
    while (*p == ' ')
        ++p;
    int rank = 0, file = 0; // rank 0 is rank 8
    for (; *p && *p != ' '; ++p) {
        const char c = *p;
        if (c == '/') {
            if (file != 8 || rank == 7) return false;
            ++rank;
            file = 0;
        } else if (c >= '1' && c <= '8') {
            file += c - '0';
            if (file > 8) return false;
        } else if (std::strchr("PNBRQKpnbrqk", c)) {
            if (file >= 8) return false;
            squares[8 * rank + file++] = c;
        } else {
            return false;
        }
    }
    if (rank != 7 || file != 8) return false;
    while (*p == ' ')
        ++p;
    bool white = true;
    if (*p == 'w' || *p == 'b')
        white = (*p++ == 'w');
    else if (*p)
        return false;
    while (*p == ' ')
        ++p;
    int castle = 0;
    for (; *p && *p != ' '; ++p) {
        switch (*p) {
        case 'K':
            castle |= 1;
            break;
        case 'Q':
            castle |= 2;
            break;
        case 'k':
            castle |= 4;
            break;
        case 'q':
            castle |= 8;
            break;
        case '-':
            break;
        default:
            return false;
        }
    }
    while (*p == ' ')
        ++p;
    int ep = -1;
    if (*p >= 'a' && *p <= 'h' && p[1] >= '1' && p[1] <= '8')
        ep = (p[0] - 'a') + 8 * ('8' - p[1]);
    else if (*p && *p != '-')
        return false;
    Load(squares, white, castle, ep);
    return true;
}
