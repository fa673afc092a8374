#pragma once
// Reading the settings again while serving (SIGHUP), without dropping the browsers that watch
// recorders the new settings keep: a recorder at the same address keeps its cameras and their
// viewers; a recorder removed, or moved to another address, has its viewers closed with 1001
// ("going away") and its cameras retired; new recorders can be opened at once. Public names,
// origins and limits apply to the connections and cameras that come next. Settings read only
// at start (listen address, web root, secret file, access mode, metrics clients) are reported
// as needing a restart and left as they are. Settings that cannot be read leave everything
// as it was.
//
// Everything here runs on the gateway's I/O thread: the signal is taken by Asio, never acted
// on in a signal handler.
#include "hosts/gateway/GatewayOptions.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/signal_set.hpp>

#include <atomic>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace gateway {

// What taking over `fresh` settings in place of `running` ones means.
struct ReloadPlan {
  std::vector<std::string> closed;       // recorders removed or at another address: their viewers go
  std::vector<std::string> added;        // recorders new to the settings
  std::vector<std::string> needsRestart; // options changed that are read only at start
};
ReloadPlan planReload(const GatewayOptions& running, const GatewayOptions& fresh);
// Takes over the settings that may change while the gateway runs.
void applyReloadable(GatewayOptions& running, const GatewayOptions& fresh);

class ConfigReload {
public:
  // Reads the settings again (main: the same command line, with its config file).
  using SettingsSource = std::function<bool(GatewayOptions& fresh, std::string& error)>;
  // Closes the viewers and cameras of a recorder that is gone or has moved.
  using CloseRecorder = std::function<void(const std::string& recorder)>;

  // `running`: the settings the gateway serves by, changed in place.
  ConfigReload(boost::asio::io_context& io, GatewayOptions& running, SettingsSource source, CloseRecorder close,
               std::ostream& log);

  // Reloads at every SIGHUP until stop().
  void listen();
  void stop();
  // Reads the settings and applies them, or logs why not and keeps the old ones.
  void reload();

  std::uint64_t applied() const { return applied_.load(); }
  std::uint64_t rejected() const { return rejected_.load(); }

private:
  void await();

  GatewayOptions& running_;
  SettingsSource source_;
  CloseRecorder close_;
  std::ostream& log_;
  boost::asio::signal_set hangup_;
  std::atomic<std::uint64_t> applied_{0};
  std::atomic<std::uint64_t> rejected_{0};
};

} // namespace gateway
