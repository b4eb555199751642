#include "platform/libreoffice/office_session.h"

#include <com/sun/star/bridge/BridgeFactory.hpp>
#include <com/sun/star/bridge/XBridge.hpp>
#include <com/sun/star/connection/Connector.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/uno/Exception.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <rtl/bootstrap.hxx>

#include <signal.h>

#include <mutex>
#include <thread>

#include "platform/libreoffice/office_process.h"

namespace spc::libreoffice {

namespace uno = css::uno;
using rtl::OUString;
using uno::Reference;
using uno::UNO_QUERY;

namespace {

// The process's own UNO environment, made once: just enough to open a
// connection and speak the remote protocol over it.
Reference<uno::XComponentContext> LocalContext() {
  static std::once_flag once;
  static Reference<uno::XComponentContext> context;
  std::call_once(once, [] {
    // The bridge writes to a socket whose other end is the office: an office
    // that ends (crashes, is killed, is closed by its user) must make the
    // next call fail with an exception, not end this process with SIGPIPE.
    // The launcher writes to no pipe of its own that would need the signal;
    // the office is started with the default disposition back.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, nullptr);
    try {
      // Types and services come from the office installation; without this
      // the bootstrap looks next to the launcher's own executable.
      rtl::Bootstrap::setIniFilename("file://" SPC_LIBREOFFICE_PROGRAM "/fundamentalrc");
      context = cppu::defaultBootstrap_InitialComponentContext("file://" SPC_LIBREOFFICE_PROGRAM "/unorc");
    } catch (const uno::Exception&) {
      context.clear();
    }
  });
  return context;
}

// One attempt to reach an office on `pipe`; empty when nothing answers.
std::unique_ptr<OfficeSession> TryConnect(const Reference<uno::XComponentContext>& local, const std::string& pipe) {
  try {
    const Reference<css::connection::XConnection> connection =
        css::connection::Connector::create(local)->connect(OUString::createFromAscii(("pipe,name=" + pipe).c_str()));
    const Reference<css::bridge::XBridge> bridge =
        css::bridge::BridgeFactory::create(local)->createBridge("", "urp", connection, nullptr);
    const Reference<uno::XComponentContext> remote(bridge->getInstance("StarOffice.ComponentContext"), UNO_QUERY);
    const Reference<css::lang::XComponent> bridge_component(bridge, UNO_QUERY);
    if (!remote.is()) {
      if (bridge_component.is()) bridge_component->dispose();
      return nullptr;
    }
    Reference<css::frame::XDesktop2> desktop = css::frame::Desktop::create(remote);
    return std::make_unique<OfficeSession>(bridge_component, remote, desktop);
  } catch (const uno::Exception&) {
    return nullptr;
  }
}

}  // namespace

bool IsSpreadsheet(const Reference<uno::XInterface>& component) {
  try {
    const Reference<css::lang::XServiceInfo> info(component, UNO_QUERY);
    return info.is() && info->supportsService("com.sun.star.sheet.SpreadsheetDocument");
  } catch (const uno::Exception&) {
    return false;
  }
}

Expected<std::shared_ptr<OfficeSession>> OfficeSession::Connect(const Options& options) {
  const Reference<uno::XComponentContext> local = LocalContext();
  if (!local.is()) return Status(code::kClassNotRegistered);

  if (std::unique_ptr<OfficeSession> session = TryConnect(local, options.pipeName)) return std::shared_ptr<OfficeSession>(std::move(session));

  // Nothing answers: start an office on that pipe. When one already runs on
  // the same profile, the new soffice hands the --accept over to it and exits.
  Expected<pid_t> started = StartDetached(options.soffice, OfficeArguments(options.pipeName));
  if (!started) return started.status();

  using Clock = std::chrono::steady_clock;
  Clock::time_point deadline = Clock::now() + options.startTimeout;
  bool handed_over = false;
  while (Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (std::unique_ptr<OfficeSession> session = TryConnect(local, options.pipeName)) return std::shared_ptr<OfficeSession>(std::move(session));
    if (!handed_over) {
      switch (PollChild(*started)) {
        case ChildState::kRunning:
          break;
        case ChildState::kFailed:
          // Died before it answered: no office will come.
          if (std::unique_ptr<OfficeSession> session = TryConnect(local, options.pipeName)) {
            return std::shared_ptr<OfficeSession>(std::move(session));
          }
          return Status(code::kClassNotRegistered);
        case ChildState::kExitedOk:
          // Handed over to an office that already runs: it answers soon or not at all.
          handed_over = true;
          deadline = std::min(deadline, Clock::now() + options.handOverTimeout);
          break;
      }
    }
  }
  return Status(code::kClassNotRegistered);
}

OfficeSession::OfficeSession(Reference<css::lang::XComponent> bridge, Reference<uno::XComponentContext> context,
                             Reference<css::frame::XDesktop2> desktop)
    : bridge_(std::move(bridge)), context_(std::move(context)), desktop_(std::move(desktop)) {}

OfficeSession::~OfficeSession() {
  // The bridge is released, not disposed: the process's UNO environment
  // keeps one proxy per remote object, and a later connection to the same
  // office (a new session, a second look at it) gets the proxies still
  // registered from this one. Disposing this bridge would break those
  // proxies under the other connection ("bridge already disposed", or a
  // write to a closed socket). The bridge ends by itself once no proxy of it
  // is left.
  lastOpened_.clear();
  desktop_.clear();
  context_.clear();
  bridge_.clear();
}

bool OfficeSession::Alive() {
  try {
    return desktop_.is() && desktop_->getFrames().is();
  } catch (const uno::Exception&) {
    return false;
  }
}

Reference<css::frame::XModel> OfficeSession::ActiveWorkbook() {
  try {
    const Reference<css::frame::XModel> current(desktop_->getCurrentComponent(), UNO_QUERY);
    if (current.is() && IsSpreadsheet(current)) return current;
  } catch (const uno::Exception&) {
  }
  if (lastOpened_.is()) {
    try {
      // A closed document is disposed: any call on it fails.
      (void)lastOpened_->getURL();
      if (lastOpened_->getCurrentController().is()) return lastOpened_;
    } catch (const uno::Exception&) {
    }
    lastOpened_.clear();
  }
  return {};
}

}  // namespace spc::libreoffice
