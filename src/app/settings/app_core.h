#pragma once
// The application's settings fields, without Qt, so the settings store and the session can be built
// and tested alone. The GUI's CQuarvelApp derives from this; the session adds its fields in a derived
// class. Used on the user-interface thread only; the one application object owns it.
#include <string>

class CQuarvelAppCore {
public:
    virtual ~CQuarvelAppCore() = default;

    int Language = 0;                // 0 English, 1 French, 2 Italian, 3 Bulgarian (any number as stored)
    int PortNumber = -1;             // last chosen COM port, 1..256; -1 before the first choice
    int SpeedIndex = 9;              // index into the speed list, 0..9; 9 is 115200
    bool KeepHistory = true;         // "History": "0" keeps no reads in the service history
    int ServiceInterval = 0;         // "ServiceInterval": total-counter cycles between services; 0 none
    int ServiceIntervalDays = 0;     // "ServiceIntervalDays": days between services; 0 none
    int ServiceDueSoonPercent = 90;  // "ServiceDueSoonPercent": "due soon" from this share of a limit, 1..100
    // "HistoryServer": the team's history server, a libpq connection string (keyword=value or a URI);
    // empty: no server, each laptop keeps its own history only.
    std::string HistoryServer;
    // "Technician": the name put on each read and service visit; empty: the account's name.
    std::string Technician;
    // "CertificateHeader": the service company's name and address at the top of each certificate, its
    // lines separated by "\n" (a backslash and an n); empty: none.
    std::string CertificateHeader;
};
