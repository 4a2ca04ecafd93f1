// Korea Post's zips through libzip.
#include <zip.h>

#include <memory>

#include "cli/addrdb_source.h"

namespace jasokit::cli {

namespace {

std::string ZipError(zip_error_t* error) {
  const char* text = zip_error_strerror(error);
  return text ? text : "unreadable zip";
}

}  // namespace

std::string ForEachZipEntry(const std::string& path, const std::function<bool(SourceText&)>& each,
                            std::vector<std::string>* entries) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_file_create(path.c_str(), 0, -1, &error);
  if (!source) return "cannot read " + path + ": " + ZipError(&error);
  std::unique_ptr<zip_t, int (*)(zip_t*)> archive(zip_open_from_source(source, ZIP_RDONLY, &error), zip_close);
  if (!archive) {
    zip_source_free(source);
    return "cannot read " + path + " as a zip: " + ZipError(&error);
  }
  const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
  // The zip's own name dates the texts whose names do not.
  const std::string edition = Edition(BaseName(path));
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t st;
    const auto index = static_cast<zip_uint64_t>(i);
    if (zip_stat_index(archive.get(), index, ZIP_FL_ENC_RAW, &st) != 0 || !st.name) continue;
    const std::string name = Printable(EntryName(st.name));
    if (entries) entries->push_back(name);
    // Folders, and what comes beside the texts (a guide, a layout sheet).
    if (!IsText(name)) continue;
    std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> file(zip_fopen_index(archive.get(), index, 0), zip_fclose);
    if (!file) return "cannot read " + path + ": " + name + ": " + zip_strerror(archive.get());
    SourceText text{
        Printable(BaseName(path)) + ": " + name, Edition(BaseName(name)),
        [f = file.get()](char* buffer, std::size_t size) { return static_cast<long>(zip_fread(f, buffer, size)); }};
    if (text.edition.empty()) text.edition = edition;
    if (!each(text)) break;
  }
  return {};
}

}  // namespace jasokit::cli
