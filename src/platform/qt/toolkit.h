// The window toolkit on Qt Widgets: the window Form3 built from its
// definition, its picture boxes and hidden label, the screen, the message box,
// the directory search and the string comparisons.
#pragma once

#include <memory>

#include "platform/toolkit.h"

class QWidget;

namespace spc::qt {

class QtToolkit final : public Toolkit {
 public:
  // Creates Form3 and its controls from the window definition; the window is
  // loaded but not shown. Needs a QApplication.
  QtToolkit();
  ~QtToolkit() override;
  QtToolkit(const QtToolkit&) = delete;
  QtToolkit& operator=(const QtToolkit&) = delete;

  // Form3 while it is loaded; null once it has been unloaded.
  QWidget* window() const { return window_.get(); }

  Expected<float> ScreenWidth() override;
  Expected<float> ScreenHeight() override;
  Expected<float> Get(ControlId control, Dimension dimension) override;
  Status Set(ControlId control, Dimension dimension, float twips) override;
  Status SetVisible(ControlId control, bool visible) override;
  Expected<std::u16string> Caption(ControlId control) override;
  Status SetCaption(ControlId control, const std::u16string& caption) override;
  Status LoadWindow() override;
  Status UnloadWindow() override;
  Expected<std::int32_t> MessageBox(const std::u16string& prompt, std::int32_t buttons,
                                    const std::u16string& title) override;
  Expected<std::u16string> DirectorySearch(const std::u16string& path, std::int32_t attributes) override;
  Expected<std::int32_t> TextCompare(const std::u16string& left, const std::u16string& right) override;
  bool ExactEqual(const std::u16string& left, const std::u16string& right) override;

 private:
  Expected<QWidget*> Widget(ControlId control) const;

  std::unique_ptr<QWidget> window_;
};

}  // namespace spc::qt
