#pragma once
// Who makes a record and on which machine, for the records that travel to a team's history server.
// Any thread.
#include <string>

// This machine's id: 32 lower-case hex digits that stay the same across boots and users (Linux: the
// systemd machine id; Windows: the installation's MachineGuid). Empty when the system keeps none.
std::string MachineId();

// The account's full name, or its login name when it has none ("" when neither is known).
std::string AccountDisplayName();

// This process's id: a forked child gets another, which tells it to draw its own random numbers.
long ProcessId();
