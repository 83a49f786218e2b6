#include "json/short_string_cache.hpp"

#include <array>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace tessolin::py {

// Out of line, so that calling it is a tail call that costs the cache's
// hit path no saved registers.
[[gnu::noinline]] PyObject* new_str_from_utf8(std::string_view utf8, bool ascii) noexcept {
  if (ascii) {
    PyObject* str = PyUnicode_New(static_cast<Py_ssize_t>(utf8.size()), 127);
    if (str != nullptr && !utf8.empty()) std::memcpy(PyUnicode_DATA(str), utf8.data(), utf8.size());
    return str;
  }
  // The parser has validated the text: strict decoding cannot fail on it.
  return PyUnicode_DecodeUTF8(utf8.data(), static_cast<Py_ssize_t>(utf8.size()), nullptr);
}

namespace {

constexpr std::size_t kSlotCount = 16384;  // power of two
constexpr std::size_t kStripeCount = 64;   // power of two, divides kSlotCount

struct Slot {
  std::uint64_t hash = 0;
  PyObject* str = nullptr;  // strong reference, or empty
};

// One mutex per cache line, so stripes do not share lines. With the GIL the
// interpreter lock already serialises every use (nothing in here releases
// it), so the stripes only exist in the free-threaded build.
struct alignas(64) Stripe {
#ifdef Py_GIL_DISABLED
  PyMutex mutex{};
#endif
  void lock() noexcept {
#ifdef Py_GIL_DISABLED
    PyMutex_Lock(&mutex);
#endif
  }
  void unlock() noexcept {
#ifdef Py_GIL_DISABLED
    PyMutex_Unlock(&mutex);
#endif
  }
};

struct Cache {
  std::array<Slot, kSlotCount> slots{};
  std::array<Stripe, kStripeCount> stripes{};
};

// Zero-initialised static storage, so reaching it costs no guard; its
// destructor is trivial, so the strings it holds are never released after
// the interpreter has gone.
constinit Cache g_cache{};
static_assert(std::is_trivially_destructible_v<Cache>);

std::uint64_t load64(const char* p) noexcept {
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  return w;
}

std::uint64_t load32(const char* p) noexcept {
  std::uint32_t w;
  std::memcpy(&w, p, 4);
  return w;
}

// FxHash over 8-byte words, the length mixed in first; a partial last word
// is read overlapping its predecessor, so there is no byte loop. Only for
// texts of kCachedStringMinBytes bytes or more.
[[gnu::always_inline]] inline std::uint64_t text_hash(std::string_view text) noexcept {
  constexpr std::uint64_t k = 0xf1357aea2e62a9c5ULL;
  const char* p = text.data();
  const std::size_t n = text.size();
  std::uint64_t h = static_cast<std::uint64_t>(n) * k;
  if (n >= 8) {
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) h = (h + load64(p + i)) * k;
    if (i < n) h = (h + load64(p + n - 8)) * k;
  } else if (n >= 4) {
    h = (h + (load32(p) | load32(p + n - 4) << 32)) * k;
  } else {
    const auto b = [p](std::size_t i) { return static_cast<std::uint64_t>(static_cast<unsigned char>(p[i])); };
    h = (h + (b(0) | b(n / 2) << 8 | b(n - 1) << 16)) * k;
  }
  return (h << 26) | (h >> 38);
}

// Equality of two texts of the same length n, 2 <= n <= 63, by words.
[[gnu::always_inline]] inline bool same_short_text(const char* a, const char* b, std::size_t n) noexcept {
  if (n >= 8) {
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
      if (load64(a + i) != load64(b + i)) return false;
    }
    return i == n || load64(a + n - 8) == load64(b + n - 8);
  }
  if (n >= 4) return load32(a) == load32(b) && load32(a + n - 4) == load32(b + n - 4);
  return a[0] == b[0] && a[n - 1] == b[n - 1];  // n is 2 or 3: a[1] is a[n / 2]
}

// Whether the cached string holds exactly `utf8`. Its UTF-8 form is made
// before it enters the cache, so reading it here allocates nothing.
[[gnu::always_inline]] inline bool holds_text(PyObject* str, std::string_view utf8, bool ascii) noexcept {
  if (ascii) {
    return PyUnicode_IS_COMPACT_ASCII(str) && static_cast<std::size_t>(PyUnicode_GET_LENGTH(str)) == utf8.size() &&
           same_short_text(static_cast<const char*>(PyUnicode_DATA(str)), utf8.data(), utf8.size());
  }
  if (PyUnicode_IS_COMPACT_ASCII(str)) return false;
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(str, &size);
  if (data == nullptr) {
    PyErr_Clear();
    return false;
  }
  return static_cast<std::size_t>(size) == utf8.size() && same_short_text(data, utf8.data(), utf8.size());
}

// Keys are interned so that schema and user lookups with interned names
// match them by identity. Not in the free-threaded build: there interning
// makes a string immortal, and documents may carry unboundedly many
// distinct keys.
#ifdef Py_GIL_DISABLED
constexpr bool kInternKeys = false;
#else
constexpr bool kInternKeys = true;
#endif

void intern_key(PyObject*& str) noexcept {
  if (kInternKeys) PyUnicode_InternInPlace(&str);
}

bool usable_as_key(PyObject* str) noexcept { return !kInternKeys || PyUnicode_CHECK_INTERNED(str); }

// A miss (or a key whose text was cached as a plain value): makes the
// string outside the lock, then publishes it. A non-ASCII string gets its
// UTF-8 form first, so that comparing with it later allocates nothing.
[[gnu::noinline]] PyObject* cache_miss(Slot& slot, Stripe& stripe, std::uint64_t hash, std::string_view utf8,
                                       bool ascii, bool key) noexcept {
  PyObject* str = new_str_from_utf8(utf8, ascii);
  if (str == nullptr) return nullptr;
  if (key) intern_key(str);
  if (!ascii && PyUnicode_AsUTF8AndSize(str, nullptr) == nullptr) {
    // Short of memory: the string is good, it just stays out.
    PyErr_Clear();
    return str;
  }
  stripe.lock();
  PyObject* old = slot.str;
  slot.str = Py_NewRef(str);
  slot.hash = hash;
  stripe.unlock();
  Py_XDECREF(old);
  return str;
}

// The hit path stays small enough to inline into both entry points.
[[gnu::always_inline]] inline PyObject* cached_str(std::string_view utf8, bool ascii, bool key) noexcept {
  const std::uint64_t hash = text_hash(utf8);
  const std::size_t index = static_cast<std::size_t>(hash) & (kSlotCount - 1);
  Slot& slot = g_cache.slots[index];
  Stripe& stripe = g_cache.stripes[index & (kStripeCount - 1)];

  stripe.lock();
  if (slot.str != nullptr && slot.hash == hash && holds_text(slot.str, utf8, ascii) &&
      (!key || usable_as_key(slot.str))) {
    PyObject* hit = Py_NewRef(slot.str);
    stripe.unlock();
    return hit;
  }
  stripe.unlock();
  return cache_miss(slot, stripe, hash, utf8, ascii, key);
}

}  // namespace

PyObject* json_text_to_str(std::string_view utf8, bool ascii) noexcept {
  if (utf8.size() < kCachedStringMinBytes || utf8.size() > kCachedStringMaxBytes) {
    return new_str_from_utf8(utf8, ascii);
  }
  return cached_str(utf8, ascii, false);
}

PyObject* json_key_to_str(std::string_view utf8, bool ascii) noexcept {
  if (utf8.size() < kCachedStringMinBytes || utf8.size() > kCachedStringMaxBytes) {
    return new_str_from_utf8(utf8, ascii);
  }
  return cached_str(utf8, ascii, true);
}

}  // namespace tessolin::py
