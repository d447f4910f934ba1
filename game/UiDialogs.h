#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <map>
#include <optional>

// Kinds of message box.
enum class TMessageKind { Information, Warning, Error };

// Buttons of a question box; the answer is true for Yes / OK.
enum class TQuestionButtons { YesNo, OkCancel };

// What the program asks about. An answer is given by the kind of its
// question, never by its text: the scripted dialogs of the tests and the
// windowless participant answer "a game offer", not a Spanish sentence.
enum class TQuestion {
    Message,        // a message box: its one answer is that it was closed
    Nick,           // "Escriba su nombre" / "escriba su Nick": the nick at start-up
    NewNick,        // "Escriba el nuevo nick": the host refused the nick
    ConnectAddress, // "Escriba la IP del host remoto": "Conectar"
    GameOffer,      // "¿Acepta una partida a …?"
    DrawOffer,      // "… le ofrece tablas. ¿Acepta?"
    Observe,        // "¿Observar una partida?"
    Resign,         // "¿Seguro que quiere abandonar?"
    InterruptGame,  // "¿Interrumpir la partida actual?": a new game, a position or a file instead
    QuitDuringGame, // "¿Interrumpir la partida actual y salir?"
    OpenGame,       // the game file to open
    PickGame,       // which game of a file that holds several
    SaveGame,       // where the record is saved
    ExportGame,     // where the game is exported as PGN
    Picture,        // a picture of the pieces or of the squares (configuration)
    EngineFile,     // the program of a UCI engine to add (configuration)
    WatchGame,      // which of the room's games to watch ("Observar")
};

// What kind of dialog shows a question.
enum class TDialogKind { Message, Question, Input, OpenFile, SaveFile, OpenPicture, Choice };

// One file dialog. Filter is written as the program's dialogs name it:
// pairs of description and pattern separated by "|", e.g.
// "Partida Zugaret CHAT|*.gam|Todos los archivos|*.*". InitialFolder empty
// means the dialog's own choice; FileName presets the name field.
struct TFileDialogRequest {
    QString Caption;
    QString InitialFolder;
    QString FileName;
    QString Filter;
    QString DefaultExt; // without the dot, e.g. "gam"; added to a name typed without one
};

// Everything a dialog shows for one question.
struct TDialogRequest {
    TQuestion Question = TQuestion::Message;
    TDialogKind Kind = TDialogKind::Message;
    QString Caption;     // empty: the application's title
    QString Text;        // message or question text, input or list prompt
    QString DefaultText; // an input box's preset text
    QStringList Items;   // the entries of a list
    int Preselected = -1;
    TMessageKind MessageKind = TMessageKind::Information;
    TQuestionButtons Buttons = TQuestionButtons::YesNo;
    TFileDialogRequest File;
};

// How the user answered.
struct TDialogAnswer {
    bool Accepted = false; // Yes/OK, a text entered, a file or an item chosen
    QString Text;          // the text entered, or the file chosen (absolute)
    int Item = -1;         // the index of the item chosen
};

// An open question; 0 is none.
using TQuestionId = quint64;

// The one way the program asks the user something: message boxes, Yes/No and
// OK/Cancel questions, input boxes, open/save file dialogs and the picture
// dialog, and a list to pick one entry from. Texts are the program's own;
// message texts may hold the program's "\n\r" line breaks, which the real
// dialogs show as one line break each (DisplayText) while the scripted ones
// log them as they came.
//
// Nothing waits: each call opens the question and returns at once; the
// answer comes later, from the event loop, to the function handed in. A
// question belongs to an owner: when the owner goes, or Withdraw closes the
// question because its reason has gone, the dialog closes and its answer is
// never delivered. A cancelled input box, file dialog or list answers with
// nothing (std::nullopt / an empty name).
//
// What must stay true: an answer is delivered at most once, never from
// inside the call that asked, never after its question was withdrawn and
// never after its owner was destroyed.
class TUiDialogs : public QObject {
public:
    ~TUiDialogs() override;

    // onClosed (if any) runs once the user has closed the box.
    TQuestionId ShowMessage(const QString& text, const QString& caption = QString(),
                            TMessageKind kind = TMessageKind::Information, QObject* owner = nullptr,
                            std::function<void()> onClosed = {});
    // onAnswer(true) for Yes or OK.
    TQuestionId Ask(TQuestion question, QObject* owner, const QString& text,
                    std::function<void(bool yes)> onAnswer,
                    TQuestionButtons buttons = TQuestionButtons::YesNo,
                    const QString& caption = QString());
    TQuestionId AskText(TQuestion question, QObject* owner, const QString& caption,
                        const QString& prompt, const QString& defaultText,
                        std::function<void(std::optional<QString> text)> onAnswer);
    // The chosen file (absolute), or empty when cancelled.
    TQuestionId AskOpenFile(TQuestion question, QObject* owner, const TFileDialogRequest& request,
                            std::function<void(const QString& file)> onAnswer);
    TQuestionId AskSaveFile(TQuestion question, QObject* owner, const TFileDialogRequest& request,
                            std::function<void(const QString& file)> onAnswer);
    // A picture: bitmaps and the other image formats Qt reads.
    TQuestionId AskPicture(TQuestion question, QObject* owner, const TFileDialogRequest& request,
                           std::function<void(const QString& file)> onAnswer);
    // A list of items to pick one from, starting on preselected: the index
    // of the item picked, or nothing when cancelled.
    TQuestionId AskChoice(TQuestion question, QObject* owner, const QString& caption,
                          const QString& prompt, const QStringList& items, int preselected,
                          std::function<void(std::optional<int> item)> onAnswer);

    // Closes the question; its answer never comes. Nothing when it is not open.
    void Withdraw(TQuestionId id);
    bool IsOpen(TQuestionId id) const { return open_.count(id) > 0; }
    // The questions open now, of one kind.
    QList<TQuestionId> OpenQuestions(TQuestion question) const;
    int OpenCount() const { return int(open_.size()); }

protected:
    // Shows the question; the answer comes through Answer, never from inside Present.
    virtual void Present(TQuestionId id, const TDialogRequest& request) = 0;
    // Closes the question's dialog without an answer.
    virtual void Dismiss(TQuestionId id) = 0;
    // The user answered: handed to the asker if the question is still open
    // and its owner is still there. False when it was not delivered.
    bool Answer(TQuestionId id, const TDialogAnswer& answer);
    // The request of an open question, or null.
    const TDialogRequest* RequestOf(TQuestionId id) const;

private:
    using TDeliver = std::function<void(const TDialogAnswer&)>;
    struct TOpen {
        TDialogRequest Request;
        bool Owned = false;
        QPointer<QObject> Owner;
        QMetaObject::Connection OwnerGone;
        TDeliver Deliver;
    };
    TQuestionId Open(TDialogRequest request, QObject* owner, TDeliver deliver);
    TQuestionId AskFile(TQuestion question, TDialogKind kind, QObject* owner,
                        const TFileDialogRequest& request,
                        std::function<void(const QString&)> onAnswer);

    std::map<TQuestionId, TOpen> open_;
    TQuestionId last_ = 0;
    int presenting_ = 0;
};

// One dialog shown through TScriptedDialogs.
struct TDialogRecord {
    TQuestionId Id = 0;
    TQuestion Question = TQuestion::Message;
    TDialogKind Kind = TDialogKind::Message;
    QString Caption;
    QString Text;        // message or question text, input or list prompt, or file filter
    QString DefaultText; // input default, preset file name, or the preselected item's index
    QStringList Items;   // the entries of a list
    TMessageKind MessageKind = TMessageKind::Information;
    TQuestionButtons Buttons = TQuestionButtons::YesNo;
    bool Unexpected = false; // no prepared answer of its kind; the default answer is given
    QString Answer;          // "yes"/"no", the text, file or item index given, "<cancel>",
                             // "<withdrawn>"; empty while the question is open
};

// Test double: answers by the kind of question from prepared answers, and
// logs every dialog (captions and texts exactly as the program passed them,
// "\n\r" included). A question takes the first prepared answer of its kind;
// without one it is recorded as unexpected and gets the configurable
// default (No/Cancel, a cancelled input box, file dialog or list), or stays
// open when Hold was prepared for its kind. Message boxes are closed at once.
//
// Answers come as a user's do: from the event loop, SetAnswerDelay ms after
// the question was asked (0 by default). Flush hands over every answer that
// is due at once, as the event loop would; AnswerOpen answers a question
// left open.
class TScriptedDialogs final : public TUiDialogs {
public:
    // Prepared answers for the next question of that kind.
    void AnswerYes(TQuestion question);
    void AnswerNo(TQuestion question);
    void AnswerInput(TQuestion question, const QString& text);
    void AnswerFile(TQuestion question, const QString& fileName);
    // Picks the item of that index.
    void AnswerChoice(TQuestion question, int index);
    // No, or a cancelled input box, file dialog or list.
    void Cancel(TQuestion question);
    // The question stays open until AnswerOpen, Withdraw or its owner's end.
    void Hold(TQuestion question);

    // Answers given to unexpected dialogs.
    void SetUnexpectedAnswers(bool yes, std::optional<QString> input, const QString& fileName);
    void SetAnswerDelay(int ms) { delayMs_ = ms; }
    // Delivers every answer due now; how many were delivered.
    int Flush();
    // Answers the oldest open question of that kind now (accepted: Yes, or
    // text / the file / the item index given). False when none is open.
    bool AnswerOpen(TQuestion question, bool accepted, const QString& text = QString());

    const QList<TDialogRecord>& Log() const { return log_; }
    // Texts of the message boxes shown, in order.
    QStringList Messages() const;
    QList<TDialogRecord> UnexpectedDialogs() const;
    bool HasUnexpected() const;
    int PendingAnswers() const { return static_cast<int>(prepared_.size()); }
    void ClearLog() { log_.clear(); }

protected:
    void Present(TQuestionId id, const TDialogRequest& request) override;
    void Dismiss(TQuestionId id) override;

private:
    struct TPrepared {
        TQuestion Question = TQuestion::Message;
        bool Hold = false;
        TDialogAnswer Answer;
    };
    std::optional<TPrepared> Take(TQuestion question);
    TDialogAnswer DefaultAnswer(TDialogKind kind) const;
    void Deliver(TQuestionId id);
    TDialogRecord* RecordOf(TQuestionId id);
    static QString AnswerText(TDialogKind kind, const TDialogAnswer& answer);

    std::deque<TPrepared> prepared_;
    std::map<TQuestionId, TDialogAnswer> due_;
    QList<TDialogRecord> log_;
    bool defaultYes_ = false;
    std::optional<QString> defaultInput_;
    QString defaultFile_;
    int delayMs_ = 0;
};
