// What the handler's table tests hand it: the site it serves and an id source whose id, and the
// UUID it is written as, are known.
#pragma once

#include <string>

#include "host/server/push_handler.hpp"

namespace corvlin::host::server {

inline const Site site{"127.0.0.1", 8443};
inline const RandomId fixedId{0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc, 0xde, 0xf0,
                              0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef};
inline const std::string fixedUuid = "12345678-9ABC-4EF0-8123-456789ABCDEF";

}  // namespace corvlin::host::server
