#pragma once
// The service plan: a tool is serviced every so many cycles of its total counter or every so many days,
// whichever comes first. It is "due" when either limit is reached and "due soon" when either has passed
// the warning share. Plain values; any thread.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "history/history_read.h"

struct ServicePlan {
    std::int64_t cycles = 0;  // ServiceInterval: total-counter cycles between services; 0 none
    std::int64_t days = 0;    // ServiceIntervalDays: days between services; 0 none
    int dueSoonPercent = 90;  // ServiceDueSoonPercent: "due soon" from this share of a limit on
    // The moment days are counted to (a view's "now"; tests set it).
    std::chrono::system_clock::time_point now = std::chrono::system_clock::now();
};

// A plan by cycles alone.
inline ServicePlan CyclesPlan(std::int64_t cycles) {
    ServicePlan plan;
    plan.cycles = cycles;
    return plan;
}

// Whole days from `since` (a history time) to `now`; 0 for a time that cannot be read or lies ahead.
std::int64_t DaysBetween(const std::string& since, std::chrono::system_clock::time_point now);

// Sets row.daysSinceService from row.serviceSince, then row.standing and row.serviceDue from the plan.
void ApplyServicePlan(const ServicePlan& plan, HistoryRow& row);

// The rows due or due soon, most overdue first (the larger share of a limit used first).
std::vector<HistoryRow> DueRows(std::vector<HistoryRow> rows);

// "due: 51,200 cycles since service", "due soon: 340 of 365 days", "not due"; "" without a plan: in the
// current language, with its thousands separator (UTF-8).
std::string ServiceStandingText(const ServiceStanding& standing);

// 51200 as "51,200", with the current language's thousands separator.
std::string GroupedNumber(std::int64_t value);
