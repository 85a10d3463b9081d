# Pimlet.dll: exactly its two exports under their plain names (a module definition file; on
# 32-bit Windows the __stdcall names lose their "@n" in the export table), its progress dialog
# resource, and an import library that still links __stdcall callers.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(PIMLET_ARGS_SCANTOFILE "@24")
  set(PIMLET_ARGS_GETPAPERLOADED "@0")
  target_link_options(Pimlet PRIVATE -Wl,--kill-at)
else()
  set(PIMLET_ARGS_SCANTOFILE "")
  set(PIMLET_ARGS_GETPAPERLOADED "")
endif()
set(PIMLET_DEF ${CMAKE_CURRENT_BINARY_DIR}/Pimlet.def)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/exports.def.in ${PIMLET_DEF} @ONLY)
target_sources(Pimlet PRIVATE ${PIMLET_DEF} ${CMAKE_CURRENT_SOURCE_DIR}/pimlet.rc)
set_target_properties(Pimlet PROPERTIES PREFIX "" OUTPUT_NAME Pimlet LINK_DEPENDS ${PIMLET_DEF})
target_link_options(Pimlet PRIVATE -Wl,--no-undefined)
# The linker's own import library would name the undecorated exports; dlltool writes one whose
# symbols keep the decoration callers compiled against the header look for.
find_program(MIRT_DLLTOOL NAMES ${MIRT_MINGW_TRIPLET}-dlltool dlltool REQUIRED)
add_custom_command(TARGET Pimlet POST_BUILD
  COMMAND ${MIRT_DLLTOOL} --kill-at --input-def ${PIMLET_DEF} --dllname Pimlet.dll
          --output-lib $<TARGET_LINKER_FILE:Pimlet>
  COMMENT "Writing Pimlet's import library")

# An application of the library, written in C against the public header alone.
add_executable(pimlet-scan example/scan_feeder.c)
target_include_directories(pimlet-scan PRIVATE ${CMAKE_SOURCE_DIR}/include)
target_link_libraries(pimlet-scan PRIVATE Pimlet)
