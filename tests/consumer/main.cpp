// The example of the README's "Use the library": every argument converted
// in both styles, then romanized.
#include <jasokit/jasokit.h>

#include <iostream>

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const jasokit::Result classic = jasokit::Convert(argv[i]);
    const jasokit::Result official = jasokit::Convert(argv[i], {jasokit::Style::Official, ""});
    std::cout << jasokit::ConversionStatusName(classic.status) << ": " << classic.output << '\n'
              << official.output << '\n'
              << jasokit::Romanize(argv[i], jasokit::Style::Official) << '\n';
    if (official.fields) std::cout << "street: " << official.fields->street << '\n';
  }
  std::cout << "jasokit " << JASOKIT_VERSION_STRING << '\n';
}
