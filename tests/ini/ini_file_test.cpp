#include "ini/cp1251.h"
#include "ini/ini_file.h"

#include "child_process.h"
#include "file_error_print.h"
#include "working_dir.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <vector>

using namespace pmv;

TEST(Cp1251, ConvertsCyrillicBothWaysAndMarksForeignCharacters)
{
    EXPECT_EQ(ini::Utf8ToCp1251("Ёё№€ АЯая Kanal"), "\xA8\xB8\xB9\x88 \xC0\xDF\xE0\xFF Kanal");
    EXPECT_EQ(ini::Cp1251ToUtf8("\xA8\xB8\xB9\x88 \xC0\xDF\xE0\xFF Kanal"), "Ёё№€ АЯая Kanal");
    EXPECT_EQ(ini::Utf8ToCp1251("a中😀b"), "a??b");
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(ini::Utf8ToCp1251(ini::Cp1251ToUtf8(all)), all);
}

class IniFiles : public TempDirTest {
protected:
    // The bytes after writing one key into a file that held before.
    std::string after(const std::string& before, const char* section, const char* key, const char* value)
    {
        WriteBytes(path("f.ini"), before);
        EXPECT_EQ(ini::WriteIniString(path("f.ini"), section, key, value), std::nullopt);
        return ReadBytes(path("f.ini"));
    }
};

TEST_F(IniFiles, ReadFollowsThePrivateProfileRules)
{
    struct Case {
        const char* what;
        std::string file;
        const char* section;
        const char* key;
        std::optional<std::string> value;
    };
    const Case cases[] = {
        {"names ignore ASCII case", "[Sec]\r\nKey=v\r\n", "SEC", "kEY", "v"},
        {"Cyrillic names match exactly only", "[\xCA\xE0\xED\xE0\xEB]\r\nk=1\r\n", "КАНАЛ", "k", std::nullopt},
        {"first matching section", "[A]\nk=1\n[a]\nk=2\nj=3\n", "A", "k", "1"},
        {"a later section of the same name is not read", "[A]\nk=1\n[a]\nj=3\n", "A", "j", std::nullopt},
        {"first matching key", "[A]\nk=1\nK=2\n", "A", "k", "1"},
        {"keys before the first section", "k=0\n[A]\nj=1\n", "A", "k", std::nullopt},
        {"blanks and tabs dropped", "[ A\t]\n \tk \t=\t v  x \t\n", "A", "k", "v  x"},
        {"double quotes removed", "[A]\nk= \"v \" \n", "A", "k", "v "},
        {"single quotes removed", "[A]\nk='v'\n", "A", "k", "v"},
        {"only one outer pair", "[A]\nk=\"\"v\"\"\n", "A", "k", "\"v\""},
        {"unmatched quotes stay", "[A]\nk=\"v'\n", "A", "k", "\"v'"},
        {"a lone quote stays", "[A]\nk=\"\n", "A", "k", "\""},
        {"empty value is present", "[A]\nk=\n", "A", "k", ""},
        {"comment line", "[A]\n ;k=1\nk=2\n", "A", "k", "2"},
        {"no inline comments", "[A]\nk=v ;x\n", "A", "k", "v ;x"},
        {"section name ends at the first ]", "[A]x]\nk=1\n", "A", "k", "1"},
        {"line without = is no key", "[A]\nk\n", "A", "k", std::nullopt},
        {"LF file", "[A]\nx=0\nk=1\n", "A", "k", "1"},
        {"CR file", "[A]\rx=0\rk=1\r", "A", "k", "1"},
        {"mixed line ends", "[B]\r\n\r[A]\n\r\nk=1", "A", "k", "1"},
        {"Windows-1251 value", "[A]\r\nk=\xCA\xE0\xED\xE0\xEB 1\r\n", "A", "k", "Канал 1"},
        {"value cut to 1023 bytes", "[A]\nk=" + std::string(1030, 'x') + "\n", "A", "k", std::string(1023, 'x')},
    };
    for (const Case& c : cases) {
        WriteBytes(path("f.ini"), c.file);
        EXPECT_EQ(ini::IniFile::Load(path("f.ini")).get(c.section, c.key), c.value) << c.what;
    }
}

TEST_F(IniFiles, WriteReplacesTheValueInPlaceKeepingEveryOtherByte)
{
    EXPECT_EQ(after("; head\r\n[Sec]\r\n  KeY = old \r\nkey=2\nx\n\n[B]\rk=1", "sec", "key", "new"),
              "; head\r\n[Sec]\r\n  KeY =new\r\nkey=2\nx\n\n[B]\rk=1");
    EXPECT_EQ(after("[A]\nk=1\n[A]\nk=2\n", "A", "k", "3"), "[A]\nk=3\n[A]\nk=2\n");
}

TEST_F(IniFiles, WriteAppendsAfterTheLastKeyOfTheSection)
{
    EXPECT_EQ(after("[A]\r\nk=1\r\n; c\r\n\r\n[B]\r\nj=2\r\n", "a", "n", "v"),
              "[A]\r\nk=1\r\nn=v\r\n; c\r\n\r\n[B]\r\nj=2\r\n");
    EXPECT_EQ(after("[A]\r\n\r\n[B]\r\n", "A", "n", "v"), "[A]\r\nn=v\r\n\r\n[B]\r\n");
}

TEST_F(IniFiles, WriteAppendsANewSectionAtTheEndWithoutABlankLine)
{
    EXPECT_EQ(after("k=0\r\n[A]\r\nk=1\r\n", "B", "k", "2"), "k=0\r\n[A]\r\nk=1\r\n[B]\r\nk=2\r\n");
    EXPECT_EQ(after("", "B", "k", "2"), "[B]\r\nk=2\r\n");
}

TEST_F(IniFiles, WriteEndsAnUnterminatedLastLineBeforeAppending)
{
    EXPECT_EQ(after("[A]\r\nk=1", "B", "j", "2"), "[A]\r\nk=1\r\n[B]\r\nj=2\r\n");
    EXPECT_EQ(after("[A]\r\nk=1", "A", "j", "2"), "[A]\r\nk=1\r\nj=2\r\n");
    EXPECT_EQ(after("[A]\r\nk=1", "A", "k", "2"), "[A]\r\nk=2");
}

TEST_F(IniFiles, WriteKeepsACrOnlyFileReadable)
{
    const std::string bytes = after("[A]\rk=1\r[B]\rj=2\r", "A", "n", "3");
    EXPECT_EQ(bytes, "[A]\rk=1\rn=3\r\n[B]\rj=2\r");
    const ini::IniFile file = ini::IniFile::Load(path("f.ini"));
    EXPECT_EQ(file.get("A", "k"), "1");
    EXPECT_EQ(file.get("A", "n"), "3");
    EXPECT_EQ(file.get("B", "j"), "2");
}

TEST_F(IniFiles, ADocumentChangedManyTimesReadsAsItsOwnBytesLoadedAnew)
{
    WriteBytes(path("f.ini"), "k=0\r\n[A]\r\nk=1\r\n; c\r\n[B]\r\nj=2\r\n[a]\r\nk=9\r\n[C]\r\n");
    ini::IniFile file = ini::IniFile::Load(path("f.ini"));
    // Lines go in before, between and after the sections, and sections are added and looked up.
    const char* const changes[][3] = {
        {"A", "n", "1"},  {"C", "m", "2"}, {"D", "k", "3"}, {"B", "j", "4"},  {"A", "o", "5"},
        {"E", "[x", "6"}, {"B", "p", "7"}, {"D", "q", "8"}, {"a", "k", "10"}, {"E", "r", "11"},
    };
    for (const auto& c : changes)
        ASSERT_TRUE(file.set(c[0], c[1], c[2]));
    WriteBytes(path("g.ini"), file.bytes());
    const ini::IniFile loaded = ini::IniFile::Load(path("g.ini"));
    for (const char* section : {"A", "a", "B", "C", "D", "E", "x=6", "F"}) {
        EXPECT_EQ(file.hasSection(section), loaded.hasSection(section)) << section;
        for (const char* key : {"k", "n", "o", "j", "p", "m", "q", "r", "[x"})
            EXPECT_EQ(file.get(section, key), loaded.get(section, key)) << section << "/" << key;
    }
    EXPECT_EQ(file.get("A", "k"), "10");
    // A key named "[x" reads back as a section of its own, which ends E before its keys.
    EXPECT_TRUE(file.hasSection("x=6"));
    EXPECT_EQ(file.get("E", "r"), "11");
}

TEST_F(IniFiles, WriteCreatesANewFileExactly)
{
    EXPECT_EQ(ini::WriteIniString(path("new.ini"), "Section", "key", "value"), std::nullopt);
    EXPECT_EQ(ReadBytes(path("new.ini")), "[Section]\r\nkey=value\r\n");
}

TEST_F(IniFiles, StoresWindows1251AndReadsBackWhatItWrote)
{
    ini::IniFile file;
    file.set("Канал", "Имя", "Канал 1, \"т\"");
    file.set("A", "k", "x = ; y");
    file.set("A", "empty", "");
    file.set("канал", "k", "2");
    ASSERT_EQ(file.save(path("f.ini")), std::nullopt);
    EXPECT_EQ(ReadBytes(path("f.ini")), "[\xCA\xE0\xED\xE0\xEB]\r\n\xC8\xEC\xFF=\xCA\xE0\xED\xE0\xEB 1, \"\xF2\"\r\n"
                                        "[A]\r\nk=x = ; y\r\nempty=\r\n[\xEA\xE0\xED\xE0\xEB]\r\nk=2\r\n");
    const ini::IniFile back = ini::IniFile::Load(path("f.ini"));
    EXPECT_TRUE(back.exists());
    EXPECT_EQ(back.get("Канал", "Имя"), "Канал 1, \"т\"");
    EXPECT_EQ(back.get("a", "K"), "x = ; y");
    EXPECT_EQ(back.get("A", "empty"), "");
    EXPECT_EQ(back.get("канал", "k"), "2");
    EXPECT_EQ(back.bytes(), file.bytes());
}

TEST_F(IniFiles, ReadsAHandMadeCrlfFileWithCyrillicText)
{
    WriteBytes(path("dev.dat"), "; \xCD\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE8\r\n[PORTS]\r\nCOM1 = /dev/ttyUSB0\r\n"
                                "\r\n[\xD1\xE2\xFF\xE7\xFC]\r\n\xC8\xEC\xFF = \"\xCF\xF0\xE8\xE1\xEE\xF0 \xB9 5\"\r\n");
    const ini::IniFile file = ini::IniFile::Load(path("dev.dat"));
    EXPECT_EQ(file.get("ports", "com1"), "/dev/ttyUSB0");
    EXPECT_EQ(file.get("Связь", "Имя"), "Прибор № 5");
    EXPECT_EQ(ini::ReadIniString(path("dev.dat"), "Связь", "Нет", "умолчание"), "умолчание");
}

TEST_F(IniFiles, SaveReplacesTheFileAtomicallyKeepingItsPermissions)
{
    WriteBytes(path("f.ini"), "[A]\r\nk=1\r\n");
    ASSERT_EQ(::chmod(path("f.ini").c_str(), 0640), 0);
    std::filesystem::create_symlink("f.ini", path("link.ini"));
    ASSERT_EQ(ini::WriteIniString(path("link.ini"), "A", "k", "2"), std::nullopt);

    EXPECT_TRUE(std::filesystem::is_symlink(path("link.ini")));
    EXPECT_EQ(ReadBytes(path("f.ini")), "[A]\r\nk=2\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(path("f.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 2) << "no temporary file left";
}

TEST_F(IniFiles, SaveFailsOnAMissingFolderOrAReadOnlyFileWithTheStepAndTheErrno)
{
    using Op = ini::FileOperation;
    const std::string missing = path("none/f.ini");
    EXPECT_EQ(ini::WriteIniString(missing, "A", "k", "1"), (ini::FileError{Op::OpenFolder, missing, ENOENT}));
    EXPECT_FALSE(std::filesystem::exists(path("none")));
    WriteBytes(path("plain"), "");
    EXPECT_EQ(ini::WriteIniString(path("plain/f.ini"), "A", "k", "1"),
              (ini::FileError{Op::OpenFolder, path("plain/f.ini"), ENOTDIR}));

    WriteBytes(path("ro.ini"), "[A]\nk=1\n");
    ASSERT_EQ(::chmod(path("ro.ini").c_str(), 0444), 0);
    EXPECT_EQ(ini::WriteIniString(path("ro.ini"), "A", "k", "2"), (ini::FileError{Op::Write, path("ro.ini"), EACCES}));
    EXPECT_EQ(ReadBytes(path("ro.ini")), "[A]\nk=1\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 2);

    std::filesystem::create_directory(path("dir.ini"));
    EXPECT_EQ(ini::WriteIniString(path("dir.ini"), "A", "k", "2"),
              (ini::FileError{Op::Write, path("dir.ini"), EISDIR}));
    EXPECT_FALSE(ini::IniFile::Load(path("dir.ini")).exists());

    // A folder without write bits is kept also from root, as the system keeps it from others.
    std::filesystem::create_directory(path("kept"));
    ASSERT_EQ(::chmod(path("kept").c_str(), 0555), 0);
    EXPECT_EQ(ini::WriteIniString(path("kept/f.ini"), "A", "k", "1"),
              (ini::FileError{Op::CreateFile, path("kept/f.ini"), EACCES}));
}

// What the system itself refuses, where no check of the program's own stands first: the errno of
// that very step comes up, not a reason guessed from the disk afterwards.
TEST_F(IniFiles, SaveCarriesTheErrnoTheSystemGaveAtTheStepThatFailed)
{
    using Op = ini::FileOperation;
    ASSERT_EQ(::chmod(dir_.c_str(), 0755), 0);
    // Write bits for the group only: the owner and the others may not write, and the mode alone
    // does not say so.
    std::filesystem::create_directory(path("shut"));
    ASSERT_EQ(::chmod(path("shut").c_str(), 0575), 0);
    EXPECT_TRUE(test::InChildProcess(test::As::Unprivileged, [&] {
        return ini::WriteIniString(path("shut/f.ini"), "A", "k", "1") ==
               ini::FileError{Op::CreateFile, path("shut/f.ini"), EACCES};
    })) << "a folder the user may not write into";

    // Readable by the group only: the save that would replace it cannot read what it keeps.
    WriteBytes(path("unread.ini"), "[A]\nk=1\n");
    ASSERT_EQ(::chmod(path("unread.ini").c_str(), 0262), 0);
    EXPECT_TRUE(test::InChildProcess(test::As::Unprivileged, [&] {
        return ini::WriteIniString(path("unread.ini"), "A", "k", "2") ==
               ini::FileError{Op::Read, path("unread.ini"), EACCES};
    })) << "a file the user may not read";
    EXPECT_EQ(ReadBytes(path("unread.ini")), "[A]\nk=1\n");

    // A limit on the size of files the process writes: the kernel refuses the bytes past it.
    EXPECT_TRUE(test::InChildProcess(test::As::Self, [&] {
        const rlimit small{16, 16};
        ::signal(SIGXFSZ, SIG_IGN);
        return ::setrlimit(RLIMIT_FSIZE, &small) == 0 && ini::ReplaceFile(path("big.ini"), std::string(100, 'x')) ==
                                                             ini::FileError{Op::Write, path("big.ini"), EFBIG};
    })) << "a file larger than the process may write";
    EXPECT_FALSE(std::filesystem::exists(path("big.ini")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(path("shut")), {}), 0);
}

TEST_F(IniFiles, ValuesWithLineBreaksAreRefused)
{
    ini::IniFile file;
    EXPECT_TRUE(file.set("A", "k", "1"));
    for (const char* value : {"2\r\ninjected=1", "2\ninjected=1", "2\r[B]"})
        EXPECT_FALSE(file.set("A", "k", value)) << value;
    EXPECT_EQ(file.bytes(), "[A]\r\nk=1\r\n");
    EXPECT_EQ(ini::WriteIniString(path("f.ini"), "A", "k", "x\ny=2"),
              (ini::FileError{ini::FileOperation::Write, path("f.ini"), EINVAL}));
    EXPECT_FALSE(std::filesystem::exists(path("f.ini")));
}

TEST_F(IniFiles, SaveWritesThroughADanglingLinkAndKeepsItALink)
{
    std::filesystem::create_directory(path("real"));
    std::filesystem::create_symlink("real/f.ini", path("rel.ini"));
    std::filesystem::create_symlink(path("real/g.ini"), path("abs.ini"));
    std::filesystem::create_symlink("rel.ini", path("chain.ini"));
    ASSERT_EQ(ini::WriteIniString(path("chain.ini"), "A", "k", "1"), std::nullopt);
    ASSERT_EQ(ini::WriteIniString(path("abs.ini"), "A", "k", "2"), std::nullopt);
    EXPECT_TRUE(std::filesystem::is_symlink(path("chain.ini")));
    EXPECT_TRUE(std::filesystem::is_symlink(path("rel.ini")));
    EXPECT_TRUE(std::filesystem::is_symlink(path("abs.ini")));
    EXPECT_EQ(ReadBytes(path("real/f.ini")), "[A]\r\nk=1\r\n");
    EXPECT_EQ(ReadBytes(path("real/g.ini")), "[A]\r\nk=2\r\n");

    std::filesystem::create_symlink("loop2.ini", path("loop1.ini"));
    std::filesystem::create_symlink("loop1.ini", path("loop2.ini"));
    EXPECT_EQ(ini::WriteIniString(path("loop1.ini"), "A", "k", "1"),
              (ini::FileError{ini::FileOperation::Write, path("loop1.ini"), ELOOP}));
    EXPECT_TRUE(std::filesystem::is_symlink(path("loop1.ini")));
}

// A save killed before its rename leaves NAME.tmpPID_N; the next save of NAME removes those of
// processes that are gone, and only those.
TEST_F(IniFiles, SaveRemovesTheTemporariesOfKilledSaves)
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ASSERT_GT(child, 0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    const std::string gone = std::to_string(child);
    WriteBytes(path("f.ini.tmp" + gone + "_0"), "[A]\r\nk=ha");
    WriteBytes(path("f.ini.tmp" + gone + "_3"), "");
    WriteBytes(path("f.ini.tmp1_0"), "");             // a process that is alive
    WriteBytes(path("f.ini.tmp" + gone + "_x"), "");  // not a name a save gives
    WriteBytes(path("g.ini.tmp" + gone + "_0"), "");  // another file's
    ASSERT_EQ(ini::WriteIniString(path("f.ini"), "A", "k", "1"), std::nullopt);
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(dir_))
        left.push_back(e.path().filename().string());
    std::vector<std::string> kept{"f.ini", "f.ini.tmp" + gone + "_x", "f.ini.tmp1_0", "g.ini.tmp" + gone + "_0"};
    std::sort(left.begin(), left.end());
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(left, kept);
}

TEST(ParseIniInt, AcceptsDecimalAndHexadecimalFormsOnly)
{
    // clang-format off
    const std::pair<const char*, std::optional<int32_t>> cases[] = {
        {"0", 0}, {"17", 17}, {"-5", -5}, {"+5", 5}, {"007", 7},
        {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN},
        {"2147483648", std::nullopt}, {"-2147483649", std::nullopt}, {"99999999999999999999", std::nullopt},
        {"0x1F", 31}, {"0X1f", 31}, {"$1F", 31}, {"-$1F", -31}, {"$FFFFFFFF", -1}, {"0x80000000", INT32_MIN},
        {"0x00000000FF", 255}, {"0x100000000", std::nullopt},
        {"", std::nullopt}, {"-", std::nullopt}, {"$", std::nullopt}, {"0x", std::nullopt},
        {" 5", std::nullopt}, {"5 ", std::nullopt}, {"12a", std::nullopt}, {"1.0", std::nullopt},
        {"1e3", std::nullopt}, {"x1F", std::nullopt}, {"0x1G", std::nullopt}, {"--5", std::nullopt},
    };
    // clang-format on
    for (const auto& [text, value] : cases)
        EXPECT_EQ(ini::ParseIniInt(text), value) << '"' << text << '"';
}
