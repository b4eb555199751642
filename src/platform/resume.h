// Statement-level error resumption.
//
// The launcher's procedures are written as a list of statements. A statement
// is a callable returning Status; a call inside it that fails ends the
// statement at that point (the SPC_TRY macros return early), the references
// it held are released by their destructors, and the procedure goes on with
// its next statement. Nothing is shown, logged or retried.
//
// Statement() tells whether the statement ran to its end, so that the few
// places where the launcher branches on that do so visibly at the call site.
#pragma once

#include <utility>

#include "platform/status.h"

namespace spc {

template <class F>
bool Statement(F&& statement) {
  const Status status = std::forward<F>(statement)();
  return status.ok();
}

// The test of a two-way branch. A test that fails has no outcome, and the
// branch for true is taken.
template <class F>
bool BranchTest(F&& test) {
  Expected<bool> outcome = std::forward<F>(test)();
  return !outcome.ok() || *outcome;
}

}  // namespace spc
