// What the programs ask of the system: their own folder.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cli/cli.h"
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

// Paths in Korean pass whole (wide calls on Windows), a table replaces the
// file it names, and a file is known as itself under any name.
TEST(PlatformFiles, KoreanPathsReplacementAndIdentity) {
  test::TempDir dir;
  const std::string csv = dir.File("주소 목록.csv");
  const std::string table = dir.File("우편번호 표.dbf");
  test::WriteBytes(fs::u8path(csv), "a\x1a\r\nb");
  test::WriteBytes(fs::u8path(table), "old table");
  cli::InputFile input;
  std::string error;
  ASSERT_TRUE(input.Open(csv, error)) << error;
  char buffer[16];
  EXPECT_EQ(input.Read(buffer, sizeof buffer), 5);  // binary: ^Z and CR LF are data
  EXPECT_EQ(std::string(buffer, 5), "a\x1a\r\nb");

  cli::TableFile same;
  EXPECT_EQ(same.Open(csv, &input.id(), error), cli::TableFileStatus::IsInput);
  EXPECT_EQ(error, csv + " is the CSV itself; write the table to another file");
  const std::optional<cli::FileId> id = cli::IdentifyFile(csv);
  ASSERT_TRUE(id);
  EXPECT_EQ(id->inode, input.id().inode);
  EXPECT_EQ(id->device, input.id().device);

  cli::TableFile out;
  ASSERT_EQ(out.Open(table, &input.id(), error), cli::TableFileStatus::Ok) << error;
  ASSERT_TRUE(out.Write("body", error)) << error;
  ASSERT_EQ(out.Commit("HEAD", error), cli::TableFileStatus::Ok) << error;
  EXPECT_EQ(test::ReadBytes(fs::u8path(table)), "HEAD");  // the header is written over the start
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 2u);  // no temporary file left

  ZipDatabase zip;
  const ZipLoadStatus loaded = zip.Load(table);  // no table, but found and opened
  EXPECT_NE(loaded, ZipLoadStatus::StatFailed);
  EXPECT_NE(loaded, ZipLoadStatus::OpenFailed);

  EXPECT_TRUE(cli::IsMissing(dir.File("없는 폴더/표.dbf")));
  EXPECT_FALSE(cli::IsMissing(table));
  ASSERT_TRUE(cli::MakeParentFolders(dir.File("새 폴더/아래/표.dbf"), error)) << error;
  EXPECT_TRUE(fs::is_directory(fs::u8path(dir.File("새 폴더/아래"))));
}

}  // namespace
}  // namespace jasokit
