#pragma once
// TGameQuestions: questions about the game in progress ("¿Seguro que quiere
// abandonar?", "¿Interrumpir la partida actual?"). Their reason is that
// game: when it ends, or another begins, they are withdrawn and their
// answers never come.
//
// What must stay true: an answer comes only while the game it was asked
// about is still the one in progress; nothing is left open once this object
// has gone.

#include "UiDialogs.h"

#include <QObject>
#include <QString>

#include <functional>
#include <vector>

class TGameController;

class TGameQuestions {
public:
    explicit TGameQuestions(TGameController& game);
    ~TGameQuestions();
    TGameQuestions(const TGameQuestions&) = delete;
    TGameQuestions& operator=(const TGameQuestions&) = delete;

    // Asks through the game's dialogs (nothing happens without them: 0).
    TQuestionId Ask(TQuestion question, QObject* owner, const QString& text,
                    std::function<void(bool yes)> onAnswer,
                    TQuestionButtons buttons = TQuestionButtons::YesNo);
    void WithdrawAll();

private:
    TGameController& game_;
    std::vector<TQuestionId> open_;
    // The receiver of the controller's signals: last, so it goes first.
    QObject receiver_;
};
