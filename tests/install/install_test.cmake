# Installs the build into a temporary prefix, moves the prefix elsewhere (so
# nothing may rely on the path it was installed to), and checks that the
# installed programs find their data and give the same results as the ones
# in the build tree.
#
#   cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=... -DGUI=ON|OFF -P install_test.cmake

foreach(var BUILD_DIR SOURCE_DIR WORK_DIR)
  if(NOT ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

function(run)
  cmake_parse_arguments(R "" "WORKING_DIRECTORY;RESULT;OUTPUT;ERROR" "COMMAND" ${ARGN})
  if(NOT R_WORKING_DIRECTORY)
    set(R_WORKING_DIRECTORY ${WORK_DIR})
  endif()
  execute_process(COMMAND ${R_COMMAND} WORKING_DIRECTORY ${R_WORKING_DIRECTORY}
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(${R_RESULT} "${result}" PARENT_SCOPE)
  set(${R_OUTPUT} "${out}" PARENT_SCOPE)
  if(R_ERROR)
    set(${R_ERROR} "${err}" PARENT_SCOPE)
  endif()
endfunction()

function(expect_same what a b)
  if(NOT "${a}" STREQUAL "${b}")
    message(FATAL_ERROR "${what} differ:\n--- build tree\n${a}\n--- installed\n${b}")
  endif()
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

# Install, then move the whole prefix.
run(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/installed-here
    RESULT result OUTPUT out ERROR err)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${result}):\n${out}\n${err}")
endif()
file(RENAME ${WORK_DIR}/installed-here ${WORK_DIR}/moved)
set(P ${WORK_DIR}/moved)

set(expected
  bin/quorvel-cli bin/asm51 share/quorvel/Assembler/Mod51
  share/applications/quorvel.desktop share/icons/hicolor/scalable/apps/quorvel.svg)
if(GUI)
  list(APPEND expected bin/quorvel share/quorvel/help/index.html)
endif()
foreach(entry Demo1 Demo2 Demo3 Demo4 Demo5 Demo6 Demo7 Demo8 Demo9 Demo10 Demo11
              Project1 Project2 Project3)
  list(APPEND expected share/quorvel/DemoPrograms/${entry}.HEX share/quorvel/DemoPrograms/${entry}.MST)
endforeach()
# Screen settings go along when the build wrote any.
file(GLOB built_sst RELATIVE ${BUILD_DIR}/DemoPrograms ${BUILD_DIR}/DemoPrograms/*.SST)
foreach(sst IN LISTS built_sst)
  list(APPEND expected share/quorvel/DemoPrograms/${sst})
endforeach()
foreach(file IN LISTS expected)
  if(NOT EXISTS ${P}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
foreach(file Demo3.HEX Demo3.MST Demo7.HEX)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${BUILD_DIR}/DemoPrograms/${file}
                          ${P}/share/quorvel/DemoPrograms/${file} RESULT_VARIABLE differs)
  if(differs)
    message(FATAL_ERROR "installed ${file} differs from the built one")
  endif()
endforeach()

file(READ ${P}/share/applications/quorvel.desktop desktop)
foreach(line "Type=Application" "Exec=quorvel %f" "Icon=quorvel")
  string(FIND "${desktop}" "${line}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "quorvel.desktop lacks '${line}'")
  endif()
endforeach()
if(GUI)
  file(READ ${P}/share/metainfo/quorvel.metainfo.xml metainfo)
  string(FIND "${metainfo}" "<project_license>MIT</project_license>" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "quorvel.metainfo.xml does not name the MIT License")
  endif()
  file(READ ${P}/share/doc/quorvel/LICENSE license)
  string(FIND "${license}" "Quorvel Simulator developers" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "LICENSE not installed with its copyright line")
  endif()
endif()

# asm51 from both places, each in a folder of its own holding only the
# source: the installed one must find its Mod51 in the data folder.
foreach(side build installed)
  file(MAKE_DIRECTORY ${WORK_DIR}/asm-${side})
  file(COPY ${SOURCE_DIR}/resources/DemoPrograms/src/Demo7.asm DESTINATION ${WORK_DIR}/asm-${side})
endforeach()
run(COMMAND ${BUILD_DIR}/Assembler/asm51 Demo7 WORKING_DIRECTORY ${WORK_DIR}/asm-build
    RESULT build_result OUTPUT build_out)
run(COMMAND ${P}/bin/asm51 Demo7 WORKING_DIRECTORY ${WORK_DIR}/asm-installed
    RESULT installed_result OUTPUT installed_out)
if(NOT build_result EQUAL 0 OR NOT installed_result EQUAL 0)
  message(FATAL_ERROR "asm51 failed: build ${build_result}, installed ${installed_result}\n"
                      "${build_out}\n${installed_out}")
endif()
expect_same("asm51 messages" "${build_out}" "${installed_out}")
foreach(ext hex lst)
  file(READ ${WORK_DIR}/asm-build/Demo7.${ext} built)
  file(READ ${WORK_DIR}/asm-installed/Demo7.${ext} installed)
  expect_same("Demo7.${ext}" "${built}" "${installed}")
endforeach()

# The installed asm51 reads the installed Mod51 on $MOD51: a name added to
# that file only is known.
file(APPEND ${P}/share/quorvel/Assembler/Mod51 "QPROBE  EQU   5AH\n")
file(MAKE_DIRECTORY ${WORK_DIR}/asm-probe)
file(WRITE ${WORK_DIR}/asm-probe/probe.asm "$MOD51\n        ORG 0\n        MOV A,#QPROBE\n        END\n")
run(COMMAND ${P}/bin/asm51 probe WORKING_DIRECTORY ${WORK_DIR}/asm-probe RESULT result OUTPUT out)
file(READ ${WORK_DIR}/asm-probe/probe.hex probe_hex)
string(FIND "${probe_hex}" "745A" at)
if(NOT result EQUAL 0 OR at EQUAL -1)
  message(FATAL_ERROR "the installed asm51 did not read the installed Mod51 (${result}):\n${out}\n${probe_hex}")
endif()

# quorvel-cli on the installed demonstration against the built one.
set(cli_args --device AT89C52 --max-cycles 300000 --dump lcd --dump regs --json)
run(COMMAND ${BUILD_DIR}/quorvel-cli ${cli_args} --modules ${BUILD_DIR}/DemoPrograms/Demo3.MST
            ${BUILD_DIR}/DemoPrograms/Demo3.HEX
    RESULT build_result OUTPUT build_out)
run(COMMAND ${P}/bin/quorvel-cli ${cli_args} --modules ${P}/share/quorvel/DemoPrograms/Demo3.MST
            ${P}/share/quorvel/DemoPrograms/Demo3.HEX
    RESULT installed_result OUTPUT installed_out)
if(NOT build_result EQUAL installed_result)
  message(FATAL_ERROR "quorvel-cli ended with ${build_result} from the build, ${installed_result} installed")
endif()
string(REPLACE "${BUILD_DIR}/DemoPrograms" "DEMOS" build_out "${build_out}")
string(REPLACE "${P}/share/quorvel/DemoPrograms" "DEMOS" installed_out "${installed_out}")
expect_same("quorvel-cli results" "${build_out}" "${installed_out}")
string(FIND "${installed_out}" "lcd" at)
if(at EQUAL -1)
  message(FATAL_ERROR "quorvel-cli printed no LCD dump:\n${installed_out}")
endif()

if(GUI)
  # Without a display the simulator says how to start it; --help works anyway.
  run(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY --unset=QT_QPA_PLATFORM
              ${P}/bin/quorvel RESULT result OUTPUT out ERROR err)
  string(FIND "${err}" "xvfb-run" at)
  if(result EQUAL 0 OR at EQUAL -1)
    message(FATAL_ERROR "quorvel without a display: result ${result}, said:\n${err}")
  endif()
  run(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY --unset=QT_QPA_PLATFORM
              ${P}/bin/quorvel --help RESULT result OUTPUT out ERROR err)
  string(FIND "${out}" "--start-dir" at)
  if(NOT result EQUAL 0 OR at EQUAL -1)
    message(FATAL_ERROR "quorvel --help: result ${result}\n${out}\n${err}")
  endif()
endif()

# The Python module from the moved prefix, found through PYTHONPATH: it
# runs the installed demonstration as the build's does.
if(PYTHON)
  # Lines, not semicolons: run() passes its arguments on as a CMake list.
  string(CONCAT script "import quorvel, sys\nb = quorvel.Board(modules=sys.argv[2])\nb.load(sys.argv[1])\n"
                      "b.run(timeout_ms=200)\nprint(quorvel.__file__)\nprint(b.lcd.lines())")
  run(COMMAND ${CMAKE_COMMAND} -E env PYTHONPATH=${P}/lib/python3/dist-packages
              ${PYTHON} -c "${script}" ${P}/share/quorvel/DemoPrograms/Demo3.HEX
              ${P}/share/quorvel/DemoPrograms/Demo3.MST
      RESULT result OUTPUT out ERROR err)
  string(FIND "${out}" "${P}/lib/python3/dist-packages/quorvel/__init__.py" from_prefix)
  string(FIND "${out}" "8051 Family Demo 3" shown)
  if(NOT result EQUAL 0 OR from_prefix EQUAL -1 OR shown EQUAL -1)
    message(FATAL_ERROR "the installed Python module did not run the demonstration (${result}):\n${out}\n${err}")
  endif()
endif()

file(REMOVE_RECURSE ${WORK_DIR})
message(STATUS "installed programs match the build tree")
