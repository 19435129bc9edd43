#include "extension/runner.hpp"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <memory>
#include <memory_resource>
#include <new>
#include <optional>
#include <variant>

#include "json/writer.hpp"
#include "protocol/answer.hpp"
#include "protocol/line_reader.hpp"
#include "protocol/request.hpp"

namespace corvlin {

namespace {
namespace dom = simdjson::dom;
}  // namespace

std::string requestErrorJson(const DecodingError& error) {
  return errorJson(error, ErrorSource::request);
}

namespace {

// Writes the presentations into `out` and gives nothing back, or gives back why the request
// gets an error answer and leaves `out` as it was.
std::optional<protocol::RequestError> writePresentations(json::Writer& out,
                                                         const ActivityConfiguration& configuration,
                                                         dom::parser& parser,
                                                         std::string_view requestLine,
                                                         const Now& realNow) {
  auto request = protocol::readRequest(parser, requestLine);
  if (!request) return std::move(request).error();
  ActivityViewContext context{{}, std::move(request.value().contentState)};
  if (request.value().attributes) context.attributes = std::move(*request.value().attributes);
  const Now now = request.value().now ? fixedNow(*request.value().now) : realNow;
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
  protocol::writeAnswer(out, built);
  return std::nullopt;
}

}  // namespace

void writeAnswer(json::Writer& out, const ActivityConfiguration& configuration, dom::parser& parser,
                 std::string_view requestLine, const Now& realNow) {
  if (auto error = writePresentations(out, configuration, parser, requestLine, realNow)) {
    protocol::writeAnswer(out, *error);
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
  using Lines = protocol::LineReader;
  // Answers one line of the reader, or the line over the bound.
  const auto respond = [&](const Lines::Next& line) -> std::optional<std::string> {
    const std::size_t before = pending.size();
    try {
      if (const auto* whole = std::get_if<Lines::Line>(&line)) {
        writeAnswer(pending, configuration, parser, whole->text, realNow);
      } else {
        protocol::writeAnswer(pending, protocol::overlongRequest());
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
  // A line that ends in the buffer it began in is answered in place, uncopied; an over-long
  // one is dropped as it is read.
  Lines lines(maxRequestLineBytes);
  try {
    buffer = std::make_unique<char[]>(bufferBytes);
  } catch (const std::bad_alloc&) {
    return fail("out of memory before the first request");
  }
  // The next line read, or why there is none.
  const auto nextLine = [&](bool atEnd) -> Result<std::optional<Lines::Next>, std::string> {
    try {
      if (atEnd) return lines.end();
      Lines::Next line = lines.next();
      if (std::holds_alternative<Lines::NeedMore>(line)) return std::optional<Lines::Next>();
      return std::optional<Lines::Next>(line);
    } catch (const std::bad_alloc&) {
      std::string message =
          "out of memory while reading request line " + std::to_string(answered + ready + 1);
      if (auto failure = flush()) return Failure{std::move(*failure)};
      return Failure{std::move(message)};
    }
  };
  for (bool atEnd = false; !atEnd;) {
    if (auto failure = flush()) return fail(std::move(*failure));
    auto got = read(buffer.get(), bufferBytes);
    if (!got) return fail("cannot read the requests: " + got.error());
    atEnd = got.value() == 0;
    lines.feed(std::string_view(buffer.get(), got.value()));
    for (;;) {
      auto line = nextLine(atEnd);
      if (!line) return fail(std::move(line).error());
      if (!line.value()) break;
      if (auto failure = respond(*line.value())) return fail(std::move(*failure));
    }
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
