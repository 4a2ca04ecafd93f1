// The example of the README's "Use the library": every argument converted
// in both styles and romanized, then a zip code table made and searched in
// memory.
#include <jasokit/jasokit.h>

#include <iostream>
#include <string>

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const jasokit::Result classic = jasokit::Convert(argv[i]);
    const jasokit::Result official = jasokit::Convert(argv[i], {jasokit::Style::Official, ""});
    std::cout << jasokit::ConversionStatusName(classic.status) << ": " << classic.output << '\n'
              << official.output << '\n'
              << jasokit::Romanize(argv[i], jasokit::Style::Official) << '\n';
    if (official.fields) std::cout << "street: " << official.fields->street << '\n';
  }

  // The table holds CP949 text.
  auto cp949 = [](const char* utf8) {
    std::string out;
    jasokit::Utf8ToCp949(utf8, out);
    return out;
  };
  const jasokit::ZipRecord row{"135-080", cp949("서울"), cp949("강남구"), cp949("역삼동"), "123-45"};
  jasokit::ZipDatabase table;
  if (table.Parse(jasokit::ZipTableWriter(std::tm{}).Build({row})) != jasokit::ZipLoadStatus::Ok) return 1;
  for (const jasokit::ZipRecordView& r : table.FindAll(cp949("역삼동"))) std::cout << "zip: " << r.zipCode << '\n';
  std::cout << "jasokit " << JASOKIT_VERSION_STRING << '\n';
}
