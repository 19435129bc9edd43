// What a saved file becomes as a push: the body posted for `serve --watch`.
#pragma once

#include <string>
#include <string_view>

namespace corvlin::host::server {

// An envelope (an object with "aps") is posted as it is. A content state, or
// {"attributes","contentState"}, becomes an update envelope at `now` (whole seconds) carrying
// that content state. Anything that does not parse is posted as it is, for the phone side to
// reject with its error; so are contents larger than a push may hold (the watch reads no more
// than one byte past that), for the phone side to reject as payloadTooLarge, as it would the
// push.
std::string watchedPushBody(std::string_view contents, double now);

// Whether a save begins an activity: a `start` envelope, or a content state (or
// {"attributes","contentState"}) that is taken as the activity as it now stands. Once the
// watched activity has ended, such a save begins a new one.
bool watchedSaveBegins(std::string_view contents);

}  // namespace corvlin::host::server
