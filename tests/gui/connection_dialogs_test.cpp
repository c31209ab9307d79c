#include "postgres_server.h"
#include "window_fixture.h"

#include "device/live_values.h"
#include "device/register_map.h"
#include "gui/bus_view_dialog.h"
#include "history/sqlite_history.h"
#include "ini/ini_file.h"
#include "link/exchange.h"
#include "sim/tcp_bridge.h"

#include <QAction>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBrowser>

#include <algorithm>
#include <bit>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace pmv::test {
namespace {

// Acts on the modal dialogs of the "Связь" menu as they come up, each by its objectName in the
// order given, and closes every one the act left open.
class DialogScript {
public:
    using Act = std::function<void(QDialog&)>;

    explicit DialogScript(std::vector<std::pair<QString, Act>> acts) : acts_(acts.begin(), acts.end())
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Step(); });
        timer_.start(5);
    }

    QStringList seen;

private:
    void Step()
    {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (acting_ || acts_.empty() || !dialog || !dialog->isVisible() || dialog->objectName() != acts_.front().first)
            return;
        const Act act = acts_.front().second;
        acts_.pop_front();
        seen << dialog->objectName();
        acting_ = true;
        act(*dialog);
        acting_ = false;
        if (dialog->isVisible())
            dialog->reject();
    }

    std::deque<std::pair<QString, Act>> acts_;
    bool acting_ = false;
    QTimer timer_;
};

// The window on an instrument of its own choosing, with dev.dat written before the start.
class ConnectionDialogsTest : public WindowTest {
protected:
    void OpenOn(const sim::SimOptions& options, const std::string& devDat = {})
    {
        instrument = std::make_unique<sim::Simulator>(options);
        ASSERT_TRUE(instrument->Start());
        if (!devDat.empty())
            std::ofstream(File("dev.dat")) << devDat;
        Open({instrument->DevicePath()});
    }

    static QString Findings(QDialog& dialog) { return dialog.findChild<QTextBrowser*>("Findings")->toPlainText(); }
    static std::string Status(QDialog& dialog)
    {
        return dialog.findChild<QLabel*>("SearchStatus")->text().toStdString();
    }
    static void Start(QDialog& dialog) { dialog.findChild<QPushButton*>("StartButton")->click(); }

    std::string DevDat() const
    {
        std::ostringstream text;
        text << std::ifstream(File("dev.dat")).rdbuf();
        return text.str();
    }

    std::unique_ptr<sim::Simulator> instrument;
};

TEST_F(ConnectionDialogsTest, CheckReadsTheFirmwareAndOffersNoSearchWhileTheInstrumentAnswers)
{
    OpenOn({});
    DialogScript script({{"ConnectionCheckDialog", [&](QDialog& dialog) {
                              EXPECT_TRUE(window->busy()) << "the window's commands wait while the dialog talks";
                              EXPECT_TRUE(Findings(dialog).contains(QString::fromUtf8(
                                  "✔ Прибор отвечает по адресу 1 на скорости 9600, версия программы 1.1.2.")))
                                  << Findings(dialog).toStdString();
                              EXPECT_EQ(dialog.findChild<QPushButton*>("SearchButton"), nullptr);
                          }}});
    Trigger("ConnectionCheckAction");
    EXPECT_EQ(script.seen, QStringList{"ConnectionCheckDialog"});
    EXPECT_FALSE(window->busy());
}

// "Связь → Журнал приборов: где вести…" checks what is typed, refuses a password in the address,
// puts the server into dev.dat, and the window's history follows at once: the connection check
// then ends with the server's findings.
TEST_F(ConnectionDialogsTest, AServerChosenForTheHistoryGoesIntoDevDatAndTheCheckNamesIt)
{
    PostgresServer server;
    ASSERT_EQ(server.failure(), "");
    const std::string database = server.CreateDatabase();
    ASSERT_FALSE(database.empty()) << server.failure();
    const QString url = QString::fromStdString(server.Url(database));
    OpenOn({});
    const auto check = [](QDialog& dialog, const QString& address) {
        dialog.findChild<QLineEdit*>("HistoryAddress")->setText(address);
        dialog.findChild<QPushButton*>("CheckButton")->click();
        return Findings(dialog);
    };
    DialogScript script(
        {{"HistoryPlaceDialog",
          [&](QDialog& dialog) {
              EXPECT_TRUE(dialog.findChild<QRadioButton*>("HistoryFile")->isChecked());
              dialog.findChild<QRadioButton*>("HistoryServer")->click();
              EXPECT_TRUE(check(dialog, QStringLiteral("postgresql://pmv:secret@db/pmv"))
                              .contains(QStringLiteral("~/.pgpass")));
              dialog.accept();
              EXPECT_TRUE(dialog.isVisible()) << "a password is never kept";
              const QString found = check(dialog, url);
              EXPECT_TRUE(found.contains(
                  QString::fromUtf8("✔ Вход в базу %1 как pmv выполнен").arg(QString::fromStdString(database))))
                  << found.toStdString();
              dialog.accept();
          }},
         {"ConnectionCheckDialog",
          [&](QDialog& dialog) {
              EXPECT_TRUE(Findings(dialog).contains(QString::fromUtf8("Журнал приборов: сервер PostgreSQL ") + url))
                  << Findings(dialog).toStdString();
              EXPECT_TRUE(Findings(dialog).contains(QString::fromUtf8("Таблиц журнала в базе пока нет")));
          }},
         {"HistoryPlaceDialog", [&](QDialog& dialog) {
              EXPECT_TRUE(dialog.findChild<QRadioButton*>("HistoryServer")->isChecked());
              EXPECT_EQ(dialog.findChild<QLineEdit*>("HistoryAddress")->text(), url);
              dialog.findChild<QRadioButton*>("HistoryFile")->click();
              dialog.accept();
          }}});
    Trigger("HistoryPlaceAction");
    EXPECT_NE(DevDat().find("[HISTORY]\r\nServer=" + url.toStdString() + "\r\n"), std::string::npos) << DevDat();
    Trigger("ConnectionCheckAction");
    Trigger("HistoryPlaceAction");
    EXPECT_EQ(script.seen, (QStringList{"HistoryPlaceDialog", "ConnectionCheckDialog", "HistoryPlaceDialog"}));
    EXPECT_NE(DevDat().find("[HISTORY]\r\nServer=\r\n"), std::string::npos) << "back to the file: " << DevDat();
    EXPECT_FALSE(window->busy());
}

TEST_F(ConnectionDialogsTest, AnInstrumentAtAnotherAddressIsAProblemWhoseButtonOpensTheSearch)
{
    OpenOn({.address = 37});
    DialogScript script({{"ConnectionCheckDialog",
                          [&](QDialog& dialog) {
                              EXPECT_TRUE(Findings(dialog).contains(
                                  QString::fromUtf8("✘ Прибор не ответил по адресу 1 на скорости 9600")))
                                  << Findings(dialog).toStdString();
                              // The window's own command, not a shell command, mends it here.
                              EXPECT_TRUE(Findings(dialog).contains(QString::fromUtf8("«Поиск прибора…»")));
                              EXPECT_FALSE(Findings(dialog).contains("pmvctl")) << Findings(dialog).toStdString();
                              dialog.findChild<QPushButton*>("SearchButton")->click();
                          }},
                         {"InstrumentSearchDialog", [&](QDialog& dialog) {
                              EXPECT_TRUE(window->busy());
                              EXPECT_TRUE(dialog.findChild<QPushButton*>("StartButton")->isEnabled());
                          }}});
    Trigger("ConnectionCheckAction");
    EXPECT_EQ(script.seen, (QStringList{"ConnectionCheckDialog", "InstrumentSearchDialog"}));
    EXPECT_FALSE(window->busy());
}

TEST_F(ConnectionDialogsTest, TheCheckOfASilentInstrumentShowsItsTriesAndEscStopsIt)
{
    OpenOn({.address = 37});
    QStringList steps;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* panel = Get<QFrame>(Part::Progress);
        if (panel && panel->isVisible())
            for (QLabel* line : panel->findChildren<QLabel*>())
                if (line->text().startsWith(QString::fromUtf8("Попытка")) && !steps.contains(line->text()))
                    steps << line->text();
    });
    watch.start(5);
    QString findings;
    DialogScript script({{"ConnectionCheckDialog", [&](QDialog& dialog) { findings = Findings(dialog); }}});
    QTimer::singleShot(200, window.get(),
                       [&] { QTest::keyClick(Get<QLineEdit>(controls.channels[0].setpoint1), Qt::Key_Escape); });
    Trigger("ConnectionCheckAction");
    watch.stop();
    EXPECT_TRUE(steps.contains(QString::fromUtf8("Попытка 1 из 2"))) << steps.join('|').toStdString();
    EXPECT_FALSE(steps.contains(QString::fromUtf8("Попытка 2 из 2"))) << "no second try after Esc";
    EXPECT_TRUE(findings.contains(QString::fromUtf8("Опрос прибора остановлен пользователем (Esc).")))
        << findings.toStdString();
    const QString outcome = Get<QLabel>("StatusOutcome")->text();
    EXPECT_TRUE(outcome.startsWith(QString::fromUtf8("Остановлено (ERR 20)"))) << outcome.toStdString();
    EXPECT_EQ(window->exchange().values().RetryCount, 2u) << "the tries in force come back";
    EXPECT_TRUE(Get<QFrame>(Part::Progress)->isHidden());
}

TEST_F(ConnectionDialogsTest, SearchFindsAnotherAddressAndSpeedAndYesKeepsThemForTheNextRead)
{
    // Configured 57600, so the silent pass over every address is the shortest one.
    OpenOn({.address = 37, .onlyAtBaud = true, .baud = 9600},
           "[COM_SETTINGS]\r\nNumber=1\r\nSettings=57600,N,8,2\r\n[DEVICE]\r\nNetAdrr=1\r\n");
    // The page of current values polls while shown; during the search the line is the search's.
    auto* pages = Get<QTabWidget>("TabbedNotebook1");
    pages->setCurrentWidget(Get<QWidget>("Текущие значения"));
    instrument->ClearTranscript();
    boxer.answers = {QMessageBox::Yes};
    DialogScript script(
        {{"InstrumentSearchDialog", [&](QDialog& dialog) {
              clock.Advance(2 * device::LivePoll::kIntervalMs);
              Start(dialog);
              for (const sim::Request& r : instrument->Transcript())
                  ASSERT_TRUE(r.text.ends_with(";37;002006;")) << "not a probe: " << r.text;
              EXPECT_TRUE(Status(dialog).starts_with("Прибор найден: адрес 37, скорость 9600, версия программы "))
                  << Status(dialog);
          }}});
    Trigger("InstrumentSearchAction");
    ASSERT_EQ(boxer.boxes.size(), 1u);
    EXPECT_EQ(boxer.boxes[0].text.toStdString(),
              "Прибор найден: адрес 37, скорость 9600. Запомнить эти настройки связи?");
    EXPECT_EQ(ini::ReadIniString(File("dev.dat"), "DEVICE", "NetAdrr", ""), "37");
    EXPECT_EQ(ini::ReadIniString(File("dev.dat"), "COM_SETTINGS", "Settings", ""), "9600,N,8,2");
    EXPECT_EQ(window->exchange().values().DeviceAddress, 37u);
    EXPECT_EQ(window->exchange().values().ByteTimeout, link::ByteTimeoutForBaud(9600));
    EXPECT_EQ(window->port().settings().BaudRate, 9600u);

    // Released, the page polls the instrument where it was found.
    instrument->ClearTranscript();
    const auto answered = [&] {
        const std::vector<sim::Request> heard = instrument->Transcript();
        return std::any_of(heard.begin(), heard.end(), [](const sim::Request& r) { return r.answered; });
    };
    EXPECT_TRUE(clock.AdvanceUntil(answered, 2000));

    pages->setCurrentIndex(0);
    instrument->SetFloatRegister(2, device::regs::Th1(0).number, 123.5f);
    Click(Button::ReadAll);
    EXPECT_EQ(boxer.boxes.size(), 1u) << boxer.boxes.back().text.toStdString();
    EXPECT_EQ(Text(controls.channels[0].setpoint1).toStdString(), "123.5000");
}

constexpr const char* kCabinetDevDat =
    "[COM_SETTINGS]\r\nNumber=1\r\nSettings=57600,N,8,2\r\n[DEVICE]\r\nNetAdrr=1\r\n";

QString Cell(QDialog& dialog, int row, int column)
{
    const QTableWidgetItem* item = dialog.findChild<QTableWidget*>("BusTable")->item(row, column);
    return item ? item->text() : QString();
}

TEST_F(ConnectionDialogsTest, BusViewListsTheCabinetPollsEachAndEnterOnARowMakesItTheWindowsInstrument)
{
    // At 57600 the silent addresses of the scan pass quickest.
    OpenOn({.addresses = {1, 5, 9}}, kCabinetDevDat);
    instrument->SetRegisterAt(5, 2, 3, device::regs::Th1(0).number, std::bit_cast<uint32_t>(123.5f));
    const std::string devDat = DevDat();
    DialogScript script({{"BusViewDialog", [&](QDialog& dialog) {
                              dialog.findChild<QPushButton*>("BusScanButton")->click();
                              auto* table = dialog.findChild<QTableWidget*>("BusTable");
                              ASSERT_EQ(table->rowCount(), 3);
                              EXPECT_EQ(Cell(dialog, 1, 0), "5");
                              EXPECT_EQ(Cell(dialog, 1, 2), QString::fromUtf8("7700/01 Н Одноканальный"));
                              EXPECT_EQ(Cell(dialog, 1, 4), "047-01235");
                              EXPECT_EQ(Cell(dialog, 2, 5), "1.1.2");
                              // Each instrument's current values, polled in turn.
                              EXPECT_TRUE(clock.AdvanceUntil([&] { return !Cell(dialog, 2, 6).isEmpty(); }, 3000));
                              bool number = false;
                              Cell(dialog, 0, 6).toDouble(&number);
                              EXPECT_TRUE(number) << Cell(dialog, 0, 6).toStdString();
                              // Enter on the row, as a double-click: the table activates it.
                              table->setCurrentCell(1, 0);
                              QTest::keyClick(table, Qt::Key_Return);
                              EXPECT_TRUE(dialog.findChild<QLabel*>("BusStatus")->text().contains("047-01235"));
                          }}});
    Trigger("BusViewAction");
    ASSERT_EQ(script.seen, QStringList{"BusViewDialog"});
    EXPECT_EQ(window->exchange().values().DeviceAddress, 5u);
    EXPECT_TRUE(window->windowTitle().endsWith(QString::fromUtf8(" — прибор: адрес 5, 047-01235")))
        << window->windowTitle().toStdString();
    bool named = false;
    for (QLabel* label : window->statusBar()->findChildren<QLabel*>())
        named |= label->text().contains(QString::fromUtf8("адрес 5 ·")) && label->text().contains("047-01235");
    EXPECT_TRUE(named);
    EXPECT_EQ(DevDat(), devDat) << "dev.dat keeps the instrument only when asked";
    Click(Button::ReadAll);
    EXPECT_EQ(Text(controls.channels[0].setpoint1).toStdString(), "123.5000");

    // The window's write goes to the instrument chosen, and its history row names it.
    boxer.yesToAll = true;
    Click(Button::WriteAll);
    EXPECT_EQ(instrument->RestartCountAt(5), 1);
    EXPECT_EQ(instrument->RestartCountAt(1), 0);
    history::SqliteHistory history(File("history.sqlite"));
    std::vector<history::HistoryRecord> rows;
    ASSERT_FALSE(history.Query({}, rows).has_value());
    const auto written = std::find_if(rows.begin(), rows.end(), [](const history::HistoryRecord& r) {
        return r.operation == history::kOperationWrite;
    });
    ASSERT_NE(written, rows.end());
    EXPECT_EQ(written->serial, 1235);
    EXPECT_EQ(written->result, 0u);
}

TEST_F(ConnectionDialogsTest, BusViewReadsAndWritesTheSelectedRowsWithAResultInEachRow)
{
    OpenOn({.addresses = {2, 3, 4}}, kCabinetDevDat);
    instrument->SetRegisterAt(3, 2, 1, 315, 5);
    const std::string folder = File("cabinet");
    std::filesystem::create_directory(folder);
    boxer.answers = {QMessageBox::Yes, QMessageBox::Yes, QMessageBox::Yes};
    DialogScript script({{"BusViewDialog", [&](QDialog& dialog) {
                              auto& view = static_cast<gui::BusViewDialog&>(dialog);
                              dialog.findChild<QPushButton*>("BusScanButton")->click();
                              auto* table = dialog.findChild<QTableWidget*>("BusTable");
                              ASSERT_EQ(table->rowCount(), 3);
                              table->clearSelection();
                              table->selectionModel()->select(table->model()->index(0, 0),
                                                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
                              table->selectionModel()->select(table->model()->index(1, 0),
                                                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
                              view.askFolder = [&] { return QString::fromStdString(folder); };
                              view.ReadSelected();
                              EXPECT_EQ(Cell(dialog, 0, 8), QString::fromUtf8("выполнено"));
                              EXPECT_EQ(Cell(dialog, 1, 8), QString::fromUtf8("выполнено"));
                              EXPECT_EQ(Cell(dialog, 2, 8), QString()) << "not selected";
                              EXPECT_EQ(ini::ReadIniString(folder + "/047-01235.prf", "CH1", "dat", ""), "5");
                              EXPECT_FALSE(std::filesystem::exists(folder + "/047-01236.prf"));

                              // One profile into two instruments, one of them gone from the line.
                              ini::WriteIniString(folder + "/047-01235.prf", "CH1", "dat", "6");
                              view.askProfile = [&] { return QString::fromStdString(folder + "/047-01235.prf"); };
                              instrument->SetSilent(4, true);
                              table->selectionModel()->select(table->model()->index(2, 0),
                                                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
                              table->selectionModel()->select(table->model()->index(1, 0),
                                                              QItemSelectionModel::Deselect |
                                                                  QItemSelectionModel::Rows);
                              view.WriteSelected();
                              EXPECT_EQ(Cell(dialog, 0, 8), QString::fromUtf8("выполнено"));
                              EXPECT_EQ(Cell(dialog, 2, 8), QString::fromUtf8("Прибор не ответил (ERR 2)"));
                          }}});
    Trigger("BusViewAction");
    ASSERT_EQ(script.seen, QStringList{"BusViewDialog"});
    EXPECT_EQ(instrument->RegisterAt(2, 2, 1, 315), 6u);
    EXPECT_EQ(instrument->RegisterAt(3, 2, 1, 315), 5u) << "not selected for the write";
    EXPECT_EQ(instrument->RestartCountAt(4), 0);
}

TEST_F(ConnectionDialogsTest, EscStopsTheBusScanAndKeepsTheInstrumentsFoundSoFar)
{
    // At 9600 the silent addresses take a while: Esc comes long before the last.
    OpenOn({.addresses = {1, 200}});
    DialogScript script(
        {{"BusViewDialog", [&](QDialog& dialog) {
              QTimer::singleShot(300, &dialog, [&] { QTest::keyClick(&dialog, Qt::Key_Escape); });
              dialog.findChild<QPushButton*>("BusScanButton")->click();
              EXPECT_TRUE(dialog.isVisible()) << "Esc stops the scan, not the dialog";
              EXPECT_TRUE(
                  dialog.findChild<QLabel*>("BusStatus")->text().startsWith(QString::fromUtf8("Поиск остановлен")))
                  << dialog.findChild<QLabel*>("BusStatus")->text().toStdString();
              auto* table = dialog.findChild<QTableWidget*>("BusTable");
              ASSERT_EQ(table->rowCount(), 1);
              EXPECT_EQ(Cell(dialog, 0, 0), "1");
              EXPECT_TRUE(dialog.findChild<QPushButton*>("BusScanButton")->isEnabled());
          }}});
    Trigger("BusViewAction");
    ASSERT_EQ(script.seen, QStringList{"BusViewDialog"});
    for (const sim::Request& r : instrument->Transcript())
        EXPECT_LT(r.address, 200u) << "stopped before the last address";
}

TEST_F(ConnectionDialogsTest, EscStopsTheSearchAndASearchFindingNothingChangesNothing)
{
    // Every probe is refused at once, so the whole search runs in a moment.
    OpenOn({.anyAddress = true});
    instrument->InjectFault({.kind = sim::Fault::Kind::Status, .count = -1, .status = 2});
    const std::string devDat = DevDat();
    DialogScript script({{"InstrumentSearchDialog", [&](QDialog& dialog) {
                              auto* bar = dialog.findChild<QProgressBar*>();
                              QTimer::singleShot(100, [&] {
                                  QTest::keyClick(dialog.focusWidget() ? dialog.focusWidget() : &dialog,
                                                  Qt::Key_Escape);
                              });
                              Start(dialog);
                              EXPECT_EQ(Status(dialog), "Поиск остановлен.");
                              EXPECT_TRUE(dialog.isVisible()) << "Esc stops the search, not the dialog";
                              EXPECT_LT(bar->value(), bar->maximum());

                              const auto start = std::chrono::steady_clock::now();
                              Start(dialog);
                              EXPECT_EQ(Status(dialog), "Прибор не найден.");
                              EXPECT_EQ(bar->value(), 255 * 5);
                              EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
                          }}});
    Trigger("InstrumentSearchAction");
    EXPECT_EQ(script.seen, QStringList{"InstrumentSearchDialog"});
    EXPECT_TRUE(boxer.boxes.empty()) << "nothing to keep, nothing asked";
    EXPECT_EQ(DevDat(), devDat);
    EXPECT_EQ(window->exchange().values().DeviceAddress, 1u);
}

// "Сетевой порт…" asks for the address, refuses a malformed one with its reason, binds a good
// one to a port number in dev.dat and opens the line behind the server.
TEST_F(ConnectionDialogsTest, TheNetworkPortEntryChecksTheAddressAndOpensTheLineBehindTheServer)
{
    instrument = std::make_unique<sim::Simulator>();
    ASSERT_TRUE(instrument->Start());
    sim::TcpBridge server;
    std::string error;
    ASSERT_TRUE(server.Start(instrument->PtyPath(), 9600, "127.0.0.1", 0, &error)) << error;
    const std::string name = "tcp://127.0.0.1:" + std::to_string(server.Port());
    std::ofstream(File("dev.dat")) << "[COM_SETTINGS]\r\nNumber=1\r\n[PORTS]\r\nCOM1=/dev/pmv-no-such-device\r\n";
    Open({});
    boxer.boxes.clear();
    const auto typeIn = [](const std::string& text) {
        return [text](QDialog& dialog) {
            auto& input = static_cast<QInputDialog&>(dialog);
            input.setTextValue(QString::fromStdString(text));
            input.accept();
        };
    };
    DialogScript script({{"NetworkPortDialog", typeIn("tcp://127.0.0.1:99999")}, {"NetworkPortDialog", typeIn(name)}});
    auto* selector = Get<QComboBox>(controls.top.port);
    ASSERT_EQ(selector->itemText(binding::kPortListSize).toStdString(), "Сетевой порт…");
    Q_EMIT selector->activated(binding::kPortListSize);
    EXPECT_EQ(script.seen.size(), 2);
    ASSERT_TRUE(boxer.Saw("номер порта должен быть числом от 1 до 65535")) << "the malformed address is refused";

    const std::string devDat = DevDat();
    const size_t bound = devDat.find("=" + name);
    ASSERT_NE(bound, std::string::npos) << devDat;
    const std::string number = devDat.substr(devDat.rfind("COM", bound) + 3, bound - devDat.rfind("COM", bound) - 3);
    EXPECT_EQ(Get<QLabel>(controls.top.portNumber)->text().toStdString(), number);
    EXPECT_LT(selector->currentIndex(), binding::kPortListSize) << "the entry itself is no port";
    EXPECT_EQ(Get<QLabel>("PortDeviceLabel")->text().toStdString(), name);
    instrument->SetRegister(1, 1, 7, 42);
    Click(Button::ReadSerial);
    EXPECT_EQ(boxer.boxes.size(), 1u) << "the instrument answers behind the server";
}

}  // namespace
}  // namespace pmv::test
