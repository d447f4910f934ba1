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

// Shared set-up of the open, save and picture dialogs.
QString RunFileDialog(QWidget* parent, const TFileDialogRequest& request, bool save,
                      const QString& filter) {
    QFileDialog dialog(parent, CaptionOrTitle(request.Caption));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!filter.isEmpty()) dialog.setNameFilter(QtFileFilter(filter));
    if (!request.DefaultExt.isEmpty()) dialog.setDefaultSuffix(request.DefaultExt);
    if (!request.InitialFolder.isEmpty()) dialog.setDirectory(request.InitialFolder);
    if (!request.FileName.isEmpty()) {
        const QFileInfo preset(request.FileName);
        if (preset.isAbsolute() && request.InitialFolder.isEmpty())
            dialog.setDirectory(preset.absolutePath());
        dialog.selectFile(preset.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().constFirst();
}

} // namespace

TQtDialogs::TQtDialogs(QWidget* parent) : parent_(parent) {}

QWidget* TQtDialogs::Parent() const {
    return parent_ ? parent_.data() : QApplication::activeWindow();
}

void TQtDialogs::ShowMessage(const QString& text, const QString& caption, TMessageKind kind) {
    QMessageBox::Icon icon = QMessageBox::Information;
    if (kind == TMessageKind::Warning)
        icon = QMessageBox::Warning;
    else if (kind == TMessageKind::Error)
        icon = QMessageBox::Critical;
    QMessageBox box(icon, CaptionOrTitle(caption), QString(), QMessageBox::Ok, Parent());
    SetPlainText(box, text);
    box.exec();
}

bool TQtDialogs::Ask(const QString& text, const QString& caption, TQuestionButtons buttons) {
    const bool okCancel = buttons == TQuestionButtons::OkCancel;
    QMessageBox box(
        okCancel ? QMessageBox::Warning : QMessageBox::Question, CaptionOrTitle(caption), QString(),
        okCancel ? (QMessageBox::Ok | QMessageBox::Cancel) : (QMessageBox::Yes | QMessageBox::No),
        Parent());
    SetPlainText(box, text);
    box.setDefaultButton(okCancel ? QMessageBox::Ok : QMessageBox::Yes);
    const int answer = box.exec();
    return answer == QMessageBox::Ok || answer == QMessageBox::Yes;
}

std::optional<QString> TQtDialogs::InputQuery(const QString& caption, const QString& prompt,
                                              const QString& defaultText) {
    QInputDialog dialog(Parent());
    dialog.setWindowTitle(CaptionOrTitle(caption));
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setLabelText(QString()); // makes the label, to be plain before it has text
    for (QLabel* label : dialog.findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
    dialog.setLabelText(DisplayText(prompt));
    dialog.setTextValue(defaultText);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.textValue();
}

QString TQtDialogs::OpenFileName(const TFileDialogRequest& request) {
    return RunFileDialog(Parent(), request, false, request.Filter);
}

QString TQtDialogs::SaveFileName(const TFileDialogRequest& request) {
    return RunFileDialog(Parent(), request, true, request.Filter);
}

QString TQtDialogs::OpenPictureName(const TFileDialogRequest& request) {
    return RunFileDialog(Parent(), request, false,
                         request.Filter.isEmpty() ? PictureFilter() : request.Filter);
}

std::optional<int> TQtDialogs::ChooseItem(const QString& caption, const QString& prompt,
                                          const QStringList& items, int preselected) {
    QDialog dialog(Parent());
    dialog.setWindowTitle(CaptionOrTitle(caption));
    auto* list = new QListWidget(&dialog);
    list->setObjectName(QStringLiteral("ChooseItemList"));
    list->setUniformItemSizes(true); // thousands of games list at once
    list->addItems(items);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(list, &QListWidget::itemActivated, &dialog, &QDialog::accept);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(PlainLabel(DisplayText(prompt), &dialog));
    layout->addWidget(list, 1);
    layout->addWidget(buttons);
    dialog.resize(460, 360);
    if (preselected >= 0 && preselected < list->count()) {
        list->setCurrentRow(preselected);
        list->scrollToItem(list->currentItem(), QAbstractItemView::PositionAtCenter);
    }
    if (dialog.exec() != QDialog::Accepted || list->currentRow() < 0) return std::nullopt;
    return list->currentRow();
}

// ---------------------------------------------------------------- scripted
