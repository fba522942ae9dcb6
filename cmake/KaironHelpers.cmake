# kairon_add_test(NAME <name> SOURCES <src...> LIBS <libs...> [LABELS <labels...>] [ENV <VAR=value...>])
# A GoogleTest executable in tests/ of the build tree; each test case becomes a CTest test.
function(kairon_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  set_target_properties(${T_NAME} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${KAIRON_TEST_OUTPUT_DIR}
    INSTALL_RPATH "$ORIGIN/../${KAIRON_LIB_DIR}")
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  gtest_discover_tests(${T_NAME}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES TIMEOUT ${T_TIMEOUT})
  # List-valued properties (ENVIRONMENT, LABELS) lose all but their first
  # entry on their way through gtest_discover_tests, so they are set by a
  # script that CTest runs after the discovered tests are defined.
  set(test_env KAIRON_BUILD_DIR=${CMAKE_BINARY_DIR} KAIRON_SOURCE_DIR=${CMAKE_SOURCE_DIR} QT_QPA_PLATFORM=offscreen ${T_ENV})
  set(props_file ${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}_properties.cmake)
  file(WRITE ${props_file}
    "if(${T_NAME}_TESTS)\n"
    "  set_tests_properties(\${${T_NAME}_TESTS} PROPERTIES ENVIRONMENT \"${test_env}\" LABELS \"${T_LABELS}\")\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${props_file})
endfunction()

# kairon_add_benchmark(NAME <name> SOURCES <src...> LIBS <libs...>)
function(kairon_add_benchmark)
  if(NOT KAIRON_BENCHMARKS)
    return()
  endif()
  cmake_parse_arguments(B "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${B_NAME} ${B_SOURCES})
  target_link_libraries(${B_NAME} PRIVATE ${B_LIBS} benchmark::benchmark Threads::Threads)
  set_target_properties(${B_NAME} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench
    INSTALL_RPATH "$ORIGIN/../${KAIRON_LIB_DIR}")
endfunction()

# kairon_add_bundle(TARGET <target> NAME <BundleName> EXTENSION <plugin|bundle>
#                   PRINCIPAL_CLASS <class> SOURCES <src...> [LIBS <libs...>]
#                   [RESOURCES <files...>] [DESTINATION <dir relative to the tree root>]
#                   [NO_INSTALL])
# A bundle is a folder <BundleName>.<ext>/ holding Info.ini (with NSPrincipalClass
# and Executable), the shared object <BundleName>.so and a Resources/ folder.
# Defaults to the application's built-in plug-ins folder. NO_INSTALL: a test
# fixture, kept out of `cmake --install`.
function(kairon_add_bundle)
  cmake_parse_arguments(B "NO_INSTALL" "TARGET;NAME;EXTENSION;PRINCIPAL_CLASS;DESTINATION" "SOURCES;LIBS;RESOURCES" ${ARGN})
  if(NOT B_EXTENSION)
    set(B_EXTENSION plugin)
  endif()
  if(NOT B_DESTINATION)
    set(B_DESTINATION ${KAIRON_PLUGINS_DIR})
  endif()
  set(bundle_rel ${B_DESTINATION}/${B_NAME}.${B_EXTENSION})
  set(bundle_dir ${CMAKE_BINARY_DIR}/${bundle_rel})
  add_library(${B_TARGET} MODULE ${B_SOURCES})
  target_link_libraries(${B_TARGET} PRIVATE ${B_LIBS})
  # Plug-ins resolve the host's plug-in contracts from the running executable.
  file(RELATIVE_PATH to_lib ${bundle_dir} ${CMAKE_BINARY_DIR}/${KAIRON_LIB_DIR})
  set_target_properties(${B_TARGET} PROPERTIES
    PREFIX "" OUTPUT_NAME ${B_NAME}
    LIBRARY_OUTPUT_DIRECTORY ${bundle_dir}
    INSTALL_RPATH "$ORIGIN/${to_lib}")
  file(WRITE ${bundle_dir}/Info.ini
    "[Bundle]\nNSPrincipalClass=${B_PRINCIPAL_CLASS}\nExecutable=${B_NAME}.so\n")
  file(MAKE_DIRECTORY ${bundle_dir}/Resources)
  foreach(res ${B_RESOURCES})
    get_filename_component(res_name ${res} NAME)
    add_custom_command(TARGET ${B_TARGET} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_CURRENT_SOURCE_DIR}/${res} ${bundle_dir}/Resources/${res_name})
  endforeach()
  if(NOT B_NO_INSTALL)
    install(DIRECTORY ${bundle_dir} DESTINATION ${B_DESTINATION} USE_SOURCE_PERMISSIONS
            PATTERN "*.so" EXCLUDE)
    install(TARGETS ${B_TARGET} LIBRARY DESTINATION ${bundle_rel})
  endif()
  set(${B_TARGET}_BUNDLE_DIR ${bundle_dir} PARENT_SCOPE)
endfunction()
