#include "extension/runner.hpp"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <memory>
#include <memory_resource>
#include <new>
#include <optional>
#include <variant>

#include "json/writer.hpp"
#include "model/coding.hpp"
#include "toolkit/view_json.hpp"

namespace corvlin {

namespace {

namespace dom = simdjson::dom;

using Kind = DecodingError::Kind;

DecodingError requestFault(Kind kind, std::string description) {
  return {kind, {}, std::move(description)};
}

bool isBlank(std::string_view line) {
  return line.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// A member that is missing or null counts as absent.
std::optional<dom::element> presentMember(dom::object request, std::string_view key) {
  dom::element value;
  if (request.at_key(key).get(value) != simdjson::SUCCESS || value.is_null()) return std::nullopt;
  return value;
}

}  // namespace

std::string requestErrorJson(const DecodingError& error) {
  return errorJson(error, ErrorSource::request);
}

namespace {

// Writes the presentations into `out` and gives nothing back, or gives back the error answer
// and leaves `out` as it was.
std::optional<std::string> writePresentations(json::Writer& out,
                                              const ActivityConfiguration& configuration,
                                              dom::parser& parser, std::string_view requestLine,
                                              const Now& realNow) {
  if (isBlank(requestLine)) {
    return requestErrorJson(requestFault(Kind::dataCorrupted, "The request line is empty."));
  }
  // The parser's buffers are allocated here rather than inside the parse, so that running out
  // of memory is told apart from a line that is not JSON.
  if (parser.capacity() < requestLine.size() &&
      parser.allocate(requestLine.size()) != simdjson::SUCCESS) {
    parser = dom::parser();  // a failed allocation leaves the parser unusable
    throw std::bad_alloc();
  }
  auto document = json::parse(parser, requestLine);
  if (!document) {
    // Whatever the parse left behind, the next line gets a parser in a known state.
    parser = dom::parser();
    DecodingError error = document.error();
    if (error.description.find(simdjson::error_message(simdjson::MEMALLOC)) != std::string::npos) {
      throw std::bad_alloc();
    }
    return requestErrorJson(error);
  }
  dom::object request;
  if (document.value().get_object().get(request) != simdjson::SUCCESS) {
    return requestErrorJson(requestFault(Kind::typeMismatch, "The request is not a JSON object."));
  }

  std::optional<Instant> pinned;
  if (auto now = presentMember(request, "now")) {
    double seconds = 0;
    if (now->get_double().get(seconds) != simdjson::SUCCESS) {
      return requestErrorJson(
          requestFault(Kind::typeMismatch, "\"now\" is not a number of seconds since 1970."));
    }
    if (!std::isfinite(seconds)) {
      return requestErrorJson(requestFault(Kind::dataCorrupted, "\"now\" is not finite."));
    }
    pinned = Instant{seconds};
  }

  dom::element stateElement;
  if (request.at_key("contentState").get(stateElement) != simdjson::SUCCESS) {
    return requestErrorJson(
        requestFault(Kind::keyNotFound, "The request has no \"contentState\"."));
  }
  if (stateElement.is_null()) {
    return requestErrorJson(
        requestFault(Kind::valueNotFound, "The request's \"contentState\" is null."));
  }

  // The coder's own errors go back unchanged, their paths relative to the record read.
  auto state = decodeContentState(stateElement);
  if (!state) return errorJson(state.error());
  ActivityViewContext context{{}, std::move(state).value()};
  if (auto attributesElement = presentMember(request, "attributes")) {
    auto attributes = decodeAttributes(*attributesElement);
    if (!attributes) return errorJson(attributes.error());
    context.attributes = std::move(attributes).value();
  }

  const Now now = pinned ? fixedNow(*pinned) : realNow;
  // The trees live in an arena for this answer: a typical activity's fit in `scratch`, a larger
  // one's continue on the heap, and all of it is given back once the answer is written.
  std::array<std::byte, 24 << 10>
      scratch;  // NOLINT(*-member-init): memory, never read before written
  std::pmr::monotonic_buffer_resource arena(scratch.data(), scratch.size());
  // The trees are made in the arena and given up with it rather than taken down node by node
  // (a fifth of building them): every node lies in the arena, so their destructors would free
  // nothing. A test walks the widget's trees to check that none lies elsewhere (a node on the
  // heap would leak, which the sanitizer build's runner tests would also report).
  const ui::Presentations& built =
      *std::pmr::polymorphic_allocator<ui::Presentations>(&arena).new_object<ui::Presentations>(
          presentations(configuration, context, now, &arena));
  out.beginObject();
  out.key("presentations");
  ui::writeJson(out, built);
  out.endObject();
  return std::nullopt;
}

}  // namespace

void writeAnswer(json::Writer& out, const ActivityConfiguration& configuration, dom::parser& parser,
                 std::string_view requestLine, const Now& realNow) {
  if (auto error = writePresentations(out, configuration, parser, requestLine, realNow)) {
    out.raw(*error);
  }
}

std::string answer(const ActivityConfiguration& configuration, dom::parser& parser,
                   std::string_view requestLine, const Now& realNow) {
  json::Writer out;
  out.reserve(8192);  // the answer for a typical activity is about 7 KB
  writeAnswer(out, configuration, parser, requestLine, realNow);
  return out.take();
}

std::string answer(std::string_view requestLine, const Now& realNow) {
  dom::parser parser;
  return answer(CorvlinLiveActivityWidget{}.body(), parser, requestLine, realNow);
}

Result<std::size_t, ServeFailure> serve(const ActivityConfiguration& configuration,
                                        const ReadSome& read, const WriteAll& write,
                                        const Now& realNow) {
  dom::parser parser;
  std::size_t answered = 0;  // answers written out
  std::size_t ready = 0;     // answers waiting in `pending`
  const auto fail = [&](std::string message) {
    return Failure{ServeFailure{std::move(message), answered}};
  };
  // Answers gather here and go out in one write as soon as no further whole request is
  // waiting in what was read, so that a host sending many requests is not held back by one
  // system call per answer, while a lone request is answered at once.
  json::Writer pending;
  constexpr std::size_t flushBytes = 64 << 10;
  const auto flush = [&]() -> std::optional<std::string> {
    if (ready == 0) return std::nullopt;
    auto written = write(pending.str());
    if (!written) return "cannot write an answer: " + written.error();
    answered += ready;
    ready = 0;
    // The room of an unusually large answer (up to a few MiB) is given back, not kept.
    if (pending.size() > flushBytes * 16) {
      pending = json::Writer();
    } else {
      pending.truncate(0);
    }
    return std::nullopt;
  };
  const auto respond = [&](std::string_view line, bool tooLong) -> std::optional<std::string> {
    const std::size_t before = pending.size();
    try {
      if (tooLong) {
        pending.raw(requestErrorJson(requestFault(
            Kind::dataCorrupted,
            "The request line is longer than " + std::to_string(maxRequestLineBytes) + " bytes.")));
      } else {
        writeAnswer(pending, configuration, parser, line, realNow);
      }
      pending.raw("\n");
    } catch (const std::bad_alloc&) {
      parser = dom::parser();
      pending.truncate(before);  // no half answer goes out
      const std::string message =
          "out of memory while answering request line " + std::to_string(answered + ready + 1);
      if (auto failure = flush()) return failure;
      return message;
    }
    ++ready;
    if (pending.size() >= flushBytes) return flush();
    return std::nullopt;
  };

  constexpr std::size_t bufferBytes = 64 << 10;
  std::unique_ptr<char[]> buffer;
  std::string line;      // the start of a line that did not end in its buffer
  bool tooLong = false;  // the current line is over the bound; its bytes are dropped
  try {
    buffer = std::make_unique<char[]>(bufferBytes);
  } catch (const std::bad_alloc&) {
    return fail("out of memory before the first request");
  }
  for (;;) {
    if (auto failure = flush()) return fail(std::move(*failure));
    auto got = read(buffer.get(), bufferBytes);
    if (!got) return fail("cannot read the requests: " + got.error());
    if (got.value() == 0) break;
    std::string_view chunk(buffer.get(), got.value());
    while (!chunk.empty()) {
      const std::size_t newline = chunk.find('\n');
      const std::string_view piece = chunk.substr(0, newline);
      if (!tooLong && line.size() + piece.size() > maxRequestLineBytes) {
        tooLong = true;
        std::string().swap(line);  // give the memory back at once
      }
      // A line that ends in this buffer and began in it is answered in place, uncopied.
      const bool inPlace = line.empty() && newline != std::string_view::npos;
      if (!tooLong && !inPlace) {
        try {
          if (line.capacity() < line.size() + piece.size()) {
            // Grow by doubling, but never past the bound.
            line.reserve(std::min(maxRequestLineBytes,
                                  std::max(2 * line.capacity(), line.size() + piece.size())));
          }
          line.append(piece);
        } catch (const std::bad_alloc&) {
          std::string message =
              "out of memory while reading request line " + std::to_string(answered + ready + 1);
          if (auto failure = flush()) return fail(std::move(*failure));
          return fail(std::move(message));
        }
      }
      if (newline == std::string_view::npos) break;
      auto failure = respond(inPlace ? piece : std::string_view(line), tooLong);
      if (failure) return fail(std::move(*failure));
      line.clear();
      tooLong = false;
      chunk.remove_prefix(newline + 1);
    }
  }
  if (!line.empty() || tooLong) {
    if (auto failure = respond(line, tooLong)) return fail(std::move(*failure));
  }
  if (auto failure = flush()) return fail(std::move(*failure));
  return answered;
}

Result<std::size_t, ServeFailure> serve(const ActivityConfiguration& configuration, int input,
                                        int output, const Now& realNow) {
  const ReadSome read = [input](char* buffer,
                                std::size_t size) -> Result<std::size_t, std::string> {
    for (;;) {
      const ssize_t got = ::read(input, buffer, size);
      if (got >= 0) return static_cast<std::size_t>(got);
      if (errno != EINTR) return Failure{std::string(std::strerror(errno))};
    }
  };
  const WriteAll write = [output](std::string_view bytes) -> Result<std::size_t, std::string> {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t put = ::write(output, bytes.data() + done, bytes.size() - done);
      if (put < 0 && errno == EINTR) continue;
      if (put < 0) return Failure{std::string(std::strerror(errno))};
      done += static_cast<std::size_t>(put);
    }
    return done;
  };
  return serve(configuration, read, write, realNow);
}

}  // namespace corvlin
