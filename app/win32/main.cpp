// Jaso_Kit.exe, the native Windows window: the zip code table beside the
// executable, the address database where the programs look for it, then
// the main window until it closes.
#include <string>
#include <vector>

#include "app/win32/main_window.h"
#include "jasokit/address_db.h"
#include "jasokit/zip.h"
#include "platform/program_folder.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  using namespace jasokit;
  win32::MainWindow window(instance);
  const std::string dir = platform::ExecutableDirectory();
  const ZipLoadStatus status = window.logic().zipDatabase().Load(platform::FileBeside(dir, kZipFileName));
  if (status != ZipLoadStatus::Ok) {
    win32::ShowMessageBox(nullptr, ZipLoadMessage(status));
    return 1;
  }
  std::vector<std::string> databases{DefaultAddressDbPath(), platform::FileBeside(dir, "address.db")};
  const std::string chosen = win32::ChosenAddressDbPath();
  if (!chosen.empty()) databases.insert(databases.begin(), chosen);
  window.logic().openAddressDb(databases);
  return window.run();
}
