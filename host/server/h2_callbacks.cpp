#include "host/server/h2_callbacks.hpp"

#include <memory>
#include <new>
#include <string_view>

#include "host/server/push_handler.hpp"

namespace corvlin::host::server {

namespace {

H2Session& self(void* data) { return *static_cast<H2Session*>(data); }

std::string_view text(const std::uint8_t* bytes, std::size_t length) {
  return {reinterpret_cast<const char*>(bytes), length};
}

bool endsStream(const nghttp2_frame* frame) {
  return (frame->hd.flags & NGHTTP2_FLAG_END_STREAM) != 0;
}

// Runs a callback's body: running out of memory fails the callback, and so the session, for
// nothing may be thrown through nghttp2, which is C.
template <class Body>
auto guarded(Body body) -> decltype(body()) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return NGHTTP2_ERR_CALLBACK_FAILURE;
  }
}

}  // namespace

nghttp2_session_callbacks* H2Session::Callbacks::make() {
  nghttp2_session_callbacks* callbacks = nullptr;
  if (nghttp2_session_callbacks_new(&callbacks) != 0) return nullptr;
  nghttp2_session_callbacks_set_on_begin_headers_callback(callbacks, beginHeaders);
  nghttp2_session_callbacks_set_on_header_callback(callbacks, header);
  nghttp2_session_callbacks_set_on_frame_recv_callback(callbacks, frameReceived);
  nghttp2_session_callbacks_set_on_data_chunk_recv_callback(callbacks, dataChunk);
  nghttp2_session_callbacks_set_on_frame_send_callback(callbacks, frameSent);
  nghttp2_session_callbacks_set_on_stream_close_callback(callbacks, streamClosed);
  return callbacks;
}

int H2Session::Callbacks::beginHeaders(nghttp2_session*, const nghttp2_frame* frame, void* data) {
  if (frame->hd.type != NGHTTP2_HEADERS || frame->headers.cat != NGHTTP2_HCAT_REQUEST) return 0;
  return guarded([&] {
    self(data).streams_[frame->hd.stream_id] = std::make_unique<H2Stream>();
    return 0;
  });
}

int H2Session::Callbacks::header(nghttp2_session*, const nghttp2_frame* frame,
                                 const std::uint8_t* name, std::size_t nameLength,
                                 const std::uint8_t* value, std::size_t valueLength, std::uint8_t,
                                 void* data) {
  H2Session& session = self(data);
  // Every field decoded was checked by nghttp2 at the cost of its length, kept or not.
  session.headerBytesWithoutAnswer_ += nameLength + valueLength + 32;
  if (session.headerBytesWithoutAnswer_ > session.limits_.maxHeaderBytesWithoutAnswer) {
    session.terminate(NGHTTP2_ENHANCE_YOUR_CALM);
    return NGHTTP2_ERR_CALLBACK_FAILURE;
  }
  H2Stream* stream = session.find(frame->hd.stream_id);
  // Trailers, after the body, are not kept: the request was whole without them.
  if (stream == nullptr || frame->hd.type != NGHTTP2_HEADERS ||
      frame->headers.cat != NGHTTP2_HCAT_REQUEST) {
    return 0;
  }
  // As SETTINGS_MAX_HEADER_LIST_SIZE counts: each field's name and value, and 32 more.
  stream->headerBytes += nameLength + valueLength + 32;
  if (stream->headerBytes > session.limits_.maxHeaderBytes) stream->headerTooLarge = true;
  if (stream->headerTooLarge) return 0;  // read on, for HPACK's sake, but keep nothing more
  return guarded([&] {
    const std::string_view key = text(name, nameLength);
    const std::string_view val = text(value, valueLength);
    if (key == ":method") {
      stream->request.method = val;
    } else if (key == ":path") {
      stream->request.target = val;
    } else if (key == ":authority") {
      stream->authority = val;
    } else if (!key.starts_with(':')) {
      stream->request.headers.emplace_back(key, val);
    }
    return 0;
  });
}

int H2Session::Callbacks::frameReceived(nghttp2_session*, const nghttp2_frame* frame, void* data) {
  H2Session& session = self(data);
  if (frame->hd.type == NGHTTP2_RST_STREAM) {
    if (++session.resetsWithoutAnswer_ > session.limits_.maxResetsWithoutAnswer) {
      session.terminate(NGHTTP2_ENHANCE_YOUR_CALM);
    }
    return 0;
  }
  if (frame->hd.type != NGHTTP2_HEADERS && frame->hd.type != NGHTTP2_DATA) return 0;
  H2Stream* stream = session.find(frame->hd.stream_id);
  if (stream == nullptr) return 0;
  return guarded([&] {
    if (frame->hd.type == NGHTTP2_HEADERS && stream->headerTooLarge && !stream->answered) {
      stream->requestComplete = endsStream(frame);
      session.refuse(frame->hd.stream_id, *stream, 431, "HeaderTooLarge");
      return 0;
    }
    // A head whose host field disagrees with its :authority is refused before its body is read.
    if (frame->hd.type == NGHTTP2_HEADERS && frame->headers.cat == NGHTTP2_HCAT_REQUEST &&
        !stream->answered) {
      if (const auto refused = refuseHttp2Authority(stream->authority, stream->request.headers)) {
        stream->requestComplete = endsStream(frame);
        session.refuse(frame->hd.stream_id, *stream, refused->status, refused->reason.c_str());
        return 0;
      }
    }
    if (endsStream(frame)) session.complete(frame->hd.stream_id, *stream);
    return 0;
  });
}

int H2Session::Callbacks::dataChunk(nghttp2_session*, std::uint8_t, std::int32_t id,
                                    const std::uint8_t* bytes, std::size_t length, void* data) {
  H2Session& session = self(data);
  H2Stream* stream = session.find(id);
  if (stream == nullptr || stream->answered) return 0;  // refused already: dropped unread
  return guarded([&] {
    if (stream->request.body.size() + length > session.limits_.maxBodyBytes) {
      stream->request.body.clear();
      session.refuse(id, *stream, 413, "PayloadTooLarge");
      return 0;
    }
    stream->request.body.append(text(bytes, length));
    return 0;
  });
}

int H2Session::Callbacks::frameSent(nghttp2_session* ng, const nghttp2_frame* frame, void* data) {
  H2Session& session = self(data);
  if ((frame->hd.type != NGHTTP2_HEADERS && frame->hd.type != NGHTTP2_DATA) || !endsStream(frame)) {
    return 0;
  }
  // An answer went out whole.
  session.resetsWithoutAnswer_ = 0;
  session.headerBytesWithoutAnswer_ = 0;
  H2Stream* stream = session.find(frame->hd.stream_id);
  if (stream != nullptr && stream->resetAfterAnswer) {
    nghttp2_submit_rst_stream(ng, NGHTTP2_FLAG_NONE, frame->hd.stream_id, NGHTTP2_NO_ERROR);
  }
  return 0;
}

int H2Session::Callbacks::streamClosed(nghttp2_session*, std::int32_t id, std::uint32_t,
                                       void* data) {
  return guarded([&] {
    H2Session& session = self(data);
    const auto found = session.streams_.find(id);
    if (found == session.streams_.end()) return 0;
    session.closed_.push_back(id);
    session.queuedBytes_ -= found->second->waitingBytes();
    session.streams_.erase(found);
    return 0;
  });
}

ssize_t H2Session::Callbacks::readBody(nghttp2_session*, std::int32_t, std::uint8_t* buffer,
                                       std::size_t length, std::uint32_t* flags,
                                       nghttp2_data_source* source, void* data) {
  auto& stream = *static_cast<H2Stream*>(source->ptr);
  bool bodyEnded = false;
  const std::size_t n = stream.copyOut(buffer, length, bodyEnded);
  self(data).queuedBytes_ -= n;
  if (stream.events && n == 0) {
    stream.deferred = true;
    return NGHTTP2_ERR_DEFERRED;
  }
  if (bodyEnded) *flags |= NGHTTP2_DATA_FLAG_EOF;
  return static_cast<ssize_t>(n);
}

}  // namespace corvlin::host::server
