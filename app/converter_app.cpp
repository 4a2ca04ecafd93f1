#include "app/converter_app.h"

#include <string>

#include "app/main_dialog.h"
#include "romanize/cp949.h"
#include "ui/message_box.h"
#include "zipcode/zip_database.h"

namespace jasokit {

void ShowZipLoaderMessage(const char* message) {
  std::string utf8;
  Cp949ToUtf8(message, utf8);
  ShowMessage(nullptr, QString::fromStdString(utf8));
}

// The title of every message box is the executable's name, which Qt takes
// as the application name unless told otherwise.
ConverterApp::ConverterApp(int& argc, char** argv) : QApplication(argc, argv) {}

int ConverterApp::Run() {
  SetZipMessageHandler(&ShowZipLoaderMessage);
  MainDialog dialog;
  dialog.exec();
  return 0;
}

}  // namespace jasokit
