# ARM64 Windows with Debian's clang-19 and lld-19, against the sysroot scripts/arm64-sysroot.sh
# makes: mingw-w64's headers and UCRT CRT, compiler-rt's builtins, libunwind and libc++.
# RADIOSWITCH_ARM64_SYSROOT names another sysroot of that layout; by default the script runs at
# the first configure and its sysroot is used. RADIOSWITCH_STRIP, RADIOSWITCH_OBJDUMP,
# RADIOSWITCH_READOBJ and RADIOSWITCH_WINDMC name the tools that go with it (GNU binutils
# can't read ARM64 images).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(RADIOSWITCH_TRIPLE aarch64-w64-mingw32)
set(llvm_bin /usr/lib/llvm-19/bin)

# The script is quick when its sysroot is current, and makes it again when it is not.
if(NOT RADIOSWITCH_ARM64_SYSROOT)
  execute_process(COMMAND "${CMAKE_CURRENT_LIST_DIR}/../scripts/arm64-sysroot.sh"
                  OUTPUT_VARIABLE made OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "scripts/arm64-sysroot.sh could not make the ARM64 sysroot")
  endif()
  string(REGEX REPLACE ".*\n" "" made "${made}")
  set(RADIOSWITCH_ARM64_SYSROOT "${made}" CACHE PATH "ARM64 Windows sysroot")
endif()
# try_compile projects read this file again: they get the same sysroot.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES RADIOSWITCH_ARM64_SYSROOT)
set(resource_dir "${RADIOSWITCH_ARM64_SYSROOT}/lib/clang/19")

set(CMAKE_SYSROOT "${RADIOSWITCH_ARM64_SYSROOT}")
foreach(lang C CXX ASM)
  set(CMAKE_${lang}_COMPILER_TARGET ${RADIOSWITCH_TRIPLE})
  set(CMAKE_${lang}_FLAGS_INIT "-resource-dir=${resource_dir}")
endforeach()
set(CMAKE_C_COMPILER ${llvm_bin}/clang)
set(CMAKE_CXX_COMPILER ${llvm_bin}/clang++)
set(CMAKE_ASM_COMPILER ${llvm_bin}/clang)
string(APPEND CMAKE_CXX_FLAGS_INIT " -stdlib=libc++")
# Link-only options stay off compile lines, where clang would call them unused.
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-fuse-ld=lld -rtlib=compiler-rt -unwindlib=libunwind")
endforeach()
set(CMAKE_AR ${llvm_bin}/llvm-ar)
set(CMAKE_RANLIB ${llvm_bin}/llvm-ranlib)
set(CMAKE_STRIP ${llvm_bin}/llvm-strip)
set(CMAKE_OBJDUMP ${llvm_bin}/llvm-objdump)
set(RADIOSWITCH_STRIP ${llvm_bin}/llvm-strip)
set(RADIOSWITCH_OBJDUMP ${llvm_bin}/llvm-objdump)
set(RADIOSWITCH_READOBJ ${llvm_bin}/llvm-readobj)
# windmc's header and .bin files are the same for every architecture.
set(RADIOSWITCH_WINDMC x86_64-w64-mingw32-windmc)

# llvm-windres stores MESSAGETABLE as a named type, which FormatMessage can't find; GNU
# windres writes type 11. It can't write an ARM64 object, but its .res output carries no
# architecture and lld links it as it is. The later -O overrides CMake's "-O coff"; the
# resource script is preprocessed for ARM64 (_M_ARM64, the sysroot's headers).
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_RC_FLAGS_INIT "-O res --preprocessor=${llvm_bin}/clang")
foreach(arg -E -xc -DRC_INVOKED --target=${RADIOSWITCH_TRIPLE} --sysroot=${RADIOSWITCH_ARM64_SYSROOT}
            -resource-dir=${resource_dir})
  string(APPEND CMAKE_RC_FLAGS_INIT " --preprocessor-arg=${arg}")
endforeach()

set(CMAKE_FIND_ROOT_PATH "${RADIOSWITCH_ARM64_SYSROOT}/${RADIOSWITCH_TRIPLE}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
