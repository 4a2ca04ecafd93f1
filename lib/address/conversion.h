#pragma once
// The conversion request's inner steps, named for its tests and for the
// programs that drive them.
#include <memory>
#include <string>
#include <string_view>

#include "jasokit/convert.h"
#include "romanize/hangul_romanizer.h"

namespace jasokit::detail {

// Trailing single-byte whitespace, then leading, stepping over double-byte
// characters whole.
std::string_view TrimWhitespace(std::string_view text);
// CR LF, then LF, become one space; runs of spaces become one. Tabs and lone
// CRs stay.
std::string NormalizeWhitespace(std::string_view text);
void NormalizeWhitespaceInto(std::string_view text, std::string& out);

// Result::warnings code of a UTF-8 text that held a NUL, where it ended.
inline constexpr std::string_view kWarningTextCutAtNul = "text-cut-at-nul";

// The conversion on CP949 bytes. With privateCodes the text may hold the
// private codes of romanize/cp949.h, and the results keep them (the data's
// characters with no CP949 form get codes after those of the workspace's
// text); country is in the same bytes (empty: the style's own).
// withFields false leaves the result's fields out, for callers that need
// the output only.
Result ConvertBytes(std::string_view text, const Options& options, bool privateCodes, std::string_view country,
                    bool withFields = true);

// What conversions reuse from call to call: engines, converters and
// buffers (each call replaces all their state, and their buffers stay). A
// worker thread owns one (ConversionWorkspace); a call that brings none is
// lent one for its length (LentWorkspace).
class Workspace {
 public:
  Workspace();
  ~Workspace();
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  struct Parts;
  Parts& parts() { return *m_parts; }

 private:
  std::unique_ptr<Parts> m_parts;
};

// A workspace from a shared pool, given back when this ends. Not one
// thread_local workspace per thread: an object with a destructor in
// thread_local storage corrupts the heap when its thread ends under
// MinGW-w64 (GCC PR 80816), and threads that come and go would each make
// a workspace of their own.
class LentWorkspace {
 public:
  LentWorkspace();
  ~LentWorkspace();
  LentWorkspace(const LentWorkspace&) = delete;
  LentWorkspace& operator=(const LentWorkspace&) = delete;

  Workspace& get() { return *m_workspace; }

 private:
  std::unique_ptr<Workspace> m_workspace;
};

// ConvertBytes into a result whose strings are reused.
void ConvertBytesInto(std::string_view text, const Options& options, bool privateCodes, std::string_view country,
                      bool withFields, Result& result);
void ConvertBytesInto(std::string_view text, const Options& options, bool privateCodes, std::string_view country,
                      bool withFields, Result& result, Workspace& workspace);

// Appends the UTF-8 output of Convert to out and returns the status: for
// batches, which need the output only (nothing for TooLong and Empty).
ConversionStatus AppendConvertedUtf8(std::string_view utf8, const Options& options, std::string& out,
                                     bool* invalidUtf8 = nullptr);
ConversionStatus AppendConvertedUtf8(std::string_view utf8, const Options& options, std::string& out,
                                     Workspace& workspace, bool* invalidUtf8 = nullptr);

// Appends Romanize's result to out.
void AppendRomanizedUtf8(std::string_view utf8, Style style, std::string& out, Workspace& workspace,
                         bool* invalidUtf8 = nullptr);

// Convert, also telling whether the input held invalid UTF-8.
void ConvertUtf8Into(std::string_view utf8, const Options& options, bool* invalidUtf8, bool withFields, Result& result,
                     Workspace& workspace);
Result ConvertUtf8(std::string_view utf8, const Options& options, bool* invalidUtf8, bool withFields = true);
// Romanize, likewise.
std::string RomanizeUtf8(std::string_view utf8, Style style, bool* invalidUtf8);

}  // namespace jasokit::detail
