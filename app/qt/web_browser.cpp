#include "app/qt/web_browser.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTextDocument>
#include <string>

#include "jasokit/cp949.h"

namespace jasokit {

namespace {

QByteArray CharsetOf(const QByteArray& text) {
  static const QRegularExpression pattern(QStringLiteral("charset\\s*=\\s*[\"']?([A-Za-z0-9_.:-]+)"),
                                          QRegularExpression::CaseInsensitiveOption);
  const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(text));
  return match.hasMatch() ? match.captured(1).toLatin1().toLower() : QByteArray();
}

bool IsKoreanCharset(const QByteArray& name) {
  return name == "euc-kr" || name == "cp949" || name == "ks_c_5601-1987" || name == "x-windows-949" ||
         name == "windows-949" || name == "uhc" || name == "ms949";
}

}  // namespace

QString DecodeHtml(const QByteArray& data, const QByteArray& contentType) {
  if (data.startsWith("\xEF\xBB\xBF") || data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF")) {
    QStringDecoder decoder = QStringDecoder::decoderForHtml(data);
    if (decoder.isValid()) return decoder.decode(data);
  }
  QByteArray charset = CharsetOf(contentType);
  if (charset.isEmpty()) charset = CharsetOf(data.left(1024));
  if (IsKoreanCharset(charset)) {
    std::string utf8;
    Cp949ToUtf8(std::string_view(data.constData(), static_cast<std::size_t>(data.size())), utf8);
    return QString::fromStdString(utf8);
  }
  if (!charset.isEmpty()) {
    QStringDecoder decoder(charset.constData());
    if (decoder.isValid()) return decoder.decode(data);
  }
  return QString::fromUtf8(data);
}

CWebBrowser2::CWebBrowser2(QWidget* parent) : QTextBrowser(parent) {
  setOpenLinks(false);
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  connect(this, &QTextBrowser::anchorClicked, this, &CWebBrowser2::openLink);
}

CWebBrowser2::~CWebBrowser2() {
  if (m_reply) m_reply->abort();
}

void CWebBrowser2::Navigate(const QString& location) {
  m_location = location;
  if (m_reply) {
    QNetworkReply* old = m_reply;
    m_reply = nullptr;
    old->abort();
  }
  const QUrl url(location);
  const QString scheme = url.scheme().toLower();
  if (scheme == QLatin1String("http") || scheme == QLatin1String("https")) {
    if (!m_network) m_network = new QNetworkAccessManager(this);
    QNetworkRequest request(url);
    request.setTransferTimeout(m_transferTimeoutMs);
    request.setMaximumRedirectsAllowed(5);
    m_reply = m_network->get(request);
    QNetworkReply* reply = m_reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { onReplyFinished(reply); });
    return;
  }
  // A plain path (a drive letter reads as a one-letter scheme) or a file URL.
  const QString path = (scheme == QLatin1String("file")) ? url.toLocalFile() : location;
  QFile file(path);
  if (path.isEmpty() || !file.open(QIODevice::ReadOnly) || file.size() > kMaxPageBytes) {
    showNothing();
    return;
  }
  const QByteArray data = file.readAll();
  showPage(data, QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()), {});
}

void CWebBrowser2::onReplyFinished(QNetworkReply* reply) {
  reply->deleteLater();
  if (reply != m_reply) return;  // replaced by a later Navigate
  m_reply = nullptr;
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  if (reply->error() != QNetworkReply::NoError || status < 200 || status >= 300) {
    showNothing();
    return;
  }
  const QByteArray data = reply->read(kMaxPageBytes + 1);
  if (data.size() > kMaxPageBytes) {
    showNothing();
    return;
  }
  showPage(data, reply->url(), reply->rawHeader("Content-Type"));
}

void CWebBrowser2::showPage(const QByteArray& data, const QUrl& base, const QByteArray& contentType) {
  document()->setBaseUrl(base);
  setHtml(DecodeHtml(data, contentType));
  emit loadFinished(true);
}

void CWebBrowser2::showNothing() {
  clear();
  emit loadFinished(false);
}

void CWebBrowser2::openLink(const QUrl& link) { QDesktopServices::openUrl(document()->baseUrl().resolved(link)); }

}  // namespace jasokit
