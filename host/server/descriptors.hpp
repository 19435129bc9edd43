// The server's descriptors: the soft limit raised at start, and the pause before accepting
// again when a connection could not be accepted.
#pragma once

#include <sys/resource.h>

#include <boost/system/error_code.hpp>
#include <chrono>
#include <string>

#include "json/result.hpp"

namespace corvlin::host::server {

// Enough for 256 connections and 64 activities' extensions (a socket, a pipe and a pidfd each,
// and a few more while one starts) several times over; more is not asked for, since every
// extension inherits the limit.
inline constexpr rlim_t wantedDescriptors = 4096;

// The soft limit to set: wantedDescriptors, or the hard limit when that is lower; a soft limit
// already as high is kept.
rlim_t raisedSoftLimit(rlim_t soft, rlim_t hard);

// Raises this process's soft RLIMIT_NOFILE to raisedSoftLimit; the limit it then has, or why
// it could not be read or raised.
Result<rlim_t, std::string> raiseDescriptorLimit();

// How long to wait before accepting again after `error`. Zero for a failure of that one
// connection (it was reset or refused before it was taken); a pause for everything else: when
// descriptors or memory have run out, the waiting connection stays ready, and accepting again
// at once would spin until some are freed.
inline constexpr std::chrono::milliseconds acceptPause{100};
std::chrono::milliseconds acceptRetryDelay(const boost::system::error_code& error);

}  // namespace corvlin::host::server
