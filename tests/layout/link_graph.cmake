# The targets' links for the graph check (included by CMakeLists.txt): the graph as configured,
# the check of the program's targets, and its probes.

# Every target's links as configured, written once all of them exist: "node|name|type|folder",
# "link|name|target", and "use|name|target" for a link it passes on with its headers. A
# generator expression counts for the targets it names.
function(qv_write_link_graph)
  set(folders ${CMAKE_SOURCE_DIR})
  set(text "")
  while(folders)
    list(POP_FRONT folders dir)
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    list(APPEND folders ${subdirs})
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(t IN LISTS targets)
      get_target_property(type ${t} TYPE)
      get_target_property(folder ${t} QV_FOLDER)
      if(NOT folder)
        file(RELATIVE_PATH folder ${CMAKE_SOURCE_DIR} ${dir})
      endif()
      if(folder STREQUAL "")
        set(folder .)
      endif()
      string(APPEND text "node|${t}|${type}|${folder}\n")
      get_target_property(own ${t} LINK_LIBRARIES)
      get_target_property(passed ${t} INTERFACE_LINK_LIBRARIES)
      set(links)
      set(uses)
      foreach(l IN LISTS own passed)
        if(l MATCHES "^::@" OR l MATCHES "-NOTFOUND$")
          continue()
        endif()
        string(REGEX REPLACE "\\$<[A-Z_]+:|>" "" name "${l}")
        list(APPEND links ${name})
        # What it passes on to those that link it, headers too (not link-only).
        if(l IN_LIST passed AND NOT l MATCHES "^\\$<LINK_ONLY:")
          list(APPEND uses ${name})
        endif()
      endforeach()
      list(REMOVE_DUPLICATES links)
      foreach(l IN LISTS links)
        string(APPEND text "link|${t}|${l}\n")
      endforeach()
      list(REMOVE_DUPLICATES uses)
      foreach(l IN LISTS uses)
        string(APPEND text "use|${t}|${l}\n")
      endforeach()
    endforeach()
  endwhile()
  get_property(file GLOBAL PROPERTY QV_LINK_GRAPH)
  file(WRITE ${file} "${text}")
endfunction()
set_property(GLOBAL PROPERTY QV_LINK_GRAPH ${QV_LINK_GRAPH})
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL qv_write_link_graph)

qv_layout_test(TargetsLinkOnlyDownward ARGS -DGRAPH=${QV_LINK_GRAPH})

# A cycle through a link-only interface, as the routines once had.
add_library(qv_layout_probe_cycle_a INTERFACE)
add_library(qv_layout_probe_cycle_b INTERFACE)
target_link_libraries(qv_layout_probe_cycle_a INTERFACE $<LINK_ONLY:qv_layout_probe_cycle_b>)
target_link_libraries(qv_layout_probe_cycle_b INTERFACE qv_layout_probe_cycle_a)
qv_layout_test(Probe_cycleIsRefused ARGS -DGRAPH=${QV_LINK_GRAPH} -DPROBES=^qv_layout_probe_cycle_
  EXPECT "cycle: qv_layout_probe_cycle_a -> qv_layout_probe_cycle_b -> qv_layout_probe_cycle_a")

# A probe target counted as one of `folder`, that links `link`; the graph check must refuse it.
function(qv_link_probe name folder link expect)
  add_library(qv_layout_probe_${name} INTERFACE)
  target_link_libraries(qv_layout_probe_${name} INTERFACE ${link})
  set_target_properties(qv_layout_probe_${name} PROPERTIES QV_FOLDER ${folder})
  qv_layout_test(Probe_${name}IsRefused ARGS -DGRAPH=${QV_LINK_GRAPH}
    -DPROBES=^qv_layout_probe_${name}$ EXPECT "${expect}")
endfunction()
# A routine of radio/ that links app/, above it.
qv_link_probe(links_up radio quorvin_app
  "qv_layout_probe_links_up \\(radio\\) links quorvin_app \\(app\\), a target above it")
# A routine of shell/ that links Qt itself.
qv_link_probe(links_qt shell Qt6::Widgets
  "qv_layout_probe_links_qt \\(shell\\) links Qt6::Widgets, which only the platform")
# A platform library that passes Qt on to whatever links it.
qv_link_probe(passes_qt platform/probe Qt6::Widgets
  "qv_layout_probe_passes_qt \\(platform/probe\\) passes Qt6::Widgets on")
