#pragma once
// The read the history benches keep: tool number `tool` (serials T-1000nn and C-5000nn), at total counter
// `total`, with an id made now, so the samples sort in the order they are made.
#include <chrono>
#include <string>

#include "history/history_read.h"
#include "history/record_uuid.h"

inline HistoryRead SampleRead(int tool, std::uint32_t total) {
    HistoryRead r;
    r.uuid = NewRecordUuid(std::chrono::system_clock::now());
    r.readAt = "2026-12-09T15:41:49Z";
    r.toolModel = "RK-9 Crimp 6mm2";
    r.toolSerial = "T-" + std::to_string(100000 + tool);
    r.controllerSerial = "C-" + std::to_string(500000 + tool);
    r.firmwareVersion = "1.04";
    r.cycleCounter = total % 18000;
    r.totalCounter = total;
    r.positionCounts = 250;
    r.forceReading = 300;
    r.forceFactor = 3;
    r.forceDivisor = 2;
    r.cycleFlags = 5;
    r.deviceInfo = std::string("RK-9\0\0\0\0\x01\x04\0\0\0\0\x20\0", 16);
    r.port = "/dev/ttyUSB0";
    r.speed = 115200;
    return r;
}
