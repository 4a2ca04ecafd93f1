// Drives the desktop program's window without a user, for tools/screenshot.sh
// and bench/gui-startup.sh. It builds the same window as Jaso_Kit, from the
// same library, and then either types into it and saves a picture, or
// reports when the window was first painted and how much memory it holds.
// Jaso_Kit itself reads no command line; this helper is never shipped.
#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/qt/converter_app.h"
#include "app/qt/main_dialog.h"
#include "app/qt/message_box.h"
#include "zipcode/zip_database.h"

namespace {

using namespace jasokit;

constexpr const char* kUsage =
    "usage: jasokit-screenshot [--table FILE] [--input TEXT] [--query TEXT] OUT.png\n"
    "       jasokit-screenshot --startup [--table FILE]\n"
    "\n"
    "The first form opens the window, types TEXT (default an address) into the\n"
    "input box and presses Enter, types the query (default 삼성동) into the zip\n"
    "search box and presses Enter, and saves the window as OUT.png.\n"
    "--startup opens the window and prints, at its first paint, the wall-clock\n"
    "time in nanoseconds since the epoch and the resident memory, then exits.\n"
    "FILE is the zip code table (default: the one beside this program).\n"
    "Messages the window would show are written to standard error instead.\n";

struct Options {
  bool startup = false;
  std::string table;
  QString input = QStringLiteral("서울특별시 강남구 역삼동 123-45");
  QString query = QStringLiteral("삼성동");
  QString out;
};

long StatusKilobytes(const char* field) {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  const QByteArray key = QByteArray(field) + ':';
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith(key)) return line.mid(key.size()).trimmed().split(' ').first().toLong();
  }
  return -1;
}

void PressEnter() {
  QWidget* target = QApplication::focusWidget();
  if (target == nullptr) return;
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(target, &release);
}

// Reports the first paint of the window.
class FirstPaint : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !m_seen) {
      m_seen = true;
      const auto now = std::chrono::system_clock::now().time_since_epoch();
      std::printf("shown_ns=%lld\n",
                  static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
      QTimer::singleShot(0, [] {
        std::printf("rss_kb=%ld\nhwm_kb=%ld\n", StatusKilobytes("VmRSS"), StatusKilobytes("VmHWM"));
        std::fflush(stdout);
        QApplication::quit();
      });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool m_seen = false;
};

int Fail(const char* text) {
  std::fprintf(stderr, "jasokit-screenshot: %s\n%s", text, kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  ConverterApp app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Jaso_Kit"));
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--startup") {
      options.startup = true;
    } else if (arg == "--table" && hasValue) {
      options.table = argv[++i];
    } else if (arg == "--input" && hasValue) {
      options.input = QString::fromLocal8Bit(argv[++i]);
    } else if (arg == "--query" && hasValue) {
      options.query = QString::fromLocal8Bit(argv[++i]);
    } else if (!arg.empty() && arg[0] != '-' && options.out.isEmpty()) {
      options.out = QString::fromLocal8Bit(argv[i]);
    } else {
      return Fail(("unexpected argument: " + arg).c_str());
    }
  }
  if (!options.startup && options.out.isEmpty()) return Fail("no output file given");

  SetMessageFunction([](QWidget*, const QString& text) { std::fprintf(stderr, "message: %s\n", qPrintable(text)); });

  MainDialogSetup setup;
  if (!options.table.empty()) {
    setup.loadZipTable = [table = options.table](ZipDatabase& db) { return db.Load(table); };
  }
  MainDialog dialog(setup);
  if (ReportZipLoadFailure(dialog)) return 1;

  if (options.startup) {
    FirstPaint firstPaint;
    dialog.installEventFilter(&firstPaint);
    dialog.show();
    return app.exec();
  }

  dialog.show();
  dialog.activateWindow();
  auto* inputBox = dialog.findChild<QLineEdit*>(QStringLiteral("inputBox"));
  auto* zipQueryBox = dialog.findChild<QLineEdit*>(QStringLiteral("zipQueryBox"));
  if (inputBox == nullptr || zipQueryBox == nullptr) {
    std::fputs("jasokit-screenshot: the window has no input or zip search box\n", stderr);
    return 1;
  }
  int status = 1;
  QTimer::singleShot(300, [&] {
    inputBox->setFocus();
    inputBox->setText(options.input);
    PressEnter();
    zipQueryBox->setFocus();
    zipQueryBox->setText(options.query);
    PressEnter();
    QTimer::singleShot(300, [&] {
      if (dialog.grab().save(options.out, "PNG")) {
        status = 0;
      } else {
        std::fprintf(stderr, "jasokit-screenshot: cannot write %s\n", qPrintable(options.out));
      }
      QApplication::quit();
    });
  });
  app.exec();
  return status;
}
