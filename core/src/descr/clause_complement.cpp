// complement_clause: the complement of a conjunction of atoms is the union of
// its atoms negated, one single-atom clause per atom, attributes first, then
// required classes (as excluded), then excluded classes (as required).
// Tested by core/tests/descr.
#include "descr/atom_clause.hpp"
#include "descr/shared_descriptor.hpp"

namespace tessolin::descr {

ClauseList complement_clause(const AtomClause& clause) {
  ClauseList out;
  out.reserve(clause.attributes.size() + clause.classes.size() + clause.excluded_classes.size());
  for (const auto& [name, atom] : clause.attributes) {
    // Absent value means every value, whose complement is no value.
    OptionalDescriptor value = atom.value ? complement_shared(atom.value) : shared_nothing();
    AtomClause negated;
    negated.attributes.emplace(name,
                               AttributeAtom{std::move(value), static_cast<uint8_t>(atom.absent_allowed ? 0 : 1)});
    out.push_back(std::move(negated));
  }
  for (const ClassAnswer& cls : clause.classes) {
    AtomClause negated;
    negated.excluded_classes.push_back(cls);
    out.push_back(std::move(negated));
  }
  for (const ClassAnswer& cls : clause.excluded_classes) {
    AtomClause negated;
    negated.classes.push_back(cls);
    out.push_back(std::move(negated));
  }
  return out;
}

}  // namespace tessolin::descr
