#pragma once
// Helpers shared by the desktop program's tests.
#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/qt/converter_app.h"
#include "app/qt/main_dialog.h"
#include "romanize/cp949.h"
#include "../test-util.h"
#include "app/qt/message_box.h"
#include "app/qt/skin_button.h"
#include "app/qt/web_browser.h"
#include "zipcode/zip_database.h"

namespace jasokit::test {

// The main window's controls, found by their object names.
struct Controls {
  explicit Controls(const QWidget& window)
      : inputBox(window.findChild<QLineEdit*>(QStringLiteral("inputBox"))),
        outputBox(window.findChild<QLineEdit*>(QStringLiteral("outputBox"))),
        zipQueryBox(window.findChild<QLineEdit*>(QStringLiteral("zipQueryBox"))),
        zipList(window.findChild<QListWidget*>(QStringLiteral("zipList"))),
        banner(window.findChild<CWebBrowser2*>(QStringLiteral("banner"))),
        copyInputButton(window.findChild<SkinButton*>(QStringLiteral("copyInputButton"))),
        copyOutputButton(window.findChild<SkinButton*>(QStringLiteral("copyOutputButton"))),
        copyQueryButton(window.findChild<SkinButton*>(QStringLiteral("copyQueryButton"))),
        resetButton(window.findChild<SkinButton*>(QStringLiteral("resetButton"))) {}

  // Every control found, each of its own type.
  bool complete() const {
    return inputBox && outputBox && zipQueryBox && zipList && banner && copyInputButton && copyOutputButton &&
           copyQueryButton && resetButton;
  }

  QLineEdit* inputBox;
  QLineEdit* outputBox;
  QLineEdit* zipQueryBox;
  QListWidget* zipList;
  CWebBrowser2* banner;
  SkinButton* copyInputButton;
  SkinButton* copyOutputButton;
  SkinButton* copyQueryButton;
  SkinButton* resetButton;
};

// The window keeps its choices in an INI file through QSettings. A test
// program points them at an empty folder of its own, so that the user's
// choices never reach a test and no test changes them. Call once, after the
// application object exists; returns the folder, empty if none could be made.
inline QString IsolateSettings() {
  static QTemporaryDir dir;
  if (!dir.isValid()) return QString();
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
  QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, dir.filePath(QStringLiteral("system")));
  return dir.path();
}

// Collects the texts of the message boxes that would be shown.
class MessageRecorder {
 public:
  MessageRecorder() {
    m_previous = SetMessageFunction([this](QWidget*, const QString& text) { m_texts.append(text); });
  }
  ~MessageRecorder() { SetMessageFunction(m_previous); }
  MessageRecorder(const MessageRecorder&) = delete;
  MessageRecorder& operator=(const MessageRecorder&) = delete;

  const QStringList& texts() const { return m_texts; }
  void clear() { m_texts.clear(); }

 private:
  QStringList m_texts;
  MessageFunction m_previous;
};

// A CP949 text space-filled to a fixed field width, as the table stores it.
inline std::string Field(std::string_view utf8, std::size_t width) {
  std::string text = Cp(utf8);
  text.resize(width, ' ');
  return text;
}

inline ZipRecord Record(std::string_view zip, std::string_view province, std::string_view district,
                        std::string_view locality, std::string_view detail) {
  return ZipRecord{std::string(zip), Field(province, 4), Field(district, 13), Cp(locality), Field(detail, 17)};
}

// A whole 90-byte table row: deletion flag, the five fields space-filled,
// and the sequence number that the loader skips.
inline std::string TableRow(const ZipRecord& r) {
  std::string row = " " + r.zipCode;
  row.resize(1 + kZipCodeBytes, ' ');
  row += r.province;
  row += r.district;
  std::string locality = r.locality;
  locality.resize(kZipLocalityBytes, ' ');
  row += locality;
  row += r.detail;
  row += "00001";
  return row;
}

// A table file image: a header the loader skips, then the rows.
inline QByteArray TableImage(const std::vector<ZipRecord>& rows) {
  std::string image(kZipHeaderBytes, '\0');
  image[0] = '\x03';
  image[kZipHeaderBytes - 1] = '\x0D';
  for (const ZipRecord& r : rows) image += TableRow(r);
  return QByteArray(image.data(), static_cast<qsizetype>(image.size()));
}

// A table made of rows, in their order.
inline ZipLoadStatus LoadRows(ZipDatabase& db, const std::vector<ZipRecord>& rows) {
  const QByteArray image = TableImage(rows);
  return db.Parse(std::string_view(image.constData(), static_cast<std::size_t>(image.size())));
}

// The list line the window shows for a record.
inline QString ListLine(const ZipRecord& r) {
  std::string utf8;
  Cp949ToUtf8(r.zipCode + ' ' + r.province + ' ' + r.district + ' ' + r.locality + ' ' + r.detail, utf8);
  return QString::fromStdString(utf8);
}

// A port nothing listens on: bound once, then released.
inline quint16 ClosedPort() {
  QTcpServer server;
  server.listen(QHostAddress::LocalHost, 0);
  const quint16 port = server.serverPort();
  server.close();
  return port;
}

// A loopback server that accepts every connection, reads what comes and
// never writes a byte: a banner server that hangs.
class SilentServer : public QObject {
 public:
  SilentServer() {
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        ++m_accepted;
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { m_received += socket->readAll(); });
        connect(socket, &QTcpSocket::disconnected, this, [this] { ++m_closed; });
      }
    });
  }

  quint16 port() const { return m_server.serverPort(); }
  QString url(const char* path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(QLatin1String(path));
  }
  int accepted() const { return m_accepted; }
  // Connections the other side has closed.
  int closed() const { return m_closed; }
  const QByteArray& received() const { return m_received; }

 private:
  QTcpServer m_server;
  int m_accepted = 0;
  int m_closed = 0;
  QByteArray m_received;
};

// Child processes. A copy of the test program placed in a folder of its own
// looks for its zip code table there, as the installed program does.

// Copies this program into dir as "Jaso_Kit", runnable by anyone; empty on failure.
inline QString CopyOfThisProgram(const QTemporaryDir& dir) {
  const QString exe = dir.filePath(QStringLiteral("Jaso_Kit"));
  if (!QFile::copy(QCoreApplication::applicationFilePath(), exe)) return QString();
  const QFile::Permissions all = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                 QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
  if (!QFile::setPermissions(exe, all)) return QString();
  return exe;
}

// The sanitizers' option variables, which may name a suppressions file.
inline constexpr const char* kSanitizerOptionVariables[] = {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"};

// A sanitizer option string split into its flags, as the sanitizers split
// it: at spaces, commas, colons and line breaks outside quotes.
inline QStringList SanitizerFlags(const QString& options) {
  QStringList flags;
  QString flag;
  QChar quote;
  for (const QChar ch : options) {
    if (!quote.isNull()) {
      if (ch == quote) quote = QChar();
      flag += ch;
    } else if (ch == QLatin1Char('"') || ch == QLatin1Char('\'')) {
      quote = ch;
      flag += ch;
    } else if (QStringView(u" ,:\t\r\n").contains(ch)) {
      if (!flag.isEmpty()) flags << flag;
      flag.clear();
    } else {
      flag += ch;
    }
  }
  if (!flag.isEmpty()) flags << flag;
  return flags;
}

// A sanitizer that cannot read its suppressions file ends the program, and
// the file usually lies in the source tree, which a child running as another
// user may not be able to read (a clone in a private folder). Copies every
// suppressions file that env's sanitizer options name into dir, readable by
// anyone, and points the options at the copies. False if one cannot be copied.
inline bool CopySuppressionsInto(const QString& dir, QProcessEnvironment& env) {
  const QLatin1String key("suppressions=");
  for (const char* variable : kSanitizerOptionVariables) {
    const QString name = QLatin1String(variable);
    if (!env.contains(name)) continue;
    QStringList flags = SanitizerFlags(env.value(name));
    for (QString& flag : flags) {
      if (!flag.startsWith(key)) continue;
      QString path = flag.mid(key.size());
      if (path.size() >= 2 && (path.front() == QLatin1Char('"') || path.front() == QLatin1Char('\'')) &&
          path.back() == path.front()) {
        path = path.mid(1, path.size() - 2);
      }
      if (path.isEmpty()) continue;
      const QString copy = QDir(dir).filePath(name.toLower() + QStringLiteral(".supp"));
      QFile::remove(copy);
      if (!QFile::copy(path, copy) ||
          !QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther)) {
        return false;
      }
      flag = key + copy;
    }
    env.insert(name, flags.join(QLatin1Char(':')));
  }
  return true;
}

struct ChildRun {
  bool finished = false;  // false: still running after the time limit, then killed
  QProcess::ExitStatus exitStatus = QProcess::CrashExit;
  int exitCode = -1;
  QString out;
};

// Runs program to its end, at most timeoutMs, in env; modifier runs in the
// child just before the program starts (Unix only).
inline ChildRun RunChild(const QString& program, const QStringList& args, const QString& workDir,
                         const std::function<void()>& modifier = {},
                         const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
                         int timeoutMs = 20000) {
  QProcess child;
  child.setWorkingDirectory(workDir);
  child.setProcessEnvironment(env);
  child.setProcessChannelMode(QProcess::SeparateChannels);
#ifdef Q_OS_UNIX
  if (modifier) child.setChildProcessModifier(modifier);
#else
  Q_UNUSED(modifier);
#endif
  child.start(program, args);
  ChildRun run;
  run.finished = child.waitForFinished(timeoutMs);
  if (!run.finished) {
    child.kill();
    child.waitForFinished(5000);
  }
  run.exitStatus = child.exitStatus();
  run.exitCode = child.exitCode();
  run.out = QString::fromUtf8(child.readAllStandardOutput());
  return run;
}

// The child's side: a line on standard output.
inline void Say(const QString& line) {
  std::fputs(line.toUtf8().append('\n').constData(), stdout);
  std::fflush(stdout);
}

// The option that makes a test program run RunStartupChild instead of its tests.
inline constexpr const char* kStartupChildOption = "--startup-child";

// Run as a child: the program's own start-up, the message box replaced by a
// line "<program name>: <text>" on standard output. Once the window is up it
// reports the records loaded, searches each query given after the option
// with Enter in the search box and prints the list, then closes the window.
inline int RunStartupChild(int& argc, char** argv) {
  QStringList queries;
  for (int i = 2; i < argc; ++i) queries << QString::fromUtf8(argv[i]);
  ConverterApp app(argc, argv);
  IsolateSettings();
  SetMessageFunction(
      [](QWidget*, const QString& text) { Say(QCoreApplication::applicationName() + QStringLiteral(": ") + text); });
  QTimer::singleShot(0, &app, [&queries] {
    MainDialog* dialog = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (auto* d = qobject_cast<MainDialog*>(widget); d && d->isVisible()) dialog = d;
    }
    if (dialog == nullptr) {
      Say(QStringLiteral("no window"));
      std::_Exit(2);
    }
    Say(QStringLiteral("window: %1 records").arg(dialog->zipDatabase().size()));
    if (!QTest::qWaitForWindowActive(dialog)) Say(QStringLiteral("window not active"));
    const Controls controls(*dialog);
    if (!controls.complete()) {
      Say(QStringLiteral("controls missing"));
      std::_Exit(2);
    }
    QLineEdit* box = controls.zipQueryBox;
    box->setFocus(Qt::TabFocusReason);
    for (int i = 0; i < 200 && dialog->focusedBox() != 3; ++i) QTest::qWait(10);
    for (const QString& query : queries) {
      Say(QStringLiteral("search ") + query);
      box->setText(query);
      QTest::keyClick(box, Qt::Key_Return);
      for (int i = 0; i < controls.zipList->count(); ++i) Say(QStringLiteral("  ") + controls.zipList->item(i)->text());
    }
    dialog->reject();
  });
  // Whatever happens, the child does not outlive its parent's patience.
  QTimer::singleShot(10000, &app, [] {
    Say(QStringLiteral("the window did not close"));
    std::_Exit(2);
  });
  const int status = app.Run();
  if (status == 0) Say(QStringLiteral("closed"));  // a table that failed shows no window to close
  return status;
}

}  // namespace jasokit::test
