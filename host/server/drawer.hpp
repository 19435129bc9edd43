// Where the board's drawings are made: the extension's answer read, what the phone would cut
// off of it laid out, and the page's section drawn from it. The server makes them on a worker
// thread of their own, which alone holds the fonts (Pango's objects are not thread-safe), so
// that its event loop never lays anything out; the tests make them within the call.
#pragma once

#include <boost/asio/io_context.hpp>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <variant>

#include "host/board/board_state.hpp"
#include "host/drawing/fonts.hpp"
#include "json/result.hpp"

namespace corvlin::host::server {

// One drawing to make: the activity as the page names it, the drawing's serial (its style
// names) and instant, and what the extension answered, or the outcome without one; `content`,
// the content state drawn, names the fields the layout's warnings are about.
struct DrawJob {
  std::string token;
  std::string state;
  std::uint64_t serial = 0;
  double at = 0;
  std::variant<ActivityOutcome, Result<std::string, ExtensionFailure>> answer;
  std::optional<ContentState> content = std::nullopt;
  std::size_t subscribers = 0;  // a group of local subscribers' drawing: how many it shows
};

// A drawing made, or why it could not be (out of memory); `notice` says once that the fonts
// could not be opened, so that nothing is laid out and no clipping is found.
struct DrawResult {
  std::shared_ptr<const board::Drawing> drawing;
  std::string failure;
  std::string notice;
};

// The drawing itself, the same on any thread: the answer read and laid out in the phone's
// frames with `fonts`, the layout's warnings as its `clipped` ones (what the phone cuts off, ends
// in "…" or cannot draw), and the section as the page draws it, each view where the layout
// places it (none laid out and no warnings without fonts).
board::Drawing makeDrawing(DrawJob job, drawing::Fonts* fonts);

class Drawer {
 public:
  using Done = std::function<void(DrawResult)>;
  virtual ~Drawer() = default;
  // Makes the drawing; `done` is called once, on the caller's thread (the event loop), within
  // this call or later.
  virtual void draw(DrawJob job, Done done) = 0;
  // Drops the drawings not made yet; none is made or answered after this.
  virtual void stop() {}
};

// Draws within the call, with `fonts` when given (a process that makes many boards opens them
// once), else with the fonts it opens at its first drawing.
class InlineDrawer final : public Drawer {
 public:
  explicit InlineDrawer(std::shared_ptr<drawing::Fonts> fonts = nullptr)
      : fonts_(std::move(fonts)), fontsTried_(fonts_ != nullptr) {}
  void draw(DrawJob job, Done done) override;

 private:
  std::shared_ptr<drawing::Fonts> fonts_;
  bool fontsTried_ = false;
};

// One worker thread that opens the fonts, makes each drawing in the order asked, and posts its
// result to `io`'s loop. It is made once the fonts are open (or could not be), so that a server
// that says it serves holds every file it draws with. Its queue holds at most one drawing an
// activity (the board starts no other while one is under way), so it is bounded by the board's
// activities.
class DrawingThread final : public Drawer {
 public:
  explicit DrawingThread(boost::asio::io_context& io);
  ~DrawingThread() override;
  DrawingThread(const DrawingThread&) = delete;
  DrawingThread& operator=(const DrawingThread&) = delete;

  void draw(DrawJob job, Done done) override;
  void stop() override;

 private:
  void run();

  boost::asio::io_context& io_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::pair<DrawJob, Done>> jobs_;  // guarded by mutex_
  bool stopping_ = false;                      // guarded by mutex_
  bool fontsTried_ = false;                    // guarded by mutex_
  std::thread thread_;
};

}  // namespace corvlin::host::server
