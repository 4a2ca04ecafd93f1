// The real jasokit binary under hostile input and broken streams: it must
// keep going, give one output line per input line, and end with the right
// status instead of crashing, hanging or dying of a signal.
#ifdef _WIN32
#include <gtest/gtest.h>

// Every case here starts the program with posix_spawn under resource limits
// (address space, file size), as another user, or with streams closed or
// broken; on Windows the parity run (tests/windows/parity.sh) covers the
// program's own answers to hostile input instead.
TEST(CliFaults, NeedPosixProcessControl) {
  GTEST_SKIP() << "posix_spawn, setrlimit, signals and closed standard streams are POSIX";
}
#else
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "test-util.h"
#include "zipcode/zip_database.h"

using namespace jasokit::detail;  // the steps under test

extern char** environ;

namespace jasokit {
namespace {

namespace fs = std::filesystem;

constexpr const char* kRefusal = "입력 길이가 1000 글자를 초과하여 처리할 수 없습니다. 다시 한번 확인해 주세요.";
constexpr const char* kWriteError = "jasokit convert: error writing standard output\n";
// Told once where the rows of the sample table, which the build makes, are shown.
constexpr const char* kSampleNote = "jasokit zip: note: the zip code table is the sample: its zip codes are made up\n";
constexpr const char* kReadError = "jasokit convert: error reading standard input\n";
// Names the first place with invalid UTF-8.
std::string Utf8Warning(const char* where) {
  return std::string("jasokit convert: warning: ") + where + ": invalid UTF-8, converted as U+FFFD\n";
}
constexpr const char* kFffd = "\xEF\xBF\xBD";

struct Outcome {
  bool exited = false;  // false: killed by a signal, or by us after the time limit
  int status = -1;
  int signal = 0;
  std::string out;
  std::string err;
};

// Where the child's standard streams come from and go to.
struct Streams {
  std::string in = "/dev/null";  // a path; empty: stdin closed
  std::string out;               // a path; empty: stdout closed
  int outFd = -1;                // used instead of out when set
  std::string err;               // a path; empty: the fixture's own
};

// Limits the child is put under before it runs jasokit.
struct Limits {
  rlim_t addressSpace = RLIM_INFINITY;
  rlim_t fileSize = RLIM_INFINITY;  // a write past it fails instead of killing
  bool asNobody = false;
};

#if defined(__SANITIZE_ADDRESS__)
#define JASOKIT_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define JASOKIT_ADDRESS_SANITIZER 1
#endif
#endif

// The memory any input may cost a command, checked as address space.
constexpr rlim_t kMemoryTarget = rlim_t{64} << 20;

// A literal with its NUL bytes.
template <std::size_t N>
std::string Bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

using test::ReadBytes;

// The write is checked: a missing file would make later failures misleading.
void WriteFile(const fs::path& path, const std::string& bytes) {
  test::WriteBytes(path, bytes);
  ASSERT_TRUE(fs::exists(path)) << path;
}

// Waits for pid at most limit; kills it if it overstays.
bool WaitFor(pid_t pid, int& wstatus, std::chrono::seconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    const pid_t r = waitpid(pid, &wstatus, WNOHANG);
    if (r == pid) return true;
    if (r < 0) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  kill(pid, SIGKILL);
  waitpid(pid, &wstatus, 0);
  return false;
}

class CliFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "jasokit-faults-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    m_dir = pattern;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(m_dir, ec);
  }

  fs::path Path(const char* name) const { return m_dir / name; }

  fs::path Input(const std::string& bytes) {
    const fs::path p = Path("input");
    WriteFile(p, bytes);
    return p;
  }

  // Starts jasokit (or a copy of it) with args; returns its pid, or -1.
  pid_t Start(const std::vector<std::string>& args, const Streams& s, std::string program = JASOKIT_CLI_PATH) {
    std::vector<char*> argv;
    argv.push_back(program.data());
    std::vector<std::string> copies(args);
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (s.in.empty()) {
      posix_spawn_file_actions_addclose(&actions, 0);
    } else {
      posix_spawn_file_actions_addopen(&actions, 0, s.in.c_str(), O_RDONLY, 0);
    }
    if (s.outFd >= 0) {
      posix_spawn_file_actions_adddup2(&actions, s.outFd, 1);
      posix_spawn_file_actions_addclose(&actions, s.outFd);
    } else if (s.out.empty()) {
      posix_spawn_file_actions_addclose(&actions, 1);
    } else {
      posix_spawn_file_actions_addopen(&actions, 1, s.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    const std::string errPath = s.err.empty() ? Path("stderr").string() : s.err;
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
  }

  Outcome Finish(pid_t pid, const Streams& s, std::chrono::seconds limit = std::chrono::seconds(120)) {
    Outcome o;
    int wstatus = 0;
    EXPECT_NE(pid, -1);
    if (pid == -1) return o;
    const bool ended = WaitFor(pid, wstatus, limit);
    EXPECT_TRUE(ended) << "jasokit did not finish within " << limit.count() << " s";
    o.exited = ended && WIFEXITED(wstatus);
    if (o.exited) o.status = WEXITSTATUS(wstatus);
    if (WIFSIGNALED(wstatus)) o.signal = WTERMSIG(wstatus);
    if (!s.out.empty() && s.outFd < 0) o.out = ReadBytes(s.out);
    o.err = ReadBytes(s.err.empty() ? Path("stderr") : fs::path(s.err));
    return o;
  }

  // Like Start, by fork and exec, so that the child is limited first; inFd,
  // when set, is its standard input.
  pid_t StartLimited(const std::vector<std::string>& args, const Streams& s, const Limits& limits, int inFd = -1) {
    std::string program = JASOKIT_CLI_PATH;
    std::vector<std::string> copies(args);
    std::vector<char*> argv{program.data()};
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string errPath = Path("stderr").string();
    const pid_t pid = fork();
    if (pid != 0) return pid;
    // The child: only calls that are safe after fork.
    const int in = inFd >= 0 ? inFd : open(s.in.c_str(), O_RDONLY);
    const int out = open(s.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(127);
    signal(SIGPIPE, SIG_DFL);
    signal(SIGXFSZ, SIG_IGN);
    const struct rlimit as = {limits.addressSpace, limits.addressSpace};
    const struct rlimit size = {limits.fileSize, limits.fileSize};
    if (setrlimit(RLIMIT_AS, &as) != 0 || setrlimit(RLIMIT_FSIZE, &size) != 0) _exit(127);
    if (limits.asNobody && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(127);
    execv(program.c_str(), argv.data());
    _exit(127);
  }

  // The names in the test's folder, to see that nothing was left behind.
  std::vector<std::string> Names(const fs::path& dir) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  Outcome Run(const std::vector<std::string>& args, const std::string& inPath) {
    Streams s;
    s.in = inPath;
    s.out = Path("stdout").string();
    return Finish(Start(args, s), s);
  }

  // Runs jasokit into a pipe whose reader takes the first headBytes bytes
  // into *head and then closes its end, as `| head -c` does.
  Outcome RunIntoClosingReader(const std::vector<std::string>& args, const fs::path& in, std::size_t headBytes,
                               std::string* head) {
    int fds[2];
    EXPECT_EQ(pipe2(fds, O_CLOEXEC), 0);  // the child must not hold the read end
    Streams s;
    s.in = in.string();
    s.outFd = fds[1];
    const pid_t pid = Start(args, s);
    close(fds[1]);
    head->assign(headBytes, '\0');
    std::size_t got = 0;
    while (got < headBytes) {
      const ssize_t n = read(fds[0], &(*head)[got], headBytes - got);
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    head->resize(got);
    close(fds[0]);
    return Finish(pid, s, std::chrono::seconds(60));
  }

  fs::path m_dir;
};

TEST_F(CliFaults, OddInputGivesOneLinePerLine) {
  struct {
    const char* what;
    std::string input;
    std::vector<std::string> args;
    std::string out;
    std::string err;
  } cases[] = {
      {"invalid UTF-8",
       "a\xff\n\xc3(b\n\xed\xa0\x80\n\xf0(\x8c(\n한국\n",
       {"convert"},
       // One U+FFFD for each maximal invalid part, as the Unicode Standard recommends.
       "A" + std::string(kFffd) + "\n" + kFffd + "(b\n" + kFffd + kFffd + kFffd + "\n" + kFffd + "(" + kFffd +
           "(\nHanguk\n",
       Utf8Warning("line 1")},
      // The engine takes zero-terminated text, so a line ends at a NUL byte;
      // the lines after it are all there.
      {"NUL bytes",
       Bytes("a\0b\n\0\n한\0국\n끝"),
       {"convert"},
       "A\n\nHan\nKkeut\n",
       "jasokit convert: warning: input holds NUL bytes; text after a NUL byte was not converted\n"},
      // A lone CR ends no line: the whole text is one line, CRs kept.
      {"CR-only line ends", "한국\r신라\r부산", {"convert"}, "Hanguk\rsilla\rbusan\n", ""},
      {"CR-only line ends, tsv", "한국\r신라\r", {"convert", "--tsv"}, "PlainText\t한국\\r신라\tHanguk\\rsilla\n", ""},
      {"CR LF, last line without LF",
       "서울 강남구\r\n신라\r\n종로",
       {"convert"},
       "Gangnam-gu Seoul S.KOREA \nSilla\nJongno\n",
       ""},
      {"last line without LF, tsv", "\n신라", {"convert", "--tsv"}, "Empty\t\t\nPlainText\t신라\tSilla\n", ""},
      {"empty input", "", {"convert"}, "", ""},
      {"CP949 mode, invalid bytes", "\x80\xff\xb0\n\xb0\xa1", {"convert", "--cp949"}, "???\nGa\n", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Outcome o = Run(c.args, Input(c.input).string());
    EXPECT_TRUE(o.exited);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, c.out);
    EXPECT_EQ(o.err, c.err);
  }
}

TEST_F(CliFaults, InvalidUtf8Argument) {
  const Outcome o = Run({"convert", "a\xff", "한국"}, "/dev/null");
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "A" + std::string(kFffd) + "\nHanguk\n");
  EXPECT_EQ(o.err, Utf8Warning("argument 1"));
}

// Writes lines to path in large blocks, so a 100 MB line costs no 100 MB
// string in the test itself.
void WriteLines(const fs::path& path, const std::vector<std::pair<std::string, std::size_t> >& pieces) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  for (const auto& [text, times] : pieces) {
    for (std::size_t i = 0; i < times; ++i) ASSERT_EQ(std::fwrite(text.data(), 1, text.size(), f), text.size());
  }
  ASSERT_EQ(std::fclose(f), 0);
}

TEST_F(CliFaults, HundredMegabyteLineIsRefusedAndTheRestConverted) {
  const fs::path in = Path("huge");
  const std::string block(1 << 20, 'a');
  WriteLines(in, {{"한국\n", 1}, {block, 100}, {"\n신라\n", 1}, {block, 100}});  // last line without LF
  const Outcome o = Run({"convert"}, in.string());
  EXPECT_TRUE(o.exited);
  EXPECT_EQ(o.status, 6);
  EXPECT_EQ(o.out, "Hanguk\n\nSilla\n\n");
  EXPECT_EQ(o.err,
            std::string("jasokit convert: line 2: ") + kRefusal + "\njasokit convert: line 4: " + kRefusal + "\n");
}

TEST_F(CliFaults, HugeWhitespaceAroundAWordIsTrimmed) {
  const fs::path in = Path("padded");
  WriteLines(in, {{std::string(1 << 20, ' '), 16}, {"한국", 1}, {std::string(1 << 20, '\t'), 16}, {"\n", 1}});
  const Outcome o = Run({"convert", "--tsv"}, in.string());
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "PlainText\t한국\tHanguk\n");
}

TEST_F(CliFaults, LongBatchLosesNoLine) {
  // 300,000 lines: short texts, blank lines, and every 1000th line too long.
  const std::string tooLong = test::Repeat("가", 600);
  std::string input, expected;
  int refused = 0;
  for (int i = 0; i < 300000; ++i) {
    switch (i % 4) {
      case 0:
        input += "한국\n";
        expected += "Hanguk\n";
        break;
      case 1:
        input += "\n";
        expected += "\n";
        break;
      case 2:
        input += "  신라  \r\n";
        expected += "Silla\n";
        break;
      default:
        if (i % 1000 == 999) {
          input += tooLong + "\n";
          expected += "\n";
          ++refused;
        } else {
          input += "종로 학문\n";
          expected += "Jongno hangmun\n";
        }
    }
  }
  const Outcome o = Run({"convert"}, Input(input).string());
  EXPECT_EQ(o.status, 6);
  ASSERT_EQ(o.out.size(), expected.size());
  EXPECT_TRUE(o.out == expected);
  std::size_t errLines = 0;
  for (char c : o.err) errLines += c == '\n';
  EXPECT_EQ(errLines, static_cast<std::size_t>(refused));
}

TEST_F(CliFaults, ReaderClosingThePipeMidBatchGivesStatus3) {
  std::string input;
  for (int i = 0; i < 300000; ++i) input += "한국 신라\n";  // about 4 MB of output
  const fs::path in = Input(input);
  std::string head;
  const Outcome o = RunIntoClosingReader({"convert"}, in, 16, &head);
  EXPECT_EQ(head, "Hanguk silla\nHan");
  EXPECT_TRUE(o.exited) << "signal " << o.signal;
  EXPECT_EQ(o.status, 3);
  EXPECT_EQ(o.err, kWriteError);
}

TEST_F(CliFaults, BrokenStreamsGiveStatus3) {
  const std::string input = Input("한국\n신라\n").string();
  struct {
    const char* what;
    std::string in;
    std::string out;
    const char* err;
  } cases[] = {
      {"stdout closed", input, "", kWriteError},
      {"stdout full", input, "/dev/full", kWriteError},
      {"stdin closed", "", Path("stdout").string(), kReadError},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.out == "/dev/full" && !fs::exists("/dev/full")) continue;
    Streams s;
    s.in = c.in;
    s.out = c.out;
    const Outcome o = Finish(Start({"convert"}, s), Streams{});
    EXPECT_TRUE(o.exited) << "signal " << o.signal;
    EXPECT_EQ(o.status, 3);
    EXPECT_EQ(o.err, c.err);
  }
}

// Writes head, then bytes bytes of fill, then tail into fd, and closes it;
// stops early once the reader has gone.
void Pour(int fd, const std::string& head, char fill, std::size_t bytes, const std::string& tail) {
  auto put = [fd](const char* p, std::size_t n) {
    while (n > 0) {
      const ssize_t w = write(fd, p, n);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) return false;
      p += w;
      n -= static_cast<std::size_t>(w);
    }
    return true;
  };
  const std::string block(1 << 16, fill);
  bool ok = put(head.data(), head.size());
  for (std::size_t done = 0; ok && done < bytes; done += block.size()) {
    ok = put(block.data(), std::min(block.size(), bytes - done));
  }
  if (ok) put(tail.data(), tail.size());
  close(fd);
}

// While it lives, a child that stops reading makes our writes fail instead
// of killing the test.
class IgnoreSigpipe {
 public:
  IgnoreSigpipe() : m_old(signal(SIGPIPE, SIG_IGN)) {}
  ~IgnoreSigpipe() { signal(SIGPIPE, m_old); }

 private:
  void (*m_old)(int);
};

std::string SampleTable() { return (fs::path(JASOKIT_CLI_PATH).parent_path() / kZipFileName).string(); }

// A line far bigger than the memory a command may take: it must stream past.
TEST_F(CliFaults, HugeLinesFitInTheMemoryTarget) {
#ifdef JASOKIT_ADDRESS_SANITIZER
  GTEST_SKIP() << "AddressSanitizer reserves a huge address space";
#endif
  const std::size_t kHuge = 128u << 20;
  const std::string out = Path("out.dbf").string();
  const Outcome found = Run({"zip", "--db", SampleTable(), "역삼동"}, "/dev/null");
  ASSERT_EQ(found.status, 0) << found.err;
  const std::string tooLongName =
      std::string(kSampleNote) + "jasokit zip: line 2: more than 1024 bytes, longer than any place name\n";
  const struct {
    std::vector<std::string> args;
    std::string head;
    char fill;
    std::string tail;
    int status;
    std::string out;
    std::string err;
  } kCases[] = {
      {{"convert"},
       "한국\n",
       'a',
       "\n신라\n",
       6,
       "Hanguk\n\nSilla\n",
       std::string("jasokit convert: line 2: ") + kRefusal + "\n"},
      {{"convert", "--cp949"},
       test::Cp("한국\n"),
       'a',
       test::Cp("\n신라\n"),
       6,
       "Hanguk\n\nSilla\n",
       "jasokit convert: line 2: " + test::Cp(kRefusal) + "\n"},
      {{"convert", "--tsv"},
       "한국\n",
       ' ',
       "신라" + std::string(1 << 20, ' ') + "\n",
       0,
       "PlainText\t한국\tHanguk\nPlainText\t신라\tSilla\n",
       ""},
      {{"romanize"},
       "한국\n",
       'a',
       "\n신라\n",
       6,
       "Hanguk\n\nSilla\n",
       "jasokit romanize: line 2: too long to romanize (more than 1024 characters, or more than 1024 bytes of "
       "result)\n"},
      {{"zip", "--db", SampleTable()},
       "역삼동\n",
       'a',
       "\n역삼동\n",
       4,
       found.out + found.out,
       tooLongName + "찾지 못했습니다.\n"},
      {{"zipdb", "build", "-", "-o", out},
       "1,2,3,a,5\n",
       'a',
       "\n1,2,3,b,5\n",
       5,
       "",
       "jasokit zipdb: <stdin>:2: more than 1024 bytes in the row; no valid row comes near that\n"
       "jasokit zipdb: " +
           out + " not written\n"},
  };
  IgnoreSigpipe ignore;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : ""));
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    Streams s;
    s.out = Path("stdout").string();
    Limits limits;
    limits.addressSpace = kMemoryTarget;
    const pid_t pid = StartLimited(c.args, s, limits, fds[0]);
    close(fds[0]);
    std::thread writer(Pour, fds[1], c.head, c.fill, kHuge, c.tail);
    const Outcome o = Finish(pid, s);
    writer.join();
    EXPECT_TRUE(o.exited) << "signal " << o.signal;
    EXPECT_EQ(o.status, c.status);
    EXPECT_TRUE(o.out == c.out) << o.out.size() << " bytes out";
    EXPECT_EQ(o.err, c.err);
  }
  EXPECT_EQ(Names(m_dir), (std::vector<std::string>{"stderr", "stdout"}));
}

// A line that never ends, as from /dev/zero: the command reads on, in the
// same memory, until it is stopped.
TEST_F(CliFaults, EndlessLineKeepsTheMemoryTarget) {
#ifdef JASOKIT_ADDRESS_SANITIZER
  GTEST_SKIP() << "AddressSanitizer reserves a huge address space";
#endif
  if (!fs::exists("/dev/zero")) GTEST_SKIP() << "no /dev/zero";
  const std::string out = Path("out.dbf").string();
  const std::vector<std::vector<std::string> > kCommands = {{"convert"},
                                                            {"convert", "--cp949"},
                                                            {"romanize"},
                                                            {"zip", "--db", SampleTable()},
                                                            {"zipdb", "build", "-", "-o", out}};
  for (const auto& args : kCommands) {
    SCOPED_TRACE(args[0]);
    Streams s;
    s.in = "/dev/zero";
    s.out = Path("stdout").string();
    Limits limits;
    limits.addressSpace = kMemoryTarget;
    const pid_t pid = StartLimited(args, s, limits);
    ASSERT_GT(pid, 0);
    // Long enough to read far more than the limit.
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    int wstatus = 0;
    const pid_t ended = waitpid(pid, &wstatus, WNOHANG);
    EXPECT_EQ(ended, 0) << "it ended: " << (WIFSIGNALED(wstatus) ? "signal " : "status ")
                        << (WIFSIGNALED(wstatus) ? WTERMSIG(wstatus) : WEXITSTATUS(wstatus)) << ": "
                        << ReadBytes(Path("stderr"));
    if (ended == 0) {
      kill(pid, SIGTERM);
      waitpid(pid, &wstatus, 0);
      EXPECT_TRUE(WIFSIGNALED(wstatus) && WTERMSIG(wstatus) == SIGTERM);
    }
  }
  // The build stopped by the signal took its temporary file with it.
  EXPECT_EQ(Names(m_dir), (std::vector<std::string>{"stderr", "stdout"}));
}

// A CSV of 'rows' rows whose localities start with prefix.
std::string Rows(const std::string& prefix, int rows) {
  std::string csv;
  for (int i = 0; i < rows; ++i) csv += "100-100,서울,중구," + prefix + std::to_string(i) + ",\n";
  return csv;
}

TEST_F(CliFaults, PipeAsCsvIsRefusedWithoutBlocking) {
  const std::string fifo = Path("fifo.csv").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  Streams s;
  s.out = Path("stdout").string();
  const Outcome o =
      Finish(Start({"zipdb", "build", fifo, "-o", Path("t.dbf").string()}, s), s, std::chrono::seconds(20));
  EXPECT_TRUE(o.exited);
  EXPECT_EQ(o.status, 5);
  EXPECT_EQ(o.err, "jasokit zipdb: cannot read " + fifo + ": not a regular file (give '-' to read standard input)\n");
  EXPECT_FALSE(fs::exists(Path("t.dbf")));
}

TEST_F(CliFaults, FailedTableWriteLeavesTheTargetAsItWas) {
  const fs::path csv = Input(Rows("n", 3000));  // a table of some 270 KB
  const std::string target = Path("t.dbf").string();
  WriteFile(target, "previous");
  Streams s;
  s.out = Path("stdout").string();
  Limits limits;
  limits.fileSize = 64 << 10;
  const Outcome o = Finish(StartLimited({"zipdb", "build", csv.string(), "-o", target}, s, limits), s);
  EXPECT_TRUE(o.exited) << "signal " << o.signal;
  EXPECT_EQ(o.status, 5);
  EXPECT_EQ(o.err, "jasokit zipdb: error writing " + target + ": File too large\n");
  EXPECT_EQ(ReadBytes(target), "previous");
  EXPECT_EQ(Names(m_dir), (std::vector<std::string>{"input", "stderr", "stdout", "t.dbf"}));
}

TEST_F(CliFaults, TableTheUserMayNotWriteIsNotReplaced) {
  // The folder would allow the rename; the file itself is not ours to write.
  const fs::path shared = Path("shared");
  fs::create_directory(shared);
  fs::permissions(shared, fs::perms::all);
  const std::string csv = (shared / "in.csv").string();
  const std::string target = (shared / "t.dbf").string();
  WriteFile(csv, Rows("n", 3));
  WriteFile(target, "previous");
  fs::permissions(csv, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
  fs::permissions(target, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  Limits limits;
  if (geteuid() == 0) {
    // Permissions do not stop root: run the program as nobody instead, the
    // table still root's own.
    limits.asNobody = true;
    fs::permissions(target, fs::perms::owner_write, fs::perm_options::add);
    fs::permissions(m_dir, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
  }
  Streams s;
  s.out = Path("stdout").string();
  const Outcome o = Finish(StartLimited({"zipdb", "build", csv, "-o", target}, s, limits), s);
  if (o.status == 127) GTEST_SKIP() << "cannot run the program as nobody here";
  EXPECT_EQ(o.status, 5);
  EXPECT_EQ(o.err, "jasokit zipdb: cannot replace " + target + ": Permission denied\n");
  EXPECT_EQ(ReadBytes(target), "previous");
  EXPECT_EQ(Names(shared), (std::vector<std::string>{"in.csv", "t.dbf"}));
}

// Two builds to one table at once: whichever renames last wins, and the
// table is always one CSV's whole, never a mix.
TEST_F(CliFaults, ConcurrentBuildsLeaveOneWholeTable) {
  setenv("SOURCE_DATE_EPOCH", "1041379200", 1);
  const std::string csvA = Path("a.csv").string();
  const std::string csvB = Path("b.csv").string();
  WriteFile(csvA, Rows("a", 20000));
  WriteFile(csvB, Rows("b", 15000));
  const std::string target = Path("t.dbf").string();
  ASSERT_EQ(Run({"zipdb", "build", csvA, "-o", target}, "/dev/null").status, 0);
  const std::string tableA = ReadBytes(target);
  ASSERT_EQ(Run({"zipdb", "build", csvB, "-o", target}, "/dev/null").status, 0);
  const std::string tableB = ReadBytes(target);
  int wins[2] = {};
  for (int round = 0; round < 30; ++round) {
    Streams a, b;
    a.out = b.out = "/dev/null";
    a.err = Path("a.err").string();
    b.err = Path("b.err").string();
    const pid_t pa = Start({"zipdb", "build", csvA, "-o", target}, a);
    const pid_t pb = Start({"zipdb", "build", csvB, "-o", target}, b);
    const Outcome oa = Finish(pa, a);
    const Outcome ob = Finish(pb, b);
    EXPECT_EQ(oa.status, 0) << oa.err;
    EXPECT_EQ(ob.status, 0) << ob.err;
    const std::string table = ReadBytes(target);
    ASSERT_TRUE(table == tableA || table == tableB) << "round " << round << ": " << table.size() << " bytes";
    ++wins[table == tableA ? 0 : 1];
  }
  unsetenv("SOURCE_DATE_EPOCH");
  EXPECT_EQ(Names(m_dir), (std::vector<std::string>{"a.csv", "a.err", "b.csv", "b.err", "stderr", "stdout", "t.dbf"}));
  std::printf("last writer: a %d times, b %d times\n", wins[0], wins[1]);
}

// Standard input redirected from a folder is named as one.
TEST_F(CliFaults, StandardInputFromAFolderIsNamed) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"convert"}, {"convert", "--csv"}, {"zip"}, {"romanize", "--name"}}) {
    const Outcome o = Run(args, m_dir.string());
    EXPECT_EQ(o.status, 3) << args[0];
    EXPECT_EQ(o.err, "jasokit " + args[0] + ": standard input is a folder, not a file\n") << args.size();
  }
}

// jasokit zip with a damaged, odd or huge table file given by --db.
class ZipFaults : public CliFaults {
 protected:
  void SetUp() override {
    CliFaults::SetUp();
    m_table = ReadBytes(fs::path(JASOKIT_CLI_PATH).parent_path() / kZipFileName);
    ASSERT_GT(m_table.size(), kZipHeaderBytes + 10 * kZipRecordBytes) << "the build makes a sample table";
  }

  std::size_t Records() const { return (m_table.size() - kZipHeaderBytes) / kZipRecordBytes; }
  ZipRecord Record(std::size_t i) const {
    return CutZipRecord(m_table.data() + kZipHeaderBytes + i * kZipRecordBytes).ToRecord();
  }
  // The UTF-8 name to ask for record i.
  std::string Name(std::size_t i) const { return test::Utf8(Record(i).locality); }
  // The line jasokit prints for record i.
  std::string Line(std::size_t i) const {
    const ZipRecord r = Record(i);
    return test::Utf8(r.zipCode + ' ' + r.province + ' ' + r.district + ' ' + r.locality + ' ' + r.detail) + "\n";
  }
  // A record slot whose name no earlier slot has, so that cutting the table
  // before it makes the name unknown.
  std::size_t FirstNewNameAfter(std::size_t from) const {
    for (std::size_t i = from; i < Records(); ++i) {
      bool seen = Record(i).locality.empty();
      for (std::size_t j = 0; j < i && !seen; ++j) seen = Record(j).locality == Record(i).locality;
      if (!seen) return i;
    }
    return 0;
  }

  Outcome Zip(const fs::path& db, const std::vector<std::string>& names) {
    std::vector<std::string> args = {"zip", "--db", db.string()};
    args.insert(args.end(), names.begin(), names.end());
    return Run(args, "/dev/null");
  }

  std::string m_table;
};

TEST_F(ZipFaults, DefaultTableMissingOrAFolderEndsWithStatus1) {
  // A copy of the program in a folder of its own looks for its table there.
  const fs::path bin = Path("bin");
  fs::create_directory(bin);
  fs::copy_file(JASOKIT_CLI_PATH, bin / "jasokit");
  Streams s;
  s.out = Path("stdout").string();
  const std::vector<std::string> args = {"zip", Name(0)};

  Outcome o = Finish(Start(args, s, (bin / "jasokit").string()), s);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.err, "stat function failed\n");

  fs::create_directory(bin / kZipFileName);
  o = Finish(Start(args, s, (bin / "jasokit").string()), s);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.err, "db file open failed\n");

  fs::remove(bin / kZipFileName);
  WriteFile(bin / kZipFileName, m_table);
  o = Finish(Start(args, s, (bin / "jasokit").string()), s);
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find(Line(0)), std::string::npos);
}

TEST_F(ZipFaults, ShortTablesLoadTheirCompleteRecords) {
  const std::size_t k = FirstNewNameAfter(5);
  ASSERT_GT(k, 0u);
  const std::size_t cutMidRecord = kZipHeaderBytes + k * kZipRecordBytes + kZipRecordBytes / 2;
  struct {
    const char* what;
    std::string bytes;
    std::size_t records;  // complete records the file holds
  } cases[] = {
      {"empty", "", 0},  // no table's header: refused
      {"header cut short", m_table.substr(0, 100), 0},
      {"header only", m_table.substr(0, kZipHeaderBytes), 0},
      {"cut mid-record", m_table.substr(0, cutMidRecord), k},
      {"cut after a record", m_table.substr(0, cutMidRecord + kZipRecordBytes / 2), k + 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path db = Path("short.dbf");
    WriteFile(db, c.bytes);
    // The last complete record is there; the one cut off is not.
    if (c.records > 0) {
      const Outcome found = Zip(db, {Name(c.records - 1)});
      EXPECT_EQ(found.status, 0) << found.err;
      EXPECT_NE(found.out.find(Line(c.records - 1)), std::string::npos);
    }
    const Outcome missing = Zip(db, {Name(k)});
    EXPECT_TRUE(missing.exited);
    if (c.bytes.size() < kZipHeaderBytes) {
      EXPECT_EQ(missing.status, 1);
      EXPECT_EQ(missing.err, "jasokit zip: " + db.string() +
                                 ": not a zip code table (a dBASE III table with a 225-byte header and 90-byte "
                                 "records of 7, 4, 13, 43, 17 and 5 bytes)\n");
      continue;
    }
    EXPECT_EQ(missing.status, c.records > k ? 0 : 4);
    EXPECT_EQ(missing.err, c.records > k ? kSampleNote : "찾지 못했습니다.\n");
  }
}

TEST_F(ZipFaults, HugeSparseTableReadsOnlyTheFixedRecordCount) {
  // 200 MB: the sample rows, then zeros; every slot past them is an empty row.
  const fs::path db = Path("huge.dbf");
  WriteFile(db, m_table);
  fs::resize_file(db, 200u << 20);
  const Outcome found = Zip(db, {Name(0)});
  EXPECT_EQ(found.status, 0) << found.err;
  EXPECT_NE(found.out.find(Line(0)), std::string::npos);

  std::size_t emptyNames = kZipRecordCount - Records();
  for (std::size_t i = 0; i < Records(); ++i) emptyNames += Record(i).locality.empty();
  const Outcome empty = Zip(db, {""});
  EXPECT_EQ(empty.status, 0);
  EXPECT_EQ(std::count(empty.out.begin(), empty.out.end(), '\n'), static_cast<long>(emptyNames));
}

// The table is read whole, so only a regular file is one; a device or a
// pipe is refused at once, without reading or blocking.
TEST_F(ZipFaults, DevicesAndPipesAreNoTables) {
  if (!fs::exists("/dev/zero")) GTEST_SKIP() << "no /dev/zero";
  for (const char* device : {"/dev/zero", "/dev/null"}) {
    const Outcome o = Zip(device, {""});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, std::string("db file open failed\njasokit zip: ") + device + ": not a regular file\n");
  }
  const std::string fifo = Path("fifo.dbf").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const Outcome o = Zip(fifo, {""});
  EXPECT_TRUE(o.exited);
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "db file open failed\njasokit zip: " + fifo + ": not a regular file\n");
}

TEST_F(ZipFaults, UnreadableTableEndsWithStatus1) {
  const fs::path db = Path("locked.dbf");
  WriteFile(db, m_table);
  fs::permissions(db, fs::perms::none);
  Outcome o;
  if (geteuid() != 0) {
    o = Zip(db, {Name(0)});
  } else {
    // Permissions do not stop root: run the program as nobody instead.
    fs::permissions(m_dir, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    const std::string program = JASOKIT_CLI_PATH;
    const std::string name = Name(0);
    const std::string err = Path("stderr").string();
    const pid_t pid = fork();
    ASSERT_NE(pid, -1);
    if (pid == 0) {
      const int devnull = open("/dev/null", O_RDWR);
      const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
      if (devnull < 0 || errFd < 0 || dup2(devnull, 0) < 0 || dup2(devnull, 1) < 0 || dup2(errFd, 2) < 0 ||
          setgid(65534) != 0 || setuid(65534) != 0) {
        _exit(127);
      }
      execl(program.c_str(), program.c_str(), "zip", "--db", db.c_str(), name.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    o = Finish(pid, Streams{});
    if (o.status == 127) GTEST_SKIP() << "cannot run the program as nobody here";
  }
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.err, "db file open failed\n");
}

TEST_F(ZipFaults, OddNamesOnStandardInputAreEachAnswered) {
  // Every line gets its rows or a report: invalid UTF-8, an empty line, a NUL
  // byte, CRs that end no line, and a last line without LF.
  const std::string name = Name(0);
  const Outcome o =
      Run({"zip", "--db", (fs::path(JASOKIT_CLI_PATH).parent_path() / kZipFileName).string()},
          Input(name + "\n\xff\n\n" + Bytes("역\0") + "\n" + name + "\r" + name + "\r\n" + name).string());
  EXPECT_TRUE(o.exited);
  EXPECT_EQ(o.status, 4);
  const std::string lines = Line(0);
  EXPECT_EQ(o.out.find(lines), 0u);
  EXPECT_NE(o.out.rfind(lines), 0u);  // the last line, without LF, was looked up too
  EXPECT_EQ(o.err, std::string(kSampleNote) +
                       "jasokit zip: line 2: invalid UTF-8 or a character with no CP949 form\n"
                       "'\xff': 찾지 못했습니다.\n"
                       "'': 찾지 못했습니다.\n" +
                       "'역\\x00': 찾지 못했습니다.\n'" + name + "\\r" + name + "': 찾지 못했습니다.\n");
}

TEST_F(ZipFaults, ReaderClosingThePipeMidListingGivesStatus3) {
  std::string input;
  for (int i = 0; i < 100000; ++i) input += Name(0) + "\n";
  const fs::path in = Input(input);
  std::string head;
  const Outcome o = RunIntoClosingReader(
      {"zip", "--db", (fs::path(JASOKIT_CLI_PATH).parent_path() / kZipFileName).string()}, in, 7, &head);
  EXPECT_EQ(head, test::Utf8(Record(0).zipCode));
  EXPECT_TRUE(o.exited) << "signal " << o.signal;
  EXPECT_EQ(o.status, 3);
  EXPECT_EQ(o.err, std::string(kSampleNote) + "jasokit zip: error writing standard output\n");
}

}  // namespace
}  // namespace jasokit
#endif
