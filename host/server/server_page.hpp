// The server's live page, drawn with the preview's renderer: each activity's section (made by
// the drawer, off the event loop) and the whole page put together from the sections drawn.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/board/board_state.hpp"
#include "host/board/channel_store.hpp"
#include "host/checks/laid_out.hpp"
#include "host/report/outcome.hpp"

namespace corvlin::host::server {

class ActivityBoard;

// What an activity's section shows: its token, its state as the page names it, what was drawn
// for the instant `at`, and the drawing's serial, which its generated class names carry so
// that a redrawn section never reuses an older one's.
struct SectionOf {
  std::string_view token;
  std::string_view state;
  const RenderedActivity& rendered;
  double at = 0;
  std::uint64_t serial = 0;
  // The presentations laid out, which the page places each view by; null when not laid out.
  std::shared_ptr<const LaidOutAnswer> laidOut = nullptr;
  std::size_t subscribers = 0;  // a group of local subscribers: how many it stands for
};
board::Section drawSection(const SectionOf& activity);

// The whole page at `now`: every activity, the broadcast channels (each with the number of
// activities subscribed to it and its newest broadcast, as the page is loaded, which the script
// keeps current), the log, and the script that follows the
// event stream, with its Content-Security-Policy (sent as a header). A drawn activity's
// section is the one its drawing made; one not drawn yet shows no presentation, and lays
// nothing out.
struct ServePage {
  std::string html;
  std::string contentSecurityPolicy;
};
ServePage servePage(const board::BoardState& board, double now,
                    const board::ChannelStore& channels = {});
// The page of what the board holds.
ServePage servePage(const ActivityBoard& board, double now,
                    const board::ChannelStore& channels = {});

}  // namespace corvlin::host::server
