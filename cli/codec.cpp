#include "cli/codec.h"

#include "address/conversion.h"
#include "jasokit/cp949.h"
#include "romanize/hangul_romanizer.h"

namespace jasokit::cli {

namespace {

class Utf8Codec : public TextCodec {
 public:
  TrimmedText Trimmed() const override { return TrimmedText(false); }
  // A unit takes at most four UTF-8 bytes, so a longer text has too many
  // units: it is refused without being held.
  HeldLine Romanizable() const override {
    return HeldLine(4 * detail::kMaxUnits, HeldLine::kStripCr | HeldLine::kCutAtNul | HeldLine::kCheckUtf8);
  }

  void AppendUtf8(std::string_view text, std::string& out) const override { out += text; }
  void AppendFromUtf8(std::string_view utf8, std::string& out) const override { out += utf8; }
  void AppendFromCp949(std::string_view cp949, std::string& out) const override { Cp949ToUtf8(cp949, out); }
  bool AppendCp949(std::string_view text, std::string& out) const override { return Utf8ToCp949(text, out); }

  ConversionStatus AppendConverted(std::string_view text, const Options& options, std::string& out,
                                   bool& invalid) const override {
    return detail::AppendConvertedUtf8(text, options, out, &invalid);
  }
  Result Convert(std::string_view text, const Options& options, bool utf8, bool& invalid) const override {
    return detail::ConvertUtf8(text, options, &invalid, utf8);
  }
  std::string Romanize(std::string_view text, Style style, bool& invalid) const override {
    return detail::RomanizeUtf8(text, style, &invalid);
  }
};

class Cp949Codec : public TextCodec {
 public:
  TrimmedText Trimmed() const override { return TrimmedText(true); }
  // A unit takes at most two CP949 bytes.
  HeldLine Romanizable() const override {
    return HeldLine(2 * detail::kMaxUnits, HeldLine::kStripCr | HeldLine::kCutAtNul);
  }

  void AppendUtf8(std::string_view text, std::string& out) const override { Cp949ToUtf8(text, out); }
  void AppendFromUtf8(std::string_view utf8, std::string& out) const override { Utf8ToCp949(utf8, out); }
  void AppendFromCp949(std::string_view cp949, std::string& out) const override { out += cp949; }
  bool AppendCp949(std::string_view text, std::string& out) const override {
    out += text;
    return true;
  }

  ConversionStatus AppendConverted(std::string_view text, const Options& options, std::string& out,
                                   bool& /*invalid*/) const override {
    const ConversionResult r = ConvertInput(text, options);
    out += r.outputText;
    return r.status;
  }
  Result Convert(std::string_view text, const Options& options, bool utf8, bool& /*invalid*/) const override {
    ConversionResult cp = ConvertInput(text, options);
    Result r;
    r.status = cp.status;
    if (!utf8) {
      r.normalized = std::move(cp.normalizedText);
      r.output = std::move(cp.outputText);
      return r;
    }
    Cp949ToUtf8(cp.normalizedText, r.normalized);
    Cp949ToUtf8(cp.outputText, r.output);
    if (cp.fields) {
      AddressFields& f = r.fields.emplace();
      for (auto part : {&AddressFields::detail, &AddressFields::street, &AddressFields::district,
                        &AddressFields::region, &AddressFields::postcode, &AddressFields::country}) {
        Cp949ToUtf8((*cp.fields).*part, f.*part);
      }
    }
    return r;
  }
  std::string Romanize(std::string_view text, Style style, bool& /*invalid*/) const override {
    HangulRomanizer& engine = detail::ScratchEngine(style, false);
    engine.Romanize(text);
    std::string result;
    engine.GetResult(result);
    return result;
  }
};

}  // namespace

const TextCodec& TextCodec::For(bool cp949) {
  static const Utf8Codec kUtf8;
  static const Cp949Codec kCp949;
  if (cp949) return kCp949;
  return kUtf8;
}

}  // namespace jasokit::cli
