#include "GameQuestions.h"

#include "GameController.h"
#include "ProgramEnv.h"

#include <utility>

TGameQuestions::TGameQuestions(TGameController& game) : game_(game) {
    startedId_ = game_.OnGameStarted.Add([this] { WithdrawAll(); });
    endedId_ = game_.OnGameEnded.Add([this] { WithdrawAll(); });
}

TGameQuestions::~TGameQuestions() {
    game_.OnGameStarted.Remove(startedId_);
    game_.OnGameEnded.Remove(endedId_);
    WithdrawAll();
}

TQuestionId TGameQuestions::Ask(TQuestion question, QObject* owner, const QString& text,
                                std::function<void(bool)> onAnswer, TQuestionButtons buttons) {
    TUiDialogs* dialogs = game_.Env().Dialogs();
    if (!dialogs) return 0;
    std::erase_if(open_, [dialogs](TQuestionId id) { return !dialogs->IsOpen(id); });
    open_.push_back(dialogs->Ask(question, owner, text, std::move(onAnswer), buttons));
    return open_.back();
}

void TGameQuestions::WithdrawAll() {
    TUiDialogs* dialogs = game_.Env().Dialogs();
    for (const TQuestionId id : std::exchange(open_, {}))
        if (dialogs) dialogs->Withdraw(id);
}
