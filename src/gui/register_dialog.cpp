#include "register_dialog.h"

#include "link/exchange.h"
#include "link/register_commands.h"
#include "messages/error_codes.h"
#include "messages/messages.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include <optional>

namespace pmv::gui {
namespace {

constexpr int kHighestRegister = 8191;

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

// A byte 0..255, or a long: a whole number up to 32 bits, or a float when it has a point.
std::optional<uint32_t> ValueOf(const QString& text, bool isLong)
{
    // A decimal comma is taken as the point.
    const QString t = QString(text).replace(',', '.').trimmed();
    bool ok = false;
    if (isLong && t.contains('.')) {
        const float f = t.toFloat(&ok);
        return ok ? std::optional<uint32_t>(link::FloatBits(f)) : std::nullopt;
    }
    const qulonglong v = t.toULongLong(&ok, 0);
    if (!ok || v > (isLong ? 0xFFFFFFFFull : 0xFFull))
        return std::nullopt;
    return static_cast<uint32_t>(v);
}

}  // namespace

RegisterDialog::RegisterDialog(QWidget* parent, link::Exchange& exchange, Messages& messages)
    : QDialog(parent), exchange_(exchange), messages_(messages)
{
    setObjectName("RegisterAccess");
    setWindowTitle(Text("Доступ к регистрам"));
    bank_ = new QComboBox;
    bank_->setObjectName("bank");
    bank_->addItems({"1", "2"});
    bank_->setCurrentIndex(1);
    width_ = new QComboBox;
    width_->setObjectName("width");
    width_->addItems({Text("байт"), Text("4 байта")});
    number_ = new QSpinBox;
    number_->setObjectName("number");
    number_->setRange(0, kHighestRegister);
    value_ = new QLineEdit;
    value_->setObjectName("value");

    auto* form = new QFormLayout(this);
    form->addRow(Text("Банк"), bank_);
    form->addRow(Text("Размер"), width_);
    form->addRow(Text("Номер"), number_);
    form->addRow(Text("Значение"), value_);
    auto* buttons = new QDialogButtonBox;
    const std::pair<const char*, Action> actions[] = {
        {"Прочитать", Action::Read}, {"Записать", Action::Write}, {"Записать с проверкой", Action::WriteChecked}};
    for (const auto& [caption, action] : actions) {
        QPushButton* b = buttons->addButton(Text(caption), QDialogButtonBox::ActionRole);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, a = action] { Run(a); });
    }
    connect(buttons->addButton(QDialogButtonBox::Close), &QPushButton::clicked, this, &QDialog::reject);
    form->addRow(buttons);
}

void RegisterDialog::Run(Action action)
{
    const auto bank = static_cast<uint32_t>(bank_->currentIndex() + 1);
    const bool isLong = width_->currentIndex() == 1;
    const auto number = static_cast<uint32_t>(number_->value());
    ErrorCode code = kOk;
    if (action == Action::Read) {
        uint32_t value = 0;
        code = isLong ? link::ReadLongRegister(exchange_, bank, number, value)
                      : link::ReadByteRegister(exchange_, bank, number, value);
        if (code == kOk)
            value_->setText(
                isLong
                    ? QStringLiteral("0x%1 (f:%2)").arg(value, 8, 16, QChar('0')).arg(double(link::BitsToFloat(value)))
                    : QString::number(value));
    } else if (action == Action::WriteChecked && isLong) {
        // The read-back check compares floats, so the value is one.
        bool ok = false;
        const float f = value_->text().replace(',', '.').trimmed().toFloat(&ok);
        if (!ok) {
            messages_.ShowMessage("Значение: число с точкой или запятой.", "Доступ к регистрам", MessageIcon::Error);
            return;
        }
        code = link::WriteFloatRegisterChecked(exchange_, bank, number, f);
    } else {
        const auto value = ValueOf(value_->text(), isLong);
        if (!value) {
            messages_.ShowMessage(isLong ? "Значение: целое число до 32 бит или число с точкой или запятой."
                                         : "Значение: целое число от 0 до 255.",
                                  "Доступ к регистрам", MessageIcon::Error);
            return;
        }
        if (action == Action::Write)
            code = isLong ? link::WriteLongRegister(exchange_, bank, number, *value)
                          : link::WriteByteRegister(exchange_, bank, number, *value);
        else
            code = link::WriteByteRegisterChecked(exchange_, bank, number, *value);
    }
    ShowErrorMessage(messages_, code);
}

}  // namespace pmv::gui
