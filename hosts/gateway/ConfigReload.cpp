#include "hosts/gateway/ConfigReload.h"

#include <csignal>

namespace gateway {

namespace {

std::string joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

} // namespace

ReloadPlan planReload(const GatewayOptions& running, const GatewayOptions& fresh) {
  ReloadPlan plan;
  for (const RecorderAddress& recorder : running.recorders) {
    const RecorderAddress* now = findRecorder(fresh, recorder.name);
    if (!now || now->host != recorder.host || now->port != recorder.port) plan.closed.push_back(recorder.name);
  }
  for (const RecorderAddress& recorder : fresh.recorders)
    if (!findRecorder(running, recorder.name)) plan.added.push_back(recorder.name);
  // An empty web root stands for the default one the gateway filled in at start.
  const bool webRootKept = fresh.webRoot.empty() || fresh.webRoot == running.webRoot;
  if (fresh.listenHost != running.listenHost || fresh.listenPort != running.listenPort)
    plan.needsRestart.push_back("listen");
  if (!webRootKept) plan.needsRestart.push_back("web-root");
  if (fresh.secretFile != running.secretFile) plan.needsRestart.push_back("secret-file");
  if (fresh.noAccessControl != running.noAccessControl) plan.needsRestart.push_back("no-access-control");
  if (fresh.metricsFrom != running.metricsFrom) plan.needsRestart.push_back("metrics-from");
  return plan;
}

void applyReloadable(GatewayOptions& running, const GatewayOptions& fresh) {
  running.recorders = fresh.recorders;
  running.publicNames = fresh.publicNames;
  running.allowedOrigins = fresh.allowedOrigins;
  running.frameAncestors = fresh.frameAncestors;
  running.maxConnections = fresh.maxConnections;
  running.maxPerClient = fresh.maxPerClient;
  running.maxCameras = fresh.maxCameras;
  running.lingerMs = fresh.lingerMs;
  running.quiet = fresh.quiet;
}

ConfigReload::ConfigReload(boost::asio::io_context& io, GatewayOptions& running, SettingsSource source,
                           CloseRecorder close, std::ostream& log)
    : running_(running), source_(std::move(source)), close_(std::move(close)), log_(log), hangup_(io) {}

void ConfigReload::listen() {
  boost::system::error_code ignored;
  hangup_.add(SIGHUP, ignored);
  await();
}

void ConfigReload::stop() {
  boost::system::error_code ignored;
  hangup_.cancel(ignored);
  hangup_.clear(ignored);
}

void ConfigReload::await() {
  hangup_.async_wait([this](const boost::system::error_code& error, int) {
    if (error) return; // stopped
    reload();
    await();
  });
}

void ConfigReload::reload() {
  GatewayOptions fresh;
  std::string error;
  if (!source_(fresh, error)) {
    // Said whatever --quiet says: the operator is waiting for the outcome.
    log_ << "camview-gateway: reload refused, the settings stay as they were: " << error << std::endl;
    rejected_.fetch_add(1); // after the line: whoever sees the count finds it written
    return;
  }
  const ReloadPlan plan = planReload(running_, fresh);
  applyReloadable(running_, fresh);
  for (const std::string& recorder : plan.closed) close_(recorder);
  log_ << "camview-gateway: settings reloaded";
  if (!plan.added.empty()) log_ << "; recorders added: " << joined(plan.added);
  if (!plan.closed.empty()) log_ << "; recorders removed or moved: " << joined(plan.closed);
  if (!plan.needsRestart.empty()) log_ << "; changed, needs a restart: " << joined(plan.needsRestart);
  log_ << std::endl;
  applied_.fetch_add(1);
}

} // namespace gateway
