#include "history_place_dialog.h"

#include "binding/file_errors.h"
#include "connection_check_dialog.h"
#include "history/history.h"
#include "history/postgres_history.h"
#include "link/link_settings.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace pmv::gui {

HistoryPlaceDialog::HistoryPlaceDialog(QWidget* parent, history::SelectedHistory& history)
    : QDialog(parent), history_(history)
{
    setObjectName("HistoryPlaceDialog");
    setWindowTitle(QString::fromUtf8("Журнал приборов"));
    file_ = new QRadioButton(QString::fromUtf8("Файл history.sqlite в рабочей папке (одна станция)"));
    file_->setObjectName("HistoryFile");
    server_ = new QRadioButton(QString::fromUtf8("Сервер PostgreSQL, общий для нескольких станций"));
    server_->setObjectName("HistoryServer");
    address_ = new QLineEdit(QString::fromStdString(history.address()));
    address_->setObjectName("HistoryAddress");
    address_->setPlaceholderText(QStringLiteral("postgresql://pmv@factory-db/pmv"));
    const bool onServer = !history.address().empty();
    (onServer ? server_ : file_)->setChecked(true);
    address_->setEnabled(onServer);
    connect(server_, &QRadioButton::toggled, address_, &QLineEdit::setEnabled);
    auto* note = new QLabel(QString::fromUtf8("Пароль в адрес не пишется: его берут из ~/.pgpass или PGPASSWORD. "
                                              "Выбор сохраняется в dev.dat ([HISTORY] Server)."));
    note->setWordWrap(true);
    findings_ = new QTextBrowser;
    findings_->setObjectName("Findings");
    findings_->setMinimumSize(520, 160);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QPushButton* check = buttons->addButton(QString::fromUtf8("Проверить"), QDialogButtonBox::ActionRole);
    check->setObjectName("CheckButton");
    connect(check, &QPushButton::clicked, this, &HistoryPlaceDialog::CheckChosen);
    connect(buttons, &QDialogButtonBox::accepted, this, &HistoryPlaceDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(file_);
    layout->addWidget(server_);
    layout->addWidget(address_);
    layout->addWidget(note);
    layout->addWidget(findings_);
    layout->addWidget(buttons);
}

bool HistoryPlaceDialog::Chosen(std::string& address)
{
    address = file_->isChecked() ? std::string() : address_->text().trimmed().toStdString();
    std::string problem;
    if (address.empty() || history::ParseServerAddress(address, problem))
        return true;
    findings_->setHtml(FindingsHtml({{"history", system::FindingState::Problem, "Адрес сервера неверен: " + problem, "",
                                      "history_address_invalid"}}));
    return false;
}

void HistoryPlaceDialog::CheckChosen()
{
    std::string address;
    if (!Chosen(address))
        return;
    const std::unique_ptr<history::History> chosen = history::MakeHistory(address, ".");
    findings_->setHtml(FindingsHtml(HistoryFindings(address == history_.address() ? history_ : *chosen)));
}

void HistoryPlaceDialog::accept()
{
    std::string address;
    if (!Chosen(address))
        return;
    if (const auto failure = link::SaveHistoryServer(link::LinkSettingsPath(), address)) {
        findings_->setHtml(FindingsHtml(
            {{"history", system::FindingState::Problem, "dev.dat не записан: " + binding::FileReasonText(*failure), "",
              "history_settings_unwritten"}}));
        return;
    }
    history_.Use(address);
    QDialog::accept();
}

}  // namespace pmv::gui
