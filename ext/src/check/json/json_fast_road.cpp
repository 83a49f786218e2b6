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

py::PyRef load_proved_member(const JsonPlan& plan, std::string_view text) noexcept {
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
