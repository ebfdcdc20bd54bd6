# LibTomCrypt from third_party/, reduced to what SQLCipher's provider calls: AES in CBC mode,
# SHA-1/256/512 with HMAC, PBKDF2 (PKCS #5) and the Fortuna generator.
set(KB_LTC_ARCHIVE ${CMAKE_SOURCE_DIR}/third_party/libtomcrypt_1.18.2.orig.tar.xz)
set(KB_LTC_DIR ${CMAKE_BINARY_DIR}/third_party/libtomcrypt-1.18.2)
if(NOT EXISTS ${KB_LTC_DIR}/src/headers/tomcrypt.h)
  file(SHA256 ${KB_LTC_ARCHIVE} kb_ltc_sum)
  if(NOT kb_ltc_sum STREQUAL "96ad4c3b8336050993c5bc2cf6c057484f2b0f9f763448151567fbab5e767b84")
    message(FATAL_ERROR "${KB_LTC_ARCHIVE}: unexpected SHA-256 ${kb_ltc_sum}")
  endif()
  file(ARCHIVE_EXTRACT INPUT ${KB_LTC_ARCHIVE} DESTINATION ${CMAKE_BINARY_DIR}/third_party)
endif()
set(KB_LTC_SOURCES
  ciphers/aes/aes.c
  modes/cbc/cbc_start.c modes/cbc/cbc_encrypt.c modes/cbc/cbc_decrypt.c modes/cbc/cbc_done.c
  hashes/sha1.c hashes/sha2/sha256.c hashes/sha2/sha512.c
  hashes/helper/hash_memory.c
  mac/hmac/hmac_init.c mac/hmac/hmac_process.c mac/hmac/hmac_done.c mac/hmac/hmac_memory.c
  misc/pkcs5/pkcs_5_2.c
  prngs/fortuna.c
  misc/crypt/crypt_argchk.c
  misc/crypt/crypt_cipher_descriptor.c misc/crypt/crypt_cipher_is_valid.c
  misc/crypt/crypt_find_cipher.c misc/crypt/crypt_register_cipher.c
  misc/crypt/crypt_hash_descriptor.c misc/crypt/crypt_hash_is_valid.c
  misc/crypt/crypt_find_hash.c misc/crypt/crypt_register_hash.c
  misc/crypt/crypt_prng_descriptor.c misc/crypt/crypt_prng_is_valid.c
  misc/crypt/crypt_register_prng.c
  misc/zeromem.c misc/mem_neq.c misc/burn_stack.c
)
list(TRANSFORM KB_LTC_SOURCES PREPEND ${KB_LTC_DIR}/src/)
add_library(kb_tomcrypt STATIC ${KB_LTC_SOURCES})
target_include_directories(kb_tomcrypt SYSTEM PUBLIC ${KB_LTC_DIR}/src/headers)
# Self-tests and file helpers are not built: the descriptors' test hooks report "no operation".
target_compile_definitions(kb_tomcrypt PUBLIC LTC_NO_TEST LTC_NO_FILE PRIVATE LTC_SOURCE)
target_compile_options(kb_tomcrypt PRIVATE -w -O2)
