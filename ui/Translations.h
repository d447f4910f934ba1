#pragma once

class QCoreApplication;

// The toolkit's own texts (the buttons of message boxes, input boxes and file
// dialogs: "Aceptar", "Cancelar", "Sí", "No") in Spanish, as the rest of the
// program. The translations are Qt's own, from the system's Qt translations
// folder; without them the toolkit keeps its English texts and the program
// works all the same. Returns whether they were found and installed. The
// translator belongs to app and lives as long as it does.
bool InstallSpanishToolkitTexts(QCoreApplication& app);
