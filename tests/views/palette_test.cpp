#include "views/palette.hpp"

#include <gtest/gtest.h>

namespace corvlin {
namespace {

TEST(ToneColor, MatchesWholeCaseSensitiveKeywordsOnly) {
  struct Case {
    std::optional<std::string> tone;
    ui::Color expected;
  };
  const ui::Color blue{0.18, 0.42, 1.0, 1.0};
  const Case cases[] = {
      {"danger", {1.0, 0.3, 0.37, 1.0}},
      {"warning", {1.0, 0.62, 0.11, 1.0}},
      {"positive", {0.13, 0.77, 0.37, 1.0}},
      {std::nullopt, blue},
      {"", blue},
      {"Danger", blue},
      {"DANGER", blue},
      {" danger", blue},
      {"danger\n", blue},
      {"dangerous", blue},
      {"Warning", blue},
      {"positive ", blue},
      {"sideways", blue},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tone.value_or("<absent>"));
    EXPECT_EQ(toneColor(c.tone), c.expected);
  }
}

}  // namespace
}  // namespace corvlin
