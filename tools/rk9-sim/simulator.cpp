#include "simulator.h"

#include <utility>

namespace rk9sim {

Simulator::Simulator(ToolProfile profile, FaultPlan faults)
    : m_responder(std::move(profile), std::move(faults)) {}

Simulator::~Simulator() { Stop(); }

bool Simulator::OpenPty(std::string* error) { return m_line.Create(error); }

bool Simulator::OpenDevice(const std::string& path, std::string* error) { return m_line.Attach(path, error); }

bool Simulator::Start() {
    try {
        m_thread = std::thread([this] { Run(); });
    } catch (...) {
        return false;
    }
    return true;
}

void Simulator::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_bStop = true;
    }
    m_cv.notify_all();
    m_line.Wake();
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) m_thread.join();
}

void Simulator::HangUpNow() {
    {
        std::lock_guard lock(m_mutex);
        m_bHangUpRequested = true;
    }
    m_line.Wake();
}

void Simulator::Run() {
    BYTE buffer[256];
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            if (m_bStop) return;
            if (m_bHangUpRequested && !m_bHungUp) {
                lock.unlock();
                HangUp();
                continue;
            }
            if (m_bHungUp) {
                m_cv.wait(lock, [this] { return m_bStop; });
                return;
            }
        }
        const int k = m_line.Read(buffer, sizeof buffer, -1);
        if (k == PseudoTerminal::kStopped) continue;
        if (k == PseudoTerminal::kGone) {
            HangUp();
            continue;
        }
        for (int i = 0; i < k; ++i) {
            if (auto request = m_parser.Feed(buffer[i])) Serve(*request);
        }
    }
}

void Simulator::SetNextTool(ToolProfile next, std::uint32_t after, std::chrono::milliseconds silence) {
    m_nextTool = std::move(next);
    m_nNextToolAfter = after;
    m_nextToolSilence = silence;
}

bool Simulator::BetweenTools() {
    if (!m_nextTool) return false;
    const auto now = std::chrono::steady_clock::now();
    if (!m_silentUntil) {
        if (++m_nReceived <= m_nNextToolAfter) return false;
        m_silentUntil = now + m_nextToolSilence;
    }
    if (now < *m_silentUntil) return true;
    m_responder.SetProfile(std::move(*m_nextTool));
    m_nextTool.reset();
    return false;
}

void Simulator::Serve(const Request& request) {
    {
        std::lock_guard lock(m_mutex);
        if (m_bHungUp) return;
        m_requests.push_back({request.nCode, request.bChecksumOk, std::chrono::steady_clock::now()});
    }
    m_cv.notify_all();
    if (BetweenTools()) return;
    const ReplyPlan plan = m_responder.Answer(request);
    if (plan.bHangUp) {
        HangUp();
    } else if (!plan.bSilent) {
        Send(plan);
    }
}

void Simulator::Send(const ReplyPlan& plan) {
    if (plan.nDelayMs > 0 && !Pause(std::chrono::milliseconds(plan.nDelayMs))) return;
    if (plan.nByteDelayUs == 0) {
        (void)m_line.Write(plan.bytes.data(), plan.bytes.size());
        return;
    }
    for (std::size_t i = 0; i < plan.bytes.size(); ++i) {
        if (i > 0 && !Pause(std::chrono::microseconds(plan.nByteDelayUs))) return;
        if (!m_line.Write(&plan.bytes[i], 1)) return;
    }
}

bool Simulator::Pause(std::chrono::microseconds duration) {
    std::unique_lock lock(m_mutex);
    return !m_cv.wait_for(lock, duration, [this] { return m_bStop; });
}

void Simulator::HangUp() {
    m_line.HangUp();
    {
        std::lock_guard lock(m_mutex);
        m_bHungUp = true;
    }
    m_cv.notify_all();
}

std::vector<RequestRecord> Simulator::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::map<BYTE, std::uint32_t> Simulator::Counts() const {
    std::map<BYTE, std::uint32_t> counts;
    std::lock_guard lock(m_mutex);
    for (const RequestRecord& record : m_requests) ++counts[record.nCode];
    return counts;
}

bool Simulator::WaitForRequests(std::size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_cv.wait_for(lock, timeout, [&] { return m_requests.size() >= n; });
}

bool Simulator::WaitForHangUp(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_cv.wait_for(lock, timeout, [this] { return m_bHungUp; });
}

bool Simulator::HasHungUp() const {
    std::lock_guard lock(m_mutex);
    return m_bHungUp;
}

}  // namespace rk9sim
