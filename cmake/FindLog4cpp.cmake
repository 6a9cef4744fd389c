# Finds log4cpp and gives the one imported target Log4cpp::Log4cpp, with its
# headers and library. Used by qorid's own build and, installed beside
# qoridConfig.cmake, by find_package(qorid) in a consumer.
#
# pkg-config's log4cpp.pc where there is one. Debian's log4cpp development
# package is not multi-arch: a cross build can have the target's runtime
# library (liblog4cpp5v5:arm64) but neither a log4cpp.pc nor a
# liblog4cpp.so for it. There the target is made from the runtime library
# and the headers, which are the same for every architecture.
#
# Sets Log4cpp_FOUND.
if(TARGET Log4cpp::Log4cpp)
  set(Log4cpp_FOUND TRUE)
  return()
endif()

find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(Log4cpp_PC QUIET log4cpp)
endif()
find_path(Log4cpp_INCLUDE_DIR log4cpp/Category.hh HINTS ${Log4cpp_PC_INCLUDE_DIRS})
find_library(Log4cpp_LIBRARY NAMES log4cpp liblog4cpp.so.5 HINTS ${Log4cpp_PC_LIBRARY_DIRS})

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Log4cpp
  REQUIRED_VARS Log4cpp_LIBRARY Log4cpp_INCLUDE_DIR
  VERSION_VAR Log4cpp_PC_VERSION)

if(Log4cpp_FOUND)
  add_library(Log4cpp::Log4cpp UNKNOWN IMPORTED)
  set_target_properties(Log4cpp::Log4cpp PROPERTIES
    IMPORTED_LOCATION "${Log4cpp_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${Log4cpp_INCLUDE_DIR}"
    INTERFACE_COMPILE_OPTIONS "${Log4cpp_PC_CFLAGS_OTHER}")
  # log4cpp's own library links the threads library.
  find_package(Threads QUIET)
  if(Threads_FOUND)
    set_property(TARGET Log4cpp::Log4cpp PROPERTY INTERFACE_LINK_LIBRARIES Threads::Threads)
  endif()
endif()
mark_as_advanced(Log4cpp_INCLUDE_DIR Log4cpp_LIBRARY)
