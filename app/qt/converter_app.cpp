#include "app/qt/converter_app.h"

#include <string>

#include "app/qt/main_dialog.h"
#include "app/qt/message_box.h"

namespace jasokit {

bool ReportZipLoadFailure(const MainDialog& dialog) {
  if (dialog.zipLoadStatus() == ZipLoadStatus::Ok) return false;
  ShowMessage(nullptr, QString::fromUtf8(ZipLoadMessage(dialog.zipLoadStatus())));
  return true;
}

// The title of every message box is the executable's name, which Qt takes
// as the application name unless told otherwise.
ConverterApp::ConverterApp(int& argc, char** argv) : QApplication(argc, argv) {}

int ConverterApp::Run() {
  MainDialog dialog;
  if (ReportZipLoadFailure(dialog)) return 1;
  dialog.exec();
  return 0;
}

}  // namespace jasokit
