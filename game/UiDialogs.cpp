#include "UiDialogs.h"

#include <QFileInfo>

TUiDialogs::~TUiDialogs() = default;

QString TUiDialogs::InputBox(const QString& caption, const QString& prompt,
                             const QString& defaultText) {
    return InputQuery(caption, prompt, defaultText).value_or(defaultText);
}

void TScriptedDialogs::AnswerYes(const QString& expectCaption) {
    answers_.push_back({TDialogKind::Question, expectCaption, true, std::nullopt});
}

void TScriptedDialogs::AnswerNo(const QString& expectCaption) {
    answers_.push_back({TDialogKind::Question, expectCaption, false, std::nullopt});
}

void TScriptedDialogs::AnswerInput(const QString& text, const QString& expectCaption) {
    answers_.push_back({TDialogKind::Input, expectCaption, true, text});
}

void TScriptedDialogs::CancelInput(const QString& expectCaption) {
    answers_.push_back({TDialogKind::Input, expectCaption, false, std::nullopt});
}

void TScriptedDialogs::AnswerOpenFile(const QString& fileName, const QString& expectCaption) {
    answers_.push_back({TDialogKind::OpenFile, expectCaption, true, fileName});
}

void TScriptedDialogs::AnswerSaveFile(const QString& fileName, const QString& expectCaption) {
    answers_.push_back({TDialogKind::SaveFile, expectCaption, true, fileName});
}

void TScriptedDialogs::AnswerOpenPicture(const QString& fileName, const QString& expectCaption) {
    answers_.push_back({TDialogKind::OpenPicture, expectCaption, true, fileName});
}

void TScriptedDialogs::AnswerChoice(int index, const QString& expectCaption) {
    answers_.push_back({TDialogKind::Choice, expectCaption, true, QString::number(index)});
}

void TScriptedDialogs::CancelChoice(const QString& expectCaption) {
    answers_.push_back({TDialogKind::Choice, expectCaption, false, std::nullopt});
}

void TScriptedDialogs::SetUnexpectedAnswers(bool yes, std::optional<QString> input,
                                            const QString& fileName) {
    defaultYes_ = yes;
    defaultInput_ = std::move(input);
    defaultFile_ = fileName;
}

bool TScriptedDialogs::Take(TDialogKind kind, const QString& caption, TPrepared& answer) {
    if (answers_.empty()) return false;
    const TPrepared& front = answers_.front();
    if (front.Kind != kind || (!front.ExpectCaption.isEmpty() && front.ExpectCaption != caption))
        return false;
    answer = front;
    answers_.pop_front();
    return true;
}

void TScriptedDialogs::ShowMessage(const QString& text, const QString& caption, TMessageKind kind) {
    TDialogRecord record;
    record.Kind = TDialogKind::Message;
    record.Caption = caption;
    record.Text = text;
    record.MessageKind = kind;
    log_.append(record);
}

bool TScriptedDialogs::Ask(const QString& text, const QString& caption, TQuestionButtons buttons) {
    TDialogRecord record;
    record.Kind = TDialogKind::Question;
    record.Caption = caption;
    record.Text = text;
    record.Buttons = buttons;
    TPrepared prepared;
    const bool taken = Take(TDialogKind::Question, caption, prepared);
    record.Unexpected = !taken;
    const bool yes = taken ? prepared.Yes : defaultYes_;
    record.Answer = yes ? QStringLiteral("yes") : QStringLiteral("no");
    log_.append(record);
    return yes;
}

std::optional<QString> TScriptedDialogs::InputQuery(const QString& caption, const QString& prompt,
                                                    const QString& defaultText) {
    TDialogRecord record;
    record.Kind = TDialogKind::Input;
    record.Caption = caption;
    record.Text = prompt;
    record.DefaultText = defaultText;
    TPrepared prepared;
    const bool taken = Take(TDialogKind::Input, caption, prepared);
    record.Unexpected = !taken;
    const std::optional<QString> answer = taken ? prepared.Text : defaultInput_;
    record.Answer = answer ? *answer : QStringLiteral("<cancel>");
    log_.append(record);
    return answer;
}

QString TScriptedDialogs::FileDialog(TDialogKind kind, const TFileDialogRequest& request) {
    TDialogRecord record;
    record.Kind = kind;
    record.Caption = request.Caption;
    record.Text = request.Filter;
    record.DefaultText = request.FileName;
    TPrepared prepared;
    const bool taken = Take(kind, request.Caption, prepared);
    record.Unexpected = !taken;
    const QString answer = taken ? prepared.Text.value_or(QString()) : defaultFile_;
    record.Answer = answer.isEmpty() ? QStringLiteral("<cancel>") : answer;
    log_.append(record);
    return answer;
}

QString TScriptedDialogs::OpenFileName(const TFileDialogRequest& request) {
    return FileDialog(TDialogKind::OpenFile, request);
}

QString TScriptedDialogs::SaveFileName(const TFileDialogRequest& request) {
    return FileDialog(TDialogKind::SaveFile, request);
}

QString TScriptedDialogs::OpenPictureName(const TFileDialogRequest& request) {
    return FileDialog(TDialogKind::OpenPicture, request);
}

std::optional<int> TScriptedDialogs::ChooseItem(const QString& caption, const QString& prompt,
                                                const QStringList& items, int preselected) {
    TDialogRecord record;
    record.Kind = TDialogKind::Choice;
    record.Caption = caption;
    record.Text = prompt;
    record.DefaultText = QString::number(preselected);
    record.Items = items;
    TPrepared prepared;
    const bool taken = Take(TDialogKind::Choice, caption, prepared);
    record.Unexpected = !taken;
    std::optional<int> answer;
    if (taken && prepared.Text) answer = prepared.Text->toInt();
    record.Answer = answer ? *prepared.Text : QStringLiteral("<cancel>");
    log_.append(record);
    return answer;
}

QStringList TScriptedDialogs::Messages() const {
    QStringList texts;
    for (const TDialogRecord& r : log_)
        if (r.Kind == TDialogKind::Message) texts.append(r.Text);
    return texts;
}

QList<TDialogRecord> TScriptedDialogs::UnexpectedDialogs() const {
    QList<TDialogRecord> found;
    for (const TDialogRecord& r : log_)
        if (r.Unexpected) found.append(r);
    return found;
}

bool TScriptedDialogs::HasUnexpected() const {
    return !UnexpectedDialogs().isEmpty();
}
