# Pimlet.dll: exactly its two exports under their plain names (a module definition file) and its
# progress dialog resource.
set(PIMLET_DEF ${CMAKE_CURRENT_SOURCE_DIR}/exports.def)
target_sources(Pimlet PRIVATE ${PIMLET_DEF} ${CMAKE_CURRENT_SOURCE_DIR}/pimlet.rc)
set_target_properties(Pimlet PROPERTIES PREFIX "" OUTPUT_NAME Pimlet LINK_DEPENDS ${PIMLET_DEF})
target_link_options(Pimlet PRIVATE -Wl,--no-undefined)

# An application of the library, written in C against the public header alone.
add_executable(pimlet-scan example/scan_feeder.c)
target_include_directories(pimlet-scan PRIVATE ${CMAKE_SOURCE_DIR}/include)
target_link_libraries(pimlet-scan PRIVATE Pimlet)
