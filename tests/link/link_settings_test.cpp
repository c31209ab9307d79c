#include "fakes.h"
#include "file_error_print.h"
#include "temp_dir.h"

#include "link/exchange.h"
#include "link/link_settings.h"

#include <cerrno>

#include <gtest/gtest.h>

namespace pmv::link {
namespace {

struct Loaded {
    LinkSettings settings;
    test::RecordingMessages messages;
    std::optional<ini::FileError> failure;
};

std::unique_ptr<Loaded> LoadFrom(const std::string& path)
{
    auto loaded = std::make_unique<Loaded>();
    loaded->failure = LoadLinkSettings(path, loaded->settings, loaded->messages);
    return loaded;
}

TEST(LinkSettings, MissingFileIsCreatedWithTheTenKeysInOrder)
{
    test::TempDir dir;
    const auto loaded = LoadFrom(dir.file("dev.dat"));
    EXPECT_FALSE(loaded->failure);
    EXPECT_TRUE(loaded->messages.boxes.empty());
    EXPECT_EQ(test::ReadFileBytes(dir.file("dev.dat")), "[COM_SETTINGS]\r\nNumber=1\r\nSettings=9600,N,8,2\r\n"
                                                        "[DEVICE]\r\nEnableNetAdrr=1\r\nNetAdrr=1\r\n"
                                                        "[SETTINGS]\r\nNOfReadings=2\r\nTimeOut=1\r\n"
                                                        "[LOG]\r\nUseLogFile=1\r\nLogFileName=COM.txt\r\n"
                                                        "[IZM]\r\nUseIzmFile=1\r\nIzmFileName=IZM.txt\r\n");
    EXPECT_EQ(loaded->settings.BaudRate, 9600u);
    EXPECT_EQ(loaded->settings.AnswerTimeout, 1000u);

    LinkValues values;
    ApplyLinkValues(loaded->settings, values);
    EXPECT_EQ(values.DeviceAddress, 1u);
    EXPECT_EQ(values.RetryCount, 2u);
    EXPECT_TRUE(values.UseLogFile);
    EXPECT_EQ(values.LogFileName, "COM.txt");
}

TEST(LinkSettings, HandEditedFileKeepsItsLinesAndGetsMissingKeys)
{
    test::TempDir dir;
    const std::string path = dir.file("dev.dat");
    test::WriteFileBytes(path, "; line of the technician\r\n[com_settings]\r\nnumber = 3\r\nSettings=19200\r\n"
                               "[DEVICE]\r\nNetAdrr=0x10\r\n[SETTINGS]\r\nNOfReadings=1\r\nTimeOut=abc\r\n");
    const auto loaded = LoadFrom(path);
    EXPECT_EQ(loaded->settings.Number, 3);
    EXPECT_EQ(loaded->settings.NetAdrr, 16);
    EXPECT_EQ(loaded->settings.BaudRate, 19200u);
    EXPECT_EQ(loaded->settings.TimeOut, 1);
    EXPECT_EQ(ClampReadings(loaded->settings.NOfReadings), 2u);

    const std::string text = test::ReadFileBytes(path);
    EXPECT_EQ(text.rfind("; line of the technician\r\n[com_settings]\r\nnumber", 0), 0u) << text;
    EXPECT_NE(text.find("=3\r\nSettings=19200\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("NetAdrr=16\r\n"), std::string::npos);
    EXPECT_NE(text.find("NOfReadings=1\r\n"), std::string::npos) << "the file keeps the value read";
    EXPECT_NE(text.find("TimeOut=1\r\n"), std::string::npos);
    EXPECT_NE(text.find("[LOG]\r\nUseLogFile=1\r\n"), std::string::npos);
    EXPECT_NE(text.find("IzmFileName=IZM.txt\r\n"), std::string::npos);
}

TEST(LinkSettings, BaudRateTakesTheLastMatchingRate)
{
    EXPECT_EQ(BaudRateFromSettings("4800,N,8,1"), 4800u);
    EXPECT_EQ(BaudRateFromSettings("19200"), 19200u);
    EXPECT_EQ(BaudRateFromSettings("9600,N,8,2"), 9600u);
    EXPECT_EQ(BaudRateFromSettings("nothing"), 4800u);
    EXPECT_EQ(BaudRateFromSettings("38400 9600"), 38400u);
    EXPECT_EQ(BaudRateFromSettings("57600"), 57600u);
    EXPECT_EQ(ByteTimeoutForBaud(4800), 12u);
    EXPECT_EQ(ByteTimeoutForBaud(9600), 9u);
    EXPECT_EQ(ByteTimeoutForBaud(19200), 5u);
    EXPECT_EQ(ByteTimeoutForBaud(38400), 3u);
    EXPECT_EQ(ByteTimeoutForBaud(57600), 2u);
}

TEST(LinkSettings, ReadingsAreClampedAsUnsigned)
{
    EXPECT_EQ(ClampReadings(1), 2u);
    EXPECT_EQ(ClampReadings(3), 3u);
    EXPECT_EQ(ClampReadings(9), 5u);
    EXPECT_EQ(ClampReadings(-1), 5u);
}

TEST(LinkSettings, WarningsForPortNumberAndLongTimeout)
{
    struct Case {
        const char* number;
        const char* timeout;
        std::vector<MessageIcon> icons;
        uint32_t answerTimeout;
    };
    const std::vector<Case> cases{
        {"9", "1", {MessageIcon::Warning}, 1000},
        {"-2", "1", {MessageIcon::Warning}, 1000},
        {"0", "1", {MessageIcon::Warning}, 1000},
        {"8", "5", {MessageIcon::Information}, 5000},
        {"9", "5", {MessageIcon::Warning, MessageIcon::Information}, 5000},
        {"1", "0", {}, 0},
        {"1", "-3", {}, 0},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        test::WriteFileBytes(dir.file("dev.dat"), std::string("[COM_SETTINGS]\r\nNumber=") + c.number +
                                                      "\r\n[SETTINGS]\r\nTimeOut=" + c.timeout + "\r\n");
        const auto loaded = LoadFrom(dir.file("dev.dat"));
        ASSERT_EQ(loaded->messages.boxes.size(), c.icons.size()) << c.number << " " << c.timeout;
        for (size_t i = 0; i < c.icons.size(); ++i) {
            const auto& box = loaded->messages.boxes[i];
            EXPECT_EQ(box.icon, c.icons[i]);
            EXPECT_EQ(box.caption, "Проверьте параметры установления связи с прибором");
            EXPECT_EQ(box.text, c.icons[i] == MessageIcon::Warning
                                    ? "Слишком большой номер COM порта."
                                    : "Задан большой тайм аут. Работать будет можно, но неудобно.");
        }
        EXPECT_EQ(loaded->settings.AnswerTimeout, c.answerTimeout);
    }
}

TEST(LinkSettings, UnwritableFolderIsReportedWithTheFileName)
{
    test::TempDir dir;
    const std::string path = dir.file("missing/dev.dat");
    const auto loaded = LoadFrom(path);
    ASSERT_TRUE(loaded->failure);
    EXPECT_EQ(*loaded->failure, (ini::FileError{ini::FileOperation::OpenFolder, path, ENOENT}));
    EXPECT_EQ(loaded->settings.BaudRate, 9600u);
}

TEST(LinkSettings, PortNumbersNameDevices)
{
    test::TempDir dir;
    test::WriteFileBytes(dir.file("dev.dat"), "[PORTS]\r\nCOM2=/dev/ttyS7\r\n");
    const auto loaded = LoadFrom(dir.file("dev.dat"));
    const auto found = OrderSerialPorts({"/dev/ttyS0", "/dev/ttyACM0", "/dev/ttyUSB10", "/dev/ttyUSB2", "/dev/ttyS1"});
    EXPECT_EQ(found,
              (std::vector<std::string>{"/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyS1"}));
    EXPECT_EQ(PortDevice(1, loaded->settings.PortDevices, found), "/dev/ttyUSB2");
    EXPECT_EQ(PortDevice(2, loaded->settings.PortDevices, found), "/dev/ttyS7");
    EXPECT_EQ(PortDevice(5, loaded->settings.PortDevices, found), "/dev/ttyS1");
    EXPECT_EQ(PortDevice(6, loaded->settings.PortDevices, found), "");
    EXPECT_EQ(PortDevice(9, loaded->settings.PortDevices, found), "");
}

}  // namespace
}  // namespace pmv::link
