#include "certificate/certificate_data.h"

#include <algorithm>
#include <chrono>

CertificateProblem LoadCertificate(CHistoryStore& store, const std::string& toolSerial,
                                   const std::string& visitId, const std::string& readId,
                                   const ServicePlan& plan, const std::string& header, CertificateData* data,
                                   std::string* detail) {
    *data = {};
    data->header = header;
    std::vector<HistoryRow> rows;
    std::vector<HistoryVisit> visits;
    HistoryStatus status = store.Tool(toolSerial, "", plan, rows);
    if (status.ok) status = store.Visits(toolSerial, visits);
    if (!status.ok) {
        *detail = status.message;
        return CertificateProblem::History;
    }
    if (rows.empty()) {
        *detail = "no read of tool '" + toolSerial + "'";
        return CertificateProblem::NoTool;
    }
    // The visit asked for, or the last one made; the certificate is of its controller's reads.
    std::optional<HistoryVisit> chosen;
    if (!visitId.empty()) {
        const auto found = std::find_if(visits.begin(), visits.end(),
                                        [&](const HistoryVisit& v) { return v.uuid == visitId; });
        if (found == visits.end()) {
            *detail = "tool '" + toolSerial + "' has no service visit " + visitId;
            return CertificateProblem::NoVisit;
        }
        chosen = *found;
    } else if (!readId.empty()) {
        const auto read = std::find_if(rows.begin(), rows.end(),
                                       [&](const HistoryRow& row) { return row.read.uuid == readId; });
        if (read == rows.end()) {
            *detail = "tool '" + toolSerial + "' has no read " + readId;
            return CertificateProblem::NoVisit;
        }
        for (const HistoryVisit& v : visits)
            if (v.readUuid == readId) chosen = v;       // the last visit made from that read
        if (!chosen) rows.erase(read + 1, rows.end());  // the read alone: as it stood then
    } else if (!visits.empty()) {
        chosen = visits.back();
    }
    const std::string controller = chosen ? chosen->controllerSerial : rows.back().read.controllerSerial;
    std::erase_if(rows, [&](const HistoryRow& row) { return row.read.controllerSerial != controller; });
    std::erase_if(visits, [&](const HistoryVisit& v) { return v.controllerSerial != controller; });
    if (rows.empty()) {
        *detail = "no read of tool '" + toolSerial + "' with controller '" + controller + "'";
        return CertificateProblem::NoTool;
    }

    // The read shown: the one the visit counts from, else the last.
    std::size_t at = rows.size() - 1;
    if (chosen) {
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (rows[i].read.uuid == chosen->readUuid) at = i;
    }
    const HistoryRow& row = rows[at];
    data->read = row.read;
    data->visit = chosen;
    std::string since = row.serviceSince;
    // The next service is due this many cycles on from the read shown (counted as the views count, across
    // a reset); a tool already past its interval is due at once, at the counter it shows.
    std::int64_t cyclesSince = row.cyclesSinceService;
    if (chosen) {
        // The visit counts its read as nought; before it, that read was this many cycles from the visit
        // before (or from new).
        const std::int64_t step = row.cyclesSincePrevious ? *row.cyclesSincePrevious
                                                          : static_cast<std::int64_t>(row.read.totalCounter);
        data->sincePreviousService = at == 0 ? step : rows[at - 1].cyclesSinceService + step;
        since = chosen->servicedAt;
        cyclesSince = 0;
    } else {
        data->sincePreviousService = row.cyclesSinceService;
    }
    if (plan.cycles > 0)
        data->nextDueCycles = static_cast<std::int64_t>(row.read.totalCounter) +
                              std::max<std::int64_t>(0, plan.cycles - cyclesSince);
    if (const std::int64_t seconds = HistorySeconds(since); plan.days > 0 && seconds >= 0) {
        data->nextDueDate = HistoryTime(
            std::chrono::system_clock::time_point(std::chrono::seconds(seconds + plan.days * 86400)));
    }
    data->reads = std::move(rows);
    data->visits = std::move(visits);
    return CertificateProblem::None;
}
