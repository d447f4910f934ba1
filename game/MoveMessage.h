#pragma once
// The move record that travels in "/MOV" and "/MOB".
//
// TMovimiento's text form is part of the wire protocol: five fields separated
// by the single character U+00FE (the byte 0xFE once encoded as Latin-1), no
// leading or trailing separator, no escaping. Writing a record and reading it
// back gives the same fields; reading a well-formed text and writing it gives
// the same text.

#include <QChar>
#include <QString>

// One move as sent to the opponent and the observers.
class TMovimiento {
public:
    static constexpr char16_t Separator = 0xFE;

    int MoveNumber = 0;     // MoveSerial of the sender
    bool WhiteMoved = true; // written "0" when White moved, "1" when Black did
    QString Move;           // from-square and to-square, "e2e4"
    QChar Promotion = u'*'; // "Q", "R", "B", "N", or "*" for none
    int Seconds = 0;        // the mover's clock after the move, minutes * 60 + seconds

    // Reads the five fields of Text into Record. A first, second or fifth field
    // that is not a decimal integer makes the text unreadable: the result is
    // false, Record is left as it was and *Error (when given) says why. An empty
    // fourth field reads as "*" (no promotion); fields after the fifth are ignored.
    static bool FromText(const QString& Text, TMovimiento& Record, QString* Error = nullptr);

    // The text form of the record.
    QString ToText() const;
};
