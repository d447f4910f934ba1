#include "UiDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageReader>
#include <QInputDialog>
#include <QMessageBox>
#include <QWidget>

TUiDialogs::~TUiDialogs() = default;

QString TUiDialogs::InputBox(const QString& caption, const QString& prompt,
                             const QString& defaultText) {
    return InputQuery(caption, prompt, defaultText).value_or(defaultText);
}

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

TQtDialogs::TQtDialogs(QWidget* parent) : m_parent(parent) {}

QWidget* TQtDialogs::Parent() const {
    return m_parent ? m_parent.data() : QApplication::activeWindow();
}

void TQtDialogs::ShowMessage(const QString& text, const QString& caption, TMessageKind kind) {
    QMessageBox::Icon icon = QMessageBox::Information;
    if (kind == TMessageKind::Warning)
        icon = QMessageBox::Warning;
    else if (kind == TMessageKind::Error)
        icon = QMessageBox::Critical;
    QMessageBox box(icon, CaptionOrTitle(caption), DisplayText(text), QMessageBox::Ok, Parent());
    box.exec();
}

bool TQtDialogs::Ask(const QString& text, const QString& caption, TQuestionButtons buttons) {
    const bool okCancel = buttons == TQuestionButtons::OkCancel;
    QMessageBox box(okCancel ? QMessageBox::Warning : QMessageBox::Question,
                    CaptionOrTitle(caption), DisplayText(text),
                    okCancel ? (QMessageBox::Ok | QMessageBox::Cancel)
                             : (QMessageBox::Yes | QMessageBox::No),
                    Parent());
    box.setDefaultButton(okCancel ? QMessageBox::Ok : QMessageBox::Yes);
    const int answer = box.exec();
    return answer == QMessageBox::Ok || answer == QMessageBox::Yes;
}

std::optional<QString> TQtDialogs::InputQuery(const QString& caption, const QString& prompt,
                                              const QString& defaultText) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(Parent(), CaptionOrTitle(caption), DisplayText(prompt),
                              QLineEdit::Normal, defaultText, &ok);
    if (!ok) return std::nullopt;
    return text;
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

// ---------------------------------------------------------------- scripted

void TScriptedDialogs::AnswerYes(const QString& expectCaption) {
    m_answers.push_back({TDialogKind::Question, expectCaption, true, std::nullopt});
}

void TScriptedDialogs::AnswerNo(const QString& expectCaption) {
    m_answers.push_back({TDialogKind::Question, expectCaption, false, std::nullopt});
}

void TScriptedDialogs::AnswerInput(const QString& text, const QString& expectCaption) {
    m_answers.push_back({TDialogKind::Input, expectCaption, true, text});
}

void TScriptedDialogs::CancelInput(const QString& expectCaption) {
    m_answers.push_back({TDialogKind::Input, expectCaption, false, std::nullopt});
}

void TScriptedDialogs::AnswerOpenFile(const QString& fileName, const QString& expectCaption) {
    m_answers.push_back({TDialogKind::OpenFile, expectCaption, true, fileName});
}

void TScriptedDialogs::AnswerSaveFile(const QString& fileName, const QString& expectCaption) {
    m_answers.push_back({TDialogKind::SaveFile, expectCaption, true, fileName});
}

void TScriptedDialogs::AnswerOpenPicture(const QString& fileName, const QString& expectCaption) {
    m_answers.push_back({TDialogKind::OpenPicture, expectCaption, true, fileName});
}

void TScriptedDialogs::SetUnexpectedAnswers(bool yes, std::optional<QString> input,
                                            const QString& fileName) {
    m_defaultYes = yes;
    m_defaultInput = std::move(input);
    m_defaultFile = fileName;
}

bool TScriptedDialogs::Take(TDialogKind kind, const QString& caption, TPrepared& answer) {
    if (m_answers.empty()) return false;
    const TPrepared& front = m_answers.front();
    if (front.Kind != kind || (!front.ExpectCaption.isEmpty() && front.ExpectCaption != caption))
        return false;
    answer = front;
    m_answers.pop_front();
    return true;
}

void TScriptedDialogs::ShowMessage(const QString& text, const QString& caption, TMessageKind kind) {
    TDialogRecord record;
    record.Kind = TDialogKind::Message;
    record.Caption = caption;
    record.Text = text;
    record.MessageKind = kind;
    m_log.append(record);
}

bool TScriptedDialogs::Ask(const QString& text, const QString& caption, TQuestionButtons buttons) {
    TDialogRecord record;
    record.Kind = TDialogKind::Question;
    record.Caption = caption;
    record.Text = text;
    record.Buttons = buttons;
    TPrepared prepared;
    const bool taken = Take(TDialogKind::Question, caption, prepared);
    record.Unexpected = !taken;
    const bool yes = taken ? prepared.Yes : m_defaultYes;
    record.Answer = yes ? QStringLiteral("yes") : QStringLiteral("no");
    m_log.append(record);
    return yes;
}

std::optional<QString> TScriptedDialogs::InputQuery(const QString& caption, const QString& prompt,
                                                    const QString& defaultText) {
    TDialogRecord record;
    record.Kind = TDialogKind::Input;
    record.Caption = caption;
    record.Text = prompt;
    record.DefaultText = defaultText;
    TPrepared prepared;
    const bool taken = Take(TDialogKind::Input, caption, prepared);
    record.Unexpected = !taken;
    const std::optional<QString> answer = taken ? prepared.Text : m_defaultInput;
    record.Answer = answer ? *answer : QStringLiteral("<cancel>");
    m_log.append(record);
    return answer;
}

QString TScriptedDialogs::FileDialog(TDialogKind kind, const TFileDialogRequest& request) {
    TDialogRecord record;
    record.Kind = kind;
    record.Caption = request.Caption;
    record.Text = request.Filter;
    record.DefaultText = request.FileName;
    TPrepared prepared;
    const bool taken = Take(kind, request.Caption, prepared);
    record.Unexpected = !taken;
    const QString answer = taken ? prepared.Text.value_or(QString()) : m_defaultFile;
    record.Answer = answer.isEmpty() ? QStringLiteral("<cancel>") : answer;
    m_log.append(record);
    return answer;
}

QString TScriptedDialogs::OpenFileName(const TFileDialogRequest& request) {
    return FileDialog(TDialogKind::OpenFile, request);
}

QString TScriptedDialogs::SaveFileName(const TFileDialogRequest& request) {
    return FileDialog(TDialogKind::SaveFile, request);
}

QString TScriptedDialogs::OpenPictureName(const TFileDialogRequest& request) {
    return FileDialog(TDialogKind::OpenPicture, request);
}

QStringList TScriptedDialogs::Messages() const {
    QStringList texts;
    for (const TDialogRecord& r : m_log)
        if (r.Kind == TDialogKind::Message) texts.append(r.Text);
    return texts;
}

QList<TDialogRecord> TScriptedDialogs::UnexpectedDialogs() const {
    QList<TDialogRecord> found;
    for (const TDialogRecord& r : m_log)
        if (r.Unexpected) found.append(r);
    return found;
}

bool TScriptedDialogs::HasUnexpected() const {
    return !UnexpectedDialogs().isEmpty();
}
