#include "owed_answers.h"

#include <algorithm>
#include <sstream>

namespace pmv::link {
namespace {

// No answer holds more bytes than its whole line.
constexpr size_t kMaxHandedDigits = 256;

}  // namespace

std::string_view AnswerText(std::string_view received)
{
    const size_t start = received.find_first_of("!$");
    if (start == std::string_view::npos)
        return {};
    const size_t end = received.find('\r', start);
    return received.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

size_t DataDigits(std::string_view line)
{
    const size_t bang = line.find('!');
    if (bang == std::string_view::npos)
        return 0;
    const size_t start = line.find(';', bang + 1);
    if (start == std::string_view::npos)
        return 0;
    const size_t end = line.find(';', start + 1);
    return end == std::string_view::npos ? 0 : end - start - 1;
}

std::optional<uint32_t> AnswerAddress(std::string_view line)
{
    const size_t bang = line.find('!');
    if (bang == std::string_view::npos)
        return std::nullopt;
    const size_t end = line.find(';', bang + 1);
    if (end == std::string_view::npos || end == bang + 1 || end - bang > 4)
        return std::nullopt;
    uint32_t address = 0;
    for (const char c : line.substr(bang + 1, end - bang - 1)) {
        if (c < '0' || c > '9')
            return std::nullopt;
        address = address * 10 + static_cast<uint32_t>(c - '0');
    }
    return address;
}

bool OwedAnswers::OwedByAnother(std::optional<uint32_t> address) const
{
    return address && *address != address_ &&
           std::any_of(owed_.begin(), owed_.end(), [&](const Owed& o) { return o.address == address; });
}

void OwedAnswers::Expire(int64_t nowMs)
{
    std::erase_if(owed_, [nowMs](const Owed& o) { return nowMs - o.sentMs > kLateAnswerHorizonMs; });
}

void OwedAnswers::Add(int64_t sentMs, const std::string& fields, size_t digits, uint64_t exchange,
                      const std::string& line)
{
    owed_.push_back({sentMs, digits, fields, line, exchange, false, address_});
}

void OwedAnswers::WriteSent()
{
    for (Owed& o : owed_)
        o.beforeWrite = true;
}

void OwedAnswers::Settle(uint64_t exchange, const std::string& line)
{
    for (Owed& o : owed_)
        if (o.exchange == exchange)
            o.line = line;
}

void OwedAnswers::Arrived(std::string_view line)
{
    const std::optional<uint32_t> named = AnswerAddress(line);
    const auto from = [&](const Owed& o) { return !named || !o.address || o.address == named; };
    auto it = std::find_if(owed_.begin(), owed_.end(), [&](const Owed& o) { return o.line == line; });
    if (it == owed_.end()) {
        const size_t digits = DataDigits(line);
        it = std::find_if(owed_.begin(), owed_.end(),
                          [&](const Owed& o) { return o.line.empty() && o.digits == digits && from(o); });
    }
    if (it != owed_.end())
        owed_.erase(it);
}

uint32_t OwedAnswers::Foreign(uint64_t exchange, const std::string& fields, std::string_view line) const
{
    const size_t digits = DataDigits(line);
    return static_cast<uint32_t>(std::count_if(owed_.begin(), owed_.end(), [&](const Owed& o) {
        const bool sameValue = o.exchange == exchange || (o.fields == fields && !o.beforeWrite);
        return Ours(o) && !sameValue && (o.line.empty() ? o.digits == digits : o.line == line);
    }));
}

std::string OwedAnswers::Handover(int64_t nowMs, int64_t epochMs) const
{
    std::string text;
    for (const Owed& o : owed_) {
        const int64_t end = o.sentMs + kLateAnswerHorizonMs;
        if (end > nowMs)
            text += std::to_string(end - nowMs + epochMs) + " " + std::to_string(o.digits) + " " +
                    (o.beforeWrite ? "1 " : "0 ") +
                    (o.address ? "@" + std::to_string(*o.address) + ":" : std::string()) +
                    (o.fields.empty() ? "-" : o.fields) + " " + (o.line.empty() ? "-" : o.line) + "\n";
    }
    return text;
}

void OwedAnswers::TakeHandover(std::string_view text, int64_t nowMs, int64_t epochMs)
{
    std::istringstream lines{std::string(text)};
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        int64_t end = 0;
        size_t digits = 0;
        int beforeWrite = 0;
        std::string request, answer;
        if (!(fields >> end >> digits >> beforeWrite >> request >> answer))
            continue;
        // "@5:37;00E002;": the request of the instrument at address 5.
        std::optional<uint32_t> address;
        if (const size_t colon = request.find(':'); request.starts_with('@') && colon != std::string::npos) {
            address = AnswerAddress("!" + request.substr(1, colon - 1) + ";");
            request.erase(0, colon + 1);
        }
        const int64_t left = end - epochMs;
        if (left > 0 && left <= kLateAnswerHorizonMs && digits <= 2 * kMaxHandedDigits)
            owed_.push_back({nowMs + left - kLateAnswerHorizonMs, digits, request == "-" ? "" : request,
                             answer == "-" ? "" : answer, 0, beforeWrite != 0, address});
    }
}

uint32_t OwedAnswers::ForeignUnknown(uint64_t exchange, size_t digits) const
{
    return static_cast<uint32_t>(std::count_if(owed_.begin(), owed_.end(), [&](const Owed& o) {
        return Ours(o) && o.exchange != exchange && o.line.empty() && o.digits == digits;
    }));
}

}  // namespace pmv::link
