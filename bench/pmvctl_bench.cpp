// pmvctl jobs as the production line runs them: each job one process, from its start to its exit,
// against the simulator paced to a 9600 and a 57600 baud line. Each job's time is compared with
//   line:  the bytes actually on the line (every request with its preamble, every answer sent);
//   slots: the same, but a request left unanswered counts the longest answer it could have got,
//          which the program must wait for before it may send again (the scan's silent probes).
// Goals: every bulk job at most 1.02 of its line time at 9600 and 1.03 at 57600; a silent scan
// at most 1.3 of its slots. Under the full read, what lies beneath every job: its requests sent
// by a bare loop (the pseudo-terminal and the machine's wake-ups), and a pmvctl start and exit
// that does nothing (loading Qt). Then the reboot after the restart command: the jobs that
// restart the instrument at 9600 with answers 20 ms after each request, without and with a 1.5 s
// reboot, and what production achieves per hour with it.
//
//   pmvctl_bench [RUNS] [baud|9600|57600|reboot]   (3 runs by default, the fastest, slowest and
//                                                   middle printed; every table by default;
//                                                   PMVCTL=path times another build)
#include "link/exchange.h"
#include "model/factory_profiles.h"
#include "sim/simulator.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

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

double WireMs(size_t bytes, uint32_t baud)
{
    return static_cast<double>(bytes) * 10.0 * 1000.0 / baud;
}

// Runs pmvctl to its exit; its output goes to pmvctl.out in the working folder.
int RunPmvctl(const std::vector<std::string>& args)
{
    const char* other = std::getenv("PMVCTL");
    std::vector<std::string> all{other && *other ? other : PMVCTL_PATH};
    all.insert(all.end(), args.begin(), args.end());
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

// The fastest, the middle and the slowest of `runs`: a virtual machine's line times wander by a
// percent from one minute to the next, and the middle run shows where a job stands.
struct Runs {
    Run fast, median, slow;
};

Runs Repeat(int runs, bool& ok, const std::function<Run()>& measure)
{
    std::vector<Run> all;
    for (int i = 0; i < runs; ++i) {
        all.push_back(measure());
        ok = ok && all.back().ok;
    }
    std::sort(all.begin(), all.end(), [](const Run& a, const Run& b) { return a.elapsedMs < b.elapsedMs; });
    return {all.front(), all[all.size() / 2], all.back()};
}

bool Start(pmv::sim::Simulator& simulator)
{
    std::string error;
    if (simulator.Start(&error))
        return true;
    std::fprintf(stderr, "pmvctl_bench: %s\n", error.c_str());
    return false;
}

// The floor under a job: its requests sent again by a bare loop in this process (no program
// start, no Qt, no log), each as soon as the answer before it is in, each purged first as the
// program does. What a job takes beyond this is the program's; this much is the simulator's
// pseudo-terminal and the machine's wake-ups.
Run ReplayBare(pmv::sim::Simulator& simulator, uint32_t baud, const std::vector<pmv::sim::Request>& requests)
{
    std::vector<std::string> frames;
    for (const auto& r : requests) {
        frames.push_back(std::string(4, '\xFF') + ":" + r.text);
        pmv::link::AppendChecksum(frames.back());
    }
    Run run;
    const int fd = open(simulator.PtyPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return run;
    termios raw{};
    tcgetattr(fd, &raw);
    cfmakeraw(&raw);
    tcsetattr(fd, TCSANOW, &raw);
    simulator.ClearTranscript();
    const auto start = std::chrono::steady_clock::now();
    run.ok = true;
    for (const std::string& frame : frames) {
        tcflush(fd, TCIOFLUSH);
        run.ok = run.ok && write(fd, frame.data(), frame.size()) == static_cast<ssize_t>(frame.size());
        std::string answer;
        char chunk[64];
        while (run.ok && answer.find('\r') == std::string::npos) {
            pollfd watch{fd, POLLIN, 0};
            if (poll(&watch, 1, 1000) <= 0) {
                run.ok = false;
                break;
            }
            const ssize_t got = read(fd, chunk, sizeof chunk);
            if (got > 0)
                answer.append(chunk, static_cast<size_t>(got));
        }
    }
    run.elapsedMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    close(fd);
    TakeLine(simulator, baud, run);
    return run;
}

// A program start and exit with no work: what every job pays before its first request and after
// its last answer, whatever it does on the line.
Run StartAndExit()
{
    return TimedRun({"pmvctl --version", {"--version"}}, {});
}

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
    const auto print = [&](const char* name, const Runs& r) {
        std::printf("%5u  %-34s %4zu exchanges  %7.0f ms  line %7.0f ms  ratio to line %.3f-%.3f, median %.3f\n", baud,
                    name, r.fast.requests, r.fast.elapsedMs, r.fast.lineMs, r.fast.elapsedMs / r.fast.lineMs,
                    r.slow.elapsedMs / r.slow.lineMs, r.median.elapsedMs / r.median.lineMs);
    };
    for (const Job& job : BulkJobs()) {
        print(job.name, Repeat(runs, ok, [&] { return Measure(simulator, baud, job, 0); }));
        if (job.args.front() != "read")
            continue;
        const std::vector<pmv::sim::Request> requests = simulator.Transcript();
        const Runs bare = Repeat(runs, ok, [&] { return ReplayBare(simulator, baud, requests); });
        print("  its requests from a bare loop", bare);
        const Run start = Repeat(runs, ok, StartAndExit).median;
        std::printf("%5u    pmvctl --version alone (start, exit)  %5.1f ms, with the bare loop: median %.3f of the line\n",
                    baud, start.elapsedMs, (bare.median.elapsedMs + start.elapsedMs) / bare.median.lineMs);
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
        const auto [fast, median, slow] = Repeat(runs, ok, [&] { return Measure(s, baud, job, 0); });
        std::printf("%5u  %-34s %4zu probes     %7.0f ms  line %7.0f ms  slots %7.0f ms  ratio to line %.3f-%.3f, "
                    "to slots %.3f-%.3f, median %.3f\n",
                    baud, name, fast.requests, fast.elapsedMs, fast.lineMs, fast.slotMs, fast.elapsedMs / fast.lineMs,
                    slow.elapsedMs / slow.lineMs, fast.elapsedMs / fast.slotMs, slow.elapsedMs / slow.slotMs,
                    median.elapsedMs / median.slotMs);
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
                Repeat(times, ok, [&] { return Measure(simulator, kBaud, jobs[i], reboot + 200); }).fast.elapsedMs;
            if (reboot == 0) {
                without.push_back(ms);
                continue;
            }
            std::printf("%-24s without reboot %5.2f s  with %.1f s reboot %5.2f s  extra %+.2f s\n", jobs[i].name,
                        without[i] / 1000.0, kRebootMs / 1000.0, ms / 1000.0, (ms - without[i]) / 1000.0);
            if (jobs[i].args.front() == "produce")
                std::printf("%-24s %.0f instruments per hour with a %.1f s reboot (%.0f without)\n", "",
                            3600'000.0 / ms, kRebootMs / 1000.0, 3600'000.0 / without[i]);
        }
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 3;
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
