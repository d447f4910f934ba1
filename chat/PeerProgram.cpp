#include "PeerProgram.h"

#include "ChatSession.h"
#include "GameController.h"
#include "HeadlessProgram.h"
#include "ProgramEnv.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

namespace {

constexpr int WatchMs = 10;

std::optional<long long> WholeNumber(const QString& text, long long low, long long high) {
    bool ok = false;
    const long long value = text.toLongLong(&ok, 10);
    if (!ok || value < low || value > high) return std::nullopt;
    return value;
}

constexpr TPeerOptionRow Rows[] = {
    {"--nick", "NICK", "the participant's nick (required)",
     [](TPeerOptions& o, const QString& v) {
         o.Nick = v;
         return !v.trimmed().isEmpty();
     }},
    {"--dir", "PATH", "program folder: ZuzPlak.ini and Png/ (default: a fresh temporary folder)",
     [](TPeerOptions& o, const QString& v) {
         o.Dir = v;
         return !v.isEmpty();
     }},
    {"--port", "N", "chat port (default 12121; 0 lets the system choose when hosting)",
     [](TPeerOptions& o, const QString& v) {
         const auto n = WholeNumber(v, 0, 65535);
         if (n) o.Port = quint16(*n);
         return bool(n);
     }},
    {"--max-clients", "N", "most clients the host accepts, 1 to 50 (default 5)",
     [](TPeerOptions& o, const QString& v) {
         const auto n = WholeNumber(v, 1, TChatSession::MostClients);
         if (n) o.MaxClients = int(*n);
         return bool(n);
     }},
    {"--host", nullptr, "create the chat (\"Crear\")",
     [](TPeerOptions& o, const QString&) {
         o.Host = true;
         return true;
     }},
    {"--connect", "ADDR", "join the chat hosted at ADDR (\"Conectar\")",
     [](TPeerOptions& o, const QString& v) {
         o.Connect = v;
         return !v.trimmed().isEmpty();
     }},
    {"--say", "TEXT", "type TEXT into the input line once registered (repeatable)",
     [](TPeerOptions& o, const QString& v) {
         o.Say << v;
         return true;
     }},
    {"--quit-after", "SECONDS", "end the program after SECONDS",
     [](TPeerOptions& o, const QString& v) {
         bool ok = false;
         const double s = v.toDouble(&ok);
         if (ok && s >= 0 && s < 1e7) o.QuitAfter = s;
         return ok && s >= 0 && s < 1e7;
     }},
    {"--stats", nullptr, "print the longest event-loop stall at the end",
     [](TPeerOptions& o, const QString&) {
         o.Stats = true;
         return true;
     }},
};

// A text as one printed line: its breaks become blanks.
QString OnePrintedLine(QString text) {
    for (QChar& c : text)
        if (c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u' ';
    return text;
}

} // namespace

const TPeerOptionRow* PeerOptionsBegin() {
    return std::begin(Rows);
}

const TPeerOptionRow* PeerOptionsEnd() {
    return std::end(Rows);
}

QString ParsePeerOptions(const QStringList& arguments, TPeerOptions& options) {
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString name = arguments.at(i);
        std::optional<QString> value;
        if (const qsizetype eq = name.indexOf(u'=');
            name.startsWith(QLatin1String("--")) && eq > 0) {
            value = name.mid(eq + 1);
            name.truncate(eq);
        }
        const TPeerOptionRow* row =
            std::find_if(std::begin(Rows), std::end(Rows),
                         [&](const TPeerOptionRow& r) { return name == QLatin1String(r.Name); });
        if (row == std::end(Rows)) return "unknown option " + name;
        if (row->Value && !value) {
            if (++i == arguments.size()) return name + " needs " + QLatin1String(row->Value);
            value = arguments.at(i);
        }
        if (!row->Value && value) return name + " takes no value";
        if (!row->Apply(options, value.value_or(QString())))
            return "not a valid " + QLatin1String(row->Value) + " for " + name + ": " + *value;
    }
    if (options.Nick.trimmed().isEmpty()) return QStringLiteral("--nick NICK is required");
    if (options.Host == !options.Connect.isEmpty())
        return QStringLiteral("give either --host or --connect ADDR");
    return QString();
}

QString PeerUsage() {
    QString text = QStringLiteral("usage: zugaret-peer --nick NICK (--host | --connect ADDR) "
                                  "[options]\n");
    for (const TPeerOptionRow& row : Rows) {
        const QString left =
            QLatin1String(row.Name) + (row.Value ? " " + QLatin1String(row.Value) : QString());
        text += "  " + left.leftJustified(22) + " " + QLatin1String(row.Help) + "\n";
    }
    return text;
}

// ---------------------------------------------------------------- dialogs

void TPeerDialogs::Box(const QString& text) {
    if (Print) Print("box: " + OnePrintedLine(text));
}

void TPeerDialogs::ShowMessage(const QString& text, const QString&, TMessageKind) {
    Box(text);
}

bool TPeerDialogs::Ask(const QString& text, const QString&, TQuestionButtons) {
    Box(text);
    return false;
}

std::optional<QString> TPeerDialogs::InputQuery(const QString& caption, const QString& prompt,
                                                const QString&) {
    if (caption == QLatin1String("Unirse a una partida") && !ConnectAddress.isEmpty())
        return ConnectAddress;
    Box(prompt);
    return std::nullopt;
}

QString TPeerDialogs::OpenFileName(const TFileDialogRequest&) {
    return QString();
}

QString TPeerDialogs::SaveFileName(const TFileDialogRequest&) {
    return QString();
}

QString TPeerDialogs::OpenPictureName(const TFileDialogRequest&) {
    return QString();
}

std::optional<int> TPeerDialogs::ChooseItem(const QString&, const QString&, const QStringList&,
                                            int) {
    return std::nullopt;
}

// ---------------------------------------------------------------- the program

TPeerProgram::TPeerProgram(const TPeerOptions& options, TPrint print, QObject* parent)
    : QObject(parent), options_(options), print_(std::move(print)) {
    QString folder = options_.Dir;
    if (folder.isEmpty()) {
        tempDir_ = std::make_unique<QTemporaryDir>();
        folder = tempDir_->path();
    }
    QDir().mkpath(folder);
    env_ = std::make_unique<TProgramEnv>(folder, folder, options_.Port);
    dialogs_.Print = print_;
    dialogs_.ConnectAddress = options_.Connect;
    env_->SetDialogs(&dialogs_);
    program_ = std::make_unique<THeadlessProgram>(*env_);
    program_->OnFinished = [this] {
        if (OnFinished) OnFinished(status_);
    };

    TChatSession& chat = program_->Chat();
    program_->Game().SetNick(options_.Nick);
    chat.ShowStartTitle();
    if (options_.MaxClients) chat.SetMaxClients(*options_.MaxClients);
    for (const TChatLogLine& line : chat.Log().Lines())
        print_("log: " + line.Text);
    chat.Log().OnLineAdded.Add([this](const TChatLogLine& line) { print_("log: " + line.Text); });
    chat.OnNickListChanged.Add(
        [this] { print_("nicks: " + OnePrintedLine(program_->Chat().NickList().join(u','))); });
    chat.OnRegistered.Add([this] { QTimer::singleShot(0, this, [this] { Registered(); }); });

    watch_ = new QTimer(this);
    watch_->setInterval(WatchMs);
    connect(watch_, &QTimer::timeout, this,
            [this] { longestStall_ = std::max(longestStall_, sinceTick_.restart() - WatchMs); });
}

TPeerProgram::~TPeerProgram() {
    program_.reset();
}

void TPeerProgram::Start() {
    sinceTick_.start();
    watch_->start();
    if (options_.QuitAfter)
        QTimer::singleShot(qint64(*options_.QuitAfter * 1000), this, [this] { Quit(0); });
    TChatSession& chat = program_->Chat();
    if (options_.Host) {
        chat.bCrearClick();
        if (program_->Game().Role() != TRole::Server) Quit(1);
    } else {
        chat.bConectarClick();
        if (program_->Game().Role() != TRole::Client) Quit(1);
    }
}

void TPeerProgram::Registered() {
    if (said_ || program_->Finished()) return;
    said_ = true;
    for (const QString& line : options_.Say)
        program_->Type(line);
}

void TPeerProgram::Quit(int status) {
    if (program_->Finished()) return;
    status_ = status;
    watch_->stop();
    if (options_.Stats)
        print_("stats: longest event-loop stall " + QString::number(longestStall_) + " ms");
    program_->Quit();
}
