#include "host/server/drawer.hpp"

#include <boost/asio/post.hpp>
#include <exception>
#include <new>

#include "host/checks/laid_out.hpp"
#include "host/server/server_page.hpp"
#include "layout/presentations.hpp"
#include "model/overloaded.hpp"
#include "protocol/answer.hpp"

namespace corvlin::host::server {

board::Drawing makeDrawing(DrawJob job, drawing::Fonts* fonts) {
  board::Drawing made;
  made.rendered =
      std::visit(Overloaded{
                     [](ActivityOutcome& outcome) { return renderedAs(std::move(outcome)); },
                     [](Result<std::string, ExtensionFailure>& answer) {
                       return renderedAs(answer ? protocol::readAnswer(answer.value())
                                                : ActivityOutcome{answer.error()});
                     },
                 },
                 job.answer);
  const auto* shown = std::get_if<ui::Presentations>(&made.rendered.outcome);
  std::shared_ptr<const LaidOutAnswer> laidOut;
  if (shown != nullptr && fonts != nullptr) {
    laidOut = layOutAnswer(*shown, job.content ? &*job.content : nullptr,
                           {std::string("aps"), std::string("content-state")}, job.at,
                           layout::defaultLockScreenWidth, *fonts);
    made.clipped = laidOut->warnings;
  }
  made.section = drawSection({job.token, job.state, made.rendered, job.at, job.serial,
                              std::move(laidOut), job.subscribers});
  return made;
}

namespace {

// Opens the default fonts; the notice says why when they cannot be.
std::unique_ptr<drawing::Fonts> openFonts(std::string& notice) {
  auto opened = drawing::Fonts::open(drawing::defaultFontFiles());
  if (opened) return std::move(opened).value();
  notice = "corvlin-host: cannot lay out the presentations: " + opened.error();
  return nullptr;
}

// The drawing, or why it could not be made: a drawing too large for the memory left ends
// itself, not the server.
DrawResult made(DrawJob job, drawing::Fonts* fonts) {
  DrawResult result;
  try {
    result.drawing = std::make_shared<const board::Drawing>(makeDrawing(std::move(job), fonts));
  } catch (const std::bad_alloc&) {
    result.failure = "out of memory";
  } catch (const std::exception& error) {
    result.failure = error.what();
  }
  return result;
}

}  // namespace

void InlineDrawer::draw(DrawJob job, Done done) {
  std::string notice;
  if (!fontsTried_) {
    fontsTried_ = true;
    fonts_ = openFonts(notice);
  }
  DrawResult result = made(std::move(job), fonts_.get());
  result.notice = std::move(notice);
  done(std::move(result));
}

DrawingThread::DrawingThread(boost::asio::io_context& io) : io_(io), thread_([this] { run(); }) {
  std::unique_lock lock(mutex_);
  wake_.wait(lock, [this] { return fontsTried_; });
}

DrawingThread::~DrawingThread() {
  try {
    stop();
  } catch (...) {  // NOLINT(bugprone-empty-catch): a lock that cannot be taken; join regardless
    stopping_ = true;
    wake_.notify_all();
  }
  thread_.join();
}

void DrawingThread::draw(DrawJob job, Done done) {
  {
    const std::lock_guard lock(mutex_);
    if (stopping_) return;
    jobs_.emplace_back(std::move(job), std::move(done));
  }
  wake_.notify_one();
}

void DrawingThread::stop() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
    jobs_.clear();
  }
  wake_.notify_one();
}

void DrawingThread::run() {
  // The fonts are this thread's alone, opened once, before the first drawing.
  std::string notice;
  const std::unique_ptr<drawing::Fonts> fonts = openFonts(notice);
  std::unique_lock lock(mutex_);
  fontsTried_ = true;
  wake_.notify_all();
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
    if (stopping_) return;
    auto [job, done] = std::move(jobs_.front());
    jobs_.pop_front();
    lock.unlock();
    DrawResult result = made(std::move(job), fonts.get());
    result.notice = std::exchange(notice, {});
    lock.lock();
    if (stopping_) return;  // the loop may no longer run what is posted
    boost::asio::post(io_, [done = std::move(done), result = std::move(result)]() mutable {
      done(std::move(result));
    });
  }
}

}  // namespace corvlin::host::server
