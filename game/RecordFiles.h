#pragma once
// TRecordFiles: the file commands of the record window over one game:
// saving the record in the program's own format (bGuardar), opening a game
// file and replaying one of its games (bAbrir), and exporting the current
// game as standard PGN ("Exportar PGN"). It asks the user only through the
// environment's dialogs, so the commands run the same in a test without
// windows.
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

#include <QString>

class TGameController;

class TRecordFiles {
public:
    explicit TRecordFiles(TGameController& game);

    // The file dialogs' filters, in the dialogs' "description|pattern" form.
    static const QString SaveFilter;
    static const QString OpenFilter;
    static const QString ExportFilter;

    // Each is true when the file was written, or the game opened.
    bool Save();
    bool Open();
    bool ExportPgn();

private:
    QString AskSaveName(const QString& caption, const QString& filter, const QString& ext);
    void ShowError(const QString& text) const;

    TGameController& game_;
    // Where the next file dialog starts: the program's folder at first, then
    // the folder of the last file chosen.
    QString folder_;
};
