// Status and Expected<T>: how every platform call reports success or failure.
//
// A status carries a 32-bit code in the Windows HRESULT convention (negative
// means failure), so the Windows backend hands its codes through unchanged and
// the other backends pick the nearest code. Nothing here throws.
#pragma once

#include <cstdint>
#include <utility>
#include <variant>

namespace spc {

class [[nodiscard]] Status {
 public:
  constexpr Status() = default;
  constexpr explicit Status(std::int32_t code) : code_(code) {}

  constexpr bool ok() const { return code_ >= 0; }
  constexpr explicit operator bool() const { return ok(); }
  constexpr std::int32_t code() const { return code_; }

  friend constexpr bool operator==(Status a, Status b) { return a.code_ == b.code_; }

 private:
  std::int32_t code_ = 0;
};

// Codes used across the platform layers.
namespace code {
inline constexpr std::int32_t kOk = 0;
inline constexpr std::int32_t kFail = static_cast<std::int32_t>(0x80004005);  // E_FAIL
// A member was called through an empty object reference.
inline constexpr std::int32_t kEmptyReference = static_cast<std::int32_t>(0x80004003);  // E_POINTER
inline constexpr std::int32_t kInvalidArgument = static_cast<std::int32_t>(0x80070057);  // E_INVALIDARG
inline constexpr std::int32_t kTypeMismatch = static_cast<std::int32_t>(0x80020005);  // DISP_E_TYPEMISMATCH
inline constexpr std::int32_t kOverflow = static_cast<std::int32_t>(0x8002000A);  // DISP_E_OVERFLOW
inline constexpr std::int32_t kInvalidOperation = static_cast<std::int32_t>(0x800A0005);  // invalid call
inline constexpr std::int32_t kDivisionByZero = static_cast<std::int32_t>(0x800A000B);
inline constexpr std::int32_t kBadFileName = static_cast<std::int32_t>(0x800A0034);
inline constexpr std::int32_t kClassNotRegistered = static_cast<std::int32_t>(0x80040154);  // REGDB_E_CLASSNOTREG
inline constexpr std::int32_t kNotImplemented = static_cast<std::int32_t>(0x80004001);  // E_NOTIMPL
// The object has no such member (property, method or dispatch id).
inline constexpr std::int32_t kMemberNotFound = static_cast<std::int32_t>(0x80020003);  // DISP_E_MEMBERNOTFOUND
}  // namespace code

inline constexpr Status kOk{code::kOk};

// A value or the status of the failure that prevented it.
template <class T>
class [[nodiscard]] Expected {
 public:
  Expected(T value) : state_(std::in_place_index<0>, std::move(value)) {}  // NOLINT: implicit by design
  Expected(Status failure) : state_(std::in_place_index<1>, failure.ok() ? Status(code::kFail) : failure) {}  // NOLINT

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }
  Status status() const { return ok() ? kOk : std::get<1>(state_); }

  T& operator*() & { return std::get<0>(state_); }
  const T& operator*() const& { return std::get<0>(state_); }
  T&& operator*() && { return std::get<0>(std::move(state_)); }
  T* operator->() { return &std::get<0>(state_); }
  const T* operator->() const { return &std::get<0>(state_); }

 private:
  std::variant<T, Status> state_;
};

}  // namespace spc

// Ends the enclosing statement with the status of a failed call.
#define SPC_TRY(expr)                            \
  do {                                           \
    if (::spc::Status spc_status_ = (expr); !spc_status_) return spc_status_; \
  } while (0)

#define SPC_CONCAT_INNER(a, b) a##b
#define SPC_CONCAT(a, b) SPC_CONCAT_INNER(a, b)

// `SPC_TRY_ASSIGN(T name, expr);` binds the value of an Expected, or ends the
// enclosing statement with its failure.
#define SPC_TRY_ASSIGN(decl, expr) SPC_TRY_ASSIGN_IMPL(SPC_CONCAT(spc_expected_, __LINE__), decl, expr)
#define SPC_TRY_ASSIGN_IMPL(tmp, decl, expr) \
  auto tmp = (expr);                         \
  if (!tmp) return tmp.status();             \
  decl = std::move(*tmp)
