#pragma once
// SimClient: an in-process rk9sim::Simulator on its own thread plus a raw client on the pseudo-terminal's
// slave side, for byte-exact tests of the simulator. Test thread only; the destructor stops the simulator.
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/serial/pseudo_terminal.h"
#include "simulator.h"

namespace testsupport {

class SimClient {
public:
    explicit SimClient(rk9sim::ToolProfile profile = {}, rk9sim::FaultPlan faults = {});
    ~SimClient();
    bool Ready() const { return m_bReady; }
    rk9sim::Simulator& Sim() { return *m_sim; }
    PseudoTerminal& Line() { return m_client; }

    // Sends the request frame 0x55, code, 0, code.
    bool Send(BYTE code);
    // Reads up to n bytes within the deadline.
    std::vector<BYTE> Receive(std::size_t n, std::chrono::milliseconds deadline = std::chrono::seconds(3));
    // Sends a request and reads one whole reply frame (by its length byte); empty when none came.
    std::vector<BYTE> Exchange(BYTE code, std::chrono::milliseconds deadline = std::chrono::seconds(3));

private:
    std::unique_ptr<rk9sim::Simulator> m_sim;
    PseudoTerminal m_client;
    bool m_bReady = false;
};

}  // namespace testsupport
