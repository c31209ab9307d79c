#include "connection_check.h"

#include "device_settings.h"
#include "register_map.h"

#include "messages/error_codes.h"
#include "link/exchange.h"
#include "link/port_names.h"
#include "link/register_commands.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace pmv {
namespace {

fs::path InRoot(const SystemView& view, const std::string& path)
{
    return fs::path(view.root) / fs::path(path).relative_path();
}

std::string FirstLine(const fs::path& file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

struct GroupEntry {
    std::string name;
    gid_t gid = 0;
    std::vector<std::string> members;
};

std::vector<GroupEntry> ReadGroups(const SystemView& view)
{
    std::vector<GroupEntry> groups;
    std::ifstream in(InRoot(view, "/etc/group"));
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::stringstream split(line);
        std::string field;
        while (std::getline(split, field, ':'))
            fields.push_back(field);
        if (fields.size() < 3)
            continue;
        GroupEntry g;
        g.name = fields[0];
        try {
            g.gid = static_cast<gid_t>(std::stoul(fields[2]));
        } catch (const std::exception&) {
            continue;
        }
        if (fields.size() > 3) {
            std::stringstream members(fields[3]);
            std::string m;
            while (std::getline(members, m, ','))
                g.members.push_back(m);
        }
        groups.push_back(std::move(g));
    }
    return groups;
}

// Process ids under /proc of the root.
std::vector<std::string> Processes(const SystemView& view)
{
    std::vector<std::string> pids;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(InRoot(view, "/proc"), error)) {
        const std::string name = entry.path().filename().string();
        if (!name.empty() && std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
            pids.push_back(name);
    }
    std::sort(pids.begin(), pids.end());
    return pids;
}

std::vector<std::string> OpenFiles(const SystemView& view, const std::string& pid)
{
    std::vector<std::string> targets;
    std::error_code error;
    // Other users' descriptors are not readable without privileges; those processes are passed over.
    for (const auto& entry : fs::directory_iterator(InRoot(view, "/proc/" + pid + "/fd"), error)) {
        std::error_code linkError;
        const fs::path target = fs::read_symlink(entry.path(), linkError);
        if (!linkError)
            targets.push_back(target.string());
    }
    return targets;
}

std::string ProcessName(const SystemView& view, const std::string& pid)
{
    return FirstLine(InRoot(view, "/proc/" + pid + "/comm"));
}

Finding Ok(const char* topic, std::string text)
{
    return {topic, FindingState::Ok, std::move(text), {}};
}

Finding Problem(const char* topic, std::string text, std::string fix)
{
    return {topic, FindingState::Problem, std::move(text), std::move(fix)};
}

Finding CheckAccess(const SystemView& view, const std::string& device, const struct stat& st)
{
    const auto groups = ReadGroups(view);
    const auto group = std::find_if(groups.begin(), groups.end(), [&](const GroupEntry& g) { return g.gid == st.st_gid; });
    const std::string groupName = group != groups.end() ? group->name : std::to_string(st.st_gid);
    const bool listed = group != groups.end() &&
                        std::find(group->members.begin(), group->members.end(), view.userName) != group->members.end();
    const bool inSession = view.gid == st.st_gid ||
                           std::find(view.processGroups.begin(), view.processGroups.end(), st.st_gid) != view.processGroups.end();
    auto allows = [&](mode_t read, mode_t write) { return (st.st_mode & read) && (st.st_mode & write); };

    if (view.uid == 0 || (view.uid == st.st_uid && allows(S_IRUSR, S_IWUSR)) || (inSession && allows(S_IRGRP, S_IWGRP)) ||
        allows(S_IROTH, S_IWOTH))
        return Ok("access", "Права на чтение и запись " + device + " есть.");
    if (listed && allows(S_IRGRP, S_IWGRP))
        return Problem("access",
                       "Пользователь " + view.userName + " уже в группе " + groupName +
                           ", но этот сеанс начат до того: права появятся после нового входа в систему "
                           "(или в оболочке, запущенной командой ниже).",
                       "newgrp " + groupName);
    return Problem("access",
                   "Нет прав на чтение и запись " + device + ": устройство принадлежит группе " + groupName +
                       ", а пользователь " + view.userName +
                       " в неё не входит. После добавления в группу нужен новый вход в систему.",
                   "sudo usermod -aG " + groupName + " " + view.userName);
}

Finding CheckHolders(const SystemView& view, const std::string& device)
{
    const bool pseudoTerminal = device.starts_with("/dev/pts/");
    for (const std::string& pid : Processes(view)) {
        if (pid == std::to_string(view.selfPid))
            continue;
        const auto files = OpenFiles(view, pid);
        if (std::find(files.begin(), files.end(), device) == files.end())
            continue;
        // The far end of a pseudo-terminal (a simulator, a terminal window) holds both of its
        // ends; it is the line itself, not a competitor for it.
        if (pseudoTerminal && std::find(files.begin(), files.end(), "/dev/ptmx") != files.end())
            continue;
        const std::string name = ProcessName(view, pid);
        return Problem("holder",
                       "Порт " + device + " занят другой программой: " + name + " (PID " + pid +
                           "). Пока она держит порт, открыть его нельзя.",
                       "kill " + pid);
    }
    return Ok("holder", "Другие программы порт не держат.");
}

// The findings about the device itself: that it exists, that the user may use it, that no other
// program holds it. The first is always the device's.
std::vector<Finding> CheckPort(const SystemView& view, const std::string& device)
{
    std::vector<Finding> findings;
    const std::string resolved = device.empty() ? std::string() : ResolveDevice(view.root, device);
    struct stat st {};
    const bool exists = !resolved.empty() && ::stat(InRoot(view, resolved).c_str(), &st) == 0;
    if (device.empty()) {
        findings.push_back(Problem("device",
                                   "Номер порта не указывает ни на одно устройство: последовательных портов найдено "
                                   "меньше, чем этот номер. Выберите другой номер порта или подключите адаптер.",
                                   "ls -l /dev/serial/by-id/"));
    } else if (!exists) {
        findings.push_back(Problem("device",
                                   "Устройства " + device + " нет: адаптер не подключён или в dev.dat указан другой порт.",
                                   "ls -l /dev/serial/by-id/"));
    } else {
        const std::string shown = resolved == device ? device : device + " (" + resolved + ")";
        findings.push_back(Ok("device", "Устройство " + shown + " есть."));
        findings.push_back(CheckAccess(view, resolved, st));
        findings.push_back(CheckHolders(view, resolved));
    }
    return findings;
}

bool GrabbedByBrltty(const std::string& vendor, const std::string& product)
{
    static const char* const kAdapters[][2] = {{"1a86", "7523"}, {"1a86", "5523"}, {"10c4", "ea60"}, {"10c4", "ea70"}};
    for (const auto& adapter : kAdapters)
        if (vendor == adapter[0] && product == adapter[1])
            return true;
    return false;
}

Finding CheckBrltty(const SystemView& view)
{
    std::error_code error;
    const bool installed = fs::exists(InRoot(view, "/usr/bin/brltty"), error) || fs::exists(InRoot(view, "/bin/brltty"), error);
    if (!installed)
        return Ok("brltty", "brltty не установлен.");
    for (const auto& entry : fs::directory_iterator(InRoot(view, "/sys/bus/usb/devices"), error)) {
        if (GrabbedByBrltty(FirstLine(entry.path() / "idVendor"), FirstLine(entry.path() / "idProduct")))
            return Problem("brltty",
                           "Установлен brltty (программа для брайлевских дисплеев), а подключён адаптер CH340 или "
                           "CP210x: brltty забирает такие адаптеры себе, и порт пропадает сразу после подключения.",
                           "sudo apt-get remove brltty");
    }
    return Ok("brltty", "brltty установлен, но адаптеров CH340/CP210x, которые он забирает, нет.");
}

Finding CheckModemManager(const SystemView& view)
{
    const auto processes = Processes(view);
    const bool running = std::any_of(processes.begin(), processes.end(),
                                     [&](const std::string& pid) { return ProcessName(view, pid) == "ModemManager"; });
    if (!running)
        return Ok("modemmanager", "ModemManager не запущен.");
    std::error_code error;
    for (const char* folder : {"/etc/udev/rules.d/", "/usr/lib/udev/rules.d/", "/lib/udev/rules.d/"})
        if (fs::exists(InRoot(view, std::string(folder) + kUdevRuleName), error))
            return Ok("modemmanager", "ModemManager запущен, правило udev программы велит ему не трогать адаптеры.");
    return Problem("modemmanager",
                   std::string("Запущен ModemManager, а правило udev программы (") + kUdevRuleName +
                       ") не установлено: ModemManager опрашивает каждый новый порт AT-командами и несколько секунд "
                       "держит его занятым.",
                   "sudo systemctl disable --now ModemManager");
}

Finding CheckLatency(const SystemView& view, const std::string& device)
{
    const std::string tty = fs::path(device).filename().string();
    const std::string file = "/sys/class/tty/" + tty + "/device/latency_timer";
    const std::string text = FirstLine(InRoot(view, file));
    if (text.empty())
        return Ok("latency", "Таймера задержки у этого устройства нет.");
    int value = 0;
    try {
        value = std::stoi(text);
    } catch (const std::exception&) {
        return Ok("latency", "Таймер задержки адаптера не прочитан.");
    }
    if (value <= 1)
        return Ok("latency", "Таймер задержки адаптера " + std::to_string(value) + " мс.");
    return Problem("latency",
                   "Таймер задержки адаптера " + std::to_string(value) + " мс: каждый ответ прибора приходит на " +
                       std::to_string(value) + " мс позже, обмен идёт медленнее.",
                   "echo 1 | sudo tee " + file);
}

}  // namespace

SystemView SystemView::Current()
{
    SystemView view;
    view.uid = getuid();
    view.gid = getgid();
    if (const passwd* user = getpwuid(view.uid))
        view.userName = user->pw_name;
    else
        view.userName = std::to_string(view.uid);
    const int count = getgroups(0, nullptr);
    if (count > 0) {
        view.processGroups.resize(static_cast<size_t>(count));
        view.processGroups.resize(static_cast<size_t>(std::max(0, getgroups(count, view.processGroups.data()))));
    }
    view.selfPid = getpid();
    return view;
}

std::vector<Finding> CheckSystem(const SystemView& view, const std::string& device)
{
    std::vector<Finding> findings = CheckPort(view, device);
    const bool exists = findings.front().state != FindingState::Problem;
    findings.push_back(CheckBrltty(view));
    findings.push_back(CheckModemManager(view));
    if (exists)
        findings.push_back(CheckLatency(view, ResolveDevice(view.root, device)));
    return findings;
}

Finding CheckInstrument(Exchange& exchange, uint32_t baud)
{
    const uint32_t address = exchange.values().DeviceAddress;
    const std::string where = "по адресу " + std::to_string(address) + " на скорости " + std::to_string(baud);
    const bool verifying = exchange.values().VerifyAnswers;
    const auto readVersion = [&](bool verify, uint32_t& version) {
        exchange.values().VerifyAnswers = verify;
        const uint32_t code =
            ReadByteRegister(exchange, regs::kFirmwareVersion.bank, regs::kFirmwareVersion.number, version);
        exchange.values().VerifyAnswers = verifying;
        return code;
    };
    uint32_t version = 0;
    const uint32_t code = readVersion(verifying, version);
    // Every answer refused for its checksum: an instrument that computes it otherwise answers
    // all the same once the test is off, a line that garbles every answer does not.
    const bool refusedForChecksum = code == kChecksumMismatch && readVersion(false, version) == kOk;
    const std::string answers = "Прибор отвечает " + where + ", версия программы " +
                                FirmwareVersionText(static_cast<int32_t>(version)) + ".";
    if (refusedForChecksum)
        return Problem("instrument",
                       answers + " Но контрольные суммы его ответов не сходятся, и каждый ответ отвергается "
                                 "(ERR 6): помехи на линии или прибор считает их иначе. Если так всегда, "
                                 "отключите их проверку в dev.dat.",
                       std::string("VerifyAnswerCrc=0 в разделе [DEVICE] файла dev.dat"));
    if (code == kOk) {
        if (verifying)
            return Ok("instrument", answers + " Контрольные суммы его ответов сходятся.");
        if (Exchange::AnswerChecksum(exchange.answer()) == kOk)
            return Ok("instrument", answers +
                                        " Контрольные суммы его ответов сходятся, но их проверка отключена в dev.dat "
                                        "(VerifyAnswerCrc=0): её можно включить.");
        return Ok("instrument", answers + " Контрольные суммы его ответов не сходятся; их проверка отключена в "
                                          "dev.dat (VerifyAnswerCrc=0).");
    }
    const ErrorMessage* message = FindErrorMessage(code);
    return Problem("instrument",
                   "Прибор не ответил " + where + " (" + (message ? message->text : std::to_string(code)) +
                       "). Возможно, у прибора другой адрес или скорость: запустите поиск прибора.",
                   "pmvctl scan");
}

Finding PortNotOpen(const std::string& device)
{
    return Problem("instrument",
                   (device.empty() ? std::string("Порт не задан") : "Порт " + device + " не открыт") +
                       ", прибор не опрошен. Устраните причины выше и повторите проверку.",
                   "pmvctl doctor");
}

std::string ExplainOpenFailure(const SystemView& view, const std::string& device, const std::string& systemError)
{
    for (const Finding& f : CheckPort(view, device))
        if (f.state == FindingState::Problem)
            return f.text + (f.fix.empty() ? "" : " Команда: " + f.fix);
    return "Порт " + device + " не открыт: " + systemError;
}

bool AllClear(const std::vector<Finding>& findings)
{
    return std::none_of(findings.begin(), findings.end(), [](const Finding& f) { return f.state == FindingState::Problem; });
}

}  // namespace pmv
