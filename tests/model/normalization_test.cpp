// Canonical equivalence against Unicode's own conformance data (NormalizationTest.txt), the
// claim behind the fast path (text whose code points are all below U+0300 is already NFC), and
// the decomposition against the library's.
#include <gtest/gtest.h>
#include <utf8proc.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "model/records.hpp"
#include "model/unicode.hpp"
#include "model_test_support.hpp"

namespace corvlin {
namespace {

using testing_support::titled;

constexpr const char* conformanceFile = "/usr/share/unicode/NormalizationTest.txt.bz2";

void appendUtf8(std::string& out, std::uint32_t cp) {
  utf8proc_uint8_t buffer[4];
  const auto n = utf8proc_encode_char(static_cast<utf8proc_int32_t>(cp), buffer);
  out.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(n));
}

// "0044 0307" -> UTF-8.
std::string fromHexField(const std::string& field) {
  std::istringstream in(field);
  std::string out;
  std::string hex;
  while (in >> hex) appendUtf8(out, static_cast<std::uint32_t>(std::stoul(hex, nullptr, 16)));
  return out;
}

// NFC or NFD of `text` by utf8proc's whole-text mapping.
std::string byUtf8proc(const std::string& text, int form) {
  utf8proc_uint8_t* out = nullptr;
  const auto n = utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
                              static_cast<utf8proc_ssize_t>(text.size()), &out,
                              static_cast<utf8proc_option_t>(UTF8PROC_STABLE | form));
  EXPECT_GE(n, 0);
  std::string result(reinterpret_cast<const char*>(out), n < 0 ? 0 : static_cast<std::size_t>(n));
  std::free(out);
  return result;
}
std::string nfcByUtf8proc(const std::string& text) { return byUtf8proc(text, UTF8PROC_COMPOSE); }
std::string nfdByUtf8proc(const std::string& text) { return byUtf8proc(text, UTF8PROC_DECOMPOSE); }

struct PipeClose {
  void operator()(FILE* f) const { pclose(f); }
};

TEST(NormalizationConformance, CanonicallyEquivalentTitlesAreEqualAndHashAlike) {
  if (!std::filesystem::exists(conformanceFile)) GTEST_SKIP() << conformanceFile << " is absent";
  std::unique_ptr<FILE, PipeClose> pipe(
      popen((std::string("bzcat ") + conformanceFile).c_str(), "r"));
  if (!pipe) GTEST_SKIP() << "cannot run bzcat";

  std::size_t lines = 0;
  std::size_t failures = 0;
  std::string line;
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, pipe.get()) != nullptr) {
    line = buffer;
    if (line.empty() || line[0] == '#' || line[0] == '@') continue;
    // c1;c2;c3;c4;c5; # comment
    std::vector<std::string> c;
    std::size_t start = 0;
    for (int i = 0; i < 5; ++i) {
      const std::size_t end = line.find(';', start);
      if (end == std::string::npos) break;
      c.push_back(fromHexField(line.substr(start, end - start)));
      start = end + 1;
    }
    if (c.size() != 5) continue;
    ++lines;
    // NFC conformance: c2 == NFC(c1) == NFC(c2) == NFC(c3); c4 == NFC(c4) == NFC(c5).
    // So c1, c2, c3 are canonically equivalent, and so are c4 and c5.
    const ContentState s1 = titled(c[0]), s2 = titled(c[1]), s3 = titled(c[2]);
    const ContentState s4 = titled(c[3]), s5 = titled(c[4]);
    const bool ok =
        s1 == s2 && s2 == s3 && s1 == s3 && s4 == s5 && hashValue(s1) == hashValue(s2) &&
        hashValue(s2) == hashValue(s3) && hashValue(s4) == hashValue(s5) &&
        // Equivalent-or-not must agree with NFC: c2 is NFC(c1), c4 is NFC(c4).
        ((s2 == s4) == (c[1] == c[3])) && ((hashValue(s2) == hashValue(s4)) == (c[1] == c[3]));
    if (!ok && ++failures <= 10) ADD_FAILURE() << "line: " << line;
  }
  EXPECT_EQ(failures, 0u);
  EXPECT_GT(lines, 19000u) << "the conformance file looks truncated";
}

TEST(NormalizationFastPath, CodePointsBelowU0300AreAlreadyNfcAloneAndInPairs) {
  std::vector<std::string> chars;
  for (std::uint32_t cp = 0; cp < 0x300; ++cp) {
    std::string text;
    appendUtf8(text, cp);
    ASSERT_TRUE(unicode::isTriviallyNormalized(text)) << std::hex << cp;
    chars.push_back(std::move(text));
  }
  std::size_t failures = 0;
  for (const std::string& a : chars) {
    if (nfcByUtf8proc(a) != a && ++failures <= 10) ADD_FAILURE() << "single " << a;
    for (const std::string& b : chars) {
      const std::string pair = a + b;
      if (nfcByUtf8proc(pair) != pair && ++failures <= 10) ADD_FAILURE() << "pair " << pair;
    }
  }
  EXPECT_EQ(failures, 0u);
  std::string u0300;
  appendUtf8(u0300, 0x300);
  EXPECT_FALSE(unicode::isTriviallyNormalized(u0300));
  EXPECT_FALSE(unicode::isTriviallyNormalized("abcdefgh\xE2\x84\xAA"));  // KELVIN SIGN
  EXPECT_TRUE(unicode::isTriviallyNormalized("plain ASCII text, longer than a word"));
}

std::string decomposed(const std::string& text) {
  std::string out(unicode::maxDecomposedSize(text.size()), '\0');
  const std::size_t n = unicode::decompose(text, out.data());
  if (n == unicode::notUtf8) return "<not UTF-8>";
  out.resize(n);
  return out;
}

// The decomposition copies what stays and re-encodes only what moves; utf8proc's whole-text
// mapping is the plain version it must agree with.
TEST(Decomposition, AgreesWithTheLibraryForEveryCodePointAndForMarksOutOfOrder) {
  std::size_t failures = 0;
  const auto check = [&](const std::string& text) {
    if (decomposed(text) != nfdByUtf8proc(text) && ++failures <= 10) {
      ADD_FAILURE() << "text " << text;
    }
  };
  std::string acute;
  appendUtf8(acute, 0x301);
  for (std::uint32_t cp = 1; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    std::string one;
    appendUtf8(one, cp);
    check(one);
    // Before a mark of class 230 and after a starter: moves marks of a higher class.
    check("a" + one + acute);
  }
  // Runs of marks of several classes in every order of a few, with precomposed letters.
  const std::uint32_t pieces[] = {0x301, 0x327,  0x323,  0x345,  0x1DCE, 0x5B0,
                                  0xE9,  0x1F82, 0xAC01, 0x212B, 'e'};
  for (std::uint32_t a : pieces) {
    for (std::uint32_t b : pieces) {
      for (std::uint32_t c : pieces) {
        std::string text = "x";
        for (std::uint32_t cp : {a, b, c, a}) appendUtf8(text, cp);
        check(text);
      }
    }
  }
  EXPECT_EQ(failures, 0u);
}

TEST(Decomposition, RefusesTextThatIsNotUtf8AndSuchTextComparesByItsBytes) {
  for (const char* bad : {"\xE2\x84", "a\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\x80"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(decomposed(bad), "<not UTF-8>");
    EXPECT_TRUE(unicode::canonicallyEquivalent(bad, bad));
    EXPECT_FALSE(unicode::canonicallyEquivalent(bad, "\xE2\x84\xAA"));
  }
  EXPECT_TRUE(unicode::canonicallyEquivalent("\xE2\x84\xAA", "K"));  // KELVIN SIGN
  EXPECT_TRUE(unicode::canonicallyEquivalent("K", "\xE2\x84\xAA"));
  EXPECT_FALSE(unicode::canonicallyEquivalent("K", "k"));
  EXPECT_TRUE(unicode::canonicallyEquivalent("Caf\xC3\xA9", "Cafe\xCC\x81"));
}

}  // namespace
}  // namespace corvlin
