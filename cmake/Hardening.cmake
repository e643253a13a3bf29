# Build options for finding faults: ThreadSanitizer, and the libFuzzer
# targets under fuzz/ (clang only; AddressSanitizer and UndefinedBehaviorSanitizer
# come with them). Both are off by default.
option(SERVO_TSAN "Build with ThreadSanitizer" OFF)
option(SERVO_FUZZ "Build the libFuzzer targets (needs clang)" OFF)

if(SERVO_TSAN)
  if(SERVO_SANITIZE OR SERVO_FUZZ)
    message(FATAL_ERROR "SERVO_TSAN cannot be combined with SERVO_SANITIZE or SERVO_FUZZ")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

if(SERVO_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "SERVO_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++ (scripts/fuzz does)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
