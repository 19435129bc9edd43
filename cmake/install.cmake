# Installation: both programs into bin/, the public headers under include/corvlin/ (keeping
# their folders, so that <corvlin/model/coding.hpp> works), and a CMake package whose
# find_package(corvlin CONFIG) gives corvlin::json, corvlin::model, corvlin::toolkit,
# corvlin::views, corvlin::protocol, corvlin::protocol_codec, corvlin::extension and
# corvlin::layout.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set_target_properties(corvlin_json PROPERTIES EXPORT_NAME json)
set_target_properties(corvlin_model PROPERTIES EXPORT_NAME model)
set_target_properties(corvlin_toolkit PROPERTIES EXPORT_NAME toolkit)
set_target_properties(corvlin_views PROPERTIES EXPORT_NAME views)
set_target_properties(corvlin_protocol PROPERTIES EXPORT_NAME protocol)
set_target_properties(corvlin_protocol_codec PROPERTIES EXPORT_NAME protocol_codec)
set_target_properties(corvlin_extension PROPERTIES EXPORT_NAME extension)
set_target_properties(corvlin_layout PROPERTIES EXPORT_NAME layout)

# corvlin_warnings carries only compile options; it is exported because the static libraries
# name it among their (private) link dependencies, and its options never reach a consumer.
install(TARGETS corvlin_warnings corvlin_json corvlin_model corvlin_toolkit corvlin_views
        corvlin_protocol corvlin_protocol_codec corvlin_extension corvlin_layout
        EXPORT corvlinTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS corvlin-host corvlin-live-activity-extension
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

foreach(folder json model toolkit views protocol extension layout)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/${folder}/
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/corvlin/${folder}
          FILES_MATCHING PATTERN "*.hpp")
endforeach()

install(EXPORT corvlinTargets NAMESPACE corvlin::
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/corvlin)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/corvlinConfig.cmake.in
  ${PROJECT_BINARY_DIR}/corvlinConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/corvlin)
# find_package(corvlin 0.1 CONFIG) checks the project() version; before 1.0 a minor version
# may change the libraries' interfaces.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/corvlinConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/corvlinConfig.cmake
              ${PROJECT_BINARY_DIR}/corvlinConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/corvlin)
