// The Save command of CQuarvelApp: the Save-As dialog, the file, and the two report layouts.
#include "app/gui/quarvel_app.h"
#include "framework/afx.h"
#include "platform/resource_ids.h"
#include "report/report_layouts.h"
#include "report/utf16_file.h"

namespace {
constexpr const char16_t* kReportFilter =
    u"Text Files (*.txt)|*.txt|MS Excel Comma Separated Values (*.csv)|*.csv|";
}  // namespace

void CQuarvelApp::SaveReport() { SaveReport(SnapshotRecord()); }

void CQuarvelApp::SaveReport(const ToolRecord& record) {
    CFileDialog dialog(FALSE, u"txt", u"*.txt", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kReportFilter);
    if (dialog.DoModal() != IDOK) return;
    const CString path = dialog.GetPathName();

    CUTF16File file;
    if (!file.Open(path, CFile::modeCreate | CFile::modeWrite)) {
        file.Close();
        AfxMessageBox(IDS_OUTPUT_NOT_OPENED, MB_OK);
        return;
    }
    // The extension as typed decides, letter case included; the type chosen in the list plays no part.
    if (dialog.GetFileExt() == u"txt") {
        WriteTextReport(file, record);
    } else {
        WriteCsvReport(file, record);
    }
    // A failed write raises CFileException past this point: the file object's destructor closes the
    // file, and the command handling of the framework reports the error with the dialog staying open.
    file.Close();
}

void CQuarvelApp::WriteTextReport(CUTF16File& file, const ToolRecord& record) {
    ComposeTextReport(record, [&file](const char16_t* piece) { file.WriteText(piece); });
}

void CQuarvelApp::WriteCsvReport(CUTF16File& file, const ToolRecord& record) {
    ComposeCsvReport(record, [&file](const char16_t* piece) { file.WriteText(piece); });
}
