#pragma once
// TFrmChat: the chat window. It shows the chat log (FMemoChat, every line
// through AddChatLine with its coloured leading segment), the nick list, the
// connection buttons and the input line, and it is the main window's only way
// to the network: the main window hands it framed messages (command word,
// fields after 0xFE, terminator 0xFF) through the Send... operations.
//
// This is the window's local part: the log, the nick list, the greeting and
// the start-up nick question. The send operations, OfferGame and the
// connection buttons reach no network yet; SendResign already ends the local
// game as a resignation does in every role.
//
// What must stay true:
//  - the log never holds more than 101 lines and never shows a blank line;
//    each AddChatLine adds one line, shown at the log's end;
//  - the window cannot be closed on its own; it lives as long as the main
//    window, which owns it.

#include <QString>
#include <QWidget>

class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTextEdit;
class QToolButton;
class TFrmPrincipal;
class TProgramEnv;
class TTCPClient;
class TTCPServer;

class TFrmChat : public QWidget {
    Q_OBJECT
public:
    TFrmChat(TFrmPrincipal& main, TProgramEnv& env, QWidget* parent = nullptr);

    // Appends one line to the log, colouring its leading segment. Line
    // breaks inside the text are shown as blanks.
    void AddChatLine(const QString& text);
    // The log's lines as plain text, in order.
    QStringList LogLines() const;

    // Lines of the greeting written when the window is created.
    static QStringList GreetingLines(const QString& hostName, const QString& localIp);
    static QString ContactAddress();

    // Network side, called by the main window and the new-game dialog.
    void SendToOpponent(const QString& message);
    void SendToObservers(const QString& message);
    void SendResign(const QString& reason);
    void SendTimeout(const QString& reason);
    void SendDrawOffer(const QString& reason);
    void OfferGame(const QString& nick, int receiverPlaysWhite, int minutes, int elo);

    void bCrearClick();
    void bConectarClick();
    void bDesconectarClick();

    QString ChatPort;
    QString LastHost;

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

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormShow();
    void UpdateTitle();

    TFrmPrincipal& Main;
    TProgramEnv& Env;
    bool shownOnce_ = false;
    bool followLogEnd_ = true; // the log keeps its last line in view
};
