// The main window's behaviour without a window: what both the Qt and the
// Win32 window do through DialogLogic.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/dialog/banner_text.h"
#include "app/dialog/dialog_logic.h"
#include "jasokit/convert.h"
#include "test-util.h"

namespace jasokit {
namespace {

using test::Cp;

// A window that records what the logic did to it.
class FakeView : public DialogView {
 public:
  std::string boxText(int box) const override {
    const auto it = boxes.find(box);
    return it == boxes.end() ? std::string() : it->second;
  }
  void setBoxText(int box, const std::string& text) override { boxes[box] = text; }
  void setListLines(const std::vector<std::string>& lines) override { list = lines; }
  void showMessage(const std::string& text) override { messages.push_back(text); }
  bool setClipboardText(const std::string& text) override {
    clipboard = text;
    return true;
  }
  void showNote(const std::string& text) override { note = text; }

  std::map<int, std::string> boxes;
  std::vector<std::string> list;
  std::vector<std::string> messages;
  std::string clipboard = "untouched";
  std::string note = "untouched";
};

std::string Field(std::string_view utf8, std::size_t width) {
  std::string text = Cp(utf8);
  text.resize(width, ' ');
  return text;
}

// A table image of rows: zip code, province, district, locality, detail.
std::string Table(const std::vector<std::vector<const char*>>& rows) {
  std::string image(kZipHeaderBytes, '\0');
  for (const auto& r : rows) {
    image += ' ' + Field(r[0], kZipCodeBytes) + Field(r[1], kZipProvinceBytes) + Field(r[2], kZipDistrictBytes) +
             Field(r[3], kZipLocalityBytes) + Field(r[4], kZipDetailBytes) + "00001";
  }
  return image;
}

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Out of table order, so the list's order is the logic's own.
    ASSERT_EQ(logic.zipDatabase().Parse(Table({{"135-982", "서울", "강남구", "역삼2동", ""},
                                               {"135-080", "서울", "강남구", "역삼동", "  (1∼200)"},
                                               {"135-981", "서울", "강남구", "역삼1동", ""},
                                               {"135-513", "서울", "강남구", "역삼동", "강남파이낸스센터"}})),
              ZipLoadStatus::Ok);
  }
  void enter(int box, const std::string& text) {
    view.boxes[box] = text;
    logic.focusGained(box);
    logic.dispatchEnter();
  }

  FakeView view;
  DialogLogic logic{view};
};

TEST_F(DialogTest, EnterActsOnTheFocusedBox) {
  struct Row {
    int box;
    const char* input;
    const char* wantInput;
    const char* wantOutput;
    std::vector<std::string> wantMessages;
  };
  const Row rows[] = {
      {kInputBox,
       "  서울특별시  강남구 역삼동 123-45 ",
       "서울특별시 강남구 역삼동 123-45",
       "123-45 Yeoksam-dong Gangnam-gu Seoul S.KOREA ",
       {}},
      {kInputBox, "한글", "한글", "Hangeul", {}},
      {kInputBox, "   ", "   ", "", {}},  // Empty: nothing changes, nothing said
      {kOutputBox, "한글", "한글", "", {"2"}},
      {kNoBox, "한글", "한글", "", {"0"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.input);
    FakeView fresh;
    DialogLogic d(fresh);
    fresh.boxes[kInputBox] = row.input;
    if (row.box != kNoBox) d.focusGained(row.box);
    d.dispatchEnter();
    EXPECT_EQ(fresh.boxes[kInputBox], row.wantInput);
    EXPECT_EQ(fresh.boxes[kOutputBox], row.wantOutput);
    EXPECT_EQ(fresh.messages, row.wantMessages);
  }
}

TEST_F(DialogTest, FocusLeavingABoxCountsAsNone) {
  logic.focusGained(kInputBox);
  logic.focusGained(kZipQueryBox);  // straight from one box to another
  EXPECT_EQ(logic.focusedBox(), kZipQueryBox);
  logic.focusLost();
  EXPECT_EQ(logic.focusedBox(), kNoBox);
}

TEST_F(DialogTest, TooLongInputIsRefusedAndNoBoxChanges) {
  const std::string input(kMaxInputBytes + 1, 'a');
  view.boxes[kOutputBox] = "before";
  enter(kInputBox, input);
  EXPECT_EQ(view.messages, std::vector<std::string>{kRefusalMessageUtf8});
  EXPECT_EQ(view.boxes[kOutputBox], "before");
  EXPECT_EQ(view.boxes[kInputBox], input);
}

TEST_F(DialogTest, StyleAndNameModeChooseTheConversion) {
  logic.setOfficialStyle(true);
  enter(kInputBox, "서울특별시 강남구 역삼동 123-45");
  EXPECT_EQ(view.boxes[kOutputBox], Convert("서울특별시 강남구 역삼동 123-45", {Style::Official}).output);
  EXPECT_NE(view.boxes[kOutputBox], "123-45 Yeoksam-dong Gangnam-gu Seoul S.KOREA ");
  logic.setNameMode(true);
  enter(kInputBox, "홍길동");
  EXPECT_EQ(view.boxes[kOutputBox], "Hong Gildong");
}

TEST_F(DialogTest, TheFirstWarningIsANoteBesideTheResult) {
  logic.setOfficialStyle(true);
  enter(kInputBox, "서울특별씨 강남구 개포로 516");
  EXPECT_EQ(view.note, "read 서울특별씨 as 서울특별시");
  EXPECT_TRUE(view.messages.empty());
  enter(kInputBox, "서울특별시 강남구 개포로 516");
  EXPECT_EQ(view.note, "");
}

TEST_F(DialogTest, SearchListsLinesInByteOrderAndChoosingOneConvertsIt) {
  enter(kZipQueryBox, "역삼동");
  ASSERT_EQ(view.list, (std::vector<std::string>{"135-080 서울 강남구        역삼동   (1∼200)       ",
                                                 "135-513 서울 강남구        역삼동 강남파이낸스센터 "}));
  EXPECT_TRUE(view.messages.empty());
  view.boxes[kOutputBox] = "typed since";
  logic.chooseLine(0);
  EXPECT_EQ(view.boxes[kInputBox], "서울 강남구 역삼동 (1∼200)");
  EXPECT_EQ(view.boxes[kOutputBox], Convert("서울 강남구 역삼동 (1∼200)").output);
  EXPECT_EQ(view.boxes[kZipQueryBox], "역삼동");
  logic.chooseLine(2);  // past the end: nothing
  EXPECT_EQ(view.boxes[kInputBox], "서울 강남구 역삼동 (1∼200)");
}

TEST_F(DialogTest, SearchWithoutHitsEmptiesTheListAndSaysSo) {
  for (const char* query : {"없는동", "역삼\xE2\x98\x83동", ""}) {  // a snowman has no CP949 form
    SCOPED_TRACE(query);
    view.messages.clear();
    view.list = {"old"};
    enter(kZipQueryBox, query);
    EXPECT_TRUE(view.list.empty());
    EXPECT_EQ(view.messages, std::vector<std::string>{kNotFoundMessageUtf8});
  }
}

TEST_F(DialogTest, CopyTakesTheBoxAsItIsNow) {
  view.boxes = {{kInputBox, "입력"}, {kOutputBox, "출력"}, {kZipQueryBox, "역삼동"}};
  const std::pair<int, const char*> rows[] = {{kInputBox, "입력"}, {kOutputBox, "출력"}, {kZipQueryBox, "역삼동"}};
  for (const auto& [box, want] : rows) {
    logic.copyBox(box);
    EXPECT_EQ(view.clipboard, want);
  }
  view.boxes[kInputBox] = "";
  logic.copyBox(kInputBox);
  EXPECT_EQ(view.clipboard, "");
}

TEST_F(DialogTest, ResetEmptiesBoxesAndListButKeepsTheFocus) {
  enter(kZipQueryBox, "역삼동");
  view.boxes[kInputBox] = "입력";
  logic.resetAll();
  EXPECT_TRUE(view.list.empty());
  for (int box : {kInputBox, kOutputBox, kZipQueryBox}) EXPECT_EQ(view.boxes[box], "");
  EXPECT_EQ(logic.focusedBox(), kZipQueryBox);
  logic.chooseLine(0);  // the old lines are gone with the list
  EXPECT_EQ(view.boxes[kInputBox], "");
}

TEST_F(DialogTest, CurrentPostcodesAskTheAddressDatabase) {
  EXPECT_FALSE(logic.openAddressDb({"", JASOKIT_BINARY_DIR "/no-such.db"}));
  logic.setCurrentPostcode(true);
  EXPECT_FALSE(logic.currentPostcode());  // no database: the table answers
  const std::string db = JASOKIT_BINARY_DIR "/cli/address-sample.db";
  if (!std::filesystem::exists(db)) GTEST_SKIP() << "no sample address database at " << db;
  ASSERT_TRUE(logic.openAddressDb({JASOKIT_BINARY_DIR "/no-such.db", db}));
  EXPECT_TRUE(logic.currentPostcode());
  enter(kZipQueryBox, "G-heim");
  ASSERT_EQ(view.list, std::vector<std::string>{"06303 서울특별시 강남구 개포로17길 9-3 (G-heim)"});
  logic.chooseLine(0);
  EXPECT_EQ(view.boxes[kInputBox], "서울특별시 강남구 개포로17길 9-3");
  EXPECT_EQ(view.boxes[kOutputBox], "9-3 Gaepo-ro 17-gil, Gangnam-gu, Seoul, 06303, Republic of Korea");
}

TEST(BannerTextTest, TheOfflinePageIsShownAsLines) {
  const std::pair<const char*, const char*> rows[] = {
      {"<html><head><title>T</title><style>b{}</style></head><body><b>제목</b><br>\n  첫째  줄<br/>둘째</body>",
       "제목\n첫째 줄\n둘째"},
      {"<body><p>a &amp;lt; b &amp; c&nbsp;d</p><script>x<y</script></body>", "a &lt; b & c d"},
      {"no body at all", ""},
      {"<body>unclosed <b", "unclosed"},
  };
  for (const auto& [html, want] : rows) EXPECT_EQ(BannerText(html), want) << html;
  const std::string page = test::ReadBytes(JASOKIT_SOURCE_DIR "/res/jasokit_view_off.html");
  EXPECT_EQ(BannerText(page),
            "Jaso_Kit 주소변환기 + 우편번호찾기\n인터넷에 연결되어 있지 않아 소식을 보여 드릴 수 없습니다.\n"
            "주소 변환과 우편번호 찾기는 그대로 쓰실 수 있습니다.");
}

}  // namespace
}  // namespace jasokit
