#pragma once

#include <cstdint>
#include <iosfwd>

namespace pmv {

class Messages;

// Result of every exchange, register operation, device operation and check: kOk is success,
// 1..23 the failures below (the numbers without a name come only from the table of messages).
enum class ErrorCode : uint32_t {
    kOk = 0,
    kTooManyChars = 1,
    kNoAnswer = 2,
    kCannotParse = 3,
    kOperandTooLarge = 4,
    kAddressTooLarge = 5,
    kChecksumMismatch = 6,
    kDeviceError = 7,
    kModuleAddressTooLarge = 12,
    kFileNotOpened = 14,
    kReadBackMismatch = 15,
    kStoppedToRevise = 16,
    kStoppedToCorrect = 17,
    kAnswerFormat = 19,
    kStoppedByUser = 20,
    kParameterNotFound = 22,
    kBadNumber = 23,
};
using enum ErrorCode;

// The number the user reads as "ERR n" and pmvctl exits with.
constexpr uint32_t CodeNumber(ErrorCode code) { return static_cast<uint32_t>(code); }

// "ERR 15", "OK": for logs and test failures.
std::ostream& operator<<(std::ostream& out, ErrorCode code);

enum class MessageIcon {

    Error,

    Warning,

    Information,

};

struct ErrorMessage {
    const char* text;
    const char* caption;
    MessageIcon icon;
};

// The message box of a code 1..23; nullptr for 0 and for codes above 23.
const ErrorMessage* FindErrorMessage(ErrorCode code);

// Shows the box of a code after discarding earlier Esc and Enter presses, so that an Esc that
// stopped an operation does not stop the next one and a held Enter does not close the box at
// once. Codes 0 and above 23 show nothing. Returns kOk.
ErrorCode ShowErrorMessage(Messages& messages, ErrorCode code);

}  // namespace pmv
