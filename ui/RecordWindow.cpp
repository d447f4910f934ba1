#include "RecordWindow.h"

#include "GameController.h"
#include "HeadlessProgram.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
constexpr int ImageSide = 19;

QToolButton* MakeButton(QWidget* parent, const QString& text, const QString& hint) {
    auto* b = new QToolButton(parent);
    b->setText(text);
    b->setToolTip(hint);
    b->setAutoRaise(false);
    b->setMinimumSize(30, 26);
    return b;
}
} // namespace

TFrmPartida::TFrmPartida(THeadlessProgram& program, std::function<QPixmap(char)> pieceImage,
                         QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint),
      game_(program.Game()), pieceImage_(std::move(pieceImage)), files_(game_) {
    connect(&program, &THeadlessProgram::OnDestroying, this, [this] { delete this; });
    setObjectName("FrmPartida");
    setAttribute(Qt::WA_QuitOnClose, false); // the program ends with the main window
    setWindowTitle("Partida");
    BuildControls();
    BuildLayout();
    BindGame();
}

void TFrmPartida::BuildControls() {
    FListaPNG = new QPlainTextEdit(this);
    FListaPNG->setObjectName("FListaPNG");
    FListaPNG->setReadOnly(true);
    FListaPNG->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    FListaPNG->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont mono("Courier New");
    mono.setStyleHint(QFont::Monospace);
    mono.setPointSize(9);
    FListaPNG->setFont(mono);

    bAbrir = MakeButton(this, "Abrir", "Abrir partida");
    bGuardar = MakeButton(this, "Guardar", "Guardar la partida actual\nan formato GAM o PGN");
    bExportar = MakeButton(this, "Exportar PGN", "Exportar PGN");
    bAtras = MakeButton(this, QString(QChar(0x25C0)), "Atras");
    bAdelante = MakeButton(this, QString(QChar(0x25B6)), "Adelante");
    bAnimar = MakeButton(this, "Animar", "Animar partida");
    bAnimar->setCheckable(true);
    SpeedButton1 = MakeButton(this, "?", QString());
    for (auto* b : {bAtras, bAdelante, bAnimar})
        b->setEnabled(false);

    chAuto = new QCheckBox("Autoguardar PGN", this);
    chAuto->setChecked(true);
    chAuto->setToolTip("Guarda las partidas en formato PGN\ncompatible con Chessbase, Genius, "
                       "\nFritz, etc.  automaticamente.");
    SpinEdit1 = new QSpinBox(this);
    SpinEdit1->setRange(50, 5000);
    SpinEdit1->setValue(500);
    Timer1 = new QTimer(this);
    Timer1->setInterval(700);

    // Captured pieces: White's from the top, Black's from the bottom upwards.
    const QChar queen(0x265B), rook(0x265C), bishop(0x265D), knight(0x265E), pawn(0x265F);
    B_D = MakePieceImage(queen, true, "B_D");
    B_T_1 = MakePieceImage(rook, true, "B_T_1");
    B_T_2 = MakePieceImage(rook, true, "B_T_2");
    B_C_1 = MakePieceImage(knight, true, "B_C_1");
    B_C_2 = MakePieceImage(knight, true, "B_C_2");
    B_A_1 = MakePieceImage(bishop, true, "B_A_1");
    B_A_2 = MakePieceImage(bishop, true, "B_A_2");
    B_P = MakePieceImage(pawn, true, "B_P");
    N_D = MakePieceImage(queen, false, "N_D");
    N_T_1 = MakePieceImage(rook, false, "N_T_1");
    N_T_2 = MakePieceImage(rook, false, "N_T_2");
    N_C_1 = MakePieceImage(knight, false, "N_C_1");
    N_C_2 = MakePieceImage(knight, false, "N_C_2");
    N_A_1 = MakePieceImage(bishop, false, "N_A_1");
    N_A_2 = MakePieceImage(bishop, false, "N_A_2");
    N_P = MakePieceImage(pawn, false, "N_P");
    for (auto [button, name] : {std::pair{bAbrir, "bAbrir"},
                                {bGuardar, "bGuardar"},
                                {bExportar, "bExportar"},
                                {bAtras, "bAtras"},
                                {bAdelante, "bAdelante"},
                                {bAnimar, "bAnimar"},
                                {SpeedButton1, "SpeedButton1"}})
        button->setObjectName(QString::fromLatin1(name));
    chAuto->setObjectName("chAuto");
    SpinEdit1->setObjectName("SpinEdit1");
    Timer1->setObjectName("Timer1");
}

void TFrmPartida::BuildLayout() {
    auto* strip = new QVBoxLayout;
    strip->setSpacing(0);
    strip->setContentsMargins(0, 0, 0, 0);
    for (auto* img : {B_D, B_T_1, B_T_2, B_C_1, B_C_2, B_A_1, B_A_2, B_P})
        strip->addWidget(img);
    strip->addStretch(1);
    for (auto* img : {N_P, N_A_2, N_A_1, N_C_2, N_C_1, N_T_2, N_T_1, N_D})
        strip->addWidget(img);

    auto* tools = new QHBoxLayout;
    tools->setSpacing(3);
    for (auto* b : {bAbrir, bGuardar, bAtras, bAdelante, bAnimar, bExportar})
        tools->addWidget(b);
    tools->addStretch(1);
    tools->addWidget(SpeedButton1);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(chAuto);
    bottom->addStretch(1);
    bottom->addWidget(SpinEdit1);

    auto* right = new QVBoxLayout;
    right->setSpacing(4);
    right->addLayout(tools);
    right->addWidget(FListaPNG, 1);
    right->addLayout(bottom);

    auto* all = new QHBoxLayout(this);
    all->setContentsMargins(6, 6, 6, 6);
    all->setSpacing(6);
    all->addLayout(strip);
    all->addLayout(right, 1);
    resize(480, 320);
}

void TFrmPartida::BindGame() {
    chAuto->setChecked(game_.AutoSavePgn());
    connect(chAuto, &QCheckBox::toggled, this, [this](bool on) { game_.SetAutoSavePgn(on); });
    connect(SpinEdit1, &QSpinBox::valueChanged, this, [this](int ms) { Timer1->setInterval(ms); });
    connect(bAbrir, &QToolButton::clicked, this, [this] { bAbrirClick(); });
    connect(bGuardar, &QToolButton::clicked, this, [this] { bGuardarClick(); });
    connect(bExportar, &QToolButton::clicked, this, [this] { bExportarClick(); });
    connect(bAdelante, &QToolButton::clicked, this, [this] { bAdelanteClick(true); });
    connect(bAtras, &QToolButton::clicked, this, [this] { bAtrasClick(true); });
    connect(bAnimar, &QToolButton::clicked, this, [this] { bAnimarClick(); });
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { OnHelp(); });

    connect(&game_, &TGameController::OnRecordChanged, this, [this] { ShowRecord(); });
    connect(&game_, &TGameController::OnCapturedChanged, this, [this] { ShowCaptured(); });
    connect(&game_, &TGameController::OnTitleChanged, this, [this] {
        setWindowTitle(game_.RecordCaption().isEmpty() ? QStringLiteral("Partida")
                                                       : game_.RecordCaption());
    });
    connect(&game_, &TGameController::OnGameStarted, this, [this] { GameStarted(); });
    // The memo would take the arrow keys for its scroll bars.
    FListaPNG->installEventFilter(this);
    ShowRecord();
}

TFrmPartida::~TFrmPartida() = default;

QLabel* TFrmPartida::MakePieceImage(QChar glyph, bool white, const QString& name) {
    auto* label = new QLabel(this);
    label->setObjectName(name);
    label->setFixedSize(ImageSide, ImageSide);
    label->setAlignment(Qt::AlignCenter);
    // Each image keeps its place in the column while hidden.
    QSizePolicy keep = label->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    label->setSizePolicy(keep);
    label->setVisible(false);
    // The board's own piece set when there is one, else a drawn glyph.
    const QString glyphs =
        QString(QChar(0x265B)) + QChar(0x265C) + QChar(0x265E) + QChar(0x265D) + QChar(0x265F);
    const int kind = glyphs.indexOf(glyph);
    if (pieceImage_ && kind >= 0) {
        const char letter = QByteArray(white ? "QRNBP" : "qrnbp").at(kind);
        const QPixmap piece = pieceImage_(letter);
        if (!piece.isNull()) {
            label->setPixmap(
                piece.scaled(ImageSide, ImageSide, Qt::KeepAspectRatio, Qt::SmoothTransformation));
            return label;
        }
    }
    const qreal dpr = 2.0;
    QPixmap pm(int(ImageSide * dpr), int(ImageSide * dpr));
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    {
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        QFont f("DejaVu Sans");
        f.setPixelSize(ImageSide - 2);
        QPainterPath path;
        path.addText(0, 0, f, QString(glyph));
        const QRectF r = path.boundingRect();
        path.translate(ImageSide / 2.0 - r.center().x(), ImageSide / 2.0 - r.center().y());
        p.setPen(QPen(white ? QColor(40, 40, 40) : QColor(0, 0, 0), 1.0));
        p.setBrush(white ? QColor(255, 255, 255) : QColor(30, 30, 30));
        p.drawPath(path);
    }
    label->setPixmap(pm);
    return label;
}

QStringList TFrmPartida::VisibleCapturedImages() const {
    QStringList names;
    for (const QLabel* img : {B_D, B_T_1, B_T_2, B_C_1, B_C_2, B_A_1, B_A_2, B_P, N_D, N_T_1, N_T_2,
                              N_C_1, N_C_2, N_A_1, N_A_2, N_P})
        if (!img->isHidden()) names << img->objectName();
    return names;
}

QStringList TFrmPartida::Lines() const {
    const QString text = FListaPNG->toPlainText();
    if (text.isEmpty()) return {};
    return text.split('\n');
}

void TFrmPartida::ShowRecord() {
    // Moves add a line or lengthen the last one: the memo follows without
    // writing the whole record again. Any other change (a new game, an
    // opened file, however many lines it has) writes it whole.
    const QStringList& record = game_.Record();
    const qsizetype n = record.size();
    const qsizetype shown = shown_.size();
    auto sameFirst = [&](qsizetype count) {
        for (qsizetype i = 0; i < count; ++i)
            if (record.at(i) != shown_.at(i)) return false;
        return true;
    };
    if (n == shown + 1 && sameFirst(shown)) {
        FListaPNG->appendPlainText(record.last());
    } else if (n == shown && n > 0 && sameFirst(n - 1)) {
        QTextCursor c(FListaPNG->document()->lastBlock());
        c.select(QTextCursor::BlockUnderCursor);
        c.movePosition(QTextCursor::StartOfBlock);
        c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        c.insertText(record.last());
    } else {
        FListaPNG->setPlainText(record.join(u'\n'));
    }
    shown_ = record;
    FListaPNG->moveCursor(QTextCursor::End);
    FListaPNG->ensureCursorVisible();
}

void TFrmPartida::ShowCaptured() {
    const TCapturedPieces& c = game_.Captured();
    const QLabel* const white[4][2] = {
        {B_D, nullptr}, {B_T_1, B_T_2}, {B_C_1, B_C_2}, {B_A_1, B_A_2}};
    const QLabel* const black[4][2] = {
        {N_D, nullptr}, {N_T_1, N_T_2}, {N_C_1, N_C_2}, {N_A_1, N_A_2}};
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 2; ++k) {
            if (white[i][k]) const_cast<QLabel*>(white[i][k])->setVisible(c.White[i] > k);
            if (black[i][k]) const_cast<QLabel*>(black[i][k])->setVisible(c.Black[i] > k);
        }
}

void TFrmPartida::GameStarted() {
    StopAnimation();
    const bool replay = game_.GameMode() == TGameMode::Replay;
    bAtras->setEnabled(replay);
    bAdelante->setEnabled(replay);
    bAnimar->setEnabled(replay);
}

void TFrmPartida::StopAnimation() {
    if (Timer1->isActive()) Timer1->stop();
    bAnimar->setChecked(false);
}

void TFrmPartida::bAbrirClick() {
    files_.Open();
}

void TFrmPartida::bGuardarClick() {
    files_.Save();
}

void TFrmPartida::bExportarClick() {
    files_.ExportPgn();
}

bool TFrmPartida::ReplayKeyPress(int key) {
    if ((key != Qt::Key_Left && key != Qt::Key_Right) || !bAdelante->isEnabled() ||
        game_.GameMode() != TGameMode::Replay)
        return false;
    if (key == Qt::Key_Left)
        bAtrasClick(true);
    else
        bAdelanteClick(true);
    return true;
}

void TFrmPartida::keyPressEvent(QKeyEvent* event) {
    if (!(event->modifiers() & ~Qt::KeypadModifier) && ReplayKeyPress(event->key()))
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

bool TFrmPartida::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FListaPNG && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!(key->modifiers() & ~Qt::KeypadModifier) && ReplayKeyPress(key->key())) return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TFrmPartida::bAdelanteClick(bool byUser) {
    if (byUser) StopAnimation();
    game_.ReplayForward();
}

void TFrmPartida::bAtrasClick(bool byUser) {
    if (byUser) StopAnimation();
    game_.ReplayBack();
}

void TFrmPartida::bAnimarClick() {
    if (game_.ReplayMoves.isEmpty()) return;
    if (bAnimar->isChecked())
        Timer1->start();
    else
        Timer1->stop();
}

void TFrmPartida::Timer1Timer() {
    bAdelanteClick(false);
    // The button stays down until the user clicks it again.
    if (game_.ReplayCursor > game_.ReplayMoves.size()) Timer1->stop();
}

void TFrmPartida::closeEvent(QCloseEvent* event) {
    event->ignore();
}
