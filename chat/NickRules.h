#pragma once
// What a nick may be, and how long a peer's texts may grow before the host
// relays them. A nick names one participant to everyone: it is short, one
// line, unique without regard to case, and cannot pass itself off as another
// nick or as a chat line. The bounds keep every message the host sends
// within what a client accepts (TMessageAssembler::MaxPending).
//
// What must stay true:
//  - an acceptable nick has 1 to MostNickLength characters, each a Latin-1
//    character other than the two protocol bytes that is printable (a blank
//    counts), no blank at either end, no two blanks in a row, no
//    non-breaking or other special space, and no ">" beside a blank (the
//    " > " that follows a nick in every chat line);
//  - SaneNick only ever returns an acceptable nick or an empty text;
//  - MostNickLength * (MostListedNicks + 1) + MostChatText stays far below
//    MaxPending, so a nick list, a chat line with its author or a private
//    message with its sender always fits one message.

#include <QString>

// Characters a nick may hold at most.
inline constexpr int MostNickLength = 30;
// Characters of a chat line or a private message the host relays; what a
// peer sends beyond this is cut off.
inline constexpr int MostChatText = 8000;
// Characters of a peer's text quoted in a log line ("Error 56 : [...]").
inline constexpr int MostQuotedText = 200;

bool IsAcceptableNick(const QString& nick);
// Two nicks that differ only in case are the same participant.
bool SameNick(const QString& a, const QString& b);
// The nick as close to the given one as the rules allow: special spaces and
// unprintable characters become blanks, blanks are trimmed and collapsed,
// blanks beside ">" go, and the rest is cut to MostNickLength. Empty when
// nothing is left.
QString SaneNick(const QString& nick);
// At most most characters of text.
QString Clipped(const QString& text, qsizetype most);
