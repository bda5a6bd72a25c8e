# Locates the system and PyPI dependencies and stops early, naming the missing package.

# tsl robin-map (Debian: robin-map-dev), header only.
find_path(NIVRA_ROBIN_MAP_INCLUDE tsl/robin_map.h)
if(NOT NIVRA_ROBIN_MAP_INCLUDE)
  message(FATAL_ERROR "tsl/robin_map.h not found: install the Debian package robin-map-dev "
                      "(apt-get install robin-map-dev)")
endif()

# HiGHS from the PyPI package highsbox: headers and libhighs.so. Only its C API is used, because
# highsbox is built against an older C++ ABI than ours.
execute_process(
  COMMAND "${Python_EXECUTABLE}" -c "import highsbox; print(highsbox.highs_dist_dir())"
  OUTPUT_VARIABLE NIVRA_HIGHS_DIST OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE _highs_rc)
if(NOT _highs_rc EQUAL 0 OR NOT EXISTS "${NIVRA_HIGHS_DIST}/lib/libhighs.so")
  message(FATAL_ERROR "HiGHS not found: install the PyPI package highsbox "
                      "(pip install highsbox) into ${Python_EXECUTABLE}")
endif()
add_library(nivra_highs SHARED IMPORTED GLOBAL)
set_target_properties(nivra_highs PROPERTIES
  IMPORTED_LOCATION "${NIVRA_HIGHS_DIST}/lib/libhighs.so"
  IMPORTED_NO_SONAME OFF
  INTERFACE_INCLUDE_DIRECTORIES "${NIVRA_HIGHS_DIST}/include/highs/interfaces;${NIVRA_HIGHS_DIST}/include/highs;${NIVRA_HIGHS_DIST}/include")
message(STATUS "HiGHS: ${NIVRA_HIGHS_DIST}")

# The engines beyond HiGHS, from Debian: Ipopt (coinor-libipopt-dev; interior-point method for
# continuous problems with quadratic rows) and Bonmin (coinor-libbonmin-dev; mixed-integer
# nonlinear branch-and-bound). Both are used through their C++ interfaces, built with the
# system compiler like libnvra. NIVRA_ENGINE_LIBS is the one list of the engine libraries that
# libnvra links (and that an installed package must be able to find).
find_package(PkgConfig REQUIRED)
pkg_check_modules(NIVRA_IPOPT IMPORTED_TARGET ipopt)
pkg_check_modules(NIVRA_BONMIN IMPORTED_TARGET bonmin)
if(NOT NIVRA_IPOPT_FOUND OR NOT NIVRA_BONMIN_FOUND)
  message(FATAL_ERROR "Ipopt or Bonmin not found: install the Debian packages coinor-libipopt-dev "
                      "and coinor-libbonmin-dev (apt-get install coinor-libipopt-dev "
                      "coinor-libbonmin-dev)")
endif()
set(NIVRA_ENGINE_LIBS PkgConfig::NIVRA_BONMIN PkgConfig::NIVRA_IPOPT)
message(STATUS "Ipopt ${NIVRA_IPOPT_VERSION}, Bonmin ${NIVRA_BONMIN_VERSION}")

if(NIVRA_BUILD_TESTS)
  find_package(GTest QUIET)
  if(NOT GTest_FOUND)
    message(FATAL_ERROR "GoogleTest not found: install the Debian package libgtest-dev "
                        "(apt-get install libgtest-dev)")
  endif()
endif()
