#pragma once
// Writing files so that a full disk, a file-size limit or any other failure
// never costs what was there before: a file the program replaces (the
// settings, a saved game, an export) is written whole beside the old one,
// flushed to the disk and checked before it takes the old one's name; a
// file the program appends to (the PGN database) gets all of the new bytes
// or none of them.
//
// What must stay true:
//  - a failure leaves the old file exactly as it was and is reported with
//    the system's own reason ("No space left on device", "File too large"),
//    never as success and never as "Unknown error";
//  - no write here can end the process: SIGXFSZ (a write past the process's
//    file-size limit) is ignored from the first write on, so the write fails
//    with EFBIG and is reported like any other failure.

#include <QByteArray>
#include <QString>

class QFile;

// Replaces the file at path by bytes. False and the system's reason in why
// when it could not; the old file is then untouched.
bool ReplaceFileContents(const QString& path, const QByteArray& bytes, QString* why);

// Writes all of bytes to the end of a file opened unbuffered for appending.
// False and the system's reason when not all of them went; the caller cuts
// the file back.
bool AppendAll(QFile& file, const QByteArray& bytes, QString* why);

// SIGXFSZ ignored for the rest of the process (the write that passes the
// file-size limit then fails with EFBIG instead of killing the program).
void IgnoreFileSizeSignal();
