# Builds for 32-bit x86 on an x86_64 Debian machine with g++-multilib and the
# :i386 development packages. Where the kernel cannot run i386 programs, they
# (tests, test discovery, the host) run under qemu-i386.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)

set(CMAKE_C_FLAGS_INIT "-m32")
set(CMAKE_CXX_FLAGS_INIT "-m32")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-m32")

set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/i386-linux-gnu/pkgconfig:/usr/share/pkgconfig")

# QUILLET_I386_EMULATOR=ON forces the emulator (to test that path on a
# machine that runs i386 natively), OFF forbids it; AUTO decides by trying.
set(QUILLET_I386_EMULATOR "AUTO" CACHE STRING "Run i386 programs under qemu-i386: AUTO, ON or OFF")
if(QUILLET_I386_EMULATOR STREQUAL "AUTO")
  execute_process(COMMAND /lib/ld-linux.so.2 --version
    RESULT_VARIABLE _quillet_native_i386 OUTPUT_QUIET ERROR_QUIET)
  if(_quillet_native_i386 EQUAL 0)
    set(_quillet_use_emulator OFF)
  else()
    set(_quillet_use_emulator ON)
  endif()
else()
  set(_quillet_use_emulator ${QUILLET_I386_EMULATOR})
endif()

if(_quillet_use_emulator)
  find_program(QUILLET_QEMU_I386 qemu-i386 REQUIRED)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${QUILLET_QEMU_I386}")
endif()
