#include "QtDialogs.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageReader>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QVBoxLayout>
#include <QWidget>

QString DisplayText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            out += QLatin1Char('\n');
            const QChar partner = c == QLatin1Char('\n') ? QLatin1Char('\r') : QLatin1Char('\n');
            if (i + 1 < text.size() && text.at(i + 1) == partner) ++i;
        } else {
            out += c;
        }
    }
    return out;
}

QString QtFileFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts.at(i + 1);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        entries.append(parts.at(i) + QStringLiteral(" (") + patterns.simplified() +
                       QLatin1Char(')'));
    }
    return entries.join(QStringLiteral(";;"));
}

namespace {

// A message box whose text is shown as it is: a nick or a file's text that
// looks like markup ("<img src=...>") is never read as rich text. The format
// is set before the text, so nothing is ever laid out as markup.
void SetPlainText(QMessageBox& box, const QString& text) {
    box.setTextFormat(Qt::PlainText);
    box.setText(DisplayText(text));
}

QLabel* PlainLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    return label;
}

QString CaptionOrTitle(const QString& caption) {
    if (!caption.isEmpty()) return caption;
    const QString title = QApplication::applicationDisplayName();
    return title.isEmpty() ? QStringLiteral("ZugaretCHAT") : title;
}

QString PictureFilter() {
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        patterns.append(QStringLiteral("*.") + QString::fromLatin1(format));
    return QStringLiteral("Imágenes|") + patterns.join(QLatin1Char(';')) +
           QStringLiteral("|Mapas de bits|*.bmp|Todos los archivos|*.*");
}

// The open, save and picture dialogs.
QFileDialog* NewFileDialog(QWidget* parent, const TFileDialogRequest& request, bool save,
                           const QString& filter) {
    auto* dialog = new QFileDialog(parent, CaptionOrTitle(request.Caption));
    dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!filter.isEmpty()) dialog->setNameFilter(QtFileFilter(filter));
    if (!request.DefaultExt.isEmpty()) dialog->setDefaultSuffix(request.DefaultExt);
    if (!request.InitialFolder.isEmpty()) dialog->setDirectory(request.InitialFolder);
    if (!request.FileName.isEmpty()) {
        const QFileInfo preset(request.FileName);
        if (preset.isAbsolute() && request.InitialFolder.isEmpty())
            dialog->setDirectory(preset.absolutePath());
        dialog->selectFile(preset.fileName());
    }
    return dialog;
}

QMessageBox* NewMessageBox(QWidget* parent, const TDialogRequest& request) {
    QMessageBox::Icon icon = QMessageBox::Information;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton preset = QMessageBox::Ok;
    if (request.Kind == TDialogKind::Question) {
        const bool okCancel = request.Buttons == TQuestionButtons::OkCancel;
        icon = okCancel ? QMessageBox::Warning : QMessageBox::Question;
        buttons = okCancel ? (QMessageBox::Ok | QMessageBox::Cancel)
                           : (QMessageBox::Yes | QMessageBox::No);
        preset = okCancel ? QMessageBox::Ok : QMessageBox::Yes;
    } else if (request.MessageKind == TMessageKind::Warning) {
        icon = QMessageBox::Warning;
    } else if (request.MessageKind == TMessageKind::Error) {
        icon = QMessageBox::Critical;
    }
    auto* box = new QMessageBox(icon, CaptionOrTitle(request.Caption), QString(), buttons, parent);
    SetPlainText(*box, request.Text);
    box->setDefaultButton(preset);
    return box;
}

QInputDialog* NewInputDialog(QWidget* parent, const QString& caption, const QString& prompt,
                             const QString& defaultText) {
    auto* dialog = new QInputDialog(parent);
    dialog->setWindowTitle(CaptionOrTitle(caption));
    dialog->setInputMode(QInputDialog::TextInput);
    dialog->setLabelText(QString()); // makes the label, to be plain before it has text
    for (QLabel* label : dialog->findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
    dialog->setLabelText(DisplayText(prompt));
    dialog->setTextValue(defaultText);
    return dialog;
}

} // namespace

QDialog* NewChoiceDialog(QWidget* parent, const TDialogRequest& request) {
    auto* dialog = new QDialog(parent);
    dialog->setWindowTitle(CaptionOrTitle(request.Caption));
    auto* list = new QListWidget(dialog);
    list->setObjectName(QStringLiteral("ChooseItemList"));
    list->setUniformItemSizes(true); // thousands of games list at once
    list->addItems(request.Items);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    QObject::connect(list, &QListWidget::itemActivated, dialog, &QDialog::accept);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(PlainLabel(DisplayText(request.Text), dialog));
    layout->addWidget(list, 1);
    layout->addWidget(buttons);
    dialog->resize(460, 360);
    if (request.Preselected >= 0 && request.Preselected < list->count()) {
        list->setCurrentRow(request.Preselected);
        list->scrollToItem(list->currentItem(), QAbstractItemView::PositionAtCenter);
    }
    return dialog;
}

TQtDialogs::TQtDialogs(QWidget* parent) : parent_(parent) {}

TQtDialogs::~TQtDialogs() {
    for (auto& [id, dialog] : dialogs_) {
        if (!dialog) continue;
        disconnect(dialog, nullptr, this, nullptr);
        dialog->deleteLater();
    }
}

QWidget* TQtDialogs::Parent() const {
    return parent_ ? parent_.data() : QApplication::activeWindow();
}

QDialog* TQtDialogs::DialogOf(TQuestionId id) const {
    const auto it = dialogs_.find(id);
    return it == dialogs_.end() ? nullptr : it->second.data();
}

void TQtDialogs::Present(TQuestionId id, const TDialogRequest& request) {
    QWidget* parent = Parent();
    QDialog* dialog = nullptr;
    std::function<TDialogAnswer(int result)> answerOf;
    switch (request.Kind) {
    case TDialogKind::Message:
    case TDialogKind::Question: {
        QMessageBox* box = NewMessageBox(parent, request);
        dialog = box;
        answerOf = [box](int) {
            const QMessageBox::StandardButton b = box->standardButton(box->clickedButton());
            return TDialogAnswer{b == QMessageBox::Ok || b == QMessageBox::Yes, {}, -1};
        };
        break;
    }
    case TDialogKind::Input: {
        QInputDialog* input =
            NewInputDialog(parent, request.Caption, request.Text, request.DefaultText);
        dialog = input;
        answerOf = [input](int result) {
            return TDialogAnswer{result == QDialog::Accepted, input->textValue(), -1};
        };
        break;
    }
    case TDialogKind::OpenFile:
    case TDialogKind::SaveFile:
    case TDialogKind::OpenPicture: {
        const bool picture = request.Kind == TDialogKind::OpenPicture;
        const QString filter =
            picture && request.File.Filter.isEmpty() ? PictureFilter() : request.File.Filter;
        QFileDialog* files =
            NewFileDialog(parent, request.File, request.Kind == TDialogKind::SaveFile, filter);
        dialog = files;
        answerOf = [files](int result) {
            const QStringList chosen = files->selectedFiles();
            const bool accepted = result == QDialog::Accepted && !chosen.isEmpty();
            return TDialogAnswer{accepted, accepted ? chosen.constFirst() : QString(), -1};
        };
        break;
    }
    case TDialogKind::Choice: {
        dialog = NewChoiceDialog(parent, request);
        auto* list = dialog->findChild<QListWidget*>(QStringLiteral("ChooseItemList"));
        answerOf = [list](int result) {
            const int row = list->currentRow();
            return TDialogAnswer{result == QDialog::Accepted && row >= 0, {}, row};
        };
        break;
    }
    }
    dialogs_[id] = dialog;
    connect(dialog, &QDialog::finished, this, [this, id, dialog, answerOf](int result) {
        const TDialogAnswer answer = answerOf(result);
        dialogs_.erase(id);
        disconnect(dialog, nullptr, this, nullptr);
        dialog->deleteLater();
        Answer(id, answer);
    });
    dialog->open();
}

void TQtDialogs::Dismiss(TQuestionId id) {
    const auto it = dialogs_.find(id);
    if (it == dialogs_.end()) return;
    const QPointer<QDialog> dialog = it->second;
    dialogs_.erase(it);
    if (!dialog) return;
    disconnect(dialog, nullptr, this, nullptr);
    dialog->close();
    dialog->deleteLater();
}
