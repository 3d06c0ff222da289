#include "platform/standard_streams.h"

void ReserveStandardStreams() {}
