#include "RecordFiles.h"

#include "GameController.h"
#include "GameFile.h"
#include "GameFileIO.h"
#include "ProgramEnv.h"
#include "ReplayBoard.h"
#include "StandardPgn.h"
#include "UiDialogs.h"

#include <QFileInfo>

#include <memory>

const QString TRecordFiles::SaveFilter = QStringLiteral(
    "Partida Zugaret CHAT|*.gam|Archivo PGN|*.pgn|Partida aplazada|*.apl|Todos los archivos|*.*");
const QString TRecordFiles::OpenFilter =
    QStringLiteral("Partida ZugaretCHAT|*.gam|Partida Kibraq|*.icg|Partida PGN|*.pgn|"
                   "Partida aplazada|*.apl|Todos los archivos|*.*");
const QString TRecordFiles::ExportFilter = QStringLiteral("PGN|*.pgn");

TRecordFiles::TRecordFiles(TGameController& game, QObject* parent)
    : QObject(parent), game_(game), gameQuestions_(game), folder_(game.Env().DataFolder()) {}

void TRecordFiles::ShowError(const QString& text) const {
    if (TUiDialogs* d = game_.Env().Dialogs()) d->ShowMessage(text, QString(), TMessageKind::Error);
}

void TRecordFiles::AskSaveName(TQuestion question, const QString& caption, const QString& filter,
                               const QString& ext, std::function<void(const QString&)> then) {
    TUiDialogs* d = game_.Env().Dialogs();
    if (!d) return then(QString());
    TFileDialogRequest request;
    request.Caption = caption;
    request.InitialFolder = folder_;
    request.FileName = QStringLiteral("sin titulo");
    request.Filter = filter;
    request.DefaultExt = ext;
    d->AskSaveFile(question, this, request, [this, then = std::move(then)](const QString& name) {
        if (!name.isEmpty()) folder_ = QFileInfo(name).absolutePath();
        then(name);
    });
}

namespace {
void Tell(const TRecordFiles::TDone& done, bool ok) {
    if (done) done(ok);
}
} // namespace

void TRecordFiles::Save(TDone done) {
    AskSaveName(TQuestion::SaveGame, QStringLiteral("Guardar partida"), SaveFilter, "gam",
                [this, done](const QString& name) {
                    if (name.isEmpty()) return Tell(done, false);
                    QString error;
                    const bool saved =
                        SaveOwnGameFile(name, game_.RecordHeader(), game_.Record(), &error);
                    if (!saved) ShowError(error);
                    Tell(done, saved);
                });
}

void TRecordFiles::ExportPgn(TDone done) {
    AskSaveName(TQuestion::ExportGame, QStringLiteral("Exportar PGN"), ExportFilter, "pgn",
                [this, done](const QString& name) {
                    if (name.isEmpty()) return Tell(done, false);
                    TReplayBoard board;
                    TStandardGame standard;
                    QString error;
                    if (!StandardGameOfRecord(game_.RecordHeader(), game_.Record(), board,
                                              &standard, &error)) {
                        ShowError(QStringLiteral("No se pudo exportar la partida: ") + error);
                        return Tell(done, false);
                    }
                    const bool saved = SaveRecordLines(name, WriteStandardPgn(standard), &error);
                    if (!saved) ShowError(error);
                    Tell(done, saved);
                });
}

void TRecordFiles::Open(TDone done) {
    TUiDialogs* d = game_.Env().Dialogs();
    if (!d) return Tell(done, false);
    TFileDialogRequest request;
    request.Caption = QStringLiteral("Abrir partida");
    request.InitialFolder = folder_;
    request.Filter = OpenFilter;
    request.DefaultExt = QStringLiteral("gam");
    d->AskOpenFile(TQuestion::OpenGame, this, request,
                   [this, done](const QString& name) { Opened(name, done); });
}

void TRecordFiles::Opened(const QString& name, const TDone& done) {
    if (name.isEmpty()) return Tell(done, false);
    folder_ = QFileInfo(name).absolutePath();
    QByteArray bytes;
    QString error;
    if (!ReadGameFileBytes(name, &bytes, &error)) {
        ShowError(error);
        return Tell(done, false);
    }
    // Kept by the list's answer, and freed with it.
    auto file = std::make_shared<const TGameFile>(TGameFile::FromBytes(bytes, name));
    if (file->Count() == 0) {
        ShowError(QStringLiteral("El archivo no contiene ninguna partida"));
        return Tell(done, false);
    }
    if (file->Count() == 1) return OpenChosen(file->Read(0), done);
    TUiDialogs* d = game_.Env().Dialogs();
    if (!d) return Tell(done, false);
    QStringList items;
    items.reserve(file->Count());
    for (const TGameIndexEntry& e : file->Index())
        items << e.Text();
    d->AskChoice(TQuestion::PickGame, this, QStringLiteral("Abrir partida"),
                 QStringLiteral("El archivo contiene %1 partidas. Elija una:").arg(file->Count()),
                 items, int(file->Preselected()), [this, done, file](std::optional<int> pick) {
                     if (!pick) return Tell(done, false);
                     OpenChosen(file->Read(*pick), done);
                 });
}

void TRecordFiles::OpenChosen(const TOpenedGame& game, const TDone& done) {
    if (!game.Opened()) {
        ShowError(QStringLiteral("No se pudo abrir la partida: ") + game.Error);
        return Tell(done, false);
    }
    if (game_.GameInProgress() && game_.GameMode() != TGameMode::Replay) {
        QString question = QString::fromUtf8("¿Interrumpir la partida actual?");
        // A network game given up is lost: the opponent is told so.
        if (game_.PlaysNetworkGame())
            question += QString::fromUtf8("\n\rLa partida en red se dará por perdida.");
        // Withdrawn when that game ends first: the file is not opened then.
        gameQuestions_.Ask(
            TQuestion::InterruptGame, this, question,
            [this, done, game](bool ok) {
                if (!ok) return Tell(done, false);
                game_.AbandonGame();
                Tell(done, game_.OpenReplay(game));
            },
            TQuestionButtons::OkCancel);
        return;
    }
    Tell(done, game_.OpenReplay(game));
}
