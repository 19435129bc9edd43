// Small helpers shared by the model tests.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "model/records.hpp"

namespace corvlin::testing_support {

inline std::string readFileWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot open " << path;
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

inline std::string readTestData(std::string_view name) {
  return readFileWhole(std::string(CORVLIN_TEST_DATA) + "/" + std::string(name));
}

// One of the payloads corvlin-host carries built in.
inline std::string readSample(std::string_view name) {
  return readFileWhole(std::string(CORVLIN_SAMPLES) + "/" + std::string(name));
}

inline ContentState titled(std::string title) {
  ContentState state;
  state.title = std::move(title);
  return state;
}

// Test names for parameterized suites: the case's own `name`.
struct CaseName {
  template <class Param>
  std::string operator()(const ::testing::TestParamInfo<Param>& p) const {
    return p.param.name;
  }
};

}  // namespace corvlin::testing_support
