#pragma once
// TFrmConexion: the new-game dialog ("Nueva partida"). The user picks an
// opponent from cb1, a colour and the minutes per player; "Comenzar partida"
// then starts a game against the built-in engine ("ZuzPlak"), against an
// external engine (the entries SetEngines adds after it), a game for two at
// this board (the own nick), or hands a network offer to OnOffer (any other
// entry). The opener fills the list and proposes the colour before showing
// it. The level is offered for ZuzPlak, the strength for an engine that has
// one (its Elo or its skill level).
//
// What must stay true:
//  - "Comenzar partida" is enabled exactly when cb1 has entries;
//  - closing the dialog, by any button, Escape or the window's close
//    command, raises OnClosed once; the dialog is destroyed on closing;
//  - Enter starts the game as "Comenzar partida" does, from any control;
//    the opponent list has the focus when the dialog opens.

#include "EngineConfig.h"

#include <QStringList>
#include <QWidget>

#include <functional>

class QComboBox;
class QPushButton;
class QRadioButton;
class QLabel;
class QSpinBox;
class TGameController;

class TFrmConexion : public QWidget {
    Q_OBJECT
public:
    explicit TFrmConexion(TGameController& game, QWidget* parent = nullptr);

    // The opponents offered; the first becomes the choice, and the list is
    // enabled only with entries.
    void SetOpponents(const QStringList& nicks);
    QStringList Opponents() const;
    // Proposes White (true) or Black.
    void ProposeWhite(bool white);
    // What the user chose (as a test or the user sets it).
    void Choose(const QString& opponent, bool white, int minutes);
    // The engine's level, offered while the opponent is the engine.
    void ChooseDepth(int depth);
    int Depth() const;
    bool DepthOffered() const;
    // The external engines, listed after ZuzPlak (or last).
    void SetEngines(const QList<TEngineConfig>& engines);
    // The engine chosen, or null when the opponent is no external engine.
    const TEngineConfig* ChosenEngine() const;
    // Its strength, offered while such an engine is chosen.
    bool StrengthOffered() const;
    void ChooseStrength(int value);
    int Strength() const;
    QString Opponent() const;
    bool WhiteChosen() const;
    int Minutes() const;
    bool StartEnabled() const;

    void bCrearClick();
    void SpeedButton1Click();
    void cb1Change();

    // A network offer: the opponent's nick, ReceiverPlaysWhite (0 when the
    // user chose White, 1 when Black) and the minutes.
    std::function<void(const QString& nick, int receiverPlaysWhite, int minutes)> OnOffer;
    // The dialog has closed.
    std::function<void()> OnClosed;
    // A game was asked for: the opponent and minutes, for the next time.
    std::function<void(const QString& opponent, int minutes)> OnChosen;
    // A game against an external engine was asked for: its strength chosen.
    std::function<void(const TEngineConfig& engine)> OnEngineChosen;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    void BuildLayout();
    void ConnectControls();
    // The approximate rating of ZuzPlak's level, beside it.
    void ShowLevelElo(int level);

    TGameController& game_;
    QComboBox* cb1 = nullptr;
    QSpinBox* eDuracion = nullptr;
    QSpinBox* eNivel = nullptr;  // the engine's level (EngineLevel.h)
    QLabel* lNivelElo = nullptr; // the level's approximate rating
    QSpinBox* eFuerza = nullptr; // an external engine's strength
    QList<TEngineConfig> engines_;
    QRadioButton* rbBlancas = nullptr;
    QRadioButton* rbNegras = nullptr;
    QPushButton* bCrear = nullptr;
    QPushButton* SpeedButton1 = nullptr;
    bool closedOnce_ = false;
};
