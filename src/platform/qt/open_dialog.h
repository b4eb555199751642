// The Open dialog on Qt Widgets, driven through the common dialog control's
// dispatch ids: Qt's own file dialog, the same on every desktop.
#pragma once

#include <functional>
#include <string>

#include "platform/open_dialog.h"

class QWidget;

namespace spc::qt {

class QtOpenDialog final : public OpenDialog {
 public:
  // `owner` gives the window the dialog stands over while it is open (none
  // once the window is gone).
  explicit QtOpenDialog(std::function<QWidget*()> owner) : owner_(std::move(owner)) {}

  Status PutProperty(DispId id, const Variant& value) override;
  Expected<Variant> GetProperty(DispId id) override;
  Status Invoke(DispId id) override;

 private:
  Status ShowOpen();

  std::function<QWidget*()> owner_;
  // The control's settings; all empty or zero until they are written.
  std::u16string fileName_;
  std::u16string dialogTitle_;
  std::u16string filter_;
  std::int32_t flags_ = 0;
};

}  // namespace spc::qt
