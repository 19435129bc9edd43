#include "host/report/diagnostics.hpp"

#include "json/writer.hpp"

namespace corvlin::host {
namespace {

// Names the activity, counted from 0 like a coding path, as the last member of the line.
void writeActivity(json::Writer& writer, std::optional<std::size_t> activity) {
  if (!activity) return;
  writer.key("activity");
  writer.number(static_cast<double>(*activity));
}

}  // namespace

std::string errorLine(const DecodingError& error, std::optional<std::size_t> activity) {
  json::Writer writer;
  writer.beginObject();
  writer.key("error");
  writer.beginObject();
  json::writeErrorMembers(writer, error);
  writeActivity(writer, activity);
  writer.endObject();
  writer.endObject();
  return writer.take();
}

std::string extensionFailureLine(const ExtensionFailure& failure,
                                 std::optional<std::size_t> activity) {
  json::Writer writer;
  writer.beginObject();
  writer.key("extensionFailure");
  writer.beginObject();
  writer.key("kind");
  writer.string(kindName(failure.kind));
  writer.key("description");
  writer.string(failure.message);
  writeActivity(writer, activity);
  writer.endObject();
  writer.endObject();
  return writer.take();
}

}  // namespace corvlin::host
