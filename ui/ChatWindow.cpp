#include "ChatWindow.h"

#include "ProgramEnv.h"
#include "UiDialogs.h"
#include "TcpSockets.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
constexpr int MaxLogLines = 100; // a line is dropped before the 102nd is added

// One log line: the breaks a text may carry (a peer's message included)
// become blanks, so every call adds exactly one line and no text can pass
// itself off as a line of its own.
QString OneLine(QString text) {
    for (QChar& ch : text) {
        const char16_t u = ch.unicode();
        if (u == '\n' || u == '\r' || u == 0x2028 || u == 0x2029 || u == 0xFDD0 || u == 0xFDD1)
            ch = QLatin1Char(' ');
    }
    return text;
}

QColor SegmentColour(const QString& line) {
    if (line.startsWith("* ZugaretCHAT") || line.startsWith("Mensaje de")) return QColor(0, 128, 0);
    if (line.startsWith("*  /")) return QColor(128, 0, 128);
    if (line.startsWith("*")) return QColor(0, 0, 255);
    if (line.startsWith("@")) return QColor(128, 0, 128);
    if (line.startsWith("#")) return QColor(255, 0, 0);
    if (line.contains('>')) return QColor(236, 0, 0);
    return QColor(0, 0, 0);
}

// Length of the coloured leading segment of a log line.
int SegmentLength(const QString& line) {
    const int gt = line.indexOf('>');
    if (gt >= 0) return gt + 1;
    if (line.startsWith("*  /")) {
        const int paren = line.indexOf(" (");
        return paren < 0 ? 0 : paren + 1;
    }
    return line.size();
}
} // namespace

TFrmChat::TFrmChat(TGameController& game, TProgramEnv& env, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint |
                          Qt::CustomizeWindowHint),
      Game(game), Env(env) {
    setObjectName("FrmChat");
    setAttribute(Qt::WA_QuitOnClose, false); // the program ends with the main window

    FMemoChat = new QTextEdit(this);
    FMemoChat->setObjectName("FMemoChat");
    FMemoChat->setReadOnly(true);
    FMemoChat->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    FMemoChat->document()->setDocumentMargin(4);

    FListaNick = new QListWidget(this);
    FListaNick->setObjectName("FListaNick");
    FListaNick->setSortingEnabled(true);
    FListaNick->setMinimumWidth(90);

    auto makeButton = [this](const QString& text, const QString& hint) {
        auto* b = new QPushButton(text, this);
        b->setToolTip(hint);
        return b;
    };
    bCrear = makeButton("Crear", "Abrir el servidor y esperar que se conecte alguie");
    bConectar = makeButton("Conectar", "Conectar con otro para jugar una partida, o para chatear");
    bDesconectar = makeButton("Desconectar", "Desconectar");
    bObservar = makeButton("Observar", "Observar una partida");
    bObservar->setEnabled(false);
    for (auto [button, name] : {std::pair{bCrear, "bCrear"}, {bConectar, "bConectar"},
                                {bDesconectar, "bDesconectar"}, {bObservar, "bObservar"}})
        button->setObjectName(QString::fromLatin1(name));
    bFijo = new QToolButton(this);
    bFijo->setText(QString(QChar(0x2693))); // anchor: docked beside the main window
    bFijo->setCheckable(true);
    bFijo->setChecked(true);
    bFijo->setToolTip(QString::fromUtf8("Tamaño y posición automatico o manual"));
    bFijo->setObjectName("bFijo");
    eMaxClients = new QSpinBox(this);
    eMaxClients->setRange(1, 50);
    eMaxClients->setValue(5);
    eMaxClients->setObjectName("eMaxClients");
    eMaxClients->setToolTip(QString::fromUtf8("Nº máximo de jugadores/observadores permitidos"));
    auto* lMax = new QLabel("Max. Clientes:", this);
    lMax->setToolTip(eMaxClients->toolTip());
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setMaximumWidth(50);
    ProgressBar1->setMaximumHeight(12);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setValue(0);
    FMsgEdit = new QLineEdit(this);
    FMsgEdit->setObjectName("FMsgEdit");

    auto* tools = new QHBoxLayout;
    tools->setSpacing(4);
    for (auto* b : {bCrear, bConectar, bDesconectar, bObservar})
        tools->addWidget(b);
    tools->addStretch(1);
    tools->addWidget(bFijo);

    auto* input = new QHBoxLayout;
    input->setSpacing(4);
    input->addWidget(FMsgEdit, 1);
    input->addSpacing(4);
    input->addWidget(lMax);
    input->addWidget(eMaxClients);
    input->addWidget(ProgressBar1);

    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(FMemoChat);
    split->addWidget(FListaNick);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 0);
    split->setSizes({370, 100});
    split->setChildrenCollapsible(false);

    auto* all = new QVBoxLayout(this);
    all->setContentsMargins(6, 6, 6, 6);
    all->setSpacing(4);
    all->addLayout(tools);
    all->addWidget(split, 1);
    all->addLayout(input);
    resize(480, 220);

    TCPServer1 = new TTCPServer(this);
    TCPClient1 = new TTCPClient(this);

    // The log follows its last line: a line added while the window was hidden
    // or smaller is still in view once the window is shown or resized. A user
    // who scrolled back keeps the place until the next line arrives.
    QScrollBar* scroll = FMemoChat->verticalScrollBar();
    connect(scroll, &QScrollBar::rangeChanged, this, [this, scroll](int, int max) {
        if (followLogEnd_) scroll->setValue(max);
    });
    connect(scroll, &QScrollBar::valueChanged, this,
            [this, scroll](int value) { followLogEnd_ = value >= scroll->maximum(); });

    connect(bCrear, &QPushButton::clicked, this, [this] { bCrearClick(); });
    connect(bConectar, &QPushButton::clicked, this, [this] { bConectarClick(); });
    connect(bDesconectar, &QPushButton::clicked, this, [this] { bDesconectarClick(); });

    // FormCreate
    UpdateTitle();
    ChatPort = QString::number(Env.ChatPort());
    for (const QString& line : GreetingLines(TCPServer1->LocalHostName(), TCPServer1->LocalIP()))
        AddChatLine(line);
}

QString TFrmChat::ContactAddress() {
    return "zugaret@korvenweb.example.org";
}

QStringList TFrmChat::GreetingLines(const QString& hostName, const QString& localIp) {
    return {
        "* Host: " + hostName,
        QString::fromUtf8("* Dirección IP: ") + localIp,
        QString::fromUtf8(
            "Zuz Plak > ¡Hola, soy Zuz Plak, el 'celebro artificial' de ZugaretChat!"),
        "Zuz Plak > Pulsa el boton CREAR para esperar que alguien se conecte contigo",
        QString::fromUtf8("Zuz Plak > ó Pulsa CONECTAR para conectarte con alguien "),
        "Zuz Plak > Una vez hayas conectado con alguien ya puedes empezar a jugar",
        "Zuz Plak > dandole al NUEVA PARTIDA (encima del tablero a la izquierda)",
        "Zuz Plak > o a OBSERVAR (en esta misma ventana)",
        "Zuz Plak > Deja el raton quieto unos segundos sobre cualquier parte del",
        QString::fromUtf8("Zuz Plak > programa y te saldrá un letrero explicanado su significado"),
        "Zuz Plak > Si quieres saber mas mandame un mail a " + ContactAddress(),
    };
}

void TFrmChat::UpdateTitle() {
    setWindowTitle("Zugaret CHAT! " + TGameController::Version() + "  [" + Game.Nick() + "]");
}

void TFrmChat::AddChatLine(const QString& line) {
    if (line.trimmed().isEmpty()) return;
    const QString text = OneLine(line);
    FMemoChat->setEnabled(false);
    QTextDocument* doc = FMemoChat->document();
    if (doc->blockCount() > MaxLogLines) {
        QTextCursor first(doc->firstBlock());
        first.select(QTextCursor::BlockUnderCursor);
        first.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
        first.removeSelectedText();
    }
    QTextCursor c(doc);
    c.movePosition(QTextCursor::End);
    if (!doc->isEmpty()) c.insertBlock();
    const int seg = SegmentLength(text);
    QTextCharFormat coloured;
    coloured.setForeground(SegmentColour(text));
    QTextCharFormat plain;
    plain.setForeground(QColor(0, 0, 0));
    c.insertText(text.left(seg), coloured);
    c.insertText(text.mid(seg), plain);
    FMemoChat->setEnabled(true);
    followLogEnd_ = true;
    FMemoChat->verticalScrollBar()->setValue(FMemoChat->verticalScrollBar()->maximum());
}

QStringList TFrmChat::LogLines() const {
    QStringList out;
    const QTextDocument* doc = FMemoChat->document();
    if (doc->isEmpty()) return out;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        out << b.text();
    return out;
}

QStringList TFrmChat::NickList() const {
    QStringList nicks;
    for (int i = 0; i < FListaNick->count(); ++i)
        nicks << FListaNick->item(i)->text();
    return nicks;
}

void TFrmChat::UpdateNickList(const QString& oldNick, const QString& newNick) {
    if (!oldNick.isEmpty() && oldNick == Game.HostNick()) Game.SetHostNick(newNick);
    for (int i = 0; i < FListaNick->count(); ++i) {
        QListWidgetItem* item = FListaNick->item(i);
        if (item->text() == newNick) return;
        if (!oldNick.isEmpty() && item->text() == oldNick) {
            item->setText(newNick);
            FListaNick->sortItems();
            return;
        }
    }
    FListaNick->addItem(newNick);
}

bool TFrmChat::Docked() const {
    return bFijo->isChecked();
}

void TFrmChat::SetDocked(bool docked) {
    bFijo->setChecked(docked);
}

bool TFrmChat::CreateEnabled() const {
    return bCrear->isEnabled();
}

bool TFrmChat::ConnectEnabled() const {
    return bConectar->isEnabled();
}

void TFrmChat::SendMove(const TMovimiento& /*move*/, bool /*fromLocalPlayer*/) {}
void TFrmChat::SendEndGame(const QString& /*panelText*/, const QString& /*resultText*/) {}
void TFrmChat::SendResign(const QString& /*reason*/) {}
void TFrmChat::SendTimeout(const QString& /*reason*/) {}
void TFrmChat::SendDrawOffer(const QString& /*reason*/) {}

void TFrmChat::LogPlainLine(const QString& line) {
    // Straight into the log, in plain black, without AddChatLine's
    // colouring; but like every line of the log it is one line, and the
    // log keeps its 101 lines at most.
    QTextDocument* doc = FMemoChat->document();
    if (!doc->isEmpty() && doc->blockCount() > MaxLogLines) {
        QTextCursor first(doc->firstBlock());
        first.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
        first.removeSelectedText();
    }
    QTextCursor c(doc);
    c.movePosition(QTextCursor::End);
    if (!doc->isEmpty()) c.insertBlock(QTextBlockFormat(), QTextCharFormat());
    QTextCharFormat plain;
    plain.setForeground(QColor(0, 0, 0));
    c.insertText(OneLine(line), plain);
}

void TFrmChat::OfferGame(const QString& /*nick*/, int /*receiverPlaysWhite*/, int /*minutes*/,
                         int /*elo*/) {}

void TFrmChat::bCrearClick() {}
void TFrmChat::bConectarClick() {}
void TFrmChat::bDesconectarClick() {}

void TFrmChat::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        FormShow();
    }
}

void TFrmChat::FormShow() {
    if (ChatHeight > 99) resize(width(), ChatHeight);
    if (Game.Nick().isEmpty()) {
        QString answer;
        if (TUiDialogs* d = Env.Dialogs())
            answer = d->InputBox("Nick", "escriba su Nick", QString());
        Game.SetNick(answer.trimmed());
        if (Game.Nick().isEmpty()) {
            if (OnNickRefused) OnNickRefused();
            return;
        }
        UpdateTitle();
    }
}

void TFrmChat::closeEvent(QCloseEvent* event) {
    event->ignore();
}
