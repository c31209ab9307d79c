#pragma once

#include <QDialog>

#include <map>
#include <string>

class QCheckBox;
class QLineEdit;

namespace pmv {
class Messages;
}  // namespace pmv
namespace pmv::model {
struct SettingsModel;
}  // namespace pmv::model

namespace pmv::gui {

// "Параметры градуировки": the reference values of both channels, the dwell times, measurement
// counts and bounds of the calibrations. Opens with the model's values; OK checks every field
// and stores them in the model (so they go into profiles like every other field), a failed
// check keeps the dialog open.
class CalibrationSettingsDialog final : public QDialog {
public:
    CalibrationSettingsDialog(QWidget* parent, model::SettingsModel& model, Messages& messages);

    void accept() override;

private:
    model::SettingsModel& model_;
    Messages& messages_;
    std::map<std::string, QLineEdit*> edits_;
    QCheckBox* writeAtOnce_ = nullptr;
};

}  // namespace pmv::gui
