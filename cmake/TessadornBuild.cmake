# Build settings the program's and the simulator's targets share, in this one place: the debug
# information, the linker and the unity build. The top-level CMakeLists.txt applies them to every target
# defined under src/ and sim/ once those folders are read, so a new folder there needs no line
# of its own.

# Debug information: on in a build folder configured by hand (RelWithDebInfo); ./run and ./test
# leave it out (TESSADORN_DEBUG_INFO=OFF), as it costs about a third of the compile time and
# neither needs it.
option(TESSADORN_DEBUG_INFO "compile with debug information" ON)
if(NOT TESSADORN_DEBUG_INFO)
  add_compile_options(-g0)
endif()

# The linker: LLVM's lld where the compiler can use it (scripts/install-deps.sh installs it), as it
# links a program in a fifth of the time of the default one; otherwise the default. The sanitizer
# builds keep the default linker.
include(CheckLinkerFlag)
if(TESSADORN_SANITIZE STREQUAL "")
  check_linker_flag(CXX -fuse-ld=lld TESSADORN_HAVE_LLD)
  if(TESSADORN_HAVE_LLD)
    add_link_options(-fuse-ld=lld)
  endif()
endif()

# Unity build (./run and ./test turn it on): each target's sources are compiled in batches of up
# to eight, so the standard and Qt headers are read once a batch instead of once a source. Names
# local to a source (anonymous namespace, static) must therefore differ between the sources of a
# folder. Off by default, so that a change to one source recompiles that source alone, and in the
# sanitizer builds, so that there every source is compiled alone, with only the headers it
# includes.
# No precompiled headers: GCC 12 does not keep the "#pragma GCC diagnostic" of the headers in
# them, so the warnings libstdc++ and Qt silence in their own code come back.
option(TESSADORN_UNITY "compile the sources of each target in batches (unity build)" OFF)

# tessadorn_target_defaults(<target>...): the shared settings for each compiled target given.
function(tessadorn_target_defaults)
  foreach(target ${ARGN})
    get_target_property(type ${target} TYPE)
    if(NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|OBJECT_LIBRARY)$")
      continue()
    endif()
    if(TESSADORN_UNITY)
      set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
    endif()
  endforeach()
endfunction()

# tessadorn_directory_defaults(<dir>...): the shared settings for every target defined in each
# folder given and in the folders below it.
function(tessadorn_directory_defaults)
  foreach(dir ${ARGN})
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    tessadorn_target_defaults(${targets})
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    if(subdirs)
      tessadorn_directory_defaults(${subdirs})
    endif()
  endforeach()
endfunction()
