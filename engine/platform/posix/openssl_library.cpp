#include "platform/posix/openssl_library.h"

#include <dlfcn.h>

namespace zelquo::platform {

namespace {

// dlsym on libssl's handle also finds libcrypto's calls: it searches the library's dependencies.
template <class Function>
bool Bind(void* library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(dlsym(library, name));
  return function != nullptr;
}

const OpenSslLibrary* Load() {
  // Never closed: the calls stay valid for the rest of the process.
  void* library = dlopen("libssl.so.3", RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return nullptr;
  static OpenSslLibrary table;
  OpenSslLibrary& t = table;
  const bool bound =
      Bind(library, "TLS_client_method", t.TLS_client_method) && Bind(library, "SSL_CTX_new", t.SSL_CTX_new) &&
      Bind(library, "SSL_CTX_free", t.SSL_CTX_free) && Bind(library, "SSL_CTX_ctrl", t.SSL_CTX_ctrl) &&
      Bind(library, "SSL_CTX_set_verify", t.SSL_CTX_set_verify) &&
      Bind(library, "SSL_CTX_get_cert_store", t.SSL_CTX_get_cert_store) &&
      Bind(library, "X509_STORE_load_path", t.X509_STORE_load_path) &&
      Bind(library, "X509_get_default_cert_dir", t.X509_get_default_cert_dir) &&
      Bind(library, "X509_get_default_cert_dir_env", t.X509_get_default_cert_dir_env) &&
      Bind(library, "SSL_new", t.SSL_new) && Bind(library, "SSL_free", t.SSL_free) &&
      Bind(library, "SSL_set_fd", t.SSL_set_fd) && Bind(library, "SSL_ctrl", t.SSL_ctrl) &&
      Bind(library, "SSL_set1_host", t.SSL_set1_host) && Bind(library, "SSL_connect", t.SSL_connect) &&
      Bind(library, "SSL_get_error", t.SSL_get_error) &&
      Bind(library, "SSL_get_verify_result", t.SSL_get_verify_result) &&
      Bind(library, "SSL_write_ex", t.SSL_write_ex) && Bind(library, "SSL_read_ex", t.SSL_read_ex) &&
      Bind(library, "ERR_peek_error", t.ERR_peek_error) && Bind(library, "ERR_clear_error", t.ERR_clear_error);
  return bound ? &table : nullptr;
}

}  // namespace

const OpenSslLibrary* LoadOpenSsl() {
  static const OpenSslLibrary* const library = Load();
  return library;
}

}  // namespace zelquo::platform
