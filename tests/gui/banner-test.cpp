// The banner panel and its start-up probe, against a loopback HTTP server.
// Runs with QT_QPA_PLATFORM=offscreen.
#include "app/qt/banner.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include "gui-test-util.h"
#include "app/qt/web_browser.h"

using namespace jasokit;
using jasokit::test::ClosedPort;
using jasokit::test::MessageRecorder;

namespace {

// Answers every GET with one fixed response and remembers the paths asked
// for. Connections that send nothing (the probe) are simply dropped.
class PageServer : public QObject {
 public:
  explicit PageServer(QByteArray response) : m_response(std::move(response)) {
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
          m_request += socket->readAll();
          if (!m_request.contains("\r\n\r\n")) return;
          const QList<QByteArray> words = m_request.split(' ');
          if (words.size() > 1) m_paths << QString::fromLatin1(words[1]);
          m_request.clear();
          socket->write(m_response);
          socket->disconnectFromHost();
        });
      }
    });
  }

  quint16 port() const { return m_server.serverPort(); }
  QString url(const char* path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(QLatin1String(path));
  }
  const QStringList& paths() const { return m_paths; }

 private:
  QTcpServer m_server;
  QByteArray m_response;
  QByteArray m_request;
  QStringList m_paths;
};

QByteArray HttpResponse(const char* status, const QByteArray& contentType, const QByteArray& body) {
  return QByteArray("HTTP/1.1 ") + status + "\r\nContent-Type: " + contentType +
         "\r\nConnection: close\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

QString WriteFile(const QTemporaryDir& dir, const char* name, const QByteArray& content) {
  const QString path = dir.filePath(QLatin1String(name));
  QFile file(path);
  if (file.open(QIODevice::WriteOnly)) file.write(content);
  return path;
}

}  // namespace

class BannerTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void probeConnectsOnlyToAListeningIpv4Address() {
    PageServer server("");
    QVERIFY(ProbeBannerServer(QStringLiteral("127.0.0.1"), server.port(), 1500));
    QVERIFY(!ProbeBannerServer(QStringLiteral("127.0.0.1"), ClosedPort(), 1500));
    // Only literal IPv4 addresses are probed; anything else fails at once.
    for (const char* address : {"", "localhost", "::1", "127.0.0.1.5", "256.0.0.1"}) {
      QVERIFY2(!ProbeBannerServer(QLatin1String(address), server.port(), 1500), address);
    }
  }

  void reachableServerShowsTheOnlinePage() {
    PageServer server(
        HttpResponse("200 OK", "text/html; charset=utf-8", "<html><body><p>online banner 온라인</p></body></html>"));
    QTemporaryDir dir;
    BannerSettings settings;
    settings.checkAddress = QStringLiteral("127.0.0.1");
    settings.checkPort = server.port();
    settings.onlineUrl = server.url("/address/banner.html");
    settings.offlinePath = WriteFile(dir, "jasokit_view_off.html", "<p>offline page</p>");

    MessageRecorder messages;
    CWebBrowser2 browser;
    QSignalSpy finished(&browser, &CWebBrowser2::loadFinished);
    QVERIFY(RunBannerStartup(browser, settings));
    QCOMPARE(browser.location(), settings.onlineUrl);
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().toBool(), true);
    QVERIFY(browser.toPlainText().contains(QStringLiteral("online banner 온라인")));
    QCOMPARE(server.paths(), QStringList{QStringLiteral("/address/banner.html")});
    QVERIFY(messages.texts().isEmpty());
  }

  void closedPortShowsTheLocalPage() {
    QTemporaryDir dir;
    BannerSettings settings;
    settings.checkAddress = QStringLiteral("127.0.0.1");
    settings.checkPort = ClosedPort();
    settings.onlineUrl = QStringLiteral("http://127.0.0.1:%1/address/banner.html").arg(settings.checkPort);
    settings.offlinePath = WriteFile(dir, "jasokit_view_off.html", "<p>offline page 오프라인</p>");

    CWebBrowser2 browser;
    QVERIFY(RunBannerStartup(browser, settings));
    QCOMPARE(browser.location(), settings.offlinePath);
    QVERIFY(browser.toPlainText().contains(QStringLiteral("offline page 오프라인")));
  }

  void localPageBesideTheExecutableByDefault() {
    QCOMPARE(OfflineBannerPath(),
             QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("jasokit_view_off.html")));
    // The page ships beside the program.
    const QString shipped = QStringLiteral(JASOKIT_BINARY_DIR "/app/jasokit_view_off.html");
    QVERIFY(QFile::exists(shipped));
    CWebBrowser2 browser;
    browser.Navigate(shipped);
    QVERIFY(browser.toPlainText().contains(QStringLiteral("Jaso_Kit")));
  }

  void failedStartOfNetworkingIsReported() {
    MessageRecorder messages;
    BannerSettings settings;
    settings.startNetworking = [] { return false; };
    CWebBrowser2 browser;
    QVERIFY(!RunBannerStartup(browser, settings));
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("WSAStartup failed")});
    QVERIFY(browser.location().isEmpty());
    QVERIFY(browser.toPlainText().isEmpty());
  }

  void failedLoadsLeaveThePanelBlank() {
    PageServer notFound(HttpResponse("404 Not Found", "text/html", "<p>missing page</p>"));
    CWebBrowser2 browser;
    QSignalSpy finished(&browser, &CWebBrowser2::loadFinished);
    browser.setHtml(QStringLiteral("<p>old</p>"));

    browser.Navigate(notFound.url("/address/banner.html"));
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(finished.takeFirst().first().toBool(), false);
    QVERIFY(browser.toPlainText().isEmpty());

    browser.setHtml(QStringLiteral("<p>old</p>"));
    browser.Navigate(QStringLiteral("http://127.0.0.1:%1/address/banner.html").arg(ClosedPort()));
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(finished.takeFirst().first().toBool(), false);
    QVERIFY(browser.toPlainText().isEmpty());

    browser.setHtml(QStringLiteral("<p>old</p>"));
    browser.Navigate(QStringLiteral("/nonexistent/jasokit_view_off.html"));
    QCOMPARE(finished.takeFirst().first().toBool(), false);
    QVERIFY(browser.toPlainText().isEmpty());
  }

  void hungServerFailsAfterTheTransferTimeout() {
    // A server that accepts and never answers must not hold the request for
    // ever: the fetch gives up, the panel goes blank, the connection closes.
    test::SilentServer server;
    CWebBrowser2 browser;
    QCOMPARE(browser.transferTimeout(), CWebBrowser2::kTransferTimeoutMs);
    browser.setTransferTimeout(300);
    browser.setHtml(QStringLiteral("<p>old</p>"));
    QSignalSpy finished(&browser, &CWebBrowser2::loadFinished);
    browser.Navigate(server.url("/address/banner.html"));
    QTRY_VERIFY(server.received().contains("GET /address/banner.html"));
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 5000);
    QCOMPARE(finished.takeFirst().first().toBool(), false);
    QVERIFY(browser.toPlainText().isEmpty());
    QTRY_COMPARE(server.closed(), server.accepted());
  }

  void laterPageReplacesAHungFetch() {
    // The abandoned fetch reports nothing afterwards and lets go of its
    // connection; only the later page counts.
    test::SilentServer server;
    QTemporaryDir dir;
    const QString local = WriteFile(dir, "jasokit_view_off.html", "<p>local page</p>");
    CWebBrowser2 browser;
    QSignalSpy finished(&browser, &CWebBrowser2::loadFinished);
    browser.Navigate(server.url("/address/banner.html"));
    QTRY_VERIFY(server.received().contains("GET /address/banner.html"));
    browser.Navigate(local);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.takeFirst().first().toBool(), true);
    QTRY_COMPARE(server.closed(), server.accepted());
    QTest::qWait(100);
    QCOMPARE(finished.count(), 0);
    QVERIFY(browser.toPlainText().contains(QStringLiteral("local page")));
  }

  void pagesAreDecodedByTheirCharset() {
    const QString korean = QStringLiteral("우편번호");
    const QByteArray eucKr = "\xBF\xEC\xC6\xED\xB9\xF8\xC8\xA3";  // the same word in CP949
    struct Case {
      QByteArray data;
      QByteArray contentType;
    };
    const Case cases[] = {
        {"<p>" + korean.toUtf8() + "</p>", {}},
        {"<meta charset=\"utf-8\"><p>" + korean.toUtf8() + "</p>", {}},
        {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=euc-kr\"><p>" + eucKr + "</p>", {}},
        {"<p>" + eucKr + "</p>", "text/html; charset=EUC-KR"},
        {"<p>" + eucKr + "</p>", "text/html; charset=ks_c_5601-1987"},
        {"\xEF\xBB\xBF<p>" + korean.toUtf8() + "</p>", "text/html; charset=euc-kr"},
    };
    for (const Case& c : cases) {
      QVERIFY2(DecodeHtml(c.data, c.contentType).contains(korean), c.data.constData());
    }
  }
};

QTEST_MAIN(BannerTest)
#include "banner-test.moc"
