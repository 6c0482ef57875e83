# cmake -DBUILD_DIR=... -DWORK_DIR=... -DDEMO=... -DCONSUMER_SOURCE=... -DGENERATOR=... -DCXX_COMPILER=...
#       -DSANITIZE=ON|OFF -P install_test.cmake
# Installs the build into WORK_DIR/prefix, checks the installed files, imports the demo with the
# installed kzv-import, and builds and runs a host that uses the installed package.
set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

function(run_checked what)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "${what} failed (${result}):\n${out}\n${err}")
    endif()
    set(last_output "${out}" PARENT_SCOPE)
endfunction()

run_checked("cmake --install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

include(GNUInstallDirs)
foreach(installed
        bin/kzv-import
        ${CMAKE_INSTALL_LIBDIR}/libtessavo.so
        ${CMAKE_INSTALL_LIBDIR}/libImp_KZV.so
        ${CMAKE_INSTALL_INCLUDEDIR}/tessavo/plug.h
        ${CMAKE_INSTALL_INCLUDEDIR}/tessavo/host_scene.h
        ${CMAKE_INSTALL_LIBDIR}/cmake/tessavo/tessavoConfig.cmake)
    if(NOT EXISTS ${prefix}/${installed})
        message(FATAL_ERROR "not installed: ${installed}")
    endif()
endforeach()

run_checked("installed kzv-import" ${prefix}/bin/kzv-import -q --summary ${DEMO} -o ${WORK_DIR}/demo.glb)
if(NOT last_output MATCHES "polygons: 30\n" OR NOT EXISTS ${WORK_DIR}/demo.glb)
    message(FATAL_ERROR "installed kzv-import did not import the demo:\n${last_output}")
endif()

set(consumer_flags "")
if(SANITIZE)
    set(consumer_flags "-fsanitize=address,undefined")
endif()
run_checked("configuring a host against the package"
    ${CMAKE_COMMAND} -S ${CONSUMER_SOURCE} -B ${WORK_DIR}/consumer -G ${GENERATOR}
        -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_FLAGS=${consumer_flags})
run_checked("building the host" ${CMAKE_COMMAND} --build ${WORK_DIR}/consumer)
run_checked("running the host" ${WORK_DIR}/consumer/consumer)
if(NOT last_output STREQUAL "CanImport -1 CanExport 0\n")
    message(FATAL_ERROR "unexpected answer of the installed plug-in: ${last_output}")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
