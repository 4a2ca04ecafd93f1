#include "app/dialog/banner_text.h"

#include <cctype>

namespace jasokit {

namespace {

struct Entity {
  std::string_view name;
  std::string_view text;
};

constexpr Entity kEntities[] = {
    {"&lt;", "<"},  {"&gt;", ">"},   {"&quot;", "\""},
    {"&#39;", "'"}, {"&nbsp;", " "}, {"&amp;", "&"},  // last, so that "&amp;lt;" stays "&lt;"
};

std::string LowerName(std::string_view tag) {
  std::string name;
  for (char c : tag.substr(tag.find_first_not_of("</"))) {
    if (!std::isalnum(static_cast<unsigned char>(c))) break;
    name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return name;
}

bool BreaksLine(const std::string& name) { return name == "br" || name == "p" || name == "div" || name == "tr"; }

// Runs of white space become one space; spaces at a line's ends go.
void AddText(std::string_view text, std::string& out) {
  for (char c : text) {
    const bool space = c == ' ' || c == '\t' || c == '\r' || c == '\n';
    if (!space) {
      out += c;
    } else if (!out.empty() && out.back() != ' ' && out.back() != '\n') {
      out += ' ';
    }
  }
}

void EndLine(std::string& out) {
  while (!out.empty() && out.back() == ' ') out.pop_back();
  if (!out.empty() && out.back() != '\n') out += '\n';
}

}  // namespace

std::string BannerText(std::string_view html) {
  std::string out;
  bool inBody = false;
  bool skip = false;  // inside <head>, <script> or <style>
  std::size_t pos = 0;
  while (pos < html.size()) {
    const std::size_t open = html.find('<', pos);
    if (inBody && !skip) AddText(html.substr(pos, open - pos), out);
    if (open == std::string_view::npos) break;
    const std::size_t close = html.find('>', open);
    if (close == std::string_view::npos) break;
    const std::string name = LowerName(html.substr(open, close - open + 1));
    const bool ending = html[open + 1] == '/';
    if (name == "body") inBody = !ending;
    if (name == "script" || name == "style" || name == "head") skip = !ending;
    if (BreaksLine(name)) EndLine(out);
    pos = close + 1;
  }
  EndLine(out);
  if (!out.empty()) out.pop_back();
  for (const Entity& e : kEntities) {
    for (std::size_t at = out.find(e.name); at != std::string::npos; at = out.find(e.name, at + e.text.size())) {
      out.replace(at, e.name.size(), e.text);
    }
  }
  return out;
}

}  // namespace jasokit
