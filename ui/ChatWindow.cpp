#include "ChatWindow.h"

#include "ChatSession.h"
#include "HeadlessProgram.h"
#include "HttpStatusView.h"
#include "ProgramEnv.h"
#include "ShellOpen.h"
#include "UiDialogs.h"

#include <QCloseEvent>
#include <QFontMetrics>
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

// The update check's activity bar over the window's progress bar.
class TFrmChat::TProgressBarView final : public THttpProgressView {
public:
    explicit TProgressBarView(QProgressBar* bar) : bar_(bar) {}
    int Position() const override { return bar_->value(); }
    int Maximum() const override { return bar_->maximum(); }
    void SetPosition(int position) override { bar_->setValue(position); }

private:
    QProgressBar* bar_;
};

TFrmChat::TFrmChat(THeadlessProgram& program, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint |
                          Qt::CustomizeWindowHint),
      game_(program.Game()), env_(program.Env()), session_(program.Chat()) {
    connect(&program, &THeadlessProgram::OnDestroying, this, [this] { delete this; });
    setObjectName("FrmChat");
    setAttribute(Qt::WA_QuitOnClose, false); // the program ends with the main window
    BuildControls();
    BuildLayout();
    BindSession();
}

void TFrmChat::BuildControls() {
    FMemoChat = new QTextEdit(this);
    FMemoChat->setObjectName("FMemoChat");
    FMemoChat->setReadOnly(true);
    FMemoChat->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    FMemoChat->document()->setDocumentMargin(4);
    // Never fewer than twelve lines of the log in view.
    FMemoChat->setMinimumHeight(LogLinesShown * QFontMetrics(FMemoChat->font()).lineSpacing() +
                                2 * (4 + FMemoChat->frameWidth()));

    FListaNick = new QListWidget(this);
    FListaNick->setObjectName("FListaNick");
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
    for (auto [button, name] : {std::pair{bCrear, "bCrear"},
                                {bConectar, "bConectar"},
                                {bDesconectar, "bDesconectar"},
                                {bObservar, "bObservar"}})
        button->setObjectName(QString::fromLatin1(name));
    bFijo = new QToolButton(this);
    bFijo->setText(QString(QChar(0x2693))); // anchor: docked beside the main window
    bFijo->setCheckable(true);
    bFijo->setChecked(true);
    bFijo->setToolTip(QString::fromUtf8("Tamaño y posición automatico o manual"));
    bFijo->setObjectName("bFijo");
    eMaxClients = new QSpinBox(this);
    eMaxClients->setRange(1, TChatSession::MostClients);
    eMaxClients->setValue(TChatSession::DefaultMaxClients);
    eMaxClients->setObjectName("eMaxClients");
    eMaxClients->setToolTip(QString::fromUtf8("Nº máximo de jugadores/observadores permitidos"));
    lMax = new QLabel("Max. Clientes:", this);
    lMax->setToolTip(eMaxClients->toolTip());
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setMaximumWidth(50);
    ProgressBar1->setMaximumHeight(12);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setValue(0);
    FMsgEdit = new QLineEdit(this);
    FMsgEdit->setObjectName("FMsgEdit");
}

void TFrmChat::BuildLayout() {
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
}

void TFrmChat::BindSession() {
    // The log follows its last line: a line added while the window was hidden
    // or smaller is still in view once the window is shown or resized. A user
    // who scrolled back keeps the place until the next line arrives.
    QScrollBar* scroll = FMemoChat->verticalScrollBar();
    connect(scroll, &QScrollBar::rangeChanged, this, [this, scroll](int, int max) {
        if (followLogEnd_) scroll->setValue(max);
    });
    connect(scroll, &QScrollBar::valueChanged, this,
            [this, scroll](int value) { followLogEnd_ = value >= scroll->maximum(); });

    // FormCreate: the session has written the greeting; the window shows it.
    TChatSession& s = session_;
    progressView_ = std::make_unique<TProgressBarView>(ProgressBar1);
    s.UpdateCheck().SetProgress(progressView_.get());
    s.OnOpenUrl = [](const QString& url) { OpenWithShell(url); };
    connect(&s.Log(), &TChatLog::OnLineAdded, this,
            [this](const TChatLogLine& line) { PaintLine(line); });
    connect(&s.Log(), &TChatLog::OnCleared, this, [this] { ClearLog(); });
    connect(&s, &TChatSession::OnTitleChanged, this, [this] { setWindowTitle(session_.Title()); });
    connect(&s, &TChatSession::OnButtonsChanged, this, [this] { ShowButtons(); });
    connect(&s, &TChatSession::OnNickListChanged, this, [this] { ShowNicks(); });
    for (const TChatLogLine& line : s.Log().Lines())
        PaintLine(line);
    setWindowTitle(s.Title());
    ShowButtons();

    connect(bCrear, &QPushButton::clicked, this, [this] { bCrearClick(); });
    connect(bConectar, &QPushButton::clicked, this, [this] { bConectarClick(); });
    connect(bDesconectar, &QPushButton::clicked, this, [this] { bDesconectarClick(); });
    connect(bObservar, &QPushButton::clicked, this, [this] { bObservarClick(); });
    connect(eMaxClients, &QSpinBox::valueChanged, this,
            [this](int value) { session_.SetMaxClients(value); });
    connect(FMsgEdit, &QLineEdit::returnPressed, this, [this] { FMsgEditReturn(); });
}

TFrmChat::~TFrmChat() {
    // The session lives on: its update check no longer shows here.
    session_.UpdateCheck().SetProgress(nullptr);
}

QString TFrmChat::ContactAddress() {
    return TChatSession::ContactAddress();
}

QStringList TFrmChat::GreetingLines(const QString& hostName, const QString& localIp) {
    return TChatSession::GreetingLines(hostName, localIp);
}

void TFrmChat::AddChatLine(const QString& line) {
    session_.AddChatLine(line);
}

void TFrmChat::PaintLine(const TChatLogLine& line) {
    QTextDocument* doc = FMemoChat->document();
    FMemoChat->setEnabled(false);
    // The session has let its oldest line go: so does the view.
    while (shownLines_ >= session_.Log().Lines().size() && shownLines_ > 0) {
        QTextCursor first(doc->firstBlock());
        first.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
        first.removeSelectedText();
        --shownLines_;
    }
    QTextCursor c(doc);
    c.movePosition(QTextCursor::End);
    if (shownLines_ > 0) c.insertBlock(QTextBlockFormat(), QTextCharFormat());
    QTextCharFormat coloured;
    coloured.setForeground(QColor(line.Colour.R, line.Colour.G, line.Colour.B));
    QTextCharFormat plain;
    plain.setForeground(QColor(0, 0, 0));
    c.insertText(line.Text.left(line.Segment), coloured);
    c.insertText(line.Text.mid(line.Segment), plain);
    ++shownLines_;
    FMemoChat->setEnabled(true);
    followLogEnd_ = true;
    FMemoChat->verticalScrollBar()->setValue(FMemoChat->verticalScrollBar()->maximum());
}

void TFrmChat::ClearLog() {
    FMemoChat->clear();
    shownLines_ = 0;
}

QStringList TFrmChat::LogLines() const {
    QStringList out;
    const QTextDocument* doc = FMemoChat->document();
    if (shownLines_ == 0) return out;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        out << b.text();
    return out;
}

void TFrmChat::ShowNicks() {
    FListaNick->clear();
    // Beside each nick the game it plays or watches in the room.
    for (const QString& nick : session_.NickList()) {
        const QString status = session_.NickStatus(nick);
        const QString text = status.isEmpty() ? nick : nick + " (" + status + ")";
        auto* item = new QListWidgetItem(text);
        // Whole, where the list is too narrow; a nick's "<" is no markup.
        item->setToolTip(QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() +
                         QStringLiteral("</p>"));
        item->setData(Qt::UserRole, nick);
        FListaNick->addItem(item);
    }
}

void TFrmChat::ShowButtons() {
    const TChatButtons b = session_.Buttons();
    bCrear->setEnabled(b.Crear);
    bConectar->setEnabled(b.Conectar);
    bDesconectar->setEnabled(b.Desconectar);
    bObservar->setEnabled(b.Observar);
}

QStringList TFrmChat::NickList() const {
    QStringList nicks;
    for (int i = 0; i < FListaNick->count(); ++i)
        nicks << FListaNick->item(i)->data(Qt::UserRole).toString();
    return nicks;
}

void TFrmChat::UpdateNickList(const QString& oldNick, const QString& newNick) {
    session_.UpdateNickList(oldNick, newNick);
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

void TFrmChat::OfferGame(const QString& nick, int receiverPlaysWhite, int minutes, int elo) {
    session_.OfferGame(nick, receiverPlaysWhite, minutes, elo);
}

void TFrmChat::bCrearClick() {
    session_.bCrearClick();
}

void TFrmChat::bConectarClick() {
    session_.bConectarClick();
}

void TFrmChat::bDesconectarClick() {
    session_.bDesconectarClick();
}

void TFrmChat::bObservarClick() {
    session_.bObservarClick();
}

void TFrmChat::FMsgEditReturn() {
    QString text = FMsgEdit->text();
    if (session_.FMsgEditKeyPress(text, QChar(13))) FMsgEdit->setText(text);
}

void TFrmChat::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        FormShow();
    }
}

void TFrmChat::FormShow() {
    if (ChatHeight > 99) resize(width(), qMin(ChatHeight, screen()->availableGeometry().height()));
    if (!game_.Nick().isEmpty()) return;
    TUiDialogs* d = env_.Dialogs();
    if (!d) {
        OnNickRefused();
        return;
    }
    d->AskText(TQuestion::Nick, this, "Nick", "escriba su Nick", QString(),
               [this](std::optional<QString> answer) {
                   game_.SetNick(answer.value_or(QString()).trimmed());
                   if (game_.Nick().isEmpty()) {
                       OnNickRefused();
                       return;
                   }
                   session_.ShowStartTitle();
               });
}

void TFrmChat::closeEvent(QCloseEvent* event) {
    event->ignore();
}
