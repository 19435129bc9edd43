// The owner of the board, its drawing side: asking an activity's extension for the state to
// draw, handing the answer to the drawer, and the drawing event each listener hears.
#include <utility>

#include "host/board/event_writer.hpp"
#include "host/payload/activity.hpp"
#include "host/server/activity_board.hpp"
#include "model/coding.hpp"
#include "protocol/request.hpp"

namespace corvlin::host::server {

// Asks the activity's extension for the pending state (when it shows anything), then hands the
// answer to the drawer.
void ActivityBoard::draw(board::Draw& order) {
  DrawJob job{order.token,      std::string(board::stateLabel(order.state)), order.serial,
              order.what.now,   ActivityOutcome{ui::Presentations{}},        std::nullopt,
              order.subscribers};
  if (order.what.shown) job.content = order.what.shown->content;
  const auto seat = seats_.find(order.id);
  if (!order.what.shown) return drawAnswer(std::move(job), order.id);
  if (seat == seats_.end() || !seat->second.extension) {
    job.answer = ActivityOutcome{
        ExtensionFailure{ExtensionFailure::Kind::cannotStart, "the server is stopping"}};
    return drawAnswer(std::move(job), order.id);
  }
  auto coded =
      encodeActivity(Activity{order.what.shown->attributes, order.what.shown->content, false});
  if (!coded) {
    // A state decoded from JSON holds nothing JSON cannot carry; this is never reached.
    job.answer = ActivityOutcome{
        DecodingError{DecodingError::Kind::dataCorrupted, {}, coded.error().description}};
    return drawAnswer(std::move(job), order.id);
  }
  // The answer may come within this call or later from the event loop.
  seat->second.extension->ask(
      protocol::requestLine(coded.value().contentState, coded.value().attributes, order.what.now),
      [this, job = std::move(job),
       id = order.id](Result<std::string, ExtensionFailure> answer) mutable {
        // Unless the drawing was dropped meanwhile (the extensions ended).
        if (!board::drawingUnderWay(state_, id, job.serial)) return;
        job.answer = std::move(answer);
        drawAnswer(std::move(job), id);
      });
}

void ActivityBoard::drawAnswer(DrawJob job, std::uint64_t id) {
  const std::uint64_t serial = job.serial;
  phone_.drawer->draw(std::move(job), [this, id, serial](DrawResult result) {
    if (!result.notice.empty() && notice_) notice_(std::move(result.notice));
    if (!result.drawing) {
      return feed(board::DrawingFailed{id, serial, std::move(result.failure), clock()});
    }
    feed(board::DrawingDone{id, serial, std::move(result.drawing), clock()});
  });
}

std::shared_ptr<const std::string> ActivityBoard::drawingEvent(const board::Drawn& drawn) {
  SentDrawing& sent = sent_[drawn.id];
  if (!sent.text || sent.drawing != drawn.drawing || sent.state != drawn.state) {
    sent = {drawn.drawing, drawn.state,
            std::make_shared<const std::string>(board::eventJson(drawn))};
  }
  return sent.text;
}

}  // namespace corvlin::host::server
