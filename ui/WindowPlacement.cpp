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
    const QRect& main = request.Main;
    auto free = [&](const QRect& r, const std::optional<QRect>& other) {
        return Fits(r, screen) && !r.intersects(main) && !(other && r.intersects(*other));
    };
    // Beside the main window, at its right or else at its left, level with
    // its top (moved up or down onto the screen); nothing without room.
    auto beside = [&](QSize size) -> std::optional<QRect> {
        for (const int x : {main.right() + 1, main.left() - size.width()}) {
            QRect r(QPoint(x, main.top()), size);
            if (!screen.isEmpty()) {
                if (r.bottom() > screen.bottom()) r.moveBottom(screen.bottom());
                if (r.top() < screen.top()) r.moveTop(screen.top());
            }
            if (free(r, std::nullopt)) return r;
        }
        return std::nullopt;
    };

    std::optional<QRect> chat;
    if (request.ChatVisible) chat = beside(request.Chat);
    out.Chat = chat;
    if (!request.RecordVisible) return out;

    const QSize size = request.Record;
    if (!chat) {
        out.Record = beside(size);
        return out;
    }
    const QRect candidates[] = {
        QRect(QPoint(chat->left(), chat->bottom() + 1), size),              // under the chat
        QRect(QPoint(chat->right() + 1, chat->top()), size),                // right of the chat
        QRect(QPoint(main.left() - size.width(), main.top()), size),        // left of main
        QRect(QPoint(chat->left() - size.width(), chat->top()), size),      // left of the chat
        QRect(QPoint(main.right() + 1, chat->top() - size.height()), size), // above the chat
    };
    for (const QRect& c : candidates)
        if (free(c, chat)) {
            out.Record = c;
            return out;
        }
    // Nowhere whole: under the chat window, as short as needed (never
    // shorter than its minimum, then overlapping the screen's foot rather
    // than the chat window or the main window).
    QRect r(QPoint(chat->left(), chat->bottom() + 1), size);
    if (!screen.isEmpty() && r.bottom() > screen.bottom()) {
        const int room = screen.bottom() - chat->bottom();
        r.setHeight(std::max(room, std::max(request.RecordMinHeight, 1)));
    }
    if (!screen.isEmpty() && r.right() > screen.right()) r.moveRight(screen.right());
    if (!screen.isEmpty() && r.left() < screen.left()) r.moveLeft(screen.left());
    if (r.intersects(main)) return out; // no room at all: not docked
    out.Record = r;
    return out;
}

QPoint PlaceOnScreen(const QRect& frame, const QRect& screen) {
    return Clamped(frame, screen).topLeft();
}
