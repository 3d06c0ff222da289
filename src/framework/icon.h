#pragma once
// Icons of the resource module as the framework's icon handles. UI thread only. A loaded icon is
// kept for the rest of the process (like a shared Windows icon), so a handle never dangles.
#ifdef _WIN32
struct HICON__;
using HICON = HICON__*;  // the type <windows.h> gives it
#else
class QIcon;
using HICON = const QIcon*;
#endif

// The icon with this id from the current resource module, all its image sizes in one QIcon;
// null when the module has no such icon or none of its images decodes.
HICON AfxLoadIcon(int id);
