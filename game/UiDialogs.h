#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <deque>
#include <optional>

// Kinds of message box.
enum class TMessageKind { Information, Warning, Error };

// Buttons of a question box; the answer is true for Yes / OK.
enum class TQuestionButtons { YesNo, OkCancel };

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

// The one way the windows ask the user something: message boxes, Yes/No and
// OK/Cancel questions, input boxes, open/save file dialogs and the picture
// dialog, and a list to pick one entry from. Texts are the program's own;
// message texts may hold the program's "\n\r" line breaks, which the real
// dialogs show as one line break each (DisplayText) while the scripted ones
// log them as they came. An empty caption means the application's title.
//
// Every dialog is modal: the call returns when the user has answered. A
// cancelled input box or file dialog returns nothing (std::nullopt / an
// empty name).
class TUiDialogs {
public:
    virtual ~TUiDialogs();

    virtual void ShowMessage(const QString& text, const QString& caption = QString(),
                             TMessageKind kind = TMessageKind::Information) = 0;
    // True for Yes or OK.
    virtual bool Ask(const QString& text, const QString& caption = QString(),
                     TQuestionButtons buttons = TQuestionButtons::YesNo) = 0;
    // The entered text, or nothing when cancelled.
    virtual std::optional<QString> InputQuery(const QString& caption, const QString& prompt,
                                              const QString& defaultText) = 0;
    // The chosen file (absolute), or empty when cancelled.
    virtual QString OpenFileName(const TFileDialogRequest& request) = 0;
    virtual QString SaveFileName(const TFileDialogRequest& request) = 0;
    // Open dialog for a picture (bitmap and the other image formats Qt reads).
    virtual QString OpenPictureName(const TFileDialogRequest& request) = 0;
    // A list of items to pick one from, starting on preselected: the index
    // of the item picked, or nothing when cancelled.
    virtual std::optional<int> ChooseItem(const QString& caption, const QString& prompt,
                                          const QStringList& items, int preselected) = 0;

    // InputBox: the entered text, or defaultText when cancelled.
    QString InputBox(const QString& caption, const QString& prompt, const QString& defaultText);
    bool AskYesNo(const QString& text, const QString& caption = QString()) {
        return Ask(text, caption, TQuestionButtons::YesNo);
    }
    bool AskOkCancel(const QString& text, const QString& caption = QString()) {
        return Ask(text, caption, TQuestionButtons::OkCancel);
    }
};

// What was asked.
enum class TDialogKind { Message, Question, Input, OpenFile, SaveFile, OpenPicture, Choice };

// One dialog shown through TScriptedDialogs.
struct TDialogRecord {
    TDialogKind Kind = TDialogKind::Message;
    QString Caption;
    QString Text;        // message or question text, input or list prompt, or file filter
    QString DefaultText; // input default, preset file name, or the preselected item's index
    QStringList Items;   // the entries of a list
    TMessageKind MessageKind = TMessageKind::Information;
    TQuestionButtons Buttons = TQuestionButtons::YesNo;
    bool Unexpected = false; // no prepared answer matched; the default answer was given
    QString Answer;          // "yes"/"no", the text, file or item index given, "<cancel>"
};

// Test double: answers from a queue of prepared answers and logs every
// dialog (captions and texts exactly as the program passed them, "\n\r"
// included). Message boxes need no answer and take none from the queue. A
// question, input box or file dialog takes the front answer when it is of its
// kind (and, if the answer names a caption, has that caption); otherwise it is
// recorded as unexpected, answered with the configurable default (No/Cancel,
// a cancelled input box, a cancelled file dialog or list) and the queue stays
// as it is.
class TScriptedDialogs final : public TUiDialogs {
public:
    // Prepared answers; expectCaption empty matches any caption.
    void AnswerYes(const QString& expectCaption = QString());
    void AnswerNo(const QString& expectCaption = QString());
    void AnswerInput(const QString& text, const QString& expectCaption = QString());
    void CancelInput(const QString& expectCaption = QString());
    void AnswerOpenFile(const QString& fileName, const QString& expectCaption = QString());
    void AnswerSaveFile(const QString& fileName, const QString& expectCaption = QString());
    void AnswerOpenPicture(const QString& fileName, const QString& expectCaption = QString());
    // Picks the item of that index in the next list.
    void AnswerChoice(int index, const QString& expectCaption = QString());
    void CancelChoice(const QString& expectCaption = QString());

    // Answers given to unexpected dialogs.
    void SetUnexpectedAnswers(bool yes, std::optional<QString> input, const QString& fileName);

    void ShowMessage(const QString& text, const QString& caption = QString(),
                     TMessageKind kind = TMessageKind::Information) override;
    bool Ask(const QString& text, const QString& caption = QString(),
             TQuestionButtons buttons = TQuestionButtons::YesNo) override;
    std::optional<QString> InputQuery(const QString& caption, const QString& prompt,
                                      const QString& defaultText) override;
    QString OpenFileName(const TFileDialogRequest& request) override;
    QString SaveFileName(const TFileDialogRequest& request) override;
    QString OpenPictureName(const TFileDialogRequest& request) override;
    std::optional<int> ChooseItem(const QString& caption, const QString& prompt,
                                  const QStringList& items, int preselected) override;

    const QList<TDialogRecord>& Log() const { return log_; }
    // Texts of the message boxes shown, in order.
    QStringList Messages() const;
    QList<TDialogRecord> UnexpectedDialogs() const;
    bool HasUnexpected() const;
    int PendingAnswers() const { return static_cast<int>(answers_.size()); }
    void ClearLog() { log_.clear(); }

private:
    struct TPrepared {
        TDialogKind Kind = TDialogKind::Message;
        QString ExpectCaption;
        bool Yes = false;
        std::optional<QString> Text;
    };
    // Takes the front answer into answer if it fits kind and caption.
    bool Take(TDialogKind kind, const QString& caption, TPrepared& answer);
    QString FileDialog(TDialogKind kind, const TFileDialogRequest& request);

    std::deque<TPrepared> answers_;
    QList<TDialogRecord> log_;
    bool defaultYes_ = false;
    std::optional<QString> defaultInput_;
    QString defaultFile_;
};
