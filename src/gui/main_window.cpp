#include "main_window.h"

#include "binding/binding.h"
#include "device/device_settings.h"
#include "link/link_settings.h"
#include "messages/error_codes.h"
#include "model/factory_profiles.h"
#include "model/profile.h"
#include "live_values_page.h"
#include "window_layout.h"

#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>

#include <array>
#include <utility>

namespace pmv {
namespace {

// The bound controls by kind: a field of the control values and the control of the same name.
struct TextField {
    std::string ControlValues::*field;
    const char* name;
};
struct PositionField {
    int ControlValues::*field;
    const char* name;
};
struct TickField {
    bool ControlValues::*field;
    const char* name;
};

#define BOUND(control) {&ControlValues::control, #control}

constexpr TextField kEdits[] = {
    BOUND(Edit1),  BOUND(Edit2),  BOUND(Edit3),  BOUND(Edit4),  BOUND(Edit5),  BOUND(Edit6),  BOUND(Edit7),
    BOUND(Edit8),  BOUND(Edit9),  BOUND(Edit10), BOUND(Edit11), BOUND(Edit12), BOUND(Edit13), BOUND(Edit14),
    BOUND(Edit15), BOUND(Edit16), BOUND(Edit17), BOUND(Edit18), BOUND(Edit19), BOUND(Edit20), BOUND(Edit21),
    BOUND(Edit22), BOUND(Edit23), BOUND(Edit24), BOUND(Edit53),
};
// The texts of the editable step lists.
constexpr TextField kListTexts[] = {BOUND(ComboBox21), BOUND(ComboBox22), BOUND(ComboBox23), BOUND(ComboBox24)};
// Texts shown only, never taken back.
constexpr TextField kPanelTexts[] = {BOUND(Label2), BOUND(Panel78), BOUND(Panel79)};
constexpr PositionField kListPositions[] = {
    BOUND(ComboBox1),  BOUND(ComboBox2),  BOUND(ComboBox3),  BOUND(ComboBox4),  BOUND(ComboBox5),
    BOUND(ComboBox6),  BOUND(ComboBox7),  BOUND(ComboBox8),  BOUND(ComboBox9),  BOUND(ComboBox10),
    BOUND(ComboBox11), BOUND(ComboBox12), BOUND(ComboBox13), BOUND(ComboBox14), BOUND(ComboBox15),
    BOUND(ComboBox16), BOUND(ComboBox17), BOUND(ComboBox19), BOUND(ComboBox20), BOUND(ComboBox25),
    BOUND(ComboBox26), BOUND(ComboBox27),
};
constexpr TickField kTicks[] = {
    BOUND(CheckBox1), BOUND(CheckBox2), BOUND(CheckBox3), BOUND(CheckBox4),
    BOUND(CheckBox5), BOUND(CheckBox6), BOUND(CheckBox7), BOUND(CheckBox10),
};

#undef BOUND

// The group panels and whether each is white.
constexpr TickField kGroupPanels[] = {
    {&ControlValues::Panel1White, "Panel1"},
    {&ControlValues::Panel2White, "Panel2"},
    {&ControlValues::Panel71White, "Panel71"},
    {&ControlValues::Panel77White, "Panel77"},
};

// What LockCommands disables.
constexpr const char* kExchangeControls[] = {"Button1",   "Button2",   "Button3",   "Button4",
                                             "CheckBox1", "CheckBox2", "CheckBox3", "CheckBox10"};
// What else waits while an operation runs: the other exchanges and the port.
constexpr const char* kHeldControls[] = {"ComboBox17", "Button42", "Button44", "Button45", "Button46"};

QString Text(const std::string& s)
{
    return QString::fromStdString(s);
}

}  // namespace

class TForm1::Operation {
public:
    explicit Operation(TForm1& window) : window_(window) { window_.SetBusy(true); }
    ~Operation() { window_.SetBusy(false); }
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

private:
    TForm1& window_;
};

TForm1::TForm1(const WindowOptions& options)
    : messages_(*this, keys_),
      progress_(keys_),
      exchange_(line_, clock_),
      port_(line_, exchange_, messages_, FoundSerialPorts),
      device_{exchange_, progress_, model_, {}},
      portOverride_(options.portDevice)
{
    setObjectName("Form1");
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    setFont(font);

    auto* client = new QWidget;
    client->setFixedSize(layout::kClientWidth, layout::kClientHeight);
    setCentralWidget(client);
    layout::BuildClientArea(*client);
    progress_.Build(*client);

    QMenu* file = menuBar()->addMenu(QString::fromUtf8("Файл"));
    file->setObjectName("N1");
    file->addAction(QString::fromUtf8("Прочитать из файла настройки прибора"))->setObjectName("N2");
    file->addAction(QString::fromUtf8("Сохранить настройки прибора в файл"))->setObjectName("N3");

    layout()->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - frameGeometry().center() + pos());

    if (!portOverride_.empty())
        port_.SetDeviceOverride(portOverride_);
    timer2_.setObjectName("Timer2");
    timer2_.setSingleShot(true);
    timer3_.setObjectName("Timer3");
    ConnectHandlers();
    FormCreate();
}

TForm1::~TForm1() = default;

template <class T>
T* TForm1::Control(const char* name) const
{
    return findChild<T*>(QString::fromUtf8(name));
}

void TForm1::ConnectHandlers()
{
    const auto button = [this](const char* name, auto handler) {
        connect(Control<QPushButton>(name), &QPushButton::clicked, this, handler);
    };
    button("Button1", [this] { RunExchangeCommand(&ReadAll); });
    button("Button2", [this] { RunExchangeCommand(&ReadSelected); });
    button("Button3", [this] { RunExchangeCommand(&WriteAll); });
    button("Button4", [this] { RunExchangeCommand(&WriteSelected); });
    button("Button42", [this] { Button42Click(); });
    button("Button44", [this] { Button44Click(); });
    button("Button45", [this] { Button45Click(); });
    button("Button46", [this] { Button46Click(); });

    const auto group = [this](const char* name, int32_t& flag) {
        connect(Control<QCheckBox>(name), &QCheckBox::clicked, this, [this, &flag](bool ticked) {
            GroupClick(flag, ticked);
        });
    };
    group("CheckBox1", model_.channel[0].select);
    group("CheckBox2", model_.channel[1].select);
    group("CheckBox3", model_.rele.select);
    group("CheckBox10", model_.general.gen_select);

    connect(findChild<QAction*>("N2"), &QAction::triggered, this, [this] { N2Click(); });
    connect(findChild<QAction*>("N3"), &QAction::triggered, this, [this] { N3Click(); });
    connect(Control<QTabWidget>("TabbedNotebook1"), &QTabWidget::currentChanged, this,
            [this] { TabbedNotebook1Change(); });

    // `activated` comes from the user only: a list moved by ShowSettings runs no handler.
    for (const char* name : {"ComboBox1", "ComboBox7"})
        connect(Control<QComboBox>(name), &QComboBox::activated, this, [this] { SensorTypeChange(); });
    connect(Control<QComboBox>("ComboBox17"), &QComboBox::activated, this, &TForm1::ComboBox17Change);
    connect(Control<QComboBox>("ComboBox25"), &QComboBox::activated, this, &TForm1::ComboBox25Change);
    connect(Control<QComboBox>("ComboBox26"), &QComboBox::activated, this, &TForm1::ComboBox26Change);
    connect(Control<QCalendarWidget>("bcCalendar1"), &QCalendarWidget::selectionChanged, this,
            &TForm1::bcCalendar1Change);
    connect(Control<QTableWidget>("StringGrid1"), &QTableWidget::cellClicked, this, &TForm1::StringGrid1Click);
    connect(&timer2_, &QTimer::timeout, this, &TForm1::Timer2Timer);
    connect(&timer3_, &QTimer::timeout, this, &TForm1::Timer3Timer);
}

// ---- Start-up and close ----

void TForm1::FormCreate()
{
    // The progress panel is built hidden with its six lines empty.
    ShowFileErrorOnce(LoadLinkSettings(LinkSettingsPath(), port_.settings(), messages_));
    layout::FillWindowLists(*centralWidget());

    const LoadProfileResult recent = LoadProfile(RecentProfilePath(), model_);
    if (recent.description)
        ShowDescription(*recent.description);
    ShowFileErrorOnce(recent.error);
    ShowFileErrorOnce(CreateDefaultProfiles());
    ShowSettings();

    SetCaption({});
    port_.OpenPort();
    ShowPortDevices();
    Control<QTabWidget>("TabbedNotebook1")->setCurrentIndex(layout::kChannelsPage);
    ApplyLinkValues(port_.settings(), exchange_.values());
    SetTodayAsProductionDate();
    ShowSettings();
    RepaintNow();
    timer2_.start(200);
    timer3_.start(LivePoll::kFirstIntervalMs);
}

void TForm1::Timer2Timer()
{
    // The second load waits for an operation that started in the meantime.
    if (busy_) {
        timer2_.start();
        return;
    }
    const LoadProfileResult recent = LoadProfile(RecentProfilePath(), model_);
    if (recent.description)
        ShowDescription(*recent.description);
    ShowFileErrorOnce(recent.error);
    ShowSettings();
    ShowGroupSelection();
    RepaintNow();
}

void TForm1::Timer3Timer()
{
    timer3_.setInterval(LivePoll::kIntervalMs);
    // The poll may run between two exchanges of an operation, never inside one.
    if (Control<QTabWidget>("TabbedNotebook1")->currentIndex() != layout::kLiveValuesPage || exchange_.InExchange())
        return;
    const LinkSettings& link = port_.settings();
    const LivePoll::Outcome outcome =
        poll_.Tick(exchange_, live_, link.UseIzmFile == 1 ? link.IzmFileName : std::string());
    live::ShowView(*this, ShowCurrentValues(live_));
    live::ShowOutcome(*this, ShowPollOutcome(outcome.code));
    timer3_.setInterval(outcome.nextIntervalMs);
}

void TForm1::FormClose()
{
    ShowFileErrorOnce(port_.SaveLinkSettingsAtExit(LinkSettingsPath()));
    GatherSettings();
    ShowFileErrorOnce(SaveProfile(RecentProfilePath(), model_, DescriptionLines()));
}

void TForm1::closeEvent(QCloseEvent* event)
{
    // An operation between two of its exchanges still needs the port and the model: the close
    // stops it like Esc, and the window closes once it has ended.
    if (busy_) {
        closeRequested_ = true;
        keys_.PressEscape();
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TForm1::SetTodayAsProductionDate()
{
    const QDate today = QDate::currentDate();
    model_.made_day = today.day();
    model_.made_month = today.month();
    model_.made_year = today.year();
}

void TForm1::SetCaption(const QString& fileName)
{
    setWindowTitle(QString::fromUtf8(kCaptionPrefix) + QString::fromUtf8(kProgramVersion) + fileName);
}

void TForm1::ShowPortDevices()
{
    const QString none = QString::fromUtf8("нет устройства");
    const std::vector<std::string> found = FoundSerialPorts();
    auto* selector = Control<QComboBox>("ComboBox17");
    QStringList mapping;
    for (int32_t n = 1; n <= kPortListSize; ++n) {
        const std::string device =
            portOverride_.empty() ? PortDevice(n, port_.settings().PortDevices, found) : portOverride_;
        const QString line = QStringLiteral("%1: %2").arg(n).arg(device.empty() ? none : Text(device));
        selector->setItemData(n - 1, line, Qt::ToolTipRole);
        mapping << line;
    }
    const std::string current = port_.DeviceName();
    auto* label = Control<QLabel>("PortDeviceLabel");
    const QString text = current.empty() ? none : Text(current);
    label->setText(label->fontMetrics().elidedText(text, Qt::ElideLeft, label->width()));
    label->setToolTip(QString::fromUtf8("Устройства портов:\n") + mapping.join('\n'));
}

void TForm1::ShowFileError(const std::optional<std::string>& error)
{
    if (error)
        messages_.ShowMessage(*error, "Ошибка", MessageIcon::Error);
}

void TForm1::ShowFileErrorOnce(const std::optional<std::string>& error)
{
    if (error && shownFileErrors_.insert(*error).second)
        ShowFileError(error);
}

void TForm1::ShowDescription(const std::array<std::string, 4>& lines)
{
    QStringList text;
    for (const std::string& line : lines)
        text << Text(line);
    Control<QTextEdit>("RichEdit1")->setPlainText(text.join('\n'));
}

std::vector<std::string> TForm1::DescriptionLines() const
{
    std::vector<std::string> lines;
    for (const QString& line : Control<QTextEdit>("RichEdit1")->toPlainText().split('\n'))
        lines.push_back(line.toStdString());
    return lines;
}

// ---- Binding ----

void TForm1::ShowSettings()
{
    pmv::ShowSettings(model_, port_.settings().Number, controls_);
    PutControls(controls_);
}

void TForm1::GatherSettings()
{
    controls_ = TakeControls();
    pmv::GatherSettings(controls_, model_, messages_);
}

void TForm1::ShowGroupSelection()
{
    pmv::ShowGroupSelection(model_, controls_);
    const QColor face = QApplication::palette().color(QPalette::Button);
    for (const TickField& panel : kGroupPanels) {
        QWidget* w = Control<QWidget>(panel.name);
        QPalette palette = w->palette();
        palette.setColor(QPalette::Window, controls_.*panel.field ? QColor(Qt::white) : face);
        w->setPalette(palette);
    }
}

ControlValues TForm1::TakeControls() const
{
    ControlValues values = controls_;
    for (const TextField& f : kEdits)
        values.*f.field = Control<QLineEdit>(f.name)->text().toStdString();
    for (const TextField& f : kListTexts)
        values.*f.field = Control<QComboBox>(f.name)->currentText().toStdString();
    for (const PositionField& f : kListPositions)
        values.*f.field = Control<QComboBox>(f.name)->currentIndex();
    for (const TickField& f : kTicks)
        values.*f.field = Control<QCheckBox>(f.name)->isChecked();
    const auto* relays = Control<QTableWidget>("StringGrid1");
    for (int row = 1; row < layout::kGridRows; ++row)
        for (int column = 1; column < layout::kGridColumns; ++column)
            values.StringGrid1[row - 1][column - 1] = relays->item(row, column)->text().toStdString();
    return values;
}

void TForm1::PutControls(const ControlValues& values)
{
    if (&values != &controls_)
        controls_ = values;
    for (const TextField& f : kEdits)
        Control<QLineEdit>(f.name)->setText(Text(values.*f.field));
    for (const TextField& f : kListTexts)
        Control<QComboBox>(f.name)->setEditText(Text(values.*f.field));
    for (const TextField& f : kPanelTexts)
        Control<QLabel>(f.name)->setText(Text(values.*f.field));
    for (const PositionField& f : kListPositions)
        Control<QComboBox>(f.name)->setCurrentIndex(values.*f.field);
    for (const TickField& f : kTicks)
        Control<QCheckBox>(f.name)->setChecked(values.*f.field);

    auto* relays = Control<QTableWidget>("StringGrid1");
    auto* headings = Control<QTableWidget>("StringGrid2");
    for (int row = 1; row < layout::kGridRows; ++row)
        for (int column = 1; column < layout::kGridColumns; ++column)
            relays->item(row, column)->setText(Text(values.StringGrid1[row - 1][column - 1]));
    for (int ch = 0; ch < 2; ++ch)
        for (int s = 0; s < 2; ++s) {
            relays->item(0, SetpointGridColumn(ch, s))->setText(Text(values.SetpointTypeCells[ch][s]));
            headings->item(1, SetpointGridColumn(ch, s))->setText(Text(values.SetpointValueCells[ch][s]));
        }

    // The hidden calendar follows the production date; its own change handler keeps out.
    calendarUpdating_ = true;
    auto* calendar = Control<QCalendarWidget>("bcCalendar1");
    const ControlValues::CalendarDate& date = values.bcCalendar1;
    calendar->setCurrentPage(date.year, date.month);
    if (const QDate day(date.year, date.month, date.day); day.isValid())
        calendar->setSelectedDate(day);
    calendarUpdating_ = false;

    ShowGroupSelection();
}

void TForm1::RepaintNow()
{
    repaint();
}

// ---- CommandHost ----

void TForm1::LockCommands()
{
    for (const char* name : kExchangeControls)
        Control<QWidget>(name)->setEnabled(false);
}

void TForm1::UnlockCommands()
{
    for (const char* name : kExchangeControls)
        Control<QWidget>(name)->setEnabled(true);
}

void TForm1::ShowControls(const ControlValues& values)
{
    PutControls(values);
    RepaintNow();
}

void TForm1::SetBusy(bool busy)
{
    busy_ = busy;
    for (const char* name : kHeldControls)
        Control<QWidget>(name)->setEnabled(!busy);
    for (const char* name : {"N2", "N3"})
        findChild<QAction*>(name)->setEnabled(!busy);
    if (!busy && std::exchange(closeRequested_, false))
        QTimer::singleShot(0, this, &QWidget::close);
}

// ---- Handlers ----

void TForm1::RunExchangeCommand(uint32_t (*command)(CommandContext&))
{
    if (busy_)
        return;
    Operation operation(*this);
    controls_ = TakeControls();
    CommandContext context{device_, messages_, *this, controls_, port_.settings().Number};
    command(context);
}

void TForm1::GroupClick(int32_t& flag, bool ticked)
{
    if (busy_)
        return;
    flag = ticked ? 1 : 0;
    ShowGroupSelection();
}

std::optional<QString> TForm1::AskProfilePath(QFileDialog::AcceptMode mode)
{
    const bool open = mode == QFileDialog::AcceptOpen;
    QFileDialog dialog(this);
    dialog.setObjectName(open ? "OpenDialog1" : "SaveDialog1");
    // No overwrite prompt: it would ask about the chosen name, not the one with ".prf" appended.
    dialog.setOptions(open ? QFileDialog::DontUseNativeDialog
                           : QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(mode);
    if (open)
        dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QString::fromUtf8(kProfileFilter));
    dialog.setDirectory(QDir::currentPath());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString path = dialog.selectedFiles().front();
    // As with the platform's file dialogs, the chosen folder becomes the working directory.
    QDir::setCurrent(QFileInfo(path).absolutePath());
    return path;
}

void TForm1::N2Click()
{
    if (busy_)
        return;
    const std::optional<QString> path = AskProfilePath(QFileDialog::AcceptOpen);
    if (!path)
        return;
    GatherSettings();
    // The profile loads into a copy: a load that fails half way (a write-back refused) leaves
    // the model, the caption and the controls as they were.
    SettingsModel loaded = model_;
    const LoadProfileResult profile = LoadProfile(path->toStdString(), loaded);
    if (profile.error) {
        ShowFileError(profile.error);
        return;
    }
    model_ = loaded;
    if (profile.description)
        ShowDescription(*profile.description);
    SetCaption(*path);
    ShowSettings();
}

void TForm1::N3Click()
{
    if (busy_)
        return;
    const std::optional<QString> path = AskProfilePath(QFileDialog::AcceptSave);
    if (!path)
        return;
    GatherSettings();
    // The suffix is appended whatever the chosen name ends in: "a.prf" is saved as "a.prf.prf".
    ShowFileError(SaveProfile(path->toStdString() + ".prf", model_, DescriptionLines()));
}

void TForm1::TabbedNotebook1Change()
{
    if (busy_)
        return;
    GatherSettings();
    ShowSettings();
}

void TForm1::SensorTypeChange()
{
    // The range rule of the new sensor type takes effect at once, as on a page change.
    TabbedNotebook1Change();
}

void TForm1::ShowOperationError(uint32_t code)
{
    ShowErrorMessage(messages_, code);
    UnlockCommands();
    RepaintNow();
}

void TForm1::ComboBox17Change(int position)
{
    if (busy_)
        return;
    GatherSettings();
    port_.ReopenPort(position);
    ShowSettings();
    ShowPortDevices();
}

void TForm1::StringGrid1Click(int row, int column)
{
    auto* grid = Control<QTableWidget>("StringGrid1");
    if (layout::IsFixedCell(*grid, row, column))
        return;
    QTableWidgetItem* cell = grid->item(row, column);
    cell->setText(Text(ToggledRelayCell(cell->text().toStdString())));
}

void TForm1::Button44Click()
{
    if (busy_)
        return;
    Operation operation(*this);
    const uint32_t code = ReadSerialAndDate(device_);
    if (code == kOk)
        ShowSettings();
    else
        ShowOperationError(code);
}

void TForm1::Button45Click()
{
    if (busy_)
        return;
    Operation operation(*this);
    GatherSettings();
    if (const uint32_t code = WriteSerialAndDate(device_, controls_.bcCalendar1.day))
        ShowOperationError(code);
}

void TForm1::Button46Click()
{
    if (busy_)
        return;
    GatherSettings();
    SetTodayAsProductionDate();
    ShowSettings();
}

void TForm1::ComboBox25Change(int position)
{
    if (busy_)
        return;
    GatherSettings();
    model_.made_month = position + 1;
    ShowSettings();
}

void TForm1::ComboBox26Change(int position)
{
    if (busy_)
        return;
    GatherSettings();
    model_.made_year = position + kFirstListedYear;
    ShowSettings();
}

void TForm1::bcCalendar1Change()
{
    if (calendarUpdating_ || busy_)
        return;
    const QDate day = Control<QCalendarWidget>("bcCalendar1")->selectedDate();
    controls_.bcCalendar1 = {day.day(), day.month(), day.year()};
    GatherSettings();
    model_.made_day = day.day();
    ShowSettings();
}

void TForm1::Button42Click()
{
    if (busy_)
        return;
    Operation operation(*this);
    progress_.DiscardEscape();
    RepaintNow();
    LockCommands();

    // The passport needs every group; the user's selection comes back afterwards.
    const std::array<int32_t*, 4> flags{&model_.channel[0].select, &model_.channel[1].select, &model_.rele.select,
                                        &model_.general.gen_select};
    std::array<int32_t, 4> kept{};
    for (size_t i = 0; i < flags.size(); ++i)
        kept[i] = std::exchange(*flags[i], 1);
    const auto restoreFlags = [&] {
        for (size_t i = 0; i < flags.size(); ++i)
            *flags[i] = kept[i];
    };
    if (const uint32_t code = ReadDeviceSettings(device_); code != kOk) {
        restoreFlags();
        ShowOperationError(code);
        return;
    }
    restoreFlags();
    if (const uint32_t code = ReadProductionDate(device_); code != kOk) {
        ShowOperationError(code);
        return;
    }
    RepaintNow();
    UnlockCommands();
    ShowSettings();
    RepaintNow();
}

}  // namespace pmv
