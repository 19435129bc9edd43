#include "host/server/descriptors.hpp"

#include <algorithm>
#include <boost/asio/error.hpp>
#include <cerrno>
#include <cstring>

namespace corvlin::host::server {

rlim_t raisedSoftLimit(rlim_t soft, rlim_t hard) {
  // RLIM_INFINITY is the largest value an rlim_t holds.
  return soft >= wantedDescriptors ? soft : std::min(hard, wantedDescriptors);
}

Result<rlim_t, std::string> raiseDescriptorLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) {
    return Failure{std::string("cannot read the descriptor limit: ") + std::strerror(errno)};
  }
  const rlim_t wanted = raisedSoftLimit(limit.rlim_cur, limit.rlim_max);
  if (wanted == limit.rlim_cur) return limit.rlim_cur;
  const rlim_t before = limit.rlim_cur;
  limit.rlim_cur = wanted;
  if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) {
    return Failure{"cannot raise the descriptor limit from " + std::to_string(before) + " to " +
                   std::to_string(wanted) + ": " + std::strerror(errno)};
  }
  return wanted;
}

std::chrono::milliseconds acceptRetryDelay(const boost::system::error_code& error) {
  namespace asio = boost::asio;
  if (!error) return std::chrono::milliseconds{0};
  if (error == asio::error::connection_aborted || error == asio::error::connection_reset ||
      error == asio::error::interrupted || error == asio::error::would_block ||
      error == asio::error::try_again ||
      error == boost::system::errc::make_error_code(boost::system::errc::protocol_error) ||
      error == asio::error::no_permission) {
    return std::chrono::milliseconds{0};
  }
  return acceptPause;
}

}  // namespace corvlin::host::server
