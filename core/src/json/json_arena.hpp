#pragma once
// Bump allocator behind a JsonDocument: parsed values are freed all at once.

#include <cstddef>

namespace tessolin::json {

class JsonArena {
 public:
  JsonArena() noexcept = default;
  JsonArena(const JsonArena&) = delete;
  JsonArena& operator=(const JsonArena&) = delete;
  // Blocks stay where they are, so moving keeps pointers into them valid.
  JsonArena(JsonArena&& other) noexcept;
  JsonArena& operator=(JsonArena&& other) noexcept;
  ~JsonArena();

  // Uninitialised storage aligned to 8 bytes; bytes may be 0.
  void* allocate(std::size_t bytes);

  // Frees every block.
  void release() noexcept;

 private:
  struct Block;
  void* allocate_slow(std::size_t bytes);

  Block* head_ = nullptr;
  char* cursor_ = nullptr;
  char* limit_ = nullptr;
  std::size_t next_block_size_ = 4096;
};

}  // namespace tessolin::json
