// Starting the office process the launcher talks to, and watching it while
// it comes up. Plain POSIX, no UNO.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "platform/status.h"

namespace spc::libreoffice {

// The name of the UNO pipe through which the user's office is reached: one per
// user and office profile, so that two users, or two profiles of one user
// (HOME pointing elsewhere), never share an office.
std::string DefaultPipeName();

// The arguments that make an office accept UNO connections on `pipeName`
// without restoring documents, showing a splash screen or opening a start
// centre.
std::vector<std::string> OfficeArguments(const std::string& pipeName);

// Starts `program` (looked up on the PATH when it has no slash) with
// `arguments`, detached in a session of its own with its input and output on
// /dev/null, so that it outlives the launcher. Fails with kClassNotRegistered
// when the program cannot be found or run.
Expected<pid_t> StartDetached(const std::string& program, const std::vector<std::string>& arguments);

// What became of a started process, without waiting.
enum class ChildState { kRunning, kExitedOk, kFailed };
ChildState PollChild(pid_t pid);

}  // namespace spc::libreoffice
