#include "json/json_arena.hpp"

#include <cstdint>
#include <new>
#include <utility>

namespace tessolin::json {

struct JsonArena::Block {
  Block* next;
  std::size_t size;  // usable bytes after the header
};

namespace {
constexpr std::size_t kAlign = 8;
constexpr std::size_t kMaxBlockSize = std::size_t{1} << 20;
constexpr std::size_t kHeader = (sizeof(void*) + sizeof(std::size_t) + kAlign - 1) / kAlign * kAlign;

std::size_t round_up(std::size_t n) noexcept { return (n + kAlign - 1) & ~(kAlign - 1); }
}  // namespace

JsonArena::JsonArena(JsonArena&& other) noexcept
    : head_(std::exchange(other.head_, nullptr)),
      cursor_(std::exchange(other.cursor_, nullptr)),
      limit_(std::exchange(other.limit_, nullptr)),
      next_block_size_(std::exchange(other.next_block_size_, 4096)) {}

JsonArena& JsonArena::operator=(JsonArena&& other) noexcept {
  if (this != &other) {
    release();
    head_ = std::exchange(other.head_, nullptr);
    cursor_ = std::exchange(other.cursor_, nullptr);
    limit_ = std::exchange(other.limit_, nullptr);
    next_block_size_ = std::exchange(other.next_block_size_, 4096);
  }
  return *this;
}

JsonArena::~JsonArena() { release(); }

void JsonArena::release() noexcept {
  while (head_ != nullptr) {
    Block* next = head_->next;
    ::operator delete(head_);
    head_ = next;
  }
  cursor_ = limit_ = nullptr;
  next_block_size_ = 4096;
}

void* JsonArena::allocate(std::size_t bytes) {
  bytes = round_up(bytes);
  if (static_cast<std::size_t>(limit_ - cursor_) >= bytes && cursor_ != nullptr) {
    void* out = cursor_;
    cursor_ += bytes;
    return out;
  }
  return allocate_slow(bytes);
}

void* JsonArena::allocate_slow(std::size_t bytes) {
  // A large request gets a block of its own, so the current block keeps
  // serving small ones.
  if (bytes > next_block_size_ / 4) {
    auto* raw = static_cast<char*>(::operator new(kHeader + bytes));
    auto* block = reinterpret_cast<Block*>(raw);
    block->size = bytes;
    if (head_ != nullptr) {
      block->next = head_->next;
      head_->next = block;
    } else {
      block->next = nullptr;
      head_ = block;
    }
    return raw + kHeader;
  }
  auto* raw = static_cast<char*>(::operator new(kHeader + next_block_size_));
  auto* block = reinterpret_cast<Block*>(raw);
  block->next = head_;
  block->size = next_block_size_;
  head_ = block;
  cursor_ = raw + kHeader;
  limit_ = cursor_ + next_block_size_;
  if (next_block_size_ < kMaxBlockSize) next_block_size_ *= 2;
  void* out = cursor_;
  cursor_ += bytes;
  return out;
}

}  // namespace tessolin::json
