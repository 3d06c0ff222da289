#pragma once
// The per-user settings: language, last port and speed under the key "Software\Kordane\Quarvel".
// UI thread only (start-up and command handlers); keeps no state of its own.
#include <string>

#include "app/settings/app_core.h"

inline constexpr const char* kSettingsKey = "Software\\Kordane\\Quarvel";

// Sets app.Language from "Language" and, when a library value of that index names a loadable resource
// module, makes it the current module. A missing key, value or unloadable pack leaves the defaults.
void LoadLanguage(CQuarvelAppCore& app);
// Stores "Language". 0, 13 for an index outside 0..3, or the key store's code (2 for a missing key).
int SaveLanguage(int index);
// Sets portNumber from "COM" (1..256) and app.SpeedIndex from "SPEED" (0..9) when they are in range.
void LoadPortSettings(CQuarvelAppCore& app, int& portNumber);
// Stores "COM" and, when that succeeded, "SPEED" from app.SpeedIndex. 0, 13 for a port outside 1..256,
// or the key store's code.
int SavePortSettings(int portNumber, CQuarvelAppCore& app);

// Sets app.KeepHistory from "History" (a number other than 0 keeps reads), app.ServiceInterval from
// "ServiceInterval" and app.ServiceIntervalDays from "ServiceIntervalDays" (negative counts as 0),
// app.ServiceDueSoonPercent from "ServiceDueSoonPercent" (1 to 100, else the default), app.CertificateHeader
// from "CertificateHeader" ("\n" starts a new line), app.HistoryServer from
// "HistoryServer" and app.Technician from "Technician" (each text up to its first NUL, surrounding white
// space removed). Missing values leave the defaults.
void LoadHistorySettings(CQuarvelAppCore& app);
// Stores "HistoryServer" and "Technician". 0, 13 for a text with a line break or another control
// character, or the key store's code.
int SaveTeamSettings(const std::string& server, const std::string& technician);
// The name on this laptop's records: app.Technician, or the account's full name, else its login.
std::string TechnicianName(const CQuarvelAppCore& app);

// The number at the start of `text` as the settings read it: leading white space, an optional sign, then
// digits up to the first other character; 0 without digits; saturates instead of overflowing.
int ReadSettingsNumber(const char* text);
