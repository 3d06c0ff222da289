#include "tool_profile.h"

#include <limits>
#include <nlohmann/json.hpp>

namespace rk9sim {
namespace {

using Json = nlohmann::json;

template <typename T>
bool TakeNumber(const Json& object, const char* key, T& out, std::string* error) {
    const auto it = object.find(key);
    if (it == object.end()) return true;
    if (!it->is_number_unsigned() || it->get<std::uint64_t>() > std::numeric_limits<T>::max()) {
        if (error)
            *error = std::string("\"") + key + "\" must be a number from 0 to " +
                     std::to_string(std::numeric_limits<T>::max());
        return false;
    }
    out = static_cast<T>(it->get<std::uint64_t>());
    return true;
}

bool TakeText(const Json& object, const char* key, std::string& out, std::string* error) {
    const auto it = object.find(key);
    if (it == object.end()) return true;
    if (!it->is_string()) {
        if (error) *error = std::string("\"") + key + "\" must be a text";
        return false;
    }
    out = it->get<std::string>();
    return true;
}

bool TakeBool(const Json& object, const char* key, BYTE& flags, std::string* error) {
    const auto it = object.find(key);
    if (it == object.end()) return true;
    if (!it->is_boolean()) {
        if (error) *error = std::string("\"") + key + "\" must be true or false";
        return false;
    }
    flags = it->get<bool>() ? (flags | kKeepAliveFlag) : (flags & ~kKeepAliveFlag);
    return true;
}

bool TakeInfoBytes(const Json& object, std::array<BYTE, 7>& out, std::string* error) {
    const auto it = object.find("info_bytes");
    if (it == object.end()) return true;
    if (!it->is_array() || it->size() != out.size()) {
        if (error) *error = "\"info_bytes\" must be an array of 7 numbers (device bytes 8-13 and 15)";
        return false;
    }
    std::array<BYTE, 7> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const Json& value = (*it)[i];
        if (!value.is_number_unsigned() || value.get<std::uint64_t>() > 255) {
            if (error) *error = "\"info_bytes\" entries must be numbers from 0 to 255";
            return false;
        }
        bytes[i] = static_cast<BYTE>(value.get<std::uint64_t>());
    }
    out = bytes;
    return true;
}

}  // namespace

bool ApplyProfileJson(const std::string& jsonText, ToolProfile& profile, std::string* error) {
    const Json object = Json::parse(jsonText, nullptr, /*allow_exceptions=*/false);
    if (object.is_discarded() || !object.is_object()) {
        if (error) *error = "the profile is not a JSON object";
        return false;
    }
    ToolProfile p = profile;
    const bool ok = TakeText(object, "model", p.strModel, error) &&
                    TakeNumber(object, "device_flags", p.nDeviceFlags, error) &&
                    TakeBool(object, "keep_alive", p.nDeviceFlags, error) &&
                    TakeInfoBytes(object, p.infoBytes, error) &&
                    TakeNumber(object, "cycle_counter", p.nCycleCounter, error) &&
                    TakeNumber(object, "total_counter", p.nTotalCounter, error) &&
                    TakeNumber(object, "position_counts", p.nPositionCounts, error) &&
                    TakeNumber(object, "force_reading", p.nForceReading, error) &&
                    TakeNumber(object, "force_factor", p.nForceFactor, error) &&
                    TakeNumber(object, "force_divisor", p.nForceDivisor, error) &&
                    TakeNumber(object, "cycle_flags", p.nCycleFlags, error) &&
                    TakeText(object, "controller_serial", p.strControllerSerial, error) &&
                    TakeText(object, "tool_serial", p.strToolSerial, error) &&
                    TakeText(object, "firmware_version", p.strFirmwareVersion, error) &&
                    TakeText(object, "tool_model", p.strToolModel, error);
    if (ok) profile = p;
    return ok;
}

}  // namespace rk9sim
