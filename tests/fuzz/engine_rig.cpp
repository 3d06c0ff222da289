#include "engine_rig.h"

#include "protocol/hs_listener.h"

namespace {
// A receiver that has not called Read for this long is held up (see ToolStreamLink::WaitReaderIdle).
constexpr auto kStall = std::chrono::microseconds(50);
}  // namespace

// The engine with a view of the two things a clean state needs beyond the link: where its receiver
// gathers a frame, and whether a frame waits in the received slot.
class EngineRig::Probed : public CHSProtocolApp {
public:
    explicit Probed(CInterface* link) : CHSProtocolApp(link, 0, DeferStart{}) { StartWorkers(); }
    ~Probed() override { Shutdown(); }

    // The receiver hunts for a sync byte by reading one byte into the start of this block; no other read of
    // one byte goes there (the type and length are read as two, the rest lands further in).
    const BYTE* FrameBlock() const { return m_pListener != nullptr ? m_pListener->m_pBuf.get() : nullptr; }
    // Empties the received slot of a frame that came after the last exchange took its reply, as the next
    // exchange would (it began before that exchange's request). Only while no exchange is in flight: the
    // engine thread then does not consume the slot, so this thread may. True when there was one.
    bool DropStaleFrame() {
        if (!m_bufReceived.WaitFilled(0)) return false;
        m_bufReceived.MarkEmpty();
        return true;
    }
};

EngineRig::EngineRig(std::uint32_t maxChunk, std::chrono::milliseconds bound)
    : m_link(maxChunk), m_pEngine(std::make_unique<Probed>(&m_link)) {
    m_bReady = m_pEngine->m_bStarted.load() && ReceiverHunting(bound);
}

EngineRig::~EngineRig() { m_pEngine.reset(); }

CHSProtocolApp& EngineRig::Engine() { return *m_pEngine; }

bool EngineRig::ReceiverHunting(std::chrono::milliseconds bound) {
    const auto giveUp = std::chrono::steady_clock::now() + bound;
    const BYTE* place = nullptr;
    std::uint32_t wanted = 0;
    while (!m_link.WaitReaderIdle(kStall, &place, &wanted)) {
        if (std::chrono::steady_clock::now() >= giveUp) return false;
    }
    return place == m_pEngine->FrameBlock() && wanted == 1;
}

bool EngineRig::SettleClean(std::chrono::milliseconds bound) {
    const auto giveUp = std::chrono::steady_clock::now() + bound;
    bool aborted = false;
    while (std::chrono::steady_clock::now() < giveUp) {
        const BYTE* place = nullptr;
        std::uint32_t wanted = 0;
        if (!m_link.WaitReaderIdle(kStall, &place, &wanted)) {
            // Held up handing on a frame while the slot is full, or waiting for the processor.
            m_pEngine->DropStaleFrame();
            continue;
        }
        // Idle in Read, so every frame it finished is in the slot by now.
        if (m_pEngine->DropStaleFrame()) continue;
        if (place == m_pEngine->FrameBlock() && wanted == 1) return true;
        // Waiting in the middle of a frame. An exchange the tool does not answer makes the engine abort it
        // (the engine's own missed replies do the same; this only makes sure of it), and the receiver drops
        // it when its read ends. Nothing is released, so nothing can answer that exchange.
        if (aborted) return false;
        aborted = true;
        m_link.SetNextAnswer({});
        if (m_pEngine->SendCommand(CMD_KEEP_ALIVE) != STATUS_NO_REPLY || !m_link.ExpireRead()) return false;
    }
    return false;
}
