// The members of a union or intersection as they are compiled, for its
// smart constructor. Repeats the constructor would merge still count against
// the build's work bound (compile_context.hpp) while they are gathered, so
// once the members gathered pass the node limit and outweigh what the last
// merge kept, they are merged at once and the counter holds the size of what
// is left: a union of one schema repeated past the bound compiles, and one
// that keeps its members past the bound is still stopped by it. Each merge
// at least doubles the members since the last, so merging costs time near
// linear in the members; the open ones are at most what the last merge kept
// or the node limit, whichever is more.
#pragma once

#include <vector>

#include "compile/compile_context.hpp"
#include "ir/definitions.hpp"
#include "ir/node.hpp"

namespace tessolin::build {

enum class Gathered { Union, Intersection };

class MemberGathering {
 public:
  MemberGathering(CompileContext& ctx, Gathered op, size_t expected);

  // Adds a member compiled in ctx since the last add.
  void add(ir::SchemaNode member);

  // The smart constructor over every member added.
  ir::SchemaNode finish();

 private:
  ir::SchemaNode merged();

  CompileContext& ctx_;
  Gathered op_;
  std::vector<ir::SchemaNode> members_;
  uint64_t start_;  // the work counter before the first member
  uint64_t kept_ = 0;  // the work the last merge left on the counter
  // A union found to be Anything by a complementary pair rather than by an
  // Anything member: it goes last, so that a later Any member still gives
  // the answer its flag, as in one merge of all the members.
  bool settled_by_pair_ = false;
};

}  // namespace tessolin::build
