#include "PromotionChooser.h"

#include "GameController.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
struct TChoice {
    char Letter;      // lower case
    char Key;         // the Spanish initial of the piece
    const char* Name; // shown as the button's tip
};
constexpr TChoice Choices[] = {
    {'q', 'D', "Dama"}, {'r', 'T', "Torre"}, {'b', 'A', "Alfil"}, {'n', 'C', "Caballo"}};
} // namespace

TPromotionChooser::TPromotionChooser(bool white, const std::function<QPixmap(char)>& picture,
                                     QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(TGameController::PromotionCaption));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QString::fromUtf8(TGameController::PromotionPrompt), this));
    auto* row = new QHBoxLayout;
    for (const TChoice& c : Choices) {
        auto* button = new QToolButton(this);
        const char letter = white ? static_cast<char>(c.Letter - 'a' + 'A') : c.Letter;
        const QPixmap image = picture ? picture(letter) : QPixmap();
        if (image.isNull()) {
            button->setText(QString::fromLatin1(c.Name));
        } else {
            button->setIcon(QIcon(image));
            button->setIconSize(image.size());
        }
        button->setToolTip(QString::fromLatin1(c.Name));
        button->setShortcut(QKeySequence(QChar::fromLatin1(c.Key)));
        button->setObjectName(QStringLiteral("promote_") + QChar::fromLatin1(c.Letter));
        connect(button, &QToolButton::clicked, this, [this, l = c.Letter] {
            letter_ = l;
            accept();
        });
        row->addWidget(button);
    }
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    connect(this, &QDialog::finished, this, [this](int result) {
        if (result == QDialog::Accepted && letter_)
            emit chosen(letter_);
        else
            emit cancelled();
    });
}
