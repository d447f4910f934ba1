#include "WindowPlacement.h"

#include <algorithm>

namespace {
// r moved (not resized) so that as much of it as possible lies on screen:
// right and bottom edges first, then left and top, so that a window larger
// than the screen shows its top-left corner.
QRect Clamped(QRect r, const QRect& screen) {
    if (screen.isEmpty()) return r;
    if (r.right() > screen.right()) r.moveRight(screen.right());
    if (r.bottom() > screen.bottom()) r.moveBottom(screen.bottom());
    if (r.left() < screen.left()) r.moveLeft(screen.left());
    if (r.top() < screen.top()) r.moveTop(screen.top());
    return r;
}

bool Fits(const QRect& r, const QRect& screen) {
    return screen.isEmpty() || screen.contains(r);
}
} // namespace

TDockPlacement PlaceDockedWindows(const TDockRequest& request) {
    TDockPlacement out;
    const QRect& screen = request.Screen;
    const QPoint beside(request.Main.right() + 1, request.Main.top());

    std::optional<QRect> chat;
    if (request.ChatVisible) chat = Clamped(QRect(beside, request.Chat), screen);
    out.Chat = chat;
    if (!request.RecordVisible) return out;

    const QSize size = request.Record;
    if (!chat) {
        out.Record = Clamped(QRect(beside, size), screen);
        return out;
    }
    const QRect candidates[] = {
        QRect(QPoint(chat->left(), chat->bottom() + 1), size), // under the chat
        QRect(QPoint(chat->right() + 1, chat->top()), size),   // right of the chat
        QRect(QPoint(request.Main.left() - size.width(), request.Main.top()), size), // left of main
    };
    for (const QRect& c : candidates)
        if (Fits(c, screen) && !c.intersects(*chat)) {
            out.Record = c;
            return out;
        }
    // Nowhere whole: under the chat window, as short as needed (never
    // shorter than its minimum, then overlapping the screen's foot rather
    // than the chat window).
    QRect r(QPoint(chat->left(), chat->bottom() + 1), size);
    if (!screen.isEmpty() && r.bottom() > screen.bottom()) {
        const int room = screen.bottom() - chat->bottom();
        r.setHeight(std::max(room, std::max(request.RecordMinHeight, 1)));
    }
    if (!screen.isEmpty() && r.right() > screen.right()) r.moveRight(screen.right());
    if (!screen.isEmpty() && r.left() < screen.left()) r.moveLeft(screen.left());
    out.Record = r;
    return out;
}
