// The value space of the descriptor operation tests (see the header).
#include "knot_test_support.hpp"

#include <cmath>
#include <cstdio>

namespace tessolin::descr::testing {
namespace {

uint32_t builtin_class(uint8_t code) {
  switch (static_cast<SlotKind>(code)) {
    case SlotKind::Int: return class_id::kInt;
    case SlotKind::Float: return class_id::kFloat;
    case SlotKind::Str: return class_id::kStr;
    case SlotKind::Bytes: return class_id::kBytes;
    case SlotKind::List: return class_id::kList;
    case SlotKind::Tuple: return class_id::kTuple;
    case SlotKind::Set: return class_id::kSet;
    case SlotKind::FrozenSet: return class_id::kFrozenSet;
    case SlotKind::Dict: return class_id::kDict;
    default: return 0;
  }
}

// The class set of an exact value of kind `code` (object and its builtin).
std::vector<uint32_t> exact_ids(uint8_t code) {
  uint32_t builtin = builtin_class(code);
  if (builtin == 0) return {class_id::kObject};
  return {class_id::kObject, builtin};
}

Value plain(Value v) {
  v.class_ids = exact_ids(v.code);
  return v;
}

std::vector<ClassChoice> class_choices_of(uint8_t code) {
  std::vector<std::vector<uint32_t>> classes;
  auto ids = [](const ClassAnswer& c) { return c.ids; };
  switch (static_cast<SlotKind>(code)) {
    case SlotKind::None:
    case SlotKind::Bool: return {ClassChoice{exact_ids(code), false}};
    case SlotKind::Int: classes = {ids(class_I()), ids(class_J())}; break;
    case SlotKind::Float: classes = {ids(class_F())}; break;
    case SlotKind::Str: classes = {ids(class_S())}; break;
    case SlotKind::Unknown:
      classes = {ids(class_A()), ids(class_B()), ids(class_C()), make_class(class_id::kZ, {}, 0, 255).ids};
      break;
    default: break;
  }
  std::vector<ClassChoice> out;
  if (code != 255) {
    out.push_back(ClassChoice{exact_ids(code), false});
    // An anonymous subclass of the builtin, named by no clause.
    classes.push_back(make_class(class_id::kAnonBase + code, {builtin_class(code)}, 1, code).ids);
  }
  for (auto& class_ids : classes) out.push_back(ClassChoice{std::move(class_ids), true});
  return out;
}

using Attributes = std::vector<std::pair<std::string, const Value*>>;

// Per attribute name that the Lines' clauses mention: absent, then one pool
// value per class of pool values that the nested descriptors under that
// name cannot tell apart.
std::map<std::string, std::vector<const Value*>> attribute_choices(const std::vector<const Line*>& lines) {
  std::map<std::string, std::vector<const Descriptor*>> nested;
  for (const Line* line : lines) {
    for (const AtomClause& clause : line->clauses) {
      for (const auto& [name, atom] : clause.attributes) {
        auto& values = nested[name];
        if (atom.value) values.push_back(atom.value.get());
      }
    }
  }
  std::map<std::string, std::vector<const Value*>> out;
  for (const auto& [name, descriptors] : nested) {
    std::set<std::vector<bool>> seen;
    std::vector<const Value*> choices{nullptr};
    for (const Value& v : attribute_pool()) {
      std::vector<bool> signature;
      for (const Descriptor* d : descriptors) signature.push_back(member(*d, v));
      if (seen.insert(signature).second) choices.push_back(&v);
    }
    out.emplace(name, std::move(choices));
  }
  return out;
}

// Every assignment of the choices to the names (absent ones left out).
std::vector<Attributes> attribute_assignments(const std::map<std::string, std::vector<const Value*>>& choices) {
  std::vector<Attributes> out{Attributes{}};
  for (const auto& [name, values] : choices) {
    std::vector<Attributes> next;
    for (const Attributes& partial : out) {
      for (const Value* v : values) {
        Attributes a = partial;
        if (v) a.emplace_back(name, v);
        next.push_back(std::move(a));
      }
    }
    out = std::move(next);
  }
  return out;
}

std::vector<Value> payloads_of(uint8_t code) {
  std::vector<Value> out;
  switch (static_cast<SlotKind>(code)) {
    case SlotKind::None: out.push_back(none_value()); break;
    case SlotKind::Bool:
      out.push_back(bool_value(false));
      out.push_back(bool_value(true));
      break;
    case SlotKind::Int: {
      for (int i = -12; i <= 14; ++i) out.push_back(int_value(i));
      const Int128 two = 2;
      for (Int128 big : {two << 63, two << 64, two << 100}) {
        out.push_back(int_value(big));
        out.push_back(int_value(-big));
      }
      break;
    }
    case SlotKind::Float: {
      const double inf = std::numeric_limits<double>::infinity();
      for (double x : {-inf, -1e300, -1.5, -1.0, -0.0, 0.0, 0.5, 1.0, std::nextafter(1.0, 2.0), 2.0, 2.5, 1e300, inf,
                       std::numeric_limits<double>::quiet_NaN()}) {
        out.push_back(float_value(x));
      }
      break;
    }
    case SlotKind::Str:
      for (const char* s : {"", "a", "b", "\xc3\xa9", "ab", "zz", "zzz"}) out.push_back(text_value(SlotKind::Str, s));
      break;
    case SlotKind::Bytes:
      for (std::string s : {std::string(""), std::string("a"), std::string("b"), std::string("\xff\x00", 2),
                            std::string("\xff"), std::string("zz"), std::string("zzz")}) {
        out.push_back(text_value(SlotKind::Bytes, s));
      }
      break;
    case SlotKind::Unknown: out.push_back(other_value()); break;
    default: out.push_back(payload(static_cast<SlotKind>(code))); break;  // the empty container
  }
  for (Value& v : out) v = plain(std::move(v));
  return out;
}

}  // namespace

const std::vector<Value>& attribute_pool() {
  static const std::vector<Value> pool = [] {
    std::vector<Value> out{none_value(),
                           bool_value(false),
                           int_value(1),
                           int_value(2),
                           float_value(2.5),
                           text_value(SlotKind::Str, "a"),
                           text_value(SlotKind::Str, "b"),
                           text_value(SlotKind::Bytes, ""),
                           payload(SlotKind::List),
                           payload(SlotKind::Tuple),
                           payload(SlotKind::Set),
                           payload(SlotKind::FrozenSet),
                           payload(SlotKind::Dict),
                           other_value()};
    for (Value& v : out) v = plain(std::move(v));
    return out;
  }();
  return pool;
}

// One entry per slot code, built once.
template <class Build>
const auto& per_code(uint8_t code, Build build) {
  using Entry = decltype(build(uint8_t{0}));
  static const auto table = [&] {
    std::map<uint8_t, Entry> t;
    for (size_t i = 0; i < kSlotCount; ++i) t[slot_code(i)] = build(slot_code(i));
    return t;
  }();
  return table.at(code);
}

const std::vector<Value>& payloads(uint8_t code) { return per_code(code, payloads_of); }

const std::vector<ClassChoice>& class_choices(uint8_t code) { return per_code(code, class_choices_of); }

void for_each_value_class(const std::vector<const Descriptor*>& descriptors, uint8_t code,
                          const std::function<void(const std::vector<bool>&, const Value&)>& visit) {
  const size_t index = slot_index(code);
  std::vector<const Line*> lines;
  std::vector<size_t> owner;
  for (size_t j = 0; j < descriptors.size(); ++j) {
    for (const Line& line : descriptors[j]->slots[index].lines) {
      lines.push_back(&line);
      owner.push_back(j);
    }
  }
  std::vector<bool> memberships(descriptors.size());
  const Value& any_payload = payloads(code).front();
  if (lines.empty()) {
    // Every value of the kind is alike: in exactly the negated slots.
    for (size_t j = 0; j < descriptors.size(); ++j) memberships[j] = descriptors[j]->slots[index].negated != 0;
    Value sample = any_payload;
    sample.class_ids = class_choices(code).front().class_ids;
    visit(memberships, sample);
    return;
  }
  std::map<std::vector<bool>, const Value*> payload_classes;
  for (const Value& p : payloads(code)) {
    std::vector<bool> signature(lines.size());
    for (size_t l = 0; l < lines.size(); ++l) signature[l] = domain_holds(lines[l]->domain, p);
    payload_classes.emplace(std::move(signature), &p);
  }
  const std::vector<Attributes> assignments = attribute_assignments(attribute_choices(lines));
  std::map<std::vector<bool>, Value> configuration_classes;
  for (const ClassChoice& choice : class_choices(code)) {
    for (const Attributes& attributes : assignments) {
      if (!choice.attributes_settable && !attributes.empty()) continue;
      Value probe = any_payload;
      probe.class_ids = choice.class_ids;
      probe.attributes = attributes;
      std::vector<bool> signature(lines.size());
      for (size_t l = 0; l < lines.size(); ++l) signature[l] = clause_part_holds(*lines[l], probe);
      configuration_classes.emplace(std::move(signature), std::move(probe));
    }
  }
  for (const auto& [ps, p] : payload_classes) {
    for (const auto& [cs, c] : configuration_classes) {
      for (size_t j = 0; j < descriptors.size(); ++j) memberships[j] = false;
      for (size_t l = 0; l < lines.size(); ++l) {
        if (ps[l] && cs[l]) memberships[owner[l]] = true;
      }
      for (size_t j = 0; j < descriptors.size(); ++j) {
        if (descriptors[j]->slots[index].negated) memberships[j] = !memberships[j];
      }
      Value sample = *p;
      sample.class_ids = c.class_ids;
      sample.attributes = c.attributes;
      visit(memberships, sample);
    }
  }
}

bool exists_in_product(const Descriptor& d, Value* witness) {
  bool found = false;
  for (size_t i = 0; i < kSlotCount && !found; ++i) {
    for_each_value_class({&d}, slot_code(i), [&](const std::vector<bool>& m, const Value& v) {
      if (m[0] && !found) {
        found = true;
        if (witness) *witness = v;
      }
    });
  }
  return found;
}

std::string describe(const Value& v) {
  char buffer[64];
  std::string out;
  switch (v.code) {
    case 0: out = "None"; break;
    case 1: out = v.flag ? "True" : "False"; break;
    case 2: {
      Int128 x = v.integer;
      bool negative = x < 0;
      std::string digits;
      do {
        int digit = static_cast<int>(x % 10);
        digits.insert(digits.begin(), static_cast<char>('0' + (digit < 0 ? -digit : digit)));
        x /= 10;
      } while (x != 0);
      out = (negative ? "-" : "") + digits;
      break;
    }
    case 3:
      std::snprintf(buffer, sizeof buffer, "%.17g", v.real);
      out = buffer;
      break;
    case 4: out = "'" + v.text + "'"; break;
    case 5:
      out = "b'";
      for (unsigned char ch : v.text) {
        std::snprintf(buffer, sizeof buffer, "\\x%02x", ch);
        out += buffer;
      }
      out += "'";
      break;
    case 255: out = "object"; break;
    default: out = "container" + std::to_string(v.code); break;
  }
  out += " classes{";
  for (uint32_t id : v.class_ids) out += std::to_string(id) + ",";
  out += "} attrs{";
  for (const auto& [name, value] : v.attributes) out += name + "=" + describe(*value) + ",";
  return out + "}";
}

}  // namespace tessolin::descr::testing
