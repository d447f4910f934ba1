#pragma once
// TFrmChat: the chat window, a view over a program's TChatSession (chat/).
// It paints the session's log (each line's leading segment in its
// colour), shows the nick list, the title and which buttons may be pressed
// whenever the session says they changed, and forwards the buttons, the
// client limit and the input line to the session. The game reaches the
// network through the session (TGameNetwork), not through this window.
//
// What must stay true:
//  - the log shown is the session's log, line for line: never more than 101
//    lines, never a blank one, the newest at the end and in view;
//  - the window cannot be closed on its own; it lives as long as the main
//    window, which owns it, and goes when its program (and session) goes.

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTextEdit;
class QToolButton;
class TChatSession;
class TGameController;
class THeadlessProgram;
class TProgramEnv;
struct TChatLogLine;

class TFrmChat : public QWidget {
    Q_OBJECT
public:
    explicit TFrmChat(THeadlessProgram& program, QWidget* parent = nullptr);
    ~TFrmChat() override;

    TChatSession& Session() const { return session_; }

    // Appends one line to the log (the session's AddChatLine).
    void AddChatLine(const QString& text);
    // The log's lines as plain text, in order.
    QStringList LogLines() const;

    static QStringList GreetingLines(const QString& hostName, const QString& localIp);
    static QString ContactAddress();

    // The nicks of the nick list, in its order.
    QStringList NickList() const;
    void UpdateNickList(const QString& oldNick, const QString& newNick);
    // The window is docked beside the main window (bFijo down).
    bool Docked() const;
    void SetDocked(bool docked);
    // "Crear" and "Conectar" may be pressed.
    bool CreateEnabled() const;
    bool ConnectEnabled() const;

    void OfferGame(const QString& nick, int receiverPlaysWhite, int minutes, int elo);
    void bCrearClick();
    void bConectarClick();
    void bDesconectarClick();
    // "Observar": asks, then follows the host's game.
    void bObservarClick();

    // The height the window takes when it is first shown (a setting); it
    // never gets so low that fewer than LogLinesShown lines of the log show.
    int ChatHeight = 150;
    static constexpr int LogLinesShown = 12;

signals:
    // The start-up nick question got no nick: the program ends.
    void OnNickRefused();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    class TProgressBarView;

    // Construction, in this order.
    void BuildControls();
    void BuildLayout();
    void BindSession();
    void FormShow();
    void PaintLine(const TChatLogLine& line);
    void ClearLog();
    void ShowNicks();
    void ShowButtons();
    void FMsgEditReturn();

    TGameController& game_;
    TProgramEnv& env_;
    TChatSession& session_;
    QTextEdit* FMemoChat = nullptr;
    QListWidget* FListaNick = nullptr;
    QPushButton* bCrear = nullptr;
    QPushButton* bConectar = nullptr;
    QPushButton* bDesconectar = nullptr;
    QPushButton* bObservar = nullptr;
    QToolButton* bFijo = nullptr; // down: docked beside the main window
    QSpinBox* eMaxClients = nullptr;
    QLabel* lMax = nullptr;
    QLineEdit* FMsgEdit = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    std::unique_ptr<TProgressBarView> progressView_;
    int shownLines_ = 0;
    bool shownOnce_ = false;
    bool followLogEnd_ = true; // the log keeps its last line in view
};
