# Type libraries: widl makes the header, the GUID definitions and the .tlb from an .idl.
# lumox_idl(<name> <idl file>) creates a static library <name> holding the GUIDs, whose
# include directory has <idl base>.h, and sets <name>_TLB to the .tlb path (for windres).
include_guard(GLOBAL)

find_program(LUMOX_WIDL NAMES widl ${MINGW_TRIPLE}-widl REQUIRED)
set(LUMOX_WIDL_INCLUDE /usr/include/wine/wine/windows CACHE PATH "Folder holding oaidl.idl for widl")
# importlib("stdole2.tlb") only needs the standard types' GUIDs, which are the same in either
# architecture's copy; widl finds the 64-bit one by itself but not for --win32.
find_file(LUMOX_STDOLE2_TLB stdole2.tlb
  PATHS /usr/lib/x86_64-linux-gnu/wine/x86_64-windows /usr/lib/i386-linux-gnu/wine/i386-windows /usr/lib/wine
  NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)


function(lumox_idl name idl)
  get_filename_component(base ${idl} NAME_WE)
  get_filename_component(idl_abs ${idl} ABSOLUTE)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/idl)
  # The type library records the platform: a 64-bit process finds only win64 registrations.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(arch --win64)
  else()
    set(arch --win32)
  endif()
  set(libdir)
  if(LUMOX_STDOLE2_TLB)
    get_filename_component(stdole2_dir ${LUMOX_STDOLE2_TLB} DIRECTORY)
    set(libdir -L${stdole2_dir})
  endif()
  add_custom_command(
    OUTPUT ${out}/${base}.h ${out}/${base}_i.c ${out}/${base}.tlb
    COMMAND ${CMAKE_COMMAND} -E make_directory ${out}
    COMMAND ${LUMOX_WIDL} ${arch} -I${LUMOX_WIDL_INCLUDE} ${libdir}
            -h -H ${out}/${base}.h -u -U ${out}/${base}_i.c -t -T ${out}/${base}.tlb ${idl_abs}
    DEPENDS ${idl_abs}
    COMMENT "widl ${base}.idl"
    VERBATIM)
  add_library(${name} STATIC ${out}/${base}_i.c ${out}/${base}.h)
  target_include_directories(${name} PUBLIC ${out})
  target_link_libraries(${name} PUBLIC uuid ole32 oleaut32)
  set(${name}_TLB ${out}/${base}.tlb PARENT_SCOPE)
endfunction()

# lumox_embed_typelib(<target> <tlb path> <idl library target>): embeds the .tlb in the
# target as resource 1 TYPELIB, so LoadTypeLib on the module path finds it.
function(lumox_embed_typelib target tlb idl_target)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_typelib.rc)
  file(CONFIGURE OUTPUT ${rc} CONTENT "1 TYPELIB \"${tlb}\"\n")
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${tlb})
  target_sources(${target} PRIVATE ${rc})
  add_dependencies(${target} ${idl_target})
endfunction()
