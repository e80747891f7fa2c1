# The repository ships a development log key pair whose private half is public: a build that
# encrypts its users' logs for it protects nothing. Release builds say so when they are configured.
cmake_path(GET CMAKE_CURRENT_LIST_DIR PARENT_PATH zephlin_root)
set(ZEPHLIN_DEV_LOG_KEY "${zephlin_root}/tools/dev-log-key-DEVELOPMENT-ONLY")

# Warns when a Release or MinSizeRel build uses the development public key (compared by content,
# so a copy of it under another name is caught too).
function(zephlin_check_log_key build_type public_key)
  if(NOT build_type MATCHES "^(Release|MinSizeRel)$" OR NOT EXISTS "${public_key}")
    return()
  endif()
  file(SHA256 "${public_key}" key_hash)
  file(SHA256 "${ZEPHLIN_DEV_LOG_KEY}.pub.pem" dev_hash)
  if(key_hash STREQUAL dev_hash)
    message(WARNING "This ${build_type} build encrypts its diagnostic log for the DEVELOPMENT key, whose "
      "private half is in the repository: anyone could read its users' logs. Set ZEPHLIN_LOG_PUBLIC_KEY "
      "to the public half of your own key pair (README, \"Your own log key pair\").")
  endif()
endfunction()
