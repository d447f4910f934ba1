#pragma once
// What a download shows while it runs: a status line (text and colour) and an
// activity bar. The download library has no widgets; the window that shows a
// download implements these over its own label and progress bar, and tests
// record the calls.
//
// What must stay true:
// - a view may be destroyed at any time, also while a download that was given
//   it is running; from then on nothing calls it (each view carries a token
//   that expires with it, and callers check it before every call);
// - views are called on the thread that owns the download only.

#include <QString>
#include <QtGlobal>

#include <memory>

// Colours of the status line: yellow while working, light grey when complete,
// red on error.
enum class THttpStatusColour { LightGrey, Yellow, Red };

// Base of both views: the token that tells whether the view still exists.
class THttpView {
public:
    THttpView() : alive_(std::make_shared<char>(0)) {}
    // A copy is another view with a token of its own.
    THttpView(const THttpView&) : THttpView() {}
    THttpView& operator=(const THttpView&) { return *this; }
    virtual ~THttpView();

    std::weak_ptr<void> AliveToken() const { return alive_; }

private:
    std::shared_ptr<char> alive_;
};

// The status line (the component's Etiqueta).
class THttpStatusLabel : public THttpView {
public:
    virtual void SetStatusText(const QString& text) = 0;
    virtual void SetStatusColour(THttpStatusColour colour) = 0;
};

// The activity bar (the component's Progress).
class THttpProgressView : public THttpView {
public:
    virtual int Position() const = 0;
    virtual int Maximum() const = 0;
    virtual void SetPosition(int position) = 0;
    // Advances by one.
    virtual void StepIt() { SetPosition(Position() + 1); }
};

// A view pointer together with its token: Get() is null once the view is gone.
template <class View> class THttpViewRef {
public:
    THttpViewRef() = default;
    explicit THttpViewRef(View* view) : view_(view) {
        if (view) token_ = view->AliveToken();
    }
    View* Get() const { return token_.expired() ? nullptr : view_; }

private:
    View* view_ = nullptr;
    std::weak_ptr<void> token_;
};
