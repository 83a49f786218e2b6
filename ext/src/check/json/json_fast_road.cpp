#include "check/json/json_fast_road.hpp"

#include "check/json/one_pass_check.hpp"
#include "json/python_builder.hpp"

#include <cstdlib>
#include <cstring>

namespace tessolin::check {

bool fast_road_enabled() noexcept {
  static const bool enabled = [] {
    const char* road = std::getenv("TESSOLIN_JSON_ROAD");
    return road == nullptr || std::strcmp(road, "exact") != 0;
  }();
  return enabled;
}

bool document_proved_member(const JsonPlan& plan, std::string_view text) noexcept {
  try {
    NoValues sink;
    return OnePassCheck<NoValues>(plan, text, sink).run();
  } catch (...) {
    return false;  // out of memory for the scratch buffer: the exact road decides
  }
}

namespace {

// The collector's passes are driven by how many containers were made: a
// load makes one or two per record, so it would run a young collection
// every few hundred records and older ones over and over, each visiting
// the same new objects. They are paused while the load runs no user code
// and holds the lock throughout (so no other thread sees the pause); the
// first collection after it visits the new objects once. Not in the
// free-threaded build, whose switch is shared by running threads.
class CollectorPause {
 public:
  CollectorPause() noexcept {
#ifndef Py_GIL_DISABLED
    was_enabled_ = PyGC_Disable() != 0;
#endif
  }
  ~CollectorPause() {
    if (was_enabled_) PyGC_Enable();
  }
  CollectorPause(const CollectorPause&) = delete;
  CollectorPause& operator=(const CollectorPause&) = delete;

 private:
  bool was_enabled_ = false;
};

}  // namespace

py::PyRef load_proved_member(const JsonPlan& plan, std::string_view text) noexcept {
  CollectorPause pause;
  try {
    py::PythonObjectBuilder sink;
    if (OnePassCheck<py::PythonObjectBuilder>(plan, text, sink).run()) {
      if (py::PyRef result = sink.take_result()) return result;
    }
  } catch (...) {
  }
  // A failure to make an object meets the exact road again, which raises it.
  PyErr_Clear();
  return {};
}

}  // namespace tessolin::check
