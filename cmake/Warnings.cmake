# Every target links tarvik_warnings so that the flags are not only declared but applied.
add_library(tarvik_warnings INTERFACE)
target_compile_options(tarvik_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                                 -Wold-style-cast -Wcast-align -Woverloaded-virtual
                                                 -Wnull-dereference -Wimplicit-fallthrough
                                                 # GCC 12 flags designated initializers that leave
                                                 # members to their defaults; that is their point.
                                                 -Wno-missing-field-initializers)
target_compile_definitions(tarvik_warnings INTERFACE $<$<CONFIG:Debug>:_GLIBCXX_ASSERTIONS>)

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
