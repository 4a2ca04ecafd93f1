// The desktop program with a damaged zip code table beside it, and with a
// banner server that accepts connections and never answers. The table cases
// run a copy of this program in a folder of its own, as the installed program
// runs. Runs with QT_QPA_PLATFORM=offscreen; nothing but loopback is used.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <cstring>
#include <memory>
#include <vector>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <unistd.h>
#endif

#include "address/conversion.h"
#include "app/qt/converter_app.h"
#include "app/qt/main_dialog.h"
#include "gui-test-util.h"
#include "app/qt/web_browser.h"

using namespace jasokit;
using jasokit::test::ChildRun;
using jasokit::test::Cp;
using jasokit::test::Record;

namespace {

constexpr const char* kHangingBannerChildOption = "--hanging-banner-child";
const QString kNotFoundLine = QStringLiteral("Jaso_Kit: 찾지 못했습니다.");

// Four rows, each with a name of its own.
std::vector<ZipRecord> Rows() {
  return {Record("135-080", "서울", "강남구", "역삼동", "123-45"), Record("100-011", "서울", "중구", "명동1가", ""),
          Record("612-020", "부산", "해운대구", "우동", ""), Record("301-010", "대전", "중구", "은행동", "")};
}

QString NameOf(const ZipRecord& r) {
  std::string utf8;
  Cp949ToUtf8(r.locality, utf8);
  return QString::fromStdString(utf8);
}

// What the start-up child prints for one search.
QString SearchReport(const ZipRecord& r, bool found) {
  return QStringLiteral("search ") + NameOf(r) + QLatin1Char('\n') +
         (found ? QStringLiteral("  ") + test::ListLine(r) : kNotFoundLine) + QLatin1Char('\n');
}

// A copy of this program in a temporary folder, with whatever stands in
// for its table.
class ProgramCopy {
 public:
  ProgramCopy() : m_exe(test::CopyOfThisProgram(m_dir)) {}
  bool isValid() const { return m_dir.isValid() && !m_exe.isEmpty(); }
  QString table() const { return m_dir.filePath(QString::fromLatin1(kZipFileName)); }
  QString folder() const { return m_dir.path(); }

  bool writeTable(const QByteArray& bytes) const {
    QFile file(table());
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
  }

  ChildRun start(const QStringList& queries, const std::function<void()>& modifier = {},
                 const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) const {
    return test::RunChild(m_exe, QStringList{QString::fromLatin1(test::kStartupChildOption)} + queries, folder(),
                          modifier, env);
  }

 private:
  QTemporaryDir m_dir;
  QString m_exe;
};

MainDialogSetup SetupWithBanner(const test::SilentServer& server, const QString& offlinePath) {
  MainDialogSetup setup;
  setup.loadZipTable = [](ZipDatabase& db) { return test::LoadRows(db, Rows()); };
  setup.banner.checkAddress = QStringLiteral("127.0.0.1");
  setup.banner.checkPort = server.port();
  setup.banner.onlineUrl = server.url("/address/banner.html");
  setup.banner.offlinePath = offlinePath;
  return setup;
}

QString OfflinePage(const QTemporaryDir& dir) {
  const QString path = dir.filePath(QStringLiteral("jasokit_view_off.html"));
  QFile file(path);
  if (file.open(QIODevice::WriteOnly)) file.write("<p>offline page</p>");
  return path;
}

bool WaitForRequest(const test::SilentServer& server, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (!server.received().contains("GET /address/banner.html") && clock.elapsed() < timeoutMs) QTest::qWait(10);
  return server.received().contains("GET /address/banner.html");
}

}  // namespace

class FaultsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void shortTableLoadsItsCompleteRecords_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("records");
    const QByteArray whole = test::TableImage(Rows());
    // The last row cut mid-record, after its name: a name that arrived
    // whole still does not make a record.
    const auto cutMidRecord = static_cast<qsizetype>(kZipHeaderBytes + 3 * kZipRecordBytes + 45);
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("header cut short") << whole.left(100) << 0;
    QTest::newRow("header only") << whole.left(static_cast<qsizetype>(kZipHeaderBytes)) << 0;
    QTest::newRow("cut mid-record") << whole.left(cutMidRecord) << 3;
  }

  void shortTableLoadsItsCompleteRecords() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, records);
    const std::vector<ZipRecord> rows = Rows();
    ProgramCopy program;
    QVERIFY(program.isValid());
    QVERIFY(program.writeTable(bytes));
    const ChildRun run = program.start({NameOf(rows[2]), NameOf(rows[3])});
    QVERIFY(run.finished);
    QCOMPARE(run.exitStatus, QProcess::NormalExit);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QStringLiteral("window: %1 records\n").arg(records) + SearchReport(rows[2], records == 3) +
                          SearchReport(rows[3], false) + QStringLiteral("closed\n"));
  }

  void hugeTableLoadsOneTableAtMost() {
    // 200 MB, sparse: the rows, then zeros read as empty rows.
    const std::vector<ZipRecord> rows = Rows();
    ProgramCopy program;
    QVERIFY(program.isValid());
    QVERIFY(program.writeTable(test::TableImage(rows)));
    QVERIFY(QFile::resize(program.table(), qint64(200) << 20));
    const ChildRun run = program.start({NameOf(rows[0]), NameOf(rows[3])});
    QVERIFY(run.finished);
    QCOMPARE(run.exitStatus, QProcess::NormalExit);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QStringLiteral("window: %1 records\n").arg(kZipRecordCount) + SearchReport(rows[0], true) +
                          SearchReport(rows[3], true) + QStringLiteral("closed\n"));
  }

  void folderInPlaceOfTheTableEndsTheProgram() {
    ProgramCopy program;
    QVERIFY(program.isValid());
    QVERIFY(QDir().mkdir(program.table()));
    const ChildRun run = program.start({NameOf(Rows()[0])});
    QVERIFY(run.finished);
    QCOMPARE(run.exitStatus, QProcess::NormalExit);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out, QStringLiteral("Jaso_Kit: db file open failed\n"));
  }

  void unreadableTableEndsTheProgram() {
#ifndef Q_OS_UNIX
    // QTest::qSkip, not QSKIP: an empty variadic macro argument is not pedantic C++17.
    QTest::qSkip("file permissions are tested on Unix only", __FILE__, __LINE__);
#else
    ProgramCopy program;
    QVERIFY(program.isValid());
    QVERIFY(program.writeTable(test::TableImage(Rows())));
    QVERIFY(QFile::setPermissions(program.table(), QFile::Permissions()));
    std::function<void()> asNobody;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (geteuid() == 0) {
      // Permissions do not stop root: the child runs as nobody instead, and
      // nobody must reach the program's folder, and whatever the sanitizers
      // read wherever this tree was cloned.
      QVERIFY(QFile::setPermissions(program.folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                          QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                                          QFile::ExeOther));
      QVERIFY(test::CopySuppressionsInto(program.folder(), env));
      asNobody = [] {
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(127);
      };
    }
    const ChildRun run = program.start({NameOf(Rows()[0])}, asNobody, env);
    QVERIFY(run.finished);
    if (asNobody && run.exitCode == 127 && run.out.isEmpty()) {
      QTest::qSkip("cannot run the program as nobody here", __FILE__, __LINE__);
      return;
    }
    QCOMPARE(run.exitStatus, QProcess::NormalExit);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out, QStringLiteral("Jaso_Kit: db file open failed\n"));
#endif
  }

  void hangingBannerServerHoldsNothingBack() {
    test::SilentServer server;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    test::MessageRecorder messages;

    // The probe only connects, so it succeeds; the window must not wait for
    // the page that never comes.
    QElapsedTimer clock;
    clock.start();
    auto dialog = std::make_unique<MainDialog>(SetupWithBanner(server, OfflinePage(dir)));
    MainDialog& d = *dialog;
    const test::Controls c(d);
    QVERIFY(c.complete());
    d.show();
    QVERIFY(QTest::qWaitForWindowActive(&d));
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(c.banner->location(), server.url("/address/banner.html"));
    QSignalSpy finished(c.banner, &CWebBrowser2::loadFinished);
    QVERIFY(WaitForRequest(server, 5000));

    // The window works while the request hangs.
    QTRY_COMPARE(d.focusedBox(), 1);
    c.inputBox->setText(QStringLiteral("서울 강남구 역삼동"));
    QTest::keyClick(c.inputBox, Qt::Key_Return);
    std::string expected;
    Cp949ToUtf8(ConvertInput(Cp("서울 강남구 역삼동")).output, expected);
    QCOMPARE(c.outputBox->text(), QString::fromStdString(expected));
    c.zipQueryBox->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(d.focusedBox(), 3);
    c.zipQueryBox->setText(NameOf(Rows()[2]));
    QTest::keyClick(c.zipQueryBox, Qt::Key_Return);
    QCOMPARE(c.zipList->count(), 1);
    QVERIFY(messages.texts().isEmpty());

    // Still pending: the panel stays blank, neither page nor local page.
    QTest::qWait(200);
    QCOMPARE(finished.count(), 0);
    QVERIFY(c.banner->toPlainText().isEmpty());
    QTRY_COMPARE(server.closed(), 1);  // the probe's connection only
    QCOMPARE(server.accepted(), 2);

    // Closing with the request pending lets go of its connection at once.
    QVERIFY(d.close());
    dialog.reset();
    QTRY_COMPARE_WITH_TIMEOUT(server.closed(), server.accepted(), 3000);
  }

  void programEndsWhileThePageHangs() {
    // The whole process, from start to exit, well inside the fetch's own
    // time-out: leaving does not wait for the page.
    QTemporaryDir workDir;
    QVERIFY(workDir.isValid());
    QElapsedTimer clock;
    clock.start();
    const ChildRun run = test::RunChild(QCoreApplication::applicationFilePath(),
                                        {QString::fromLatin1(kHangingBannerChildOption)}, workDir.path());
    QVERIFY(run.finished);
    QVERIFY2(clock.elapsed() < CWebBrowser2::kTransferTimeoutMs, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(run.exitStatus, QProcess::NormalExit);
    QCOMPARE(run.exitCode, 0);
    std::string converted;
    Cp949ToUtf8(ConvertInput(Cp("서울 강남구 역삼동")).output, converted);
    QCOMPARE(run.out, QStringLiteral("request pending\nconverted ") + QString::fromStdString(converted) +
                          QStringLiteral("\nclosed\n"));
  }
};

// Run as a child: the window with a banner server of its own that never
// answers; converts once while the request is pending, closes, and ends.
static int RunHangingBannerChild(int& argc, char** argv) {
  ConverterApp app(argc, argv);
  test::IsolateSettings();
  SetMessageFunction([](QWidget*, const QString& text) { test::Say(QStringLiteral("message ") + text); });
  QTimer::singleShot(10000, &app, [] {
    test::Say(QStringLiteral("the window did not close"));
    std::_Exit(2);
  });
  test::SilentServer server;
  QTemporaryDir dir;
  MainDialog dialog(SetupWithBanner(server, OfflinePage(dir)));
  const test::Controls c(dialog);
  if (!c.complete()) {
    test::Say(QStringLiteral("controls missing"));
    return 2;
  }
  QTimer::singleShot(0, &dialog, [&dialog, &server, &c] {
    const bool pending = WaitForRequest(server, 5000) && c.banner->toPlainText().isEmpty();
    test::Say(pending ? QStringLiteral("request pending") : QStringLiteral("no request pending"));
    if (!QTest::qWaitForWindowActive(&dialog)) test::Say(QStringLiteral("window not active"));
    c.inputBox->setFocus(Qt::TabFocusReason);
    for (int i = 0; i < 200 && dialog.focusedBox() != 1; ++i) QTest::qWait(10);
    c.inputBox->setText(QStringLiteral("서울 강남구 역삼동"));
    QTest::keyClick(c.inputBox, Qt::Key_Return);
    test::Say(QStringLiteral("converted ") + c.outputBox->text());
    dialog.reject();
  });
  dialog.exec();
  test::Say(QStringLiteral("closed"));
  return 0;
}

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], test::kStartupChildOption) == 0) return test::RunStartupChild(argc, argv);
  if (argc == 2 && std::strcmp(argv[1], kHangingBannerChildOption) == 0) return RunHangingBannerChild(argc, argv);
  QApplication app(argc, argv);
  if (test::IsolateSettings().isEmpty()) return 1;
  FaultsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "faults-test.moc"
