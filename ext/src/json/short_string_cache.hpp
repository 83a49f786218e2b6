// Process-wide cache of short Python strings made from JSON text, so that
// the keys (and short values) repeated across records and documents are one
// object each instead of a fresh allocation per occurrence.
//
// A direct-mapped table shared by every parse on every thread. Each slot
// holds one strong reference; a miss replaces the slot's string. Slots are
// guarded by striped PyMutexes, which detach from the interpreter while
// they wait, so the cache is safe with and without the GIL. Only object
// identity shows that it exists: the strings are equal either way.
#pragma once

#include <Python.h>

#include <string_view>

namespace tessolin::py {

// Texts of this many UTF-8 bytes go through the cache; shorter ones are
// cheap (and the one-character ones are shared by CPython already), longer
// ones rarely repeat.
inline constexpr std::size_t kCachedStringMinBytes = 2;
inline constexpr std::size_t kCachedStringMaxBytes = 63;

// A new reference to a str equal to `utf8` (valid UTF-8; `ascii` true when
// every byte is below 0x80), or nullptr with the exception set. With the
// GIL a cached key is the interned str, so that lookups with the interned
// names of a schema (and with literals in Python code) match it by identity.
PyObject* json_text_to_str(std::string_view utf8, bool ascii) noexcept;
PyObject* json_key_to_str(std::string_view utf8, bool ascii) noexcept;

// The same without the cache.
PyObject* new_str_from_utf8(std::string_view utf8, bool ascii) noexcept;

}  // namespace tessolin::py
