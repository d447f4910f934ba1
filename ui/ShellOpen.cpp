#include "ShellOpen.h"

#include "TextUtils.h"

#include <QDesktopServices>

void OpenWithShell(const QString& FileName, const QString& Parameters, const QString& Folder,
                   ShowMode Mode) {
    Q_UNUSED(Parameters);
    Q_UNUSED(Mode);
    QDesktopServices::openUrl(ShellTarget(FileName, Folder));
}
