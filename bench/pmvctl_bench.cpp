// pmvctl jobs as the production line runs them: each job one process, from its start to its exit,
// against the simulator paced to a 9600 and a 57600 baud line. Each job's time is compared with
//   line:  the bytes actually on the line (every request with its preamble, every answer sent);
//   slots: the same, but a request left unanswered counts the longest answer it could have got,
//          which the program must wait for before it may send again (the scan's silent probes).
// Beneath every job lie two floors: its requests sent by a bare loop in a process of its own
// (the pseudo-terminal, the simulator and the machine's wake-ups), and a pmvctl start and exit
// that does nothing (loading Qt). The program's own share is what a job takes beyond both.
// Goals: every bulk job at most 1.02 of its line time at 9600; at 57600, where the floors weigh
// more, the program's own share at most 0.03 of the line; a silent scan at most 1.03 of its slots
// at 9600 and 1.10 at 57600. Then the reboot after the restart command: the jobs that restart the
// instrument at 9600 with answers 20 ms after each request, without and with a 1.5 s reboot, as
// ratios to the reboot, a read right after a write against a read alone, and what production
// achieves per hour with it. Program runs and bare loops take turns, so that a machine that
// slows down for a minute slows both; medians are printed.
//
//   pmvctl_bench [RUNS] [baud|9600|57600|reboot]   (5 runs by default, every table by default;
//                                                   PMVCTL=path times another build)
#include "link/exchange.h"
#include "model/factory_profiles.h"
#include "sim/simulator.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <QFile>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

constexpr size_t kLongestReadAnswer = 14;  // "!255;FF;65535" CR: a probe's answer slot

struct Job {
    const char* name;
    std::vector<std::string> args;  // after --port, --baud
    int status = 0;                 // the exit status that means it did its work
};

struct Run {
    double elapsedMs = 0;
    double lineMs = 0;
    double slotMs = 0;
    size_t requests = 0;
    bool ok = false;
};

double WireMs(size_t bytes, uint32_t baud) { return static_cast<double>(bytes) * 10.0 * 1000.0 / baud; }

// Runs a program to its exit; its output goes to pmvctl.out in the working folder.
int RunProgram(std::vector<std::string> all)
{
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "pmvctl.out", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int RunPmvctl(const std::vector<std::string>& args)
{
    const char* other = std::getenv("PMVCTL");
    std::vector<std::string> all{other && *other ? other : PMVCTL_PATH};
    all.insert(all.end(), args.begin(), args.end());
    return RunProgram(all);
}

// The simulator's transcript of a run: its requests and what they took on the line.
void TakeLine(const pmv::sim::Simulator& simulator, uint32_t baud, Run& run)
{
    size_t line = 0, slots = 0;
    for (const auto& r : simulator.Transcript()) {
        line += r.wireBytes + r.answer.size();
        slots += r.wireBytes + (r.answered ? r.answer.size() : kLongestReadAnswer);
        ++run.requests;
    }
    run.lineMs = WireMs(line, baud);
    run.slotMs = WireMs(slots, baud);
}

// Times pmvctl with `before` and the job's arguments from its start to its exit; a run that does
// not end in the job's status shows what pmvctl printed.
Run TimedRun(const Job& job, std::vector<std::string> before)
{
    before.insert(before.end(), job.args.begin(), job.args.end());
    const auto start = std::chrono::steady_clock::now();
    const int status = RunPmvctl(before);
    Run run;
    run.elapsedMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    run.ok = status == job.status;
    if (!run.ok) {
        std::fprintf(stderr, "%s: exit status %d\n", job.name, status);
        if (std::FILE* out = std::fopen("pmvctl.out", "r")) {
            char text[4096];
            std::fwrite(text, 1, std::fread(text, 1, sizeof text, out), stderr);
            std::fclose(out);
        }
    }
    return run;
}

// `settleMs`: the time the instrument is left alone first, so that a reboot of the job before is over.
Run Measure(pmv::sim::Simulator& simulator, uint32_t baud, const Job& job, uint32_t settleMs)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
    simulator.ClearTranscript();
    Run run = TimedRun(job, {"--port", simulator.DevicePath(), "--baud", std::to_string(baud)});
    TakeLine(simulator, baud, run);
    return run;
}

// The middle of several runs by elapsed time: a virtual machine's line times wander by a percent
// from one minute to the next, and the fastest run would flatter a job.
Run Median(std::vector<Run> all)
{
    std::sort(all.begin(), all.end(), [](const Run& a, const Run& b) { return a.elapsedMs < b.elapsedMs; });
    return all[all.size() / 2];
}

Run Repeat(int runs, bool& ok, const std::function<Run()>& measure)
{
    std::vector<Run> all;
    for (int i = 0; i < runs; ++i) {
        all.push_back(measure());
        ok = ok && all.back().ok;
    }
    return Median(all);
}

bool Start(pmv::sim::Simulator& simulator)
{
    std::string error;
    if (simulator.Start(&error))
        return true;
    std::fprintf(stderr, "pmvctl_bench: %s\n", error.c_str());
    return false;
}

struct Frame {
    std::string bytes;
    bool answered = false;
};

// The floor under a job: its requests sent again by a bare loop (no program start, no Qt, no
// log), each as soon as the answer before it is in, each purged first as the program does. It
// runs in a process of its own, as pmvctl does, and times only its loop.
double BareLoopMs(const std::string& device, const std::vector<Frame>& frames)
{
    const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return -1;
    termios raw{};
    tcgetattr(fd, &raw);
    cfmakeraw(&raw);
    tcsetattr(fd, TCSANOW, &raw);
    const auto start = std::chrono::steady_clock::now();
    bool ok = true;
    for (const Frame& frame : frames) {
        tcflush(fd, TCIOFLUSH);
        ok = ok && write(fd, frame.bytes.data(), frame.bytes.size()) == static_cast<ssize_t>(frame.bytes.size());
        std::string answer;
        char chunk[64];
        while (ok && frame.answered && answer.find('\r') == std::string::npos) {
            pollfd watch{fd, POLLIN, 0};
            if (poll(&watch, 1, 1000) <= 0) {
                ok = false;
                break;
            }
            const ssize_t got = read(fd, chunk, sizeof chunk);
            if (got > 0)
                answer.append(chunk, static_cast<size_t>(got));
        }
    }
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    close(fd);
    return ok ? ms : -1;
}

// The frames file: per request a line "1 " or "0 " (answered) and the frame in hexadecimal.
Run ReplayBare(pmv::sim::Simulator& simulator, uint32_t baud, const std::vector<pmv::sim::Request>& requests)
{
    QFile file("frames.txt");
    if (!file.open(QIODevice::WriteOnly))
        return {};
    for (const auto& r : requests) {
        std::string frame = std::string(4, '\xFF') + ":" + r.text;
        pmv::link::AppendChecksum(frame);
        file.write(
            (std::string(r.answered ? "1 " : "0 ") + QByteArray::fromStdString(frame).toHex().toStdString() + "\n")
                .c_str());
    }
    file.close();
    simulator.ClearTranscript();
    Run run;
    run.ok = RunProgram({"/proc/self/exe", "--bare", simulator.PtyPath(), "frames.txt"}) == 0;
    QFile took("pmvctl.out");
    if (run.ok && took.open(QIODevice::ReadOnly))
        run.elapsedMs = took.readAll().trimmed().toDouble();
    TakeLine(simulator, baud, run);
    return run;
}

int BareMain(const char* device, const char* framesPath)
{
    QFile file(framesPath);
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    std::vector<Frame> frames;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.size() > 2)
            frames.push_back({QByteArray::fromHex(line.mid(2)).toStdString(), line.startsWith('1')});
    }
    const double ms = BareLoopMs(device, frames);
    std::printf("%.3f\n", ms);
    return ms < 0 ? 1 : 0;
}

// A program start and exit with no work: what every job pays before its first request and after
// its last answer, whatever it does on the line.
Run StartAndExit() { return TimedRun({"pmvctl --version", {"--version"}}, {}); }

const std::vector<Job>& BulkJobs()
{
    static const std::vector<Job> jobs{
        {"full read", {"read", "read.prf"}},
        {"full write", {"write", "--yes", "PMV7706.prf"}},
        {"write --verify", {"write", "--yes", "--verify", "PMV7706.prf"}},
        {"produce", {"produce", "--profile", "PMV7706.prf", "--serial", "12", "--yes"}},
    };
    return jobs;
}

bool BaudTable(uint32_t baud, int runs)
{
    bool ok = true;
    pmv::sim::SimOptions options;
    options.baud = baud;
    pmv::sim::Simulator simulator(options);
    if (!Start(simulator))
        return false;
    const Run start = Repeat(runs, ok, StartAndExit);
    std::printf("%5u  pmvctl --version alone (start, exit): median %.1f ms\n", baud, start.elapsedMs);
    for (const Job& job : BulkJobs()) {
        std::vector<Run> program, bare;
        for (int i = 0; i < runs; ++i) {
            program.push_back(Measure(simulator, baud, job, 0));
            const std::vector<pmv::sim::Request> requests = simulator.Transcript();
            bare.push_back(ReplayBare(simulator, baud, requests));
            ok = ok && program.back().ok && bare.back().ok;
        }
        const Run p = Median(program), b = Median(bare);
        const double own = (p.elapsedMs - b.elapsedMs - start.elapsedMs) / p.lineMs;
        std::printf("%5u  %-16s %4zu exchanges  median %7.0f ms  line %7.0f ms  ratio to line %.3f  bare loop %.3f  "
                    "program's own share %+.3f\n",
                    baud, job.name, p.requests, p.elapsedMs, p.lineMs, p.elapsedMs / p.lineMs, b.elapsedMs / b.lineMs,
                    own);
    }
    simulator.Stop();

    const auto scan = [&](const char* name, pmv::sim::SimOptions o, int status) {
        o.baud = baud;
        o.onlyAtBaud = true;
        pmv::sim::Simulator s(o);
        if (!Start(s)) {
            ok = false;
            return;
        }
        const Job job{name, {"scan", "--addresses", "0-255", "--all"}, status};
        const Run median = Repeat(runs, ok, [&] { return Measure(s, baud, job, 0); });
        std::printf("%5u  %-34s %4zu probes  median %7.0f ms  line %7.0f ms  slots %7.0f ms  ratio to line %.3f, "
                    "to slots %.3f\n",
                    baud, name, median.requests, median.elapsedMs, median.lineMs, median.slotMs,
                    median.elapsedMs / median.lineMs, median.elapsedMs / median.slotMs);
    };
    pmv::sim::SimOptions silent;
    silent.address = 1000;
    scan("scan of 256 silent addresses", silent, 2);
    pmv::sim::SimOptions everyone;
    everyone.anyAddress = true;
    scan("scan, every address answers", everyone, 0);
    return ok;
}

bool RebootTable(int runs)
{
    constexpr uint32_t kBaud = 9600;
    constexpr uint32_t kRebootMs = 1500;
    bool ok = true;
    const std::vector<Job> jobs{
        {"write --yes", {"write", "--yes", "PMV7706.prf"}},
        {"write --yes --verify", {"write", "--yes", "--verify", "PMV7706.prf"}},
        {"calibrate 1 ku10 --yes", {"calibrate", "1", "ku10", "PMV7706.prf", "--yes"}},
        {"produce", {"produce", "--profile", "PMV7706.prf", "--serial", "12", "--yes"}},
    };
    const Job read{"read", {"read", "read.prf"}};
    std::vector<double> without;
    for (const uint32_t reboot : {0u, kRebootMs}) {
        pmv::sim::SimOptions options;
        options.baud = kBaud;
        options.turnaroundMs = 20;
        options.rebootMs = reboot;
        pmv::sim::Simulator simulator(options);
        if (!Start(simulator))
            return false;
        simulator.ConnectSource(0, {pmv::sim::Source::Kind::Volts, 10.0});
        for (size_t i = 0; i < jobs.size(); ++i) {
            // A calibration waits most of a minute for its inputs to settle: once is enough.
            const int times = jobs[i].args.front() == "calibrate" ? 1 : runs;
            const double ms =
                Repeat(times, ok, [&] { return Measure(simulator, kBaud, jobs[i], reboot + 200); }).elapsedMs;
            if (reboot == 0) {
                without.push_back(ms);
                continue;
            }
            std::printf("%-24s without reboot %5.2f s  with %.1f s reboot %5.2f s  extra %.2f of the reboot\n",
                        jobs[i].name, without[i] / 1000.0, kRebootMs / 1000.0, ms / 1000.0,
                        (ms - without[i]) / kRebootMs);
            if (jobs[i].args.front() == "produce")
                std::printf("%-24s %.0f instruments per hour with a %.1f s reboot (%.0f without)\n", "",
                            3600'000.0 / ms, kRebootMs / 1000.0, 3600'000.0 / without[i]);
        }
        if (reboot == 0)
            continue;
        // The next command right after a write meets the instrument rebooting: it may wait for the
        // reboot, but not for a time-out on top of it.
        std::vector<Run> alone, after;
        for (int i = 0; i < runs; ++i) {
            alone.push_back(Measure(simulator, kBaud, read, reboot + 200));
            Measure(simulator, kBaud, jobs[0], reboot + 200);
            after.push_back(Measure(simulator, kBaud, read, 0));
            ok = ok && alone.back().ok && after.back().ok;
        }
        const double a = Median(alone).elapsedMs, b = Median(after).elapsedMs;
        std::printf("%-24s alone %5.2f s  right after a write %5.2f s  extra %.2f of the reboot (goal: at most %.2f)\n",
                    "read", a / 1000.0, b / 1000.0, (b - a) / kRebootMs, (kRebootMs + 200.0) / kRebootMs);
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "--bare")
        return BareMain(argv[2], argv[3]);
    // Each table line as soon as it is measured: the whole run takes minutes.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 5;
    if (runs <= 0) {
        std::fprintf(stderr, "usage: pmvctl_bench [RUNS] [baud|9600|57600|reboot]\n");
        return 2;
    }
    QTemporaryDir work;
    QDir::setCurrent(work.path());
    if (pmv::model::CreateDefaultProfiles())
        return 1;
    const std::string only = argc > 2 ? argv[2] : "";
    bool ok = true;
    for (const uint32_t baud : {9600u, 57600u})
        if (only.empty() || only == "baud" || only == std::to_string(baud))
            ok = BaudTable(baud, runs) && ok;
    if (only.empty() || only == "reboot")
        ok = RebootTable(runs) && ok;
    return ok ? 0 : 1;
}
