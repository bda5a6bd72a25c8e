// runtime/ref.cpp: translation of C++ exceptions into Python exceptions.
#include "ref.h"

#include <nanobind/nanobind.h>

#include "env.h"

void nvr_translate_exception() noexcept {
    try {
        throw;
    } catch (nanobind::python_error &e) {
        e.restore();
    } catch (const std::bad_alloc &) {
        PyErr_NoMemory();
    } catch (const std::exception &e) {
        PyErr_SetString(nvy_interf_exc ? nvy_interf_exc : PyExc_RuntimeError, e.what());
    } catch (...) {
        PyErr_SetString(nvy_interf_exc ? nvy_interf_exc : PyExc_RuntimeError,
                        "Unknown internal error");
    }
}
