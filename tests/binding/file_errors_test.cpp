#include "binding/file_errors.h"
#include "binding/profile_load.h"
#include "model/profile.h"

#include "child_process.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace pmv;

namespace {

using Op = ini::FileOperation;

TEST(FileErrors, TheStepAndTheErrnoGiveTheReasonInTheUsersWords)
{
    const struct {
        ini::FileError error;
        std::string text;
    } cases[] = {
        {{Op::OpenFolder, "/w/none/p.prf", ENOENT}, "Не удается записать файл /w/none/p.prf: нет папки /w/none."},
        {{Op::OpenFolder, "/w/plain/p.prf", ENOTDIR}, "Не удается записать файл /w/plain/p.prf: нет папки /w/plain."},
        {{Op::CreateFile, "/w/link.prf", ENOENT, "/real"}, "Не удается записать файл /w/link.prf: нет папки /real."},
        {{Op::CreateFile, "/w/p.prf", EACCES}, "Не удается записать файл /w/p.prf: нет права записи в папку /w."},
        {{Op::OpenFolder, "/w/p.prf", EACCES}, "Не удается записать файл /w/p.prf: нет доступа к папке /w."},
        {{Op::Rename, "/w/p.prf", EPERM}, "Не удается записать файл /w/p.prf: нет права записи в папку /w."},
        {{Op::Write, "/w/p.prf", EACCES}, "Не удается записать файл /w/p.prf: файл защищен от записи."},
        {{Op::Write, "/w/p.prf", EISDIR}, "Не удается записать файл /w/p.prf: под этим именем уже есть папка."},
        {{Op::Write, "/w/p.prf", ENOSPC}, "Не удается записать файл /w/p.prf: диск заполнен."},
        {{Op::Sync, "/w/p.prf", EIO}, "Не удается записать файл /w/p.prf: ошибка ввода-вывода."},
        {{Op::CreateFile, "/w/p.prf", EROFS}, "Не удается записать файл /w/p.prf: диск только для чтения."},
        {{Op::Write, "/w/p.prf", EOWNERDEAD}, "Не удается записать файл /w/p.prf: системная ошибка 130."},
        {{Op::Read, "/w/p.prf", EACCES}, "Не удается прочитать файл /w/p.prf: нет права чтения."},
        {{Op::Compose, "/w/r.pdf"}, "Не удается записать файл /w/r.pdf: документ не построен."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(binding::FileErrorText(c.error), c.text);
    EXPECT_EQ(
        binding::NotUpdatedText("/w/ro.prf", {Op::Write, "/w/ro.prf", EACCES}),
        "Профиль /w/ro.prf открыт, но файл не обновлен.\nНе удается записать файл /w/ro.prf: файл защищен от записи.");
}

TEST(FileErrors, TheHistorysFilesAreNamedInTheHistorysWordsAndItsOtherFailuresPassAsTheyAre)
{
    using history::HistoryError;
    using Step = history::HistoryFileStep;
    const std::string h = "/w/history.sqlite";
    EXPECT_EQ(binding::HistoryErrorText(HistoryError(Step::Create, h, {Op::CreateFile, h, EACCES})),
              "Не удается создать журнал приборов /w/history.sqlite: нет права записи в папку /w");
    EXPECT_EQ(binding::HistoryErrorText(HistoryError(Step::Create, h, {Op::CreateFile, h, ENOENT})),
              "Не удается создать журнал приборов /w/history.sqlite: нет папки /w");
    EXPECT_EQ(binding::HistoryErrorText(HistoryError(Step::StartNew, h, {Op::CreateFile, h + ".lock", EROFS})),
              "Журнал приборов /w/history.sqlite не начинается заново: /w/history.sqlite.lock: диск только для чтения");
    EXPECT_EQ(
        binding::HistoryErrorText(HistoryError(Step::SetAside, h, {Op::Rename, h + ".corrupt-1-wal", ENOSPC})),
        "Журнал приборов /w/history.sqlite поврежден и не переносится в /w/history.sqlite.corrupt-1-wal: диск заполнен");
    EXPECT_EQ(binding::HistoryErrorText(HistoryError("Не удается подключиться к журналу приборов")),
              "Не удается подключиться к журналу приборов");
}

// What the user reads is what the system said at the step that failed, where a look at the disk
// afterwards would tell another story.
TEST(FileErrors, TheUserReadsTheReasonTheSystemGaveAtTheFailure)
{
    test::TempDir dir;
    std::filesystem::permissions(dir.path(), std::filesystem::perms::others_read | std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);
    const std::string unread = dir.file("unread.prf");
    model::SettingsModel model;
    ASSERT_EQ(model::SaveProfile(unread, model, {}), std::nullopt);
    // Writable, not readable: the save that would replace it cannot keep the keys it does not write.
    std::filesystem::permissions(unread, static_cast<std::filesystem::perms>(0262));
    EXPECT_TRUE(test::InChildProcess(test::As::Unprivileged, [&] {
        model::SettingsModel m;
        const auto failure = model::SaveProfile(unread, m, {});
        return failure &&
               binding::FileErrorText(*failure) == "Не удается прочитать файл " + unread + ": нет права чтения.";
    })) << "a profile the user may write but not read";

    const std::string big = dir.file("big.prf");
    EXPECT_TRUE(test::InChildProcess(test::As::Self, [&] {
        const rlimit small{512, 512};
        ::signal(SIGXFSZ, SIG_IGN);
        model::SettingsModel m;
        const auto failure = ::setrlimit(RLIMIT_FSIZE, &small) == 0 ? model::SaveProfile(big, m, {}) : std::nullopt;
        return failure &&
               binding::FileErrorText(*failure) == "Не удается записать файл " + big + ": файл слишком велик.";
    })) << "a profile larger than the process may write";
    EXPECT_FALSE(std::filesystem::exists(big));
}

// A file system of 16 KiB of its own on `folder`, in a mount namespace of the calling process only
// (of a user namespace of its own where the process may not make one otherwise).
bool MountSmallDisk(const std::string& folder)
{
    if (::unshare(CLONE_NEWNS) != 0) {
        const std::string uid = std::to_string(::geteuid()), gid = std::to_string(::getegid());
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
            return false;
        std::ofstream("/proc/self/setgroups") << "deny";
        std::ofstream("/proc/self/uid_map") << "0 " << uid << " 1";
        std::ofstream("/proc/self/gid_map") << "0 " << gid << " 1";
    }
    return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=16k") == 0;
}

// A save that fills the disk leaves it with room again once its fresh file is gone: only the
// errno of its write says the disk was full.
TEST(FileErrors, AFullDiskIsNamedThoughTheFailedSaveLeftRoomBehind)
{
    test::TempDir dir;
    const std::string disk = dir.file("disk");
    std::filesystem::create_directory(disk);
    if (!test::InChildProcess(test::As::Self, [&] { return MountSmallDisk(disk); }))
        GTEST_SKIP() << "no mount namespace may be made here";
    EXPECT_TRUE(test::InChildProcess(test::As::Self, [&] {
        // Long description lines make the profile larger than a page of the disk.
        model::SettingsModel m;
        const std::vector<std::string> description(4, std::string(1000, 'x'));
        if (model::SaveProfile(dir.file("probe.prf"), m, description) ||
            std::filesystem::file_size(dir.file("probe.prf")) <= 4096)
            return false;
        // Three of the four pages taken: the profile needs more than the one left.
        if (!MountSmallDisk(disk) || !(std::ofstream(disk + "/filler") << std::string(3 * 4096, 'x')))
            return false;
        const auto failure = model::SaveProfile(disk + "/p.prf", m, description);
        return failure &&
               binding::FileErrorText(*failure) == "Не удается записать файл " + disk + "/p.prf: диск заполнен." &&
               !std::filesystem::exists(disk + "/p.prf");
    }));
}

}  // namespace
