#include "core/servers/CurlAbi.hpp"

#include <gtest/gtest.h>

#if __has_include(<curl/curl.h>)
#include <curl/curl.h>
#define TARVIK_HAVE_CURL_HEADER 1
#endif

namespace tarvik {
namespace {

// The probe speaks to libcurl by these numbers alone; each must be the header's.
TEST(CurlAbi, AgreesWithLibcurlsHeader) {
#ifdef TARVIK_HAVE_CURL_HEADER
    struct Case {
        const char* name;
        long ours;
        long theirs;
    };
    for (const auto& c : {
             Case{"CURL_GLOBAL_DEFAULT", CurlAbi::globalDefault, CURL_GLOBAL_DEFAULT},
             Case{"CURLOPT_URL", CurlAbi::url, CURLOPT_URL},
             Case{"CURLOPT_PROXY", CurlAbi::proxy, CURLOPT_PROXY},
             Case{"CURLOPT_NOPROXY", CurlAbi::noProxy, CURLOPT_NOPROXY},
             Case{"CURLOPT_NOBODY", CurlAbi::noBody, CURLOPT_NOBODY},
             Case{"CURLOPT_FOLLOWLOCATION", CurlAbi::followLocation, CURLOPT_FOLLOWLOCATION},
             Case{"CURLOPT_NOSIGNAL", CurlAbi::noSignal, CURLOPT_NOSIGNAL},
             Case{"CURLOPT_TIMEOUT_MS", CurlAbi::timeoutMs, CURLOPT_TIMEOUT_MS},
             Case{"CURLOPT_CONNECTTIMEOUT_MS", CurlAbi::connectTimeoutMs, CURLOPT_CONNECTTIMEOUT_MS},
             Case{"CURLOPT_WRITEFUNCTION", CurlAbi::writeFunction, CURLOPT_WRITEFUNCTION},
             Case{"CURLOPT_HEADERFUNCTION", CurlAbi::headerFunction, CURLOPT_HEADERFUNCTION},
             Case{"CURLINFO_RESPONSE_CODE", CurlAbi::responseCode, CURLINFO_RESPONSE_CODE},
             Case{"CURLE_OK", CurlAbi::ok, CURLE_OK},
             Case{"CURLE_COULDNT_CONNECT", CurlAbi::couldNotConnect, CURLE_COULDNT_CONNECT},
             Case{"CURLE_OPERATION_TIMEDOUT", CurlAbi::operationTimedOut, CURLE_OPERATION_TIMEDOUT},
         }) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.ours, c.theirs);
    }
#else
    GTEST_SKIP() << "libcurl's header is not installed (libcurl4-openssl-dev)";
#endif
}

}  // namespace
}  // namespace tarvik
