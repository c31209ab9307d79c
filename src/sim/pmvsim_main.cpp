// pmvsim: a PMV 77xx instrument on a pseudo-terminal, for tests, demonstrations and training.

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "simulator.h"
#include "tcp_bridge.h"

namespace {

constexpr int kUsageError = 64;

constexpr const char* kUsage =
    "Использование: pmvsim [--address N | --addresses N,N,... | --any-address] [--baud N [--only-at-baud]]\n"
    "                      [--turnaround MS]\n"
    "                      [--reboot-ms MS] [--late-answers P:MIN:MAX [--seed N]] [--link PATH] [--lenient]\n"
    "                      [--foreign-checksum] [--listen [УЗЕЛ:]ПОРТ] [--quiet]\n"
    "                      [--source КАНАЛ:ВИД:ЗНАЧЕНИЕ]... [--true КАНАЛ:ИМЯ:ЗНАЧЕНИЕ]...\n"
    "       pmvsim --help | -h | --version\n";

constexpr const char* kHelp =
    "Обслуживает прибор PMV 77xx (или несколько на одной линии) на псевдотерминале до SIGINT или SIGTERM.\n"
    "  --address N      адрес прибора (по умолчанию 1); запросы к другим адресам остаются без ответа\n"
    "  --addresses N,N,...\n"
    "                   несколько приборов на одной линии, по одному на каждом адресе, каждый со своей\n"
    "                   памятью, заводским номером (1234, 1235, ...) и типом; линия занята, пока один\n"
    "                   отвечает; адрес, названный дважды, - два прибора, чьи ответы сталкиваются\n"
    "  --any-address    отвечать на любой адрес\n"
    "  --baud N         время линии на скорости N бод (по умолчанию 0: без задержек)\n"
    "  --only-at-baud   отвечать, только пока линия настроена на скорость --baud\n"
    "  --turnaround MS  задержка между запросом и ответом (по умолчанию 0)\n"
    "  --reboot-ms MS   после команды перезапуска не отвечать MS мс (по умолчанию 0)\n"
    "  --late-answers P:MIN:MAX\n"
    "                   задерживать P промилле ответов на случайное время от MIN до MAX мс; прибор то\n"
    "                   ждёт с остальными запросами, то отвечает на них раньше, как сервер линии в сети\n"
    "  --seed N         начальное число случайных задержек (по умолчанию 1): прогон повторяется\n"
    "  --link PATH      символическая ссылка на псевдотерминал по этому пути\n"
    "  --lenient        принимать запросы без контрольной суммы, набранные вручную\n"
    "  --foreign-checksum\n"
    "                   считать контрольную сумму ответов с данными вместе с \"!\", как прибор, который\n"
    "                   считает её иначе (такие ответы принимает строка VerifyAnswerCrc=0 в [DEVICE] dev.dat)\n"
    "  --listen [УЗЕЛ:]ПОРТ\n"
    "                   отдавать линию и по TCP, как сервер линии в режиме \"TCP server\": один клиент за\n"
    "                   раз; УЗЕЛ по умолчанию 127.0.0.1, ПОРТ 0 - любой свободный (он печатается)\n"
    "  --quiet          не печатать запросы\n"
    "  --source КАНАЛ:ВИД:ЗНАЧЕНИЕ\n"
    "                   образцовый сигнал на входе канала 1 или 2; ВИД: V (вход 0-10 В), mV, mA20, mA5\n"
    "                   или ohm; например 1:V:10, 2:ohm:40\n"
    "  --true КАНАЛ:ИМЯ:ЗНАЧЕНИЕ\n"
    "                   истинный коэффициент ИМЯ (uref, rref, ku, ku10, ki05, ki020) канала, который\n"
    "                   должна найти градуировка; например 1:ku10:9.51\n"
    "  --version        версия программы\n"
    "Код завершения: 0 после SIGINT или SIGTERM, 1, если псевдотерминал не создан или порт TCP не\n"
    "открыт, 64 при неверных аргументах.\n";

std::optional<uint32_t> ParseNumber(const char* text, unsigned long max)
{
    if (text == nullptr || *text < '0' || *text > '9')
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const unsigned long v = std::strtoul(text, &end, 10);
    if (errno != 0 || *end != '\0' || v > max)
        return std::nullopt;
    return static_cast<uint32_t>(v);
}

// "1,5,9": the addresses of the instruments on the line, 0..255 each, repeats allowed.
std::optional<std::vector<uint32_t>> ParseAddressList(const char* text)
{
    if (text == nullptr)
        return std::nullopt;
    std::vector<uint32_t> addresses;
    const std::string all = text;
    for (size_t at = 0; at <= all.size();) {
        const size_t comma = std::min(all.find(',', at), all.size());
        const auto address = ParseNumber(all.substr(at, comma - at).c_str(), 255);
        if (!address)
            return std::nullopt;
        addresses.push_back(*address);
        at = comma + 1;
    }
    return addresses;
}

// "P:MIN:MAX": per mille of the answers, and the range of their delay in ms.
std::optional<pmv::sim::LateAnswers> ParseLateAnswers(const char* text)
{
    if (text == nullptr)
        return std::nullopt;
    const std::string all = text;
    const size_t first = all.find(':');
    const size_t second = first == std::string::npos ? first : all.find(':', first + 1);
    if (second == std::string::npos)
        return std::nullopt;
    const auto perMille = ParseNumber(all.substr(0, first).c_str(), 1000);
    const auto minMs = ParseNumber(all.substr(first + 1, second - first - 1).c_str(), 600'000);
    const auto maxMs = ParseNumber(all.substr(second + 1).c_str(), 600'000);
    if (!perMille || !minMs || !maxMs || *maxMs < *minMs)
        return std::nullopt;
    pmv::sim::LateAnswers late;
    late.perMille = *perMille;
    late.minMs = *minMs;
    late.maxMs = *maxMs;
    return late;
}

int UsageError(const std::string& problem)
{
    std::fprintf(stderr, "pmvsim: %s\n%s", problem.c_str(), kUsage);
    return kUsageError;
}

// Control characters and bytes above 0x7E as escapes, so that each request stays on one line.
std::string Printable(const std::string& bytes)
{
    std::string out;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\r') {
            out += "\\r";
        } else if (u < 0x20 || u > 0x7E || c == '\\') {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    pmv::sim::SimOptions options;
    bool quiet = false;
    bool foreignChecksum = false;
    std::string listenHost;
    uint16_t listenPort = 0;
    bool listen = false;
    std::array<pmv::sim::Source, 2> sources{};
    std::array<pmv::sim::TrueCoefficients, 2> coefficients{};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
        std::optional<uint32_t> number;
        if (arg == "--help" || arg == "-h") {
            std::printf("%s%s", kUsage, kHelp);
            return 0;
        } else if (arg == "--version") {
            std::printf("pmvsim %s\n", PMV_VERSION);
            return 0;
        } else if (arg == "--any-address") {
            options.anyAddress = true;
        } else if (arg == "--only-at-baud") {
            options.onlyAtBaud = true;
        } else if (arg == "--lenient") {
            options.lenient = true;
        } else if (arg == "--foreign-checksum") {
            foreignChecksum = true;
        } else if (arg == "--quiet") {
            quiet = true;
        } else if (arg == "--listen" && next != nullptr) {
            if (!pmv::sim::ParseListenAddress(next, listenHost, listenPort))
                return UsageError(std::string("неверный адрес для --listen: ") + next);
            listen = true;
            ++i;
        } else if (arg == "--link" && next != nullptr && *next != '\0') {
            options.linkPath = next;
            ++i;
        } else if (arg == "--address" && (number = ParseNumber(next, UINT32_MAX))) {
            options.address = *number;
            ++i;
        } else if (arg == "--addresses" && next != nullptr) {
            const auto addresses = ParseAddressList(next);
            if (!addresses)
                return UsageError(std::string("неверный список адресов: ") + next);
            options.addresses = *addresses;
            ++i;
        } else if (arg == "--baud" && (number = ParseNumber(next, 4'000'000))) {
            options.baud = *number;
            ++i;
        } else if (arg == "--turnaround" && (number = ParseNumber(next, 60'000))) {
            options.turnaroundMs = *number;
            ++i;
        } else if (arg == "--reboot-ms" && (number = ParseNumber(next, 600'000))) {
            options.rebootMs = *number;
            ++i;
        } else if (arg == "--late-answers" && next != nullptr) {
            auto late = ParseLateAnswers(next);
            if (!late)
                return UsageError(std::string("неверные задержки ответов: ") + next);
            late->seed = options.lateAnswers.seed;
            options.lateAnswers = *late;
            ++i;
        } else if (arg == "--seed" && (number = ParseNumber(next, UINT32_MAX))) {
            options.lateAnswers.seed = *number;
            ++i;
        } else if (arg == "--source" && next != nullptr) {
            const auto source = pmv::sim::ParseSourceOption(next);
            if (!source)
                return UsageError(std::string("неверный источник: ") + next);
            sources[static_cast<size_t>(source->first)] = source->second;
            ++i;
        } else if (arg == "--true" && next != nullptr) {
            if (!pmv::sim::ApplyTrueOption(next, coefficients))
                return UsageError(std::string("неверный коэффициент: ") + next);
            ++i;
        } else {
            return UsageError("неизвестный параметр или нет значения: " + arg);
        }
    }
    if (!quiet) {
        options.onRequest = [](const pmv::sim::Request& r) {
            std::printf("%s -> %s\n", Printable(r.text).c_str(),
                        r.answered ? Printable(r.answer).c_str() : "(нет ответа)");
            std::fflush(stdout);
        };
    }

    // Blocked before the serving thread starts, so that only sigwait() below takes them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    if (options.onlyAtBaud && options.baud == 0)
        return UsageError("--only-at-baud без --baud");
    if (options.anyAddress && !options.addresses.empty())
        return UsageError("--any-address вместе с --addresses");
    const bool anyAddress = options.anyAddress;
    const bool bus = !options.addresses.empty();
    const uint32_t address = options.address;
    const uint32_t baud = options.baud;
    pmv::sim::Simulator simulator(std::move(options));
    for (int ch = 0; ch < 2; ++ch) {
        simulator.ConnectSource(ch, sources[static_cast<size_t>(ch)]);
        simulator.SetTrueCoefficients(ch, coefficients[static_cast<size_t>(ch)]);
    }
    if (foreignChecksum) {
        pmv::sim::Fault foreign{pmv::sim::Fault::Kind::ForeignChecksum};
        foreign.count = -1;
        simulator.InjectFault(foreign);
    }
    std::string error;
    if (!simulator.Start(&error)) {
        std::fprintf(stderr, "pmvsim: псевдотерминал не создан: %s\n", error.c_str());
        return 1;
    }
    if (bus) {
        std::string list;
        for (const uint32_t a : simulator.Addresses())
            list += (list.empty() ? "" : ", ") + std::to_string(a);
        std::printf("pmvsim: приборы с адресами %s, %s\n", list.c_str(), simulator.PtyPath().c_str());
    } else if (anyAddress)
        std::printf("pmvsim: прибор на любом адресе, %s\n", simulator.PtyPath().c_str());
    else
        std::printf("pmvsim: прибор с адресом %u, %s\n", address, simulator.PtyPath().c_str());
    if (simulator.DevicePath() != simulator.PtyPath())
        std::printf("pmvsim: ссылка %s\n", simulator.DevicePath().c_str());
    pmv::sim::TcpBridge bridge;
    if (listen) {
        if (!bridge.Start(simulator.PtyPath(), baud, listenHost, listenPort, &error)) {
            std::fprintf(stderr, "pmvsim: порт TCP не открыт: %s\n", error.c_str());
            return 1;
        }
        std::printf("pmvsim: линия на tcp://%s:%u\n", listenHost.c_str(), bridge.Port());
    }
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    bridge.Stop();
    simulator.Stop();
    return 0;
}
