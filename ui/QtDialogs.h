#pragma once

#include "UiDialogs.h"

#include <QPointer>

#include <map>

class QDialog;
class QWidget;

// A message text as shown on screen: each "\n\r" pair (and a "\r\n" pair)
// becomes one line break; a lone "\r" also becomes a line break.
QString DisplayText(const QString& text);

// "Desc|*.a|Desc2|*.b;*.c" to Qt's "Desc (*.a);;Desc2 (*.b *.c)".
QString QtFileFilter(const QString& filter);

// The dialog that shows a list to pick one entry from: double-click or OK
// picks the current entry (the list's object name is "ChooseItemList").
QDialog* NewChoiceDialog(QWidget* parent, const TDialogRequest& request);

// The real dialogs over QMessageBox, QInputDialog, QFileDialog and a list
// dialog, each opened with QDialog::open() (modal to its window, no event
// loop of its own) and answered from its finished signal. They are parented
// to Parent() if set, else to the application's active window.
class TQtDialogs final : public TUiDialogs {
public:
    explicit TQtDialogs(QWidget* parent = nullptr);
    ~TQtDialogs() override;

    void SetParent(QWidget* parent) { parent_ = parent; }
    QWidget* Parent() const;

    // The dialog of an open question (for tests), or null.
    QDialog* DialogOf(TQuestionId id) const;

protected:
    void Present(TQuestionId id, const TDialogRequest& request) override;
    void Dismiss(TQuestionId id) override;

private:
    QPointer<QWidget> parent_;
    std::map<TQuestionId, QPointer<QDialog>> dialogs_;
};
