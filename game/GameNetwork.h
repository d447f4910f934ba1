#pragma once
// TGameNetwork: what a game needs of the network (the chat): the messages
// a network opponent sends. Framing them is the chat's.

#include "MoveMessage.h"

#include <QString>

// What the game needs of the network (the chat). Each sends nothing when
// this program is not connected; framing the messages is the chat's.
class TGameNetwork {
public:
    virtual ~TGameNetwork() = default;
    // "/MOV" with move to the opponent when fromLocalPlayer; "/MOB" with it
    // to the observers in every case.
    virtual void SendMove(const TMovimiento& move, bool fromLocalPlayer) = 0;
    // "/END_GAME" to the observers.
    virtual void SendEndGame(const QString& panelText, const QString& resultText) = 0;
    // "/RESIGN" to the opponent, then the game ends as the user's resignation.
    virtual void SendResign(const QString& reason) = 0;
    // "/TIMEOUT" to the opponent.
    virtual void SendTimeout(const QString& reason) = 0;
    // "/DRAW" to the opponent.
    virtual void SendDrawOffer(const QString& reason) = 0;
    // A line straight into the chat log, without its colouring.
    virtual void LogPlainLine(const QString& line) = 0;
};
