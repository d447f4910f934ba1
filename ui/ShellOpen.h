#pragma once

#include <QString>

// Window show modes accepted by OpenWithShell (the desktop decides how the
// opened program's window appears, so the mode is only passed along).
enum class ShowMode { Hide = 0, Normal = 1, Minimized = 2, Maximized = 3 };

// Hands FileName to the desktop to open with the user's associated program.
// Parameters and Mode have no desktop equivalent and are ignored; the outcome
// is not examined.
void OpenWithShell(const QString& FileName, const QString& Parameters = QString(),
                   const QString& Folder = QString(), ShowMode Mode = ShowMode::Normal);
