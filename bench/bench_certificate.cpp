// The certificate figure of bench/run, one JSON object on standard output (as bench_figures):
//   bench_certificate READS RUNS
// fills a new store in a temporary folder with one tool read READS times (a visit every hundred reads, a
// counter reset among them), then writes its certificate RUNS times (gather, draw, write the file) beside
// the text report of the same read (Save's report), each timed whole.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "certificate/certificate_data.h"
#include "certificate/certificate_pdf.h"
#include "figure.h"
#include "history/history_export.h"
#include "history/history_store.h"
#include "report/report_file.h"
#include "sample_read.h"

namespace fs = std::filesystem;

namespace {
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

constexpr const char* kTool = "T-100000";  // SampleRead(0, ...)

int main(int argc, char** argv) {
    const int reads = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    const fs::path folder = fs::temp_directory_path() / ("quarvel-bench-cert-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    HistoryStoreOptions options{(folder / "history.sqlite3").string(), 2000, 0, "Ann Lee", "aa"};
    {
        CHistoryStore store(options);
        std::uint32_t total = 0;
        for (int i = 0; i < reads; ++i) {
            total = i == reads / 2 ? 40 : total + 137;  // one counter reset half-way
            if (!store.Insert(SampleRead(0, total)).ok) return 1;
            HistoryVisitOutcome visit;
            if (i % 100 == 99 && !store.AddServiceVisit(kTool, "", "die", HistoryNow(), &visit).ok) return 1;
        }
    }
    ServicePlan plan;
    plan.cycles = 30000;
    plan.days = 365;
    std::vector<double> certificate, report;
    ToolRecord record;
    record.TotalCounter = 123456;
    std::u16string(u"T-100000").copy(record.ToolSerial, 8);
    for (int run = 0; run < runs; ++run) {
        auto t0 = Clock::now();
        CHistoryStore store(options);
        CertificateData data;
        std::string detail;
        if (LoadCertificate(store, kTool, "", "", plan, "Kordane Service Ltd\n12 Mill Road", &data,
                            &detail) != CertificateProblem::None)
            return 1;
        const std::string pdf = CertificatePdf(data, &detail);
        const CString pdfPath = [&] {
            const std::string p = (folder / "certificate.pdf").string();
            return CString(p.begin(), p.end());
        }();
        if (pdf.empty() || !WriteHistoryExport(pdfPath, pdf, nullptr)) {
            std::fprintf(stderr, "bench_certificate: %s\n", detail.c_str());
            return 1;
        }
        certificate.push_back(Ms(Clock::now() - t0));
        t0 = Clock::now();
        const std::string txt = (folder / "report.txt").string();
        if (SaveReportToPath(CString(txt.begin(), txt.end()), u"txt", record) != ReportOutcome::Written)
            return 1;
        report.push_back(Ms(Clock::now() - t0));
    }
    Figure("certificate_write_median", Percentile(certificate, 0.5), "ms", "the text report of Save",
           Percentile(report, 0.5), "< 200 ms");
    std::error_code ec;
    fs::remove_all(folder, ec);
    return 0;
}
