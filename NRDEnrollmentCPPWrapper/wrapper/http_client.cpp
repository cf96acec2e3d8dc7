// The wrapper's two HTTP paths through libcurl: JSON PUT requests to the enrolment back end,
// and the GET transport that carries the SDK's requests to the authentication service.
#include <curl/curl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "QmtSR.h"
#include "wrapper/ProcessState.h"
#include "wrapper/connection_pool.h"
#include "wrapper/http_transport.h"
#include "wrapper/installation_lock.h"
#include "wrapper/runtime_settings.h"

namespace SRCppWrap {

namespace {

// A reply over its limit aborts the transfer (a write error), which then fails as any other.
void ReportOversizedReply(size_t limit) {
  std::fprintf(stderr, "reply body larger than %zu bytes: transfer abandoned\n", limit);
}

// The bounds and the opt-in hardening of every transfer, set after the documented options so
// that an opt-in verification replaces the documented "peer verification off". The proxy's
// credentials are the values the proxy comes from (curl copies every text it is given).
void ApplyTransferBounds(CURL* curl, const detail::ProxyValues& proxy) {
  const detail::RuntimeSettings& settings = detail::Settings();
  // libcurl sends with MSG_NOSIGNAL (or SO_NOSIGPIPE), so a closed peer never raises SIGPIPE;
  // without this it also swaps the SIGPIPE handler around each of its steps, some twenty system
  // calls per transfer. Name resolution stays bounded: this libcurl resolves in a thread.
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, settings.connectTimeoutMs);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, settings.stallSeconds);
  if (settings.totalTimeoutMs > 0) {
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, settings.totalTimeoutMs);
  }
  if (settings.verifyTls) {
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!settings.caBundle.empty()) {
      curl_easy_setopt(curl, CURLOPT_CAINFO, settings.caBundle.c_str());
    }
  }
  if (settings.proxyAuth) {
    curl_easy_setopt(curl, CURLOPT_PROXYUSERNAME, proxy.user.c_str());
    curl_easy_setopt(curl, CURLOPT_PROXYPASSWORD, proxy.password.c_str());
    curl_easy_setopt(curl, CURLOPT_PROXYAUTH, CURLAUTH_ANY);
  }
}

// libcurl sends a request again, on a new connection, when a reused connection ends before any
// reply byte came back, which includes a server that read the request and then closed. The
// service's GETs and the back end's PUTs change state, so a request goes out at most once: a
// second send with no reply byte to the first is refused, and the transfer fails as it would
// have on a connection of its own. A connection found dead before the send is replaced without
// a second send, and a second send after a reply (an authentication round) goes on.
struct SendOnce {
  int sent = 0;
  bool replied = false;
  bool refused = false;
};

int BeforeEachSend(void* userdata, char* /*primaryIp*/, char* /*localIp*/, int /*primaryPort*/,
                   int /*localPort*/) {
  auto* once = static_cast<SendOnce*>(userdata);
  if (once->sent > 0 && !once->replied) {
    once->refused = true;
    return CURL_PREREQFUNC_ABORT;
  }
  ++once->sent;
  once->replied = false;
  return CURL_PREREQFUNC_OK;
}

size_t NoteReplyHeader(char* /*data*/, size_t size, size_t count, void* userdata) {
  static_cast<SendOnce*>(userdata)->replied = true;
  return size * count;
}

void SendAtMostOnce(CURL* curl, SendOnce* once) {
  curl_easy_setopt(curl, CURLOPT_PREREQFUNCTION, BeforeEachSend);
  curl_easy_setopt(curl, CURLOPT_PREREQDATA, once);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, NoteReplyHeader);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, once);
}

// What the failed transfer reports: a refused second send is the reply the first one never got.
const char* TransferError(CURLcode result, const SendOnce& once) {
  return curl_easy_strerror(once.refused ? CURLE_GOT_NOTHING : result);
}

struct ReplyText {
  std::string text;
  size_t limit = 0;
};

size_t AppendToReply(char* data, size_t size, size_t count, void* userdata) {
  auto* reply = static_cast<ReplyText*>(userdata);
  const size_t length = size * count;
  if (length > reply->limit - reply->text.size()) {
    ReportOversizedReply(reply->limit);
    return 0;
  }
  reply->text.append(data, length);
  return length;
}

// One JSON PUT to the back end. Returns the HTTP status, or 0 when no transfer happened; the
// reply is assigned only after a completed transfer. Outside a workflow (the object holds no
// span) the request is a workflow of its own: its connection is closed when it ends.
long PutJson(const std::string& url, const std::string& body, const std::string* userName,
             const std::string* password, std::string& reply, bool inWorkflow) {
  const detail::ProxyValues proxy = detail::WorkflowProxy();
  const detail::PooledTransfer transfer;
  CURL* curl = transfer.handle();
  if (curl == nullptr) {
    std::fprintf(stderr, "curl_easy_init() failed: no request made\n");
    return 0;
  }
  ReplyText received;
  received.limit = detail::Settings().backendReplyLimit;
  curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/json");
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_PROXY, proxy.address.c_str());
  curl_easy_setopt(curl, CURLOPT_PROXYPORT, proxy.port);
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
  curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, "PUT");
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
  curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, AppendToReply);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &received);
  if (userName != nullptr && password != nullptr) {
    curl_easy_setopt(curl, CURLOPT_USERNAME, userName->c_str());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, password->c_str());
  }
  ApplyTransferBounds(curl, proxy);
  if (!inWorkflow) curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
  SendOnce once;
  SendAtMostOnce(curl, &once);

  long status = 0;
  const CURLcode result = curl_easy_perform(curl);
  if (result != CURLE_OK) {
    std::fprintf(stderr, "curl_easy_perform() failed: %s\n", TransferError(result, once));
  } else {
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    reply = received.text.c_str();  // up to the first zero byte
  }
  curl_slist_free_all(headers);
  return status;
}

// The transport's receive buffer: always zero-terminated while `text` is set.
struct ReceiveBuffer {
  char* text = nullptr;
  size_t length = 0;
  size_t limit = 0;
};

void DropReceived(ReceiveBuffer* buffer) {
  std::free(buffer->text);
  buffer->text = nullptr;
  buffer->length = 0;
}

size_t AppendToReceiveBuffer(char* data, size_t size, size_t count, void* userdata) {
  auto* buffer = static_cast<ReceiveBuffer*>(userdata);
  const size_t length = size * count;
  if (buffer->text == nullptr) return 0;  // already dropped
  if (length > buffer->limit - buffer->length) {
    ReportOversizedReply(buffer->limit);
    DropReceived(buffer);  // the SDK is handed no body
    return 0;
  }
  char* grown = static_cast<char*>(std::realloc(buffer->text, buffer->length + length + 1));
  if (grown == nullptr) {
    std::printf("not enough memory (realloc returned NULL)\n");
    DropReceived(buffer);
    return 0;
  }
  std::fputc('\n', stdout);
  std::fwrite(data, 1, length, stdout);
  std::memcpy(grown + buffer->length, data, length);
  buffer->length += length;
  grown[buffer->length] = '\0';
  buffer->text = grown;
  return length;
}

}  // namespace

// The exported interface takes its strings by value.
// NOLINTBEGIN(performance-unnecessary-value-param)
long QmtSR::MakeCURLRequest(std::string url, std::string body, std::string& reply) {
  detail::SetWorkflowProxy({httpAddress_, httpPort_, proxyUser_, proxyPassword_});
  return PutJson(url, body, nullptr, nullptr, reply, detail::HoldsInstallation(this));
}

long QmtSR::MakeCURLRequest(std::string url, std::string body, std::string userName,
                            std::string password, std::string& reply) {
  detail::SetWorkflowProxy({httpAddress_, httpPort_, proxyUser_, proxyPassword_});
  return PutJson(url, body, &userName, &password, reply, detail::HoldsInstallation(this));
}
// NOLINTEND(performance-unnecessary-value-param)

namespace detail {

extern "C" int32_t SdkTransport(const char* url, int32_t /*timeout*/, void* /*user*/) {
  ReceiveBuffer buffer;
  buffer.text = static_cast<char*>(std::calloc(1, 1));
  buffer.limit = Settings().serviceReplyLimit;

  // Once the first transfer made the pool, which holds libcurl's global state, this pair of
  // global set-up and clean-up only counts.
  curl_global_init(CURL_GLOBAL_ALL);
  {
    const ProxyValues proxy = WorkflowProxy();
    const PooledTransfer transfer;
    CURL* curl = transfer.handle();
    if (curl != nullptr) {
      curl_easy_setopt(curl, CURLOPT_URL, url);
      curl_easy_setopt(curl, CURLOPT_PROXY, proxy.address.c_str());
      curl_easy_setopt(curl, CURLOPT_HTTPPROXYTUNNEL, 1L);
      curl_easy_setopt(curl, CURLOPT_PROXYPORT, proxy.port);
      curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, AppendToReceiveBuffer);
      curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
      curl_easy_setopt(curl, CURLOPT_WRITEDATA, &buffer);
      curl_easy_setopt(curl, CURLOPT_USERAGENT, "libcurl-agent/1.0");
      ApplyTransferBounds(curl, proxy);
      SendOnce once;
      SendAtMostOnce(curl, &once);
      const CURLcode result = curl_easy_perform(curl);
      if (result != CURLE_OK) {
        std::fprintf(stderr, "curl_easy_perform() failed: %s\n", TransferError(result, once));
      }
    } else {
      std::fprintf(stderr, "curl_easy_init() failed: no request made\n");
    }
  }  // the handle is released and its cache given back here
  curl_global_cleanup();

  // The SDK keeps its own copy; after a failed transfer this is what arrived so far.
  if (Process().context != nullptr) SRWsResponseSet(Process().context, buffer.text);
  std::free(buffer.text);
  return 0;
}

}  // namespace detail

}  // namespace SRCppWrap
