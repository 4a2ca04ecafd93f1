// What the programs ask of the system: their own folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "jasokit/zip.h"
#include "platform/program_folder.h"
#include "test-util.h"

namespace jasokit {
namespace {

namespace fs = std::filesystem;

TEST(ExecutableDirectoryTest, IsTheFolderOfTheRunningProgram) {
  const std::string dir = platform::ExecutableDirectory();
  ASSERT_FALSE(dir.empty());
#ifdef _WIN32
  // The build folder's name is a host path here; the program itself is the check.
  EXPECT_EQ(dir.back(), '\\');
  EXPECT_TRUE(fs::exists(fs::u8path(dir + "platform-test.exe")));
#else
  EXPECT_EQ(dir.back(), '/');
  EXPECT_TRUE(fs::equivalent(dir, fs::path(JASOKIT_BINARY_DIR) / "tests"));
#endif
}

TEST(ExecutableDirectoryTest, TableBesideTheExecutableOnly) {
  const std::string beside = platform::ExecutableDirectory() + kZipFileName;
  ASSERT_FALSE(fs::exists(beside));
  // A copy in the current directory does not count.
  test::TempDir dir;
  test::WriteBytes(dir.File(kZipFileName), std::string(kZipHeaderBytes, '\0'));
  const fs::path cwd = fs::current_path();
  fs::current_path(dir.path());
  ZipDatabase db;
  const ZipLoadStatus status = db.Load(beside);
  fs::current_path(cwd);
  EXPECT_EQ(status, ZipLoadStatus::StatFailed);
}

}  // namespace
}  // namespace jasokit
