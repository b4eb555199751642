// The window toolkit as the launcher sees it: the screen, the one window
// Form3 and its controls, the message box, the directory search and the two
// string comparisons. Every call reports a status; none throws.
//
// Sizes and positions are twips (1440 to the inch) in single precision. A
// control's Left and Top are measured from the top-left corner of the
// window's client area; the window's from the screen's.
#pragma once

#include <cstdint>
#include <string>

#include "platform/status.h"

namespace spc {

enum class ControlId { kForm3, kLabel1, kPicture1, kPicture2, kPicture3, kPicture4, kPicture5 };

enum class Dimension { kWidth, kHeight, kLeft, kTop };

// Message box buttons value 0: a single OK button and no icon.
inline constexpr std::int32_t kOkOnly = 0;

// Attribute mask of the directory search that matches normal files only
// (not hidden, not system, not directories).
inline constexpr std::int32_t kNormalFiles = 0;
inline constexpr std::int32_t kHiddenFiles = 2;
inline constexpr std::int32_t kSystemFiles = 4;
inline constexpr std::int32_t kDirectories = 16;

class Toolkit {
 public:
  virtual ~Toolkit() = default;

  virtual Expected<float> ScreenWidth() = 0;
  virtual Expected<float> ScreenHeight() = 0;

  virtual Expected<float> Get(ControlId control, Dimension dimension) = 0;
  virtual Status Set(ControlId control, Dimension dimension, float twips) = 0;
  virtual Status SetVisible(ControlId control, bool visible) = 0;
  virtual Expected<std::u16string> Caption(ControlId control) = 0;
  virtual Status SetCaption(ControlId control, const std::u16string& caption) = 0;

  // Load of the window: while its load is under way this neither creates a
  // second window nor raises Load again.
  virtual Status LoadWindow() = 0;
  // Unload of the window: it closes at once. With the only window unloaded,
  // the process ends once the Load handler has returned.
  virtual Status UnloadWindow() = 0;

  // Modal; returns the button pressed once the user has dismissed it.
  virtual Expected<std::int32_t> MessageBox(const std::u16string& prompt, std::int32_t buttons,
                                            const std::u16string& title) = 0;

  // Name of the first directory entry that matches `path` (wildcards allowed
  // in its last component) and `attributes`; empty text when none does. A name
  // the file system rejects is a failure.
  virtual Expected<std::u16string> DirectorySearch(const std::u16string& path, std::int32_t attributes) = 0;

  // Text comparison, case ignored: -1, 0 or 1 as `left` sorts before, equal to
  // or after `right`. A non-empty text sorts after the empty one.
  virtual Expected<std::int32_t> TextCompare(const std::u16string& left, const std::u16string& right) = 0;

  // Exact comparison, code unit by code unit.
  virtual bool ExactEqual(const std::u16string& left, const std::u16string& right) = 0;
};

}  // namespace spc
