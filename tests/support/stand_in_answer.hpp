// The answer of a stand-in extension: seven presentations, the lock screen saying "stand-in"
// and the other six empty. Shared by the faulty extension and the server's stand-in seats.
#pragma once

namespace corvlin::test {

inline constexpr const char* standInAnswer =
    R"({"presentations":{"lockScreen":{"type":"Text","text":"stand-in","modifiers":[]},)"
    R"("dynamicIsland":{"expanded":[)"
    R"({"position":"leading","priority":0,"content":{"type":"EmptyView","modifiers":[]}},)"
    R"({"position":"trailing","priority":0,"content":{"type":"EmptyView","modifiers":[]}},)"
    R"({"position":"bottom","priority":0,"content":{"type":"EmptyView","modifiers":[]}}],)"
    R"("compactLeading":{"type":"EmptyView","modifiers":[]},)"
    R"("compactTrailing":{"type":"EmptyView","modifiers":[]},)"
    R"("minimal":{"type":"EmptyView","modifiers":[]}}}})";

}  // namespace corvlin::test
