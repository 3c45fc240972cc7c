# The program's routines (state/, ui/, radio/, shell/, app/) see the platform layer's public
# headers and nothing of what it builds on. Qt's headers are off their path because the platform
# libraries link Qt privately; libmpv's and SQLite's sit in the compiler's own folder
# (/usr/include), so the routines compile with the compiler's folders in place of its defaults,
# each one that holds a hidden header mirrored without it (links to everything else). A routine
# that includes one of them finds no such file.

# The headers the routines must not reach.
find_path(QV_MPV_HEADERS mpv/client.h HINTS ${MPV_INCLUDEDIR})
set(QV_HIDDEN_HEADERS ${QV_MPV_HEADERS}/mpv ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_HEADERS})
foreach(dir IN LISTS SQLite3_INCLUDE_DIRS)
  list(APPEND QV_HIDDEN_HEADERS ${dir}/sqlite3.h ${dir}/sqlite3ext.h)
endforeach()

# Mirrors folder `from` at `to`: a link to each entry, none for a hidden one, and a mirror of its
# own for a folder that holds one.
function(qv_mirror_folder from to)
  file(MAKE_DIRECTORY ${to})
  file(GLOB entries LIST_DIRECTORIES true RELATIVE ${from} ${from}/*)
  foreach(entry IN LISTS entries)
    set(path ${from}/${entry})
    set(holds FALSE)
    foreach(hidden IN LISTS QV_HIDDEN_HEADERS)
      if(hidden STREQUAL path)
        set(holds HIDDEN)
        break()
      endif()
      string(FIND "${hidden}" "${path}/" at)
      if(at EQUAL 0)
        set(holds TRUE)
      endif()
    endforeach()
    if(holds STREQUAL HIDDEN)
      continue()
    elseif(holds)
      qv_mirror_folder(${path} ${to}/${entry})
    elseif(NOT EXISTS ${to}/${entry} AND NOT IS_SYMLINK ${to}/${entry})
      file(CREATE_LINK ${path} ${to}/${entry} SYMBOLIC)
    endif()
  endforeach()
endfunction()

# The compiler's own folders, in its order, each mirrored where it holds a hidden header.
set(QV_SEALED_INCLUDES -nostdinc)
set(index 0)
foreach(dir IN LISTS CMAKE_CXX_IMPLICIT_INCLUDE_DIRECTORIES)
  set(sealed ${dir})
  foreach(hidden IN LISTS QV_HIDDEN_HEADERS)
    string(FIND "${hidden}" "${dir}/" at)
    if(at EQUAL 0)
      set(sealed ${CMAKE_BINARY_DIR}/sealed-include/${index})
      qv_mirror_folder(${dir} ${sealed})
      break()
    endif()
  endforeach()
  list(APPEND QV_SEALED_INCLUDES -isystem${sealed})
  math(EXPR index "${index} + 1")
endforeach()

# A target of the program's routines, sealed as above.
function(qv_seal_routines target)
  target_compile_options(${target} PRIVATE ${QV_SEALED_INCLUDES})
  set_target_properties(${target} PROPERTIES AUTOMOC OFF)
endfunction()

function(qv_routines_library name)
  cmake_parse_arguments(R "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${R_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include)
  target_link_libraries(${name} PUBLIC ${R_LIBS})
  qv_seal_routines(${name})
endfunction()
