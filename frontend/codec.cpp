#include "frontend/codec.h"

#include "jasokit/cp949.h"

namespace jasokit::cli {

namespace {

class Utf8Codec : public TextCodec {
 public:
  TrimmedText Trimmed() const override { return TrimmedText(false); }
  // A unit takes at most four UTF-8 bytes, so a longer text has too many
  // units: it is refused without being held.
  HeldLine Romanizable() const override {
    return HeldLine(4 * kMaxRomanizeUnits, HeldLine::kStripCr | HeldLine::kCutAtNul | HeldLine::kCheckUtf8);
  }

  void AppendUtf8(std::string_view text, std::string& out) const override { out += text; }
  void AppendFromUtf8(std::string_view utf8, std::string& out) const override { out += utf8; }
  void AppendFromCp949(std::string_view cp949, std::string& out) const override { Cp949ToUtf8(cp949, out); }
  bool AppendCp949(std::string_view text, std::string& out) const override { return Utf8ToCp949(text, out); }

  ConversionStatus AppendConverted(std::string_view text, const Options& options, std::string& out, bool& invalid,
                                   std::vector<Warning>* warnings, ConversionWorkspace* workspace) const override {
    if (workspace) return workspace->AppendConverted(text, options, out, &invalid, warnings);
    if (warnings) return jasokit::AppendConverted(text, options, out, &invalid, warnings);
    return jasokit::AppendConverted(text, options, out, &invalid);
  }
  Result Convert(std::string_view text, const Options& options, bool /*utf8*/, bool& invalid,
                 ConversionWorkspace* workspace) const override {
    Result r;
    if (workspace) {
      workspace->Convert(text, options, r);
    } else {
      r = jasokit::Convert(text, options);
    }
    invalid = r.replacedInvalid;
    return r;
  }
  std::string Romanize(std::string_view text, Style style, bool& invalid) const override {
    return jasokit::Romanize(text, style, &invalid);
  }
};

class Cp949Codec : public TextCodec {
 public:
  static void ToUtf8(Result& r) {
    std::string text;
    for (std::string* part : {&r.normalized, &r.output}) {
      text.clear();
      Cp949ToUtf8(*part, text);
      part->swap(text);
    }
    if (!r.fields) return;
    AddressFields& f = *r.fields;
    for (std::string* part : {&f.detail, &f.street, &f.district, &f.region, &f.postcode, &f.country}) {
      text.clear();
      Cp949ToUtf8(*part, text);
      part->swap(text);
    }
  }

  TrimmedText Trimmed() const override { return TrimmedText(true); }
  // A unit takes at most two CP949 bytes.
  HeldLine Romanizable() const override {
    return HeldLine(2 * kMaxRomanizeUnits, HeldLine::kStripCr | HeldLine::kCutAtNul);
  }

  void AppendUtf8(std::string_view text, std::string& out) const override { Cp949ToUtf8(text, out); }
  void AppendFromUtf8(std::string_view utf8, std::string& out) const override { Utf8ToCp949(utf8, out); }
  void AppendFromCp949(std::string_view cp949, std::string& out) const override { out += cp949; }
  bool AppendCp949(std::string_view text, std::string& out) const override {
    out += text;
    return true;
  }

  // CP949 input has no workspace call: the library lends one.
  ConversionStatus AppendConverted(std::string_view text, const Options& options, std::string& out, bool& /*invalid*/,
                                   std::vector<Warning>* warnings, ConversionWorkspace* /*workspace*/) const override {
    Result r = ConvertInput(text, options);
    out += r.output;
    if (warnings) warnings->swap(r.warnings);
    return r.status;
  }
  Result Convert(std::string_view text, const Options& options, bool utf8, bool& /*invalid*/,
                 ConversionWorkspace* /*workspace*/) const override {
    Result r = ConvertInput(text, options);
    if (utf8) ToUtf8(r);
    return r;
  }
  std::string Romanize(std::string_view text, Style style, bool& /*invalid*/) const override {
    return RomanizeInput(text, style);
  }
};

}  // namespace

const TextCodec& TextCodec::For(bool cp949) {
  static const Utf8Codec kUtf8;
  static const Cp949Codec kCp949;
  if (cp949) return kCp949;
  return kUtf8;
}

void AppendVisible(std::string_view text, bool utf8, std::string& out) {
  constexpr char kHex[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    const bool c1 = utf8 && b == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                    static_cast<unsigned char>(text[i + 1]) <= 0x9F;
    if (c1) {
      const auto c = static_cast<unsigned char>(text[++i]);
      out += "\\u00";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else if (b == '\t' || b == '\n' || b == '\r') {
      out += '\\';
      out += b == '\t' ? 't' : b == '\n' ? 'n' : 'r';
    } else if (b < 0x20 || b == 0x7F) {
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += static_cast<char>(b);
    }
  }
}

}  // namespace jasokit::cli
