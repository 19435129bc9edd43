#include "host/cli/serve_command.hpp"

#include <malloc.h>
#include <sys/random.h>

#include <boost/asio/io_context.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/signal_set.hpp>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <new>
#include <optional>
#include <stdexcept>
#include <variant>

#include "host/cli/cli.hpp"
#include "host/cli/commands.hpp"
#include "host/cli/default_activity.hpp"
#include "host/cli/option_values.hpp"
#include "host/security/provider_token_check.hpp"
#include "host/security/tls_setup.hpp"
#include "host/server/activity_board.hpp"
#include "host/server/descriptors.hpp"
#include "host/server/file_watch.hpp"
#include "host/server/http_server.hpp"
#include "host/server/push_handler.hpp"
#include "host/server/tls_context.hpp"
#include "host/server/watch_payload.hpp"

namespace corvlin::host {

namespace {

double realNow() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// 16 bytes from the kernel's random source.
server::RandomId randomId() {
  server::RandomId bytes{};
  std::size_t filled = 0;
  while (filled < bytes.size()) {
    const ssize_t n = ::getrandom(bytes.data() + filled, bytes.size() - filled, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw std::runtime_error("the kernel's random source failed");
    filled += static_cast<std::size_t>(n);
  }
  return bytes;
}

// Ends the board's extensions when it goes, before the event loop that drives their processes.
class ExtensionsEnd {
 public:
  explicit ExtensionsEnd(server::ActivityBoard& board) : board_(board) {}
  ~ExtensionsEnd() { board_.endExtensions(); }
  ExtensionsEnd(const ExtensionsEnd&) = delete;
  ExtensionsEnd& operator=(const ExtensionsEnd&) = delete;

 private:
  server::ActivityBoard& board_;
};

}  // namespace

void addServeOptions(CLI::App& serve, ServeOptions& o) {
  cli::checked(serve, "--port", o.port, "a port number from 0 to 65535",
               cli::decimalNumber<std::uint16_t>(0, 65535));
  cli::text(serve, "--bind", o.bind);
  cli::text(serve, "--watch", o.watch);
  cli::text(serve, "--extension", o.extension);
  cli::checked(serve, "--client-timeout", o.clientTimeoutMs,
               "a whole number of milliseconds from 1 to 3600000",
               cli::decimalNumber<long>(1, 3600000));
  cli::flag(serve, "--tls", o.tls);
  cli::text(serve, "--state-dir", o.stateDir);
  cli::text(serve, "--cert", o.cert);
  cli::text(serve, "--key", o.key);
  cli::text(serve, "--auth-key", o.authKey);
  cli::text(serve, "--key-id", o.keyId);
  cli::text(serve, "--team-id", o.teamId);
  cli::checked(serve, "--subscribers", o.subscribers, "a whole number from 0 to 10000",
               cli::decimalNumber<std::size_t>(0, 10000));
}

std::optional<std::string> serveOptionsProblem(const ServeOptions& o) {
  if (o.cert.has_value() != o.key.has_value()) return "--cert and --key go together";
  if (!o.tls && (o.cert || o.stateDir)) return "--cert, --key and --state-dir go with --tls";
  if (o.cert && o.stateDir) {
    return "--state-dir keeps the local authority, which --cert and --key replace: give one or "
           "the other";
  }
  const bool any = o.authKey || o.keyId || o.teamId;
  if (any && !(o.authKey && o.keyId && o.teamId)) {
    return "--auth-key, --key-id and --team-id go together";
  }
  if (o.keyId && o.keyId->empty()) return "--key-id is empty: give the signing key's key id";
  if (o.teamId && o.teamId->empty()) return "--team-id is empty: give the team id";
  return std::nullopt;
}

int runServe(const ServeOptions& options, Environment& env) {
  namespace asio = boost::asio;
  // Every push builds and frees drawings of some tens of kilobytes; without this, the
  // allocator gives the top of the heap back to the kernel and takes it again on each push.
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  mallopt(M_TOP_PAD, 4 << 20);
  // 256 connections and 64 activities' extensions can need more descriptors than the usual
  // soft limit of 1024; a server that cannot raise it still runs, within the limit it has.
  if (const auto raised = server::raiseDescriptorLimit(); !raised) {
    env.err << "corvlin-host: warning: " << raised.error() << "\n";
  }
  // The board outlives the event loop: connections whose work is still pending when the loop
  // is destroyed go with it, and stop listening to the board as they go. The extensions, which
  // the loop drives, end before it.
  std::optional<server::ActivityBoard> boardKept;
  asio::io_context io;
  const std::string extension = options.extension.value_or(env.defaultExtension);
  // Each push's warnings go to standard error as well as to its answer, event and log entry.
  server::ActivityBoard& board =
      boardKept.emplace(server::realPhoneSide(io, extension, ExtensionLimits{}),
                        server::BoardLimits{}, [&env](const std::string& line) {
                          env.err << line << "\n";
                          env.err.flush();
                        });
  const ExtensionsEnd extensionsEnd(board);
  server::ServerLimits limits;
  limits.clientTimeout = std::chrono::milliseconds(options.clientTimeoutMs);
  server::HttpServer http(io, board, limits, realNow, randomId);
  // Local subscribers of broadcast channels start as the built-in activity does.
  http.keepSubscribers({options.subscribers, [](double now) {
                          const Activity activity = defaultActivityAt(now);
                          updates::Envelope start;
                          start.contentState = activity.state;
                          start.attributesType = "CorvlinLiveActivityAttributes";
                          start.attributes = activity.attributes;
                          return start;
                        }});
  std::unique_ptr<server::FileWatch> watch;
  // From here on a SIGINT or SIGTERM ends the server cleanly, with exit 0, even one that comes
  // while it is still starting: it is taken when the event loop runs, or while the server waits
  // for the local authority's lock, which another server holds as it makes the authority.
  bool stopping = false;
  asio::signal_set signals(io, SIGINT, SIGTERM);
  signals.async_wait([&](const boost::system::error_code& ec, int) {
    if (ec) return;
    stopping = true;
    if (watch) watch->stop();
    http.stop();
    board.endExtensions();
  });
  if (options.tls) {
    // The user's own pair, or a certificate from the local authority, made on the first start.
    // The trust notice names the authority by a path that works from any folder.
    std::optional<std::string> stateDir = options.stateDir;
    if (stateDir) {
      std::error_code ignored;
      const auto absolute = std::filesystem::absolute(*stateDir, ignored);
      if (!absolute.empty()) stateDir = absolute.lexically_normal().string();
    }
    security::LockWait wait;
    wait.waiting = [&env](const std::filesystem::path& lock) {
      env.err << "corvlin-host: waiting for " << lock.string()
              << ": another process holds it while it makes the local authority "
                 "(SIGINT or SIGTERM stops)\n";
      env.err.flush();
    };
    wait.stopped = [&] {
      io.poll();
      if (io.stopped()) io.restart();
      return stopping;
    };
    auto setup = security::prepareTls({stateDir, options.cert, options.key, options.bind},
                                      security::processEnvironment(), realNow(), wait);
    if (!setup && stopping) return exitOk;
    if (!setup) {
      env.err << "corvlin-host: " << setup.error() << "\n";
      return exitNoInput;
    }
    if (!setup.value().notice.empty()) env.err << setup.value().notice;
    auto context = server::makeTlsContext(setup.value().credentials.certificateChainPem,
                                          setup.value().credentials.privateKeyPem);
    if (!context) {
      env.err << "corvlin-host: " << context.error() << "\n";
      return exitDataError;
    }
    http.useTls(std::move(context).value());
    // The broadcast channels live beside the local authority, and outlive a restart.
    if (stateDir) {
      // A write that fails is said where a refusal is, on the loop; the channels stay served.
      auto desk = server::ChannelDesk::inFolder(*stateDir, [&io, &board](std::string failure) {
        asio::post(io, [&board, failure = std::move(failure)] {
          board.noteRefusal("", 500, "InternalServerError",
                            "the channels could not be saved: " + failure, realNow());
        });
      });
      if (!desk) {
        env.err << "corvlin-host: " << desk.error() << "\n";
        return exitNoInput;
      }
      http.keepChannels(std::move(desk).value());
    }
  }

  // Provider tokens: checked against the key when one is given, else only read.
  auto verifier = security::makeProviderTokenVerifier(
      {options.authKey ? std::optional<std::filesystem::path>(*options.authKey) : std::nullopt,
       options.keyId, options.teamId});
  if (!verifier) {
    env.err << "corvlin-host: " << verifier.error() << "\n";
    return exitNoInput;
  }
  http.checkProviderTokens(std::move(verifier).value());

  auto site = http.listen(options.bind, options.port);
  if (!site) {
    if (site.error().find("not an IP address") != std::string::npos) {
      return usageError(env.err, site.error(), "serve");
    }
    env.err << "corvlin-host: " << site.error() << "\n";
    return exitUnavailable;
  }

  if (options.watch) {
    // Posted as a push of its own would be; read no further than one byte past what a push
    // may hold, so that a file that large is rejected as too large, as that push would be.
    auto started = server::FileWatch::start(
        io, *options.watch, server::maxPushBodyBytes, [&board](server::WatchReport report) {
          const double now = realNow();
          if (auto* save = std::get_if<server::WatchedSave>(&report)) {
            board.pushSave("0", server::watchedPushBody(save->contents, now),
                           server::watchedSaveBegins(save->contents), now);
            return;
          }
          // Said on standard error by the board, as it logs it.
          board.noteWatch(std::get<server::WatchNote>(report).message, now);
        });
    if (!started) {
      env.err << "corvlin-host: " << started.error() << "\n";
      return exitNoInput;
    }
    watch = std::move(started).value();
  }

  env.out << "serving " << site.value().scheme << "://" << site.value().host << ":"
          << site.value().port << "/\n";
  env.out.flush();
  if (!env.out) {
    env.err << "corvlin-host: cannot write to standard output\n";
    return exitCannotCreate;
  }
  // Running out of memory in a handler ends what the handler served (a connection catches it
  // and closes; one that did not goes with the handler), and the server goes on.
  for (;;) {
    try {
      io.run();
      break;
    } catch (const std::bad_alloc&) {
      env.err << "corvlin-host: out of memory; a client's connection was closed\n";
      env.err.flush();
    }
  }
  return exitOk;
}

}  // namespace corvlin::host
