#include "cli_report.h"

int SaveCliReport(const std::string&, const ToolRecord&, CCliConsole& console) {
    console.Error("--report is not available yet");
    return 1;
}
