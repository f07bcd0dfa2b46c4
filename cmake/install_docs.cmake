# Documentation and shell integration for `cmake --install`: the manual pages, the bash and zsh
# completion of qnverify, and README, changelog and copyright under share/doc/quarnell-verify/.
# Manual pages and the changelog are installed gzip-compressed, without names or time stamps in
# the compressed files, so that a package built twice holds the same bytes.
include(GNUInstallDirs)

set(QN_PACKAGING_DIR "${CMAKE_CURRENT_LIST_DIR}/../packaging")
set(QN_DOC_DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/quarnell-verify")
find_program(QN_GZIP gzip)

# qn_install_compressed(SOURCE NAME DESTINATION): SOURCE installed as NAME.gz (as NAME without gzip).
set(qn_compressed_outputs)
function(qn_install_compressed source name destination)
  if(QN_GZIP)
    set(staged "${CMAKE_CURRENT_BINARY_DIR}/doc/${name}")
    add_custom_command(OUTPUT "${staged}.gz"
      COMMAND ${CMAKE_COMMAND} -E copy "${source}" "${staged}"
      COMMAND "${QN_GZIP}" -9nf "${staged}"
      DEPENDS "${source}" VERBATIM)
    install(FILES "${staged}.gz" DESTINATION "${destination}")
    set(qn_compressed_outputs ${qn_compressed_outputs} "${staged}.gz" PARENT_SCOPE)
  else()
    install(FILES "${source}" DESTINATION "${destination}" RENAME "${name}")
  endif()
endfunction()

qn_install_compressed("${QN_PACKAGING_DIR}/man/qnverify.1" qnverify.1 "${CMAKE_INSTALL_MANDIR}/man1")
if(TARGET quarnell-verify)
  qn_install_compressed("${QN_PACKAGING_DIR}/man/quarnell-verify.1" quarnell-verify.1 "${CMAKE_INSTALL_MANDIR}/man1")
endif()
qn_install_compressed("${QN_PACKAGING_DIR}/changelog" changelog "${QN_DOC_DESTINATION}")
if(qn_compressed_outputs)
  add_custom_target(qn_compressed_docs ALL DEPENDS ${qn_compressed_outputs})
endif()

install(FILES "${CMAKE_CURRENT_LIST_DIR}/../README.md" "${QN_PACKAGING_DIR}/copyright"
        DESTINATION "${QN_DOC_DESTINATION}")
install(FILES "${QN_PACKAGING_DIR}/completion/qnverify.bash"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/bash-completion/completions" RENAME qnverify)
install(FILES "${QN_PACKAGING_DIR}/completion/_qnverify"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions")
