// Small helpers shared by the model tests.
#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "model/coding.hpp"
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

// A content state that must decode; a failure is reported with its document.
inline ContentState decodeOk(std::string_view json) {
  auto result = decodeContentState(json);
  EXPECT_TRUE(result.ok()) << json << " -> " << (result.ok() ? DecodingError{} : result.error());
  return result.ok() ? result.value() : ContentState{};
}

// A content state's coded form, which must be written.
inline std::string encodeOk(const ContentState& state) {
  auto result = encodeContentState(state);
  EXPECT_TRUE(result.ok()) << (result.ok() ? EncodingError{} : result.error());
  return result.ok() ? result.value() : std::string();
}

// A double's bits, to tell -0 from 0 and one NaN from another.
inline std::uint64_t bits(double value) { return std::bit_cast<std::uint64_t>(value); }

// Test names for parameterized suites: the case's own `name`.
struct CaseName {
  template <class Param>
  std::string operator()(const ::testing::TestParamInfo<Param>& p) const {
    return p.param.name;
  }
};

}  // namespace corvlin::testing_support
