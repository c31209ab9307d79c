#pragma once

#include <optional>
#include <string>

class QWidget;

namespace pmv {
class Messages;
}  // namespace pmv

namespace pmv::gui {

// The port selector's entry for a line on the network.
inline constexpr const char* kNetworkPortEntry = "Сетевой порт…";

// Asks for the address of a line behind a serial device server, `current` filled in, until it is
// a well-formed tcp:// or rfc2217:// name (what is wrong is told in a box) or the question is
// cancelled (nullopt).
std::optional<std::string> AskNetworkPort(QWidget* parent, Messages& messages, const std::string& current);

}  // namespace pmv::gui
