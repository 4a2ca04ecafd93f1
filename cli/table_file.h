#pragma once
// The file a table is written to. It is made beside its target under a name
// of its own (mkstemp), written, synced and only then renamed over the
// target, so that neither a failure nor a concurrent build leaves a damaged
// table where the programs look, and no other file is ever touched. Only a
// regular file, or a new name, is a target: a device, a pipe or a folder is
// refused, and a symbolic link is followed to the regular file it names,
// which is replaced while the link stays.
#include <sys/stat.h>

#include <string>
#include <string_view>

namespace jasokit::cli {

class TableFile {
 public:
  TableFile() = default;
  TableFile(const TableFile&) = delete;
  TableFile& operator=(const TableFile&) = delete;
  // Removes the temporary file unless the table was committed.
  ~TableFile();

  // Checks target and creates the temporary file beside it. input, when
  // given, is the file being read, which must not be the target. Returns 0,
  // or an exit status with error set ("cannot replace X: reason").
  int Open(const std::string& target, const struct stat* input, std::string& error);
  // Buffered; false with error set once writing has failed.
  bool Write(std::string_view bytes, std::string& error);
  // Writes header at the start, syncs, and renames the file over the target.
  // Returns 0, or an exit status with error set.
  int Commit(std::string_view header, std::string& error);

 private:
  int CheckTarget(const std::string& target, const struct stat* input, struct stat& old, std::string& error);
  int CreateTemp(const std::string& target, const struct stat* old, std::string& error);
  bool Flush(std::string& error);
  std::string WriteError() const;
  void Discard();

  std::string m_target;  // as the user named it
  std::string m_path;    // the file replaced: the target, or what its link names
  std::string m_temp;    // empty once renamed or removed
  int m_fd = -1;
  std::string m_buffer;
};

}  // namespace jasokit::cli
