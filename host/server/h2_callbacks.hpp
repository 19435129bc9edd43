// nghttp2's callbacks for an H2Session, each given the session as its user data: the headers and
// data of requests in, the bodies and event blocks of answers out, and the session's bounds.
#pragma once

#include <nghttp2/nghttp2.h>

#include <cstddef>
#include <cstdint>

#include "host/server/h2_session.hpp"

namespace corvlin::host::server {

struct H2Session::Callbacks {
  // A set of every callback below; the caller deletes it. Null when there is no memory.
  static nghttp2_session_callbacks* make();

  static int beginHeaders(nghttp2_session*, const nghttp2_frame* frame, void* data);
  static int header(nghttp2_session*, const nghttp2_frame* frame, const std::uint8_t* name,
                    std::size_t nameLength, const std::uint8_t* value, std::size_t valueLength,
                    std::uint8_t, void* data);
  static int frameReceived(nghttp2_session*, const nghttp2_frame* frame, void* data);
  static int dataChunk(nghttp2_session*, std::uint8_t, std::int32_t id, const std::uint8_t* bytes,
                       std::size_t length, void* data);
  static int frameSent(nghttp2_session* ng, const nghttp2_frame* frame, void* data);
  static int streamClosed(nghttp2_session*, std::int32_t id, std::uint32_t, void* data);
  // An answer's body, or an event stream's blocks; an event stream never ends: with nothing
  // waiting it is deferred until text comes.
  static ssize_t readBody(nghttp2_session*, std::int32_t, std::uint8_t* buffer, std::size_t length,
                          std::uint32_t* flags, nghttp2_data_source* source, void* data);
};

}  // namespace corvlin::host::server
