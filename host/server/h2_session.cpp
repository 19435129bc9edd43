#include "host/server/h2_session.hpp"

#include <nghttp2/nghttp2.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "host/server/event_block.hpp"
#include "host/server/push_handler.hpp"

namespace corvlin::host::server {

// One stream's request as it arrives, and its answer as it leaves.
struct H2Session::Stream {
  Request request;
  std::string authority;
  std::size_t headerBytes = 0;
  bool headerTooLarge = false;
  bool bodyTooLarge = false;
  bool requestComplete = false;
  bool answered = false;
  bool resetAfterAnswer = false;  // answered before the request ended: the client is to stop
  std::string body;               // the answer's body
  std::size_t sent = 0;           // of `body`, or of the first waiting block of an event stream
  bool events = false;
  bool deferred = false;  // an event stream with nothing to send, waiting to be resumed
  // An event stream's blocks not yet sent whole: the board's text, shared by every stream it
  // goes to, framed as it is copied out.
  std::deque<EventBlock> waiting;
};

namespace {

std::string_view text(const std::uint8_t* bytes, std::size_t length) {
  return {reinterpret_cast<const char*>(bytes), length};
}

nghttp2_nv field(std::string_view name, std::string_view value) {
  // nghttp2 copies (and lower-cases) the names and values it is given.
  return {reinterpret_cast<std::uint8_t*>(const_cast<char*>(name.data())),
          reinterpret_cast<std::uint8_t*>(const_cast<char*>(value.data())), name.size(),
          value.size(), NGHTTP2_NV_FLAG_NONE};
}

bool endsStream(const nghttp2_frame* frame) {
  return (frame->hd.flags & NGHTTP2_FLAG_END_STREAM) != 0;
}

}  // namespace

// nghttp2's callbacks, each given the session as its user data.
struct H2Session::Callbacks {
  static H2Session& self(void* data) { return *static_cast<H2Session*>(data); }

  static int beginHeaders(nghttp2_session*, const nghttp2_frame* frame, void* data) {
    if (frame->hd.type != NGHTTP2_HEADERS || frame->headers.cat != NGHTTP2_HCAT_REQUEST) return 0;
    self(data).streams_[frame->hd.stream_id] = std::make_unique<Stream>();
    return 0;
  }

  static int header(nghttp2_session*, const nghttp2_frame* frame, const std::uint8_t* name,
                    std::size_t nameLength, const std::uint8_t* value, std::size_t valueLength,
                    std::uint8_t, void* data) {
    H2Session& session = self(data);
    Stream* stream = session.find(frame->hd.stream_id);
    // Trailers, after the body, are not kept: the request was whole without them.
    if (stream == nullptr || frame->hd.type != NGHTTP2_HEADERS ||
        frame->headers.cat != NGHTTP2_HCAT_REQUEST) {
      return 0;
    }
    // As SETTINGS_MAX_HEADER_LIST_SIZE counts: each field's name and value, and 32 more.
    stream->headerBytes += nameLength + valueLength + 32;
    if (stream->headerBytes > session.limits_.maxHeaderBytes) stream->headerTooLarge = true;
    if (stream->headerTooLarge) return 0;  // read on, for HPACK's sake, but keep nothing more
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
  }

  static int frameReceived(nghttp2_session* ng, const nghttp2_frame* frame, void* data) {
    H2Session& session = self(data);
    if (frame->hd.type == NGHTTP2_RST_STREAM) {
      if (++session.resetsWithoutAnswer_ > session.limits_.maxResetsWithoutAnswer) {
        session.failed_ = true;
        nghttp2_session_terminate_session(ng, NGHTTP2_ENHANCE_YOUR_CALM);
      }
      return 0;
    }
    if (frame->hd.type != NGHTTP2_HEADERS && frame->hd.type != NGHTTP2_DATA) return 0;
    Stream* stream = session.find(frame->hd.stream_id);
    if (stream == nullptr) return 0;
    if (frame->hd.type == NGHTTP2_HEADERS && stream->headerTooLarge && !stream->answered) {
      stream->requestComplete = endsStream(frame);
      session.refuse(frame->hd.stream_id, *stream, 431, "HeaderTooLarge");
      return 0;
    }
    if (endsStream(frame)) session.complete(frame->hd.stream_id, *stream);
    return 0;
  }

  static int dataChunk(nghttp2_session*, std::uint8_t, std::int32_t id, const std::uint8_t* bytes,
                       std::size_t length, void* data) {
    H2Session& session = self(data);
    Stream* stream = session.find(id);
    if (stream == nullptr || stream->answered) return 0;  // refused already: dropped unread
    if (stream->request.body.size() + length > session.limits_.maxBodyBytes) {
      stream->bodyTooLarge = true;
      stream->request.body.clear();
      session.refuse(id, *stream, 413, "PayloadTooLarge");
      return 0;
    }
    stream->request.body.append(text(bytes, length));
    return 0;
  }

  static int frameSent(nghttp2_session* ng, const nghttp2_frame* frame, void* data) {
    H2Session& session = self(data);
    if ((frame->hd.type != NGHTTP2_HEADERS && frame->hd.type != NGHTTP2_DATA) ||
        !endsStream(frame)) {
      return 0;
    }
    session.resetsWithoutAnswer_ = 0;  // an answer went out whole
    Stream* stream = session.find(frame->hd.stream_id);
    if (stream != nullptr && stream->resetAfterAnswer) {
      nghttp2_submit_rst_stream(ng, NGHTTP2_FLAG_NONE, frame->hd.stream_id, NGHTTP2_NO_ERROR);
    }
    return 0;
  }

  static int streamClosed(nghttp2_session*, std::int32_t id, std::uint32_t, void* data) {
    H2Session& session = self(data);
    if (session.streams_.erase(id) != 0) session.closed_.push_back(id);
    return 0;
  }

  static ssize_t readBody(nghttp2_session*, std::int32_t, std::uint8_t* buffer, std::size_t length,
                          std::uint32_t* flags, nghttp2_data_source* source, void*) {
    auto& stream = *static_cast<Stream*>(source->ptr);
    if (stream.events) return readEvents(stream, buffer, length);
    const std::size_t n = std::min(length, stream.body.size() - stream.sent);
    if (n != 0) {
      // Bytes of a DATA frame, not a C string.
      // NOLINTNEXTLINE(bugprone-not-null-terminated-result)
      std::memcpy(buffer, stream.body.data() + stream.sent, n);
    }
    stream.sent += n;
    if (stream.sent == stream.body.size()) *flags |= NGHTTP2_DATA_FLAG_EOF;
    return static_cast<ssize_t>(n);
  }

  // An event stream never ends: with nothing waiting it is deferred until text comes.
  static ssize_t readEvents(Stream& stream, std::uint8_t* buffer, std::size_t length) {
    std::size_t copied = 0;
    while (copied < length && !stream.waiting.empty()) {
      const EventBlock& block = stream.waiting.front();
      const std::size_t n = copyFramed(block, stream.sent, buffer + copied, length - copied);
      copied += n;
      stream.sent += n;
      if (stream.sent == framedSize(block)) {
        stream.waiting.pop_front();
        stream.sent = 0;
      }
    }
    if (copied == 0) {
      stream.deferred = true;
      return NGHTTP2_ERR_DEFERRED;
    }
    return static_cast<ssize_t>(copied);
  }
};

H2Session::H2Session(const H2Limits& limits) : limits_(limits) {
  nghttp2_session_callbacks* callbacks = nullptr;
  if (nghttp2_session_callbacks_new(&callbacks) != 0) throw std::bad_alloc();
  nghttp2_session_callbacks_set_on_begin_headers_callback(callbacks, Callbacks::beginHeaders);
  nghttp2_session_callbacks_set_on_header_callback(callbacks, Callbacks::header);
  nghttp2_session_callbacks_set_on_frame_recv_callback(callbacks, Callbacks::frameReceived);
  nghttp2_session_callbacks_set_on_data_chunk_recv_callback(callbacks, Callbacks::dataChunk);
  nghttp2_session_callbacks_set_on_frame_send_callback(callbacks, Callbacks::frameSent);
  nghttp2_session_callbacks_set_on_stream_close_callback(callbacks, Callbacks::streamClosed);
  const int made = nghttp2_session_server_new(&session_, callbacks, this);
  nghttp2_session_callbacks_del(callbacks);
  if (made != 0) throw std::bad_alloc();
  const nghttp2_settings_entry settings[] = {
      {NGHTTP2_SETTINGS_MAX_CONCURRENT_STREAMS, limits_.maxConcurrentStreams},
      {NGHTTP2_SETTINGS_MAX_HEADER_LIST_SIZE, static_cast<std::uint32_t>(limits_.maxHeaderBytes)}};
  nghttp2_submit_settings(session_, NGHTTP2_FLAG_NONE, settings, std::size(settings));
}

H2Session::~H2Session() { nghttp2_session_del(session_); }

H2Session::Stream* H2Session::find(std::int32_t stream) {
  const auto found = streams_.find(stream);
  return found == streams_.end() ? nullptr : found->second.get();
}

bool H2Session::receive(std::string_view bytes) {
  if (failed_) return false;
  const auto used = nghttp2_session_mem_recv(
      session_, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  if (used < 0) failed_ = true;
  return !failed_;
}

void H2Session::complete(std::int32_t stream, Stream& state) {
  state.requestComplete = true;
  if (state.answered) return;
  // :authority stands for Host, and is the one the handler checks when a client sends both.
  if (!state.authority.empty()) {
    state.request.headers.insert(state.request.headers.begin(), {"Host", state.authority});
  }
  completed_.push_back(stream);
}

void H2Session::refuse(std::int32_t stream, Stream& state, unsigned status, const char* reason) {
  state.resetAfterAnswer = !state.requestComplete;
  respond(stream, refusalResponse({status, reason, ""}), false);
}

std::vector<H2Request> H2Session::takeRequests() {
  std::vector<H2Request> requests;
  for (const std::int32_t id : completed_) {
    Stream* stream = find(id);
    if (stream == nullptr || stream->answered) continue;  // reset by the client meanwhile
    requests.push_back({id, std::move(stream->request)});
  }
  completed_.clear();
  return requests;
}

std::vector<std::int32_t> H2Session::takeClosedStreams() {
  std::vector<std::int32_t> closed;
  closed.swap(closed_);
  return closed;
}

bool H2Session::respond(std::int32_t stream, Response response, bool headOnly) {
  Stream* state = find(stream);
  if (state == nullptr || state->answered) return false;
  state->answered = true;
  const std::string status = std::to_string(response.status);
  const std::string length = std::to_string(response.body.size());
  state->body = headOnly ? std::string() : std::move(response.body);
  state->sent = 0;
  std::vector<nghttp2_nv> fields = {field(":status", status), field("server", "corvlin-host"),
                                    field("content-length", length)};
  for (const auto& [name, value] : response.headers) fields.push_back(field(name, value));
  nghttp2_data_provider provider{};
  provider.source.ptr = state;
  provider.read_callback = Callbacks::readBody;
  const bool withBody = !state->body.empty();
  return nghttp2_submit_response(session_, stream, fields.data(), fields.size(),
                                 withBody ? &provider : nullptr) == 0;
}

bool H2Session::openEvents(std::int32_t stream, bool headOnly) {
  Stream* state = find(stream);
  if (state == nullptr || state->answered) return false;
  state->answered = true;
  state->events = !headOnly;
  const nghttp2_nv fields[] = {field(":status", "200"), field("server", "corvlin-host"),
                               field("content-type", "text/event-stream"),
                               field("cache-control", "no-store")};
  nghttp2_data_provider provider{};
  provider.source.ptr = state;
  provider.read_callback = Callbacks::readBody;
  return nghttp2_submit_response(session_, stream, fields, std::size(fields),
                                 headOnly ? nullptr : &provider) == 0;
}

void H2Session::sendOnEvents(std::int32_t stream, std::shared_ptr<const std::string> textToSend,
                             bool isEvent) {
  Stream* state = find(stream);
  if (state == nullptr || !state->events) return;
  if (state->waiting.size() >= limits_.maxQueuedEvents) {  // the reader fell behind
    nghttp2_submit_rst_stream(session_, NGHTTP2_FLAG_NONE, stream, NGHTTP2_CANCEL);
    return;
  }
  state->waiting.push_back({std::move(textToSend), isEvent});
  if (state->deferred) {
    state->deferred = false;
    nghttp2_session_resume_data(session_, stream);
  }
}

void H2Session::heartbeat() {
  static const auto comment = std::make_shared<const std::string>(":\n\n");
  for (const auto& [id, stream] : streams_) {
    if (stream->events && stream->waiting.empty()) sendOnEvents(id, comment, false);
  }
}

void H2Session::goAway() {
  nghttp2_submit_goaway(session_, NGHTTP2_FLAG_NONE,
                        nghttp2_session_get_last_proc_stream_id(session_), NGHTTP2_NO_ERROR,
                        nullptr, 0);
}

bool H2Session::takeOutput(std::string& out, std::size_t atMost) {
  const std::size_t before = out.size();
  while (out.size() - before < atMost) {
    const std::uint8_t* bytes = nullptr;
    const auto n = nghttp2_session_mem_send(session_, &bytes);
    if (n < 0) {
      failed_ = true;
      break;
    }
    if (n == 0) break;
    out.append(text(bytes, static_cast<std::size_t>(n)));
  }
  return out.size() != before;
}

bool H2Session::finished() const {
  return (failed_ && nghttp2_session_want_write(session_) == 0) ||
         (nghttp2_session_want_read(session_) == 0 && nghttp2_session_want_write(session_) == 0);
}

std::size_t H2Session::incompleteRequests() const {
  return static_cast<std::size_t>(std::count_if(
      streams_.begin(), streams_.end(),
      [](const auto& s) { return !s.second->requestComplete && !s.second->answered; }));
}

bool H2Session::hasEventStreams() const {
  return std::any_of(streams_.begin(), streams_.end(),
                     [](const auto& s) { return s.second->events; });
}

}  // namespace corvlin::host::server
