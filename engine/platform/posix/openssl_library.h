// OpenSSL 3 (Debian's libssl3), loaded on the first secure request rather than linked: linked,
// its relocations alone would add some 2 MB to the resident memory of every run, plain ones
// included. The table holds the few calls the TLS session makes; the headers give their types.
#pragma once

#include <openssl/ssl.h>

#include <cstddef>

namespace zelquo::platform {

struct OpenSslLibrary {
  const SSL_METHOD* (*TLS_client_method)();
  SSL_CTX* (*SSL_CTX_new)(const SSL_METHOD*);
  void (*SSL_CTX_free)(SSL_CTX*);
  long (*SSL_CTX_ctrl)(SSL_CTX*, int, long, void*);
  void (*SSL_CTX_set_verify)(SSL_CTX*, int, SSL_verify_cb);
  X509_STORE* (*SSL_CTX_get_cert_store)(const SSL_CTX*);
  int (*X509_STORE_load_path)(X509_STORE*, const char*);
  const char* (*X509_get_default_cert_dir)();
  const char* (*X509_get_default_cert_dir_env)();
  SSL* (*SSL_new)(SSL_CTX*);
  void (*SSL_free)(SSL*);
  int (*SSL_set_fd)(SSL*, int);
  long (*SSL_ctrl)(SSL*, int, long, void*);
  int (*SSL_set1_host)(SSL*, const char*);
  int (*SSL_connect)(SSL*);
  int (*SSL_get_error)(const SSL*, int);
  long (*SSL_get_verify_result)(const SSL*);
  int (*SSL_write_ex)(SSL*, const void*, std::size_t, std::size_t*);
  int (*SSL_read_ex)(SSL*, void*, std::size_t, std::size_t*);
  unsigned long (*ERR_peek_error)();
  void (*ERR_clear_error)();
};

// The library, loaded once (thread-safe); nullptr when libssl.so.3 or one of its calls is missing.
[[nodiscard]] const OpenSslLibrary* LoadOpenSsl();

}  // namespace zelquo::platform
