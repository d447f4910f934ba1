#pragma once
// TFrmChat: the chat window. It shows the chat log (FMemoChat, every line
// through AddChatLine with its coloured leading segment), the nick list, the
// connection buttons and the input line, and it is the game's way to the
// network (TGameNetwork): it frames the game's messages (command word,
// fields after 0xFE, terminator 0xFF) and sends them.
//
// This is the window's local part: the log, the nick list, the greeting and
// the start-up nick question. The connection buttons and the send
// operations reach no network yet; resigning ends the game locally.
//
// What must stay true:
//  - the log never holds more than 101 lines and never shows a blank line;
//    each AddChatLine adds one line, shown at the log's end;
//  - the window cannot be closed on its own; it lives as long as the main
//    window, which owns it.

#include "GameController.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTextEdit;
class QToolButton;
class TProgramEnv;
class TTCPClient;
class TTCPServer;

class TFrmChat : public QWidget, public TGameNetwork {
    Q_OBJECT
public:
    TFrmChat(TGameController& game, TProgramEnv& env, QWidget* parent = nullptr);

    // Appends one line to the log, colouring its leading segment. Line
    // breaks inside the text are shown as blanks.
    void AddChatLine(const QString& text);
    // The log's lines as plain text, in order.
    QStringList LogLines() const;

    // Lines of the greeting written when the window is created.
    static QStringList GreetingLines(const QString& hostName, const QString& localIp);
    static QString ContactAddress();

    // The nicks of the nick list, in its order.
    QStringList NickList() const;
    // Renames oldNick to newNick in the nick list, or adds newNick (oldNick
    // may be empty); the host's nick follows a rename.
    void UpdateNickList(const QString& oldNick, const QString& newNick);
    // The window is docked beside the main window (bFijo down).
    bool Docked() const;
    void SetDocked(bool docked);
    // "Crear" and "Conectar" may be pressed.
    bool CreateEnabled() const;
    bool ConnectEnabled() const;

    // The game's messages (TGameNetwork).
    void SendMove(const TMovimiento& move, bool fromLocalPlayer) override;
    void SendEndGame(const QString& panelText, const QString& resultText) override;
    void SendResign(const QString& reason) override;
    void SendTimeout(const QString& reason) override;
    void SendDrawOffer(const QString& reason) override;
    void LogPlainLine(const QString& line) override;
    void OfferGame(const QString& nick, int receiverPlaysWhite, int minutes, int elo);

    void bCrearClick();
    void bConectarClick();
    void bDesconectarClick();

    // Raised when the start-up nick question got no nick: the program ends.
    std::function<void()> OnNickRefused;

    QString ChatPort;
    QString LastHost;
    // The height the window takes when it is first shown (a setting).
    int ChatHeight = 150;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormShow();
    void UpdateTitle();

    TGameController& Game;
    TProgramEnv& Env;
    QTextEdit* FMemoChat = nullptr;
    QListWidget* FListaNick = nullptr;
    QPushButton* bCrear = nullptr;
    QPushButton* bConectar = nullptr;
    QPushButton* bDesconectar = nullptr;
    QPushButton* bObservar = nullptr;
    QToolButton* bFijo = nullptr; // down: docked beside the main window
    QSpinBox* eMaxClients = nullptr;
    QLineEdit* FMsgEdit = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    // The chat's two socket components (owned); the greeting names the
    // machine and the address they use.
    TTCPServer* TCPServer1 = nullptr;
    TTCPClient* TCPClient1 = nullptr;
    bool shownOnce_ = false;
    bool followLogEnd_ = true; // the log keeps its last line in view
};
