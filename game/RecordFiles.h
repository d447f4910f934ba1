#pragma once
// TRecordFiles: the file commands of the record window over one game:
// saving the record in the program's own format (bGuardar), opening a game
// file and replaying one of its games (bAbrir), and exporting the current
// game as standard PGN ("Exportar PGN"). It asks the user only through the
// environment's dialogs, so the commands run the same in a test without
// windows. Nothing waits: each command asks and returns, and goes on when
// the answer comes; its questions close if this object goes first.
//
// What must stay true:
//  - a cancelled dialog changes nothing and writes nothing;
//  - a file that cannot be read, or a game in it that cannot be played,
//    is reported and leaves the game shown as it was; a game in progress is
//    only given up for a replay after the user agreed;
//  - a file with several games is never opened as one: the user picks one,
//    starting on the last;
//  - a failed save or export is reported with the system's error text and
//    leaves any old file whole.

#include "GameQuestions.h"
#include "UiDialogs.h"

#include <QObject>
#include <QString>

#include <functional>

class TGameController;
struct TOpenedGame;

class TRecordFiles : public QObject {
public:
    // Told whether the file was written, or the game opened.
    using TDone = std::function<void(bool)>;

    explicit TRecordFiles(TGameController& game, QObject* parent = nullptr);

    // The file dialogs' filters, in the dialogs' "description|pattern" form.
    static const QString SaveFilter;
    static const QString OpenFilter;
    static const QString ExportFilter;

    // Each tells done (if any) whether the file was written, or the game
    // opened, once the user has answered.
    void Save(TDone done = {});
    void Open(TDone done = {});
    void ExportPgn(TDone done = {});

private:
    void AskSaveName(TQuestion question, const QString& caption, const QString& filter,
                     const QString& ext, std::function<void(const QString&)> then);
    void Opened(const QString& name, const TDone& done);
    void OpenChosen(const TOpenedGame& game, const TDone& done);
    void ShowError(const QString& text) const;

    TGameController& game_;
    TGameQuestions gameQuestions_;
    // Where the next file dialog starts: the program's folder at first, then
    // the folder of the last file chosen.
    QString folder_;
};
