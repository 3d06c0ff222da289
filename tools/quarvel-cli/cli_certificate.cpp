#include "cli_certificate.h"

#include "app/settings/app_core.h"
#include "app/settings/settings_store.h"
#include "certificate/certificate_data.h"
#include "certificate/certificate_pdf.h"
#include "cli_exit.h"
#include "cli_report.h"
#include "cli_team.h"
#include "history/history_export.h"
#include "platform/text/utf8.h"

int RunCertificateCommand(const CliOptions& options, CCliConsole& console) {
    CQuarvelAppCore settings;
    LoadLanguage(settings);
    LoadHistorySettings(settings);
    CHistoryStore store(CliStoreOptions(settings));
    ServicePlan plan;
    plan.cycles = settings.ServiceInterval;
    plan.days = settings.ServiceIntervalDays;
    plan.dueSoonPercent = settings.ServiceDueSoonPercent;
    CertificateData data;
    std::string detail;
    if (LoadCertificate(store, *options.tool, options.visit.value_or(""), "", plan,
                        settings.CertificateHeader, &data, &detail) != CertificateProblem::None) {
        console.Error("certificate: " + detail);
        return kExitHistory;
    }
    const std::string pdf = CertificatePdf(data, &detail);
    if (pdf.empty()) {
        console.Error("certificate: " + detail);
        return kExitHistory;
    }
    CString path;
    Utf8ToUtf16(*options.outputPath, path);  // checked when the options were parsed
    try {
        CFileException error;
        if (!WriteHistoryExport(path, pdf, &error)) {
            console.Error("certificate: " + OpenFailureText(*options.outputPath, error));
            return kExitHistory;
        }
    } catch (const CFileException& e) {
        console.ErrLine(Utf16ToUtf8(e.GetErrorMessage()));
        return kExitHistory;
    }
    return kExitOk;
}
