#pragma once
// What a service certificate shows, gathered from the history: the visit (or, for a tool never serviced,
// its last read), the read it counts from with the last cycle's result, the cycles since the previous
// visit, the next service due by the plan, and the tool's reads and visits for the chart. Plain values;
// any thread.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "history/history_store.h"
#include "history/service_plan.h"

struct CertificateData {
    std::string header;                 // the service company's name and address (lines); may be empty
    HistoryRead read;                   // the read the visit counts from, or the tool's last read
    std::optional<HistoryVisit> visit;  // none: a certificate of the read alone
    std::optional<std::int64_t> sincePreviousService;  // cycles since the visit before (or since new)
    std::optional<std::int64_t> nextDueCycles;         // the total counter the next service is due at
    std::optional<std::string> nextDueDate;            // a history time; the day the next one is due
    std::vector<HistoryRow> reads;                     // every read of the tool and controller, oldest first
    std::vector<HistoryVisit> visits;                  // every visit of the tool and controller
};

enum class CertificateProblem { None, NoTool, NoVisit, History };

// Gathers the certificate of the visit `visitId` of the tool; without one, of the read `readId` (the visit
// that counts from it, or the read alone); without either, of its last visit, or its last read when it
// was never serviced. `problem` None on success; else `detail` says what (English).
CertificateProblem LoadCertificate(CHistoryStore& store, const std::string& toolSerial,
                                   const std::string& visitId, const std::string& readId,
                                   const ServicePlan& plan, const std::string& header, CertificateData* data,
                                   std::string* detail);
