// A warm extension process driven by the server's event loop: a request line written and its
// answer line read without ever blocking the loop, so that the extensions of several activities
// draw at once while the server goes on with its other clients.
#pragma once

#include <boost/asio/io_context.hpp>
#include <functional>
#include <memory>
#include <string>

#include "host/process/extension_process.hpp"
#include "json/result.hpp"

namespace corvlin::host::server {

// Started on the first question and kept for the next ones; once it has failed or died, the
// next question starts a new one. Each exchange keeps ExtensionProcess's bounds (the timeout,
// the size of an answer line) and its failures, with the same kinds and messages; any failure
// ends the process group and reaps the child. The destructor does the same and drops a question
// still open without answering it.
class AsyncExtension {
 public:
  using Answered = std::function<void(Result<std::string, ExtensionFailure>)>;

  AsyncExtension(boost::asio::io_context& io, ExtensionOptions options, ExtensionLimits limits);
  ~AsyncExtension();
  AsyncExtension(const AsyncExtension&) = delete;
  AsyncExtension& operator=(const AsyncExtension&) = delete;

  // Sends one request line (without its line break); `answered` is called once, from the event
  // loop and never from within this call, with the answer line or the failure. One question at
  // a time: the next is asked only after the last was answered.
  void ask(std::string requestLine, Answered answered);

  class Process;

 private:
  boost::asio::io_context& io_;
  ExtensionOptions options_;
  ExtensionLimits limits_;
  std::shared_ptr<Process> process_;
};

}  // namespace corvlin::host::server
