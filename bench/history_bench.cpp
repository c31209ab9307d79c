// What a history on a PostgreSQL server costs a production, against the file of the work folder,
// on a private server of this computer (fsync on, password login through ~/.pgpass):
//   reservation: a number taken in a new history object, as pmvctl produce takes it (connection,
//                the check of the tables, the locked transaction), and on an open one (the window);
//   production:  pmvctl produce from its start to its exit against pmvsim paced to 57600 baud;
//   stations:    1 and 4 stations producing one after another at once into one history: the
//                productions per minute of each station.
// Goals: a reservation on the local server adds at most 20 ms to a production; 4 stations lose
// no throughput against one.
//
//   history_bench [ROUNDS] [reservation]   (20 rounds by default; `reservation`: that table alone)
#include "postgres_server.h"

#include "history/history.h"
#include "model/factory_profiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double Highest(const std::vector<double>& v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }

// Reservations of type `type`, each in a new history object (`fresh`) or all in one.
std::vector<double> Reservations(const std::string& where, const std::string& folder, int32_t type, int count,
                                 bool fresh)
{
    std::vector<double> times;
    std::unique_ptr<pmv::history::History> kept = pmv::history::MakeHistory(where, folder);
    kept->PeekNextSerial(type);
    for (int i = 0; i < count; ++i) {
        const auto start = Clock::now();
        std::unique_ptr<pmv::history::History> made = fresh ? pmv::history::MakeHistory(where, folder) : nullptr;
        pmv::history::History& history = fresh ? *made : *kept;
        const pmv::history::SerialReservation r = history.ReserveSerial(type, std::nullopt, false, {}, {});
        times.push_back(Ms(Clock::now() - start));
        if (r.outcome != pmv::history::SerialReservation::Outcome::Reserved) {
            const pmv::history::HistoryError& e = r.message;
            const std::string why = e.file ? e.file->path + ": " + std::strerror(e.file->error) : e.text;
            std::fprintf(stderr, "reservation refused: %s\n", why.c_str());
            std::exit(1);
        }
    }
    return times;
}

class Station {
public:
    Station(const QString& folder, const std::string& name)
    {
        link_ = folder + "/" + QString::fromStdString(name);
        sim_.start(QStringLiteral(PMVSIM_PATH), {"--link", link_, "--quiet", "--baud", "57600"});
        for (int i = 0; i < 200 && !std::filesystem::exists(link_.toStdString()); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~Station()
    {
        sim_.kill();
        sim_.waitForFinished();
    }

    // One production; its time in ms, or a negative number when it failed.
    double Produce(const QString& folder, const QString& history)
    {
        QProcess run;
        run.setWorkingDirectory(folder);
        QStringList args{"--port", link_};
        if (!history.isEmpty())
            args << "--history" << history;
        args << "produce"
             << "--profile"
             << "PMV7706.prf"
             << "--yes"
             << "--serial"
             << "12";
        const auto start = Clock::now();
        run.start(QStringLiteral(PMVCTL_PATH), args);
        run.waitForFinished(120'000);
        const double ms = Ms(Clock::now() - start);
        if (run.exitCode() != 0) {
            std::fprintf(stderr, "produce failed: %s\n", run.readAllStandardError().constData());
            return -1;
        }
        return ms;
    }

private:
    QString link_;
    QProcess sim_;
};

// `stations` stations each producing `rounds` times one after another, all at once; the time
// of each production.
std::vector<double> Stations(const QString& folder, const QString& history, int stations, int rounds)
{
    std::vector<std::unique_ptr<Station>> benches;
    for (int i = 0; i < stations; ++i)
        benches.push_back(std::make_unique<Station>(folder, "line-" + std::to_string(i)));
    std::vector<std::vector<double>> times(static_cast<size_t>(stations));
    std::vector<std::thread> threads;
    for (int i = 0; i < stations; ++i)
        threads.emplace_back([&, i] {
            for (int r = 0; r < rounds; ++r)
                times[static_cast<size_t>(i)].push_back(benches[static_cast<size_t>(i)]->Produce(folder, history));
        });
    for (std::thread& t : threads)
        t.join();
    std::vector<double> all;
    for (const auto& t : times)
        all.insert(all.end(), t.begin(), t.end());
    if (std::any_of(all.begin(), all.end(), [](double ms) { return ms < 0; }))
        std::exit(1);
    return all;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(3, std::atoi(argv[1])) : 20;
    // Static: a run that ends with std::exit stops its server too.
    static pmv::test::PostgresServer server(true);
    if (!server.failure().empty()) {
        std::fprintf(stderr, "%s\n", server.failure().c_str());
        return 1;
    }
    QTemporaryDir work;
    const QString folder = work.path();
    QDir::setCurrent(folder);
    if (pmv::model::CreateDefaultProfiles()) {
        std::fprintf(stderr, "no profiles\n");
        return 1;
    }
    const std::string database = server.CreateDatabase();
    const std::string url = server.Url(database);

    std::printf("reservation (ms, median / highest of %d)      file       server\n", rounds * 2);
    const auto fileFresh = Reservations({}, folder.toStdString(), 1, rounds * 2, true);
    const auto serverFresh = Reservations(url, {}, 1, rounds * 2, true);
    std::printf("  new history object (pmvctl produce)    %6.2f/%-6.2f %6.2f/%-6.2f\n", Median(fileFresh),
                Highest(fileFresh), Median(serverFresh), Highest(serverFresh));
    const auto fileOpen = Reservations({}, folder.toStdString(), 2, rounds * 2, false);
    const auto serverOpen = Reservations(url, {}, 2, rounds * 2, false);
    std::printf("  history open (the window)              %6.2f/%-6.2f %6.2f/%-6.2f\n", Median(fileOpen),
                Highest(fileOpen), Median(serverOpen), Highest(serverOpen));

    if (argc > 2 && std::string(argv[2]) == "reservation")
        return 0;
    const auto fileRuns = Stations(folder, {}, 1, rounds);
    const auto serverRuns = Stations(folder, QString::fromStdString(url), 1, rounds);
    std::printf("pmvctl produce at 57600 baud (ms, median of %d): file %.1f, server %.1f: the server adds %.1f ms "
                "(goal <= 20)\n",
                rounds, Median(fileRuns), Median(serverRuns), Median(serverRuns) - Median(fileRuns));

    const auto one = Stations(folder, QString::fromStdString(url), 1, rounds);
    const auto four = Stations(folder, QString::fromStdString(url), 4, rounds);
    const double oneRate = 60'000.0 / Median(one), fourRate = 60'000.0 / Median(four);
    std::printf("stations on one server (%d productions each): 1 station %.1f per minute; 4 stations %.1f per minute "
                "each, %.1f together: %.0f %% of one station's rate each\n",
                rounds, oneRate, fourRate, 4 * fourRate, 100.0 * fourRate / oneRate);
    return 0;
}
