#pragma once
// Small text pieces shared by every game-file reader and writer: cutting
// bytes into lines and putting them back, the dates the program writes and
// their standard form, tag lines and result markers.
//
// What must stay true:
//  - the program writes game files as Latin-1 bytes (characters outside
//    Latin-1 become "?"); it reads a file that is valid UTF-8 with some
//    non-ASCII byte (standard PGN of today's programs) as UTF-8, any other as
//    Latin-1, where every byte reads as one character and nothing is rejected;
//  - a line ends at CR LF, at a lone CR or at a lone LF; a line end at the
//    very end of the bytes does not start another line, so writing the lines
//    of a file (each followed by CR LF) and reading them back gives the same
//    lines;
//  - no function reads outside the text it is given, whatever it holds.

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>

// The lines of Latin-1 bytes.
QStringList SplitRecordLines(const QByteArray& bytes);

// The lines of a stretch of bytes one at a time, cut as SplitRecordLines
// cuts them, without holding more than one: a file's lines are walked
// without a list of them all. Each line is Latin-1, or UTF-8 when asked.
class TRecordLineReader {
public:
    // The bytes from..to (to -1: the end); the bytes must outlive the reader.
    explicit TRecordLineReader(const QByteArray& bytes, qsizetype from = 0, qsizetype to = -1,
                               bool utf8 = false);
    // The next line into line; false at the end.
    bool Next(QString& line);
    // Where the line given last begins, and where the next one does.
    qsizetype LineStart() const { return lineStart_; }
    qsizetype Position() const { return pos_; }

private:
    const char* data_;
    qsizetype pos_;
    qsizetype end_;
    qsizetype lineStart_;
    bool utf8_;
};

// Whether a game file's bytes are to be read as UTF-8: valid UTF-8 and not
// plain ASCII. Any other file is Latin-1.
bool IsUtf8GameFile(const QByteArray& bytes);
// Where a game file's text begins: after a UTF-8 byte order mark, if any.
qsizetype GameFileTextStart(const QByteArray& bytes);
// How many lines SplitRecordLines would give, without building them.
qsizetype CountRecordLines(const QByteArray& bytes);
// Every line as Latin-1 followed by CR LF.
QByteArray JoinRecordLines(const QStringList& lines);

// The date as the program writes it in its files: the Spanish short date
// "dd/MM/yyyy" (25/03/2024), the same on every machine, so that any copy of
// the program reads the dates of any other.
QString RecordDateText(const QDate& date);
// A date written by this program or another one, in the standard form
// "YYYY.MM.DD"; "????.??.??" when it cannot be read. Accepted: "2024.03.25"
// (partly unknown parts such as "2024.??.??" are kept), "2024-03-25",
// "2024/03/25", and day first "25/03/2024", "25-3-24", "25.03.2024" (two-digit
// years 70-99 are 19xx, the others 20xx). A day-first text whose second part
// is above 12 is read month first (US short dates).
QString StandardDateOf(const QString& text);

// Whether text holds a control character (below a blank, or DEL): no
// position, tag or move holds one.
bool HasControlCharacter(const QString& text);

// The four game results of standard notation.
bool IsResultMarker(const QString& token);

// One tag line of a game file: [Name "Value"].
struct TTagLine {
    QString Name;
    QString Value; // without the quotes; \" and \\ read as " and backslash
    bool Quoted = false;
};
// Reads a line that starts (after blanks) with "[". A value without quotes is
// the text after the name up to the closing "]" (or the end of the line).
// False when the line is no tag line (no "[" first, or no name).
bool ReadTagLine(const QString& line, TTagLine* tag);
// True when the first character that is not a blank is "[".
bool LooksLikeTagLine(const QString& line);
// The text of a tag value inside quotes: " and backslash escaped, line
// breaks and other control characters turned into blanks.
QString EscapedTagValue(const QString& value);

// The record line that names the position a game began from ("{Posición:
// <FEN>}", the first line of such a game's record), and the FEN such a line
// names (empty when the line is not one).
QString PositionLine(const QString& fen);
QString PositionOfLine(const QString& line);
