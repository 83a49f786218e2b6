#include "json/json_big_integer.hpp"

#include <vector>

#include "json/big_integer_bytes.hpp"

namespace tessolin::py {

PyObject* big_integer_to_int(std::string_view text) noexcept {
  // Exhausted native memory ends the process (noexcept), as everywhere.
  std::vector<unsigned char> bytes;
  json::decimal_text_to_le_bytes(text, bytes);
  return PyLong_FromNativeBytes(bytes.data(), bytes.size(), Py_ASNATIVEBYTES_LITTLE_ENDIAN);
}

}  // namespace tessolin::py
