#pragma once

#include "binding/commands.h"
#include "production/production.h"

#include <QDialog>

#include <array>
#include <functional>
#include <optional>

class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace pmv {
class Messages;
}  // namespace pmv

namespace pmv::gui {

class InstrumentRecords;

// "Выпуск прибора": one instrument after another, each written, verified, numbered and given its
// passport in one step, every step shown with its state and kept in the history.
class ProductionDialog final : public QDialog {
public:
    struct Line {
        device::Device& device;  // the window's exchange and progress panel; the model stays the window's
        Messages& messages;
        binding::CommandHost& host;
        std::function<int32_t()> portNumber;
        std::function<void(bool)> setBusy;
    };

    ProductionDialog(QWidget* parent, Line line, InstrumentRecords& records);

    // Makes the instrument described by the fields; false when a step failed.
    bool ProduceOne();

private:
    // `file`: the file the step saved, in full, as the state's hint.
    void ShowStep(production::ProductionStep step, const QString& state, const QString& file = {});
    // The next free number of the type code into the number field, or why there is none.
    void ProposeNextSerial();
    void ShowNumberState(const QString& text, bool problem);
    // Reserves the order's number, asking where the operator may decide (a used number, a
    // corrupt history); false when the production must not start.
    bool Reserve(production::ProductionOrder& order);

    Line line_;
    InstrumentRecords& records_;
    QLineEdit* profile_;
    QSpinBox* type_;
    QSpinBox* serial_;
    QDateEdit* date_;
    QLineEdit* folder_;
    std::array<QLabel*, production::kProductionSteps> states_{};
    QLabel* count_;
    QLabel* numberState_;
    std::optional<int32_t> proposed_;
    QPushButton* start_;
    int produced_ = 0;
};

}  // namespace pmv::gui
