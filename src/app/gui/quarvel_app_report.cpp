// The Save command of CQuarvelApp: the Save-As dialog, then the report through the shared writer.
#include "app/gui/quarvel_app.h"
#include "framework/afx.h"
#include "ids/resource_ids.h"
#include "report/report_file.h"

namespace {
constexpr const char16_t* kEnglishReportFilter =
    u"Text Files (*.txt)|*.txt|MS Excel Comma Separated Values (*.csv)|*.csv|";

// The file types in the module's language; a module without them still offers both types.
CString ReportFilter() {
    CString filter = LoadStringW(IDS_REPORT_FILE_FILTER);
    return CFileDialog::ParseFilter(filter).size() == 2 ? filter : CString(kEnglishReportFilter);
}
}  // namespace

void CQuarvelApp::SaveReport(const std::function<ToolRecord()>& recordAtWrite) {
    const CString filter = ReportFilter();
    CFileDialog dialog(FALSE, u"txt", u"*.txt", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, filter.c_str());
    // The folder of the report saved last in this run; the first time the dialog's default (documents).
    dialog.m_strInitialDir = m_strReportFolder;
    if (dialog.DoModal() != IDOK) return;
    // The extension as the dialog hands it back decides the layout, letter case included. A failed write
    // raises CFileException out of here: the writer has closed the file, and the framework's command
    // handling reports the error while the dialog stays open.
    const ToolRecord record = recordAtWrite();
    if (SaveReportToPath(dialog.GetPathName(), dialog.GetFileExt(), record) == ReportOutcome::OpenFailed) {
        AfxMessageBox(IDS_OUTPUT_NOT_OPENED, MB_OK);
        return;
    }
    m_strReportFolder = dialog.GetFolderPath();
}
