#pragma once

#include <QColor>
#include <QString>

class QApplication;
class QWidget;

// The program's flat look: one style sheet for buttons (also tool buttons
// and checkable ones), panels and frames, line edits, combo boxes, spin
// boxes, radio buttons and check boxes, lists and text views, tab pages,
// menus, progress bars and tool tips. Flat surfaces, one accent colour,
// lighter on hover and darker when pressed, the same padding everywhere.
//
// Labels and plain frames are left to their palette and font, so widgets
// that colour themselves (the clocks, the turn panel, nick and rating
// labels) keep their colours; a frame becomes a flat white panel with
// MarkPanel. Fonts are never set here.
namespace FlatStyle {

// Colours of the look, for windows that paint something to match.
QColor Window();      // window background
QColor Surface();     // panels, buttons at rest
QColor Border();      // frame lines
QColor Accent();      // focus, selection, checked buttons
QColor AccentHover(); // hovered accent
QColor Text();        // normal text

// The style sheet.
QString StyleSheet();

// Applies the look to the whole application (base style "Fusion" so every
// platform draws the same, plus the sheet). Call once after QApplication.
void Apply(QApplication& app);
// Applies the sheet to one widget and its children (windows of a test, or
// a window that should look flat inside a foreign application).
void Apply(QWidget* widget);
// Gives a frame (panel) the flat panel look: white, one thin border line.
void MarkPanel(QWidget* widget);

} // namespace FlatStyle
