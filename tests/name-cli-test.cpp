// jasokit romanize --name: arguments, lines, JSON and CSV.
#include <gtest/gtest.h>

#include "fake-io.h"

namespace jasokit::test {
namespace {

TEST(NameCli, OneNamePerArgumentWithTheOptions) {
  FakeIo io;
  EXPECT_EQ(RunJasokit(io, {"romanize", "--name", "--hyphen", "--upper", "--given-first", "홍길동", "황보 영"}),
            cli::kExitOk);
  EXPECT_EQ(io.out, "GIL-DONG HONG\nYEONG HWANGBO\n");
  EXPECT_EQ(io.err, "");
}

TEST(NameCli, ALineThatIsNoNameIsRomanizedAsTextWithAWarning) {
  FakeIo io("김연아\n\n대한민국만세다\r\n이석남");
  EXPECT_EQ(RunJasokit(io, {"romanize", "--name", "--surname", "rr"}), cli::kExitOk);
  EXPECT_EQ(io.out, "Gim Yeona\n\nDaehanmingungmanseda\nI Seoknam\n");
  const std::string why = ": not a name (blank, or more than five syllables before a space), romanized as text\n";
  EXPECT_EQ(io.err, "jasokit romanize: warning: line 2" + why + "jasokit romanize: warning: line 3" + why);
}

TEST(NameCli, TooLongIsRefused) {
  std::string text;
  for (int i = 0; i < 1100; ++i) text += "가";  // no name, and too long to romanize as text
  FakeIo io;
  EXPECT_EQ(RunJasokit(io, {"romanize", "--name", text, std::string(4097, 'a'), "김 연아"}), cli::kExitRefused);
  EXPECT_EQ(io.out, "\n\nKim Yeona\n");
  const std::string why = ": too long (a name of more than 4096 bytes, or a text of more than 1024 characters)\n";
  EXPECT_EQ(io.err, "jasokit romanize: argument 1" + why + "jasokit romanize: argument 2" + why);
}

TEST(NameCli, Json) {
  FakeIo io;
  EXPECT_EQ(RunJasokit(io, {"romanize", "--name", "--json", "팽율", "박 지성", ""}), cli::kExitOk);
  EXPECT_EQ(io.out,
            "{\"name\":true,\"family\":\"Paeng\",\"given\":\"Yul\",\"output\":\"Paeng Yul\",\"surname_table\":\"rr\"}\n"
            "{\"name\":true,\"family\":\"Park\",\"given\":\"Jiseong\",\"output\":\"Park Jiseong\","
            "\"surname_table\":\"common\"}\n"
            "{\"name\":false,\"family\":null,\"given\":null,\"output\":\"\",\"surname_table\":null}\n");
}

TEST(NameCli, CsvRomanizesOneColumnAndKeepsEveryOtherByte) {
  FakeIo io("id,name\r\n1,\"이,석남\"\r\n\r\n2,남궁민\r\n");
  EXPECT_EQ(RunJasokit(io, {"romanize", "--name", "--csv", "--header", "--column", "name"}), cli::kExitOk);
  EXPECT_EQ(io.out, "id,name,romanized\r\n1,\"이,석남\",\"Lee ,Seoknam\"\r\n\r\n2,남궁민,Namgung Min\r\n");
  FakeIo inPlace("a,김 연아\n");
  EXPECT_EQ(RunJasokit(inPlace, {"romanize", "--name", "--csv", "--column", "2", "--in-place"}), cli::kExitOk);
  EXPECT_EQ(inPlace.out, "a,Kim Yeona\n");
}

TEST(NameCli, UsageErrors) {
  struct Case {
    cli::Args args;
    const char* err;
  };
  const Case cases[] = {
      {{"romanize", "--name", "--surname", "mr"},
       "jasokit romanize --name: unknown surname table 'mr' (common or rr); run 'jasokit romanize --name --help'\n"},
      {{"romanize", "--name", "--header"},
       "jasokit romanize --name: --header needs --csv; run 'jasokit romanize --name --help'\n"},
      {{"romanize", "--name", "--csv", "--json"},
       "jasokit romanize --name: --csv and --json exclude each other; run 'jasokit romanize --name --help'\n"},
  };
  for (const Case& c : cases) {
    FakeIo io;
    EXPECT_EQ(RunJasokit(io, c.args), cli::kExitUsage);
    EXPECT_EQ(io.err, c.err);
  }
  FakeIo help;
  EXPECT_EQ(RunJasokit(help, {"romanize", "--name", "--help"}), cli::kExitOk);
  EXPECT_NE(help.out.find("a space decides"), std::string::npos);
}

}  // namespace
}  // namespace jasokit::test
