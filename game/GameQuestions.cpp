#include "GameQuestions.h"

#include "GameController.h"
#include "ProgramEnv.h"

#include <utility>

TGameQuestions::TGameQuestions(TGameController& game) : game_(game) {
    QObject::connect(&game_, &TGameController::OnGameStarted, &receiver_,
                     [this] { WithdrawAll(); });
    QObject::connect(&game_, &TGameController::OnGameEnded, &receiver_, [this] { WithdrawAll(); });
}

TGameQuestions::~TGameQuestions() {
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
