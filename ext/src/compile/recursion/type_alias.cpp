// typing.TypeAliasType (and typing_extensions' class of that name): compiled
// through its __value__; an alias that names itself while its value compiles
// becomes a definition. Within one build an alias is compiled once: every
// later use reuses its node, so a recursive alias named in many places is
// one definition.
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

ir::SchemaNode remember(CompileContext& ctx, PyObject* alias, ir::SchemaNode node, const HeightScope& scope) {
  ctx.memo.aliases.insert_or_assign(alias, CompileMemo::Entry{py::PyRef::borrow(alias), node, scope.height()});
  return node;
}

}  // namespace

ir::SchemaNode compile_type_alias(CompileContext& ctx, PyObject* alias) {
  for (AliasEntry& entry : t_aliases) {
    if (entry.alias == alias) {
      entry.used = true;
      return ir::SchemaNode::placeholder(entry.placeholder);
    }
  }
  if (const ir::SchemaNode* hit = reuse_memoised(ctx.memo.aliases, alias)) return *hit;
  HeightScope height;
  const uint64_t id = ir::new_placeholder_id();
  ir::SchemaNode body;
  bool used = false;
  {
    AliasScope scope(alias, id);
    py::PyRef value = py::PyRef::check(PyObject_GetAttrString(alias, "__value__"));
    // A str value is the alias's text, not a constant.
    body = compile_resolved(ctx, value.get());
    used = scope.used();
  }
  if (!used) {
    // A body naming an alias still compiling holds its placeholder until
    // that alias finishes; reused later it would stay unresolved. Alias
    // placeholders are never live, so the test below finds them.
    if (ir::find_unresolved_placeholder(body)) return body;
    return remember(ctx, alias, std::move(body), height);
  }

  const uint64_t n = ctx.definitions.size();
  for (ir::SchemaNode& definition : ctx.definitions) definition = ir::resolve_placeholder(definition, id, n);
  body = ir::resolve_placeholder(body, id, n);
  if (ir::find_unguarded_reference(body, n, ctx.definitions)) {
    py::raise_value_error(
        "recursive type alias is not contractive: the alias names itself outside any structural constructor, so "
        "it denotes no set. Put the self-reference under a list, tuple, set, dict, record, or object");
  }
  ctx.definitions.push_back(std::move(body));
  // Definitions are only appended during a build (an embedded validator's
  // run included), so n names this body for the rest of it; placeholders of
  // enclosing aliases left in it are resolved in place when those finish.
  return remember(ctx, alias, ir::SchemaNode::reference(n), height);
}

}  // namespace tessolin::build
