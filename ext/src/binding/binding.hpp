// The binding layer in one include: owned references, errors, trampolines,
// argument parsing, once-cells, interned names, heap types, module filling.
#pragma once

#include "binding/args.hpp"
#include "binding/error.hpp"
#include "binding/heap_type.hpp"
#include "binding/interned.hpp"
#include "binding/module_add.hpp"
#include "binding/once_cell.hpp"
#include "binding/python_error.hpp"
#include "binding/ref.hpp"
#include "binding/trampoline.hpp"
#include "compat.hpp"
