// Per-thread pools of spare vectors, so constructors and rewrites that run on
// every compile do not allocate working storage each time.
#pragma once

#include <utility>
#include <vector>

#include "ir/node.hpp"

namespace tessolin::ir {

// A spare vector (empty, with whatever capacity it had), or a new one.
// Throws InternalError once the thread's state is torn down.
std::vector<SchemaNode> take_node_vector();
// Drops what the vector still holds and keeps it for reuse.
void give_back_node_vector(std::vector<SchemaNode>&& v);
std::vector<RecordField> take_field_vector();
void give_back_field_vector(std::vector<RecordField>&& v);

// Borrows a pooled vector for a scope and gives it back at its end.
template <class T>
class ScratchVector {
 public:
  ScratchVector();
  ~ScratchVector();
  ScratchVector(const ScratchVector&) = delete;
  ScratchVector& operator=(const ScratchVector&) = delete;

  std::vector<T>& operator*() noexcept { return v_; }
  std::vector<T>* operator->() noexcept { return &v_; }
  std::vector<T>& get() noexcept { return v_; }

 private:
  std::vector<T> v_;
};

using ScratchNodes = ScratchVector<SchemaNode>;
using ScratchFields = ScratchVector<RecordField>;

template <>
inline ScratchVector<SchemaNode>::ScratchVector() : v_(take_node_vector()) {}
template <>
inline ScratchVector<RecordField>::ScratchVector() : v_(take_field_vector()) {}

namespace detail {
// Gives back without throwing: when the pool is gone the vector is freed.
void give_back_quietly(std::vector<SchemaNode>&& v) noexcept;
void give_back_quietly(std::vector<RecordField>&& v) noexcept;
}  // namespace detail

template <class T>
ScratchVector<T>::~ScratchVector() {
  detail::give_back_quietly(std::move(v_));
}

}  // namespace tessolin::ir
