#pragma once

#include "binding/commands.h"
#include "history/history.h"
#include "state_table.h"

#include <QList>
#include <QObject>

#include <functional>
#include <optional>
#include <string>

class QAction;
class QMenu;
class QWidget;

namespace pmv {
class Messages;
}  // namespace pmv

namespace pmv::gui {

// What the window does for the production line: the history of every instrument (the session's),
// verification after writing, and the File menu items "Сравнить с прибором…", "Выпуск
// прибора…", "Журнал приборов…" and "Проверять после записи" (kept in the program's own
// settings, not in dev.dat).
class InstrumentRecords final : public QObject {
public:
    struct Window {
        QWidget& widget;
        device::Device& device;  // the window's exchange, progress panel and model
        Messages& messages;
        binding::CommandHost& host;
        std::function<void()> gather;  // the controls into the model
        std::function<int32_t()> portNumber;
        RunCommand run;                     // through the row of the production items
        std::function<void(bool)> setBusy;  // the production dialog's operations
        history::History& history;
        // Writes back what an instrument held, chosen in the history window (Restore).
        std::function<void(const history::HistoryRecord&)> restore;
        // The comparison's choices: the window shows the instrument's values as its own; the
        // groups named are ticked alone and written as "Записать выбранные" writes them.
        std::function<void(const model::SettingsModel&)> takeValues;
        std::function<void(const binding::GroupFlags&)> writeGroups;
    };

    InstrumentRecords(Window window, QMenu& fileMenu);

    // "Записать все" / "Записать выбранное": `write` with the instrument's identity read before
    // its first register, the history row, then the verification when it is switched on and the
    // write succeeded. Before "Записать все" the history keeps what the instrument holds: its last
    // read when the identity shows the same instrument, else what a read finds. A write stopped
    // part way is offered again.
    void Write(binding::CommandContext& context, ErrorCode (*write)(binding::CommandContext&));
    // "Вернуть как было" of the history window: the settings of a row kept before a write into
    // the window and, after the operator agrees, into the instrument, when the instrument on the
    // line is the one the row names.
    void Restore(binding::CommandContext& context, const history::HistoryRecord& held);
    // A successful "Прочитать все": what the instrument holds now.
    void NoteRead(const model::SettingsModel& model) { lastRead_ = model; }
    // "Записать" of the production parameters: the number checked against the history, written
    // and recorded (binding::WriteSerialNumber); a corrupt history may be begun anew first.
    void WriteSerial(binding::CommandContext& context);

    // False when the row was not written; the failure is shown once.
    bool Record(const history::HistoryRecord& record);
    // A corrupt history is set aside and a new one begun only when the operator agrees (the
    // numbering restarts); asked once per run unless `askAgain`. True when a new history was begun.
    bool StartNewHistoryIfAgreed(const std::string& failure, bool askAgain = false);
    history::History& history() { return history_; }
    bool verifyAfterWrite() const;
    // The four items of the File menu, for the state table.
    const QList<QAction*>& items() const { return items_; }

private:
    // `expected`: the row naming the instrument the write must find on the line, or null.
    void WriteRecorded(binding::CommandContext& context, ErrorCode (*write)(binding::CommandContext&),
                       const history::HistoryRecord* expected);
    // The history row of what the instrument named by `identity` holds now.
    ErrorCode KeepHeld(const model::SettingsModel& identity);
    void Compare();
    void Produce();
    void ShowHistory();

    Window w_;
    history::History& history_;
    QAction* verify_ = nullptr;
    QList<QAction*> items_;
    bool failureShown_ = false;
    bool newHistoryDeclined_ = false;
    std::optional<model::SettingsModel> lastRead_;
};

}  // namespace pmv::gui
