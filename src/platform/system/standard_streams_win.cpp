#include "platform/system/standard_streams.h"

void ReserveStandardStreams() {}
