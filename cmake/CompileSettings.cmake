# Compiler and toolkit settings of the program's sources, shared by the main
# project and the fuzzing project (tests/fuzz), so that both compile them alike.
# VELDORA_SANITIZE adds AddressSanitizer and UndefinedBehaviorSanitizer.
set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
if(NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE RelWithDebInfo)
endif()

add_compile_options(-Wall -Wextra)
if(VELDORA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

find_package(Qt5 5.15 REQUIRED COMPONENTS Core)
# Translation lookups use literal ASCII keys; keep QString conversions explicit.
add_compile_definitions(QT_NO_CAST_FROM_BYTEARRAY QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)

# Sources include each other by their path from the root: "support/runtime.h".
get_filename_component(VELDORA_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
include_directories(${VELDORA_ROOT})
