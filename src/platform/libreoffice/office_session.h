// One UNO connection to the user's office, shared by every automation object
// of the process: the global object and each "new instance" reach the same
// office, its desktop, and the launcher's own notion of the active workbook.
#pragma once

#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>

#include <memory>

#include "platform/libreoffice/libreoffice_automation.h"
#include "platform/status.h"

namespace spc::libreoffice {

class OfficeSession {
 public:
  // Connects to the office answering on the options' pipe, starting one when
  // nothing answers there. Fails with kClassNotRegistered when no office can
  // be started or none answers in time.
  static Expected<std::shared_ptr<OfficeSession>> Connect(const Options& options);

  OfficeSession(css::uno::Reference<css::lang::XComponent> bridge,
                css::uno::Reference<css::uno::XComponentContext> context,
                css::uno::Reference<css::frame::XDesktop2> desktop);
  // Releases the office's objects and the bridge, which ends once no proxy
  // of it is left; the office, its windows and its documents stay.
  ~OfficeSession();
  OfficeSession(const OfficeSession&) = delete;
  OfficeSession& operator=(const OfficeSession&) = delete;

  // Whether the office still answers over this connection.
  bool Alive();

  const css::uno::Reference<css::uno::XComponentContext>& context() const { return context_; }
  const css::uno::Reference<css::frame::XDesktop2>& desktop() const { return desktop_; }

  // The alerts switch: off means every load goes through a handler that
  // aborts whatever the office would ask.
  bool alerts = true;

  // The workbook this process opened last, kept because the office's own
  // current component is unreliable without a window manager.
  void SetLastOpened(const css::uno::Reference<css::frame::XModel>& model) { lastOpened_ = model; }
  // The office's current spreadsheet document, else the last workbook opened
  // through this process while it is still open; empty when there is none.
  css::uno::Reference<css::frame::XModel> ActiveWorkbook();

 private:
  css::uno::Reference<css::lang::XComponent> bridge_;
  css::uno::Reference<css::uno::XComponentContext> context_;
  css::uno::Reference<css::frame::XDesktop2> desktop_;
  css::uno::Reference<css::frame::XModel> lastOpened_;
};

// Whether `component` is an open spreadsheet document.
bool IsSpreadsheet(const css::uno::Reference<css::uno::XInterface>& component);

}  // namespace spc::libreoffice
