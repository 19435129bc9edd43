// The key sets (CodingKeys) of the three records: construction is exact, and the standard form.
#include "model/coding_keys.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <string_view>

namespace corvlin {
namespace {

using CK = ContentState::CodingKeys;
using AK = ActionSpec::CodingKeys;

TEST(CodingKeys, ConstructionIsExactAndThereIsNoIntegerForm) {
  struct Case {
    std::string_view text;
    std::optional<CK> key;
  };
  const Case cases[] = {
      {"progress", CK::progress},
      {"timerDirection", CK::timerDirection},
      {"actions", CK::actions},
      {"Progress", std::nullopt},
      {"", std::nullopt},
      {"progress ", std::nullopt},
      {" progress", std::nullopt},
      {"progres", std::nullopt},
      {"progressx", std::nullopt},
      {"actionId", std::nullopt},
      {std::string_view("title\0", 6), std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(codingKeyFromString<CK>(c.text), c.key);
  }
  EXPECT_EQ(codingKeyFromString<AK>("title"), std::nullopt);
  EXPECT_EQ(codingKeyFromInt<CK>(0), std::nullopt);
  EXPECT_EQ(intValue(CK::title), std::nullopt);
}

TEST(CodingKeys, StandardDescription) {
  std::ostringstream out;
  out << AK::requiresAuth;
  EXPECT_EQ(out.str(), R"(CodingKeys(stringValue: "requiresAuth", intValue: nil))");
  EXPECT_EQ(debugDescription(CK::timerDirection), description(CK::timerDirection));
}

}  // namespace
}  // namespace corvlin
