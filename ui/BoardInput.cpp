// The board's motion: what the model asks of its view while a move is
// made (repaints, the animation after the move), and the mouse: presses,
// drags, drops, clicks, resizing by the corner, and the user's moves.
#include "BoardWidget.h"

#include <QApplication>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPointer>
#include <QVariantAnimation>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {
bool IsSizeCursor(Qt::CursorShape shape) {
    return shape == Qt::SizeFDiagCursor || shape == Qt::SizeBDiagCursor ||
           shape == Qt::SizeHorCursor || shape == Qt::SizeVerCursor;
}
} // namespace

// ---------------------------------------------------------------- hooks of the model

void TChessBrd::RepaintSquare(Square s) {
    DrawSquare(s);
    SyncHighlights();
}

void TChessBrd::EraseSquare(Square s) {
    if (!IsOnBoard(s)) return;
    erased_.set(Ord(s));
    update(SquareRect(s).united(PieceRect(s)));
}

void TChessBrd::RepaintAll() {
    // A new position: no piece is on its way any more.
    FinishAnimation();
    erased_.reset();
    update();
    SyncHighlights();
}

// Grid lines are drawn with the squares in every paint.
void TChessBrd::PaintGridLines() {}

void TChessBrd::AnimateMove(Square from, Square to) {
    // One animation at a time: a running one jumps to its end.
    FinishAnimation();
    // Nothing to see, or a paint is running (a host's OnPaint handler moved).
    if (painting_ || !isVisible() || !IsOnBoard(from) || !IsOnBoard(to)) return;
    // The user is dragging: the drag ends and the move is not animated.
    if (dragShown_) {
        CancelDrag();
        return;
    }
    // The move has been made: the piece already stands on to.
    const char letter = model_.PieceAt(to);
    const QPixmap image = PieceImage(letter);
    if (image.isNull()) return;

    const QPoint start = PieceRect(from).topLeft();
    const QPoint end = PieceRect(to).topLeft();
    std::vector<QPoint> path;
    const int dx = end.x() - start.x(), dy = end.y() - start.y();
    if (letter == 'N' || letter == 'n') {
        // A knight goes sideways first, along the rank, then up or down the file.
        const int sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
        for (int x = start.x();; x += sx) {
            path.emplace_back(x, start.y());
            if (x == end.x()) break;
        }
        for (int y = start.y() + sy; dy != 0; y += sy) {
            path.emplace_back(end.x(), y);
            if (y == end.y()) break;
        }
    } else {
        const int major = std::max(std::abs(dx), std::abs(dy));
        for (int i = 0; i <= major; ++i) {
            if (std::abs(dx) >= std::abs(dy))
                path.emplace_back(start.x() + (dx < 0 ? -i : i),
                                  start.y() + (major ? i * dy / major : 0));
            else
                path.emplace_back(start.x() + (major ? i * dx / major : 0),
                                  start.y() + (dy < 0 ? -i : i));
        }
    }

    animating_ = true;
    animatedTo_ = to;
    animationPath_ = std::move(path);
    floatImage_ = image;
    floatPos_ = animationPath_.front();
    animationStep_ = -1;
    update(SquareRect(to).united(PieceRect(to)).united(FloatingRect()));
    StepAnimation(0); // it sets off
    if (!animation_) {
        animation_ = new QVariantAnimation(this);
        connect(animation_, &QVariantAnimation::valueChanged, this,
                [this](const QVariant& v) { StepAnimation(v.toInt()); });
        connect(animation_, &QVariantAnimation::finished, this, [this] {
            StepAnimation(static_cast<int>(animationPath_.size()) - 1); // it lands
            FinishAnimation();
        });
    }
    const int steps = static_cast<int>(animationPath_.size());
    animation_->setStartValue(0);
    animation_->setEndValue(steps - 1);
    animation_->setDuration(
        std::clamp(steps * AnimationMsPerPixel, AnimationShortestMs, AnimationLongestMs));
    animation_->start();
}

void TChessBrd::StepAnimation(int step) {
    if (!animating_ || animationPath_.empty()) return;
    step = std::clamp(step, 0, static_cast<int>(animationPath_.size()) - 1);
    if (step == animationStep_) return;
    animationStep_ = step;
    const QRect old = FloatingRect();
    floatPos_ = animationPath_[static_cast<size_t>(step)];
    update(old.united(FloatingRect()));
    emit animationStepped(floatPos_);
}

void TChessBrd::FinishAnimation() {
    if (!animating_) return;
    animating_ = false;
    if (animation_) animation_->stop();
    update(FloatingRect());
    if (IsOnBoard(animatedTo_)) update(SquareRect(animatedTo_).united(PieceRect(animatedTo_)));
    floatImage_ = QPixmap();
    animatedTo_ = Square::None;
    animationPath_.clear();
}

// ---------------------------------------------------------------- mouse

bool TChessBrd::event(QEvent* e) {
    const QPointer<TChessBrd> alive(this); // the event may delete the board (deleteLater)
    ++eventDepth_;
    const bool handled = QWidget::event(e);
    if (!alive) return handled;
    --eventDepth_;
    // The engine's message hook runs after each event this board handles,
    // but not inside an event that is still being handled.
    if (eventDepth_ == 0 && !destroying_ && !painting_) model_.MessageHook();
    return handled;
}

void TChessBrd::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    KeepSquare();
}

bool TChessBrd::DropAccepted(Square target) const {
    const Square source = model_.DragSource();
    if (!IsOnBoard(source) || !IsOnBoard(target) || model_.Thinking()) return false;
    return target == source || model_.IsLegalMove(source, target);
}

void TChessBrd::StartDrag(const QPoint& pos) {
    pressed_ = false;
    const QPixmap image = PieceImage(model_.PieceAt(pressSquare_));
    if (image.isNull()) return; // the piece left meanwhile
    model_.SetDragSource(pressSquare_);
    model_.SetDropTarget(Square::None);
    dragShown_ = true;
    floatImage_ = image;
    floatPos_ = pos - QPoint(image.width() / 2, image.height() / 2);
    if (!cursorSaved_) savedCursor_ = cursor(), cursorSaved_ = true;
    update(SquareRect(pressSquare_).united(PieceRect(pressSquare_)).united(FloatingRect()));
    SyncHighlights();
}

void TChessBrd::MoveDrag(const QPoint& pos) {
    const QRect old = FloatingRect();
    floatPos_ = pos - QPoint(floatImage_.width() / 2, floatImage_.height() / 2);
    update(old.united(FloatingRect()));
    setCursor(DropAccepted(rect().contains(pos) ? SquareAtPoint(pos.x(), pos.y()) : Square::None)
                  ? Qt::ClosedHandCursor
                  : Qt::ForbiddenCursor);
}

void TChessBrd::EndDragDisplay() {
    const Square source = model_.DragSource();
    dragShown_ = false;
    update(FloatingRect());
    if (IsOnBoard(source)) update(SquareRect(source).united(PieceRect(source)));
    floatImage_ = QPixmap();
    if (cursorSaved_) setCursor(savedCursor_), cursorSaved_ = false;
    SyncHighlights();
}

void TChessBrd::FinishDrag(const QPoint& pos) {
    const Square source = model_.DragSource();
    const Square target = rect().contains(pos) ? SquareAtPoint(pos.x(), pos.y()) : Square::None;
    const bool accepted = DropAccepted(target);
    EndDragDisplay();
    if (accepted) {
        model_.SetDropTarget(target);
        if (target != source) UserMove(source, target); // not animated: it is the drop
    } else if (OnIllegalMove) {
        OnIllegalMove(this, source);
    }
    // A later move along the same squares is no drop and is animated.
    model_.SetDragSource(Square::None);
    model_.SetDropTarget(Square::None);
}

bool TChessBrd::UserMove(Square from, Square to) {
    const char piece = IsOnBoard(from) ? model_.PieceAt(from) : ' ';
    const bool promotes = (piece == 'P' && RankOf(to) == 8) || (piece == 'p' && RankOf(to) == 1);
    if (!promotes || !model_.IsLegalMove(from, to) ||
        !isSignalConnected(QMetaMethod::fromSignal(&TChessBrd::promotionChoiceNeeded)))
        return model_.Move(from, to);
    promotion_ = {from, to, model_.Position(), model_.WhiteToMove(), model_.CurrentMove()};
    emit promotionChoiceNeeded(from, to);
    return true;
}

void TChessBrd::AnswerPromotion(char letter) {
    const TPendingPromotion p = std::exchange(promotion_, TPendingPromotion());
    if (!letter || !IsOnBoard(p.From)) return;
    const bool unchanged = p.Position == model_.Position() &&
                           p.WhiteToMove == model_.WhiteToMove() &&
                           p.MoveNumber == model_.CurrentMove();
    if (!unchanged || noMover_ || model_.Thinking() || !model_.IsLegalMove(p.From, p.To)) return;
    model_.SetPromotionLetter(letter);
    // Played as the drop it was: not animated.
    model_.SetDragSource(p.From);
    model_.SetDropTarget(p.To);
    model_.Move(p.From, p.To);
    model_.SetDragSource(Square::None);
    model_.SetDropTarget(Square::None);
}

void TChessBrd::AbandonDrag() {
    const Square source = model_.DragSource();
    CancelDrag();
    if (OnIllegalMove) OnIllegalMove(this, source);
}

void TChessBrd::CancelDrag() {
    EndDragDisplay();
    pressed_ = false;
    model_.SetDragSource(Square::None);
    model_.SetDropTarget(Square::None);
}

void TChessBrd::mousePressEvent(QMouseEvent* e) {
    FinishAnimation(); // the user acts on the position as it is
    const QPoint pos = e->position().toPoint();
    if (noMover_) {
        // No piece may move, but the board's menu still opens.
        if (e->button() == Qt::RightButton && OnMouseDown)
            OnMouseDown(this, e->button(), e->modifiers(), pos.x(), pos.y());
        return;
    }
    if (dragShown_) {
        // No other button held: the drag's own release went elsewhere (a
        // dialog took the mouse). The drag ends without a drop.
        if ((e->buttons() & ~e->button()) == Qt::NoButton) AbandonDrag();
        return;
    }
    if (OnMouseDown) OnMouseDown(this, e->button(), e->modifiers(), pos.x(), pos.y());
    clickCandidate_ = e->button() == Qt::LeftButton;
    const Square s = SquareAtPoint(pos.x(), pos.y());
    pressed_ = !dragShown_ && model_.PieceColor(s) != -1;
    if (pressed_) {
        pressSquare_ = s;
        pressPos_ = pos;
    }
}

void TChessBrd::mouseMoveEvent(QMouseEvent* e) {
    if (noMover_) return;
    const QPoint pos = e->position().toPoint();
    if (OnMouseMove) OnMouseMove(this, e->buttons(), e->modifiers(), pos.x(), pos.y());

    if (dragShown_) {
        if (e->buttons() == Qt::NoButton)
            AbandonDrag(); // the release went elsewhere: no drop where the pointer hovers
        else
            MoveDrag(pos);
        return;
    }
    if (pressed_) {
        if (e->buttons() == Qt::NoButton) {
            pressed_ = false;
        } else if ((pos - pressPos_).manhattanLength() >= QApplication::startDragDistance()) {
            clickCandidate_ = false;
            StartDrag(pos);
            if (dragShown_) MoveDrag(pos);
            return;
        }
    }

    // Resizing by the lower-right corner.
    if (!IsSizeCursor(cursor().shape())) savedCursor_ = cursor();
    const int X = pos.x(), Y = pos.y(), W = width(), H = height();
    const bool inCorner = X >= W - 10 && X <= W && Y >= H - 10 && Y <= H;
    if (resizable_ && inCorner) {
        setCursor(Qt::SizeFDiagCursor);
        if (e->buttons() & Qt::LeftButton) resizing_ = true;
    } else if (resizable_ && !resizing_) {
        setCursor(savedCursor_);
    }
    if (resizing_) {
        const int side = std::clamp(std::max(X, Y), resizeMinSize_, resizeMaxSize_);
        if (side != width()) resize(side, side); // KeepSquare follows from the resize
    }
}

void TChessBrd::mouseReleaseEvent(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    resizing_ = false;
    if (dragShown_) {
        if (e->buttons() == Qt::NoButton) FinishDrag(pos);
        return;
    }
    pressed_ = false;
    const bool click = clickCandidate_ && e->button() == Qt::LeftButton && rect().contains(pos);
    clickCandidate_ = false;
    if (click && OnClick) OnClick(this);
    if (OnMouseUp) OnMouseUp(this, e->button(), e->modifiers(), pos.x(), pos.y());
}

void TChessBrd::mouseDoubleClickEvent(QMouseEvent* e) {
    if (OnDblClick) OnDblClick(this);
    // The second press of a double click is a press like any other.
    mousePressEvent(e);
}
