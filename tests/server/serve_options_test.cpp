// The options of `corvlin-host serve`.
#include <gtest/gtest.h>

#include "host/cli/cli.hpp"

namespace corvlin::host {
namespace {

TEST(ServeOptions, ReadsEachOptionAndRefusesBadValues) {
  struct Case {
    std::vector<std::string> arguments;
    std::optional<ServeOptions> options;  // absent: refused
  };
  ServeOptions all;
  all.port = 8443;
  all.bind = "::1";
  all.watch = "activity.json";
  all.extension = "/bin/ext";
  all.clientTimeoutMs = 250;
  ServeOptions authority;
  authority.tls = true;
  authority.stateDir = "/tmp/state";
  ServeOptions own;
  own.tls = true;
  own.cert = "chain.pem";
  own.key = "key.pem";
  const std::vector<Case> cases = {
      {{"serve"}, ServeOptions{}},
      {{"serve", "--port", "8443", "--bind", "::1", "--watch", "activity.json", "--extension",
        "/bin/ext", "--client-timeout", "250"},
       all},
      {{"serve", "--port=8443", "--bind=::1", "--watch=activity.json", "--extension=/bin/ext",
        "--client-timeout=250"},
       all},
      {{"serve", "--port", "65536"}, std::nullopt},
      {{"serve", "--port", "1e3"}, std::nullopt},
      {{"serve", "--port="}, std::nullopt},
      {{"serve", "--port", "-1"}, std::nullopt},
      {{"serve", "--port", "80x"}, std::nullopt},
      {{"serve", "--port"}, std::nullopt},
      {{"serve", "--client-timeout", "0"}, std::nullopt},
      {{"serve", "--format", "json"}, std::nullopt},
      {{"serve", "file.json"}, std::nullopt},
      {{"serve", "--tls", "--state-dir", "/tmp/state"}, authority},
      {{"serve", "--key", "key.pem", "--tls", "--cert", "chain.pem"}, own},
      {{"serve", "--tls", "--cert", "chain.pem"}, std::nullopt},
      {{"serve", "--tls", "--key", "key.pem"}, std::nullopt},
      {{"serve", "--cert", "chain.pem", "--key", "key.pem"}, std::nullopt},
      {{"serve", "--state-dir", "/tmp/state"}, std::nullopt},
      {{"serve", "--tls", "yes"}, std::nullopt},
      // The user's own pair leaves the local authority's folder with nothing to do.
      {{"serve", "--tls", "--cert", "chain.pem", "--key", "key.pem", "--state-dir", "/tmp/state"},
       std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.arguments));
    const auto parsed = parseArguments(c.arguments);
    ASSERT_EQ(parsed.ok(), c.options.has_value()) << (parsed ? "" : parsed.error().message);
    if (!parsed) continue;
    EXPECT_EQ(parsed.value().command, Options::Command::serve);
    EXPECT_EQ(parsed.value().serve, *c.options);
  }
}

}  // namespace
}  // namespace corvlin::host
