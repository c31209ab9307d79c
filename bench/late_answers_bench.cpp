// Seeded runs of pmvctl's read, write --verify, produce and monitor against a quick instrument
// (answers 5 ms after each request, 9600 baud) that holds a share of its answers back at random,
// up to 10 s, each either holding up the requests after it or not. After each run the answers
// come on time again and the instrument is compared with what the run reported: a run that ended
// with exit 0 and a value the instrument does not hold is counted as wrong. Goal: none. A run
// that fails with an error is allowed.
//
// late_answers_bench [FIRST_SEED [RUNS [PER_MILLE [MAX_MS]]]]   (defaults 1 40 30 10000)
// Runs are independent: several processes with seed ranges of their own may run at once.
#include "model/factory_profiles.h"
#include "model/profile.h"
#include "model/profile_fields.h"
#include "sim/blocks.h"
#include "sim/simulator.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <variant>

namespace {

constexpr uint32_t kBaud = 9600;
constexpr uint32_t kTurnaroundMs = 5;
constexpr uint32_t kRebootMs = 300;
constexpr int kMonitorRows = 6;
constexpr float kLiveValue = 21.5f;

const char* const kProfiles[] = {"PMV7700.prf", "PMV7701.prf", "PMV7703.prf", "PMV7706.prf", "PMV7706_PID.prf"};
const char* const kJobs[] = {"read", "write --verify", "produce", "monitor"};

struct Outcome {
    int status = -1;
    std::string out;
};

Outcome Pmvctl(const QString& work, const std::string& port, QStringList args)
{
    args = QStringList{"--quiet", "--port", QString::fromStdString(port)} + args;
    QProcess process;
    process.setWorkingDirectory(work);
    // PMVCTL names a copy of the program, so that a long soak is not disturbed by a rebuild.
    process.start(qEnvironmentVariable("PMVCTL", PMVCTL_PATH), args);
    if (!process.waitForFinished(300'000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput().toStdString() + process.readAllStandardError().toStdString()};
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Puts the profile's settings into the instrument's registers, some of them changed at random
// within their range, as a technician may have left them.
bool LoadInstrument(pmv::sim::Simulator& simulator, const std::string& profile, std::mt19937& random)
{
    pmv::model::SettingsModel model;
    if (pmv::model::LoadProfile(profile, model).error)
        return false;
    for (const pmv::model::Setting& s : pmv::model::AllSettings()) {
        const pmv::model::RegisterCell& cell = s.about->cell;
        if (cell.bank == 0)
            continue;
        const auto reg = static_cast<int>(cell.number + (s.channel == 2 ? cell.channelStep : 0));
        const pmv::model::SettingValue value = s.value(model);
        const bool change = std::uniform_int_distribution<int>(0, 1)(random) == 1;
        const double low = std::max(s.about->rule.min, -1000.0), high = std::min(s.about->rule.max, 1000.0);
        if (const float* f = std::get_if<float>(&value)) {
            const double v =
                change ? std::round(std::uniform_real_distribution<double>(low, high)(random) * 100) / 100 : *f;
            simulator.SetFloatRegister(static_cast<int>(cell.bank), reg, static_cast<float>(v));
        } else if (const int32_t* i = std::get_if<int32_t>(&value)) {
            const int32_t v = change ? std::uniform_int_distribution<int32_t>(static_cast<int32_t>(low),
                                                                              static_cast<int32_t>(high))(random)
                                     : *i;
            simulator.SetRegister(static_cast<int>(cell.bank), static_cast<int>(cell.memoryType), reg,
                                  static_cast<uint32_t>(v));
        }
    }
    return true;
}

// Counts the rows that tell a value the instrument did not measure; a row of a failed poll tells none.
int WrongMonitorRows(const std::string& json)
{
    int wrong = 0;
    for (size_t at = json.find("\"code\":0"); at != std::string::npos; at = json.find("\"code\":0", at + 1)) {
        const std::string row = json.substr(at, json.find('\n', at) - at);
        if (row.find("\"CH1\":{\"value\":21.5,") == std::string::npos ||
            row.find("\"CH2\":{\"value\":21.5,") == std::string::npos)
            ++wrong;
    }
    return wrong;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const uint32_t firstSeed = argc > 1 ? static_cast<uint32_t>(std::stoul(argv[1])) : 1;
    const uint32_t runs = argc > 2 ? static_cast<uint32_t>(std::stoul(argv[2])) : 40;
    pmv::sim::LateAnswers late;
    late.perMille = argc > 3 ? static_cast<uint32_t>(std::stoul(argv[3])) : 30;
    late.minMs = 100;
    late.maxMs = argc > 4 ? static_cast<uint32_t>(std::stoul(argv[4])) : 10000;

    int wrong = 0, failed = 0, passed = 0;
    for (uint32_t seed = firstSeed; seed < firstSeed + runs; ++seed) {
        const char* job = kJobs[seed % 4];
        std::mt19937 random(seed);
        QTemporaryDir work;
        work.setAutoRemove(qEnvironmentVariableIsEmpty("LATE_ANSWERS_KEEP"));
        const QString previous = QDir::currentPath();
        QDir::setCurrent(work.path());
        pmv::model::CreateDefaultProfiles();
        QDir::setCurrent(previous);
        // Five tries an exchange, the most dev.dat allows, so that more runs get through a late
        // answer and are compared.
        QFile devDat(work.path() + "/dev.dat");
        if (!devDat.open(QIODevice::WriteOnly) || devDat.write("[SETTINGS]\r\nNOfReadings=5\r\n") < 0)
            return 1;
        devDat.close();
        const std::string profile =
            kProfiles[std::uniform_int_distribution<size_t>(0, std::size(kProfiles) - 1)(random)];
        const QString profileArg = QString::fromStdString(profile);

        pmv::sim::SimOptions options;
        options.baud = kBaud;
        options.turnaroundMs = kTurnaroundMs;
        options.rebootMs = kRebootMs;
        pmv::sim::Simulator simulator(options);
        if (!simulator.Start() || !LoadInstrument(simulator, (work.path() + "/" + profileArg).toStdString(), random)) {
            std::fprintf(stderr, "seed %u: the simulated instrument could not be set up\n", seed);
            return 1;
        }
        pmv::sim::LiveValues live;
        live.value[0] = live.value[1] = kLiveValue;
        simulator.SetLiveBlock(pmv::sim::EncodeLiveBlock(live));
        const std::string port = simulator.DevicePath();
        late.seed = seed;
        simulator.SetLateAnswers(late);

        const auto start = std::chrono::steady_clock::now();
        Outcome run;
        const int serial = static_cast<int>(seed % 60000) + 1;
        if (seed % 4 == 0)
            run = Pmvctl(work.path(), port, {"read", "out.prf"});
        else if (seed % 4 == 1)
            run = Pmvctl(work.path(), port, {"write", "--yes", "--verify", profileArg});
        else if (seed % 4 == 2)
            run = Pmvctl(work.path(), port,
                         {"produce", "--yes", "--profile", profileArg, "--serial", QString("12-%1").arg(serial),
                          "--passport-dir", "pp"});
        else
            run = Pmvctl(work.path(), port, {"monitor", "--json", "--count", QString::number(kMonitorRows)});
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        simulator.SetLateAnswers({});
        // Answers still held back must not reach the checks, which would take them for their own.
        QThread::msleep(late.maxMs + 300);

        bool right = true;
        Outcome check;
        if (run.status == 0) {
            if (seed % 4 == 3) {
                right = WrongMonitorRows(run.out) == 0;
                check = run;
            } else if (seed % 4 == 0) {
                // What a read saves also follows the window's rules (a sensor's range, the relay
                // grid): the same read with answers on time must save the same file.
                check = Pmvctl(work.path(), port, {"read", "clean.prf"});
                right = check.status == 0 && ReadAll(work.path() + "/out.prf") == ReadAll(work.path() + "/clean.prf");
                if (!right)
                    check.out += "the profile read differs from the one read with answers on time\n";
            } else {
                check = Pmvctl(work.path(), port, {"diff", profileArg});
                right = check.status == 0;
            }
            if (right && seed % 4 == 2) {
                check = Pmvctl(work.path(), port, {"serial", "--json"});
                right = check.out.find(QString("\"serial\":%1,").arg(serial).toStdString()) != std::string::npos;
            }
        }
        const char* verdict = run.status != 0 ? "failed" : right ? "right" : "WRONG";
        std::printf("seed %u %-15s %-16s exit %3d %6.1f s %s%s\n", seed, job, profile.c_str(), run.status, seconds,
                    verdict, work.autoRemove() ? "" : qPrintable(" " + work.path()));
        if (!right)
            std::printf("%s", check.out.c_str());
        std::fflush(stdout);
        (run.status != 0 ? failed : right ? passed : wrong) += 1;
    }
    std::printf("runs %u: right %d, failed with an error %d, wrong with exit 0 %d (goal 0)\n", runs, passed, failed,
                wrong);
    return wrong == 0 ? 0 : 1;
}
