# Every target links tarvik_warnings so that the flags are not only declared but applied.
add_library(tarvik_warnings INTERFACE)
target_compile_options(tarvik_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                                 -Wold-style-cast -Wcast-align -Woverloaded-virtual
                                                 -Wnull-dereference -Wimplicit-fallthrough
                                                 # GCC 12 flags designated initializers that leave
                                                 # members to their defaults; that is their point.
                                                 -Wno-missing-field-initializers)
target_compile_definitions(tarvik_warnings INTERFACE $<$<CONFIG:Debug>:_GLIBCXX_ASSERTIONS>)
# Optimising, GCC 12 sees overlapping copies inside libstdc++'s own string concatenation
# (GCC bug 105329); the copies are the library's, and GCC 13 no longer reports them.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(tarvik_warnings INTERFACE -Wno-restrict)
endif()

if(TARVIK_SANITIZE)
    target_compile_options(tarvik_warnings INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                                                     -fno-sanitize-recover=undefined)
    target_link_options(tarvik_warnings INTERFACE -fsanitize=address,undefined)
endif()

if(TARVIK_BUILD_FUZZ)
    # Coverage counters for libFuzzer in every object; only the harnesses link its driver.
    target_compile_options(tarvik_warnings INTERFACE -fsanitize=fuzzer-no-link,address,undefined
                                                     -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(tarvik_warnings INTERFACE -fsanitize=address,undefined)
endif()
