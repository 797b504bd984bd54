# Runs the build's Windows programs under Wine: a private prefix inside the build folder,
# a Chinese locale by default, and a private X server when there is no display.
# The prefix matches the build: a 64-bit program needs a 64-bit prefix.
if(UPDATE_ARCH STREQUAL x64)
  set(UPDATE_WINEARCH win64)
else()
  set(UPDATE_WINEARCH win32)
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-fonts.reg ${CMAKE_BINARY_DIR}/wine-fonts.reg COPYONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-x11.reg ${CMAKE_BINARY_DIR}/wine-x11.reg COPYONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
