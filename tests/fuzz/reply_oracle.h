#pragma once
// ReplyOracle: which 'Z' replies the engine may have taken from the byte stream the tool sent. A reply is
// only believable if a whole frame 0x55 'Z' N payload checksum with a right checksum lies in that stream,
// and replies are taken in stream order, each frame at most once. The oracle matches each 'Z' result to
// the earliest such frame after the previous match that also carries what the caller was given.
// Single-threaded; used by the engine fuzz target.
#include <cstddef>
#include <functional>
#include <vector>

#include "platform/win_types.h"

struct CandidateFrame {
    std::size_t nStart = 0;  // offset of the sync byte in the stream
    std::vector<BYTE> payload;
};

class ReplyOracle {
public:
    // Matches one 'Z' result against `stream` (everything released so far). False when no frame fits.
    bool Match(const std::vector<BYTE>& stream, const std::function<bool(const CandidateFrame&)>& fits);

    // XOR checksums of frames found by scanning for sync bytes are set right, so that most inputs get
    // past the engine's check.
    static void RepairChecksums(std::vector<BYTE>& bytes);

private:
    std::size_t m_nNextStart = 0;  // the next match starts at or after this offset
};
