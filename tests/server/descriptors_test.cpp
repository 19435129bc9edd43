// The server's descriptor limit and its pause after a failed accept, as pure decisions.
#include "host/server/descriptors.hpp"

#include <gtest/gtest.h>

#include <boost/asio/error.hpp>

namespace corvlin::host::server {
namespace {

TEST(Descriptors, RaisesTheSoftLimitTowardsTheHardOne) {
  struct Case {
    const char* name;
    rlim_t soft;
    rlim_t hard;
    rlim_t raised;
  };
  const std::vector<Case> cases = {
      {"the usual 1024 of a large hard limit", 1024, 1048576, wantedDescriptors},
      {"up to a hard limit below what is wanted", 1024, 2048, 2048},
      {"no room to raise", 1024, 1024, 1024},
      {"an unlimited hard limit", 256, RLIM_INFINITY, wantedDescriptors},
      {"a soft limit already higher is kept", 20000, 20000, 20000},
      {"an unlimited soft limit is kept", RLIM_INFINITY, RLIM_INFINITY, RLIM_INFINITY},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(raisedSoftLimit(c.soft, c.hard), c.raised);
  }
}

TEST(Descriptors, PausesAcceptingOnlyWhenSomethingHasRunOut) {
  namespace asio = boost::asio;
  using boost::system::errc::make_error_code;
  using std::chrono::milliseconds;
  struct Case {
    const char* name;
    boost::system::error_code error;
    milliseconds delay;
  };
  const std::vector<Case> cases = {
      {"accepted", {}, milliseconds{0}},
      {"descriptors of the process (EMFILE)", asio::error::no_descriptors, acceptPause},
      {"descriptors of the system (ENFILE)",
       make_error_code(boost::system::errc::too_many_files_open_in_system), acceptPause},
      {"buffers (ENOBUFS)", asio::error::no_buffer_space, acceptPause},
      {"memory (ENOMEM)", asio::error::no_memory, acceptPause},
      {"anything unforeseen", asio::error::bad_descriptor, acceptPause},
      {"a connection reset before it was taken", asio::error::connection_aborted, milliseconds{0}},
      {"a protocol error of that connection", make_error_code(boost::system::errc::protocol_error),
       milliseconds{0}},
      {"a signal", asio::error::interrupted, milliseconds{0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(acceptRetryDelay(c.error), c.delay);
  }
}

}  // namespace
}  // namespace corvlin::host::server
