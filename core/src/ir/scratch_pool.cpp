#include "ir/scratch_pool.hpp"

#include "ir/thread_state.hpp"

namespace tessolin::ir {

namespace {

template <class T>
std::vector<T> take_from(detail::ScratchPoolState<T>& pool) {
  detail::BusyFlag busy(pool.busy);
  if (pool.spare.empty()) return {};
  std::vector<T> v = std::move(pool.spare.back());
  pool.spare.pop_back();
  return v;
}

template <class T>
void give_back_to(detail::ScratchPoolState<T>& pool, std::vector<T>&& v) {
  v.clear();  // drop the elements before touching the pool
  detail::BusyFlag busy(pool.busy);
  pool.spare.push_back(std::move(v));
}

}  // namespace

std::vector<SchemaNode> take_node_vector() { return take_from(detail::ir_thread_state().node_pool); }
void give_back_node_vector(std::vector<SchemaNode>&& v) {
  give_back_to(detail::ir_thread_state().node_pool, std::move(v));
}
std::vector<RecordField> take_field_vector() { return take_from(detail::ir_thread_state().field_pool); }
void give_back_field_vector(std::vector<RecordField>&& v) {
  give_back_to(detail::ir_thread_state().field_pool, std::move(v));
}

namespace detail {

void give_back_quietly(std::vector<SchemaNode>&& v) noexcept {
  v.clear();
  IrThreadState* st = ir_thread_state_or_null();
  if (!st || st->node_pool.busy) return;  // freed with v
  try {
    st->node_pool.spare.push_back(std::move(v));
  } catch (...) {
  }
}

void give_back_quietly(std::vector<RecordField>&& v) noexcept {
  v.clear();
  IrThreadState* st = ir_thread_state_or_null();
  if (!st || st->field_pool.busy) return;
  try {
    st->field_pool.spare.push_back(std::move(v));
  } catch (...) {
  }
}

}  // namespace detail

}  // namespace tessolin::ir
