#include "app/qt/converter_app.h"

int main(int argc, char** argv) {
  jasokit::ConverterApp app(argc, argv);
  return app.Run();
}
