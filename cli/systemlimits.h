#ifndef SYSTEMLIMITS_H
#define SYSTEMLIMITS_H

// What the operating system allows the console tool, set up before
// anything else runs.
namespace SystemLimits {

// Writing to a pipe whose reader has gone fails instead of ending the
// program; a standard stream that was closed is opened read-only on the
// null device, so that the program's own files and sockets never take its
// place and writing to it fails; lines end in LF on every system.
void prepareProcess();

// Raises the limit on open files as far as the system lets the process,
// and returns how many modules may run at once within it.
int modulesAtOnce();

} // namespace SystemLimits

#endif // SYSTEMLIMITS_H
