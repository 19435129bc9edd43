// The push endpoint's board as a pure step, in the manner of the update rules: what happened
// in, the board's new state and what follows from it out. Every rule of the board is here:
// which activity a push goes to and whether it gets a slot, which activity gives its slot up,
// what is logged, when an activity is drawn (at most one drawing under way and once a frame,
// the newest state next and the ones between skipped), and what each listener hears. The
// runtime owner (host/server/activity_board) feeds it, asks the extensions, hands the drawing
// to its worker and tells the listeners; it holds no rule of its own. What follows from a step
// is in board_events.hpp, what happens in board_inputs.hpp.
#pragma once

#include <vector>

#include "host/board/board_events.hpp"
#include "host/board/board_inputs.hpp"
#include "host/board/board_state.hpp"

namespace corvlin::host::board {

struct BoardTransition {
  BoardState state;
  std::vector<BoardEvent> events;  // in the order they happen
};

BoardTransition boardStep(BoardState state, BoardInput input);

}  // namespace corvlin::host::board
