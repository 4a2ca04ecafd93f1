#include "app/qt/banner.h"

#include <QAbstractSocket>
#include <QCoreApplication>
#include <QDir>
#include <QHostAddress>
#include <QTcpSocket>

#include "app/qt/message_box.h"
#include "app/qt/web_browser.h"

#ifndef JASOKIT_BANNER_CHECK_ADDRESS
#define JASOKIT_BANNER_CHECK_ADDRESS "127.0.0.1"
#endif
#ifndef JASOKIT_BANNER_URL
#define JASOKIT_BANNER_URL "http://127.0.0.1/address/banner.html"
#endif

namespace jasokit {

namespace {

// The window is built where sockets need no start-up (Windows has its own
// window, app/win32/); a test may still make it fail.
bool StartPlatformNetworking() { return true; }

}  // namespace

QString DefaultBannerCheckAddress() { return QStringLiteral(JASOKIT_BANNER_CHECK_ADDRESS); }

QString DefaultBannerUrl() { return QStringLiteral(JASOKIT_BANNER_URL); }

QString OfflineBannerPath() {
  return QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromLatin1(kOfflineBannerFileName));
}

bool ProbeBannerServer(const QString& address, quint16 port, int timeoutMs) {
  QHostAddress host;
  if (!host.setAddress(address) || host.protocol() != QAbstractSocket::IPv4Protocol) return false;
  QTcpSocket socket;
  socket.connectToHost(host, port);
  const bool connected = socket.waitForConnected(timeoutMs);
  socket.abort();
  return connected;
}

bool RunBannerStartup(CWebBrowser2& browser, const BannerSettings& settings) {
  const bool started = settings.startNetworking ? settings.startNetworking() : StartPlatformNetworking();
  if (!started) {
    ShowMessage(browser.window(), QStringLiteral("WSAStartup failed"));
    return false;
  }
  const bool online = ProbeBannerServer(settings.checkAddress, settings.checkPort, settings.timeoutMs);
  if (online) {
    browser.Navigate(settings.onlineUrl);
  } else {
    browser.Navigate(settings.offlinePath.isEmpty() ? OfflineBannerPath() : settings.offlinePath);
  }
  return true;
}

}  // namespace jasokit
