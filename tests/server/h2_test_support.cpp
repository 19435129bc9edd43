#include "h2_test_support.hpp"

#include <nghttp2/nghttp2.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace corvlin::test {

struct H2Client::State {
  std::map<std::int32_t, H2Answer> answers;
  std::map<std::int32_t, std::string> bodies;      // request bodies not yet sent
  std::map<std::int32_t, std::size_t> eventsRead;  // of each answer's body
  long goAway = -1;
};

namespace {

H2Client::State& state(void* data) { return *static_cast<H2Client::State*>(data); }

int onHeader(nghttp2_session*, const nghttp2_frame* frame, const std::uint8_t* name,
             std::size_t nameLength, const std::uint8_t* value, std::size_t valueLength,
             std::uint8_t, void* data) {
  auto& answer = state(data).answers[frame->hd.stream_id];
  const std::string key(reinterpret_cast<const char*>(name), nameLength);
  const std::string text(reinterpret_cast<const char*>(value), valueLength);
  if (key == ":status") {
    answer.status = static_cast<unsigned>(std::stoul(text));
  } else {
    answer.headers[key] = text;
  }
  return 0;
}

int onData(nghttp2_session*, std::uint8_t, std::int32_t stream, const std::uint8_t* bytes,
           std::size_t length, void* data) {
  state(data).answers[stream].body.append(reinterpret_cast<const char*>(bytes), length);
  return 0;
}

int onFrame(nghttp2_session*, const nghttp2_frame* frame, void* data) {
  if (frame->hd.type == NGHTTP2_GOAWAY) state(data).goAway = frame->goaway.error_code;
  if (frame->hd.type == NGHTTP2_RST_STREAM) {
    state(data).answers[frame->hd.stream_id].resetCode = frame->rst_stream.error_code;
  }
  return 0;
}

int onClose(nghttp2_session*, std::int32_t stream, std::uint32_t, void* data) {
  state(data).answers[stream].closed = true;
  return 0;
}

ssize_t readBody(nghttp2_session*, std::int32_t stream, std::uint8_t* buffer, std::size_t length,
                 std::uint32_t* flags, nghttp2_data_source*, void* data) {
  std::string& body = state(data).bodies[stream];
  const std::size_t n = std::min(length, body.size());
  std::memcpy(buffer, body.data(), n);
  body.erase(0, n);
  if (body.empty()) *flags |= NGHTTP2_DATA_FLAG_EOF;
  return static_cast<ssize_t>(n);
}

// The names and values must outlive the submission: literals, or the caller's strings.
nghttp2_nv field(std::string_view name, std::string_view value) {
  return {reinterpret_cast<std::uint8_t*>(const_cast<char*>(name.data())),
          reinterpret_cast<std::uint8_t*>(const_cast<char*>(value.data())), name.size(),
          value.size(), NGHTTP2_NV_FLAG_NONE};
}

}  // namespace

H2Client::H2Client(std::unique_ptr<Channel> channel, const H2ClientOptions& options)
    : H2Client([this](std::string_view bytes) { return channel_->write(bytes); },
               [this] { return channel_->read(); }, options) {
  channel_ = std::move(channel);
  flush();
}

H2Client::H2Client(Write write, Read read, const H2ClientOptions& options)
    : write_(std::move(write)), read_(std::move(read)), state_(std::make_unique<State>()) {
  nghttp2_session_callbacks* callbacks = nullptr;
  nghttp2_session_callbacks_new(&callbacks);
  nghttp2_session_callbacks_set_on_header_callback(callbacks, onHeader);
  nghttp2_session_callbacks_set_on_data_chunk_recv_callback(callbacks, onData);
  nghttp2_session_callbacks_set_on_frame_recv_callback(callbacks, onFrame);
  nghttp2_session_callbacks_set_on_stream_close_callback(callbacks, onClose);
  nghttp2_option* option = nullptr;
  nghttp2_option_new(&option);
  nghttp2_option_set_max_send_header_block_length(option, options.maxHeaderBlock);
  nghttp2_session_client_new2(&session_, callbacks, state_.get(), option);
  nghttp2_option_del(option);
  nghttp2_session_callbacks_del(callbacks);
  std::vector<nghttp2_settings_entry> settings;
  if (options.initialWindowSize) {
    settings.push_back({NGHTTP2_SETTINGS_INITIAL_WINDOW_SIZE, *options.initialWindowSize});
  }
  nghttp2_submit_settings(session_, NGHTTP2_FLAG_NONE, settings.data(), settings.size());
}

H2Client::~H2Client() { nghttp2_session_del(session_); }

std::int32_t H2Client::submit(const std::string& method, const std::string& path,
                              const std::string& authority,
                              const std::vector<std::pair<std::string, std::string>>& fields,
                              const std::string& body, bool endStream) {
  const std::string scheme = "https";
  std::vector<nghttp2_nv> nva = {field(":method", method), field(":scheme", scheme),
                                 field(":path", path)};
  if (!authority.empty()) nva.push_back(field(":authority", authority));
  for (const auto& [name, value] : fields) nva.push_back(field(name, value));
  if (!endStream) {
    return nghttp2_submit_headers(session_, NGHTTP2_FLAG_NONE, -1, nullptr, nva.data(), nva.size(),
                                  nullptr);
  }
  nghttp2_data_provider provider{};
  provider.read_callback = readBody;
  const std::int32_t stream = nghttp2_submit_request(session_, nullptr, nva.data(), nva.size(),
                                                     body.empty() ? nullptr : &provider, nullptr);
  if (stream > 0 && !body.empty()) state_->bodies[stream] = body;
  return stream;
}

void H2Client::reset(std::int32_t stream) {
  nghttp2_submit_rst_stream(session_, NGHTTP2_FLAG_NONE, stream, NGHTTP2_CANCEL);
}

void H2Client::flush() {
  for (;;) {
    const std::uint8_t* bytes = nullptr;
    const auto n = nghttp2_session_mem_send(session_, &bytes);
    if (n <= 0) return;
    if (!write_({reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(n)})) {
      return;
    }
  }
}

bool H2Client::pump() {
  flush();
  const std::string bytes = read_();
  if (bytes.empty()) return false;
  if (nghttp2_session_mem_recv(session_, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                               bytes.size()) < 0) {
    return false;
  }
  flush();
  return true;
}

H2Answer H2Client::await(std::int32_t stream) {
  while (!state_->answers[stream].closed && pump()) {
  }
  return state_->answers[stream];
}

unsigned H2Client::awaitHead(std::int32_t stream) {
  while (state_->answers[stream].status == 0 && !state_->answers[stream].closed && pump()) {
  }
  return state_->answers[stream].status;
}

std::string H2Client::nextEvent(std::int32_t stream) {
  for (;;) {
    const std::string& body = state_->answers[stream].body;
    std::size_t& read = state_->eventsRead[stream];
    for (auto end = body.find("\n\n", read); end != std::string::npos;
         end = body.find("\n\n", read)) {
      const std::string block = body.substr(read, end - read);
      read = end + 2;
      if (block.rfind("data: ", 0) == 0) return block.substr(6);
    }
    if (!pump()) return {};
  }
}

long H2Client::untilClosed() {
  while (pump()) {
  }
  return state_->goAway;
}

const H2Answer& H2Client::answer(std::int32_t stream) { return state_->answers[stream]; }

std::uint32_t H2Client::serverSetting(int id) {
  return nghttp2_session_get_remote_settings(session_, static_cast<nghttp2_settings_id>(id));
}

H2Answer H2Client::push(const std::string& authority, const std::string& token,
                        const std::string& body) {
  const auto stream = submit("POST", "/3/device/" + token, authority,
                             {{"apns-push-type", "liveactivity"},
                              {"apns-topic", "com.corvlin.app.push-type.liveactivity"}},
                             body);
  return await(stream);
}

}  // namespace corvlin::test
