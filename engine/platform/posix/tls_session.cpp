// The trust store is the system's certificate folder (SSL_CERT_DIR, else OpenSSL's default, on
// Debian /etc/ssl/certs with its hashed names). It is read lazily: only the authorities a chain
// names are loaded, rather than the whole bundle file of some 140 certificates per request.
// OpenSSL's calls go through the table openssl_library.h loads; its macros name constants only.
#include "platform/posix/tls_session.h"

#include <openssl/err.h>
#include <openssl/x509_vfy.h>
#include <poll.h>

#include "platform/posix/openssl_library.h"

#include <cstdlib>

namespace zelquo::platform {

namespace {

struct ContextDeleter {
  void operator()(SSL_CTX* context) const { LoadOpenSsl()->SSL_CTX_free(context); }
};
struct SslDeleter {
  void operator()(SSL* ssl) const { LoadOpenSsl()->SSL_free(ssl); }
};

const char* TrustFolder(const OpenSslLibrary& ssl) {
  const char* folder = std::getenv(ssl.X509_get_default_cert_dir_env());
  return folder != nullptr && *folder != '\0' ? folder : ssl.X509_get_default_cert_dir();
}

TlsFailure FailureOfVerification(long result) {
  switch (result) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
      return TlsFailure::kExpired;
    case X509_V_ERR_HOSTNAME_MISMATCH:
      return TlsFailure::kWrongName;
    default:
      return TlsFailure::kUntrusted;
  }
}

// A handshake that failed before any certificate was judged: a server that speaks no TLS (a plain
// HTTP server answers the greeting with text), or only versions older than 1.2.
TlsFailure FailureOfHandshake(unsigned long error) {
  if (ERR_GET_LIB(error) != ERR_LIB_SSL) return TlsFailure::kOther;
  switch (ERR_GET_REASON(error)) {
    case SSL_R_WRONG_VERSION_NUMBER:
    case SSL_R_UNSUPPORTED_PROTOCOL:
    case SSL_R_TLSV1_ALERT_PROTOCOL_VERSION:
    case SSL_R_PACKET_LENGTH_TOO_LONG:
    case SSL_R_RECORD_LENGTH_MISMATCH:
    case SSL_R_NO_PROTOCOLS_AVAILABLE:
      return TlsFailure::kNoTls;
    default:
      return TlsFailure::kOther;
  }
}

}  // namespace

struct CTlsSession::Impl {
  const OpenSslLibrary* library = LoadOpenSsl();
  std::unique_ptr<SSL_CTX, ContextDeleter> context;
  std::unique_ptr<SSL, SslDeleter> ssl;
};

CTlsSession::CTlsSession(int fd, SocketWait wait) : impl_(std::make_unique<Impl>()), wait_(std::move(wait)) {
  const OpenSslLibrary* library = impl_->library;
  if (library == nullptr) return;
  impl_->context.reset(library->SSL_CTX_new(library->TLS_client_method()));
  if (!impl_->context) return;
  SSL_CTX* context = impl_->context.get();
  library->SSL_CTX_ctrl(context, SSL_CTRL_SET_MIN_PROTO_VERSION, TLS1_2_VERSION, nullptr);
  library->SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
  if (library->X509_STORE_load_path(library->SSL_CTX_get_cert_store(context), TrustFolder(*library)) != 1) {
    library->ERR_clear_error();
  }
  impl_->ssl.reset(library->SSL_new(context));
  if (impl_->ssl) library->SSL_set_fd(impl_->ssl.get(), fd);
}

CTlsSession::~CTlsSession() = default;

bool CTlsSession::WaitAsAsked(int result) {
  switch (impl_->library->SSL_get_error(impl_->ssl.get(), result)) {
    case SSL_ERROR_WANT_READ:
      return wait_(POLLIN);
    case SSL_ERROR_WANT_WRITE:
      return wait_(POLLOUT);
    default:
      return false;
  }
}

CTlsSession::Handshake CTlsSession::Start(const std::string& host) {
  failure_ = TlsFailure::kOther;
  SSL* ssl = impl_->ssl.get();
  if (ssl == nullptr) return Handshake::kRefused;  // no library, or no session could be made
  const OpenSslLibrary& library = *impl_->library;
  // The name goes out as the server name and is what the certificate must be for.
  if (library.SSL_ctrl(ssl, SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name,
                       const_cast<char*>(host.c_str())) != 1 ||
      library.SSL_set1_host(ssl, host.c_str()) != 1) {
    return Handshake::kRefused;
  }
  library.ERR_clear_error();
  for (;;) {
    const int result = library.SSL_connect(ssl);
    if (result == 1) {
      failure_ = TlsFailure::kNone;
      return Handshake::kDone;
    }
    const int error = library.SSL_get_error(ssl, result);
    if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
      if (!WaitAsAsked(result)) return Handshake::kBroken;
      continue;
    }
    if (const long verified = library.SSL_get_verify_result(ssl); verified != X509_V_OK) {
      failure_ = FailureOfVerification(verified);
      return Handshake::kRefused;
    }
    const unsigned long queued = library.ERR_peek_error();
    library.ERR_clear_error();
    // The peer closing or the socket failing with no TLS error queued is the transport's doing.
    if (queued == 0 && (error == SSL_ERROR_SYSCALL || error == SSL_ERROR_ZERO_RETURN)) return Handshake::kBroken;
    failure_ = FailureOfHandshake(queued);
    return Handshake::kRefused;
  }
}

bool CTlsSession::SendAll(std::string_view bytes) {
  while (!bytes.empty()) {
    std::size_t sent = 0;
    const int result = impl_->library->SSL_write_ex(impl_->ssl.get(), bytes.data(), bytes.size(), &sent);
    if (result == 1) {
      bytes.remove_prefix(sent);
    } else if (!WaitAsAsked(result)) {
      impl_->library->ERR_clear_error();
      return false;
    }
  }
  return true;
}

long CTlsSession::Receive(char* buffer, std::size_t size) {
  for (;;) {
    std::size_t got = 0;
    const int result = impl_->library->SSL_read_ex(impl_->ssl.get(), buffer, size, &got);
    if (result == 1) return static_cast<long>(got);
    if (impl_->library->SSL_get_error(impl_->ssl.get(), result) == SSL_ERROR_ZERO_RETURN) return 0;
    if (!WaitAsAsked(result)) {
      impl_->library->ERR_clear_error();
      return -1;
    }
  }
}

}  // namespace zelquo::platform
