#include "edits_guard.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTableWidget>
#include <QTextEdit>
#include <QWidget>

#include <utility>

namespace pmv::gui {

EditsGuard::EditsGuard(Window window) : QObject(&window.window), w_(std::move(window)) {}

void EditsGuard::Watch(const QWidget& root)
{
    const auto refresh = [this] { Refresh(); };
    for (auto* edit : root.findChildren<QLineEdit*>())
        connect(edit, &QLineEdit::textChanged, this, refresh);
    for (auto* list : root.findChildren<QComboBox*>()) {
        connect(list, &QComboBox::currentIndexChanged, this, refresh);
        connect(list, &QComboBox::editTextChanged, this, refresh);
    }
    for (auto* box : root.findChildren<QCheckBox*>())
        connect(box, &QCheckBox::toggled, this, refresh);
    for (auto* grid : root.findChildren<QTableWidget*>())
        connect(grid, &QTableWidget::itemChanged, this, refresh);
    for (auto* text : root.findChildren<QTextEdit*>())
        connect(text, &QTextEdit::textChanged, this, refresh);
}

void EditsGuard::Settle()
{
    edits_.Settle(w_.shown(), w_.description());
    Refresh();
}

void EditsGuard::SettleGroups(const binding::GroupFlags& read)
{
    edits_.SettleGroups(w_.shown(), read);
    Refresh();
}

bool EditsGuard::Unsaved() const { return edits_.Differ(w_.shown(), w_.description(), w_.model()); }

void EditsGuard::Refresh() { w_.window.setWindowModified(Unsaved()); }

namespace {

QString ReplaceQuestion(const QString& command)
{
    return QString::fromUtf8("Изменения настроек в окне не сохранены в файл. «%1» заменит их.\nСохранить изменения?")
        .arg(QString(command).remove('&'));
}

}  // namespace

bool EditsGuard::MayReplace(const QString& command) { return Ask(ReplaceQuestion(command), Unsaved()); }

bool EditsGuard::MayRead(const QString& command, const binding::GroupFlags& read)
{
    return Ask(ReplaceQuestion(command), edits_.DifferIn(w_.shown(), read, w_.model()));
}

bool EditsGuard::MayClose()
{
    return Ask(QString::fromUtf8("Изменения настроек в окне не сохранены в файл.\nСохранить изменения перед выходом?"),
               Unsaved());
}

bool EditsGuard::Ask(const QString& text, bool unsaved)
{
    // A command started while the question stands (a shortcut) does not ask again over it.
    if (asking_ || !unsaved)
        return !asking_;
    asking_ = true;
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8("Несохраненные изменения"), text,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, &w_.window);
    // Qt's own words for the three answers; "Don't Save" reads "Не сохранять" in its Russian.
    box.button(QMessageBox::Discard)->setText(QCoreApplication::translate("QCocoaTheme", "Don't Save"));
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    const int answer = box.exec();
    asking_ = false;
    if (answer == QMessageBox::Discard)
        return true;
    return answer == QMessageBox::Save && w_.save();
}

}  // namespace pmv::gui
