#include "platform/text/local_time.h"

bool LocalCalendarTime(std::time_t when, std::tm* local) { return localtime_s(local, &when) == 0; }
