#include "GamePlayers.h"

void TNetworkPlayer::MovePlayed(const TMovimiento& move, bool byThisSide) {
    if (network_) network_->SendMove(move, !byThisSide);
}

void TNetworkPlayer::OpponentResigned() {
    if (network_) network_->SendResign(QStringLiteral("No puedorrr"));
}

void TNetworkPlayer::OpponentTimedOut() {
    if (network_) network_->SendTimeout(QStringLiteral("Sacabo er tiempo"));
}

void TNetworkPlayer::DrawOffered() {
    if (network_) network_->SendDrawOffer(QString::fromUtf8("¿Tablas?"));
}

void TNetworkPlayer::GameEnded(const QString& panelText, const QString& resultText) {
    if (network_ && tellsObservers_) network_->SendEndGame(panelText, resultText);
}
