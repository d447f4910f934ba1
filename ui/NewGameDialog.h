#pragma once
// TFrmConexion: the new-game dialog ("Nueva partida"). The user picks an
// opponent from cb1, a colour and the minutes per player; "Comenzar partida"
// then starts a game against the built-in engine ("ZuzPlak"), a game for two
// at this board (the own nick), or sends a network offer to a participant
// (any other entry). The main window fills cb1 and proposes the colour before
// showing it, and is disabled while the dialog is open.
//
// What must stay true:
//  - "Comenzar partida" is enabled exactly when cb1 has entries;
//  - closing the dialog, by any button or the window's close command,
//    re-enables the main window; the dialog is destroyed on closing.

#include <QWidget>

class QComboBox;
class QPushButton;
class QRadioButton;
class QSpinBox;
class TFrmPrincipal;

class TFrmConexion : public QWidget {
    Q_OBJECT
public:
    explicit TFrmConexion(TFrmPrincipal& main, QWidget* parent = nullptr);

    QComboBox* cb1 = nullptr;
    QSpinBox* eDuracion = nullptr;
    QRadioButton* rbBlancas = nullptr;
    QRadioButton* rbNegras = nullptr;
    QPushButton* bCrear = nullptr;
    QPushButton* SpeedButton1 = nullptr;

    void bCrearClick();
    void SpeedButton1Click();
    void cb1Change();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    TFrmPrincipal& Main;
};
