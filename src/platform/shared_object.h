// A process-wide object made at its first use. When making it fails, the
// next use tries again; once made, it is kept for the life of the holder.
#pragma once

#include <memory>
#include <utility>

#include "platform/status.h"

namespace spc {

template <class T>
class SharedObject {
 public:
  template <class Make>
  Expected<T*> Get(Make&& make) {
    if (!object_) {
      Expected<std::unique_ptr<T>> made = std::forward<Make>(make)();
      if (!made) return made.status();
      if (!*made) return Status(code::kEmptyReference);
      object_ = std::move(*made);
    }
    return object_.get();
  }

 private:
  std::unique_ptr<T> object_;
};

}  // namespace spc
