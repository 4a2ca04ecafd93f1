#include "cli/cli.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake-io.h"
#include "test-util.h"

namespace jasokit {
namespace {

using test::FakeIo;
using test::RunJasokit;

constexpr const char* kRefusalLine = "입력 길이가 1000 글자를 초과하여 처리할 수 없습니다. 다시 한번 확인해 주세요.";

TEST(CliConvert, ArgumentsGiveOneLineEach) {
  FakeIo io;
  EXPECT_EQ(RunJasokit(io, {"convert", "한국", "  ", "abc"}), cli::kExitOk);
  EXPECT_EQ(io.out, "Hanguk\n\nAbc\n");
  EXPECT_EQ(io.err, "");
}

TEST(CliConvert, StandardInputLineByLine) {
  struct {
    std::string input;
    std::string output;
  } cases[] = {
      {"한국\n신라\n", "Hanguk\nSilla\n"},
      {"한국\n신라", "Hanguk\nSilla\n"},        // last line without LF
      {"한국\r\n신라\r\n", "Hanguk\nSilla\n"},  // the CR is trimmed with the line
      {"\n\n", "\n\n"},                         // empty lines stay lines
      {"", ""},
      {"한국\r신라\n", "Hanguk\rsilla\n"},  // CR alone ends no line
      {std::string("a\0b\n", 4), "A\n"},    // text ends at a NUL byte
  };
  for (const auto& c : cases) {
    FakeIo io(c.input);
    EXPECT_EQ(RunJasokit(io, {"convert"}), cli::kExitOk);
    EXPECT_EQ(io.out, c.output);
  }
}

TEST(CliConvert, RefusedLineIsEmptyAndReported) {
  const std::string longLine = test::Repeat("가", 513);
  FakeIo io("한국\n" + longLine + "\n신라\n");
  EXPECT_EQ(RunJasokit(io, {"convert"}), cli::kExitRefused);
  EXPECT_EQ(io.out, "Hanguk\n\nSilla\n");
  EXPECT_EQ(io.err, std::string("jasokit convert: line 2: ") + kRefusalLine + "\n");

  FakeIo args;
  EXPECT_EQ(RunJasokit(args, {"convert", "x", longLine}), cli::kExitRefused);
  EXPECT_EQ(args.err, std::string("jasokit convert: argument 2: ") + kRefusalLine + "\n");
}

TEST(CliConvert, TsvEscapesFields) {
  FakeIo io("  서울\t강남구\\ \n\n" + test::Repeat("a", 1025) + "\n");
  EXPECT_EQ(RunJasokit(io, {"convert", "--tsv"}), cli::kExitRefused);
  EXPECT_EQ(io.out,
            "PlainText\t서울\\t강남구\\\\\tSeoul\\tgangnamgu\\\\\n"
            "Empty\t\t\n"
            "TooLong\t\t\n");
}

TEST(CliConvert, Cp949BytesPassUnchanged) {
  const std::string in = test::Cp("한국 가ㄱ") + "\x80\n";
  FakeIo io(in);
  EXPECT_EQ(RunJasokit(io, {"convert", "--cp949"}), cli::kExitOk);
  EXPECT_EQ(io.out, "Hanguk ga" + test::Cp("ㄱ") + "?\n");
}

TEST(CliConvert, InvalidUtf8IsReportedOnce) {
  // é has no CP949 form and comes through; the invalid byte becomes U+FFFD.
  FakeIo io("b\xc3\xa9\na\xff\nc\xff\n");
  EXPECT_EQ(RunJasokit(io, {"convert"}), cli::kExitOk);
  EXPECT_EQ(io.out, "B\xc3\xa9\nA\xEF\xBF\xBD\nC\xEF\xBF\xBD\n");
  EXPECT_EQ(io.err, "jasokit convert: warning: line 2: invalid UTF-8, converted as U+FFFD\n");
}

TEST(CliConvert, TypedFormWarningsGoToStandardErrorWithASummary) {
  FakeIo io("서울특별씨 강남구 개포로 516\n서울 강남구 개포로 516\n135-240 서울 강남구 개포로 516\n");
  EXPECT_EQ(RunJasokit(io, {"convert", "--style", "official"}), cli::kExitOk);
  const std::string line = "516 Gaepo-ro, Gangnam-gu, Seoul, Republic of Korea\n";
  EXPECT_EQ(io.out, line + line + line);
  EXPECT_EQ(io.err,
            "jasokit convert: warning: line 1: region-read-as: read 서울특별씨 as 서울특별시\n"
            "jasokit convert: warning: line 3: old-postcode: the six-digit postcode 135-240 is no longer in use; "
            "it is given as the old postcode, not in the address\n"
            "jasokit convert: 2 lines with warnings; --json lists them\n");
  FakeIo json("135-240 서울 강남구 개포로 516\n");
  EXPECT_EQ(RunJasokit(json, {"convert", "--style", "official", "--json"}), cli::kExitOk);
  EXPECT_NE(json.out.find("\"old_postcode\":\"135-240\""), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"warnings\":[{\"code\":\"old-postcode\""), std::string::npos) << json.out;
  EXPECT_EQ(json.err, "");
}

// What Excel saves on a Korean Windows: the warning names --cp949.
TEST(CliConvert, Cp949ReadAsUtf8GetsTheHint) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"convert", "--csv", "--column", "2"}, std::vector<std::string>{"convert"}}) {
    FakeIo io(args.size() > 1 ? "x," + test::Cp("서울 강남구") + "\n" : test::Cp("서울 강남구") + "\n");
    EXPECT_EQ(RunJasokit(io, args), cli::kExitOk);
    EXPECT_EQ(io.err,
              "jasokit convert: warning: line 1: invalid UTF-8, converted as U+FFFD; the bytes read as "
              "CP949 (EUC-KR), as Excel saves CSV on a Korean Windows: give --cp949\n");
  }
}

TEST(CliConvert, NulBytesAreReportedOnce) {
  FakeIo io(std::string("a\0b\nc\0\n", 7));
  EXPECT_EQ(RunJasokit(io, {"convert"}), cli::kExitOk);
  EXPECT_EQ(io.out, "A\nC\n");
  EXPECT_EQ(io.err, "jasokit convert: warning: input holds NUL bytes; text after a NUL byte was not converted\n");
}

// A line streams past: what is kept of it never changes its outcome, however
// the reads cut it.
TEST(CliConvert, LongLinesAreDecidedWithoutBeingHeld) {
  const std::string padded = std::string(1000000, ' ') + "한국" + std::string(1000000, '\t');
  const std::string tail2000(2000, 'b');
  const struct {
    std::string input;
    std::vector<std::string> args;
    std::string out;
  } kCases[] = {
      {padded + "\n", {"--tsv"}, "PlainText\t한국\tHanguk\n"},
      {test::Cp(padded) + "\n", {"--tsv", "--cp949"}, "PlainText\t" + test::Cp("한국") + "\tHanguk\n"},
      {"a" + std::string(2000, ' ') + "b\n", {"--tsv"}, "TooLong\t\t\n"},
      {"a" + std::string(2000, ' ') + "b\n", {"--tsv", "--cp949"}, "TooLong\t\t\n"},
      // The text ends at the NUL byte: what follows neither shows nor counts.
      {std::string("a\0", 2) + tail2000 + "\n", {"--tsv"}, "PlainText\ta\tA\n"},
      {std::string("a\0", 2) + tail2000 + "\n", {"--tsv", "--cp949"}, "PlainText\ta\tA\n"},
      {std::string(" a\0 ", 4) + tail2000 + "\n", {"--tsv"}, "PlainText\ta\tA\n"},
  };
  for (const auto& c : kCases) {
    for (std::size_t chunk : {1, 7, 4096, 1 << 16}) {
      FakeIo io(c.input);
      io.SetChunk(chunk);
      cli::Args args = {"convert"};
      args.insert(args.end(), c.args.begin(), c.args.end());
      const int rc = RunJasokit(io, args);
      EXPECT_EQ(io.out, c.out) << chunk;
      EXPECT_EQ(rc, c.out.rfind("TooLong", 0) == 0 ? cli::kExitRefused : cli::kExitOk);
    }
  }
}

// --cp949 hands the bytes to the conversion as read: bytes that are no CP949
// stay as they are in the normalized text, never turned into U+FFFD and back.
TEST(CliConvert, Cp949BytesAreNeverDecodedOnTheWay) {
  FakeIo io(
      "\xff\xfe\n\x81"
      "A\n");
  EXPECT_EQ(RunJasokit(io, {"convert", "--tsv", "--cp949"}), cli::kExitOk);
  EXPECT_EQ(io.out,
            "PlainText\t\xff\xfe\t??\nPlainText\t\x81"
            "A\tGakk\n");
}

TEST(CliConvert, InvalidUtf8InARefusedLineIsReported) {
  FakeIo io("a\xff" + std::string(3000, 'b') + "\n");
  EXPECT_EQ(RunJasokit(io, {"convert"}), cli::kExitRefused);
  EXPECT_EQ(io.out, "\n");
  EXPECT_EQ(io.err,
            "jasokit convert: warning: line 1: invalid UTF-8, converted as U+FFFD\n"
            "jasokit convert: line 1: " +
                std::string(kRefusalLine) + "\n");
}

TEST(CliRomanize, LongLinesAreRefusedWithoutBeingHeld) {
  const std::string refusal = ": too long to romanize (more than 1024 characters, or more than 1024 bytes of result)\n";
  FakeIo io("가\n" + std::string(5000, 'a') + "\xff\n" + std::string("b\0", 2) + std::string(5000, 'c') + "\r\n");
  EXPECT_EQ(RunJasokit(io, {"romanize"}), cli::kExitRefused);
  EXPECT_EQ(io.out, "Ga\n\nB\n");
  EXPECT_EQ(io.err,
            "jasokit romanize: warning: line 2: invalid UTF-8, romanized as U+FFFD\n"
            "jasokit romanize: line 2" +
                refusal);

  FakeIo cp949(test::Cp("가") + "\r\n" + test::Repeat(test::Cp("가"), 1025) + "\n");
  EXPECT_EQ(RunJasokit(cp949, {"romanize", "--cp949"}), cli::kExitRefused);
  EXPECT_EQ(cp949.out, "Ga\n\n");
  EXPECT_EQ(cp949.err, "jasokit romanize: line 2" + refusal);
}

TEST(CliConvert, IoErrors) {
  FakeIo closed("한국\n신라\n");
  closed.FailWritesAfter(3);
  EXPECT_EQ(RunJasokit(closed, {"convert"}), cli::kExitIo);
  EXPECT_EQ(closed.err, "jasokit convert: error writing standard output\n");

  FakeIo unreadable;
  unreadable.FailReads();
  EXPECT_EQ(RunJasokit(unreadable, {"convert"}), cli::kExitIo);
  EXPECT_EQ(unreadable.err, "jasokit convert: error reading standard input\n");
}

TEST(Cli, UsageAndHelp) {
  struct {
    cli::Args args;
    int status;
    const char* outStart;
    const char* err;
  } cases[] = {
      {{}, cli::kExitUsage, "", nullptr},  // usage on standard error
      {{"--help"}, cli::kExitOk, "usage: jasokit COMMAND", ""},
      {{"--version"}, cli::kExitOk, "jasokit 1.0.0\n", ""},
      {{"convert", "--help"}, cli::kExitOk, "usage: jasokit convert", ""},
      {{"frobnicate"}, cli::kExitUsage, "", "jasokit: unknown command 'frobnicate'; run 'jasokit --help'\n"},
      {{"conver"},
       cli::kExitUsage,
       "",
       "jasokit: unknown command 'conver' (did you mean 'convert'?); run 'jasokit --help'\n"},
      {{"convert", "--bogus"},
       cli::kExitUsage,
       "",
       "jasokit convert: unknown option '--bogus'; run 'jasokit convert --help'\n"},
      {{"convert", "--tvs"},
       cli::kExitUsage,
       "",
       "jasokit convert: unknown option '--tvs' (did you mean '--tsv'?); run 'jasokit convert --help'\n"},
      {{"convert", "--style"},
       cli::kExitUsage,
       "",
       "jasokit convert: --style needs a STYLE (classic or official); run 'jasokit convert --help'\n"},
      {{"convert", "--style=modern"},
       cli::kExitUsage,
       "",
       "jasokit convert: unknown style 'modern' (classic or official); run 'jasokit convert --help'\n"},
      {{"convert", "--tsv=yes"},
       cli::kExitUsage,
       "",
       "jasokit convert: --tsv takes no value; run 'jasokit convert --help'\n"},
      {{"zipdb", "biuld"},
       cli::kExitUsage,
       "",
       "jasokit zipdb: unknown subcommand 'biuld' (did you mean 'build'?); run 'jasokit zipdb --help'\n"},
  };
  for (const auto& c : cases) {
    FakeIo io;
    EXPECT_EQ(RunJasokit(io, c.args), c.status);
    EXPECT_EQ(io.out.rfind(c.outStart, 0), 0u) << io.out;
    if (c.err) {
      EXPECT_EQ(io.err, c.err);
    }
  }
  FakeIo bare;
  EXPECT_EQ(RunJasokit(bare, {}), cli::kExitUsage);
  EXPECT_EQ(bare.out, "");
  EXPECT_EQ(bare.err.rfind("usage: jasokit COMMAND", 0), 0u);
  for (const char* command : {"convert", "romanize", "zip", "zipdb"}) {
    FakeIo help;
    EXPECT_EQ(RunJasokit(help, {command, "--help"}), cli::kExitOk);
    EXPECT_EQ(help.out.rfind(std::string("usage: jasokit ") + command, 0), 0u) << command;
  }
  FakeIo dashes;
  EXPECT_EQ(RunJasokit(dashes, {"convert", "--", "--tsv"}), cli::kExitOk);
  EXPECT_EQ(dashes.out, "--tsv\n");
}

}  // namespace
}  // namespace jasokit
