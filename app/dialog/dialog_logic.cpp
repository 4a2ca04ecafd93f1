#include "app/dialog/dialog_logic.h"

#include <algorithm>
#include <iterator>
#include <string_view>
#include <utility>

#include "jasokit/convert.h"
#include "jasokit/name.h"

namespace jasokit {

bool DialogLogic::openAddressDb(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    if (!path.empty() && m_addressDb.Open(path) == AddressDbStatus::Ok) return true;
  }
  return false;
}

bool DialogLogic::chooseAddressDb(const std::string& path) {
  AddressDatabase probe;
  const AddressDbStatus status = probe.Open(path);
  if (status != AddressDbStatus::Ok) {
    m_view.showMessage(path + ": " + AddressDbStatusMessage(status));
    return false;
  }
  return openAddressDb({path});
}

void DialogLogic::dispatchEnter() {
  switch (m_focusedBox) {
    case kInputBox:
      // Names are typed; a chosen zip code row is an address whatever the mode.
      if (m_nameMode) {
        runNameRomanization();
      } else {
        runConversion();
      }
      break;
    case kZipQueryBox: runZipSearch(); break;
    default: m_view.showMessage(std::to_string(m_focusedBox)); break;
  }
}

void DialogLogic::readBoxes() {
  m_inputText = m_view.boxText(kInputBox);
  m_outputText = m_view.boxText(kOutputBox);
  m_zipQuery = m_view.boxText(kZipQueryBox);
}

void DialogLogic::writeBoxes() {
  m_view.setBoxText(kInputBox, m_inputText);
  m_view.setBoxText(kOutputBox, m_outputText);
  m_view.setBoxText(kZipQueryBox, m_zipQuery);
}

void DialogLogic::runNameRomanization() {
  readBoxes();
  // Nothing typed, nothing to write.
  if (m_inputText.find_first_not_of(" \t") == std::string::npos) return;
  m_outputText = RomanizeName(m_inputText).output;
  writeBoxes();
}

void DialogLogic::runConversion() { convertIn(m_officialStyle ? Style::Official : Style::Classic); }

void DialogLogic::convertIn(Style style) {
  readBoxes();
  Options options;
  options.style = style;
  if (m_addressDb.isOpen()) options.database = &m_addressDb;
  Result result = Convert(m_inputText, options);
  switch (result.status) {
    case ConversionStatus::Address:
    case ConversionStatus::PlainText:
      m_inputText = std::move(result.normalized);
      m_outputText = std::move(result.output);
      writeBoxes();
      m_view.showNote(result.warnings.empty() ? std::string() : result.warnings.front().message);
      break;
    case ConversionStatus::TooLong: m_view.showMessage(kRefusalMessageUtf8); break;
    case ConversionStatus::Empty: break;
  }
}

void DialogLogic::runZipSearch() {
  readBoxes();
  std::vector<Line> lines = currentPostcode() ? databaseLines(AddressDatabase::kDefaultLimit) : tableLines();
  const bool found = !lines.empty();
  showLines(std::move(lines));
  if (!found) m_view.showMessage(kNotFoundMessageUtf8);
}

std::vector<DialogLogic::Line> DialogLogic::tableLines() const {
  // In the byte order of the table's CP949 lines, so by zip code first; a
  // name the table cannot hold finds nothing.
  std::vector<Line> lines;
  for (const std::string& line : FormatSearchLinesUtf8(m_zipDatabase, m_zipQuery)) {
    lines.push_back({line, ListLineToAddressUtf8(line), false});
  }
  return lines;
}

// Rows such as "06236 서울특별시 강남구 테헤란로 152 (강남파이낸스센터)";
// choosing one converts the road-name address without the building.
std::vector<DialogLogic::Line> DialogLogic::databaseLines(std::size_t limit) const {
  std::vector<Line> lines;
  if (m_zipQuery.find_first_not_of(" \t") == std::string::npos) return lines;
  for (const AddressMatch& m : m_addressDb.Lookup(m_zipQuery, limit).matches) {
    const std::size_t named = m.building.empty() ? 0 : m.building.size() + 3;  // " (" and ")"
    lines.push_back({m.postcode + " " + m.address, m.address.substr(0, m.address.size() - named), true});
  }
  return lines;
}

void DialogLogic::zipTyped() {
  if (!currentPostcode()) return;
  readBoxes();
  showLines(databaseLines(kTypedMatches));
}

namespace {

// The details typed after an address (101동, 1203호, 3층, 지하1층).
std::string TypedDetails(const std::string& query) {
  static constexpr std::string_view kMarks[] = {"동", "호", "층", "호실"};
  std::string details;
  std::size_t start = 0;
  while (start < query.size()) {
    std::size_t end = query.find_first_of(" ,\t", start);
    if (end == std::string::npos) end = query.size();
    const std::string_view word(query.data() + start, end - start);
    start = end + 1;
    std::string_view number = word;
    if (number.rfind("지하", 0) == 0) number.remove_prefix(std::string_view("지하").size());
    std::size_t n = 0;
    while (n < number.size() && number[n] >= '0' && number[n] <= '9') ++n;
    if (n == 0 || std::find(std::begin(kMarks), std::end(kMarks), number.substr(n)) == std::end(kMarks)) continue;
    if (!details.empty()) details += ' ';
    details += word;
  }
  return details;
}

}  // namespace

void DialogLogic::showLines(std::vector<Line> lines) {
  m_lines = std::move(lines);
  std::vector<std::string> texts;
  texts.reserve(m_lines.size());
  for (const Line& line : m_lines) texts.push_back(line.text);
  m_view.setListLines(texts);
}

void DialogLogic::chooseLine(std::size_t index) {
  if (index >= m_lines.size()) return;
  const Line& line = m_lines[index];
  // All three boxes are rewritten before the conversion reads them back.
  m_inputText = line.address;
  if (line.official) {
    const std::string details = TypedDetails(m_zipQuery);
    if (!details.empty()) m_inputText += " " + details;
  }
  writeBoxes();
  if (line.official) {
    convertIn(Style::Official);
  } else {
    runConversion();
  }
}

void DialogLogic::copyBox(int box) {
  readBoxes();
  const std::string& text = box == kInputBox ? m_inputText : box == kOutputBox ? m_outputText : m_zipQuery;
  m_view.setClipboardText(text);
  writeBoxes();
}

void DialogLogic::resetAll() {
  m_inputText.clear();
  m_outputText.clear();
  m_zipQuery.clear();
  showLines({});
  writeBoxes();
}

}  // namespace jasokit
