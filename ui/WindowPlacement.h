#pragma once

#include <QRect>
#include <QSize>

#include <optional>

// Where the chat and record windows go while they are docked beside the
// main window: the chat window at the main window's right edge, level with
// its top; the record window under the chat window (or, with the chat window
// hidden, at the main window's right edge). All rectangles are frame
// rectangles (window decorations included), in screen coordinates.
//
// What must stay true: a docked window never covers the main window, lies
// wholly on the available area of the main window's screen (the record
// window, shortened, may reach past its foot), and the two docked windows
// never overlap. The chat window goes to the main window's right, else to
// its left; with room on neither side it is not docked (left where it is).
// When the record window does not fit under the chat window it goes to the
// chat window's right, else to the main window's left, else to the chat
// window's left, else above it, else under it shortened (down to its
// minimum height). A maximised chat window is not docked and the record
// window docks as if the chat window were hidden.
struct TDockRequest {
    QRect Main;                 // the main window's frame
    QRect Screen;               // available area of the main window's screen
    bool ChatVisible = false;   // shown and docked
    QSize Chat;                 // the chat window's frame size
    bool RecordVisible = false; // shown
    QSize Record;               // the record window's frame size
    int RecordMinHeight = 0;    // frame height the record window cannot go below
};

struct TDockPlacement {
    std::optional<QRect> Chat;   // new frame of the chat window, if it is docked
    std::optional<QRect> Record; // new frame of the record window, if shown
};

TDockPlacement PlaceDockedWindows(const TDockRequest& request);

// Where a window of that frame opens so that it lies on the screen's
// available area: moved, not resized; a window larger than the screen shows
// its top-left corner.
QPoint PlaceOnScreen(const QRect& frame, const QRect& screen);
