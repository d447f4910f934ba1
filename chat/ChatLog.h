#pragma once
// The chat log as data: the lines the chat window shows, each with the
// colour of its leading segment. The window only paints what this holds;
// a program without windows prints it.
//
// The leading segment runs through the first ">" when the line has one;
// else, for a line starting "*  /", up to the blank before the first " ("
// (nothing when there is none); else it is the whole line. Its colour is
// the first that applies: green for "* ZugaretCHAT" and "Mensaje de", purple
// for "*  /", blue for "*", purple for "@", red for "#", dark red when the
// line holds ">", black otherwise. The rest of the line is black.
//
// What must stay true:
//  - never more than MaxLines lines: the oldest goes before a new one would
//    pass the limit;
//  - no line is blank, and every line is one line: breaks a text carries
//    (a peer's included) are shown as blanks, so no text can pass itself off
//    as a line of its own;
//  - OnLineAdded follows every line added, after the oldest line went.

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

struct TChatColour {
    int R = 0, G = 0, B = 0;
    bool operator==(const TChatColour&) const = default;
};

struct TChatLogLine {
    QString Text;
    int Segment = 0; // length of the coloured leading segment
    TChatColour Colour;
};

class TChatLog : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxLines = 101;

    // AddChatLine: false (and nothing added) for a blank text.
    bool Add(const QString& text);
    // A line in plain black, without the colouring.
    bool AddPlain(const QString& text);
    void Clear();

    const QList<TChatLogLine>& Lines() const { return lines_; }
    QStringList Texts() const;

    static int SegmentLength(const QString& line);
    static TChatColour SegmentColour(const QString& line);
    // The text as one line: line and paragraph breaks become blanks.
    static QString OneLine(QString text);

signals:
    void OnLineAdded(const TChatLogLine& line);
    void OnCleared();

private:
    bool Append(TChatLogLine line);

    QList<TChatLogLine> lines_;
};
