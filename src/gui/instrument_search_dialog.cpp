#include "instrument_search_dialog.h"

#include "binding/file_errors.h"
#include "device/device_settings.h"
#include "device/instrument_search.h"
#include "link/exchange.h"
#include "link/link_port.h"
#include "link/link_settings.h"
#include "link/serial_line.h"
#include "window_messages.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace pmv::gui {

InstrumentSearchDialog::InstrumentSearchDialog(QWidget* parent, link::LinkPort& port, link::Exchange& exchange,
                                               link::SerialLine& line, const link::Clock& clock)
    : QDialog(parent), port_(port), exchange_(exchange), line_(line), clock_(clock), status_(new QLabel),
      bar_(new QProgressBar), start_(new QPushButton(QString::fromUtf8("Начать")))
{
    setObjectName("InstrumentSearchDialog");
    setWindowTitle(QString::fromUtf8("Поиск прибора"));
    status_->setObjectName("SearchStatus");
    status_->setMinimumWidth(420);
    status_->setText(line_.IsOpen() ? QString::fromUtf8("Адреса 1..255 на всех скоростях, сначала на заданной. "
                                                        "Esc останавливает поиск.")
                                    : QString::fromUtf8("Порт не открыт: поиск невозможен."));
    start_->setObjectName("StartButton");
    start_->setEnabled(line_.IsOpen());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    buttons->addButton(start_, QDialogButtonBox::ActionRole);
    connect(start_, &QPushButton::clicked, this, &InstrumentSearchDialog::Search);
    connect(buttons, &QDialogButtonBox::rejected, this, &InstrumentSearchDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(bar_);
    layout->addWidget(buttons);
}

void InstrumentSearchDialog::keyPressEvent(QKeyEvent* event)
{
    if (running_ && event->key() == Qt::Key_Escape) {
        stop_ = true;
        return;
    }
    QDialog::keyPressEvent(event);
}

void InstrumentSearchDialog::reject()
{
    // Closing during the search stops it first; the dialog closes when the search has returned.
    if (running_) {
        stop_ = closeRequested_ = true;
        return;
    }
    QDialog::reject();
}

void InstrumentSearchDialog::Search()
{
    link::LinkSettings& settings = port_.settings();
    device::SearchOptions options;
    options.bauds = device::SearchBauds(settings.BaudRate);
    running_ = true;
    stop_ = closeRequested_ = false;
    start_->setEnabled(false);
    device::InstrumentSearch search(line_, clock_);
    const device::SearchResult result = search.Run(options, [&](const device::SearchStep& step) {
        bar_->setMaximum(static_cast<int>(step.total));
        bar_->setValue(static_cast<int>(step.probed));
        status_->setText(QString::fromUtf8("Скорость %1, адрес %2 — %3 адр/с")
                             .arg(step.baud)
                             .arg(step.address)
                             .arg(step.addressesPerSecond, 0, 'f', 0));
        QCoreApplication::processEvents();
        return !stop_;
    });
    running_ = false;
    start_->setEnabled(true);
    // Back to the speed in force unless the user keeps the one found.
    line_.Configure(settings.BaudRate);
    if (result.found.empty()) {
        status_->setText(result.stopped ? QString::fromUtf8("Поиск остановлен.")
                                        : QString::fromUtf8("Прибор не найден."));
        if (closeRequested_)
            QDialog::reject();
        return;
    }
    const device::FoundInstrument& f = result.found.front();
    status_->setText(QString::fromUtf8("Прибор найден: адрес %1, скорость %2, версия программы %3.")
                         .arg(f.address)
                         .arg(f.baud)
                         .arg(QString::fromStdString(device::FirmwareVersionText(static_cast<int32_t>(f.firmware)))));
    QMessageBox question(QMessageBox::Question, windowTitle(),
                         QString::fromUtf8("Прибор найден: адрес %1, скорость %2. Запомнить эти настройки связи?")
                             .arg(f.address)
                             .arg(f.baud),
                         QMessageBox::Yes | QMessageBox::No, this);
    question.setDefaultButton(QMessageBox::No);
    FitCaption(question);
    if (question.exec() != QMessageBox::Yes)
        return;
    if (const auto failure = device::SaveFoundInstrument(link::LinkSettingsPath(), f, settings)) {
        QMessageBox::critical(this, QString::fromUtf8("Ошибка"),
                              QString::fromStdString(binding::FileErrorText(*failure)));
        return;
    }
    exchange_.values().DeviceAddress = f.address;
    link::SetLineSpeed(exchange_.values(), f.baud);
    line_.Configure(f.baud);
}

}  // namespace pmv::gui
