#include "FlatStyle.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>

namespace FlatStyle {

QColor Window() {
    return QColor(0xF3, 0xF4, 0xF6);
}
QColor Surface() {
    return QColor(0xFF, 0xFF, 0xFF);
}
QColor Border() {
    return QColor(0xC9, 0xCE, 0xD6);
}
QColor Accent() {
    return QColor(0x2F, 0x6F, 0x4F);
}
QColor AccentHover() {
    return QColor(0x3C, 0x8A, 0x63);
}
QColor Text() {
    return QColor(0x1F, 0x29, 0x33);
}

QString StyleSheet() {
    // %1 window, %2 surface, %3 border, %4 accent, %5 accent hover, %6 text,
    // %7 hover surface, %8 pressed surface, %9 disabled text.
    static const char* const sheet = R"css(
QMainWindow, QDialog { background: %1; }
QToolTip { background: %6; color: #ffffff; border: none; padding: 4px 6px; }

QPushButton, QToolButton {
    color: %6; background: %2; border: 1px solid %3; border-radius: 3px;
    padding: 4px 10px; min-height: 18px;
}
QToolButton { padding: 3px; }
QPushButton:hover, QToolButton:hover { background: %7; border-color: %4; }
QPushButton:pressed, QToolButton:pressed { background: %8; }
QPushButton:checked, QToolButton:checked { background: %4; color: #ffffff; border-color: %4; }
QPushButton:checked:hover, QToolButton:checked:hover { background: %5; }
QPushButton:default { border: 1px solid %4; }
QPushButton:disabled, QToolButton:disabled { color: %9; background: %1; border-color: %3; }
QPushButton:focus { outline: none; border: 2px solid %4; padding: 3px 9px; }
QToolButton:focus { outline: none; border: 2px solid %4; padding: 2px; }

QFrame[flatPanel="true"] { background: %2; border: 1px solid %3; border-radius: 3px; }
QGroupBox {
    color: %6; background: %2; border: 1px solid %3; border-radius: 3px;
    margin-top: 14px; padding: 8px 6px 6px 6px;
}
QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 4px; color: %4; }
QGroupBox:disabled::title { color: %9; }

QLineEdit, QSpinBox, QComboBox, QPlainTextEdit, QTextEdit, QTextBrowser,
QListWidget, QListView, QTreeView, QTableView {
    color: %6; background: %2; border: 1px solid %3; border-radius: 3px;
    selection-background-color: %4; selection-color: #ffffff;
}
QLineEdit, QSpinBox, QComboBox { padding: 3px 6px; min-height: 18px; }
QSpinBox { padding-right: 2px; }
QLineEdit:hover, QSpinBox:hover, QComboBox:hover,
QPlainTextEdit:hover, QTextEdit:hover, QListWidget:hover { border-color: %5; }
QLineEdit:focus, QSpinBox:focus, QComboBox:focus,
QPlainTextEdit:focus, QTextEdit:focus, QListWidget:focus { border-color: %4; }
QLineEdit:disabled, QSpinBox:disabled, QComboBox:disabled,
QPlainTextEdit:disabled, QTextEdit:disabled, QListWidget:disabled { background: %1; color: %9; }
QListWidget, QListView { padding: 2px; }
QListWidget::item, QListView::item { padding: 3px 4px; }
QListWidget::item:hover, QListView::item:hover { background: %7; }
QListWidget::item:selected, QListView::item:selected { background: %4; color: #ffffff; }

QComboBox QAbstractItemView { background: %2; border: 1px solid %3; outline: none; }
QSpinBox::up-button, QSpinBox::down-button {
    subcontrol-origin: padding; width: 16px; border: none; background: transparent;
}
QSpinBox::up-button { subcontrol-position: top right; border-top-right-radius: 3px; }
QSpinBox::down-button { subcontrol-position: bottom right; border-bottom-right-radius: 3px; }
QSpinBox::up-button:hover, QSpinBox::down-button:hover { background: %7; }
QSpinBox::up-button:pressed, QSpinBox::down-button:pressed { background: %8; }
QSpinBox::up-arrow { image: url(:/qt-project.org/styles/commonstyle/images/up-16.png); width: 9px; height: 9px; }
QSpinBox::down-arrow { image: url(:/qt-project.org/styles/commonstyle/images/down-16.png); width: 9px; height: 9px; }

QRadioButton, QCheckBox { color: %6; spacing: 6px; padding: 2px 0; }
QRadioButton::indicator, QCheckBox::indicator {
    width: 12px; height: 12px; border: 1px solid %3; background: %2;
}
QRadioButton::indicator { border-radius: 7px; }
QCheckBox::indicator { border-radius: 2px; }
QRadioButton::indicator:hover, QCheckBox::indicator:hover { border-color: %4; }
QRadioButton::indicator:checked, QCheckBox::indicator:checked { background: %4; border-color: %4; }
QRadioButton::indicator:checked:hover, QCheckBox::indicator:checked:hover { background: %5; }
QRadioButton:disabled, QCheckBox:disabled { color: %9; }

QTabWidget::pane { border: 1px solid %3; background: %2; top: -1px; }
QTabBar::tab {
    color: %6; background: %1; border: 1px solid %3; border-bottom: none;
    padding: 5px 12px; margin-right: 2px;
}
QTabBar::tab:hover { background: %7; }
QTabBar::tab:selected { background: %2; color: %4; }

QMenuBar { background: %1; }
QMenuBar::item:selected { background: %7; }
QMenu { color: %6; background: %2; border: 1px solid %3; padding: 4px 0; }
QMenu::item { padding: 4px 22px 4px 18px; }
QMenu::item:selected { background: %4; color: #ffffff; }
QMenu::item:disabled { color: %9; }
QMenu::separator { height: 1px; background: %3; margin: 4px 8px; }

QProgressBar { border: 1px solid %3; border-radius: 3px; background: %2; text-align: center; }
QProgressBar::chunk { background: %4; }

QSplitter::handle { background: %1; }
QSplitter::handle:hover { background: %3; }
QScrollBar:vertical { background: %1; width: 10px; margin: 0; }
QScrollBar:horizontal { background: %1; height: 10px; margin: 0; }
QScrollBar::handle { background: %3; border-radius: 4px; min-height: 20px; min-width: 20px; }
QScrollBar::handle:hover { background: %5; }
QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; }
QScrollBar::add-page, QScrollBar::sub-page { background: none; }
)css";
    return QString::fromLatin1(sheet).arg(
        Window().name(), Surface().name(), Border().name(), Accent().name(), AccentHover().name(),
        Text().name(), QColor(0xE8, 0xF1, 0xEC).name(), QColor(0xD3, 0xE4, 0xDA).name(),
        QColor(0x9A, 0xA1, 0xAB).name());
}

void Apply(QApplication& app) {
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);
    app.setStyleSheet(StyleSheet());
}

void Apply(QWidget* widget) {
    if (widget) widget->setStyleSheet(StyleSheet());
}

void MarkPanel(QWidget* widget) {
    if (!widget) return;
    widget->setProperty("flatPanel", true);
    widget->style()->unpolish(widget);
    widget->style()->polish(widget);
}

} // namespace FlatStyle
