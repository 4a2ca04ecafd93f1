#pragma once
// The application object: builds the main window, loading the zip code
// table first, runs it until it closes, and ends the process.
#include <QApplication>

namespace jasokit {

class MainDialog;

class ConverterApp : public QApplication {
  Q_OBJECT

 public:
  ConverterApp(int& argc, char** argv);

  // Returns the process exit status. A zip code table that cannot be loaded
  // shows its message and gives status 1 before any window appears.
  int Run();
};

// When the dialog's zip code table could not be loaded, shows why and
// returns true: the program then ends with status 1.
bool ReportZipLoadFailure(const MainDialog& dialog);

}  // namespace jasokit
