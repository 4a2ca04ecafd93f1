#pragma once
// The application object: builds the main window, loading the zip code
// table first, runs it until it closes, and ends the process.
#include <QApplication>

namespace jasokit {

class ConverterApp : public QApplication {
  Q_OBJECT

 public:
  ConverterApp(int& argc, char** argv);

  // Returns the process exit status. A zip code table that cannot be loaded
  // shows its message and ends the process with status 1 before any window.
  int Run();
};

// Shows a zip loader message in the program's message box.
void ShowZipLoaderMessage(const char* message);

}  // namespace jasokit
