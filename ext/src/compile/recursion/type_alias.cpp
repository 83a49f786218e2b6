// typing.TypeAliasType: compiled through its __value__; an alias that names
// itself while its value compiles becomes a definition.
#include <vector>

#include "binding/error.hpp"
#include "compile/compile_annotation.hpp"
#include "compile/forms.hpp"
#include "ir/definitions.hpp"

namespace tessolin::build {

namespace {

// The aliases whose value is being compiled on this thread, oldest first.
struct AliasEntry {
  const PyObject* alias;  // identity only; the caller holds the alias
  uint64_t placeholder;
  bool used;
};
thread_local std::vector<AliasEntry> t_aliases;

// Pops the entry pushed for this alias on every way out, and reports
// whether the alias was met again meanwhile.
class AliasScope {
 public:
  AliasScope(PyObject* alias, uint64_t id) { t_aliases.push_back(AliasEntry{alias, id, false}); }
  ~AliasScope() { t_aliases.pop_back(); }
  AliasScope(const AliasScope&) = delete;
  AliasScope& operator=(const AliasScope&) = delete;
  bool used() const noexcept { return t_aliases.back().used; }
};

}  // namespace

ir::SchemaNode compile_type_alias(CompileContext& ctx, PyObject* alias) {
  for (AliasEntry& entry : t_aliases) {
    if (entry.alias == alias) {
      entry.used = true;
      return ir::SchemaNode::placeholder(entry.placeholder);
    }
  }
  const uint64_t id = ir::new_placeholder_id();
  ir::SchemaNode body;
  bool used = false;
  {
    AliasScope scope(alias, id);
    py::PyRef value = py::PyRef::check(PyObject_GetAttrString(alias, "__value__"));
    body = compile_annotation(ctx, value.get());
    used = scope.used();
  }
  if (!used) return body;

  const uint64_t n = ctx.definitions.size();
  for (ir::SchemaNode& definition : ctx.definitions) definition = ir::resolve_placeholder(definition, id, n);
  body = ir::resolve_placeholder(body, id, n);
  if (ir::find_unguarded_reference(body, n, ctx.definitions)) {
    py::raise_value_error(
        "recursive type alias is not contractive: the alias names itself outside any structural constructor, so "
        "it denotes no set. Put the self-reference under a list, tuple, set, dict, record, or object");
  }
  ctx.definitions.push_back(std::move(body));
  return ir::SchemaNode::reference(n);
}

}  // namespace tessolin::build
