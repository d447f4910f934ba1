#pragma once

#include "UiDialogs.h"

#include <QPointer>

class QWidget;

// A message text as shown on screen: each "\n\r" pair (and a "\r\n" pair)
// becomes one line break; a lone "\r" also becomes a line break.
QString DisplayText(const QString& text);

// "Desc|*.a|Desc2|*.b;*.c" to Qt's "Desc (*.a);;Desc2 (*.b *.c)".
QString QtFileFilter(const QString& filter);

// The real dialogs over QMessageBox, QInputDialog, QFileDialog and a list
// dialog. They are parented to Parent() if set, else to the application's
// active window.
class TQtDialogs final : public TUiDialogs {
public:
    explicit TQtDialogs(QWidget* parent = nullptr);

    void SetParent(QWidget* parent) { parent_ = parent; }
    QWidget* Parent() const;

    void ShowMessage(const QString& text, const QString& caption = QString(),
                     TMessageKind kind = TMessageKind::Information) override;
    bool Ask(const QString& text, const QString& caption = QString(),
             TQuestionButtons buttons = TQuestionButtons::YesNo) override;
    std::optional<QString> InputQuery(const QString& caption, const QString& prompt,
                                      const QString& defaultText) override;
    QString OpenFileName(const TFileDialogRequest& request) override;
    QString SaveFileName(const TFileDialogRequest& request) override;
    QString OpenPictureName(const TFileDialogRequest& request) override;
    // A list dialog: double-click or OK picks the current entry.
    std::optional<int> ChooseItem(const QString& caption, const QString& prompt,
                                  const QStringList& items, int preselected) override;

private:
    QPointer<QWidget> parent_;
};
