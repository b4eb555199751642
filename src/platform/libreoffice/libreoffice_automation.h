// The spreadsheet automation served by LibreOffice Calc over UNO.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "platform/spreadsheet.h"

namespace spc::libreoffice {

// Where and how the office is reached.
struct Options {
  // The UNO pipe of the user's office (see DefaultPipeName()).
  std::string pipeName;
  // The program that starts the office, looked up on the PATH.
  std::string soffice = "soffice";
  // How long a started office may take to answer. Its first start in a fresh
  // profile takes tens of seconds on a slow machine.
  std::chrono::milliseconds startTimeout{60000};
  // How long to wait for an office that already ran, once the started
  // soffice has handed its arguments over to it and exited.
  std::chrono::milliseconds handOverTimeout{15000};
};

// Options for the user's own office: a per-user, per-profile pipe.
Options DefaultOptions();

// Reaches the user's office through a per-user named pipe, starting it when
// nothing answers there.
std::unique_ptr<SpreadsheetAutomation> MakeAutomation();
std::unique_ptr<SpreadsheetAutomation> MakeAutomation(const Options& options);

}  // namespace spc::libreoffice
