#include "host/server/h2_session.hpp"

#include <nghttp2/nghttp2.h>

#include <algorithm>
#include <new>

#include "host/server/h2_callbacks.hpp"
#include "host/server/push_handler.hpp"

namespace corvlin::host::server {

namespace {

nghttp2_nv field(std::string_view name, std::string_view value) {
  // nghttp2 copies (and lower-cases) the names and values it is given.
  return {reinterpret_cast<std::uint8_t*>(const_cast<char*>(name.data())),
          reinterpret_cast<std::uint8_t*>(const_cast<char*>(value.data())), name.size(),
          value.size(), NGHTTP2_NV_FLAG_NONE};
}

// The GOAWAY code for an error on which nghttp2 stops reading without a word of its own.
std::uint32_t goAwayCode(ssize_t error) {
  switch (error) {
    case NGHTTP2_ERR_FLOODED:
    case NGHTTP2_ERR_TOO_MANY_CONTINUATIONS:
      return NGHTTP2_ENHANCE_YOUR_CALM;
    case NGHTTP2_ERR_NOMEM:
    case NGHTTP2_ERR_CALLBACK_FAILURE:
      return NGHTTP2_INTERNAL_ERROR;
    default:
      return NGHTTP2_PROTOCOL_ERROR;
  }
}

}  // namespace

H2Session::H2Session(const H2Limits& limits) : limits_(limits) {
  nghttp2_session_callbacks* callbacks = Callbacks::make();
  if (callbacks == nullptr) throw std::bad_alloc();
  const int made = nghttp2_session_server_new(&session_, callbacks, this);
  nghttp2_session_callbacks_del(callbacks);
  if (made != 0) throw std::bad_alloc();
  const nghttp2_settings_entry settings[] = {
      {NGHTTP2_SETTINGS_MAX_CONCURRENT_STREAMS, limits_.maxConcurrentStreams},
      {NGHTTP2_SETTINGS_MAX_HEADER_LIST_SIZE, static_cast<std::uint32_t>(limits_.maxHeaderBytes)}};
  nghttp2_submit_settings(session_, NGHTTP2_FLAG_NONE, settings, std::size(settings));
}

H2Session::~H2Session() { nghttp2_session_del(session_); }

H2Stream* H2Session::find(std::int32_t stream) {
  const auto found = streams_.find(stream);
  return found == streams_.end() ? nullptr : found->second.get();
}

bool H2Session::receive(std::string_view bytes) {
  if (failed_) return false;
  const auto used = nghttp2_session_mem_recv(
      session_, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  if (used < 0) terminate(goAwayCode(used));
  return !failed_;
}

void H2Session::terminate(std::uint32_t code) {
  failed_ = true;
  if (terminated_) return;
  terminated_ = true;
  // Does nothing when nghttp2 has said GOAWAY of its own.
  nghttp2_session_terminate_session(session_, code);
}

void H2Session::cancel(std::int32_t stream, H2Stream& state) {
  if (state.cancelled) return;
  state.cancelled = true;
  queuedBytes_ -= state.drop();
  nghttp2_submit_rst_stream(session_, NGHTTP2_FLAG_NONE, stream, NGHTTP2_CANCEL);
}

void H2Session::complete(std::int32_t stream, H2Stream& state) {
  state.requestComplete = true;
  if (state.answered) return;
  // :authority stands for Host, and is the one the handler checks when a client sends both.
  if (!state.authority.empty()) {
    state.request.headers.insert(state.request.headers.begin(), {"Host", state.authority});
  }
  completed_.push_back(stream);
}

void H2Session::refuse(std::int32_t stream, H2Stream& state, unsigned status, const char* reason) {
  state.resetAfterAnswer = !state.requestComplete;
  respond(stream, refusalResponse({status, reason, ""}), false);
}

std::vector<H2Request> H2Session::takeRequests() {
  std::vector<H2Request> requests;
  for (const std::int32_t id : completed_) {
    H2Stream* stream = find(id);
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
  H2Stream* state = find(stream);
  if (state == nullptr || state->answered) return false;
  state->answered = true;
  const std::size_t bodyBytes = headOnly ? 0 : response.body.size();
  if (queuedBytes_ + bodyBytes > limits_.maxQueuedBytes) {  // the client takes too little
    cancel(stream, *state);
    return false;
  }
  const std::string status = std::to_string(response.status);
  const std::string length = std::to_string(response.body.size());
  state->setBody(headOnly ? std::string() : std::move(response.body));
  queuedBytes_ += bodyBytes;
  std::vector<nghttp2_nv> fields = {field(":status", status), field("server", "corvlin-host")};
  // A 204 has no content, and says no length.
  if (response.status != 204) fields.push_back(field("content-length", length));
  for (const auto& [name, value] : response.headers) fields.push_back(field(name, value));
  nghttp2_data_provider provider{};
  provider.source.ptr = state;
  provider.read_callback = Callbacks::readBody;
  return nghttp2_submit_response(session_, stream, fields.data(), fields.size(),
                                 bodyBytes != 0 ? &provider : nullptr) == 0;
}

bool H2Session::openEvents(std::int32_t stream, bool headOnly) {
  H2Stream* state = find(stream);
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
  H2Stream* state = find(stream);
  if (state == nullptr || !state->events || state->cancelled) return;
  EventBlock block{std::move(textToSend), isEvent};
  const std::size_t bytes = framedSize(block);
  if (state->waitingBlocks() >= limits_.maxQueuedEvents ||
      queuedBytes_ + bytes > limits_.maxQueuedBytes) {  // the reader fell behind
    cancel(stream, *state);
    return;
  }
  state->addBlock(std::move(block));
  queuedBytes_ += bytes;
  if (state->deferred) {
    state->deferred = false;
    nghttp2_session_resume_data(session_, stream);
  }
}

void H2Session::heartbeat() {
  static const auto comment = std::make_shared<const std::string>(":\n\n");
  for (const auto& [id, stream] : streams_) {
    if (stream->events && stream->waitingBlocks() == 0) sendOnEvents(id, comment, false);
  }
}

void H2Session::goAway() {
  nghttp2_submit_goaway(session_, NGHTTP2_FLAG_NONE,
                        nghttp2_session_get_last_proc_stream_id(session_), NGHTTP2_NO_ERROR,
                        nullptr, 0);
}

void H2Session::checkDeadlines(std::chrono::steady_clock::time_point now,
                               std::chrono::milliseconds timeout) {
  std::vector<std::int32_t> late;
  std::vector<std::int32_t> stalled;
  for (const auto& [id, stream] : streams_) {
    if (!stream->requestComplete && !stream->answered) {
      if (!stream->seenIncomplete) {
        stream->seenIncomplete = now;
      } else if (now - *stream->seenIncomplete >= timeout) {
        late.push_back(id);
      }
    }
    if (stream->waitingBytes() == 0 || stream->sentBytes() != stream->sentWhenStalled) {
      stream->stalledSince.reset();  // nothing to send, or some sent since the last look
      stream->sentWhenStalled = stream->sentBytes();
    } else if (!stream->stalledSince) {
      stream->stalledSince = now;
    } else if (now - *stream->stalledSince >= timeout) {
      stalled.push_back(id);
    }
  }
  for (const std::int32_t id : late) {
    if (H2Stream* stream = find(id)) refuse(id, *stream, 408, "RequestTimeout");
  }
  for (const std::int32_t id : stalled) {
    if (H2Stream* stream = find(id)) cancel(id, *stream);
  }
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
    out.append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(n));
  }
  return out.size() != before;
}

bool H2Session::finished() const {
  return (failed_ && nghttp2_session_want_write(session_) == 0) ||
         (nghttp2_session_want_read(session_) == 0 && nghttp2_session_want_write(session_) == 0);
}

bool H2Session::hasEventStreams() const {
  return std::any_of(streams_.begin(), streams_.end(),
                     [](const auto& s) { return s.second->events; });
}

}  // namespace corvlin::host::server
