// Arithmetic of the window layout: a formula over single-precision twips is
// evaluated in double precision, its floating-point status tested, and the
// result rounded once to single precision.
#pragma once

#include "platform/status.h"

namespace spc {

// Evaluates `formula` (a callable returning double). Fails with an overflow,
// division-by-zero or invalid-operation status when the evaluation raised one
// of these, or produced a value that is not a finite single-precision number.
template <class Formula>
Expected<float> EvaluateTwips(Formula&& formula);

namespace detail {
void ClearFloatingPointStatus();
Status FloatingPointStatus();
Expected<float> ToSingle(double value);
}  // namespace detail

template <class Formula>
Expected<float> EvaluateTwips(Formula&& formula) {
  detail::ClearFloatingPointStatus();
  volatile double value = formula();
  SPC_TRY(detail::FloatingPointStatus());
  return detail::ToSingle(value);
}

}  // namespace spc
