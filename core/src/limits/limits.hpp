// Every fixed limit of the system, with why it is there. The components name
// these where they enforce them; nothing else holds a limit's value.
//
// Depth limits exist so that walks over user-sized structures stay within a
// safe native stack or a bounded explicit stack; size and work limits so
// that a hostile or runaway input costs bounded time and memory. Past a
// limit a check fails with its documented error, a build is refused with its
// message, and a decision answers "undecided".
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessolin::limits {

// ---- Finished schemas (every validator; the refusals name these numbers)
// Nesting of one schema: every recursive walk of the IR, the walk and the
// decisions stays within this many levels of schema.
inline constexpr uint64_t kMaxSchemaDepth = 128;
// Recursive definitions one schema may name.
inline constexpr uint64_t kMaxDefinitions = 128;
// Nodes one schema may span as a tree: bounds memory and every walk that
// visits shared parts once per use.
inline constexpr uint64_t kMaxSchemaNodes = 100000;
// IR rewrites (renumbering, unfolding, open/close) refuse deeper trees with
// an internal error instead of risking the stack; only a broken caller, never
// a finished schema (at most kMaxSchemaDepth), gets near it.
inline constexpr uint32_t kMaxRewriteDepth = 2048;

// ---- Compiling annotations
// Active compile calls on one thread: past it a nested annotation is refused
// (a class whose own type appears in its fields never bottoms out).
inline constexpr uint64_t kMaxCompileDepth = 129;
// Work of one build: compile calls, each finished one counted as the size
// of the node it built when that is smaller (what the smart constructors
// kept). Every compiled form yields at least one node but for the few that
// pass their argument through, so a build past four times the node limit
// spans more nodes than the limit allows.
inline constexpr uint64_t kCompileWorkLimit = 4 * kMaxSchemaNodes;
// Nested GroupedMetadata inside one Annotated: more is a cycle or a mistake.
inline constexpr uint64_t kMaxMetadataGroupDepth = 7;
// Types remembered as having no metadata attributes (a per-build cache).
inline constexpr std::ptrdiff_t kMetadataTypeCacheSize = 255;

// ---- Patterns
// Group nesting of one pattern: the parser and the compiler recurse on it.
inline constexpr uint32_t kPatternNesting = 250;
// Estimated heap size of one compiled pattern automaton.
inline constexpr std::size_t kPatternSizeBytes = 10 * 1024 * 1024;
// The matcher's DFA is built ahead while it stays within these; past them
// matching simulates the NFA for the missing part (linear either way).
inline constexpr uint32_t kPatternDfaStates = 10000;
inline constexpr std::size_t kPatternDfaTableBytes = 2 * 1024 * 1024;
// Closure steps of one DFA build, so that a refused build stays cheap.
inline constexpr uint64_t kPatternDfaWork = 50'000'000;

// ---- Checking values
// Nesting of one checked value (every container and schema level counts
// one): past it the check fails with "recursion_limit".
inline constexpr uint64_t kMaxWalkDepth = 512;
// Recursive references entered with the same value before a cycle is
// reported as "recursion_loop".
inline constexpr uint64_t kMaxRecursionEntries = 128;
// Alternatives a union failure describes, and references followed to
// describe one.
inline constexpr std::size_t kMaxUnionDetail = 64;
inline constexpr uint64_t kMaxDescribedHops = 4;
// Nesting of one JSON document, and digits of one JSON integer (the
// interpreter's own default limit on int text).
inline constexpr unsigned kMaxJsonNesting = 200;
inline constexpr std::size_t kMaxJsonIntegerChars = 4300;

// ---- Rendering
// Annotation text past this many bytes is elided, so a shared part written at
// each of its uses stays bounded; deeper nodes are elided too.
inline constexpr std::size_t kAnnotationTextBytes = std::size_t{1} << 20;
inline constexpr uint64_t kAnnotationTextDepth = 200;
// A value shown in an error message is cut to this many characters.
inline constexpr std::size_t kValueTextChars = 80;

// ---- Schema-level decisions
// Steps of one relation query (both directions of an equivalence share it).
inline constexpr int32_t kDecisionSteps = 1'000'000;
// Nesting of one decision's recursion (inclusion and emptiness of parts).
inline constexpr uint32_t kMaxDecisionDepth = 400;
// Nesting followed by the cheap kind arguments (kind masks, disjointness).
inline constexpr int kKindArgumentDepth = 256;
// Members of an enum class that a decision enumerates.
inline constexpr std::size_t kMaxEnumMembers = 512;

// ---- The descriptor algebra (see core/src/descr/fuel.hpp for the fuel)
inline constexpr uint64_t kAlgebraFuel = 4096;
// Schema nodes one lowering may visit, and how deep it may nest.
inline constexpr uint32_t kLoweringAllowance = 64;
inline constexpr uint32_t kLoweringDepth = 5;
// Largest modulus of an integer set.
inline constexpr uint64_t kMaxModulus = 4096;
// A product of automata numbers at most 4096 state pairs: a new pair needed
// while more than this many are numbered gives up.
inline constexpr uint64_t kMaxProductStates = 4095;
// Transitions one sequence product may build in all, and at one position.
inline constexpr uint64_t kMaxSequenceTransitions = 65536;
inline constexpr uint64_t kMaxPositionTransitions = 4096;
// A partial product longer than the first is normalised before the loop
// goes on; more than the second after normalisation gives up.
inline constexpr uint64_t kLineCompactionThreshold = 255;
inline constexpr uint64_t kMaxNormalizedItems = 256;
// Largest item count a list or tuple length bound lowers.
inline constexpr uint64_t kMaxLengthBound = 4096;
// A DFA built from a pattern or length bound numbers at most 4096 states.
inline constexpr uint64_t kMaxDfaStates = 4095;
// The witness search of a record shape's emptiness: requirements it takes
// on, and steps it may take, before it answers "undecided".
inline constexpr std::size_t kMaxSearchedSelectors = 64;
inline constexpr uint64_t kMaxWitnessSteps = 1024;
// Required str keys a record shape's emptiness decides form by form (exact,
// or a subclass instance equal to it), halving the shape each time.
inline constexpr int kMaxRequiredFormSplits = 6;

}  // namespace tessolin::limits
