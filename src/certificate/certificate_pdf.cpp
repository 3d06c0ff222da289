#include "certificate/certificate_pdf.h"

#include <hpdf.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <type_traits>
#include <vector>

#include "ids/resource_ids.h"
#include "platform/files/font_path.h"
#include "platform/resources/resource_module.h"
#include "platform/text/utf8.h"
#include "record/tool_quantities.h"
#include "report/report_format.h"

namespace {
constexpr float kPageWidth = 595.276f;  // A4 in points
constexpr float kPageHeight = 841.89f;
constexpr float kMargin = 56.0f;

std::string Text(UINT id) { return Utf16ToUtf8(LoadStringW(id)); }
std::string Utf8(const CString& text) { return Utf16ToUtf8(text); }
CString Wide(const std::string& text) {
    CString wide;
    Utf8ToUtf16(ValidUtf8(text), wide);
    return wide;
}
std::string Format(UINT id, const std::string& a, const std::string& b = {}) {
    return Utf8(AfxFormatString2(LoadStringW(id), Wide(a), Wide(b)));
}

// A history time as the language writes a date, in local time.
std::string LocalDate(const std::string& historyTime) {
    return HistoryLocalTime(historyTime, Text(IDS_DATE_FORMAT).c_str());
}

struct PdfError {
    HPDF_STATUS code = HPDF_OK, detail = 0;
};

void OnError(HPDF_STATUS code, HPDF_STATUS detail, void* user) {
    auto* error = static_cast<PdfError*>(user);
    if (error->code == HPDF_OK) *error = {code, detail};
}

// One page drawn top down; `y` is the baseline of the next line.
class CPage {
public:
    CPage(HPDF_Page page, HPDF_Font regular, HPDF_Font bold)
        : m_page(page), m_regular(regular), m_bold(bold) {}

    void Line(const std::string& text, float size, bool bold = false, float x = kMargin) {
        Show(text, size, bold, x, m_y);
        m_y -= size * 1.45f;
    }
    // The values start after the longest label (labels differ in length from language to language).
    void ValueColumnAfter(const std::vector<std::string>& labels) {
        HPDF_Page_SetFontAndSize(m_page, m_regular, 10.5f);
        float widest = 0;
        for (const std::string& label : labels)
            widest = std::max(widest, HPDF_Page_TextWidth(m_page, ValidUtf8(label).c_str()));
        m_valueX = kMargin + std::clamp(widest + 14.0f, 150.0f, 300.0f);
    }
    void Field(const std::string& label, const std::string& value) {
        Show(label, 10.5f, false, kMargin, m_y);
        // A long value (the work done) wraps within the page.
        std::vector<std::string> lines = Wrap(ValidUtf8(value), 10.5f, kPageWidth - kMargin - m_valueX);
        for (const std::string& line : lines) {
            Show(line, 10.5f, true, m_valueX, m_y);
            m_y -= 15.0f;
        }
        if (lines.empty()) m_y -= 15.0f;
    }
    void Gap(float points) { m_y -= points; }
    float Y() const { return m_y; }
    void SetY(float y) { m_y = y; }
    HPDF_Page Handle() const { return m_page; }
    HPDF_Font Regular() const { return m_regular; }

    void Show(const std::string& text, float size, bool bold, float x, float y) {
        HPDF_Page_BeginText(m_page);
        HPDF_Page_SetFontAndSize(m_page, bold ? m_bold : m_regular, size);
        HPDF_Page_TextOut(m_page, x, y, ValidUtf8(text).c_str());
        HPDF_Page_EndText(m_page);
    }

private:
    std::vector<std::string> Wrap(const std::string& text, float size, float width) {
        HPDF_Page_SetFontAndSize(m_page, m_bold, size);
        std::vector<std::string> lines;
        std::string line, word;
        const auto fits = [&](const std::string& candidate) {
            return HPDF_Page_TextWidth(m_page, candidate.c_str()) <= width;
        };
        const auto flushWord = [&] {
            if (word.empty()) return;
            const std::string candidate = line.empty() ? word : line + " " + word;
            if (fits(candidate) || line.empty()) {
                line = candidate;
            } else {
                lines.push_back(line);
                line = word;
            }
            word.clear();
        };
        for (char c : text) {
            if (c == '\n' || c == '\r') {
                flushWord();
                if (c == '\n') {
                    lines.push_back(line);
                    line.clear();
                }
            } else if (c == ' ' || c == '\t') {
                flushWord();
            } else {
                word.push_back(c);
            }
        }
        flushWord();
        if (!line.empty()) lines.push_back(line);
        return lines;
    }

    HPDF_Page m_page;
    HPDF_Font m_regular, m_bold;
    float m_y = kPageHeight - kMargin;
    float m_valueX = kMargin + 200.0f;
};

// The total counter over the reads (by their order), each service visit a mark at its read.
void DrawChart(CPage& page, const CertificateData& data, float top, float height) {
    HPDF_Page p = page.Handle();
    const float left = kMargin, width = kPageWidth - 2 * kMargin, bottom = top - height;
    HPDF_Page_SetLineWidth(p, 0.6f);
    HPDF_Page_SetRGBStroke(p, 0.55f, 0.55f, 0.55f);
    HPDF_Page_Rectangle(p, left, bottom, width, height);
    HPDF_Page_Stroke(p);
    const std::size_t n = data.reads.size();
    if (n == 0) return;
    std::int64_t high = 1;
    for (const HistoryRow& row : data.reads) high = std::max<std::int64_t>(high, row.read.totalCounter);
    const auto x = [&](std::size_t i) {
        return n == 1 ? left + width / 2
                      : left + 8 + (width - 16) * static_cast<float>(i) / static_cast<float>(n - 1);
    };
    const auto y = [&](std::int64_t total) {
        return bottom + 6 + (height - 24) * static_cast<float>(total) / static_cast<float>(high);
    };
    // The scale: the highest total counter at the top left.
    page.Show(GroupedNumber(high), 7.5f, false, left + 4, top - 11);
    // Visits: a vertical dashed line at the read each counts from.
    HPDF_Page_SetRGBStroke(p, 0.80f, 0.25f, 0.15f);
    const HPDF_UINT16 dash[] = {3, 2};
    HPDF_Page_SetDash(p, dash, 2, 0);
    for (const HistoryVisit& visit : data.visits) {
        for (std::size_t i = 0; i < n; ++i) {
            if (data.reads[i].read.uuid != visit.readUuid) continue;
            HPDF_Page_MoveTo(p, x(i), bottom + 2);
            HPDF_Page_LineTo(p, x(i), top - 2);
            HPDF_Page_Stroke(p);
        }
    }
    HPDF_Page_SetDash(p, nullptr, 0, 0);
    // The reads: a line through them, a dot at each (a few thousand reads still make one path).
    HPDF_Page_SetRGBStroke(p, 0.10f, 0.30f, 0.65f);
    HPDF_Page_SetRGBFill(p, 0.10f, 0.30f, 0.65f);
    HPDF_Page_SetLineWidth(p, 1.2f);
    for (std::size_t i = 0; i < n; ++i) {
        const float px = x(i), py = y(data.reads[i].read.totalCounter);
        if (i == 0)
            HPDF_Page_MoveTo(p, px, py);
        else
            HPDF_Page_LineTo(p, px, py);
    }
    if (n > 1) HPDF_Page_Stroke(p);
    if (n <= 200) {
        for (std::size_t i = 0; i < n; ++i)
            HPDF_Page_Circle(p, x(i), y(data.reads[i].read.totalCounter), 1.8f);
        HPDF_Page_Fill(p);
    }
    HPDF_Page_SetRGBFill(p, 0, 0, 0);
    HPDF_Page_SetRGBStroke(p, 0, 0, 0);
}

std::string NextDueText(const CertificateData& data) {
    std::string cycles, date;
    if (data.nextDueCycles) cycles = Format(IDS_CERT_DUE_CYCLES, GroupedNumber(*data.nextDueCycles));
    if (data.nextDueDate) date = Format(IDS_CERT_DUE_DATE, LocalDate(*data.nextDueDate));
    if (!cycles.empty() && !date.empty()) return Format(IDS_CERT_DUE_BOTH, cycles, date);
    if (!cycles.empty() || !date.empty()) return cycles + date;
    return Text(IDS_CERT_NO_PLAN);
}

void Compose(CPage& page, const CertificateData& data) {
    const HistoryRead& r = data.read;
    std::string header = data.header;
    for (std::size_t start = 0; !header.empty() && start <= header.size();) {
        const std::size_t end = std::min(header.find('\n', start), header.size());
        page.Line(header.substr(start, end - start), 9.5f);
        start = end + 1;
    }
    page.Gap(10);
    page.Line(Text(data.visit ? IDS_CERT_TITLE : IDS_CERT_READING_TITLE), 20, true);
    page.Gap(6);
    page.ValueColumnAfter(
        {Text(IDS_REPORT_TOOL), Text(IDS_REPORT_TOOL_SERIAL), Text(IDS_REPORT_CONTROLLER_SERIAL),
         Text(IDS_REPORT_FIRMWARE), Text(IDS_REPORT_TOTAL_COUNTER), Text(IDS_REPORT_CYCLE_COUNTER),
         Text(IDS_CERT_SINCE_PREVIOUS), Text(IDS_REPORT_STOP_CONDITIONS), Text(IDS_REPORT_STOP_POSITION),
         Text(IDS_REPORT_LAST_FORCE), Text(IDS_REPORT_DIRECTION), Text(IDS_CERT_TECHNICIAN),
         Text(IDS_CERT_DATE), Text(IDS_CERT_WORK), Text(IDS_CERT_NEXT_DUE)});
    page.Field(Text(IDS_REPORT_TOOL), r.toolModel);
    page.Field(Text(IDS_REPORT_TOOL_SERIAL), r.toolSerial);
    page.Field(Text(IDS_REPORT_CONTROLLER_SERIAL), r.controllerSerial);
    page.Field(Text(IDS_REPORT_FIRMWARE), r.firmwareVersion);
    page.Gap(8);
    page.Field(Text(IDS_REPORT_TOTAL_COUNTER), Utf8(FormatUnsigned(r.totalCounter)));
    page.Field(Text(IDS_REPORT_CYCLE_COUNTER), Utf8(FormatUnsigned(r.cycleCounter)));
    if (data.sincePreviousService)
        page.Field(Text(IDS_CERT_SINCE_PREVIOUS), GroupedNumber(*data.sincePreviousService));
    page.Gap(8);
    page.Field(Text(IDS_REPORT_STOP_CONDITIONS), Text(ResultStringId(r.cycleFlags)));
    page.Field(Text(IDS_REPORT_STOP_POSITION), Utf8(FormatFixed6(ReportStopPositionMm(r.positionCounts))));
    page.Field(Text(IDS_REPORT_LAST_FORCE),
               Utf8(FormatFixed6(ForceKn(r.forceReading, r.forceFactor, r.forceDivisor))));
    page.Field(Text(IDS_REPORT_DIRECTION), Text(DirectionStringId(r.cycleFlags)));
    page.Gap(8);
    page.Field(Text(IDS_CERT_TECHNICIAN), data.visit ? data.visit->technician : r.technician);
    page.Field(Text(IDS_CERT_DATE), LocalDate(data.visit ? data.visit->servicedAt : r.readAt));
    if (data.visit) page.Field(Text(IDS_CERT_WORK), data.visit->note.empty() ? "-" : data.visit->note);
    page.Field(Text(IDS_CERT_NEXT_DUE), NextDueText(data));
    page.Gap(14);
    page.Line(Text(IDS_CERT_CHART), 9.5f);
    const float chartTop = page.Y() + 4;
    const float chartHeight = std::min(170.0f, chartTop - kMargin - 70);
    DrawChart(page, data, chartTop, chartHeight);
    // The signature line at the foot of the page.
    HPDF_Page p = page.Handle();
    HPDF_Page_SetLineWidth(p, 0.8f);
    HPDF_Page_MoveTo(p, kPageWidth - kMargin - 220, kMargin + 24);
    HPDF_Page_LineTo(p, kPageWidth - kMargin, kMargin + 24);
    HPDF_Page_Stroke(p);
    page.Show(Text(IDS_CERT_SIGNATURE), 9.5f, false, kPageWidth - kMargin - 220, kMargin + 10);
}
}  // namespace

std::string CertificatePdf(const CertificateData& data, std::string* error) {
    error->clear();
    PdfError failure;
    std::unique_ptr<std::remove_pointer_t<HPDF_Doc>, void (*)(HPDF_Doc)> pdf(HPDF_New(OnError, &failure),
                                                                             HPDF_Free);
    if (!pdf) {
        *error = "the PDF library could not start";
        return {};
    }
    HPDF_SetCompressionMode(pdf.get(), HPDF_COMP_ALL);
    HPDF_UseUTFEncodings(pdf.get());
    const std::string regularPath = FontFilePath("DejaVuSans.ttf");
    const std::string boldPath = FontFilePath("DejaVuSans-Bold.ttf");
    const char* regularName = HPDF_LoadTTFontFromFile(pdf.get(), regularPath.c_str(), HPDF_TRUE);
    const char* boldName = HPDF_LoadTTFontFromFile(pdf.get(), boldPath.c_str(), HPDF_TRUE);
    if (regularName == nullptr || boldName == nullptr) {
        *error = "cannot load the font " + (regularName == nullptr ? regularPath : boldPath);
        return {};
    }
    HPDF_Font regular = HPDF_GetFont(pdf.get(), regularName, "UTF-8");
    HPDF_Font bold = HPDF_GetFont(pdf.get(), boldName, "UTF-8");
    HPDF_Page handle = HPDF_AddPage(pdf.get());
    if (regular == nullptr || bold == nullptr || handle == nullptr) {
        *error = "the PDF library failed (error " + std::to_string(failure.code) + ")";
        return {};
    }
    HPDF_Page_SetSize(handle, HPDF_PAGE_SIZE_A4, HPDF_PAGE_PORTRAIT);
    CPage page(handle, regular, bold);
    Compose(page, data);
    HPDF_SaveToStream(pdf.get());
    std::string bytes(HPDF_GetStreamSize(pdf.get()), '\0');
    HPDF_UINT32 size = static_cast<HPDF_UINT32>(bytes.size());
    if (!bytes.empty()) HPDF_ReadFromStream(pdf.get(), reinterpret_cast<HPDF_BYTE*>(bytes.data()), &size);
    bytes.resize(size);
    if (failure.code != HPDF_OK || bytes.empty()) {
        *error = "the PDF library failed (error 0x" + [&] {
            char hex[16];
            std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(failure.code));
            return std::string(hex);
        }() + ")";
        return {};
    }
    return bytes;
}
