#include "bus_view_dialog.h"

#include "window_clock.h"

#include "binding/binding.h"
#include "binding/commands.h"
#include "binding/file_errors.h"
#include "binding/session.h"
#include "ini/ini_file.h"
#include "link/link_settings.h"
#include "messages/messages.h"
#include "model/profile.h"
#include "model/profile_check.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace pmv::gui {
namespace {

constexpr uint32_t kPollIntervalMs = device::LivePoll::kIntervalMs;

QString Utf8(const std::string& text) { return QString::fromStdString(text); }

// The boxes of one instrument's flow stay unshown: its result goes into its row.
class RowMessages : public Messages {
public:
    void ShowMessage(const std::string&, const std::string&, MessageIcon) override {}
    bool AskYesNo(Question, const std::string&, const std::string&, MessageIcon) override { return false; }
    void DiscardPendingKeys() override {}
};

QString ResultText(binding::BusOutcome outcome)
{
    // What the note says (the file written) is the cell's tooltip.
    outcome.note.clear();
    std::string line = binding::OutcomeLine(outcome);
    // The row names the instrument already.
    line.erase(0, line.find(": ") + 2);
    return Utf8(line);
}

}  // namespace

// The dialog's own panel: the step in its status line, Esc from its keys.
class BusViewDialog::Panel : public Progress {
public:
    explicit Panel(BusViewDialog& dialog) : dialog_(dialog) {}
    void SetProgressLines(const ProgressLines&) override {}
    void ShowProgressPanel() override {}
    void HideProgressPanel() override {}
    void SetProgressStep(const std::string& text) override
    {
        dialog_.status_->setText(Utf8(text));
        QCoreApplication::processEvents();
    }
    bool EscapePressed() override
    {
        QCoreApplication::processEvents();
        return std::exchange(dialog_.stop_, false);
    }

private:
    BusViewDialog& dialog_;
};

BusViewDialog::BusViewDialog(QWidget* parent, binding::Session& session, Messages& messages, WindowClock& clock,
                             std::function<void(const binding::BusInstrument&, bool)> choose)
    : QDialog(parent), session_(session), messages_(messages), choose_(std::move(choose)),
      panel_(std::make_unique<Panel>(*this)), table_(new QTableWidget(0, Columns)), status_(new QLabel),
      bar_(new QProgressBar), scan_(new QPushButton(QString::fromUtf8("Найти приборы"))),
      read_(new QPushButton(QString::fromUtf8("Прочитать в папку…"))),
      write_(new QPushButton(QString::fromUtf8("Записать профиль…"))),
      chooseButton_(new QPushButton(QString::fromUtf8("Работать с прибором"))),
      keep_(new QCheckBox(QString::fromUtf8("Сохранить адрес и скорость в dev.dat")))
{
    setObjectName("BusViewDialog");
    setWindowTitle(QString::fromUtf8("Приборы на линии"));
    table_->setObjectName("BusTable");
    table_->setHorizontalHeaderLabels(
        {QString::fromUtf8("Адрес"), QString::fromUtf8("Скорость"), QString::fromUtf8("Модель"),
         QString::fromUtf8("Тип"), QString::fromUtf8("Номер прибора"), QString::fromUtf8("Версия"),
         QString::fromUtf8("Канал 1"), QString::fromUtf8("Канал 2"), QString::fromUtf8("Результат")});
    table_->verticalHeader()->hide();
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setMinimumSize(860, 220);
    status_->setObjectName("BusStatus");
    scan_->setObjectName("BusScanButton");
    read_->setObjectName("BusReadButton");
    write_->setObjectName("BusWriteButton");
    chooseButton_->setObjectName("BusChooseButton");
    keep_->setObjectName("BusKeepCheck");
    const uint32_t baud = session_.port.settings().BaudRate;
    status_->setText(session_.line.IsOpen()
                         ? QString::fromUtf8("Адреса 1..255 на скорости %1. Esc останавливает поиск.").arg(baud)
                         : QString::fromUtf8("Порт не открыт: поиск невозможен."));
    askFolder = [this] {
        return QFileDialog::getExistingDirectory(this, QString::fromUtf8("Папка для профилей приборов"));
    };
    askProfile = [this] {
        return QFileDialog::getOpenFileName(this, QString::fromUtf8("Профиль для выбранных приборов"), {},
                                            QString::fromUtf8("Профили (*.prf)"));
    };
    connect(scan_, &QPushButton::clicked, this, &BusViewDialog::Scan);
    connect(read_, &QPushButton::clicked, this, &BusViewDialog::ReadSelected);
    connect(write_, &QPushButton::clicked, this, &BusViewDialog::WriteSelected);
    connect(chooseButton_, &QPushButton::clicked, this, [this] { Choose(table_->currentRow()); });
    connect(table_, &QTableWidget::activated, this, [this](const QModelIndex& index) { Choose(index.row()); });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &BusViewDialog::reject);
    auto* actions = new QHBoxLayout;
    for (QPushButton* button : {scan_, read_, write_, chooseButton_})
        actions->addWidget(button);
    actions->addWidget(keep_);
    actions->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(actions);
    layout->addWidget(table_);
    layout->addWidget(status_);
    layout->addWidget(bar_);
    layout->addWidget(buttons);
    SetRunning(false);
    poll_ = clock.NewTicker([this] { PollNext(); });
    poll_->Start(kPollIntervalMs);
}

BusViewDialog::~BusViewDialog() = default;

void BusViewDialog::keyPressEvent(QKeyEvent* event)
{
    if (running_ && event->key() == Qt::Key_Escape) {
        stop_ = true;
        return;
    }
    // Enter on a row makes it the window's instrument, as a double-click does.
    if (!running_ && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && table_->currentRow() >= 0) {
        Choose(table_->currentRow());
        return;
    }
    QDialog::keyPressEvent(event);
}

void BusViewDialog::reject()
{
    // Closing while the line is busy stops the work first; the dialog closes once it returns.
    if (running_) {
        stop_ = closeRequested_ = true;
        return;
    }
    QDialog::reject();
}

void BusViewDialog::SetRunning(bool running)
{
    running_ = running;
    const bool open = session_.line.IsOpen();
    scan_->setEnabled(!running && open);
    const bool rows = !instruments_.empty();
    read_->setEnabled(!running && rows);
    write_->setEnabled(!running && rows);
    chooseButton_->setEnabled(!running && rows);
    if (!running && closeRequested_)
        QDialog::reject();
}

int BusViewDialog::RowOf(uint32_t address) const
{
    for (size_t i = 0; i < instruments_.size(); ++i)
        if (instruments_[i].address == address)
            return static_cast<int>(i);
    return -1;
}

void BusViewDialog::SetCell(int row, Column column, const QString& text)
{
    auto* item = table_->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        table_->setItem(row, column, item);
    }
    item->setText(text);
}

void BusViewDialog::Show(const binding::BusInstrument& instrument)
{
    int row = RowOf(instrument.address);
    if (row < 0) {
        // In the order of addresses, whatever order they were found in.
        row = 0;
        while (row < static_cast<int>(instruments_.size()) &&
               instruments_[static_cast<size_t>(row)].address < instrument.address)
            ++row;
        instruments_.insert(instruments_.begin() + row, instrument);
        polls_.insert(polls_.begin() + row, device::LivePoll());
        table_->insertRow(row);
    } else {
        instruments_[static_cast<size_t>(row)] = instrument;
    }
    SetCell(row, Address, QString::number(instrument.address));
    SetCell(row, Speed, QString::number(instrument.baud));
    if (instrument.conflict) {
        SetCell(row, Model, QString::fromUtf8("ответы искажены: на адресе несколько приборов"));
        return;
    }
    SetCell(row, Model, Utf8(binding::ModelText(instrument)));
    SetCell(row, TypeCode, instrument.identified ? QString::number(instrument.identity.general.otk_type) : QString());
    SetCell(row, Serial, Utf8(binding::NumberText(instrument)));
    SetCell(row, Firmware, Utf8(binding::FirmwareText(instrument)));
    if (instrument.code != kOk)
        if (const ErrorMessage* message = FindErrorMessage(instrument.code))
            SetCell(row, Result, Utf8(message->text));
}

void BusViewDialog::Scan()
{
    if (running_ || !session_.line.IsOpen())
        return;
    SetRunning(true);
    stop_ = false;
    instruments_.clear();
    polls_.clear();
    table_->setRowCount(0);
    device::SearchOptions options;
    options.bauds = {session_.port.settings().BaudRate};
    device::Device device{session_.exchange, *panel_, session_.model, {}};
    const binding::BusScan scan = binding::ScanBus(
        device, session_.line, session_.clock, options,
        [this](const device::SearchStep& step) {
            bar_->setMaximum(static_cast<int>(step.total));
            bar_->setValue(static_cast<int>(step.probed));
            status_->setText(
                QString::fromUtf8("Адрес %1, найдено приборов: %2").arg(step.address).arg(instruments_.size()));
            QCoreApplication::processEvents();
            return !std::exchange(stop_, false);
        },
        [this](const binding::BusInstrument& instrument) { Show(instrument); });
    session_.line.Configure(session_.port.settings().BaudRate);
    bar_->setValue(bar_->maximum());
    status_->setText(scan.stopped
                         ? QString::fromUtf8("Поиск остановлен: найдено приборов: %1.").arg(instruments_.size())
                         : QString::fromUtf8("Найдено приборов: %1.").arg(instruments_.size()));
    if (!instruments_.empty() && table_->currentRow() < 0)
        table_->selectRow(0);
    SetRunning(false);
}

std::vector<binding::BusInstrument> BusViewDialog::Selected() const
{
    std::vector<binding::BusInstrument> selected;
    for (int row = 0; row < table_->rowCount(); ++row) {
        const binding::BusInstrument& instrument = instruments_[static_cast<size_t>(row)];
        if (table_->selectionModel()->isRowSelected(row, {}) && !instrument.conflict)
            selected.push_back(instrument);
    }
    return selected;
}

void BusViewDialog::ShowOutcomes(const std::vector<binding::BusOutcome>& outcomes)
{
    size_t done = 0;
    for (const binding::BusOutcome& outcome : outcomes) {
        done += outcome.done && outcome.code == kOk;
        binding::BusInstrument shown = outcome.instrument;
        const int row = RowOf(shown.address);
        if (row < 0)
            continue;
        // A flow that did not read the identity keeps what the scan found.
        if (!shown.identified)
            shown = instruments_[static_cast<size_t>(row)];
        Show(shown);
        SetCell(row, Result, ResultText(outcome));
        table_->item(row, Result)->setToolTip(Utf8(outcome.note));
    }
    status_->setText(QString::fromUtf8("Выполнено: %1 из %2.").arg(done).arg(outcomes.size()));
}

void BusViewDialog::ReadSelected()
{
    const std::vector<binding::BusInstrument> selected = Selected();
    if (running_ || selected.empty())
        return;
    const QString folder = askFolder();
    if (folder.isEmpty())
        return;
    SetRunning(true);
    stop_ = false;
    RowMessages quiet;
    std::vector<std::string> taken;
    const int32_t port = session_.port.settings().Number;
    device::Device device{session_.exchange, *panel_, session_.model, {}};
    ShowOutcomes(binding::RunOnEach(device, session_.line, selected, [&](device::Device& d, binding::BusOutcome& o) {
        return binding::ReadIntoFolder(d, quiet, port, folder.toStdString(), taken, o);
    }));
    SetRunning(false);
}

void BusViewDialog::WriteSelected()
{
    const std::vector<binding::BusInstrument> selected = Selected();
    if (running_ || selected.empty())
        return;
    const std::string path = askProfile().toStdString();
    if (path.empty())
        return;
    model::SettingsModel profile;
    const model::ReadProfileResult read = model::ReadProfile(path, profile);
    if (read.error || !read.exists || !read.holdsProfile) {
        messages_.ShowMessage(read.error ? binding::FileErrorText(*read.error)
                                         : "Файл " + path + " не является профилем",
                              "Ошибка", MessageIcon::Error);
        return;
    }
    model::SettingsModel everyGroup = profile;
    everyGroup.channel[0].select = everyGroup.channel[1].select = everyGroup.rele.select =
        everyGroup.general.gen_select = 1;
    const model::ProfileCheck check = model::CheckProfile(ini::IniFile::Load(path), model::SentByWrite(everyGroup));
    if (!check.bad.empty()) {
        messages_.ShowMessage(model::BadValuesText(path, check.bad) + "\nВ приборы ничего не отправлено.", "Ошибка",
                              MessageIcon::Error);
        return;
    }
    if (check.missing != 0 && !messages_.AskYesNo(Question::ProfileDefaults,
                                                  model::MissingKeysText(path, check.missing) + "\nЗаписать в приборы?",
                                                  "Профиль", MessageIcon::Warning))
        return;
    SetRunning(true);
    stop_ = false;
    const int32_t port = session_.port.settings().Number;
    // The checks before writing ask once, for every instrument of the batch.
    device::Device checker{session_.exchange, *panel_, profile, {}};
    binding::ControlValues controls;
    binding::ShowSettings(profile, port, controls);
    struct : binding::CommandHost {
        void ShowControls(const binding::ControlValues&) override {}
    } host;
    binding::CommandContext context{checker, messages_, host, controls, port};
    if (binding::CheckAllBeforeWriting(context) != kOk) {
        status_->setText(QString::fromUtf8("Проверки перед записью не пройдены: в приборы ничего не отправлено."));
        SetRunning(false);
        return;
    }
    RowMessages quiet;
    session_.history.OpenAside();
    device::Device device{session_.exchange, *panel_, session_.model, {}};
    ShowOutcomes(binding::RunOnEach(device, session_.line, selected, [&](device::Device& d, binding::BusOutcome& o) {
        return binding::WriteAndVerify(
            d, quiet, port, profile, path, [&](const history::HistoryRecord& r) { session_.history.Record(r); }, o);
    }));
    SetRunning(false);
}

void BusViewDialog::Choose(int row)
{
    if (running_ || row < 0 || row >= static_cast<int>(instruments_.size()))
        return;
    const binding::BusInstrument& instrument = instruments_[static_cast<size_t>(row)];
    if (instrument.conflict)
        return;
    choose_(instrument, keep_->isChecked());
    const QString number = Utf8(binding::NumberText(instrument));
    status_->setText(QString::fromUtf8("Окно работает с прибором: адрес %1%2.")
                         .arg(instrument.address)
                         .arg(number.isEmpty() ? QString() : ", " + number));
}

void BusViewDialog::PollNext()
{
    if (running_ || instruments_.empty() || !session_.line.IsOpen() || session_.exchange.InExchange())
        return;
    for (size_t tried = 0; tried < instruments_.size(); ++tried) {
        const size_t at = nextPoll_++ % instruments_.size();
        const binding::BusInstrument& instrument = instruments_[at];
        if (instrument.conflict)
            continue;
        const uint32_t address = session_.exchange.values().DeviceAddress;
        const uint32_t byteTimeout = session_.exchange.values().ByteTimeout;
        binding::SelectOnLine(session_.exchange, session_.line, instrument.address, 0);
        device::LiveValues values;
        const ErrorCode code = polls_[at].Tick(session_.exchange, values, {}).code;
        session_.exchange.values().DeviceAddress = address;
        session_.exchange.values().ByteTimeout = byteTimeout;
        const int row = static_cast<int>(at);
        if (code == kOk) {
            SetCell(row, Channel1, QString::number(static_cast<double>(values.value[0]), 'f', 4));
            SetCell(row, Channel2, QString::number(static_cast<double>(values.value[1]), 'f', 4));
        } else {
            SetCell(row, Channel1, QString::fromUtf8("нет ответа"));
            SetCell(row, Channel2, {});
        }
        return;
    }
}

}  // namespace pmv::gui
