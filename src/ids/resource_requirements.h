#pragma once
// What every resource module must carry for the programs to run on it: the application's own string table
// (101..135: the programs take these from the current module alone, a blank one is no translation), the
// three dialogs with the controls the code uses, and icon 128. Strings added later (the history's, the
// framework's) are not required: a pack made before they existed still loads, and LoadStringW takes each
// one it lacks from the built-in module. Constants only; any thread.
#include "ids/resource_ids.h"
#include "platform/resources/resource_module.h"

inline const ResourceRequirements& QuarvelResourceRequirements() {
    static const ResourceRequirements required{
        {IDS_ABOUTBOX,
         IDS_LINK_NOT_ESTABLISHED,
         IDS_CONNECT,
         IDS_DISCONNECT,
         IDS_CONFIRM_DISCONNECT,
         IDS_DISCONNECTED,
         IDS_OUTPUT_NOT_OPENED,
         IDS_REPORT_TOOL,
         IDS_REPORT_TOOL_SERIAL,
         IDS_REPORT_FIRMWARE,
         IDS_REPORT_CONTROLLER_SERIAL,
         IDS_REPORT_CYCLE_COUNTER,
         IDS_REPORT_TOTAL_COUNTER,
         IDS_REPORT_STOP_POSITION,
         IDS_REPORT_LAST_FORCE,
         IDS_REPORT_STOP_CONDITIONS,
         IDS_RESULT_SUCCESS,
         IDS_RESULT_BREAKUP,
         IDS_RESULT_BARRIER,
         IDS_DIRECTION_FORWARD,
         IDS_DIRECTION_BACKWARD,
         IDS_NO_PORTS,
         IDS_REPORT_DIRECTION,
         IDS_LANGUAGE_MENU,
         IDS_LANGUAGE_ENGLISH,
         IDS_LANGUAGE_FRENCH,
         IDS_LANGUAGE_ITALIAN,
         IDS_LANGUAGE_BULGARIAN,
         IDS_RESTART_FOR_SETTINGS,
         IDS_UNKNOWN_DEVICE,
         IDS_RESULT_WORKING_RANGE},
        {{IDD_ABOUTBOX, {IDOK, IDC_VERSION_LABEL}},
         {IDD_QUARVEL_DIALOG,
          {IDOK, IDC_TOOL_MODEL, IDC_CONNECT, IDC_TOOL_SERIAL, IDC_CONTROLLER_SERIAL, IDC_FIRMWARE_VERSION,
           IDC_CYCLE_COUNTER, IDC_SAVE, IDC_TOTAL_COUNTER, IDC_RESULT, IDC_POSITION, IDC_DIRECTION, IDC_FORCE,
           ID_HELP}},
         {IDD_SELCOM, {IDOK, IDCANCEL, IDC_PORT_LIST, IDC_SPEED_LIST}}},
        {IDR_MAINFRAME},
    };
    return required;
}
