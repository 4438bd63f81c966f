// Shared libraries that only some jobs need (CUPS, cairo, fontconfig,
// FreeType) are opened on the first call of one of their functions instead
// of at start-up: bringing them and everything they depend on into the
// process took longer than a one-page job on the trace driver as a whole.
//
// Each such library has one file that defines, under the library's own
// names, each function the program calls; the definition forwards to the
// library's function, looked up on first use. Call sites stay as they are,
// the compiler checks every definition against the library's header, and
// adding a function is one line:
//
//   TOLVANE_LAZY_FUNCTION(CairoLibrary, cairo_create, 1)
//
// (the library, the function, its number of parameters).
#pragma once

#include <cstddef>
#include <string>
#include <tuple>

namespace tolvane {

struct TLazyLibrary {
  const char* FileName;  // the versioned name, as the loader finds it
  void* Handle;
  bool Failed;           // tried once and said why; not tried again
};

// Opens the library when it is not open yet. False, after a diagnostic the
// first time, when it cannot be loaded.
bool LoadLazyLibrary(TLazyLibrary& library);

// The file the library was loaded from; empty when it is not loaded.
std::string LazyLibraryFile(const TLazyLibrary& library);

// The address of the library's function, or null after a diagnostic when
// the library or the function cannot be found.
void* LazyFunction(TLazyLibrary& library, const char* name);

// The parts of a function's type, taken from the library's declaration.
template <typename TFunction>
struct TLazySignature;
template <typename TResult, typename... TArguments>
struct TLazySignature<TResult (*)(TArguments...)> {
  typedef TResult Result;
  template <size_t Index>
  using Argument = std::tuple_element_t<Index, std::tuple<TArguments...>>;
};

}  // namespace tolvane

// What a function answers when its library cannot be loaded: zero, null or
// nothing, which every caller already reads as a failure or as "none".
#define TOLVANE_LAZY_BODY(library, name, ...)                                          \
  {                                                                                    \
    typedef decltype(&::name) TFunction;                                               \
    static const TFunction function =                                                  \
        reinterpret_cast<TFunction>(::tolvane::LazyFunction(library, #name));          \
    if (!function) return ::tolvane::TLazySignature<TFunction>::Result();              \
    return function(__VA_ARGS__);                                                      \
  }

#define TOLVANE_LAZY_ARG(name, index) ::tolvane::TLazySignature<decltype(&::name)>::Argument<index>
#define TOLVANE_LAZY_RESULT(name) ::tolvane::TLazySignature<decltype(&::name)>::Result

#define TOLVANE_LAZY_FUNCTION_0(library, name) \
  extern "C" TOLVANE_LAZY_RESULT(name) name() TOLVANE_LAZY_BODY(library, name)
#define TOLVANE_LAZY_FUNCTION_1(library, name)                           \
  extern "C" TOLVANE_LAZY_RESULT(name) name(TOLVANE_LAZY_ARG(name, 0) a) \
      TOLVANE_LAZY_BODY(library, name, a)
#define TOLVANE_LAZY_FUNCTION_2(library, name)                                                 \
  extern "C" TOLVANE_LAZY_RESULT(name) name(TOLVANE_LAZY_ARG(name, 0) a,                       \
                                            TOLVANE_LAZY_ARG(name, 1) b)                       \
      TOLVANE_LAZY_BODY(library, name, a, b)
#define TOLVANE_LAZY_FUNCTION_3(library, name)                                                 \
  extern "C" TOLVANE_LAZY_RESULT(name) name(                                                   \
      TOLVANE_LAZY_ARG(name, 0) a, TOLVANE_LAZY_ARG(name, 1) b, TOLVANE_LAZY_ARG(name, 2) c)   \
      TOLVANE_LAZY_BODY(library, name, a, b, c)
#define TOLVANE_LAZY_FUNCTION_4(library, name)                                                 \
  extern "C" TOLVANE_LAZY_RESULT(name) name(                                                   \
      TOLVANE_LAZY_ARG(name, 0) a, TOLVANE_LAZY_ARG(name, 1) b, TOLVANE_LAZY_ARG(name, 2) c,   \
      TOLVANE_LAZY_ARG(name, 3) d) TOLVANE_LAZY_BODY(library, name, a, b, c, d)
#define TOLVANE_LAZY_FUNCTION_5(library, name)                                                 \
  extern "C" TOLVANE_LAZY_RESULT(name) name(                                                   \
      TOLVANE_LAZY_ARG(name, 0) a, TOLVANE_LAZY_ARG(name, 1) b, TOLVANE_LAZY_ARG(name, 2) c,   \
      TOLVANE_LAZY_ARG(name, 3) d, TOLVANE_LAZY_ARG(name, 4) e)                                \
      TOLVANE_LAZY_BODY(library, name, a, b, c, d, e)
#define TOLVANE_LAZY_FUNCTION_6(library, name)                                                 \
  extern "C" TOLVANE_LAZY_RESULT(name) name(                                                   \
      TOLVANE_LAZY_ARG(name, 0) a, TOLVANE_LAZY_ARG(name, 1) b, TOLVANE_LAZY_ARG(name, 2) c,   \
      TOLVANE_LAZY_ARG(name, 3) d, TOLVANE_LAZY_ARG(name, 4) e, TOLVANE_LAZY_ARG(name, 5) f)   \
      TOLVANE_LAZY_BODY(library, name, a, b, c, d, e, f)
#define TOLVANE_LAZY_FUNCTION_7(library, name)                                                 \
  extern "C" TOLVANE_LAZY_RESULT(name) name(                                                   \
      TOLVANE_LAZY_ARG(name, 0) a, TOLVANE_LAZY_ARG(name, 1) b, TOLVANE_LAZY_ARG(name, 2) c,   \
      TOLVANE_LAZY_ARG(name, 3) d, TOLVANE_LAZY_ARG(name, 4) e, TOLVANE_LAZY_ARG(name, 5) f,   \
      TOLVANE_LAZY_ARG(name, 6) g) TOLVANE_LAZY_BODY(library, name, a, b, c, d, e, f, g)
#define TOLVANE_LAZY_FUNCTION_8(library, name)                                                 \
  extern "C" TOLVANE_LAZY_RESULT(name) name(                                                   \
      TOLVANE_LAZY_ARG(name, 0) a, TOLVANE_LAZY_ARG(name, 1) b, TOLVANE_LAZY_ARG(name, 2) c,   \
      TOLVANE_LAZY_ARG(name, 3) d, TOLVANE_LAZY_ARG(name, 4) e, TOLVANE_LAZY_ARG(name, 5) f,   \
      TOLVANE_LAZY_ARG(name, 6) g, TOLVANE_LAZY_ARG(name, 7) h)                                \
      TOLVANE_LAZY_BODY(library, name, a, b, c, d, e, f, g, h)

#define TOLVANE_LAZY_FUNCTION(library, name, parameters) \
  TOLVANE_LAZY_FUNCTION_##parameters(library, name)
