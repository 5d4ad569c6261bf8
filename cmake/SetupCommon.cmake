# Settings shared by the three builds (native, win64, win32).

option(SETUP_TESTS "Build the tests" ON)
option(SETUP_SANITIZE "Native build: AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(SETUP_FUZZ "Native build: libFuzzer targets (clang only)" OFF)
set(SETUP_PACK_TOOL "" CACHE FILEPATH "Native packaging tool used to append the payload to setup.exe")
# Windows only: builds just the Wine tests, into this directory, where another
# tree has built setup.exe and the device libraries. The 32-bit build makes
# its tests that way (tests/CMakeLists.txt).
set(SETUP_PROGRAM_DIR "" CACHE PATH "Directory of the setup.exe the Wine tests run (tests only)")

# Where the payload starts in every setup.exe: the size of the program it
# replaces, where the releases have always put it. The packaging step pads the
# image to it, the size check holds the image within it, and the tests (as the
# compile definition SETUP_PAYLOAD_OFFSET) and scripts/bench (from the cache)
# take it from here.
set(SETUP_PAYLOAD_OFFSET 231936 CACHE INTERNAL "Offset of the payload in setup.exe")

if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(SETUP_BUILD_NAME win64)
  else()
    set(SETUP_BUILD_NAME win32)
  endif()

  # The program is for a fresh Windows 95 / NT 4.0 desktop: the headers at
  # that level (Windows 95 and NT 4.0; _WIN32_IE at its lowest, Internet
  # Explorer 3.0, since unset commctrl.h takes 5.01, and the shell and common
  # controls of a fresh system, 4.00, are older still). They hide little:
  # mingw-w64's headers guard only what is newer than Windows XP, so
  # GetFileAttributesExA or DS_SHELLFONT still compile here. What holds the
  # program to those systems is its link: setup_image_link() below.
  set(SETUP_WIN_DEFINES WINVER=0x0400 _WIN32_WINDOWS=0x0400 _WIN32_WINNT=0x0400
      _WIN32_IE=0x0300 WIN32_LEAN_AND_MEAN NOMINMAX STRICT)

  # Flags of the shipping program: no exception or RTTI machinery, small.
  # No -fdata-sections: with it mingw puts zero-initialised buffers into
  # .data$name sections, which the linker stores in the file, not in .bss.
  set(SETUP_PROGRAM_CXX_FLAGS -Os -fno-exceptions -fno-rtti -fno-threadsafe-statics
      -ffunction-sections -Wall -Wextra)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # i686 unwinds faults through the frame chain, not tables; x86_64 keeps its
    # unwind tables, which the system needs to dispatch a fault up the stack.
    # The 32-bit program runs on every processor Windows 95 runs on, from the
    # 80386 on (the compilers' default would be the Pentium Pro's cmov).
    list(APPEND SETUP_PROGRAM_CXX_FLAGS -fno-asynchronous-unwind-tables -march=i386)
  endif()
  # The linker's launcher of setup.exe (setup_image_link() below) and the
  # checks of the image are Python scripts.
  find_package(Python3 REQUIRED COMPONENTS Interpreter)

  set(link_small -Wl,--gc-sections -s)   # unused sections dropped, no symbols
  # Programs built of the program's code with the compiler's C runtime (test
  # drivers, benchmarks).
  set(SETUP_PROGRAM_LINK_FLAGS -static -static-libgcc -static-libstdc++ ${link_small})
  # setup.exe itself: its own C runtime and entry point (setup/runtime/), no
  # start-up code or library of the compiler's, so it needs no C runtime DLL
  # and no instruction of a later processor.
  set(SETUP_IMAGE_LINK_FLAGS -nostdlib -nostartfiles ${link_small})
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # DllCharacteristics 0: the linker's default, dynamic base and NX
    # compatible (0x140), are bits defined after Windows 95 and NT 4.0, and
    # what their loaders make of them is not known. The relocations stay, as
    # in every program of that time linked without /FIXED.
    list(APPEND SETUP_IMAGE_LINK_FLAGS
         -Wl,--disable-dynamicbase,--disable-nxcompat,--enable-reloc-section)
  endif()

else()
  if(SETUP_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
  endif()
endif()

# The time in setup.exe's header: SOURCE_DATE_EPOCH when it is set, else the
# time of the source's commit, so that two builds of one commit give the same
# bytes (the linker would stamp the time of the link). Found at every build,
# written only when it changes, so that a new commit relinks the image.
if(WIN32 AND NOT SETUP_PROGRAM_DIR)
  set(SETUP_SOURCE_DATE_FILE ${CMAKE_BINARY_DIR}/source-date-epoch.txt)
  add_custom_target(source_date
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DOUT=${SETUP_SOURCE_DATE_FILE}
            -P ${PROJECT_SOURCE_DIR}/cmake/source_date.cmake
    BYPRODUCTS ${SETUP_SOURCE_DATE_FILE}
    COMMENT "The source's date for the image's header" VERBATIM)
endif()

# Makes the import library of a DLL from a .def file (its LIBRARY line names
# the DLL) and sets VAR to its path. The .def files carry the 32-bit build's
# names (name@bytes), which dlltool -k drops from the imported names, so that
# every function is imported by its plain name; the 64-bit build's names have
# no decoration, which is taken out first.
function(setup_import_library def var)
  get_filename_component(name ${def} NAME_WE)
  set(out_def ${CMAKE_CURRENT_BINARY_DIR}/${name}.def)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    file(READ ${def} text)
    string(REGEX REPLACE "@[0-9]+" "" text "${text}")
    file(CONFIGURE OUTPUT ${out_def} CONTENT "${text}" @ONLY)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def})
  else()
    configure_file(${def} ${out_def} COPYONLY)
  endif()
  set(implib ${CMAKE_CURRENT_BINARY_DIR}/lib${name}-import.a)
  add_custom_command(OUTPUT ${implib}
    COMMAND ${SETUP_DLLTOOL} -k -d ${out_def} -l ${implib}
    DEPENDS ${out_def}
    COMMENT "Import library of ${name}.def" VERBATIM)
  set(${var} ${implib} PARENT_SCOPE)
endfunction()

# Links a program as setup.exe is linked: its own runtime and entry point,
# and of the system DLLs only the functions on the lists of setup/imports/
# (SETUP_SYSTEM_IMPORT_LIBS), each shown to exist in Windows 95 and NT 4.0.
# A call of any other function fails to link, and the linker's launcher
# (cmake/link_image.py) then names the list it is missing from. The header's
# time is the source's date (SETUP_SOURCE_DATE_FILE), not the link's. The
# directory that defines such a program calls setup_no_default_libraries().
function(setup_image_link target)
  target_link_options(${target} PRIVATE ${SETUP_IMAGE_LINK_FLAGS})
  target_link_libraries(${target} PRIVATE ${SETUP_SYSTEM_IMPORT_LIBS})
  add_dependencies(${target} system_import_libs source_date)
  set_target_properties(${target} PROPERTIES LINK_DEPENDS ${SETUP_SOURCE_DATE_FILE} CXX_LINKER_LAUNCHER
      "${Python3_EXECUTABLE};${PROJECT_SOURCE_DIR}/cmake/link_image.py;--source-date;${SETUP_SOURCE_DATE_FILE};${SETUP_SYSTEM_IMPORT_LISTS};--")
endfunction()

# CMake links every Windows program of a directory with the whole import
# libraries of kernel32, user32, gdi32 and more (CMAKE_<LANG>_STANDARD_LIBRARIES),
# which would resolve any call; a directory that links programs with
# setup_image_link() drops them.
macro(setup_no_default_libraries)
  set(CMAKE_C_STANDARD_LIBRARIES "")
  set(CMAKE_CXX_STANDARD_LIBRARIES "")
endmacro()

# Applies the program's flags to a target that is part of setup.exe.
function(setup_program_target target)
  if(WIN32)
    target_compile_definitions(${target} PRIVATE ${SETUP_WIN_DEFINES})
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${SETUP_PROGRAM_CXX_FLAGS}>)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra)
  endif()
endfunction()
