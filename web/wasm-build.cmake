# What the WebAssembly tree (make web) needs before the core is defined: the
# compiler's flags for every target, and zlib compiled from the source of
# Debian's zlib package, which tools/setup --web fetches (emscripten's own
# zlib port would be downloaded from outside).
if(NOT EMSCRIPTEN)
  message(FATAL_ERROR "KELVANE_WEB needs emscripten's toolchain: configure with emcmake cmake")
endif()

# The core reports a failed allocation inside a std::vector (a PNG too large
# for the memory the page may take) by catching std::bad_alloc: exceptions
# must be caught in WebAssembly too.
add_compile_options(-fexceptions)
add_link_options(-fexceptions)

set(KELVANE_ZLIB_SOURCE "" CACHE PATH "zlib's unpacked source (tools/setup --web)")
if(NOT EXISTS "${KELVANE_ZLIB_SOURCE}/zlib.h")
  message(FATAL_ERROR "zlib's source is missing at '${KELVANE_ZLIB_SOURCE}': run tools/setup --web DIR")
endif()
# The library proper: no gz* file functions, which the core does not use.
add_library(kelvane_zlib STATIC)
foreach(file adler32 compress crc32 deflate inffast inflate inftrees trees uncompr zutil)
  target_sources(kelvane_zlib PRIVATE ${KELVANE_ZLIB_SOURCE}/${file}.c)
endforeach()
target_include_directories(kelvane_zlib SYSTEM PUBLIC ${KELVANE_ZLIB_SOURCE})
target_compile_options(kelvane_zlib PRIVATE -w)  # zlib's code, zlib's warnings
add_library(ZLIB::ZLIB ALIAS kelvane_zlib)
