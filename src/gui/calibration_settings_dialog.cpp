#include "calibration_settings_dialog.h"

#include "binding/calibration_fields.h"
#include "messages/error_codes.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace pmv::gui {
namespace {

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

std::string Name(const char* key, const char* suffix)
{
    return (QString::fromLatin1(key) + QString::fromLatin1(suffix)).toStdString();
}

}  // namespace

CalibrationSettingsDialog::CalibrationSettingsDialog(QWidget* parent, model::SettingsModel& model, Messages& messages)
    : QDialog(parent), model_(model), messages_(messages)
{
    setObjectName("CalibrationSettings");
    setWindowTitle(Text("Параметры градуировки"));
    const binding::FieldTexts texts = binding::ShowCalibrationFields(model_);
    auto edit = [&](const std::string& name) {
        auto* e = new QLineEdit(QString::fromStdString(texts.at(name)));
        e->setObjectName(QString::fromStdString(name));
        e->setMaximumWidth(90);
        edits_[name] = e;
        return e;
    };
    auto grid = [](QGroupBox* box, const QStringList& heads) {
        auto* g = new QGridLayout(box);
        for (int c = 0; c < heads.size(); ++c)
            g->addWidget(new QLabel(heads[c]), 0, c + 1);
        return g;
    };

    auto* references = new QGroupBox(Text("Образцовые сигналы"));
    QGridLayout* r = grid(references, {Text("Канал 1"), Text("Канал 2")});
    // clang-format off
    const std::pair<const char*, const char*> referenceRows[] = {
        {"set_ra", "Первый резистор, Ом"}, {"set_rb", "Второй резистор, Ом"},
        {"set_ku", "Ku 0-100 мВ, мВ"},      {"set_ku10", "Ku 0-10 В, В"},
        {"set_ki05", "Ki 0-5 мА, мА"},      {"set_ki020", "Ki 0-20 мА, мА"},
    };
    // clang-format on
    int row = 1;
    for (const auto& [key, label] : referenceRows) {
        r->addWidget(new QLabel(Text(label)), row, 0);
        r->addWidget(edit(Name(key, "1")), row, 1);
        r->addWidget(edit(Name(key, "2")), row, 2);
        ++row;
    }

    auto* procedure = new QGroupBox(Text("Выдержка и накопление"));
    QGridLayout* p = grid(procedure, {Text("Выдержка, с"), Text("Измерений")});
    const std::array<const char* [3], 3> procedureRows {
        {
            {"UREF/RREF", "del_ref", "usr_ref"}, {"Ku", "del_ku", "usr_ku"}, { "Ki", "del_ki", "usr_ki" }
        }
    };
    row = 1;
    for (const auto& columns : procedureRows) {
        p->addWidget(new QLabel(Text(columns[0])), row, 0);
        p->addWidget(edit(columns[1]), row, 1);
        p->addWidget(edit(columns[2]), row, 2);
        ++row;
    }
    writeAtOnce_ = new QCheckBox(Text("Предлагать запись результата в прибор сразу"));
    writeAtOnce_->setObjectName("wr_grad_immid");
    writeAtOnce_->setChecked(texts.at("wr_grad_immid") == "1");
    p->addWidget(writeAtOnce_, row, 0, 1, 3);

    auto* bounds = new QGroupBox(Text("Допустимые значения результата"));
    QGridLayout* b = grid(bounds, {Text("Минимум"), Text("Максимум")});
    // clang-format off
    const std::pair<const char*, const char*> boundRows[] = {
        {"UREF", "uref"}, {"RREF", "rref"},           {"Ku 0-100 мВ", "ku"},
        {"Ku 0-10 В", "ku10"}, {"Ki 0-5 мА", "ki05"}, {"Ki 0-20 мА", "ki020"},
    };
    // clang-format on
    row = 1;
    for (const auto& [label, key] : boundRows) {
        b->addWidget(new QLabel(Text(label)), row, 0);
        b->addWidget(edit(Name(key, "_min")), row, 1);
        b->addWidget(edit(Name(key, "_max")), row, 2);
        ++row;
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // The two tables of six rows side by side and the shorter one below: no box is stretched
    // past its rows.
    references->setObjectName("ReferencesBox");
    procedure->setObjectName("ProcedureBox");
    bounds->setObjectName("BoundsBox");
    auto* columns = new QHBoxLayout;
    columns->addWidget(references);
    columns->addWidget(bounds);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(procedure);
    layout->addWidget(buttons);
}

void CalibrationSettingsDialog::accept()
{
    binding::FieldTexts texts;
    for (const auto& [name, e] : edits_)
        texts[name] = e->text().toStdString();
    texts["wr_grad_immid"] = std::string(1, writeAtOnce_->isChecked() ? '1' : '0');
    if (binding::GatherCalibrationFields(texts, model_, messages_) == kOk)
        QDialog::accept();
}

}  // namespace pmv::gui
