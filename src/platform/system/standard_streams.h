#pragma once
// A program started with standard input, output or error closed (`quarvel-cli read >&-`) would hand
// descriptor 0, 1 or 2 to the next file it opens, and then print its output into that file (a serial
// port, the history). ReserveStandardStreams, called first thing in main(), puts /dev/null in each closed
// slot, opened so that the stream's own direction fails: a write to a closed output still fails (EBADF)
// and is reported as lost output, never sent anywhere. Nothing to do on Windows, where standard handles
// are not reused by later opens.
void ReserveStandardStreams();
