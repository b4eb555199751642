#include "core/recording_platform.h"

#include <cmath>
#include <cstdio>
#include <iomanip>
#include <sstream>

#include "launcher/form3_definition.h"
#include "platform/utf.h"

namespace spc::testing {

std::string Utf8(std::u16string_view text) {
  Expected<std::string> bytes = ToUtf8(text);
  return bytes ? *bytes : "<not UTF-16>";
}

std::string Describe(const Variant& value) {
  std::ostringstream out;
  out << static_cast<int>(value.type) << ':';
  switch (value.type) {
    case VarType::kBstr: out << Utf8(value.text); break;
    case VarType::kError: out << std::hex << static_cast<std::uint32_t>(value.integer); break;
    default: out << value.integer; break;
  }
  return out.str();
}

std::string Number(float twips) {
  std::ostringstream out;
  out << std::setprecision(9) << twips;
  return out.str();
}

namespace {

std::string Name(ControlId id) { return Utf8(ControlName(id)); }

std::string Name(ControlId id, Dimension d) {
  static constexpr const char* kDimensions[] = {"Width", "Height", "Left", "Top"};
  return Name(id) + "." + kDimensions[static_cast<int>(d)];
}

}  // namespace

void Recorder::FailOn(const std::string& member, int occurrence) { failures_[member].push_back(occurrence); }

Status Recorder::Enter(const std::string& member, const std::string& arguments) {
  log.push_back(arguments.empty() ? member : member + " " + arguments);
  const int n = ++counts_[member];
  const auto it = failures_.find(member);
  if (it != failures_.end()) {
    for (int occurrence : it->second) {
      if (occurrence == 0 || occurrence == n) return Status(code::kFail);
    }
  }
  return kOk;
}

int Recorder::Count(const std::string& member) const {
  const auto it = counts_.find(member);
  return it == counts_.end() ? 0 : it->second;
}

bool Recorder::Called(const std::string& call) const {
  for (const std::string& entry : log) {
    if (entry == call) return true;
  }
  return false;
}

// ---- toolkit

RecordingToolkit::RecordingToolkit(Recorder& recorder) : r_(recorder) {
  const Form3Definition& d = kForm3Definition;
  values_[{ControlId::kForm3, Dimension::kLeft}] = d.window.clientLeft;
  values_[{ControlId::kForm3, Dimension::kTop}] = d.window.clientTop;
  values_[{ControlId::kForm3, Dimension::kWidth}] = d.window.clientWidth;
  values_[{ControlId::kForm3, Dimension::kHeight}] = d.window.clientHeight;
  for (const PictureBoxDefinition& p : d.pictures) {
    values_[{p.id, Dimension::kLeft}] = p.left;
    values_[{p.id, Dimension::kTop}] = p.top;
    values_[{p.id, Dimension::kWidth}] = p.width;
    values_[{p.id, Dimension::kHeight}] = p.height;
    visible_[p.id] = true;
  }
  values_[{ControlId::kLabel1, Dimension::kLeft}] = d.label1.left;
  values_[{ControlId::kLabel1, Dimension::kTop}] = d.label1.top;
  values_[{ControlId::kLabel1, Dimension::kWidth}] = d.label1.width;
  values_[{ControlId::kLabel1, Dimension::kHeight}] = d.label1.height;
  visible_[ControlId::kLabel1] = true;
  visible_[ControlId::kForm3] = false;
  captions_[ControlId::kForm3] = std::u16string(d.window.caption);
  captions_[ControlId::kLabel1] = u"";
}

float RecordingToolkit::Value(ControlId control, Dimension dimension) const {
  return values_.at({control, dimension});
}

Expected<float> RecordingToolkit::ScreenWidth() {
  SPC_TRY(r_.Enter("ScreenWidth"));
  return screenWidth;
}

Expected<float> RecordingToolkit::ScreenHeight() {
  SPC_TRY(r_.Enter("ScreenHeight"));
  return screenHeight;
}

Expected<float> RecordingToolkit::Get(ControlId control, Dimension dimension) {
  SPC_TRY(r_.Enter("Get " + Name(control, dimension)));
  return values_.at({control, dimension});
}

Status RecordingToolkit::Set(ControlId control, Dimension dimension, float twips) {
  SPC_TRY(r_.Enter("Set " + Name(control, dimension), Number(twips)));
  // Like a real toolkit, refuse what is no position or size at all.
  if (!std::isfinite(twips)) return Status(code::kInvalidArgument);
  if (control == ControlId::kForm3 && dimension == Dimension::kWidth) twips = applyWindowWidth(twips);
  values_[{control, dimension}] = twips;
  return kOk;
}

Status RecordingToolkit::SetVisible(ControlId control, bool visible) {
  SPC_TRY(r_.Enter("SetVisible " + Name(control), visible ? "-1" : "0"));
  visible_[control] = visible;
  if (visible_[ControlId::kForm3] && visible_[ControlId::kLabel1]) labelEverShown_ = true;
  return kOk;
}

Expected<std::u16string> RecordingToolkit::Caption(ControlId control) {
  SPC_TRY(r_.Enter("Caption " + Name(control)));
  return captions_.at(control);
}

Status RecordingToolkit::SetCaption(ControlId control, const std::u16string& caption) {
  SPC_TRY(r_.Enter("SetCaption " + Name(control), Utf8(caption)));
  captions_[control] = caption;
  return kOk;
}

Status RecordingToolkit::LoadWindow() { return r_.Enter("LoadWindow"); }

Status RecordingToolkit::UnloadWindow() {
  SPC_TRY(r_.Enter("UnloadWindow"));
  loaded_ = false;
  visible_[ControlId::kForm3] = false;
  return kOk;
}

Expected<std::int32_t> RecordingToolkit::MessageBox(const std::u16string& prompt, std::int32_t buttons,
                                                    const std::u16string& title) {
  SPC_TRY(r_.Enter("MessageBox", Utf8(prompt) + " | " + std::to_string(buttons) + " | " + Utf8(title)));
  return 1;  // OK
}

Expected<std::u16string> RecordingToolkit::DirectorySearch(const std::u16string& path, std::int32_t attributes) {
  SPC_TRY(r_.Enter("DirectorySearch", Utf8(path) + " | " + std::to_string(attributes)));
  return directorySearch(path, attributes);
}

Expected<std::int32_t> RecordingToolkit::TextCompare(const std::u16string& left, const std::u16string& right) {
  SPC_TRY(r_.Enter("TextCompare", Utf8(left) + " | " + Utf8(right)));
  auto fold = [](char16_t c) -> char16_t { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; };
  for (std::size_t i = 0; i < left.size() && i < right.size(); ++i) {
    if (fold(left[i]) != fold(right[i])) return fold(left[i]) < fold(right[i]) ? -1 : 1;
  }
  return left.size() == right.size() ? 0 : left.size() < right.size() ? -1 : 1;
}

bool RecordingToolkit::ExactEqual(const std::u16string& left, const std::u16string& right) {
  (void)r_.Enter("ExactEqual", Utf8(left) + " | " + Utf8(right));
  return left == right;
}

// ---- Open dialog

Status RecordingOpenDialog::PutProperty(DispId id, const Variant& value) {
  SPC_TRY(r_.Enter("Dialog.Put " + std::to_string(id), Describe(value)));
  properties_[id] = value;
  return kOk;
}

Expected<Variant> RecordingOpenDialog::GetProperty(DispId id) {
  SPC_TRY(r_.Enter("Dialog.Get " + std::to_string(id)));
  const auto it = properties_.find(id);
  if (it == properties_.end()) return Variant{};
  return it->second;
}

Status RecordingOpenDialog::Invoke(DispId id) {
  SPC_TRY(r_.Enter("Dialog.Invoke " + std::to_string(id)));
  if (id != dispid::kShowOpen) return Status(code::kNotImplemented);
  shownWith = properties_;
  onShow();
  // A cancel leaves the file name as it was.
  if (!choice.empty()) properties_[dispid::kFileName] = Variant::String(choice);
  return kOk;
}

// ---- spreadsheet

namespace {

class RecordingWorkbook : public Workbook {
 public:
  RecordingWorkbook(Recorder& r, std::string name) : r_(r), name_(std::move(name)) {}
  ~RecordingWorkbook() override { (void)r_.Enter("Release " + name_); }
  Status RunAutoMacros(std::int32_t which, Lcid lcid) override {
    return r_.Enter(name_ + ".RunAutoMacros", std::to_string(which) + " " + std::to_string(lcid));
  }

 private:
  Recorder& r_;
  std::string name_;
};

class RecordingWorkbooks : public Workbooks {
 public:
  explicit RecordingWorkbooks(Recorder& r) : r_(r) {}
  ~RecordingWorkbooks() override { (void)r_.Enter("Release Workbooks"); }
  Expected<std::unique_ptr<Workbook>> Open(const std::u16string& filename, const OpenOptions& options,
                                           Lcid lcid) override {
    std::string arguments = Utf8(filename) + " |";
    for (const Variant& option : options) arguments += " " + Describe(option);
    SPC_TRY(r_.Enter("Workbooks.Open", arguments + " | " + std::to_string(lcid)));
    return std::unique_ptr<Workbook>(std::make_unique<RecordingWorkbook>(r_, "OpenedWorkbook"));
  }

 private:
  Recorder& r_;
};

class RecordingApplication : public Application {
 public:
  RecordingApplication(Recorder& r, std::string name) : r_(r), name_(std::move(name)) {}
  ~RecordingApplication() override { (void)r_.Enter("Release " + name_); }
  Status PutDisplayAlerts(Lcid lcid, VariantBool value) override {
    return r_.Enter(name_ + ".DisplayAlerts", std::to_string(lcid) + " " + std::to_string(value));
  }
  Status PutVisible(Lcid lcid, VariantBool value) override {
    return r_.Enter(name_ + ".Visible", std::to_string(lcid) + " " + std::to_string(value));
  }
  Expected<std::unique_ptr<Workbooks>> GetWorkbooks() override {
    SPC_TRY(r_.Enter(name_ + ".Workbooks"));
    return std::unique_ptr<Workbooks>(std::make_unique<RecordingWorkbooks>(r_));
  }

 private:
  Recorder& r_;
  std::string name_;
};

class RecordingGlobal : public SpreadsheetGlobal {
 public:
  RecordingGlobal(Recorder& r, const bool& noActiveWorkbook) : r_(r), noActiveWorkbook_(noActiveWorkbook) {}
  ~RecordingGlobal() override { (void)r_.Enter("Release Global"); }
  Expected<std::unique_ptr<Application>> GetApplication() override {
    SPC_TRY(r_.Enter("Global.Application"));
    return std::unique_ptr<Application>(std::make_unique<RecordingApplication>(r_, "GlobalApplication"));
  }
  Expected<std::unique_ptr<Workbook>> GetActiveWorkbook() override {
    SPC_TRY(r_.Enter("Global.ActiveWorkbook"));
    if (noActiveWorkbook_) return std::unique_ptr<Workbook>();
    return std::unique_ptr<Workbook>(std::make_unique<RecordingWorkbook>(r_, "ActiveWorkbook"));
  }

 private:
  Recorder& r_;
  const bool& noActiveWorkbook_;
};

}  // namespace

Expected<std::unique_ptr<SpreadsheetGlobal>> RecordingSpreadsheet::CreateGlobal() {
  SPC_TRY(r_.Enter("CreateGlobal"));
  return std::unique_ptr<SpreadsheetGlobal>(std::make_unique<RecordingGlobal>(r_, noActiveWorkbook));
}

Expected<std::unique_ptr<Application>> RecordingSpreadsheet::CreateApplication() {
  SPC_TRY(r_.Enter("CreateApplication"));
  return std::unique_ptr<Application>(std::make_unique<RecordingApplication>(r_, "NewApplication"));
}

}  // namespace spc::testing
