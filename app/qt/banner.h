#pragma once
// The banner start-up: a TCP connect probe to a fixed server decides
// between the online banner page and the local page beside the executable.
#include <QString>

#include "app/dialog/banner_text.h"

namespace jasokit {

class CWebBrowser2;

// Build-time settings (CMake cache variables JASOKIT_BANNER_CHECK_ADDRESS
// and JASOKIT_BANNER_URL); both default to the loopback address.
QString DefaultBannerCheckAddress();
QString DefaultBannerUrl();

inline constexpr quint16 kBannerCheckPort = 80;
// A blocking connect without a bound can hold the window back for minutes
// on a machine without a route.
inline constexpr int kBannerProbeTimeoutMs = 1500;

struct BannerSettings {
  QString checkAddress = DefaultBannerCheckAddress();  // literal IPv4 address
  quint16 checkPort = kBannerCheckPort;
  int timeoutMs = kBannerProbeTimeoutMs;
  QString onlineUrl = DefaultBannerUrl();
  QString offlinePath;  // empty: jasokit_view_off.html beside the executable
  // Starts networking; false shows "WSAStartup failed".
  bool (*startNetworking)() = nullptr;  // null: nothing to start
};

// The executable's folder + jasokit_view_off.html.
QString OfflineBannerPath();

// True when a TCP connection to address:port (a literal IPv4 address) is
// set up within timeoutMs. Sends and reads nothing.
bool ProbeBannerServer(const QString& address, quint16 port, int timeoutMs);

// Starts networking (settings.startNetworking, where a test gives one),
// probes, and navigates browser to the online or the local page.
// Returns false, after the message "WSAStartup failed", when networking
// could not start; the panel then stays empty.
bool RunBannerStartup(CWebBrowser2& browser, const BannerSettings& settings);

}  // namespace jasokit
