#pragma once
// The banner panel: shows one HTML page, either a local file or a page
// fetched over http. Loading never blocks; a page that cannot be loaded
// leaves the panel blank. Links open in the system's web browser.
#include <QPointer>
#include <QString>
#include <QTextBrowser>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

namespace jasokit {

class CWebBrowser2 : public QTextBrowser {
  Q_OBJECT

 public:
  // Largest page accepted; anything bigger leaves the panel blank.
  static constexpr qint64 kMaxPageBytes = 1 << 20;
  // A server that accepts and never answers would otherwise hold the request,
  // and the panel, for ever: a fetch with no bytes moving this long fails.
  static constexpr int kTransferTimeoutMs = 15000;

  explicit CWebBrowser2(QWidget* parent = nullptr);
  ~CWebBrowser2() override;

  // Starts loading location: an http or https URL, a file URL or a local
  // path. Returns at once; loadFinished reports the outcome.
  void Navigate(const QString& location);

  // The location last given to Navigate.
  QString location() const { return m_location; }

  // Applies to fetches started after the call.
  void setTransferTimeout(int ms) { m_transferTimeoutMs = ms; }
  int transferTimeout() const { return m_transferTimeoutMs; }

 signals:
  void loadFinished(bool ok);

 private:
  void showPage(const QByteArray& data, const QUrl& base, const QByteArray& contentType);
  void showNothing();
  void onReplyFinished(QNetworkReply* reply);
  void openLink(const QUrl& link);

  QString m_location;
  QNetworkAccessManager* m_network = nullptr;
  QPointer<QNetworkReply> m_reply;
  int m_transferTimeoutMs = kTransferTimeoutMs;
};

// HTML bytes to text: a byte order mark or a charset named in the
// Content-Type header or the page itself decides; EUC-KR and CP949 pages are
// decoded as CP949; anything else is taken as UTF-8.
QString DecodeHtml(const QByteArray& data, const QByteArray& contentType = {});

}  // namespace jasokit
