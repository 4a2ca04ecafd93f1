// jasokit convert in batches: CSV, JSON lines, jobs and the progress line.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli.h"
#include "fake-io.h"
#include "test-util.h"

namespace jasokit {
namespace {

using test::Cp;
using test::FakeIo;
using test::RunJasokit;

constexpr const char* kRefusal = "입력 길이가 1000 글자를 초과하여 처리할 수 없습니다. 다시 한번 확인해 주세요.";
const std::string kStops = "; the output stops before this record\n";

struct Outcome {
  int rc;
  std::string out;
  std::string err;
};

Outcome Convert(const std::string& input, cli::Args args, std::size_t chunk = 7) {
  FakeIo io(input);
  io.SetChunk(chunk);
  args.insert(args.begin(), "convert");
  const int rc = RunJasokit(io, args);
  return {rc, io.out, io.err};
}

struct CsvCase {
  const char* what;
  std::string input;
  cli::Args args;
  int rc;
  std::string out;
  std::string err;
};

TEST(ConvertCsv, EveryOtherByteStaysAsItWas) {
  const std::string refused = std::string(2000, 'a');
  const CsvCase kCases[] = {
      {"a new last column", "1,한국\n2,신라\n", {"--column", "2"}, 0, "1,한국,Hanguk\n2,신라,Silla\n", ""},
      {"column 1 by default", "한국,x\n", {}, 0, "한국,x,Hanguk\n", ""},
      {"quotes kept, and added exactly when needed",
       "1,\"한국,신라\",\"x\"\n",
       {"--column", "2"},
       0,
       "1,\"한국,신라\",\"x\",\"Hanguk,silla\"\n",
       ""},
      {"doubled quotes", "\"say \"\"한국\"\"\",x\n", {}, 0, "\"say \"\"한국\"\"\",x,\"Say \"\"hanguk\"\"\"\n", ""},
      {"CRLF records, a CRLF inside quotes",
       "\"한국\r\n신라\",x\r\ny,z\r\n",
       {},
       0,
       "\"한국\r\n신라\",x,Hanguk silla\r\ny,z,Y\r\n",
       ""},
      {"a BOM", "\xEF\xBB\xBF한국,x\n", {}, 0, "\xEF\xBB\xBF한국,x,Hanguk\n", ""},
      {"a header, the column by name",
       "a,b\n한국,신라\n",
       {"--header", "--column", "b"},
       0,
       "a,b,converted\n한국,신라,Silla\n",
       ""},
      {"a header, the column by number",
       "a,b\n한국,신라\n",
       {"--header", "--column", "1"},
       0,
       "a,b,converted\n한국,신라,Hanguk\n",
       ""},
      {"a header after a blank line, with a BOM",
       "\xEF\xBB\xBF\n이름\n한국\n",
       {"--header", "--column", "이름"},
       0,
       "\xEF\xBB\xBF\n이름,converted\n한국,Hanguk\n",
       ""},
      {"--output-column",
       "id,name\n1,한국\n",
       {"--header", "--column", "name", "--output-column", "영문"},
       0,
       "id,name,영문\n1,한국,Hanguk\n",
       ""},
      {"--output-column quoted when needed",
       "n\n한국\n",
       {"--header", "--output-column", "a,b"},
       0,
       "n,\"a,b\"\n한국,Hanguk\n",
       ""},
      {"--in-place",
       "id,name\r\n1,\"한국\"\r\n",
       {"--header", "--column", "2", "--in-place"},
       0,
       "id,name\r\n1,Hanguk\r\n",
       ""},
      {"--in-place without a header", "x,\"a\"\"b\"\n", {"--column", "2", "--in-place"}, 0, "x,\"A\"\"b\"\n", ""},
      {"blank lines pass", "한국\n\n\r\n신라", {}, 0, "한국,Hanguk\n\n\r\n신라,Silla", ""},
      {"an empty file", "", {}, 0, "", ""},
      {"an empty file with a header", "", {"--header"}, 0, "", ""},
      {"ragged rows keep their shape",
       "1,한국\n2,신라,x,y\n",
       {"--column", "2"},
       0,
       "1,한국,Hanguk\n2,신라,x,y,Silla\n",
       ""},
      {"an empty field",
       "a,\n b ,  \n",
       {"--column", "2"},
       0,
       "a,,\n b ,  ,\n",
       "jasokit convert: warning: line 1: field 2 is empty; its conversion is empty\n"
       "jasokit convert: warning: line 2: field 2 is empty; its conversion is empty\n"},
      {"a refused field",
       "1,한국\n2," + refused + "\n3,신라\n",
       {"--column", "2"},
       cli::kExitRefused,
       "1,한국,Hanguk\n2," + refused + ",\n3,신라,Silla\n",
       std::string("jasokit convert: line 2: ") + kRefusal + "\n"},
      {"invalid UTF-8, reported once",
       "a\n\xff\n\xfe\n",
       {},
       0,
       "a,A\n\xff,\xEF\xBF\xBD\n\xfe,\xEF\xBF\xBD\n",
       "jasokit convert: warning: line 2: invalid UTF-8, converted as U+FFFD\n"},
      {"NUL bytes end the text",
       std::string("\"a\0b\",x\n", 8),
       {},
       0,
       std::string("\"a\0b\",x,A\n", 10),
       "jasokit convert: warning: input holds NUL bytes; text after a NUL byte was not converted\n"},
      {"CP949 in and out", Cp("\"한국,신라\",x\r\n"), {"--cp949"}, 0, Cp("\"한국,신라\",x,\"Hanguk,silla\"\r\n"), ""},
      {"CP949 header name",
       Cp("번호,이름\n1,한국\n"),
       {"--cp949", "--header", "--column", Cp("이름"), "--output-column", Cp("영문")},
       0,
       Cp("번호,이름,영문\n1,한국,Hanguk\n"),
       ""},
      {"official style",
       "서울특별시 강남구 테헤란로 152\n",
       {"--style", "official"},
       0,
       "서울특별시 강남구 테헤란로 152,\"152 Teheran-ro, Gangnam-gu, Seoul, Republic of Korea\"\n",
       ""},
      {"--country",
       "서울 관악구 신림동 739\n",
       {"--style", "official", "--country", "S.KOREA"},
       0,
       "서울 관악구 신림동 739,\"739 Sillim-dong, Gwanak-gu, Seoul, S.KOREA\"\n",
       ""},
      // Badly formed: what came before is out, the status says it is not all.
      {"a missing column",
       "1,한국\n2\n3,신라\n",
       {"--column", "2"},
       2,
       "1,한국,Hanguk\n",
       "jasokit convert: line 2: no field 2 (the record has 1)" + kStops},
      {"a missing header name",
       "a,b\n1,2\n",
       {"--header", "--column", "c"},
       2,
       "",
       "jasokit convert: line 1: no column named 'c' in the header" + kStops},
      {"an unclosed quote",
       "한국\n\"신라\n\n",
       {},
       2,
       "한국,Hanguk\n",
       "jasokit convert: line 2: the quoted field opened here is never closed" + kStops},
      {"a stray quote",
       "a\"b\n",
       {},
       2,
       "",
       "jasokit convert: line 1: a quote inside unquoted field 1 (quote the "
       "whole field and double its quotes)" +
           kStops},
  };
  for (const CsvCase& c : kCases) {
    for (const char* jobs : {"1", "3"}) {
      cli::Args args = {"--csv", "-j", jobs};
      args.insert(args.end(), c.args.begin(), c.args.end());
      const Outcome r = Convert(c.input, args);
      EXPECT_EQ(r.rc, c.rc) << c.what;
      EXPECT_EQ(r.out, c.out) << c.what;
      EXPECT_EQ(r.err, c.err) << c.what;
    }
  }
}

TEST(ConvertCsv, UsageErrors) {
  const struct {
    cli::Args args;
    std::string message;
  } kCases[] = {
      {{"--csv", "--tsv"}, "--csv and --tsv exclude each other"},
      {{"--csv", "--json"}, "--csv and --json exclude each other"},
      {{"--tsv", "--json"}, "--tsv and --json exclude each other"},
      {{"--column", "2"}, "--column needs --csv"},
      {{"--header"}, "--header needs --csv"},
      {{"--in-place"}, "--in-place needs --csv"},
      {{"--csv", "--column", "0"}, "--column counts from 1"},
      {{"--csv", "--column", "name"}, "--column 'name' is a name, which needs --header"},
      {{"--csv", "--output-column", "x"}, "--output-column needs --header"},
      {{"--csv", "--header", "--in-place", "--output-column", "x"},
       "--output-column and --in-place exclude each other"},
      {{"--csv", "한국"}, "--csv reads standard input; no TEXT may be given"},
      {{"-j", "0"}, "--jobs takes a number from 1 to 1024, not '0'"},
      {{"--jobs=many"}, "--jobs takes a number from 1 to 1024, not 'many'"},
      {{"-j"}, "--jobs needs a number of jobs"},
  };
  for (const auto& c : kCases) {
    const Outcome r = Convert("", c.args);
    EXPECT_EQ(r.rc, cli::kExitUsage) << c.message;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "jasokit convert: " + c.message + "; run 'jasokit convert --help'\n");
  }
  EXPECT_EQ(Convert("", {"-j4", "한국"}).out, "Hanguk\n");
}

TEST(ConvertJson, OneObjectPerInput) {
  const std::string seoul =
      "{\"status\":\"Address\",\"normalized\":\"(06236) 서울특별시 강남구 테헤란로 152, 3층\","
      "\"output\":\"3F, 152 Teheran-ro, Gangnam-gu, Seoul, 06236, Republic of Korea\",\"fields\":{\"detail\":"
      "\"3F\",\"street\":\"152 Teheran-ro\",\"district\":\"Gangnam-gu\",\"region\":\"Seoul\",\"postcode\":"
      "\"06236\",\"old_postcode\":\"\",\"country\":\"Republic of Korea\",\"source\":\"rules\"},\"warnings\":[]}\n";
  const Outcome r = Convert(
      "(06236) 서울특별시 강남구 테헤란로 152, 3층\n\"한국\"\t\n\n" + std::string(3000, 'a') + "\n서울 강남구\n",
      {"--json", "--style", "official"});
  EXPECT_EQ(r.rc, cli::kExitRefused);
  EXPECT_EQ(r.out,
            seoul +
                "{\"status\":\"PlainText\",\"normalized\":\"\\\"한국\\\"\",\"output\":\"\\\"hanguk\\\"\","
                "\"fields\":null,\"warnings\":[]}\n"
                "{\"status\":\"Empty\",\"normalized\":\"\",\"output\":\"\",\"fields\":null,\"warnings\":[]}\n"
                "{\"status\":\"TooLong\",\"normalized\":\"\",\"output\":\"\",\"fields\":null,\"warnings\":[]}\n"
                "{\"status\":\"Address\",\"normalized\":\"서울 강남구\",\"output\":\"Gangnam-gu, Seoul, "
                "Republic of Korea\",\"fields\":{\"detail\":\"\",\"street\":\"\",\"district\":\"Gangnam-gu\","
                "\"region\":\"Seoul\",\"postcode\":\"\",\"old_postcode\":\"\",\"country\":\"Republic of Korea\",\"source\":\"rules\"},\"warnings\":[]}\n");
  EXPECT_EQ(r.err, std::string("jasokit convert: line 4: ") + kRefusal + "\n");

  // Classic addresses have no fields; CP949 in, UTF-8 out; invalid bytes are \ufffd.
  EXPECT_EQ(Convert(Cp("서울 강남구\n"), {"--json", "--cp949"}).out,
            "{\"status\":\"Address\",\"normalized\":\"서울 강남구\",\"output\":\"Gangnam-gu Seoul S.KOREA \","
            "\"fields\":null,\"warnings\":[]}\n");
  EXPECT_EQ(Convert("", {"--json", "--cp949", "--style", "official", Cp("서울 강남구")}).out,
            seoul.substr(0, 0) +
                "{\"status\":\"Address\",\"normalized\":\"서울 강남구\",\"output\":\"Gangnam-gu, Seoul, Republic of "
                "Korea\",\"fields\":{\"detail\":\"\",\"street\":\"\",\"district\":\"Gangnam-gu\",\"region\":"
                "\"Seoul\",\"postcode\":\"\",\"old_postcode\":\"\",\"country\":\"Republic of Korea\",\"source\":\"rules\"},\"warnings\":[]}\n");
  EXPECT_EQ(
      Convert("a\xff\n", {"--json"}).out,
      "{\"status\":\"PlainText\",\"normalized\":\"a\xEF\xBF\xBD\",\"output\":\"A\xEF\xBF\xBD\",\"fields\":null,\"warnings\":[]}\n");
}

// 100,000 lines of every kind, in a fixed order.
std::string MixedLines() {
  const std::vector<std::string> kinds = {
      "서울특별시 강남구 테헤란로 152",
      "(06236) 서울특별시 강남구 테헤란로 152, 3층",
      "경기도 성남시 분당구 수내로46번길 4",
      "서울 관악구 신림동 739",
      "경상남도 함안군 가야읍 말산리 123",
      "합니다 감로 묵호",
      "plain text, \"quoted\"",
      "",
      "   ",
      test::Repeat("가", 700),
      std::string(5000, 'x'),
      "a\xff"
      "b",
      std::string("c\0d", 3),
      "\xed\xa0\x80 surrogate",
      "tab\there",
      "é 한국",
  };
  std::string text;
  std::uint32_t state = 12345;
  for (int i = 0; i < 100000; ++i) {
    state = state * 1103515245u + 12345u;
    text += kinds[(state >> 16) % kinds.size()];
    text += (state >> 8) % 3 == 0 ? "\r\n" : "\n";
  }
  return text;
}

// The same lines as one quoted CSV field, beside an id.
std::string MixedCsv(const std::string& lines) {
  std::string csv = "\xEF\xBB\xBFid,text\r\n";
  std::size_t start = 0;
  for (int id = 1; start < lines.size(); ++id) {
    const std::size_t end = lines.find('\n', start);
    std::string line = lines.substr(start, end - start);
    start = end + 1;
    csv += std::to_string(id) + ",\"";
    for (char c : line) csv += c == '"' ? std::string("\"\"") : std::string(1, c);
    csv += "\"\n";
  }
  return csv;
}

TEST(ConvertJobs, AnyNumberOfJobsGivesTheSameBytes) {
  const std::string lines = MixedLines();
  const std::string csv = MixedCsv(lines);
  const struct {
    const std::string* input;
    cli::Args args;
  } kModes[] = {
      {&lines, {}},
      {&lines, {"--tsv"}},
      {&lines, {"--json", "--style", "official"}},
      {&lines, {"--cp949"}},
      {&csv, {"--csv", "--header", "--column", "text"}},
      {&csv, {"--csv", "--column", "2", "--in-place", "--style", "official"}},
  };
  for (const auto& mode : kModes) {
    cli::Args one = mode.args;
    one.insert(one.end(), {"-j", "1"});
    cli::Args four = mode.args;
    four.insert(four.end(), {"-j", "4"});
    const Outcome a = Convert(*mode.input, one, 1 << 16);
    const Outcome b = Convert(*mode.input, four, 1 << 16);
    const std::string what = testing::PrintToString(mode.args);
    EXPECT_EQ(a.rc, cli::kExitRefused) << what;
    EXPECT_EQ(b.rc, a.rc) << what;
    EXPECT_GT(a.out.size(), 1000000u) << what;
    EXPECT_TRUE(a.out == b.out) << what;
    EXPECT_GT(a.err.size(), 1000u) << what;
    EXPECT_EQ(a.err, b.err) << what;
  }
}

// A FakeIo whose input is never waiting, as on a terminal or a slow pipe:
// every line read must be answered before the next read. A terminal hands
// over a line at a time; a pipe, whatever was sent.
class Terminal : public FakeIo {
 public:
  Terminal(std::string input, bool lineAtATime) : FakeIo(input), m_input(std::move(input)), m_lines(lineAtATime) {
    inputReady = [] { return false; };
  }
  long Read(char* buffer, std::size_t size) override {
    const std::string_view read = std::string_view(m_input).substr(0, readPos());
    const auto linesRead = static_cast<std::size_t>(std::count(read.begin(), read.end(), '\n'));
    const auto answered = static_cast<std::size_t>(std::count(out.begin(), out.end(), '\n'));
    if (answered != linesRead) ++m_late;
    if (m_lines) SetChunk(m_input.find('\n', readPos()) + 1 - readPos());
    return FakeIo::Read(buffer, size);
  }
  int late() const { return m_late; }

 private:
  std::string m_input;
  bool m_lines;
  int m_late = 0;
};

TEST(ConvertJobs, ALineTypedIsAnsweredBeforeTheNextIsRead) {
  const struct {
    const char* mode;
    bool lineAtATime;
  } kCases[] = {{"--tsv", false}, {"--json", false}, {"--csv", false}, {"--tsv", true}, {"--csv", true}};
  for (const char* jobs : {"1", "2"}) {
    for (const auto& c : kCases) {
      Terminal io("한국\n신라\n\n부산,x\n", c.lineAtATime);
      EXPECT_EQ(RunJasokit(io, {"convert", "-j", jobs, c.mode}), cli::kExitOk);
      EXPECT_EQ(io.late(), 0) << jobs << c.mode << c.lineAtATime;
      EXPECT_EQ(std::count(io.out.begin(), io.out.end(), '\n'), 4);
    }
  }
}

TEST(ConvertProgress, NoneUnlessAsked) {
  // Not on a terminal, not for arguments, not with --no-progress.
  FakeIo file(std::string(100, '\n'));
  file.inputFileSize = 100;
  EXPECT_EQ(RunJasokit(file, {"convert"}), cli::kExitOk);
  EXPECT_EQ(file.err, "");
  FakeIo terminal;
  terminal.errorIsTerminal = true;
  terminal.inputFileSize = 0;
  EXPECT_EQ(RunJasokit(terminal, {"convert", "한국"}), cli::kExitOk);
  EXPECT_EQ(terminal.err, "");
}

// The real program with standard error on a pseudo-terminal, standard input
// a file, and standard output a pipe read slowly, so that the run lasts.
struct PtyRun {
  int status = -1;
  std::string out;
  std::string tty;
};

PtyRun RunOnTerminal(const std::vector<std::string>& args, const std::string& input, bool errOnTerminal) {
  PtyRun result;
#ifdef _WIN32
  // No pseudo-terminal: status -1 says the run could not be made.
  static_cast<void>(args), static_cast<void>(input), static_cast<void>(errOnTerminal);
#else
  test::TempDir dir;
  test::WriteBytes(dir.File("in"), input);
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return result;
  // Held here too, so that the terminal ends only when we close it.
  const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
  int pipeFds[2];
  if (slave < 0 || pipe(pipeFds) != 0) return result;
  const std::string errFile = dir.File("err");
  std::vector<std::string> argv = {JASOKIT_CLI_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> cargv;
  for (std::string& a : argv) cargv.push_back(a.data());
  cargv.push_back(nullptr);
  const std::string in = dir.File("in");
  const pid_t pid = fork();
  if (pid == 0) {
    const int inFd = open(in.c_str(), O_RDONLY);
    const int errFd = errOnTerminal ? slave : open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (inFd < 0 || errFd < 0 || dup2(inFd, 0) < 0 || dup2(pipeFds[1], 1) < 0 || dup2(errFd, 2) < 0) _exit(127);
    close(pipeFds[0]);
    close(master);
    if (errFd != slave) close(slave);
    execv(cargv[0], cargv.data());
    _exit(127);
  }
  close(pipeFds[1]);
  std::string tty;
  std::thread reader([&] {
    char buffer[4096];
    for (;;) {
      const ssize_t n = read(master, buffer, sizeof buffer);
      if (n <= 0) break;
      tty.append(buffer, static_cast<std::size_t>(n));
    }
  });
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    result.out.append(buffer, static_cast<std::size_t>(n));
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
  }
  close(pipeFds[0]);
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  // Nobody holds the terminal any more: the reader sees its end once it has
  // read everything.
  close(slave);
  reader.join();
  close(master);
  result.tty = errOnTerminal ? tty : test::ReadBytes(errFile);
#endif
  return result;
}

TEST(ConvertProgress, ShownOnATerminalAndClearedAtTheEnd) {
  std::string input;
  for (int i = 0; i < 60000; ++i) input += "한국 신라 " + std::to_string(i) + "\n";
  const std::string expected = Convert(input, {}, 1 << 16).out;
  const PtyRun shown = RunOnTerminal({"convert", "-j", "2"}, input, true);
  if (shown.status == -1) GTEST_SKIP() << "no pseudo-terminal here (none on Windows)";
  EXPECT_EQ(shown.status, 0);
  EXPECT_TRUE(shown.out == expected);  // nothing changes on standard output
  ASSERT_GE(shown.tty.size(), 2u);
  EXPECT_EQ(shown.tty.front(), '\r');
  EXPECT_NE(shown.tty.find("% "), std::string::npos) << shown.tty;
  EXPECT_NE(shown.tty.find(" lines/s  "), std::string::npos) << shown.tty;
  EXPECT_NE(shown.tty.find(" left"), std::string::npos) << shown.tty;
  // Cleared: the last thing drawn is CR, spaces over the line, and CR.
  const std::size_t clear = shown.tty.rfind('\r', shown.tty.size() - 2);
  ASSERT_NE(clear, std::string::npos);
  EXPECT_EQ(shown.tty.substr(clear), "\r" + std::string(shown.tty.size() - clear - 2, ' ') + "\r");
  EXPECT_GT(shown.tty.size() - clear, 20u);

  const PtyRun hidden = RunOnTerminal({"convert", "--no-progress"}, input, true);
  EXPECT_EQ(hidden.tty, "");
  EXPECT_TRUE(hidden.out == expected);
  const PtyRun pipe = RunOnTerminal({"convert"}, input, false);
  EXPECT_EQ(pipe.tty, "");
  const PtyRun forced = RunOnTerminal({"convert", "--progress"}, input, false);
  EXPECT_NE(forced.tty.find(" lines/s  "), std::string::npos);
  EXPECT_TRUE(forced.out == expected);
}

// A warning while the line shows clears it first, so the warning stands on
// a line of its own.
TEST(ConvertProgress, WarningsAreNotGarbled) {
  std::string input;
  for (int i = 0; i < 60000; ++i) input += i == 30000 ? std::string(3000, 'a') + "\n" : "한국 신라\n";
  const PtyRun r = RunOnTerminal({"convert", "--progress"}, input, false);
  if (r.status == -1) GTEST_SKIP() << "the program's run with a slow pipe needs fork here";
  EXPECT_EQ(r.status, 6);
  const std::string warning = std::string("jasokit convert: line 30001: ") + kRefusal + "\n";
  const std::size_t at = r.tty.find(warning);
  ASSERT_NE(at, std::string::npos) << r.tty;
  if (at > 0) {
    EXPECT_EQ(r.tty[at - 1], '\r');  // the end of the clearing, not of a drawing
    EXPECT_EQ(r.tty.find_last_not_of(' ', at - 2), r.tty.rfind('\r', at - 2));
  }
}

}  // namespace
}  // namespace jasokit
