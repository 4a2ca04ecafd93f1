#pragma once
// The encoding of a command's text at its edges: what it reads (standard
// input, arguments) and what it writes (standard output, messages) is UTF-8,
// or CP949 bytes with --cp949. The codec is chosen once, from the command
// line; everything between goes through it and never asks which it is.
//
// CP949 text is handed to the library's CP949 entry as read, byte for byte,
// as the desktop program's boxes hand it over: it is never decoded to UTF-8
// and back, which would change what bytes that are no CP949 turn into.
#include <cstddef>
#include <string>
#include <string_view>

#include "frontend/input.h"
#include "jasokit/convert.h"

namespace jasokit::cli {

class TextCodec {
 public:
  virtual ~TextCodec() = default;

  // The codec of --cp949 (cp949) or of UTF-8.
  static const TextCodec& For(bool cp949);

  // An input text to convert, trimmed as it streams past (TrimmedText).
  virtual TrimmedText Trimmed() const = 0;
  // An input text to romanize, held as far as romanizing it may need.
  virtual HeldLine Romanizable() const = 0;

  // Appends a text of the input in UTF-8, for JSON and the library's options.
  virtual void AppendUtf8(std::string_view text, std::string& out) const = 0;
  // Appends a UTF-8 text (a message) in the output's encoding.
  virtual void AppendFromUtf8(std::string_view utf8, std::string& out) const = 0;
  // Appends a CP949 text (of the zip table) in the output's encoding.
  virtual void AppendFromCp949(std::string_view cp949, std::string& out) const = 0;
  // Appends a text of the input in CP949, for the zip table; false when it is
  // no valid text or has a character with no CP949 form.
  virtual bool AppendCp949(std::string_view text, std::string& out) const = 0;

  // Converts a text of the input and appends the output in the output's
  // encoding (nothing for TooLong and Empty); invalid tells whether invalid
  // input was replaced; warnings, when given, receives the result's (UTF-8).
  // A batch worker gives its own workspace; without one the library lends one.
  virtual ConversionStatus AppendConverted(std::string_view text, const Options& options, std::string& out,
                                           bool& invalid, std::vector<Warning>* warnings = nullptr,
                                           ConversionWorkspace* workspace = nullptr) const = 0;
  // The whole conversion; its texts in the output's encoding, or in UTF-8
  // when utf8 is set (the address fields as options.withFields asks).
  virtual Result Convert(std::string_view text, const Options& options, bool utf8, bool& invalid,
                         ConversionWorkspace* workspace = nullptr) const = 0;
  // Romanizes a text of the input into the output's encoding; empty when
  // refused.
  virtual std::string Romanize(std::string_view text, Style style, bool& invalid) const = 0;
};

// Appends text for a terminal or a line-based reader: control characters
// (C0, DEL, and in UTF-8 the C1 range) written as \t, \n, \r or \xHH
// (\u00HH for C1), so that a name in the data can neither break a line or
// a column nor send the terminal an escape sequence. Bytes of CP949 that
// follow a lead byte are never below 0x41, so both encodings are safe bytewise.
void AppendVisible(std::string_view text, bool utf8, std::string& out);

}  // namespace jasokit::cli
