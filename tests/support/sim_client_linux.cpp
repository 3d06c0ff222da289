#include "support/sim_client.h"

#include "support/pty_helpers.h"

namespace testsupport {

SimClient::SimClient(rk9sim::ToolProfile profile, rk9sim::FaultPlan faults)
    : m_sim(std::make_unique<rk9sim::Simulator>(std::move(profile), std::move(faults))) {
    std::string error;
    m_bReady = m_sim->OpenPty(&error) && m_client.Attach(m_sim->DevicePath(), &error) && m_sim->Start();
}

SimClient::~SimClient() { m_sim->Stop(); }

bool SimClient::Send(BYTE code) {
    const BYTE frame[] = {0x55, code, 0x00, code};
    return m_client.Write(frame, sizeof frame);
}

std::vector<BYTE> SimClient::Receive(std::size_t n, std::chrono::milliseconds deadline) {
    return ReadBytes(m_client, n, deadline);
}

std::vector<BYTE> SimClient::Exchange(BYTE code, std::chrono::milliseconds deadline) {
    if (!Send(code)) return {};
    std::vector<BYTE> head = Receive(3, deadline);
    if (head.size() < 3) return {};
    std::vector<BYTE> rest = Receive(head[2] + 1u, deadline);
    head.insert(head.end(), rest.begin(), rest.end());
    return head;
}

}  // namespace testsupport
