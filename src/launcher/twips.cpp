#include "launcher/twips.h"

#include <cfenv>
#include <cmath>
#include <limits>

namespace spc::detail {

void ClearFloatingPointStatus() { std::feclearexcept(FE_ALL_EXCEPT); }

Status FloatingPointStatus() {
  const int raised = std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
  if (raised & FE_INVALID) return Status(code::kInvalidOperation);
  if (raised & FE_DIVBYZERO) return Status(code::kDivisionByZero);
  if (raised & FE_OVERFLOW) return Status(code::kOverflow);
  return kOk;
}

Expected<float> ToSingle(double value) {
  // Operands that are already infinite or not a number raise no flag as they
  // pass through a formula; their result is refused here all the same.
  if (std::isnan(value)) return Status(code::kInvalidOperation);
  if (std::isinf(value) || std::fabs(value) > std::numeric_limits<float>::max()) {
    return Status(code::kOverflow);
  }
  return static_cast<float>(value);
}

}  // namespace spc::detail
