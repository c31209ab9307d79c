#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;
class QSpinBox;

namespace pmv {
class Messages;
}  // namespace pmv
namespace pmv::link {
class Exchange;
}  // namespace pmv::link

namespace pmv::gui {

// "Доступ к регистрам": one register given by bank, width and number, read, written, or
// written with read-back. A long value is a whole number (decimal, 0x..) or, with a point,
// a float sent as its bit pattern.
class RegisterDialog final : public QDialog {
public:
    RegisterDialog(QWidget* parent, link::Exchange& exchange, Messages& messages);

private:
    enum class Action {
        Read,
        Write,
        WriteChecked,
    };
    void Run(Action action);

    link::Exchange& exchange_;
    Messages& messages_;
    QComboBox* bank_ = nullptr;
    QComboBox* width_ = nullptr;
    QSpinBox* number_ = nullptr;
    QLineEdit* value_ = nullptr;
};

}  // namespace pmv::gui
