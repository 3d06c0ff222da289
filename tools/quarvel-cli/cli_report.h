#pragma once
// --report FILE: the report file exactly as Save writes it. Main thread.
#include <string>

#include "cli_console.h"
#include "platform/files/file.h"
#include "record/tool_record.h"

// What to tell when a file we were to write could not be opened: the framework's file message (it names
// the file) and what the path really is when that is the reason (a folder, a FIFO, a socket, a terminal),
// otherwise the system's text for the error.
std::string OpenFailureText(const std::string& path, const CFileException& error);

// Writes the report; returns 0, or 1 after telling the user why the file could not be written.
int SaveCliReport(const std::string& path, const ToolRecord& record, CCliConsole& console);

// --report-dir DIR, checked before the first read: made when missing (with its parents), and a file can be
// created in it. False after telling the user which folder and why not.
bool PrepareReportDir(const std::string& dir, CCliConsole& console);

// --report-dir DIR: the report in DIR as "<tool serial>_<YYYYMMDD-HHMMSS>.txt" (local time; characters that
// do not belong in a file name become '_'; "-2", "-3" ... when that name is taken). Returns 0, or 1 after
// telling the user why not.
int SaveCliReportInDir(const std::string& dir, const ToolRecord& record, CCliConsole& console);
