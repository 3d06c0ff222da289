// On Windows a COM port is opened exclusively by the system itself: a port in use refuses the open with
// ERROR_ACCESS_DENIED, and no other holder can be named, so the search finds none.
#include "platform/serial/port_holder.h"

std::optional<PortHolder> FindPortHolder(const std::string&, const std::string&) { return std::nullopt; }

std::string DescribePortHolder(const PortHolder& holder) {
    if (holder.strProgram.empty()) return "held by another program";
    std::string text = "held by " + holder.strProgram;
    if (holder.nPid > 0) text += " (pid " + std::to_string(holder.nPid) + ")";
    return text;
}

PortHolderSearch::PortHolderSearch() = default;
PortHolderSearch::~PortHolderSearch() = default;

std::optional<int> PortHolderSearch::HolderOf(dev_t, const std::string&) { return std::nullopt; }
