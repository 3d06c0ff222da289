#pragma once
// EngineRig: the engine fuzz target's engine (a CHSProtocolApp with a reply time-out of 0) on its own
// ToolStreamLink, kept from one input to the next. Starting and stopping the engine's three threads costs
// far more than an input's exchanges, so an input that leaves the rig as a freshly built one left it is
// followed on the same rig; any other input ends with the rig torn down, inside that input.
//
// "As a freshly built one": no exchange in flight (the caller's part), the receiver waiting in Read for a
// sync byte with every released byte taken, and the received slot empty. The reply and request slots are
// empty and the request lock free whenever no exchange is in flight. What differs from a fresh engine is
// only relative: the receiver's byte count, against which both the tags of frames and the engine's mark
// before a write are taken, and an abort flag the receiver clears at the next sync byte before any read it
// governs. So an input gives on a kept rig what it gives on a fresh one, and a crash input replays alone.
// Used by the fuzz target's thread only.
#include <chrono>
#include <cstdint>
#include <memory>

#include "protocol/hs_protocol_app.h"
#include "tool_stream_link.h"

class EngineRig {
public:
    // Builds the link and the engine; Ready() tells whether the engine started and its receiver began
    // reading within `bound`.
    EngineRig(std::uint32_t maxChunk, std::chrono::milliseconds bound);
    ~EngineRig();  // the engine first: it uses the link until its threads are gone
    EngineRig(const EngineRig&) = delete;
    EngineRig& operator=(const EngineRig&) = delete;

    bool Ready() const { return m_bReady; }
    CHSProtocolApp& Engine();
    ToolStreamLink& Link() { return m_link; }

    // True when the rig is again as a fresh one (see above). Frames that arrived after the last exchange
    // took its reply are dropped from the received slot, as the next exchange would drop them; a receiver
    // that waits in the middle of a frame is made to drop it: one exchange nobody answers (the engine then
    // aborts the frame), then its read ended as a time-out, as a port's would. Returns as soon as that is
    // done; `bound` caps the whole. False leaves the rig fit only for destruction.
    bool SettleClean(std::chrono::milliseconds bound);
    // Prepares a clean rig for the next input (empty streams, the input's chunk limit).
    void Rewind(std::uint32_t maxChunk) { m_link.Rewind(maxChunk); }

private:
    class Probed;
    // The receiver waits in Read for a sync byte, with every released byte taken.
    bool ReceiverHunting(std::chrono::milliseconds bound);

    ToolStreamLink m_link;
    std::unique_ptr<Probed> m_pEngine;
    bool m_bReady = false;
};
