#include "render/value_text.hpp"

#include <unicode/uchar.h>

#include <cstdint>

#include "binding/error.hpp"
#include "binding/interned.hpp"
#include "binding/ref.hpp"
#include "handles/value_repr.hpp"

namespace tessolin::py {

namespace {

constinit InternedName kReprName{"repr"};
constinit InternedName kNameName{"__name__"};

// Byte length of the first `limit` characters of UTF-8 `text`, or npos when
// the text has no more than `limit` characters.
std::size_t cut_point(std::string_view text, std::size_t limit) noexcept {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      if (chars == limit) return i;
      ++chars;
    }
  }
  return std::string_view::npos;
}

void append_shortened(std::string& out, std::string_view text) {
  std::size_t cut = cut_point(text, kViolationTextLimit);
  if (cut == std::string_view::npos) {
    out.append(text);
  } else {
    out.append(text.substr(0, cut));
    out.append("...");
  }
}

// The UTF-8 of a str whose text may hold lone surrogates: each maximal
// invalid sequence of its "surrogatepass" bytes becomes U+FFFD.
bool append_str_lossy(std::string& out, PyObject* str) {
  Py_ssize_t size = 0;
  if (const char* utf8 = PyUnicode_AsUTF8AndSize(str, &size)) {
    append_shortened(out, {utf8, static_cast<std::size_t>(size)});
    return true;
  }
  PyErr_Clear();
  PyRef bytes = PyRef::steal(PyUnicode_AsEncodedString(str, "utf-8", "surrogatepass"));
  if (!bytes) return false;
  PyRef fixed =
      PyRef::steal(PyUnicode_DecodeUTF8(PyBytes_AS_STRING(bytes.get()), PyBytes_GET_SIZE(bytes.get()), "replace"));
  if (!fixed) return false;
  const char* utf8 = PyUnicode_AsUTF8AndSize(fixed.get(), &size);
  if (utf8 == nullptr) return false;
  append_shortened(out, {utf8, static_cast<std::size_t>(size)});
  return true;
}

bool try_container_route(std::string& out, PyObject* obj) {
  PyObject* repr_object = nullptr;
  try {
    repr_object = value_repr();
  } catch (const PythonError&) {
    PyErr_Clear();
    return false;
  }
  PyObject* args[] = {repr_object, obj};
  PyRef result =
      PyRef::steal(PyObject_VectorcallMethod(kReprName.get(), args, 2 | PY_VECTORCALL_ARGUMENTS_OFFSET, nullptr));
  if (!result || !PyUnicode_Check(result.get())) {
    PyErr_Clear();
    return false;
  }
  Py_ssize_t size = 0;
  const char* utf8 = PyUnicode_AsUTF8AndSize(result.get(), &size);
  if (utf8 == nullptr) {
    PyErr_Clear();
    return false;
  }
  append_shortened(out, {utf8, static_cast<std::size_t>(size)});
  return true;
}

void append_unprintable(std::string& out, PyObject* r) {
  PyRef name = PyRef::steal(PyType_GetName(Py_TYPE(r)));
  const char* utf8 = name ? PyUnicode_AsUTF8AndSize(name.get(), nullptr) : nullptr;
  if (utf8 == nullptr) {
    PyErr_Clear();
    out.append("<unprintable object>");
    return;
  }
  out.append("<unprintable ").append(utf8).append(" object>");
}

void append_hex(std::string& out, uint32_t cp) {
  char buf[16];
  int n = 0;
  do {
    buf[n++] = "0123456789abcdef"[cp & 0xF];
    cp >>= 4;
  } while (cp != 0);
  out.append("\\u{");
  while (n > 0) out.push_back(buf[--n]);
  out.push_back('}');
}

// Decodes one character at text[i] (lone surrogates in their 3-byte form
// included; an invalid byte reads as U+FFFD) and advances i.
uint32_t next_code_point(std::string_view text, std::size_t& i) noexcept {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char c = byte(i);
  std::size_t len = c < 0x80                 ? 1
                    : c >= 0xC2 && c <= 0xDF ? 2
                    : c >= 0xE0 && c <= 0xEF ? 3
                    : c >= 0xF0 && c <= 0xF4 ? 4
                                             : 0;
  if (len == 1) {
    ++i;
    return c;
  }
  if (len == 0 || i + len > text.size()) {
    ++i;
    return 0xFFFD;
  }
  uint32_t cp = c & (0x7F >> len);
  for (std::size_t k = 1; k < len; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) {
      ++i;
      return 0xFFFD;
    }
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  i += len;
  return cp;
}

bool needs_code_escape(uint32_t cp) noexcept {
  if (cp == ' ') return false;
  switch (u_charType(static_cast<UChar32>(cp))) {
    case U_CONTROL_CHAR:
    case U_FORMAT_CHAR:
    case U_SURROGATE:
    case U_PRIVATE_USE_CHAR:
    case U_UNASSIGNED:
    case U_LINE_SEPARATOR:
    case U_PARAGRAPH_SEPARATOR:
    case U_SPACE_SEPARATOR: return true;
    default: return u_hasBinaryProperty(static_cast<UChar32>(cp), UCHAR_GRAPHEME_EXTEND) != 0;
  }
}

}  // namespace

bool is_rendered_as_container(PyObject* obj) noexcept {
  PyTypeObject* type = Py_TYPE(obj);
  if (PyType_FastSubclass(type, Py_TPFLAGS_LIST_SUBCLASS | Py_TPFLAGS_TUPLE_SUBCLASS | Py_TPFLAGS_DICT_SUBCLASS)) {
    return true;
  }
  return type == &PySet_Type || type == &PyFrozenSet_Type || PyType_IsSubtype(type, &PySet_Type) ||
         PyType_IsSubtype(type, &PyFrozenSet_Type);
}

void append_rendered_value(std::string& out, PyObject* obj) {
  if (is_rendered_as_container(obj) && try_container_route(out, obj)) return;
  PyRef r = PyRef::check(PyObject_Repr(obj));
  PyRef s = PyRef::steal(PyObject_Str(r.get()));
  if (!s) {
    PyErr_WriteUnraisable(r.get());
    append_unprintable(out, r.get());
    return;
  }
  if (!append_str_lossy(out, s.get())) {
    // Only exhausted memory gets here; keep the message usable.
    PyErr_Clear();
    append_unprintable(out, r.get());
  }
}

std::string render_value(PyObject* obj) {
  std::string out;
  append_rendered_value(out, obj);
  return out;
}

std::string shorten_text(std::string_view text) {
  std::string out;
  append_shortened(out, text);
  return out;
}

std::string safe_repr(PyObject* obj) {
  try {
    return render_value(obj);
  } catch (const PythonError&) {
    PyErr_Clear();
    return "<unrepresentable>";
  }
}

std::string class_name(PyObject* cls) {
  PyRef name = PyRef::steal(PyObject_GetAttr(cls, kNameName.get()));
  if (name && PyUnicode_Check(name.get())) {
    Py_ssize_t size = 0;
    if (const char* utf8 = PyUnicode_AsUTF8AndSize(name.get(), &size)) {
      return std::string(utf8, static_cast<std::size_t>(size));
    }
  }
  PyErr_Clear();
  return safe_repr(cls);
}

std::string quote_text(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out.push_back('"');
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t start = i;
    uint32_t cp = next_code_point(text, i);
    switch (cp) {
      case '"': out.append("\\\""); continue;
      case '\\': out.append("\\\\"); continue;
      case '\t': out.append("\\t"); continue;
      case '\r': out.append("\\r"); continue;
      case '\n': out.append("\\n"); continue;
      case 0: out.append("\\0"); continue;
      default: break;
    }
    if (needs_code_escape(cp)) {
      append_hex(out, cp);
    } else if (cp == 0xFFFD && i - start == 1) {
      out.append("\xEF\xBF\xBD");  // an invalid byte
    } else {
      out.append(text.substr(start, i - start));
    }
  }
  out.push_back('"');
  return out;
}

}  // namespace tessolin::py
