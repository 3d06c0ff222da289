#pragma once
// Resource ids shared by the programs and every resource module (resources/builtin.json and the
// packs in resources/lang/ carry exactly these). Constants only; any thread. The file messages' ids are
// the platform's own (platform/files/file_strings.h): the file layer words its errors with them.
#include "platform/files/file_strings.h"
#include "platform/win_types.h"

// ---- Application strings (the string table) ----
inline constexpr UINT IDS_ABOUTBOX = 101;  // "&About "
inline constexpr UINT IDS_LINK_NOT_ESTABLISHED = 102;
inline constexpr UINT IDS_CONNECT = 103;
inline constexpr UINT IDS_DISCONNECT = 104;
inline constexpr UINT IDS_CONFIRM_DISCONNECT = 105;
inline constexpr UINT IDS_DISCONNECTED = 106;
inline constexpr UINT IDS_OUTPUT_NOT_OPENED = 110;
inline constexpr UINT IDS_REPORT_TOOL = 111;
inline constexpr UINT IDS_REPORT_TOOL_SERIAL = 112;
inline constexpr UINT IDS_REPORT_FIRMWARE = 113;
inline constexpr UINT IDS_REPORT_CONTROLLER_SERIAL = 114;
inline constexpr UINT IDS_REPORT_CYCLE_COUNTER = 115;
inline constexpr UINT IDS_REPORT_TOTAL_COUNTER = 116;
inline constexpr UINT IDS_REPORT_STOP_POSITION = 117;
inline constexpr UINT IDS_REPORT_LAST_FORCE = 118;
inline constexpr UINT IDS_REPORT_STOP_CONDITIONS = 119;
inline constexpr UINT IDS_RESULT_SUCCESS = 120;
inline constexpr UINT IDS_RESULT_BREAKUP = 121;
inline constexpr UINT IDS_RESULT_BARRIER = 122;
inline constexpr UINT IDS_DIRECTION_FORWARD = 124;
inline constexpr UINT IDS_DIRECTION_BACKWARD = 125;
inline constexpr UINT IDS_NO_PORTS = 126;
inline constexpr UINT IDS_REPORT_DIRECTION = 127;
inline constexpr UINT IDS_LANGUAGE_MENU = 128;
inline constexpr UINT IDS_LANGUAGE_ENGLISH = 129;
inline constexpr UINT IDS_LANGUAGE_FRENCH = 130;
inline constexpr UINT IDS_LANGUAGE_ITALIAN = 131;
inline constexpr UINT IDS_LANGUAGE_BULGARIAN = 132;
inline constexpr UINT IDS_RESTART_FOR_SETTINGS = 133;
inline constexpr UINT IDS_UNKNOWN_DEVICE = 134;
inline constexpr UINT IDS_RESULT_WORKING_RANGE = 135;
// The service history (140..179).
inline constexpr UINT IDS_HISTORY_MENU = 140;      // "History..."
inline constexpr UINT IDS_HISTORY_COL_DATE = 141;  // the History list's and the CLI text view's columns
inline constexpr UINT IDS_HISTORY_COL_TOOL_SERIAL = 142;
inline constexpr UINT IDS_HISTORY_COL_MODEL = 143;
inline constexpr UINT IDS_HISTORY_COL_CYCLES = 144;
inline constexpr UINT IDS_HISTORY_COL_TOTAL = 145;
inline constexpr UINT IDS_HISTORY_COL_RESULT = 146;
inline constexpr UINT IDS_HISTORY_COL_CONTROLLER = 147;
inline constexpr UINT IDS_HISTORY_COL_FIRMWARE = 148;
inline constexpr UINT IDS_HISTORY_COL_SINCE_PREVIOUS = 149;
inline constexpr UINT IDS_HISTORY_COL_SINCE_SERVICE = 150;
inline constexpr UINT IDS_HISTORY_COL_DUE = 151;
inline constexpr UINT IDS_HISTORY_DUE = 152;            // the due column's text when a service is due
inline constexpr UINT IDS_HISTORY_NOT_KEPT = 153;       // a read could not be written to the history
inline constexpr UINT IDS_HISTORY_OFF = 154;            // the settings value History is "0"
inline constexpr UINT IDS_HISTORY_EMPTY = 155;          // the view has no reads
inline constexpr UINT IDS_HISTORY_EXPORT_FILTER = 156;  // the Export file dialog's filter
inline constexpr UINT IDS_HISTORY_NOT_READ = 157;       // the history could not be read
inline constexpr UINT IDS_HISTORY_SET_ASIDE = 158;  // a damaged file was renamed (%1) and a new one started
inline constexpr UINT IDS_HISTORY_READING = 159;    // the History dialog reads a view

// The main dialog's honest display and the Connection dialog's refused ports.
inline constexpr UINT IDS_CAPTION_NOT_READ = 160;      // caption suffix before any read
inline constexpr UINT IDS_CAPTION_EARLIER_READ = 161;  // caption suffix: the values are of the read at %1
inline constexpr UINT IDS_SAVE_NOT_READ = 162;         // Save's question before any read
inline constexpr UINT IDS_SAVE_EARLIER_READ =
    163;                                        // Save's question after a failed read (%1: that read's time)
inline constexpr UINT IDS_PORTS_REFUSED = 164;  // after 126: the ports that are there but would not open
inline constexpr UINT IDS_PORT_HELD_BY = 165;   // held by %1 (process %2)
inline constexpr UINT IDS_PORT_HELD = 166;
inline constexpr UINT IDS_PORT_DENIED_GROUP = 167;  // permission denied; join the group %1
inline constexpr UINT IDS_PORT_DENIED = 168;
// Why the history could not be used, in the History dialog.
inline constexpr UINT IDS_HISTORY_CAUSE_LOCKED = 169;
inline constexpr UINT IDS_HISTORY_CAUSE_FULL = 170;
inline constexpr UINT IDS_HISTORY_CAUSE_READ_ONLY = 171;
inline constexpr UINT IDS_HISTORY_CAUSE_DAMAGED = 172;
inline constexpr UINT IDS_HISTORY_CAUSE_NOT_DATABASE = 173;
inline constexpr UINT IDS_HISTORY_CAUSE_NEWER = 174;
inline constexpr UINT IDS_HISTORY_CAUSE_OTHER = 175;
inline constexpr UINT IDS_HISTORY_COL_TECHNICIAN = 176;  // who read the tool (the team's history)
inline constexpr UINT IDS_TEAM_MENU = 177;               // "Team history..."
inline constexpr UINT IDS_TEAM_LAST_SYNC = 178;          // %1 the last successful sync, %2 records waiting
inline constexpr UINT IDS_TEAM_NEVER = 179;              // %1 of IDS_TEAM_LAST_SYNC before any sync
inline constexpr UINT IDS_TEAM_UNREACHABLE = 180;        // the problems of TeamProblem, %1 the detail
inline constexpr UINT IDS_TEAM_PASSWORD = 181;
inline constexpr UINT IDS_TEAM_TLS = 182;
inline constexpr UINT IDS_TEAM_NO_SCHEMA = 183;
inline constexpr UINT IDS_TEAM_NEWER_SCHEMA = 184;
inline constexpr UINT IDS_TEAM_OLDER_SCHEMA = 185;
inline constexpr UINT IDS_TEAM_REFUSED = 186;
inline constexpr UINT IDS_TEAM_BAD_SETTINGS = 187;
inline constexpr UINT IDS_TEAM_LOCAL = 188;
inline constexpr UINT IDS_TEAM_SYNCING = 189;     // a round in progress
inline constexpr UINT IDS_TEAM_CONNECTED = 190;   // Test connection succeeded; %1 what it found
inline constexpr UINT IDS_TEAM_NO_SERVER = 191;   // no server is set
inline constexpr UINT IDS_TEAM_NOT_SAVED = 192;   // the settings could not be saved; %1 the code
inline constexpr UINT IDS_TEAM_SYNCED = 193;      // Sync now succeeded; %1 pushed, %2 pulled
inline constexpr UINT IDS_TEAM_CONNECTING = 194;  // Test connection in progress
// The service plan's state of a tool (%1 cycles or days since service, %2 the limit), a counter reset
// in the since-previous column, a controller change (%1 the controller, %2 the one before), and the
// language's thousands separator for the numbers in them.
inline constexpr UINT IDS_SERVICE_DUE_CYCLES = 195;
inline constexpr UINT IDS_SERVICE_DUE_DAYS = 196;
inline constexpr UINT IDS_SERVICE_SOON_CYCLES = 197;
inline constexpr UINT IDS_SERVICE_SOON_DAYS = 198;
inline constexpr UINT IDS_SERVICE_NOT_DUE = 199;
inline constexpr UINT IDS_HISTORY_RESET = 200;
inline constexpr UINT IDS_HISTORY_CONTROLLER_CHANGE = 201;
inline constexpr UINT IDS_NUMBER_GROUP_SEPARATOR = 202;
// The service certificate (the report's labels 111..127 serve too); IDS_DATE_FORMAT is the language's
// date as strftime writes it (only %a %A %b %B %d %H %I %j %m %M %p %S %y %Y).
inline constexpr UINT IDS_CERT_TITLE = 203;
inline constexpr UINT IDS_CERT_READING_TITLE =
    204;  // a tool never serviced: the certificate of its last read
inline constexpr UINT IDS_CERT_SINCE_PREVIOUS = 205;
inline constexpr UINT IDS_CERT_TECHNICIAN = 206;
inline constexpr UINT IDS_CERT_DATE = 207;
inline constexpr UINT IDS_CERT_WORK = 208;
inline constexpr UINT IDS_CERT_NEXT_DUE = 209;
inline constexpr UINT IDS_CERT_DUE_CYCLES = 210;  // %1 the total counter
inline constexpr UINT IDS_CERT_DUE_DATE = 211;    // %1 the date
inline constexpr UINT IDS_CERT_DUE_BOTH = 212;    // %1 IDS_CERT_DUE_CYCLES, %2 IDS_CERT_DUE_DATE
inline constexpr UINT IDS_CERT_NO_PLAN = 213;
inline constexpr UINT IDS_CERT_SIGNATURE = 214;
inline constexpr UINT IDS_CERT_CHART = 215;
inline constexpr UINT IDS_DATE_FORMAT = 216;
inline constexpr UINT IDS_DATE_TIME_FORMAT = 217;  // the same with the time of day (the History dialog)
inline constexpr UINT IDS_SERVICE_COUNTERS = 218;  // %1 the total counter, %2 the read's time
inline constexpr UINT IDS_SERVICE_BAD_DATE = 219;  // the date is not YYYY-MM-DD
inline constexpr UINT IDS_SERVICE_NOT_KEPT = 220;  // %1 why
inline constexpr UINT IDS_CERT_FILTER = 221;       // the Save-As dialog's filter
inline constexpr UINT IDS_CERT_NOT_WRITTEN = 222;  // %1 why

// ---- Framework messages (0xF100..0xF1FF). %1, %2 are replaced by the caller. ----
inline constexpr UINT IDS_FW_PARSE_INT = 0xF100;        // "Please enter an integer."
inline constexpr UINT IDS_FW_PARSE_INT_RANGE = 0xF101;  // "Enter an integer between %1 and %2."
inline constexpr UINT IDS_FW_PARSE_REAL = 0xF102;       // "Please enter a number."
inline constexpr UINT IDS_FW_GENERIC = 0xF103;          // "An unexpected error occurred."
// The window menu's own items and the tooltip of the button that opens it.
inline constexpr UINT IDS_FW_MENU_MINIMIZE = 0xF120;    // "Mi&nimize"
inline constexpr UINT IDS_FW_MENU_CLOSE = 0xF121;       // "&Close\tAlt+F4"
inline constexpr UINT IDS_FW_MENU_BUTTON_TIP = 0xF122;  // "Window menu (Alt+Space)"
// The report's file types in the Save-As dialog, in the dialog's filter syntax:
// "Text Files (*.txt)|*.txt|MS Excel Comma Separated Values (*.csv)|*.csv|"
inline constexpr UINT IDS_REPORT_FILE_FILTER = 0xF123;

// ---- Dialogs and the icon ----
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_QUARVEL_DIALOG = 102;
inline constexpr int IDD_SELCOM = 7000;
inline constexpr int IDD_HISTORY = 7100;
inline constexpr int IDR_MAINFRAME = 128;

// ---- Controls and commands ----
#ifndef IDOK  // <windows.h> has them already, with the same values
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
#endif
inline constexpr int IDC_STATIC = -1;
inline constexpr int IDC_TOOL_MODEL = 1000;
inline constexpr int IDC_CONNECT = 1001;
inline constexpr int IDC_TOOL_SERIAL = 1002;
inline constexpr int IDC_CONTROLLER_SERIAL = 1003;
inline constexpr int IDC_FIRMWARE_VERSION = 1004;
inline constexpr int IDC_CYCLE_COUNTER = 1005;
inline constexpr int IDC_SAVE = 1006;
inline constexpr int IDC_TOTAL_COUNTER = 1008;
inline constexpr int IDC_RESULT = 1014;
inline constexpr int IDC_POSITION = 1015;
inline constexpr int IDC_DIRECTION = 1016;
inline constexpr int IDC_FORCE = 1017;
inline constexpr int IDC_PORT_LIST = 1022;
inline constexpr int IDC_VERSION_LABEL = 1023;
inline constexpr int IDC_SPEED_LIST = 7005;
inline constexpr int ID_HELP = 57670;
inline constexpr int IDC_HISTORY_LIST = 7101;
inline constexpr int IDC_HISTORY_THIS_TOOL = 7102;
inline constexpr int IDC_HISTORY_ALL_TOOLS = 7103;
inline constexpr int IDC_HISTORY_EXPORT = 7104;
inline constexpr int IDC_HISTORY_STATUS = 7105;
inline constexpr int IDC_HISTORY_SYNC = 7106;  // the team history's state: last sync, waiting, last problem

inline constexpr int IDC_HISTORY_SERVICE = 7107;      // "Record service..." (This tool)
inline constexpr int IDC_HISTORY_CERTIFICATE = 7108;  // "Certificate..." of the selected read's visit
inline constexpr int IDD_TEAM = 7200;                 // "Team history..."
inline constexpr int IDC_TEAM_SERVER = 7201;
inline constexpr int IDC_TEAM_TECHNICIAN = 7202;
inline constexpr int IDC_TEAM_TEST = 7203;
inline constexpr int IDC_TEAM_SYNC = 7204;
inline constexpr int IDC_TEAM_RESULT = 7205;
inline constexpr int IDD_SERVICE = 7300;  // "Record service..."
inline constexpr int IDC_SERVICE_TOOL = 7301;
inline constexpr int IDC_SERVICE_COUNTERS = 7302;
inline constexpr int IDC_SERVICE_DATE = 7303;
inline constexpr int IDC_SERVICE_TECHNICIAN = 7304;
inline constexpr int IDC_SERVICE_WORK = 7305;
inline constexpr UINT IDM_ABOUTBOX = 0x0010;
inline constexpr UINT IDM_HISTORY = 0x0020;
inline constexpr UINT IDM_TEAM = 0x0030;
inline constexpr UINT IDM_LANGUAGE_ENGLISH = 1501;
inline constexpr UINT IDM_LANGUAGE_FRENCH = 1502;
inline constexpr UINT IDM_LANGUAGE_ITALIAN = 1503;
inline constexpr UINT IDM_LANGUAGE_BULGARIAN = 1504;
