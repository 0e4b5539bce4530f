# What varnel.exe needs beside it on a Windows PC without Qt or MinGW: the Qt DLLs, the plugins
# Qt loads from the program's folder (the windows platform, the Windows style, JPEG and GIF
# pictures) and the MinGW-w64 runtime. `cmake --install` puts them there with the program, so
# that the installed folder is what the installer packs.

set(_qt_dlls Qt6::Core Qt6::Gui Qt6::Widgets)
foreach(_t ${_qt_dlls})
  install(FILES $<TARGET_FILE:${_t}> DESTINATION ${VARNEL_PROGRAM_DIR})
endforeach()

# Qt's plugins by target: folder beside the program, plugin targets.
set(_plugins
  platforms Qt6::QWindowsIntegrationPlugin
  platforms Qt6::QOffscreenIntegrationPlugin
  styles Qt6::QWindowsVistaStylePlugin
  imageformats Qt6::QJpegPlugin
  imageformats Qt6::QGifPlugin)
list(LENGTH _plugins _n)
math(EXPR _last "${_n} - 1")
foreach(_i RANGE 0 ${_last} 2)
  math(EXPR _j "${_i} + 1")
  list(GET _plugins ${_i} _dir)
  list(GET _plugins ${_j} _target)
  if(TARGET ${_target})
    install(FILES $<TARGET_FILE:${_target}> DESTINATION ${VARNEL_PROGRAM_DIR}/${_dir})
  else()
    message(STATUS "Windows runtime: Qt plugin ${_target} not in this Qt; not installed")
  endif()
endforeach()

# The compiler's runtime DLLs, found where the cross compiler keeps them.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
                OUTPUT_VARIABLE _libstdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libgcc_s_seh-1.dll
                OUTPUT_VARIABLE _libgcc OUTPUT_STRIP_TRAILING_WHITESPACE)
find_file(VARNEL_WINPTHREAD_DLL libwinpthread-1.dll
          PATHS /usr/x86_64-w64-mingw32/lib /usr/x86_64-w64-mingw32/bin NO_DEFAULT_PATH)
foreach(_dll ${_libstdcxx} ${_libgcc} ${VARNEL_WINPTHREAD_DLL})
  if(EXISTS ${_dll})
    install(FILES ${_dll} DESTINATION ${VARNEL_PROGRAM_DIR})
  else()
    message(WARNING "Windows runtime: ${_dll} not found; varnel.exe will need it on the PATH")
  endif()
endforeach()

# The programs' version information and manifest (assets/windows): varnel.rc, varnel-cli.rc and
# varnel-station.rc
# include versioninfo.rc, which reads the version from VarnelVersion.h, written here.
set(VARNEL_VERSION_NUMBERS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},0,0")
configure_file(${CMAKE_SOURCE_DIR}/assets/windows/VarnelVersion.h.in ${CMAKE_BINARY_DIR}/windows/VarnelVersion.h @ONLY)
# varnel's own varnel.rc is among its sources already (app/CMakeLists.txt).
if(TARGET varnel-demo)
  target_sources(varnel-demo PRIVATE ${CMAKE_SOURCE_DIR}/app/varnel.rc)
endif()
if(TARGET varnel-cli)
  target_sources(varnel-cli PRIVATE ${CMAKE_SOURCE_DIR}/cli/varnel-cli.rc)
endif()
if(TARGET varnel-station)
  target_sources(varnel-station PRIVATE ${CMAKE_SOURCE_DIR}/app/station/varnel-station.rc)
endif()
foreach(_program varnel varnel-demo varnel-cli varnel-station)
  if(TARGET ${_program})
    target_include_directories(${_program} PRIVATE ${CMAKE_SOURCE_DIR}/assets/windows ${CMAKE_BINARY_DIR}/windows)
    set_property(SOURCE ${CMAKE_SOURCE_DIR}/app/varnel.rc ${CMAKE_SOURCE_DIR}/cli/varnel-cli.rc
                 ${CMAKE_SOURCE_DIR}/app/station/varnel-station.rc
                 TARGET_DIRECTORY ${_program} APPEND PROPERTY OBJECT_DEPENDS
                 ${CMAKE_SOURCE_DIR}/assets/windows/versioninfo.rc ${CMAKE_SOURCE_DIR}/assets/windows/varnel.manifest
                 ${CMAKE_BINARY_DIR}/windows/VarnelVersion.h)
  endif()
endforeach()
