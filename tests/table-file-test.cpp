// Replacing a table, step by step, on an in-memory system: whichever step
// fails, the target keeps its bytes, the temporary file goes and the error
// names the target.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace jasokit::cli {
namespace {

enum class Step { kNone, kAppend, kFinish, kReplaced, kCheck, kReplace };

struct Disk {
  std::map<std::string, std::string> files;
  Step failing = Step::kNone;
  int discards = 0;
};

class FakeTableFiles final : public TableFileSystem {
 public:
  explicit FakeTableFiles(Disk& disk) : m_disk(disk) {}
  TableFileStatus Open(const std::string& target, const FileId*, std::string&, std::string&) override {
    m_temp = "." + target + ".tmp";
    m_disk.files[m_temp];
    return TableFileStatus::Ok;
  }
  bool Append(std::string_view bytes) override {
    if (m_disk.failing == Step::kAppend) return false;
    m_disk.files[m_temp].append(bytes);
    return true;
  }
  bool Finish(std::string_view header) override {
    if (m_disk.failing == Step::kFinish) return false;
    m_disk.files[m_temp].replace(0, header.size(), header);
    return true;
  }
  const char* IrregularKind(const std::string&) override {
    return m_disk.failing == Step::kReplaced ? "a folder" : nullptr;
  }
  const std::string& temp() const override { return m_temp; }
  bool Replace(const std::string& path) override {
    if (m_disk.failing == Step::kReplace) return false;
    m_disk.files[path] = m_disk.files[m_temp];
    m_disk.files.erase(m_temp);
    m_temp.clear();
    return true;
  }
  void Discard() override {
    if (m_temp.empty()) return;
    ++m_disk.discards;
    m_disk.files.erase(m_temp);
    m_temp.clear();
  }
  std::string reason() const override { return "No space left on device"; }

 private:
  Disk& m_disk;
  std::string m_temp;
};

TEST(TableFileSteps, AFailedStepLeavesTheTargetAsItWas) {
  const struct {
    Step failing;
    TableFileStatus status;
    const char* error;
  } kCases[] = {
      {Step::kNone, TableFileStatus::Ok, ""},
      {Step::kAppend, TableFileStatus::Failed, "error writing t.dbf: No space left on device"},
      {Step::kFinish, TableFileStatus::Failed, "error writing t.dbf: No space left on device"},
      {Step::kReplaced, TableFileStatus::NotRegular, "t.dbf is a folder, not a regular file; nothing was replaced"},
      {Step::kCheck, TableFileStatus::Failed, "t.dbf: 3 records short"},
      {Step::kReplace, TableFileStatus::Failed, "cannot replace t.dbf: No space left on device"},
  };
  for (const auto& c : kCases) {
    Disk disk;
    disk.files["t.dbf"] = "old table";
    disk.failing = c.failing;
    std::string error, commitError;
    {
      TableFile file(std::make_unique<FakeTableFiles>(disk));
      ASSERT_EQ(file.Open("t.dbf", nullptr, error), TableFileStatus::Ok);
      // Past the buffer, so that the body reaches the file before the commit.
      const bool wrote = file.Write("....." + std::string(1 << 16, 'r'), error);
      EXPECT_EQ(wrote, c.failing != Step::kAppend);
      std::string checked;
      const auto check = [&](const std::string& temp) {
        checked = disk.files[temp].substr(0, 5);
        return c.failing == Step::kCheck ? std::string("t.dbf: 3 records short") : std::string();
      };
      EXPECT_EQ(file.Commit("HEAD:", commitError, check), c.status);
      if (c.failing == Step::kNone || c.failing >= Step::kCheck) {
        EXPECT_EQ(checked, "HEAD:");
      }
      if (wrote) error = commitError;
      // Nothing more goes in once it has failed.
      std::string later;
      if (c.status != TableFileStatus::Ok) {
        EXPECT_FALSE(file.Write("x", later));
      }
      EXPECT_EQ(later, c.status == TableFileStatus::Ok ? "" : "error writing t.dbf");
    }
    EXPECT_EQ(error, c.error) << static_cast<int>(c.failing);
    EXPECT_EQ(disk.files.size(), 1u) << "the temporary file stays";
    EXPECT_EQ(disk.files["t.dbf"].substr(0, 9), c.status == TableFileStatus::Ok ? "HEAD:rrrr" : "old table");
    EXPECT_EQ(disk.discards, c.status == TableFileStatus::Ok ? 0 : 1);
  }
}

}  // namespace
}  // namespace jasokit::cli
