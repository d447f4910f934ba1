#pragma once
// The chat's wire format. A message is a command word ("/" and capitals, as
// "/NEW_GAME"), then zero or more fields each introduced by the byte 0xFE,
// then the byte 0xFF. Texts are Latin-1, one byte per character, so inside
// the program the two protocol bytes are the characters U+00FE and U+00FF.
//
// FrameMessage is the one place a message is framed. TMessageAssembler cuts
// what one connection receives into messages; CutMessage splits a message
// into its word and the rest; TFieldReader takes the fields off that rest.
//
// What must stay true:
//  - no field FrameMessage writes holds 0xFE or 0xFF, whatever it was given:
//    text typed or received can never end a field or a message early, nor
//    carry a message of its own;
//  - a message ends only at 0xFF: bytes after the last 0xFF of a read wait in
//    their connection's assembler for the next read, so no message is cut by
//    the size of a read or by the network;
//  - an assembler never holds more than MaxPending bytes of an unfinished
//    message; a peer that sends more is refused (Feed returns false).

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <initializer_list>
#include <optional>

inline constexpr char16_t FieldSeparator = 0xFE;
inline constexpr char16_t MessageEnd = 0xFF;

// Text as it can travel inside a field: 0xFE, 0xFF and every character
// Latin-1 cannot hold become "?" (one per character, surrogate pairs
// included).
QString WireSafeText(const QString& text);

// One framed message: Word, each field after 0xFE (made wire-safe), 0xFF.
QByteArray FrameMessage(const char* word, const QStringList& fields = {});
QByteArray FrameMessage(const char* word, std::initializer_list<QString> fields);

// A received message: the word upper-cased, and Data, everything after the
// first 0xFE (empty when there is none).
struct TChatMessage {
    QString Word;
    QString Data;
};

// Splits one message (its bytes without the 0xFF).
TChatMessage CutMessage(const QByteArray& message);

// Takes the fields of a message's Data one after another: each Next cuts at
// the first 0xFE (SplitFirst); a field past the end reads as empty. Rest
// gives what is left whole, 0xFE bytes included (the last field of "/TXT",
// "/DELNICK" and "/GAMEPOS" is taken that way).
class TFieldReader {
public:
    explicit TFieldReader(QString data) : rest_(std::move(data)) {}
    QString Next();
    const QString& Rest() const { return rest_; }

private:
    QString rest_;
};

// A decimal whole number as the protocol writes them ("-" allowed, no
// blanks, within int); nothing for anything else, the empty text included.
std::optional<int> NumberField(const QString& text);
// A NumberField within low..high; nothing otherwise.
std::optional<int> NumberWithin(const QString& text, int low, int high);

// The bytes one connection has received and not yet handed out as messages.
class TMessageAssembler {
public:
    static constexpr qsizetype MaxPending = 64 * 1024;

    // Adds a read. False when the unfinished message has grown past
    // MaxPending bytes: the assembler is emptied and the connection must go.
    bool Feed(const QByteArray& bytes);
    // The next whole message, without its 0xFF, or nothing.
    std::optional<QByteArray> Take();
    // Bytes waiting: whole messages not taken yet and the unfinished tail.
    qsizetype Pending() const { return buffer_.size() - start_; }
    void Clear();

private:
    QByteArray buffer_;
    qsizetype start_ = 0;      // first byte not handed out
    qsizetype unfinished_ = 0; // bytes after the last 0xFF
};
