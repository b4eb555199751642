#include "spreadsheet_double.h"

namespace spc::testing {

namespace {

class Book final : public Workbook {
 public:
  Status RunAutoMacros(std::int32_t, Lcid) override { return kOk; }
};

class Books final : public Workbooks {
 public:
  explicit Books(SpreadsheetDouble& owner) : owner_(owner) {}
  Expected<std::unique_ptr<Workbook>> Open(const std::u16string& filename, const OpenOptions&, Lcid) override {
    owner_.opened.push_back(filename);
    return std::unique_ptr<Workbook>(std::make_unique<Book>());
  }

 private:
  SpreadsheetDouble& owner_;
};

class App final : public Application {
 public:
  explicit App(SpreadsheetDouble& owner) : owner_(owner) {}
  Status PutDisplayAlerts(Lcid, VariantBool) override { return kOk; }
  Status PutVisible(Lcid, VariantBool) override { return kOk; }
  Expected<std::unique_ptr<Workbooks>> GetWorkbooks() override {
    return std::unique_ptr<Workbooks>(std::make_unique<Books>(owner_));
  }

 private:
  SpreadsheetDouble& owner_;
};

}  // namespace

Expected<std::unique_ptr<SpreadsheetGlobal>> SpreadsheetDouble::CreateGlobal() {
  return Status(code::kClassNotRegistered);
}

Expected<std::unique_ptr<Application>> SpreadsheetDouble::CreateApplication() {
  ++applicationsCreated;
  onCreateApplication();
  return std::unique_ptr<Application>(std::make_unique<App>(*this));
}

}  // namespace spc::testing
