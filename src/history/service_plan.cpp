#include "history/service_plan.h"

#include <algorithm>

#include "ids/resource_ids.h"
#include "platform/resources/resource_module.h"
#include "platform/text/utf8.h"

namespace {
// Counted in whole numbers, so that a boundary (90 % of 3,000 cycles: 2,700) is exact.
ServiceState StateOf(std::int64_t value, std::int64_t of, int dueSoonPercent) {
    if (value >= of) return ServiceState::Due;
    if (value * 100 >= of * dueSoonPercent) return ServiceState::DueSoon;
    return ServiceState::NotDue;
}
}  // namespace

std::int64_t DaysBetween(const std::string& since, std::chrono::system_clock::time_point now) {
    const std::int64_t from = HistorySeconds(since);
    if (from < 0) return 0;
    const std::int64_t to = std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
    return to > from ? (to - from) / 86400 : 0;
}

void ApplyServicePlan(const ServicePlan& plan, HistoryRow& row) {
    row.daysSinceService = DaysBetween(row.serviceSince, plan.now);
    row.standing = {};
    const struct {
        ServiceLimit limit;
        std::int64_t value, of;
    } limits[] = {{ServiceLimit::Cycles, std::max<std::int64_t>(0, row.cyclesSinceService), plan.cycles},
                  {ServiceLimit::Days, row.daysSinceService, plan.days}};
    for (const auto& l : limits) {
        if (l.of <= 0) continue;
        const ServiceStanding standing{StateOf(l.value, l.of, plan.dueSoonPercent), l.limit, l.value, l.of,
                                       static_cast<double>(l.value) / static_cast<double>(l.of)};
        if (row.standing.state == ServiceState::None || standing.state > row.standing.state ||
            (standing.state == row.standing.state && standing.used > row.standing.used))
            row.standing = standing;
    }
    row.serviceDue = row.standing.state == ServiceState::Due;
}

std::vector<HistoryRow> DueRows(std::vector<HistoryRow> rows) {
    std::erase_if(rows, [](const HistoryRow& row) {
        return row.standing.state != ServiceState::Due && row.standing.state != ServiceState::DueSoon;
    });
    std::stable_sort(rows.begin(), rows.end(), [](const HistoryRow& a, const HistoryRow& b) {
        return a.standing.used > b.standing.used;
    });
    return rows;
}

std::string GroupedNumber(std::int64_t value) {
    const std::string separator = Utf16ToUtf8(LoadStringW(IDS_NUMBER_GROUP_SEPARATOR));
    std::string digits = std::to_string(value < 0 ? -value : value);
    for (std::ptrdiff_t at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), separator);
    return (value < 0 ? "-" : "") + digits;
}

std::string ServiceStandingText(const ServiceStanding& standing) {
    const bool cycles = standing.limit == ServiceLimit::Cycles;
    UINT id = 0;
    switch (standing.state) {
        case ServiceState::None:
            return {};
        case ServiceState::NotDue:
            return Utf16ToUtf8(LoadStringW(IDS_SERVICE_NOT_DUE));
        case ServiceState::DueSoon:
            id = cycles ? IDS_SERVICE_SOON_CYCLES : IDS_SERVICE_SOON_DAYS;
            break;
        case ServiceState::Due:
            id = cycles ? IDS_SERVICE_DUE_CYCLES : IDS_SERVICE_DUE_DAYS;
            break;
    }
    CString value, of;
    Utf8ToUtf16(GroupedNumber(standing.value), value);
    Utf8ToUtf16(GroupedNumber(standing.of), of);
    return Utf16ToUtf8(AfxFormatString2(LoadStringW(id), value, of));
}
