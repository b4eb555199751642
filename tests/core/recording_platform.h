// A platform that records every call the launcher makes, in order, with its
// arguments, and that can make any call fail or answer chosen values.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "launcher/form3.h"
#include "platform/platform.h"

namespace spc::testing {

std::string Utf8(std::u16string_view text);
std::string Describe(const Variant& value);  // "8:text", "3:4112", "10:80020004"
std::string Number(float twips);

class Recorder {
 public:
  // Makes a member fail: its `occurrence`-th call (counting from 1), or every
  // call when occurrence is 0.
  void FailOn(const std::string& member, int occurrence = 0);

  // Records the call and answers the status scripted for it.
  Status Enter(const std::string& member, const std::string& arguments = "");

  int Count(const std::string& member) const;
  bool Called(const std::string& call) const;  // an exact entry of the log

  std::vector<std::string> log;  // "member arguments", in call order

 private:
  std::map<std::string, std::vector<int>> failures_;
  std::map<std::string, int> counts_;
};

class RecordingToolkit : public Toolkit {
 public:
  explicit RecordingToolkit(Recorder& recorder);

  float screenWidth = 15360;
  float screenHeight = 11520;
  // How the toolkit applies a window width it is given (by default as given).
  std::function<float(float)> applyWindowWidth = [](float w) { return w; };
  // The directory search behind the toolkit; none is found unless a test
  // installs one.
  std::function<Expected<std::u16string>(const std::u16string&, std::int32_t)> directorySearch =
      [](const std::u16string&, std::int32_t) -> Expected<std::u16string> { return std::u16string(); };

  float Value(ControlId control, Dimension dimension) const;
  bool Visible(ControlId control) const { return visible_.at(control); }
  const std::u16string& CaptionOf(ControlId control) const { return captions_.at(control); }
  bool loaded() const { return loaded_; }
  // Whether Label1 was visible at any moment while the window was visible.
  bool labelEverShown() const { return labelEverShown_; }

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
  Recorder& r_;
  std::map<std::pair<ControlId, Dimension>, float> values_;
  std::map<ControlId, bool> visible_;
  std::map<ControlId, std::u16string> captions_;
  bool loaded_ = true;  // the run time has loaded the window before Load runs
  bool labelEverShown_ = false;
};

class RecordingOpenDialog : public OpenDialog {
 public:
  explicit RecordingOpenDialog(Recorder& recorder) : r_(recorder) {}

  // What the user picks when the dialog is shown; empty for a cancel.
  std::u16string choice;
  // Set to what the dialog's settings were when it was shown.
  std::map<DispId, Variant> shownWith;
  // Called as the dialog is shown.
  std::function<void()> onShow = [] {};

  Status PutProperty(DispId id, const Variant& value) override;
  Expected<Variant> GetProperty(DispId id) override;
  Status Invoke(DispId id) override;

 private:
  Recorder& r_;
  std::map<DispId, Variant> properties_{{dispid::kFileName, Variant::String(u"")}};
};

class RecordingSpreadsheet : public SpreadsheetAutomation {
 public:
  explicit RecordingSpreadsheet(Recorder& recorder) : r_(recorder) {}

  // The global object reports no active workbook (without failing).
  bool noActiveWorkbook = false;

  Expected<std::unique_ptr<SpreadsheetGlobal>> CreateGlobal() override;
  Expected<std::unique_ptr<Application>> CreateApplication() override;

 private:
  Recorder& r_;
};

// All of the above wired together, with the window.
struct RecordingPlatform {
  Recorder recorder;
  RecordingToolkit toolkit{recorder};
  RecordingOpenDialog dialog{recorder};
  RecordingSpreadsheet spreadsheet{recorder};
  SharedObject<SpreadsheetGlobal> global;
  Platform platform{toolkit, dialog, spreadsheet, global};
  Form3 form{platform};

  // Whether the window was visible when the dialog was shown over it.
  std::optional<bool> windowVisibleUnderDialog;
  RecordingPlatform() {
    dialog.onShow = [this] { windowVisibleUnderDialog = toolkit.Visible(ControlId::kForm3); };
  }
};

}  // namespace spc::testing
