#include "RecordFiles.h"

#include "GameController.h"
#include "GameFile.h"
#include "GameFileIO.h"
#include "ProgramEnv.h"
#include "ReplayBoard.h"
#include "StandardPgn.h"
#include "UiDialogs.h"

#include <QFileInfo>

const QString TRecordFiles::SaveFilter = QStringLiteral(
    "Partida Zugaret CHAT|*.gam|Archivo PGN|*.pgn|Partida aplazada|*.apl|Todos los archivos|*.*");
const QString TRecordFiles::OpenFilter =
    QStringLiteral("Partida ZugaretCHAT|*.gam|Partida Kibraq|*.icg|Partida PGN|*.pgn|"
                   "Partida aplazada|*.apl|Todos los archivos|*.*");
const QString TRecordFiles::ExportFilter = QStringLiteral("PGN|*.pgn");

TRecordFiles::TRecordFiles(TGameController& game) : game_(game), folder_(game.Env().DataFolder()) {}

void TRecordFiles::ShowError(const QString& text) const {
    if (TUiDialogs* d = game_.Env().Dialogs()) d->ShowMessage(text, QString(), TMessageKind::Error);
}

QString TRecordFiles::AskSaveName(const QString& caption, const QString& filter,
                                  const QString& ext) {
    TUiDialogs* d = game_.Env().Dialogs();
    if (!d) return {};
    TFileDialogRequest request;
    request.Caption = caption;
    request.InitialFolder = folder_;
    request.FileName = QStringLiteral("sin titulo");
    request.Filter = filter;
    request.DefaultExt = ext;
    const QString name = d->SaveFileName(request);
    if (!name.isEmpty()) folder_ = QFileInfo(name).absolutePath();
    return name;
}

bool TRecordFiles::Save() {
    const QString name = AskSaveName(QStringLiteral("Guardar partida"), SaveFilter, "gam");
    if (name.isEmpty()) return false;
    QString error;
    if (SaveOwnGameFile(name, game_.RecordHeader(), game_.Record(), &error)) return true;
    ShowError(error);
    return false;
}

bool TRecordFiles::ExportPgn() {
    const QString name = AskSaveName(QStringLiteral("Exportar PGN"), ExportFilter, "pgn");
    if (name.isEmpty()) return false;
    TReplayBoard board;
    TStandardGame standard;
    QString error;
    if (!StandardGameOfRecord(game_.RecordHeader(), game_.Record(), board, &standard, &error)) {
        ShowError(QStringLiteral("No se pudo exportar la partida: ") + error);
        return false;
    }
    if (SaveRecordLines(name, WriteStandardPgn(standard), &error)) return true;
    ShowError(error);
    return false;
}

bool TRecordFiles::Open() {
    TUiDialogs* d = game_.Env().Dialogs();
    if (!d) return false;
    TFileDialogRequest request;
    request.Caption = QStringLiteral("Abrir partida");
    request.InitialFolder = folder_;
    request.Filter = OpenFilter;
    request.DefaultExt = QStringLiteral("gam");
    const QString name = d->OpenFileName(request);
    if (name.isEmpty()) return false;
    folder_ = QFileInfo(name).absolutePath();

    QByteArray bytes;
    QString error;
    if (!ReadGameFileBytes(name, &bytes, &error)) {
        ShowError(error);
        return false;
    }
    const TGameFile file = TGameFile::FromBytes(bytes, name);
    if (file.Count() == 0) {
        ShowError(QStringLiteral("El archivo no contiene ninguna partida"));
        return false;
    }
    qsizetype chosen = 0;
    if (file.Count() > 1) {
        QStringList items;
        items.reserve(file.Count());
        for (const TGameIndexEntry& e : file.Index())
            items << e.Text();
        const std::optional<int> pick = d->ChooseItem(
            QStringLiteral("Abrir partida"),
            QStringLiteral("El archivo contiene %1 partidas. Elija una:").arg(file.Count()), items,
            int(file.Preselected()));
        if (!pick || *pick < 0 || *pick >= file.Count()) return false;
        chosen = *pick;
    }
    const TOpenedGame game = file.Read(chosen);
    if (!game.Opened()) {
        ShowError(QStringLiteral("No se pudo abrir la partida: ") + game.Error);
        return false;
    }
    if (game_.GameInProgress() && game_.GameMode() != TGameMode::Replay) {
        QString question = QString::fromUtf8("¿Interrumpir la partida actual?");
        // A network game given up is lost: the opponent is told so.
        if (game_.PlaysNetworkGame())
            question += QString::fromUtf8("\n\rLa partida en red se dará por perdida.");
        if (!d->AskOkCancel(question)) return false;
        game_.AbandonGame();
    }
    return game_.OpenReplay(game);
}
