#include "compile/constants_pool.hpp"

#include <cmath>
#include <cstring>
#include <string>
#include <unordered_map>

#include "binding/error.hpp"
#include "ir/fx_hash.hpp"
#include "ir/oracle.hpp"

namespace tessolin::build {

namespace {

enum class KeyTag : uint8_t { Identity = 0, None = 1, Bool = 2, Int = 3, Float = 4, Str = 5, Bytes = 6 };

struct ConstantKey {
  KeyTag tag = KeyTag::Identity;
  uint64_t word = 0;  // address, bool, int or float bits
  std::string bytes;  // Str and Bytes only

  friend bool operator==(const ConstantKey& a, const ConstantKey& b) noexcept {
    return a.tag == b.tag && a.word == b.word && a.bytes == b.bytes;
  }
};

struct ConstantKeyHash {
  size_t operator()(const ConstantKey& k) const noexcept {
    ir::FxHasher h;
    h.add(static_cast<uint64_t>(k.tag));
    if (k.tag == KeyTag::Str || k.tag == KeyTag::Bytes) {
      h.add(k.bytes.size());
      h.add(ir::name_text_hash(k.bytes));
    } else {
      h.add(k.word);
    }
    return static_cast<size_t>(h.finish());
  }
};

ConstantKey identity_key(PyObject* obj) noexcept { return {KeyTag::Identity, reinterpret_cast<uintptr_t>(obj), {}}; }

// Exact types only: instances of subclasses (an int-valued enum member, a
// str subclass) share only with themselves.
ConstantKey make_key(PyObject* obj) {
  if (obj == Py_None) return {KeyTag::None, 0, {}};
  PyTypeObject* type = Py_TYPE(obj);
  if (type == &PyBool_Type) return {KeyTag::Bool, obj == Py_True ? 1u : 0u, {}};
  if (type == &PyLong_Type) {
    int overflow = 0;
    long long v = PyLong_AsLongLongAndOverflow(obj, &overflow);
    if (overflow != 0 || (v == -1 && PyErr_Occurred())) {
      PyErr_Clear();
      return identity_key(obj);
    }
    return {KeyTag::Int, static_cast<uint64_t>(v), {}};
  }
  if (type == &PyFloat_Type) {
    double d = PyFloat_AS_DOUBLE(obj);
    if (std::isnan(d)) return identity_key(obj);
    d += 0.0;  // -0.0 keys as 0.0
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return {KeyTag::Float, bits, {}};
  }
  if (type == &PyUnicode_Type) {
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(obj, &size);
    if (utf8 == nullptr) {
      PyErr_Clear();
      return identity_key(obj);
    }
    return {KeyTag::Str, 0, std::string(utf8, static_cast<size_t>(size))};
  }
  if (type == &PyBytes_Type) {
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_AsStringAndSize(obj, &data, &size) < 0) {
      PyErr_Clear();
      return identity_key(obj);
    }
    return {KeyTag::Bytes, 0, std::string(data, static_cast<size_t>(size))};
  }
  return identity_key(obj);
}

}  // namespace

struct ConstantsPool::KeyIndex {
  std::unordered_map<ConstantKey, uint64_t, ConstantKeyHash> map;
};

ConstantsPool::ConstantsPool() = default;
ConstantsPool::~ConstantsPool() = default;
ConstantsPool::ConstantsPool(ConstantsPool&&) noexcept = default;
ConstantsPool& ConstantsPool::operator=(ConstantsPool&&) noexcept = default;

ConstantsPool ConstantsPool::index_constants(std::vector<py::PyRef> objects) {
  ConstantsPool pool;
  pool.objects_ = std::move(objects);
  pool.index_ = std::make_unique<KeyIndex>();
  pool.index_->map.reserve(pool.objects_.size());
  for (uint64_t i = 0; i < pool.objects_.size(); ++i) {
    pool.index_->map.insert_or_assign(make_key(pool.objects_[i].get()), i);
  }
  return pool;
}

ConstantsPool ConstantsPool::copy_of(std::span<const py::PyRef> objects) {
  std::vector<py::PyRef> copy;
  copy.reserve(objects.size());
  for (const py::PyRef& o : objects) copy.push_back(o.dup());
  return index_constants(std::move(copy));
}

uint64_t ConstantsPool::intern_constant(PyObject* obj) {
  ConstantKey key = make_key(obj);
  if (!index_) index_ = std::make_unique<KeyIndex>();
  if (!index_->map.empty()) {
    auto found = index_->map.find(key);
    if (found != index_->map.end()) return found->second;
  }
  uint64_t position = objects_.size();
  objects_.push_back(py::PyRef::borrow(obj));
  index_->map.emplace(std::move(key), position);
  return position;
}

std::vector<py::PyRef> ConstantsPool::take_objects() noexcept {
  index_.reset();
  std::vector<py::PyRef> out = std::move(objects_);
  objects_.clear();
  return out;
}

int ConstantsPool::traverse(visitproc visit, void* arg) const noexcept {
  for (const py::PyRef& o : objects_) {
    if (o) {
      int r = visit(o.get(), arg);
      if (r != 0) return r;
    }
  }
  return 0;
}

struct ClassIdTable::Map {
  std::unordered_map<const PyObject*, uint32_t> ids;
};

ClassIdTable::ClassIdTable() : map_(new Map) {}
ClassIdTable::~ClassIdTable() { delete map_; }

uint32_t class_id(ClassIdTable& table, PyObject* cls) {
  if (table.borrowed_) throw py::InternalError("the class-id table was entered twice");
  table.borrowed_ = true;
  auto& ids = table.map_->ids;
  auto found = ids.find(cls);
  uint32_t id;
  if (found != ids.end()) {
    id = found->second;
  } else {
    // The last id is the algebra's exact-type atom, never a class's.
    constexpr uint64_t kSaturated = ir::kExactTypeClassId - 1;
    uint64_t count = ids.size();
    id = static_cast<uint32_t>(count < kSaturated ? count : kSaturated);
    try {
      ids.emplace(cls, id);
    } catch (...) {
      table.borrowed_ = false;
      throw;
    }
  }
  table.borrowed_ = false;
  return id;
}

}  // namespace tessolin::build
