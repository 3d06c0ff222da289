#include "reply_oracle.h"

namespace {
constexpr BYTE kSync = 0x55;
constexpr BYTE kSuccess = 'Z';
constexpr std::size_t kMaxPayload = 127;

BYTE Xor(const BYTE* p, std::size_t n) {
    BYTE sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum ^= p[i];
    return sum;
}
}  // namespace

bool ReplyOracle::Match(const std::vector<BYTE>& s, const std::function<bool(const CandidateFrame&)>& fits) {
    for (std::size_t p = m_nNextStart; p + 3 < s.size(); ++p) {
        if (s[p] != kSync || s[p + 1] != kSuccess || s[p + 2] > kMaxPayload) continue;
        const std::size_t n = s[p + 2];
        if (p + 3 + n >= s.size() || Xor(&s[p + 1], n + 2) != s[p + 3 + n]) continue;
        CandidateFrame frame{p, std::vector<BYTE>(s.begin() + static_cast<long>(p) + 3,
                                                  s.begin() + static_cast<long>(p + 3 + n))};
        if (!fits(frame)) continue;
        m_nNextStart = p + 1;
        return true;
    }
    return false;
}

void ReplyOracle::RepairChecksums(std::vector<BYTE>& b) {
    std::size_t i = 0;
    while (i + 2 < b.size()) {
        const std::size_t n = b[i + 2];
        if (b[i] == kSync && n <= kMaxPayload && i + 3 + n < b.size()) {
            b[i + 3 + n] = Xor(&b[i + 1], n + 2);
            i += 4 + n;
        } else {
            ++i;
        }
    }
}
