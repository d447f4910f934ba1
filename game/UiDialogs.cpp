#include "UiDialogs.h"

#include <QMetaObject>
#include <QTimer>

TUiDialogs::~TUiDialogs() {
    for (auto& [id, open] : open_)
        disconnect(open.OwnerGone);
}

TQuestionId TUiDialogs::Open(TDialogRequest request, QObject* owner, TDeliver deliver) {
    const TQuestionId id = ++last_;
    TOpen& open = open_[id];
    open.Request = std::move(request);
    open.Deliver = std::move(deliver);
    if (owner) {
        open.Owned = true;
        open.Owner = owner;
        open.OwnerGone = connect(owner, &QObject::destroyed, this, [this, id] { Withdraw(id); });
    }
    ++presenting_;
    Present(id, open_.at(id).Request);
    --presenting_;
    return id;
}

bool TUiDialogs::Answer(TQuestionId id, const TDialogAnswer& answer) {
    const auto it = open_.find(id);
    if (it == open_.end()) return false;
    if (presenting_ > 0) {
        // Never inside the call that asked: the asker has not returned yet.
        QMetaObject::invokeMethod(
            this, [this, id, answer] { Answer(id, answer); }, Qt::QueuedConnection);
        return true;
    }
    TOpen open = std::move(it->second);
    open_.erase(it);
    disconnect(open.OwnerGone);
    if (open.Owned && !open.Owner) return false;
    if (open.Deliver) open.Deliver(answer);
    return true;
}

void TUiDialogs::Withdraw(TQuestionId id) {
    const auto it = open_.find(id);
    if (it == open_.end()) return;
    disconnect(it->second.OwnerGone);
    open_.erase(it);
    Dismiss(id);
}

const TDialogRequest* TUiDialogs::RequestOf(TQuestionId id) const {
    const auto it = open_.find(id);
    return it == open_.end() ? nullptr : &it->second.Request;
}

QList<TQuestionId> TUiDialogs::OpenQuestions(TQuestion question) const {
    QList<TQuestionId> ids;
    for (const auto& [id, open] : open_)
        if (open.Request.Question == question) ids.append(id);
    return ids;
}

namespace {
TDialogRequest NewRequest(TQuestion question, TDialogKind kind, const QString& caption,
                          const QString& text) {
    TDialogRequest request;
    request.Question = question;
    request.Kind = kind;
    request.Caption = caption;
    request.Text = text;
    return request;
}
} // namespace

TQuestionId TUiDialogs::ShowMessage(const QString& text, const QString& caption, TMessageKind kind,
                                    QObject* owner, std::function<void()> onClosed) {
    TDialogRequest request = NewRequest(TQuestion::Message, TDialogKind::Message, caption, text);
    request.MessageKind = kind;
    return Open(std::move(request), owner, [onClosed = std::move(onClosed)](const TDialogAnswer&) {
        if (onClosed) onClosed();
    });
}

TQuestionId TUiDialogs::Ask(TQuestion question, QObject* owner, const QString& text,
                            std::function<void(bool)> onAnswer, TQuestionButtons buttons,
                            const QString& caption) {
    TDialogRequest request = NewRequest(question, TDialogKind::Question, caption, text);
    request.Buttons = buttons;
    return Open(std::move(request), owner,
                [onAnswer = std::move(onAnswer)](const TDialogAnswer& a) { onAnswer(a.Accepted); });
}

TQuestionId TUiDialogs::AskText(TQuestion question, QObject* owner, const QString& caption,
                                const QString& prompt, const QString& defaultText,
                                std::function<void(std::optional<QString>)> onAnswer) {
    TDialogRequest request = NewRequest(question, TDialogKind::Input, caption, prompt);
    request.DefaultText = defaultText;
    return Open(std::move(request), owner,
                [onAnswer = std::move(onAnswer)](const TDialogAnswer& a) {
                    onAnswer(a.Accepted ? std::optional<QString>(a.Text) : std::nullopt);
                });
}

TQuestionId TUiDialogs::AskFile(TQuestion question, TDialogKind kind, QObject* owner,
                                const TFileDialogRequest& file,
                                std::function<void(const QString&)> onAnswer) {
    TDialogRequest request = NewRequest(question, kind, file.Caption, file.Filter);
    request.DefaultText = file.FileName;
    request.File = file;
    return Open(std::move(request), owner,
                [onAnswer = std::move(onAnswer)](const TDialogAnswer& a) {
                    onAnswer(a.Accepted ? a.Text : QString());
                });
}

TQuestionId TUiDialogs::AskOpenFile(TQuestion question, QObject* owner,
                                    const TFileDialogRequest& request,
                                    std::function<void(const QString&)> onAnswer) {
    return AskFile(question, TDialogKind::OpenFile, owner, request, std::move(onAnswer));
}

TQuestionId TUiDialogs::AskSaveFile(TQuestion question, QObject* owner,
                                    const TFileDialogRequest& request,
                                    std::function<void(const QString&)> onAnswer) {
    return AskFile(question, TDialogKind::SaveFile, owner, request, std::move(onAnswer));
}

TQuestionId TUiDialogs::AskPicture(TQuestion question, QObject* owner,
                                   const TFileDialogRequest& request,
                                   std::function<void(const QString&)> onAnswer) {
    return AskFile(question, TDialogKind::OpenPicture, owner, request, std::move(onAnswer));
}

TQuestionId TUiDialogs::AskChoice(TQuestion question, QObject* owner, const QString& caption,
                                  const QString& prompt, const QStringList& items, int preselected,
                                  std::function<void(std::optional<int>)> onAnswer) {
    TDialogRequest request = NewRequest(question, TDialogKind::Choice, caption, prompt);
    request.DefaultText = QString::number(preselected);
    request.Items = items;
    request.Preselected = preselected;
    const qsizetype count = items.size();
    return Open(std::move(request), owner,
                [onAnswer = std::move(onAnswer), count](const TDialogAnswer& a) {
                    const bool picked = a.Accepted && a.Item >= 0 && a.Item < count;
                    onAnswer(picked ? std::optional<int>(a.Item) : std::nullopt);
                });
}

// ---------------------------------------------------------------- scripted

void TScriptedDialogs::AnswerYes(TQuestion question) {
    prepared_.push_back({question, false, {true, {}, -1}});
}

void TScriptedDialogs::AnswerNo(TQuestion question) {
    prepared_.push_back({question, false, {false, {}, -1}});
}

void TScriptedDialogs::AnswerInput(TQuestion question, const QString& text) {
    prepared_.push_back({question, false, {true, text, -1}});
}

void TScriptedDialogs::AnswerFile(TQuestion question, const QString& fileName) {
    prepared_.push_back({question, false, {!fileName.isEmpty(), fileName, -1}});
}

void TScriptedDialogs::AnswerChoice(TQuestion question, int index) {
    prepared_.push_back({question, false, {true, QString(), index}});
}

void TScriptedDialogs::Cancel(TQuestion question) {
    prepared_.push_back({question, false, {}});
}

void TScriptedDialogs::Hold(TQuestion question) {
    prepared_.push_back({question, true, {}});
}

void TScriptedDialogs::SetUnexpectedAnswers(bool yes, std::optional<QString> input,
                                            const QString& fileName) {
    defaultYes_ = yes;
    defaultInput_ = std::move(input);
    defaultFile_ = fileName;
}

std::optional<TScriptedDialogs::TPrepared> TScriptedDialogs::Take(TQuestion question) {
    for (auto it = prepared_.begin(); it != prepared_.end(); ++it) {
        if (it->Question != question) continue;
        TPrepared taken = *it;
        prepared_.erase(it);
        return taken;
    }
    return std::nullopt;
}

TDialogAnswer TScriptedDialogs::DefaultAnswer(TDialogKind kind) const {
    switch (kind) {
    case TDialogKind::Message:
        return {true, {}, -1};
    case TDialogKind::Question:
        return {defaultYes_, {}, -1};
    case TDialogKind::Input:
        return {defaultInput_.has_value(), defaultInput_.value_or(QString()), -1};
    case TDialogKind::OpenFile:
    case TDialogKind::SaveFile:
    case TDialogKind::OpenPicture:
        return {!defaultFile_.isEmpty(), defaultFile_, -1};
    case TDialogKind::Choice:
        break;
    }
    return {};
}

QString TScriptedDialogs::AnswerText(TDialogKind kind, const TDialogAnswer& answer) {
    if (kind == TDialogKind::Message) return QStringLiteral("ok");
    if (kind == TDialogKind::Question)
        return answer.Accepted ? QStringLiteral("yes") : QStringLiteral("no");
    if (!answer.Accepted) return QStringLiteral("<cancel>");
    return kind == TDialogKind::Choice ? QString::number(answer.Item) : answer.Text;
}

TDialogRecord* TScriptedDialogs::RecordOf(TQuestionId id) {
    for (TDialogRecord& r : log_)
        if (r.Id == id) return &r;
    return nullptr;
}

void TScriptedDialogs::Present(TQuestionId id, const TDialogRequest& request) {
    TDialogRecord record;
    record.Id = id;
    record.Question = request.Question;
    record.Kind = request.Kind;
    record.Caption = request.Caption;
    record.Text = request.Text;
    record.DefaultText = request.DefaultText;
    record.Items = request.Items;
    record.MessageKind = request.MessageKind;
    record.Buttons = request.Buttons;
    std::optional<TPrepared> prepared;
    if (request.Kind != TDialogKind::Message) prepared = Take(request.Question);
    record.Unexpected = request.Kind != TDialogKind::Message && !prepared;
    log_.append(record);
    if (prepared && prepared->Hold) return;
    due_[id] = prepared ? prepared->Answer : DefaultAnswer(request.Kind);
    QTimer::singleShot(delayMs_, this, [this, id] { Deliver(id); });
}

void TScriptedDialogs::Deliver(TQuestionId id) {
    const auto it = due_.find(id);
    if (it == due_.end()) return;
    const TDialogAnswer answer = it->second;
    due_.erase(it);
    const TDialogRequest* request = RequestOf(id);
    if (!request) return;
    if (TDialogRecord* record = RecordOf(id)) record->Answer = AnswerText(request->Kind, answer);
    Answer(id, answer);
}

void TScriptedDialogs::Dismiss(TQuestionId id) {
    due_.erase(id);
    if (TDialogRecord* record = RecordOf(id)) record->Answer = QStringLiteral("<withdrawn>");
}

int TScriptedDialogs::Flush() {
    int delivered = 0;
    while (!due_.empty()) {
        Deliver(due_.begin()->first);
        ++delivered;
    }
    return delivered;
}

bool TScriptedDialogs::AnswerOpen(TQuestion question, bool accepted, const QString& text) {
    for (const TQuestionId id : OpenQuestions(question)) {
        if (due_.count(id)) continue;
        const TDialogRequest* request = RequestOf(id);
        TDialogAnswer answer{accepted, text, -1};
        if (request->Kind == TDialogKind::Choice) answer.Item = text.toInt();
        due_[id] = answer;
        Deliver(id);
        return true;
    }
    return false;
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
